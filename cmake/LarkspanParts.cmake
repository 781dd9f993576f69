# The optional parts of the build. Each is a cache switch:
#   AUTO  (default) built when the packages it needs are installed, else left out with a note
#   ON    built; configuring fails when its packages are missing (make test, CI)
#   OFF   left out
#
#   LARKSPAN_BUILD_UI       the Qt desktop program `larkspan` and its tests (Qt 6)
#   LARKSPAN_BUILD_ARCHIVE  htmlcompressor.jar and the JNI library it loads (a JDK >= 17);
#                           the default, in-process compressor needs neither
#   LARKSPAN_BUILD_TESTS    the unit tests (GoogleTest)
# larkspan-cli and the helper programs it starts never need any of them. Once decided, a
# normal variable of the same name, TRUE or FALSE, hides the cache switch, so that
# `if(LARKSPAN_BUILD_TESTS)` anywhere in the tree reads the outcome.
include_guard(GLOBAL)

# larkspan_part(NAME doc): declares the switch NAME.
macro(larkspan_part name doc)
  set(${name} AUTO CACHE STRING "${doc}: AUTO, ON or OFF")
  set_property(CACHE ${name} PROPERTY STRINGS AUTO ON OFF)
endmacro()

# larkspan_part_mode(NAME out): out becomes AUTO, REQUIRED or OFF.
function(larkspan_part_mode name out)
  string(TOUPPER "${${name}}" value)
  if(value STREQUAL "AUTO")
    set(${out} AUTO PARENT_SCOPE)
  elseif(value)
    set(${out} REQUIRED PARENT_SCOPE)
  else()
    set(${out} OFF PARENT_SCOPE)
  endif()
endfunction()

# larkspan_part_result(NAME found what): sets NAME (a normal variable) from its mode and
# whether its packages were found; a required part that was not found stops the
# configuration.
function(larkspan_part_result name found what)
  larkspan_part_mode(${name} mode)
  if(mode STREQUAL "OFF")
    set(${name} FALSE PARENT_SCOPE)
  elseif(found)
    set(${name} TRUE PARENT_SCOPE)
  elseif(mode STREQUAL "REQUIRED")
    message(FATAL_ERROR "${name}=ON, but ${what} is not installed (scripts/bootstrap test "
                        "installs it; -D${name}=OFF leaves the part out)")
  else()
    message(STATUS "${name}: ${what} is not installed, the part is left out")
    set(${name} FALSE PARENT_SCOPE)
  endif()
endfunction()

larkspan_part(LARKSPAN_BUILD_TESTS "Build the unit tests")
larkspan_part_mode(LARKSPAN_BUILD_TESTS larkspan_mode)
set(larkspan_found FALSE)
if(NOT larkspan_mode STREQUAL "OFF")
  find_package(GTest QUIET)
  set(larkspan_found ${GTest_FOUND})
endif()
larkspan_part_result(LARKSPAN_BUILD_TESTS "${larkspan_found}"
                     "GoogleTest (libgtest-dev, libgmock-dev)")

larkspan_part(LARKSPAN_BUILD_ARCHIVE "Build htmlcompressor.jar and its JNI library")
larkspan_part_mode(LARKSPAN_BUILD_ARCHIVE larkspan_mode)
set(larkspan_found FALSE)
if(NOT larkspan_mode STREQUAL "OFF")
  find_package(Java 17 QUIET COMPONENTS Development)
  set(larkspan_found ${Java_Development_FOUND})
endif()
larkspan_part_result(LARKSPAN_BUILD_ARCHIVE "${larkspan_found}"
                     "a Java 17 JDK (default-jdk-headless)")

larkspan_part(LARKSPAN_BUILD_UI "Build the Qt desktop program")
# larkspan_decide_ui(): the window's part, decided where its Qt targets must be seen (the
# top of the tree), not in tools/ built on its own.
macro(larkspan_decide_ui)
  larkspan_part_mode(LARKSPAN_BUILD_UI larkspan_mode)
  set(larkspan_found FALSE)
  if(NOT larkspan_mode STREQUAL "OFF")
    find_package(Qt6 QUIET COMPONENTS Widgets Test)
    if(Qt6Widgets_FOUND AND Qt6Test_FOUND)
      set(larkspan_found TRUE)
    endif()
  endif()
  larkspan_part_result(LARKSPAN_BUILD_UI "${larkspan_found}" "Qt 6 (qt6-base-dev)")
endmacro()
