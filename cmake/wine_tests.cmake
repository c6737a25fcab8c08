# The registry conformance tests under Wine, once on 64-bit Windows (WOW64)
# and once on 32-bit Windows.
#
# Every test that runs programs under Wine uses one of two prefixes, which
# the fixture test "wine_prefixes" makes where they are missing (without
# Mono and Gecko) and which stay for the next run and for `make demo`:
#   SKERROW_WINE_PREFIX64  64-bit prefix: 32-bit programs run under WOW64
#   SKERROW_WINE_PREFIX32  32-bit prefix: plain 32-bit Windows
# skerrow_wine_test(NAME BITS TIMEOUT COMMAND...) adds such a test. It runs
# through scripts/in-wine-prefix, which puts the prefix's registry back as
# made and keeps other runs out, and holds the prefix as a RESOURCE_LOCK, so
# that ctest -j starts no two of them in one prefix at once. Every such test
# runs 32-bit Windows programs, and is skipped on a machine that cannot.
set(SKERROW_WINE_DIR ${CMAKE_BINARY_DIR}/wine CACHE PATH
    "Where the Wine prefixes shared by the tests (and make demo) are kept")
set(SKERROW_WINE_PREFIX64 ${SKERROW_WINE_DIR}/prefix64)
set(SKERROW_WINE_PREFIX32 ${SKERROW_WINE_DIR}/prefix32)
set(SKERROW_WINE_FIXTURE wine_prefixes)

add_test(NAME wine_prefixes
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/make-wine-prefixes ${SKERROW_WINE_DIR})
set_tests_properties(wine_prefixes PROPERTIES
  LABELS wine
  FIXTURES_SETUP ${SKERROW_WINE_FIXTURE}
  RESOURCE_LOCK "${SKERROW_WINE_PREFIX64};${SKERROW_WINE_PREFIX32}"
  SKIP_RETURN_CODE 77
  TIMEOUT 900)

function(skerrow_wine_test name bits timeout)
  set(prefix ${SKERROW_WINE_PREFIX${bits}})
  add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/scripts/in-wine-prefix --32-bit ${prefix} ${ARGN})
  set_tests_properties(${name} PROPERTIES
    LABELS wine
    FIXTURES_REQUIRED ${SKERROW_WINE_FIXTURE}
    RESOURCE_LOCK ${prefix}
    SKIP_RETURN_CODE 77
    TIMEOUT ${timeout})
endfunction()

foreach(bits 64 32)
  skerrow_wine_test(conformance_wine${bits} ${bits} 600
    ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:skerrow_conformance> --gtest_brief=1)
endforeach()

# The prefix's lock and clean-up themselves (scripts/in-wine-prefix), in a
# scratch prefix of the test's own.
add_test(NAME prefix_lock
  COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/prefix-lock.sh ${CMAKE_BINARY_DIR}/prefix-lock)
set_tests_properties(prefix_lock PROPERTIES LABELS wine TIMEOUT 120)
