# Compiler flags of a fuzz build, applied to every target so that libFuzzer
# sees the coverage of the libraries under test, and ASan+UBSan catch what
# the inputs provoke. Included from the top level before any library.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "MORVEL_FUZZ needs clang (libFuzzer); use the \"fuzz\" preset")
endif()
if(NOT MORVEL_SANITIZER STREQUAL "")
  message(FATAL_ERROR "MORVEL_FUZZ brings its own sanitizers; leave MORVEL_SANITIZER empty")
endif()
if(MORVEL_WITH_QT)
  message(FATAL_ERROR "MORVEL_FUZZ builds only the Qt-free parts; set MORVEL_WITH_QT OFF")
endif()

# -O1: fast enough to fuzz, still clear stack traces.
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer -O1 -g)
add_link_options(-fsanitize=address,undefined)
