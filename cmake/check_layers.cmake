# Checks the include arrows between the layers: the graphics library includes nothing of the
# firmware runtime, the runtime nothing of the block families, the base helpers nothing of
# either, the platform stand-ins only themselves and the base, no library below the program
# starts includes the links they install, the operating pages see of the controller blocks
# only their display records, and no file declares a weak symbol. Run as
# `cmake -DTOP=<source top> -P check_layers.cmake`; fails with the list of offending includes
# and files.
cmake_policy(SET CMP0057 NEW)   # if(... IN_LIST ...)
if(NOT TOP)
  message(FATAL_ERROR "check_layers.cmake needs -DTOP=<source top>")
endif()

# Folder, then the include roots its files may not name.
set(rules
  "gui|runtime/,blocks/,links/"
  "runtime|blocks/,links/"
  "base|runtime/,blocks/,gui/"
  "host|runtime/,blocks/,gui/,comm/,opui/,shell/,links/"
  "blocks|links/"
  "comm|links/"
  "opui|links/,blocks/ctrl/")
# Headers a folder may include although a rule above names their root.
set(allowed
  "opui|blocks/ctrl/ctrl_page.h")

set(offences "")
foreach(rule IN LISTS rules)
  string(REPLACE "|" ";" parts "${rule}")
  string(REPLACE "," ";" parts "${parts}")
  list(GET parts 0 folder)
  list(SUBLIST parts 1 -1 forbidden)
  set(exceptions "")
  foreach(entry IN LISTS allowed)
    if(entry MATCHES "^${folder}\\|(.*)$")
      list(APPEND exceptions "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  file(GLOB_RECURSE files "${TOP}/${folder}/*.h" "${TOP}/${folder}/*.cpp")
  foreach(f IN LISTS files)
    file(STRINGS "${f}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" target "${line}")
      if(target IN_LIST exceptions)
        continue()
      endif()
      foreach(root IN LISTS forbidden)
        if(line MATCHES "#[ \t]*include[ \t]*\"${root}")
          file(RELATIVE_PATH rel "${TOP}" "${f}")
          list(APPEND offences "${rel}: ${line}")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

# No library reaches another through a weak symbol: what a program does would then depend on
# what it happens to link. The links are installed by the program's start (links/).
set(weak "")
foreach(folder base blocks comm gui host links modpanel opui runtime shell tests tools trendview bench)
  file(GLOB_RECURSE files "${TOP}/${folder}/*.h" "${TOP}/${folder}/*.cpp" "${TOP}/${folder}/*.c")
  foreach(f IN LISTS files)
    file(STRINGS "${f}" lines REGEX "__attribute__[ \t]*[(][(][ \t]*weak")
    if(lines)
      file(RELATIVE_PATH rel "${TOP}" "${f}")
      list(APPEND weak "${rel}")
    endif()
  endforeach()
endforeach()

if(offences)
  list(JOIN offences "\n  " text)
  message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
if(weak)
  list(JOIN weak "\n  " text)
  message(FATAL_ERROR "Weak symbols in place of installed links:\n  ${text}")
endif()
message(STATUS "Layers hold")
