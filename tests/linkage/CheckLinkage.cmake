# cmake -DLIBRARY=<substring> -DLINKED=<files> -DNOT_LINKED=<files> -P CheckLinkage.cmake
#
# Fails unless every file of LINKED loads a shared library whose name holds
# LIBRARY and no file of NOT_LINKED does, as the dynamic loader resolves
# them (ldd), so an indirect dependency counts too.
foreach(kind LINKED NOT_LINKED)
  string(REPLACE "," ";" ${kind} "${${kind}}")
  foreach(file IN LISTS ${kind})
    execute_process(COMMAND ldd ${file} OUTPUT_VARIABLE loaded RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "ldd cannot read ${file}")
    endif()
    string(FIND "${loaded}" "${LIBRARY}" at)
    if(kind STREQUAL "LINKED" AND at EQUAL -1)
      message(FATAL_ERROR "${file} does not load ${LIBRARY}:\n${loaded}")
    elseif(kind STREQUAL "NOT_LINKED" AND NOT at EQUAL -1)
      message(FATAL_ERROR "${file} loads ${LIBRARY}:\n${loaded}")
    endif()
    message(STATUS "${file}: ${LIBRARY} ${kind}")
  endforeach()
endforeach()
