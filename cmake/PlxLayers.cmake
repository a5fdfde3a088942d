# The layering of the class library and the installer, stated once.
#
# Each subsystem is the folder of the same name.  PLX_LAYER_<subsystem> lists
# the subsystems whose headers it includes:
#   PUBLIC   its headers include theirs, so whoever includes it sees them too;
#   PRIVATE  only its sources include theirs.
# A subsystem's sources see its own folder, the folders it lists and what the
# PUBLIC lists of those add, followed through; no other folder.  Every
# subsystem reaches Win32 through platform/plx_win32.h, and only platform/
# knows the host.  Tests, examples and benchmarks see every folder (plxlib).
#
# PLX_LAYERS runs from the bottom up: an include goes down it, or between the
# two subsystems of a pair named in PLX_LAYER_CYCLES, where each includes the
# other.  Configuring stops at any other include up the order.
set(PLX_LAYERS core logging system registry policy app)
set(PLX_LAYER_CYCLES
  # core's exceptions are log entries; log entries are made of core's strings.
  core/logging
  # core's strings take system's flag set; system's classes are built on core.
  core/system
  # The message box takes the flag set, the text log is written without
  # following links; system's classes trace their methods.
  logging/system
  # The log's settings are read from the registry; registry keys log.
  logging/registry)

set(PLX_LAYER_core     PUBLIC logging system)
set(PLX_LAYER_logging  PUBLIC core system PRIVATE registry)
set(PLX_LAYER_system   PUBLIC core PRIVATE logging)
set(PLX_LAYER_registry PUBLIC core PRIVATE logging system)
set(PLX_LAYER_policy   PUBLIC core logging system PRIVATE registry)
set(PLX_LAYER_app      PUBLIC core PRIVATE logging system registry policy)

foreach(layer ${PLX_LAYERS})
  list(FIND PLX_LAYERS ${layer} below)
  foreach(other ${PLX_LAYER_${layer}})
    if(other STREQUAL "PUBLIC" OR other STREQUAL "PRIVATE")
      continue()
    endif()
    list(FIND PLX_LAYERS ${other} level)
    if(level LESS 0)
      message(FATAL_ERROR "PLX_LAYER_${layer}: ${other} is not one of PLX_LAYERS")
    endif()
    if(level GREATER below AND NOT "${layer}/${other}" IN_LIST PLX_LAYER_CYCLES
       AND NOT "${other}/${layer}" IN_LIST PLX_LAYER_CYCLES)
      message(FATAL_ERROR "PLX_LAYER_${layer}: ${layer} is below ${other} (PLX_LAYERS) and "
                          "the two are no pair of PLX_LAYER_CYCLES")
    endif()
  endforeach()
endforeach()

# plx_layer_folders(var layer): the include folders the layer's sources see.
function(plx_layer_folders var layer)
  cmake_parse_arguments(own "" "" "PUBLIC;PRIVATE" ${PLX_LAYER_${layer}})
  set(seen ${layer})
  set(queue ${own_PUBLIC} ${own_PRIVATE})
  while(queue)
    list(POP_FRONT queue next)
    if(NOT next IN_LIST seen)
      list(APPEND seen ${next})
      cmake_parse_arguments(dep "" "" "PUBLIC;PRIVATE" ${PLX_LAYER_${next}})
      list(APPEND queue ${dep_PUBLIC})
    endif()
  endwhile()
  list(TRANSFORM seen PREPEND ${PROJECT_SOURCE_DIR}/)
  set(${var} ${seen} PARENT_SCOPE)
endfunction()

# plx_layer_target(target layer): the target compiles as part of the layer.
function(plx_layer_target target layer)
  plx_layer_folders(folders ${layer})
  target_include_directories(${target} PRIVATE ${folders})
  target_link_libraries(${target} PUBLIC plxwin32)
endfunction()

# plx_subsystem(name layer [SOURCES file...]): an object library of the
# layer's sources (files of its folder; all its *.cpp when none are named).
function(plx_subsystem name layer)
  cmake_parse_arguments(arg "" "" "SOURCES" ${ARGN})
  if(arg_SOURCES)
    list(TRANSFORM arg_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/${layer}/ OUTPUT_VARIABLE sources)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${layer}/*.cpp)
  endif()
  if(NOT sources)
    set(sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} OBJECT ${sources})
  plx_layer_target(${name} ${layer})
endfunction()

# plx_layer_probe(layer header ALLOWED|REFUSED): a test that a source of the
# layer including header compiles (ALLOWED) or fails for want of that header
# (REFUSED).  The probe is built only by its test.
function(plx_layer_probe layer header expected)
  string(MAKE_C_IDENTIFIER "plx_layer_probe_${layer}_${header}" target)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/layer_probes/${target}.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "#include \"${header}\"\n")
  add_library(${target} OBJECT EXCLUDE_FROM_ALL ${source})
  plx_layer_target(${target} ${layer})
  set(test plx_layering_${layer}_${header})
  add_test(NAME ${test} COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${target})
  # Two builds at once in one build tree would race on its files.
  set_tests_properties(${test} PROPERTIES RESOURCE_LOCK plx_build_tree)
  if(expected STREQUAL "REFUSED")
    string(REPLACE "." "\\." pattern "${header}")
    # gcc: "x.h: No such file or directory"; clang: "'x.h' file not found".
    set_tests_properties(${test} PROPERTIES PASS_REGULAR_EXPRESSION "${pattern}'?:? (No such file|file not found)")
  elseif(NOT expected STREQUAL "ALLOWED")
    message(FATAL_ERROR "plx_layer_probe(${layer} ${header}): ALLOWED or REFUSED, not ${expected}")
  endif()
endfunction()
