# Builds one layering probe target (cmake/LarkspanLayering.cmake) and checks
# the outcome: -DEXPECT=compiles, or not-found (the compiler failed because
# HEADER is not on the include path; any other failure is a failed test).
# The compiler's messages in English, whatever the locale.
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C LANGUAGE=
                        ${CMAKE_COMMAND} --build ${BUILD} --target ${TARGET}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(EXPECT STREQUAL "compiles")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${TARGET} should compile:\n${out}")
  endif()
elseif(rc EQUAL 0)
  message(FATAL_ERROR "${TARGET} compiled: ${HEADER} is reachable where it must not be")
else()
  string(FIND "${out}" "${HEADER}: No such file or directory" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${TARGET} failed, but not for want of ${HEADER}:\n${out}")
  endif()
  message(STATUS "${HEADER} is out of reach, as it should be")
endif()
