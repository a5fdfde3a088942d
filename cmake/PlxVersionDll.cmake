# plx_add_version_dll(target OUTPUT file.dll ARCH x86|x64 VERSION a.b.c.d [ORIGINAL_NAME name])
#
# Builds a real PE library (PE32 for x86, PE32+ for x64) whose only content is
# a version resource.  Such libraries stand in for the product's add-on library
# in tests and beside the package.  They are made with the MinGW-w64 tools as
# external programs, so every build (native ones too) can make both kinds.
# The library has no code and no entry point; Windows loads it as data for
# GetFileVersionInfoW.

set(PLX_VERSION_DLL_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version_dll.rc.in)

function(plx_find_mingw_tool var arch tool)
  if(arch STREQUAL "x86")
    set(prefix i686-w64-mingw32)
  else()
    set(prefix x86_64-w64-mingw32)
  endif()
  if(tool STREQUAL "gcc")
    set(names ${prefix}-gcc-posix ${prefix}-gcc)
  else()
    set(names ${prefix}-${tool})
  endif()
  string(TOUPPER "PLX_${prefix}_${tool}" cache_var)
  string(REPLACE "-" "_" cache_var "${cache_var}")
  find_program(${cache_var} NAMES ${names})
  if(NOT ${cache_var})
    message(FATAL_ERROR "${names} not found: install g++-mingw-w64-i686-posix, "
                        "g++-mingw-w64-x86-64-posix and binutils-mingw-w64 (scripts/test.sh does)")
  endif()
  set(${var} ${${cache_var}} PARENT_SCOPE)
endfunction()

function(plx_add_version_dll target)
  cmake_parse_arguments(arg "" "OUTPUT;ARCH;VERSION;ORIGINAL_NAME" "" ${ARGN})
  if(NOT arg_OUTPUT OR NOT arg_ARCH OR NOT arg_VERSION)
    message(FATAL_ERROR "plx_add_version_dll(${target}): OUTPUT, ARCH and VERSION are required")
  endif()
  if(NOT arg_ARCH MATCHES "^(x86|x64)$")
    message(FATAL_ERROR "plx_add_version_dll(${target}): ARCH must be x86 or x64")
  endif()
  if(NOT arg_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "plx_add_version_dll(${target}): VERSION must be a.b.c.d")
  endif()
  get_filename_component(out ${arg_OUTPUT} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_BINARY_DIR})
  get_filename_component(out_name ${out} NAME)
  if(arg_ORIGINAL_NAME)
    set(PLX_VD_ORIGINAL_NAME ${arg_ORIGINAL_NAME})
  else()
    set(PLX_VD_ORIGINAL_NAME ${out_name})
  endif()
  set(PLX_VD_VERSION ${arg_VERSION})
  string(REPLACE "." "," PLX_VD_COMMAS ${arg_VERSION})

  set(work ${CMAKE_CURRENT_BINARY_DIR}/version_dll/${target})
  configure_file(${PLX_VERSION_DLL_TEMPLATE} ${work}/version.rc @ONLY)

  plx_find_mingw_tool(windres ${arg_ARCH} windres)
  plx_find_mingw_tool(gcc ${arg_ARCH} gcc)
  if(arg_ARCH STREQUAL "x86")
    set(target_flag --target=pe-i386)
  else()
    set(target_flag --target=pe-x86-64)
  endif()
  get_filename_component(out_dir ${out} DIRECTORY)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND ${windres} ${target_flag} -O coff -i ${work}/version.rc -o ${work}/version.res.o
    # No code, no runtime, entry point 0: a library that only carries
    # resources.  No time stamp and a fixed image base, so that every build
    # makes the same bytes.
    COMMAND ${gcc} -nostdlib -shared -s -Wl,--entry,0 -Wl,--no-insert-timestamp -Wl,--disable-auto-image-base -o ${out} ${work}/version.res.o
    DEPENDS ${work}/version.rc
    COMMENT "Version-only library ${out_name} (${arg_ARCH}, ${arg_VERSION})"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${out})
endfunction()
