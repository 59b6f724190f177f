# Test programs build for speed of compiling, not of running: what they test is the libraries,
# optimised as the build type says, while the test bodies themselves (thousands of assertion
# macros) compile in less than half the time without optimisation. The common headers are
# precompiled once and shared by every test program.

# korvalis_test_target(<target>)
#
# Compile options every test program shares.
function(korvalis_test_target target)
  target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O0>)
endfunction()

# The precompiled GoogleTest and standard headers the GoogleTest programs reuse.
if(KORVALIS_BUILD_TESTS)
  set(korvalis_test_pch_source ${CMAKE_BINARY_DIR}/korvalis_test_pch.cpp)
  file(CONFIGURE OUTPUT ${korvalis_test_pch_source} CONTENT "// Holds the tests' precompiled headers.\n")
endif()

# korvalis_add_tests(NAME <name> SOURCES <files...> LIBRARIES <targets...> [THREADED])
#
# Builds one GoogleTest executable and registers its cases with CTest. Cases are discovered when
# ctest runs, so a sanitizer build never executes test code at build time. THREADED labels the
# cases "threaded": the ThreadSanitizer run of `make test-sanitize` selects them by that label.
function(korvalis_add_tests)
  if(NOT KORVALIS_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "THREADED" "NAME" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT TARGET korvalis_test_pch)
    add_library(korvalis_test_pch OBJECT ${korvalis_test_pch_source})
    target_link_libraries(korvalis_test_pch PRIVATE GTest::gmock GTest::gtest)
    korvalis_test_target(korvalis_test_pch)
    target_precompile_headers(korvalis_test_pch PRIVATE
      <gtest/gtest.h> <gmock/gmock.h> <algorithm> <cstdint> <functional> <map> <memory> <string>
      <vector>)
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} GTest::gmock GTest::gtest_main)
  korvalis_test_target(${ARG_NAME})
  target_precompile_headers(${ARG_NAME} REUSE_FROM korvalis_test_pch)
  set(labels unit)
  if(ARG_THREADED)
    set(labels threaded)
  endif()
  gtest_discover_tests(${ARG_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS "${labels}")
endfunction()

include(GoogleTest OPTIONAL)
