include(GoogleTest)

# morvel_add_gtest(<name> LABEL <label> SOURCES <files...> LIBS <targets...>)
# One executable per test file; each test case becomes its own CTest test,
# so a hang or crash in one case is reported against that case alone.
function(morvel_add_gtest name)
  cmake_parse_arguments(T "WITH_SIM" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest)
  if(T_WITH_SIM)
    # Tests that talk to a simulated Kestrix find it here.
    target_compile_definitions(${name} PRIVATE KESTRIX_SIM_BINARY="$<TARGET_FILE:kestrix-sim>")
    add_dependencies(${name} kestrix-sim)
  endif()
  if(NOT "morvel_qt_test_main" IN_LIST T_LIBS)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 30
    PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# Every <dir>/*_test.cpp becomes one test executable labelled <label>;
# WITH_SIM gives each the simulator's path as KESTRIX_SIM_BINARY; the files
# named in LONG (without .cpp) may take 10 minutes instead of 2, for runs that
# do a long stretch of work on purpose, slower still under a sanitizer.
function(morvel_add_gtest_dir dir label)
  cmake_parse_arguments(T "WITH_SIM" "" "LIBS;LONG" ${ARGN})
  set(sim)
  if(T_WITH_SIM)
    set(sim WITH_SIM)
  endif()
  file(GLOB tests CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  foreach(src IN LISTS tests)
    get_filename_component(base ${src} NAME_WE)
    set(timeout 120)
    if(base IN_LIST T_LONG)
      set(timeout 600)
    endif()
    morvel_add_gtest(${label}_${base} LABEL ${label} TIMEOUT ${timeout} SOURCES ${src}
      LIBS ${T_LIBS} ${sim})
  endforeach()
endfunction()
