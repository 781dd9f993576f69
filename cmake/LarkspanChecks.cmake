# Build switches used by CI's gates; both are off in an everyday build.
#
#   -DLARKSPAN_WERROR=ON                    every compiler warning stops the build
#   -DLARKSPAN_SANITIZE=address,undefined   instrument everything with the named
#   -DLARKSPAN_SANITIZE=thread              sanitizers (one build folder per choice)
option(LARKSPAN_WERROR "Treat compiler warnings as errors" OFF)
set(LARKSPAN_SANITIZE "" CACHE STRING "Sanitizers to build with, as for -fsanitize= (empty: none)")

# Hardened as Debian builds its packages: a stack protector, every symbol bound at start
# (full RELRO), and fortified libc calls, which need optimisation (not in a Debug build) and
# are left to the sanitizers in their builds.
add_compile_options(-fstack-protector-strong)
add_link_options(-Wl,-z,relro -Wl,-z,now)
if(NOT LARKSPAN_SANITIZE)
  add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()

if(LARKSPAN_WERROR)
  add_compile_options(-Werror)
endif()

if(LARKSPAN_SANITIZE)
  # Frame pointers keep the reports' stacks whole; undefined behaviour aborts
  # the test instead of printing and carrying on.
  add_compile_options(-fsanitize=${LARKSPAN_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${LARKSPAN_SANITIZE})
  if(LARKSPAN_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()
