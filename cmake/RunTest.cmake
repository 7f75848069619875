# Runs one test program under the emulator with its output in a file, then prints the file.
# A console host that wine leaves behind a child the test has ended keeps the output handles it
# inherited; with a file there, it can no longer keep CTest waiting for the test's pipe.
#   cmake -DEMULATOR=wine -DPROGRAM=path.exe -DARGS="a;b" -DLOG=path.log -P RunTest.cmake
execute_process(
    COMMAND ${EMULATOR} ${PROGRAM} ${ARGS}
    OUTPUT_FILE ${LOG}
    ERROR_FILE ${LOG}
    RESULT_VARIABLE result)
file(READ ${LOG} output)
message("${output}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ended with ${result}")
endif()
