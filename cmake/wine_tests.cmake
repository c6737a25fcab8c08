# The registry conformance tests under Wine, once on 64-bit Windows (WOW64)
# and once on 32-bit Windows.
#
# Fresh Wine prefixes are made once per test run by the fixture test
# "wine_prefixes" (without Mono and Gecko). Other tests that run programs
# under Wine use them with
#   FIXTURES_REQUIRED ${SKERROW_WINE_FIXTURE}
#   ENVIRONMENT "WINEPREFIX=${SKERROW_WINE_PREFIX64};WINEDEBUG=-all"
#   RESOURCE_LOCK ${SKERROW_WINE_PREFIX64}   (if they must have it to themselves)
# where
#   SKERROW_WINE_PREFIX64  64-bit prefix: 32-bit programs run under WOW64
#   SKERROW_WINE_PREFIX32  32-bit prefix: plain 32-bit Windows
set(SKERROW_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(SKERROW_WINE_PREFIX64 ${SKERROW_WINE_DIR}/win64)
set(SKERROW_WINE_PREFIX32 ${SKERROW_WINE_DIR}/win32)
set(SKERROW_WINE_FIXTURE wine_prefixes)

add_test(NAME wine_prefixes COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix ${SKERROW_WINE_DIR})
set_tests_properties(wine_prefixes PROPERTIES
  LABELS wine FIXTURES_SETUP ${SKERROW_WINE_FIXTURE} TIMEOUT 900)

foreach(arch 64 32)
  add_test(NAME conformance_wine${arch} COMMAND skerrow_conformance --gtest_brief=1)
  set_tests_properties(conformance_wine${arch} PROPERTIES
    LABELS wine
    FIXTURES_REQUIRED ${SKERROW_WINE_FIXTURE}
    ENVIRONMENT "WINEPREFIX=${SKERROW_WINE_PREFIX${arch}};WINEDEBUG=-all"
    RESOURCE_LOCK ${SKERROW_WINE_PREFIX${arch}}
    TIMEOUT 600)
endforeach()
