# Helpers shared by every folder's CMakeLists.txt.

# sim_library(NAME SOURCES... [DEPS libs...])
#   A static library whose public include root is the repository top, so that code
#   includes "runtime/fb_store.h", "gui/GUI_Core.h" and so on.
function(sim_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(A_DEPS)
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  endif()
endfunction()

# sim_test(NAME SOURCES... [DEPS libs...])
#   One GoogleTest binary, registered with CTest test by test; its main (tests/support)
#   gives every test process its own shared names and folders.
function(sim_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT SIM_TESTS)
    return()
  endif()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS} sim_test_main GTest::gtest GTest::gmock)
  # Tests find the source tree through the compile definition SIM_SOURCE_TOP.
  target_compile_definitions(${name} PRIVATE SIM_SOURCE_TOP="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# sim_fuzz(NAME SOURCES... [DEPS libs...] [SECONDS n])
#   A libFuzzer target, built only with SIM_FUZZ; the CTest entry runs it for a short,
#   fixed time from the corpus folder tests/fuzz/corpus/NAME (when present).
function(sim_fuzz name)
  cmake_parse_arguments(A "" "SECONDS" "SOURCES;DEPS" ${ARGN})
  if(NOT SIM_FUZZ)
    return()
  endif()
  if(NOT A_SECONDS)
    set(A_SECONDS 60)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(corpus "${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus")
  set(seeds "${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name}")
  set(dirs ${corpus})
  if(EXISTS ${seeds})
    list(APPEND dirs ${seeds})
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
            $<TARGET_FILE:${name}> -max_total_time=${A_SECONDS} -timeout=10 -rss_limit_mb=2048
            -print_final_stats=1 ${dirs})
  file(MAKE_DIRECTORY ${corpus})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${A_SECONDS}0 LABELS fuzz)
endfunction()

# sim_bench(NAME SOURCES... [DEPS libs...])
function(sim_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# sim_test_locale(TARGET)
#   A German locale (de_DE.UTF-8) compiled into the target's build folder from the machine's
#   locale sources, for tests that format numbers under a decimal-comma process locale (the
#   machine need not have the locale installed). The test finds it through SIM_TEST_LOCPATH
#   (the LOCPATH to set); without localedef or the sources the definition is left out.
function(sim_test_locale target)
  if(NOT TARGET ${target})
    return()
  endif()
  find_program(SIM_LOCALEDEF localedef)
  if(NOT SIM_LOCALEDEF OR NOT EXISTS /usr/share/i18n/locales/de_DE)
    return()
  endif()
  set(locales ${CMAKE_CURRENT_BINARY_DIR}/locale)
  add_custom_command(OUTPUT ${locales}/de_DE.UTF-8/LC_NUMERIC
    COMMAND ${CMAKE_COMMAND} -E make_directory ${locales}
    COMMAND ${SIM_LOCALEDEF} -i de_DE -f UTF-8 ${locales}/de_DE.UTF-8 || ${CMAKE_COMMAND} -E true
    COMMENT "Compiling the de_DE.UTF-8 test locale for ${target}")
  add_custom_target(${target}_locale DEPENDS ${locales}/de_DE.UTF-8/LC_NUMERIC)
  add_dependencies(${target} ${target}_locale)
  target_compile_definitions(${target} PRIVATE SIM_TEST_LOCPATH="${locales}")
endfunction()
