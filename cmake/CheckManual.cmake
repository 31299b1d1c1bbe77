# cmake -DTOOL=<program> -DHELP=<arguments> -DMANUAL=<page.N> -P CheckManual.cmake
#
# Checks that a manual page keeps up with its tool: every option the tool's
# usage text names (run with HELP, a ;-list of arguments, or with none; its
# status does not matter) appears in the page, and the page formats without
# warnings.
execute_process(COMMAND ${TOOL} ${HELP} OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX MATCHALL "--[a-z][a-z-]*" options "${out}${err}")
list(REMOVE_DUPLICATES options)
if(NOT options)
  message(FATAL_ERROR "${TOOL} ${HELP} names no options")
endif()
file(READ ${MANUAL} page)
foreach(option ${options})
  # In the page's source every "-" of an option is written "\-".
  string(REPLACE "-" "\\-" written "${option}")
  string(FIND "${page}" "${written}" found)
  if(found EQUAL -1)
    message(SEND_ERROR "${MANUAL} does not describe ${option}")
  endif()
endforeach()
find_program(GROFF groff)
if(GROFF)
  execute_process(COMMAND ${GROFF} -man -Tutf8 -ww -z ${MANUAL}
                  ERROR_VARIABLE warnings RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR warnings)
    message(FATAL_ERROR "${MANUAL} does not format cleanly:\n${warnings}")
  endif()
endif()
