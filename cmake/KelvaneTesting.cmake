# kelvane_add_test(NAME LABEL label SOURCES ... LIBS ...)
# One GoogleTest executable; every test case becomes its own CTest entry carrying the label.
include(GoogleTest)
find_package(GTest REQUIRED)

function(kelvane_add_test name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kelvane_testsupport GTest::gtest GTest::gmock ${T_LIBS})
  gtest_discover_tests(${name}
    PROPERTIES LABELS ${T_LABEL} TIMEOUT 600
    DISCOVERY_TIMEOUT 60)
endfunction()
