# Runs htmldump on INPUT with ARGS and compares its output with EXPECTED.
separate_arguments(ARG_LIST UNIX_COMMAND "${ARGS}")
execute_process(COMMAND "${TOOL}" ${ARG_LIST} "${INPUT}"
                OUTPUT_VARIABLE OUT RESULT_VARIABLE RC)
if(NOT RC EQUAL 0)
  message(FATAL_ERROR "htmldump failed with ${RC}")
endif()
file(READ "${EXPECTED}" WANT)
if(NOT OUT STREQUAL WANT)
  file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/htmldump_actual.txt" "${OUT}")
  message(FATAL_ERROR "htmldump output differs from ${EXPECTED}; "
                      "see ${CMAKE_CURRENT_BINARY_DIR}/htmldump_actual.txt")
endif()
