# Host build: portable modules, their unit tests, fuzz targets and benchmarks.
find_package(GTest REQUIRED)
add_subdirectory(tests/host)
add_subdirectory(tools/host)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_subdirectory(tests/fuzz)
endif()
find_package(benchmark QUIET)
if(benchmark_FOUND AND NOT EVESK_SANITIZE)
  add_subdirectory(tests/bench)
endif()

# The run and test commands configure before every build: that alone must leave nothing to build.
add_test(NAME build.nothing_to_redo COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/check-no-rebuild.py ${CMAKE_BINARY_DIR})
