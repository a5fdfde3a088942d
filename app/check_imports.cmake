# cmake -DOBJDUMP=... -DEXE=plxhotfix.exe -P check_imports.cmake
#
# The installer runs with administrator rights from a download folder: a
# library that it imports would be looked for beside it first.  It must not
# import version.dll (loaded from the system directory at run time instead),
# and it must carry its manifest (asInvoker, no elevation).
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump -p ${EXE} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]*" imports "${dump}")
message(STATUS "${EXE} imports: ${imports}")
foreach(line ${imports})
  string(TOLOWER "${line}" lower)
  if(lower MATCHES "version\\.dll")
    message(FATAL_ERROR "${EXE} imports version.dll statically")
  endif()
endforeach()
if(NOT imports MATCHES "[Kk][Ee][Rr][Nn][Ee][Ll]32\\.dll")
  message(FATAL_ERROR "no import table found in ${EXE}")
endif()
file(READ ${EXE} bytes HEX)
# "asInvoker" in ASCII, as the manifest resource holds it.
if(NOT bytes MATCHES "6173496e766f6b6572")
  message(FATAL_ERROR "${EXE} has no asInvoker manifest")
endif()
message(STATUS "${EXE}: no version.dll import, asInvoker manifest present")
