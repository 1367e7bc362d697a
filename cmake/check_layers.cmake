# Checks the include arrows between the layers and that no file declares a weak symbol.
# Run as `cmake -DTOP=<source top> -P check_layers.cmake`; fails with the list of offending
# includes and files, else prints "Layers hold".
#
# The layers are stated once, below, each with the folders it holds and the layers it sits on.
# A file may include the headers of its own layer and of every layer beneath it (the layers it
# sits on, and theirs, and so on); every other project header is forbidden, unless the list of
# service headers further down names it.
cmake_minimum_required(VERSION 3.20)
if(NOT TOP)
  message(FATAL_ERROR "check_layers.cmake needs -DTOP=<source top>")
endif()
get_filename_component(TOP "${TOP}" ABSOLUTE)

# name | folders (a file belongs to the layer with the longest matching folder) | sits on
#
#   base < host < gui < display simulation < runtime < comm < blocks < opui < firmware
#        < shell < links < tools
#
# with the trend viewer and the module panel, separate programs, on host, and the shell on
# both of them.
set(layers
  "base|base/|"
  "host|host/|base"
  "gui|gui/|host"
  "display simulation|simlayer/|gui"
  "runtime|runtime/|display simulation"
  "comm|comm/|runtime"
  "blocks|blocks/|comm"
  "opui|opui/|blocks"
  "firmware|firmware/|opui"
  "trend viewer|trendview/|host"
  "module panel|modpanel/|host"
  "shell|shell/|firmware,trend viewer,module panel"
  "links|links/|shell"
  "tools|tools/|links")
# Folders above every layer (tests, benchmarks): they may include anything, and only the
# weak-symbol rule applies to them.
set(unlayered bench/ tests/)

# Headers a layer may include although they belong to a layer above it. Each is a service
# header: declarations only, whose definitions the program's start installs as hooks or the
# program's link resolves, so the lower layer calls up without depending on the upper one.
#   including folder | header
set(services
  # The shell's services to the firmware: the state record, the log, the plant and the
  # module panels.
  "firmware/|shell/sim_services.h"
  # Device communication reaches the shell's state record through its link (halt and
  # picture-save flags) and opens and feeds the module panels of the remote I/O couplers.
  "comm/|shell/sim_services.h"
  # The program's start installs the links it includes.
  "shell/sim_main.cpp|links/sim_links.h")

# Narrowings: within a layer it may include, a folder sees only the headers listed.
#   including folder | narrowed folder | the headers it may include there
set(narrowings
  # The operating pages see of the controller blocks only their display records.
  "opui/|blocks/ctrl/|blocks/ctrl/ctrl_page.h"
  # The operating pages see of the programmers only their page records and page handlers.
  "opui/|blocks/prog/|blocks/prog/prog_page.h")

# --- derived: every layer's reachable layers ----------------------------------------------------
set(names "")
foreach(entry IN LISTS layers)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 folders)
  list(LENGTH parts n)
  set(below "")
  if(n GREATER 2)
    list(GET parts 2 below)
  endif()
  string(MAKE_C_IDENTIFIER "${name}" id)
  string(REPLACE "," ";" folders "${folders}")
  string(REPLACE "," ";" below "${below}")
  list(APPEND names "${name}")
  set(folders_${id} "${folders}")
  set(below_${id} "${below}")
endforeach()

# reach_<id>: the layer itself and every layer beneath it.
foreach(name IN LISTS names)
  string(MAKE_C_IDENTIFIER "${name}" id)
  set(reach "${name}")
  set(todo ${below_${id}})
  while(todo)
    list(POP_FRONT todo next)
    if(NOT next IN_LIST names)
      message(FATAL_ERROR "check_layers.cmake: layer '${name}' sits on an unknown layer '${next}'")
    endif()
    if(next IN_LIST reach)
      continue()
    endif()
    list(APPEND reach "${next}")
    string(MAKE_C_IDENTIFIER "${next}" nid)
    list(APPEND todo ${below_${nid}})
  endwhile()
  set(reach_${id} "${reach}")
endforeach()

# Sets <out> to the layer of the top-relative path <rel> (longest folder wins), or "".
function(layer_of rel out)
  set(best "")
  set(best_len 0)
  foreach(name IN LISTS names)
    string(MAKE_C_IDENTIFIER "${name}" id)
    foreach(folder IN LISTS folders_${id})
      string(LENGTH "${folder}" len)
      string(SUBSTRING "${rel}" 0 ${len} head)
      if(head STREQUAL folder AND len GREATER best_len)
        set(best "${name}")
        set(best_len ${len})
      endif()
    endforeach()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

# True when <rel> starts with one of the prefixes in the list <prefixes>.
function(starts_with_any rel prefixes out)
  set(hit FALSE)
  foreach(p IN LISTS ${prefixes})
    string(LENGTH "${p}" len)
    string(SUBSTRING "${rel}" 0 ${len} head)
    if(head STREQUAL p)
      set(hit TRUE)
    endif()
  endforeach()
  set(${out} ${hit} PARENT_SCOPE)
endfunction()

# --- the includes ----------------------------------------------------------------------------
set(offences "")
set(all_folders "")
foreach(name IN LISTS names)
  string(MAKE_C_IDENTIFIER "${name}" id)
  list(APPEND all_folders ${folders_${id}})
endforeach()
list(REMOVE_DUPLICATES all_folders)
set(globs "")
foreach(folder IN LISTS all_folders)
  list(APPEND globs "${TOP}/${folder}*.h" "${TOP}/${folder}*.hpp" "${TOP}/${folder}*.cpp"
       "${TOP}/${folder}*.c" "${TOP}/${folder}*.inc")
endforeach()
file(GLOB_RECURSE files ${globs})
list(REMOVE_DUPLICATES files)
list(SORT files)

foreach(f IN LISTS files)
  file(RELATIVE_PATH rel "${TOP}" "${f}")
  layer_of("${rel}" from)
  if(from STREQUAL "")
    continue()
  endif()
  string(MAKE_C_IDENTIFIER "${from}" fid)
  get_filename_component(dir "${f}" DIRECTORY)
  file(STRINGS "${f}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*)[\">].*$" "\\1" target "${line}")
    # A quoted include that names a file beside the including one ("x.h", "../y/z.h") is
    # read relative to it; every other one relative to the top.
    if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"" AND EXISTS "${dir}/${target}")
      get_filename_component(abs "${dir}/${target}" ABSOLUTE)
      file(RELATIVE_PATH target "${TOP}" "${abs}")
    endif()
    layer_of("${target}" to)
    if(to STREQUAL "")
      continue()   # a system or library header, or one of the unlayered folders
    endif()
    set(ok FALSE)
    if(to IN_LIST reach_${fid})
      set(ok TRUE)
      foreach(entry IN LISTS narrowings)
        string(REPLACE "|" ";" parts "${entry}")
        list(GET parts 0 who)
        list(GET parts 1 narrowed)
        list(SUBLIST parts 2 -1 headers)
        string(REPLACE "," ";" headers "${headers}")
        set(whos "${who}")
        set(narrows "${narrowed}")
        starts_with_any("${rel}" whos in_who)
        starts_with_any("${target}" narrows in_narrowed)
        if(in_who AND in_narrowed AND NOT target IN_LIST headers)
          set(ok FALSE)
        endif()
      endforeach()
    else()
      foreach(entry IN LISTS services)
        string(REPLACE "|" ";" parts "${entry}")
        list(GET parts 0 who)
        list(GET parts 1 header)
        set(whos "${who}")
        starts_with_any("${rel}" whos in_who)
        if(in_who AND target STREQUAL header)
          set(ok TRUE)
        endif()
      endforeach()
    endif()
    if(NOT ok)
      list(APPEND offences "${rel} (${from}): ${line}")
    endif()
  endforeach()
endforeach()

# --- weak symbols ----------------------------------------------------------------------------
# No library reaches another through a weak symbol: what a program does would then depend on
# what it happens to link. The links are installed by the program's start (links/). Every
# spelling counts: the GNU attribute (weak, __weak__, weakref, among other attributes), the
# standard attribute syntax ([[gnu::weak]]), the pragma in both forms and the assembler
# directive.
# Each form is a variable of its own: a regular expression's brackets would confuse a list.
set(weak_form_1 "__attribute__[ \t]*[(][(]([^{]*[^a-zA-Z0-9_])?_*weak(ref)?_*[^a-zA-Z0-9_]")
set(weak_form_2 "[[][ \t]*[[]([^]]*[^a-zA-Z0-9_])?_*weak(ref)?_*[ \t]*([]]|,|[(])")
set(weak_form_3 "#[ \t]*pragma[ \t]+weak")
set(weak_form_4 "_Pragma[ \t]*[(][ \t]*\"[ \t]*weak")
set(weak_form_5 "[.]weak(ref)?[ \t]")
set(weak "")
set(wglobs "")
foreach(folder IN LISTS all_folders unlayered)
  list(APPEND wglobs "${TOP}/${folder}*.h" "${TOP}/${folder}*.hpp" "${TOP}/${folder}*.cpp"
       "${TOP}/${folder}*.c" "${TOP}/${folder}*.inc" "${TOP}/${folder}*.S" "${TOP}/${folder}*.s")
endforeach()
file(GLOB_RECURSE wfiles ${wglobs})
list(REMOVE_DUPLICATES wfiles)
list(SORT wfiles)
foreach(f IN LISTS wfiles)
  foreach(form RANGE 1 5)
    file(STRINGS "${f}" lines REGEX "${weak_form_${form}}")
    if(lines)
      file(RELATIVE_PATH rel "${TOP}" "${f}")
      list(APPEND weak "${rel}")
      break()
    endif()
  endforeach()
endforeach()

# --- every source folder in a layer --------------------------------------------------------
# A top folder with sources that no layer names would escape the include rules unnoticed.
# Build folders (build, build-*, or any folder CMake configured, whatever its name: they hold
# generated sources) and hidden folders are not the project's sources.
set(unplaced "")
file(GLOB tops LIST_DIRECTORIES true RELATIVE "${TOP}" "${TOP}/*")
foreach(top IN LISTS tops)
  if(NOT IS_DIRECTORY "${TOP}/${top}" OR top MATCHES "^(build|build-.*|[.].*)$" OR
     EXISTS "${TOP}/${top}/CMakeCache.txt")
    continue()
  endif()
  file(GLOB_RECURSE sources "${TOP}/${top}/*.h" "${TOP}/${top}/*.hpp" "${TOP}/${top}/*.cpp"
       "${TOP}/${top}/*.c" "${TOP}/${top}/*.inc")
  if(NOT sources)
    continue()
  endif()
  set(placed FALSE)
  foreach(folder IN LISTS all_folders unlayered)
    string(FIND "${folder}" "${top}/" at)
    if(at EQUAL 0)
      set(placed TRUE)
    endif()
  endforeach()
  if(NOT placed)
    list(SORT sources)
    list(GET sources 0 first)
    file(RELATIVE_PATH first "${TOP}" "${first}")
    list(APPEND unplaced "${top}/ (${first}, ...)")
  endif()
endforeach()

if(unplaced)
  list(JOIN unplaced "\n  " text)
  message(FATAL_ERROR "Source folders in no layer (state them in the layers above):\n  ${text}")
endif()
if(offences)
  list(JOIN offences "\n  " text)
  message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
if(weak)
  list(JOIN weak "\n  " text)
  message(FATAL_ERROR "Weak symbols in place of installed links:\n  ${text}")
endif()
message(STATUS "Layers hold")
