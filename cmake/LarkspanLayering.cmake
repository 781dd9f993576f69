# Each library's public include folder is its own: a folder in the build tree
# holding only a link named after the library's source folder,
#   build/include/engine/engine -> <source>/engine
# so that `#include "engine/uWebFilesMgr.h"` is found by the library itself and
# by what links it (target_link_libraries), and the headers of a library that
# is not linked are not found at all: the engine cannot include "ui/Main.h".
include_guard(GLOBAL)

# larkspan_public_headers(target): gives target the include folder of the
# source folder it is declared in.
function(larkspan_public_headers target)
  get_filename_component(name ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(dir ${PROJECT_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${dir}/${name} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${dir})
endfunction()

# larkspan_layering_probe(NAME name AS library INCLUDE header [COMPILES]):
# a test that compiles one source file holding `#include "header"` with the
# include folders and options of library's own sources. Without COMPILES the
# compiler must fail and say that header was not found; with it, it must
# succeed (the scheme itself works).
function(larkspan_layering_probe)
  if(NOT LARKSPAN_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(P "COMPILES" "NAME;AS;INCLUDE" "" ${ARGN})
  set(probe layering_probe_${P_NAME})
  set(src ${PROJECT_BINARY_DIR}/layering/${P_NAME}.cpp)
  file(CONFIGURE OUTPUT ${src} CONTENT "#include \"@P_INCLUDE@\"\n" @ONLY)
  add_library(${probe} OBJECT EXCLUDE_FROM_ALL ${src})
  set_target_properties(${probe} PROPERTIES
    INCLUDE_DIRECTORIES "$<TARGET_PROPERTY:${P_AS},INCLUDE_DIRECTORIES>"
    COMPILE_DEFINITIONS "$<TARGET_PROPERTY:${P_AS},COMPILE_DEFINITIONS>"
    COMPILE_OPTIONS "$<TARGET_PROPERTY:${P_AS},COMPILE_OPTIONS>")
  if(P_COMPILES)
    set(expect compiles)
  else()
    set(expect not-found)
  endif()
  add_test(NAME layering_${P_NAME}
           COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR} -DTARGET=${probe}
                   -DHEADER=${P_INCLUDE} -DEXPECT=${expect}
                   -P ${PROJECT_SOURCE_DIR}/cmake/LayeringProbe.cmake)
  # Each probe runs the build tool in the build tree: one at a time.
  set_tests_properties(layering_${P_NAME} PROPERTIES
    LABELS layering RESOURCE_LOCK larkspan_build_tree TIMEOUT 300)
endfunction()
