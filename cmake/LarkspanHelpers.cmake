# The helpers the engine and the window use at run time: outside programs
# (pngout, ...), the markup compressor's archive and the skin folder.
#
# In the build tree they sit beside the executables in LARKSPAN_BIN_DIR.
# Installed, they go to LARKSPAN_INSTALL_HELPERDIR, lib/larkspan under the
# prefix, where HelperFolders() (platform/FileSystem.h) looks for them from
# the executables' bin/. Not GNUInstallDirs' LIBDIR: that is multiarch on
# Debian, and the program finds its helpers by the fixed relative path.
#
# Adding a helper program is one line after its add_executable:
#   larkspan_helper_program(larkspan-minify)
# which installs it there, puts it into the package, and builds it for
# `make demo` (target larkspan_helpers).
include_guard(GLOBAL)
set(LARKSPAN_INSTALL_HELPERDIR lib/larkspan)
add_custom_target(larkspan_helpers)

# larkspan_helper_program(target...): executables started by the engine.
function(larkspan_helper_program)
  foreach(target ${ARGN})
    install(TARGETS ${target} RUNTIME DESTINATION ${LARKSPAN_INSTALL_HELPERDIR})
    add_dependencies(larkspan_helpers ${target})
  endforeach()
endfunction()

# larkspan_helper_file(target FILES...): files made by a custom target.
function(larkspan_helper_file target)
  install(FILES ${ARGN} DESTINATION ${LARKSPAN_INSTALL_HELPERDIR})
  add_dependencies(larkspan_helpers ${target})
endfunction()
