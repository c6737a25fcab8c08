# The native benchmark over the emulation (make bench builds it in its own
# Release tree without sanitizers).
find_package(benchmark REQUIRED)
add_executable(skerrow_bench bench/emulation_bench.cpp ${ENGINE_TEST_HOOKS}
  $<TARGET_OBJECTS:skerrow_engine>)
target_include_directories(skerrow_bench PRIVATE src)
target_link_libraries(skerrow_bench PRIVATE platform_emulation benchmark::benchmark)

# The calls one setting costs, from the call log.
add_executable(skerrow_call_sequence bench/call_sequence.cpp ${ENGINE_TEST_HOOKS}
  $<TARGET_OBJECTS:skerrow_engine>)
target_include_directories(skerrow_call_sequence PRIVATE src)
target_link_libraries(skerrow_call_sequence PRIVATE platform_emulation)
