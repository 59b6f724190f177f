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
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} GTest::gmock GTest::gtest_main)
  set(labels unit)
  if(ARG_THREADED)
    set(labels threaded)
  endif()
  gtest_discover_tests(${ARG_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS "${labels}")
endfunction()

include(GoogleTest OPTIONAL)
