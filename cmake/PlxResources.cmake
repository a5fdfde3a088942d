# plx_add_resources(target file.rc)
#
# Gives a program its resource script.  Windows builds compile the script with
# windres; elsewhere the same script is turned into the string table that the
# simulated machine's LoadStringW reads.
set(PLX_RC_TO_TABLE ${CMAKE_CURRENT_LIST_DIR}/rc_to_table.cmake)

function(plx_add_resources target rcfile)
  get_filename_component(rc_abs ${rcfile} ABSOLUTE)
  if(WIN32)
    target_sources(${target} PRIVATE ${rc_abs})
  else()
    get_filename_component(rc_name ${rcfile} NAME_WE)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rc_name}_rc.cpp)
    add_custom_command(
      OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${rc_abs} -DOUTPUT=${out} -P ${PLX_RC_TO_TABLE}
      DEPENDS ${rc_abs} ${PLX_RC_TO_TABLE}
      COMMENT "String table of ${rcfile}"
      VERBATIM)
    target_sources(${target} PRIVATE ${out})
  endif()
endfunction()
