# Runs the program and checks that both records reached the first file, and
# that the second file, written over a longer old text and never closed,
# holds only its new record.
file(WRITE ${FILE} "an old text, longer than both records that replace it together\n")
file(WRITE ${FILE}.open "an old text, longer than the record that replaces it\n")
execute_process(COMMAND ${PROGRAM} ${FILE} ${FILE}.open RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the program ended with ${status}")
endif()
file(READ ${FILE} text)
if(NOT text STREQUAL "written in main\nwritten at exit\n")
  message(FATAL_ERROR "the file holds:\n${text}")
endif()
file(READ ${FILE}.open text)
if(NOT text STREQUAL "left open\n")
  message(FATAL_ERROR "the file left open holds:\n${text}")
endif()
