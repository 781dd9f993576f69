# Test set-up shared by the whole tree and by tools/ built on its own.
include(${CMAKE_CURRENT_LIST_DIR}/LarkspanParts.cmake)
if(LARKSPAN_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# Every test's cache of results lives in the build tree, never in the
# user's own ~/.cache (tests that look at the cache point XDG_CACHE_HOME at
# a folder of their own).
set(LARKSPAN_TEST_CACHE_DIR "${CMAKE_BINARY_DIR}/test-cache")
set(LARKSPAN_TEST_CACHE_ENV "XDG_CACHE_HOME=${LARKSPAN_TEST_CACHE_DIR}")

# larkspan_add_gtest(name SOURCES... LIBS...): one GoogleTest binary per
# library, its tests registered with CTest and told where the executables
# and helper programs were built (LARKSPAN_BIN_DIR). Each test carries the
# binary's name as its label (ctest -L engine_test).
function(larkspan_add_gtest name)
  if(NOT LARKSPAN_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
                       # One value per property: discovery writes a list's items
                       # as separate words, which shifts every property after it.
                       PROPERTIES ENVIRONMENT "LARKSPAN_BIN_DIR=${LARKSPAN_BIN_DIR}"
                         ENVIRONMENT_MODIFICATION "XDG_CACHE_HOME=set:${LARKSPAN_TEST_CACHE_DIR}"
                         LABELS ${name}
                       DISCOVERY_TIMEOUT 60)
endfunction()
