# Fuzz build (build/fuzz, clang only): the engine and the emulation
# instrumented for libFuzzer and AddressSanitizer, the fuzz target, and the
# tests that run it: once over the seed corpus, then a seeded number of runs.
set(FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
               -fno-omit-frame-pointer)
target_compile_options(skerrow_engine PRIVATE ${FUZZ_FLAGS})

file(GLOB EMULATION_SOURCES CONFIGURE_DEPENDS src/platform/emulation/*.cpp)
add_library(platform_emulation STATIC ${EMULATION_SOURCES})
target_include_directories(platform_emulation PUBLIC src)
target_compile_options(platform_emulation PRIVATE ${FUZZ_FLAGS})

file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS tests/fuzz/*.cpp)
add_executable(skerrow_fuzz ${FUZZ_SOURCES} ${ENGINE_TEST_HOOKS} $<TARGET_OBJECTS:skerrow_engine>)
target_include_directories(skerrow_fuzz PRIVATE src tests)
target_compile_options(skerrow_fuzz PRIVATE ${FUZZ_FLAGS})
target_link_libraries(skerrow_fuzz PRIVATE platform_emulation)
target_link_options(skerrow_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)

set(FUZZ_CORPUS ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus)
set(FUZZ_RUNS 1000 CACHE STRING "How many inputs the seeded fuzz test runs")
# Every file of the corpus once: the seeds and the regression inputs.
add_test(NAME fuzz_corpus COMMAND skerrow_fuzz -runs=0 ${FUZZ_CORPUS})
# From the seeds alone each time, with one seed: the same tree runs the same
# inputs. Findings go to build/fuzz/findings.
add_test(NAME fuzz_seeded
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/fuzz $<TARGET_FILE:skerrow_fuzz> --runs ${FUZZ_RUNS})
set_tests_properties(fuzz_corpus fuzz_seeded PROPERTIES LABELS fuzz)
set_tests_properties(fuzz_seeded PROPERTIES DEPENDS fuzz_corpus TIMEOUT 600)
