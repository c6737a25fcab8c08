# Native Linux build: the engine linked with the in-memory emulation of the
# Windows calls it makes, and the unit tests.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB EMULATION_SOURCES CONFIGURE_DEPENDS src/platform/emulation/*.cpp)
add_library(platform_emulation STATIC ${EMULATION_SOURCES})
target_include_directories(platform_emulation PUBLIC src)
# The emulation is the tests' machine, not code under test: optimised, it
# makes the fault and crash tests, which spend most of their time in it,
# several times faster. The engine stays a Debug build.
target_compile_options(platform_emulation PRIVATE -O2)

file(GLOB TEST_SOURCES CONFIGURE_DEPENDS
  tests/conformance/*.cpp tests/native/*.cpp tests/support/*.cpp tests/support/native/*.cpp)
add_executable(skerrow_tests ${TEST_SOURCES} ${ENGINE_TEST_HOOKS} ${SKERROW_STATUS_SOURCES}
  $<TARGET_OBJECTS:skerrow_engine>)
target_include_directories(skerrow_tests PRIVATE src tests tools)
target_link_libraries(skerrow_tests PRIVATE platform_emulation GTest::gtest GTest::gtest_main)
# GoogleTest's header, parsed once instead of in each of the test files.
target_precompile_headers(skerrow_tests PRIVATE <gtest/gtest.h>)
# Every test runs in a process of its own. Linked at a fixed address, the
# program starts without the loader applying half a million relocations
# first, which is a third of a short test's time.
target_link_options(skerrow_tests PRIVATE -no-pie)
# A smaller quarantine and shorter allocation stacks than AddressSanitizer's
# defaults: a use after free is still caught, and the tests, which allocate
# a great deal, take a third less time.
set(SKERROW_TEST_ENVIRONMENT "ASAN_OPTIONS=quarantine_size_mb=16:malloc_context_size=4")
gtest_discover_tests(skerrow_tests PROPERTIES LABELS native DISCOVERY_TIMEOUT 60
  ENVIRONMENT ${SKERROW_TEST_ENVIRONMENT})

option(SKERROW_BENCH "Build the benchmark over the emulation" OFF)
if(SKERROW_BENCH)
  include(cmake/bench.cmake)
endif()

# The allocation test once more over the engine optimised for size, as the
# DLL is built: what only an optimising compiler makes of a throw (storage
# that the handler reads, already given to something else) fails here rather
# than first in the DLL.
add_library(skerrow_engine_optimised OBJECT ${ENGINE_SOURCES})
target_include_directories(skerrow_engine_optimised PUBLIC src)
# Without the sanitizers, whose checks keep every variable in a slot of its
# own: the engine compiles as it does for the DLL.
target_compile_options(skerrow_engine_optimised PRIVATE -Os -fno-sanitize=all)
add_executable(skerrow_tests_optimised tests/native/fault_positions_test.cpp ${ENGINE_TEST_HOOKS}
  $<TARGET_OBJECTS:skerrow_engine_optimised>)
target_include_directories(skerrow_tests_optimised PRIVATE src tests)
target_link_libraries(skerrow_tests_optimised PRIVATE platform_emulation GTest::gtest
  GTest::gtest_main)
target_link_options(skerrow_tests_optimised PRIVATE -no-pie)
target_precompile_headers(skerrow_tests_optimised REUSE_FROM skerrow_tests)
gtest_discover_tests(skerrow_tests_optimised TEST_PREFIX "Optimised."
  TEST_FILTER "*EveryAllocationFailureIsReportedAndRepaired*"
  PROPERTIES LABELS native DISCOVERY_TIMEOUT 60 ENVIRONMENT ${SKERROW_TEST_ENVIRONMENT})
