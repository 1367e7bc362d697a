# Runs the layer check on small trees, one per rule: each bad tree must fail and name the
# offending file, the good tree must pass. Run as
# `cmake -DCHECK=<check_layers.cmake> -DWORK=<scratch folder> -P check_layers_test.cmake`.
cmake_minimum_required(VERSION 3.20)
if(NOT CHECK OR NOT WORK)
  message(FATAL_ERROR "check_layers_test.cmake needs -DCHECK=... and -DWORK=...")
endif()

# Each case: a name, whether the check must fail (red) or pass (green), then pairs of a file
# and its one line of content. A red case must name its first file in the check's message.
set(case_names "")
macro(layer_case name verdict)
  list(APPEND case_names ${name})
  set(verdict_${name} ${verdict})
  set(files_${name} ${ARGN})
endmacro()

layer_case(good_tree green
  "firmware/fw.cpp"         [=[#include "shell/sim_services.h"]=]
  "firmware/fw.h"           [=[#include "opui/op_services.h"]=]
  "runtime/fw.h"            [=[#include "gui/GUI.h"]=]
  "comm/com_links.cpp"      [=[#include "shell/sim_services.h"]=]
  "blocks/io/ain.cpp"       [=[#include "runtime/fw_plant_provider.h"]=]
  "blocks/bus/bus.h"        [=[#include "comm/com_bus.h"]=]
  "opui/op_display.cpp"     [=[#include "blocks/page_records.h"]=]
  "shell/sim_main.cpp"      [=[#include "links/sim_links.h"]=]
  "opui/op_pages_ctrl.cpp"  [=[#include "blocks/ctrl/ctrl_page.h"]=]
  "opui/op_pages_prog.cpp"  [=[#include "blocks/prog/prog_page.h"]=]
  "simlayer/SIM.cpp"        [=[#include "gui/LCD.h"]=]
  "simlayer/LCDSIM.cpp"     [=[#include "LCDSIM.h"]=]
  "simlayer/LCDSIM.h"       [=[#include <stdint.h>]=]
  "trendview/graf.cpp"      [=[#include "host/ipc.h"]=]
  "tools/x/main.cpp"        [=[#include "shell/main_window.h"]=]
  "tests/x/x_test.cpp"      [=[#include "tools/x/main.h"]=]
  "mybuild/CMakeCache.txt"  [=[CMAKE_PROJECT_NAME:STATIC=sim74_2]=]
  "mybuild/shell/demo_engineering.cpp" [=[#include "shell/demo_project.h"]=]
  "blocks/io/names.cpp"     [=[__attribute__((unused)) static int weak_count void weakling()]=])
layer_case(comm_includes_shell red
  "comm/com_bus.h"          [=[#include "shell/main_window.h"]=])
layer_case(runtime_includes_opui red
  "runtime/fb_store.h"      [=[#include "opui/op_display.h"]=])
layer_case(runtime_includes_a_service_header red
  "runtime/fb_store.cpp"    [=[#include "shell/sim_services.h"]=])
layer_case(blocks_include_the_firmware red
  "blocks/io/ain.cpp"       [=[#include "firmware/fw_plant.h"]=])
layer_case(comm_includes_the_firmware red
  "comm/com_modbus.cpp"     [=[#include "firmware/fw_main.h"]=])
layer_case(blocks_include_the_operating_interface red
  "blocks/info/info.h"      [=[#include "opui/op_services.h"]=])
layer_case(display_simulation_includes_runtime red
  "simlayer/SIM.cpp"        [=[#include "runtime/fw_main_state.h"]=])
layer_case(folder_in_no_layer red
  "newlib/feature.cpp"      [=[#include "runtime/fb_store.h"]=])
layer_case(shell_includes_a_tool red
  "shell/project.cpp"       [=[#include "tools/engbuild/eng_builder.h"]=])
layer_case(host_includes_gui red
  "host/ipc.cpp"            [=[#include "gui/GUI.h"]=])
layer_case(trend_viewer_includes_gui red
  "trendview/graf.cpp"      [=[#include "gui/GUI.h"]=])
layer_case(opui_sees_more_of_the_controller red
  "opui/op_pages_ctrl.cpp"  [=[#include "blocks/ctrl/ctrl_blocks.h"]=])
layer_case(opui_sees_more_of_the_programmer red
  "opui/op_pages_prog.cpp"  [=[#include "blocks/prog/prog.h"]=])
layer_case(service_header_from_an_unlisted_layer red
  "gui/core/GUI_Core.cpp"   [=[#include "shell/sim_services.h"]=])
layer_case(links_outside_the_program_start red
  "shell/main_window.cpp"   [=[#include "links/sim_links.h"]=])
layer_case(relative_include red
  "comm/com_bus.cpp"        [=[#include "../shell/main_window.h"]=]
  "shell/main_window.h"     [=[#include <stdint.h>]=])
layer_case(angle_include red
  "runtime/fw_tick.cpp"     [=[#  include <opui/op_display.h>]=])
layer_case(weak_attribute red
  "blocks/io/ain.cpp"       [=[__attribute__((weak)) void Foo()]=])
layer_case(weak_attribute_underscored red
  "blocks/io/ain.cpp"       [=[void Foo() __attribute__ ((visibility("default"), __weak__))]=])
layer_case(weak_standard_attribute red
  "blocks/io/ain.cpp"       [=[[[gnu::weak]] void Foo()]=])
layer_case(weakref_attribute red
  "comm/com_bus.cpp"        [=[static void Bar() [[ __gnu__::weakref("Foo") ]]]=])
layer_case(weak_pragma red
  "blocks/io/ain.cpp"       [=[#pragma weak Baz]=])
layer_case(weak_pragma_operator red
  "opui/op_menu.cpp"        [=[_Pragma("weak Baz")]=])
layer_case(weak_directive red
  "runtime/fw_main.cpp"     [=[asm(".weak Baz")]=])
layer_case(weak_in_tests red
  "tests/blocks/x_test.cpp" [=[__attribute__((weak)) int main()]=])

set(failures "")
foreach(name IN LISTS case_names)
  set(top "${WORK}/${name}")
  file(REMOVE_RECURSE "${top}")
  set(pairs ${files_${name}})
  list(GET pairs 0 first)
  list(LENGTH pairs n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET pairs ${i} path)
    list(GET pairs ${j} text)
    file(WRITE "${top}/${path}" "${text}\n")
  endforeach()
  execute_process(COMMAND "${CMAKE_COMMAND}" -DTOP=${top} -P "${CHECK}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(verdict_${name} STREQUAL "green")
    if(NOT rc EQUAL 0 OR NOT out MATCHES "Layers hold")
      list(APPEND failures "${name}: the check failed on a good tree:\n${err}")
    endif()
  else()
    string(FIND "${err}" "${first}" at)
    if(rc EQUAL 0 OR at EQUAL -1)
      list(APPEND failures "${name}: the check did not catch ${first} (exit ${rc}):\n${out}${err}")
    endif()
  endif()
endforeach()
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "${text}")
endif()
list(LENGTH case_names count)
message(STATUS "The layer check holds on ${count} trees")
