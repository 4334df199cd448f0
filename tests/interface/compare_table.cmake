# Runs the table program and compares its output with the committed table.
execute_process(COMMAND ${PROGRAM} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} failed: ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${TABLE} RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "the committed ${TABLE} differs from what gfortran writes (${OUTPUT})")
endif()
