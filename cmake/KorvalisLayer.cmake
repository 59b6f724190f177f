# korvalis_add_layer(NAME <target> [PUBLIC <libraries...>] [PRIVATE <libraries...>])
#
# One library layer whose files are collected by name from the calling folder: Foo.cpp belongs to
# the library, FooTest.cpp to the unit tests <target>_tests, FooThreadTest.cpp to the threaded
# tests <target>_threaded_tests (run under ThreadSanitizer), and FooTestSupport.cpp to the helpers
# the tests share (<target>_test_support). Nothing is made while the folder holds no source.
function(korvalis_add_layer)
  cmake_parse_arguments(ARG "" "NAME" "PUBLIC;PRIVATE" ${ARGN})
  set(dir ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(sources ${all})
  list(FILTER sources EXCLUDE REGEX "(Test|TestSupport)\\.cpp$")
  set(support ${all})
  list(FILTER support INCLUDE REGEX "TestSupport\\.cpp$")
  set(threaded_tests ${all})
  list(FILTER threaded_tests INCLUDE REGEX "ThreadTest\\.cpp$")
  set(unit_tests ${all})
  list(FILTER unit_tests INCLUDE REGEX "Test\\.cpp$")
  list(FILTER unit_tests EXCLUDE REGEX "ThreadTest\\.cpp$")
  if(NOT sources)
    return()
  endif()

  add_library(${ARG_NAME} STATIC ${sources})
  target_include_directories(${ARG_NAME} PUBLIC ${dir})
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})

  set(test_libraries ${ARG_NAME})
  if(KORVALIS_BUILD_TESTS AND support)
    add_library(${ARG_NAME}_test_support STATIC ${support})
    target_link_libraries(${ARG_NAME}_test_support PUBLIC ${ARG_NAME} GTest::gtest)
    list(APPEND test_libraries ${ARG_NAME}_test_support)
  endif()
  if(unit_tests)
    korvalis_add_tests(NAME ${ARG_NAME}_tests SOURCES ${unit_tests} LIBRARIES ${test_libraries})
  endif()
  if(threaded_tests)
    korvalis_add_tests(NAME ${ARG_NAME}_threaded_tests THREADED SOURCES ${threaded_tests}
                       LIBRARIES ${test_libraries})
  endif()
endfunction()
