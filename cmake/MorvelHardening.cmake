# The release build carries the hardening Debian builds its packages with
# (dpkg-buildflags, hardening=+all): fortified libc calls, a stack
# protector, relocations made read-only and bound at start, and
# position-independent programs, whatever the compiler's defaults.
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_compile_definitions(_FORTIFY_SOURCE=2)
  add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
  add_link_options(-Wl,-z,relro,-z,now)
endif()
