include(GoogleTest)

# morvel_add_gtest(<name> LABELS <labels...> SOURCES <files...> LIBS <targets...>)
# One executable per test file; each test case becomes its own CTest test,
# so a hang or crash in one case is reported against that case alone.
function(morvel_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "LABELS;SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest)
  if(NOT "morvel_qt_test_main" IN_LIST T_LIBS)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 30
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# Every <dir>/*_test.cpp becomes one test executable labelled <label>.
function(morvel_add_gtest_dir dir label)
  cmake_parse_arguments(T "" "" "EXTRA_LABELS;LIBS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  foreach(src IN LISTS tests)
    get_filename_component(base ${src} NAME_WE)
    morvel_add_gtest(${label}_${base} LABELS ${label} ${T_EXTRA_LABELS} SOURCES ${src}
      LIBS ${T_LIBS})
  endforeach()
endfunction()
