# The release build carries the hardening Debian builds its packages with
# (dpkg-buildflags, hardening=+all): fortified libc calls, a stack protector,
# and relocations made read-only and bound at start. Programs are PIE by the
# compiler's default, as Debian's are; the package test checks all of it.
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  add_compile_definitions(_FORTIFY_SOURCE=2)
  add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
  add_link_options(-Wl,-z,relro,-z,now)
endif()
