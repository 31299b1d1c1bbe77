# Expands the example as the README shows, with USER fixed, and compares
# the result with expected.plist.
execute_process(COMMAND ${CMAKE_COMMAND} -E env USER=learner
                        ${TOOL} --use-environment --build-settings ${SOURCE}/settings.plist
                        --output ${OUTPUT} ${SOURCE}/Info.plist
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "macrofill ended with status ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${SOURCE}/expected.plist
                RESULT_VARIABLE different)
if(different)
  message(FATAL_ERROR "${OUTPUT} differs from ${SOURCE}/expected.plist")
endif()
