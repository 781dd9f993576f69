# The helpers the engine and the window use at run time: outside programs
# (pngout, ...), the markup compressor's archive and the skin folder.
#
# In the build tree they sit beside the executables in LARKSPAN_BIN_DIR.
# Installed, programs (and the archive's JNI library) go to
# LARKSPAN_INSTALL_HELPERDIR, libexec/larkspan under the prefix, and data (the
# archive, the skin) to LARKSPAN_INSTALL_HELPERDATADIR, share/larkspan, where
# HelperFolders() (platform/FileSystem.h) looks for them from the executables'
# bin/. Not GNUInstallDirs' LIBEXECDIR: the program finds its helpers by the
# fixed relative path.
#
# The install components are the two Debian packages (packaging/):
#   cli     larkspan-cli, the helpers, the archive: everything a server needs
#   window  the desktop program, its skin, icons and desktop entry
#
# Adding a helper program is one line after its add_executable:
#   larkspan_helper_program(larkspan-minify)
# which installs it there, puts it into the package, and builds it for
# `make demo` (target larkspan_helpers).
include_guard(GLOBAL)
set(LARKSPAN_INSTALL_HELPERDIR libexec/larkspan)
set(LARKSPAN_INSTALL_HELPERDATADIR share/larkspan)
add_custom_target(larkspan_helpers)

# larkspan_helper_program(target...): executables started by the engine.
function(larkspan_helper_program)
  foreach(target ${ARGN})
    install(TARGETS ${target} RUNTIME DESTINATION ${LARKSPAN_INSTALL_HELPERDIR} COMPONENT cli)
    add_dependencies(larkspan_helpers ${target})
  endforeach()
endfunction()

# larkspan_helper_file(target FILES...): data files made by a custom target.
function(larkspan_helper_file target)
  install(FILES ${ARGN} DESTINATION ${LARKSPAN_INSTALL_HELPERDATADIR} COMPONENT cli)
  add_dependencies(larkspan_helpers ${target})
endfunction()
