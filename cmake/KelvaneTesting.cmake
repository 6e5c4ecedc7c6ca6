# kelvane_add_test(NAME LABEL label SOURCES ... LIBS ...)
# One GoogleTest executable; every test case becomes its own CTest entry carrying the label,
# named after the executable (e.g. devserver_tests.Suite.Case) so `ctest -R` can pick one area.
include(GoogleTest)
find_package(GTest REQUIRED)

function(kelvane_add_test name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kelvane_testsupport GTest::gtest GTest::gmock ${T_LIBS})
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    PROPERTIES LABELS ${T_LABEL} TIMEOUT 600
    DISCOVERY_TIMEOUT 60)
endfunction()

# kelvane_add_label_tests(PREFIX LIBS ...)
# Globs <label>/*.cpp beside the calling CMakeLists for each label and makes one executable
# per label that has sources, so areas can add tests without editing a shared list.
function(kelvane_add_label_tests prefix)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  foreach(label unit integration fuse gui update)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${label}/*.cpp)
    if(sources)
      kelvane_add_test(${prefix}_${label}_tests LABEL ${label} SOURCES ${sources} LIBS ${T_LIBS})
    endif()
  endforeach()
endfunction()

# A release configuration without the product's own engine pin must not configure at all.
if(BUILD_TESTING)
  add_test(NAME build.ReleaseWithoutAnEnginePinIsRefused
    COMMAND ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR}
            -B ${CMAKE_BINARY_DIR}/release-pin-check -G Ninja -DKELVANE_RELEASE=ON
            -DBUILD_TESTING=OFF)
  set_tests_properties(build.ReleaseWithoutAnEnginePinIsRefused PROPERTIES LABELS unit
    PASS_REGULAR_EXPRESSION "KELVANE_RELEASE needs KELVANE_JUICEFS_SHA256")
endif()
