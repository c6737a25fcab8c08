# 32-bit Windows build: the engine forwarded to the real API, the DLL, and the
# same registry conformance tests, run under Wine.
set(WIN32_STATIC_LINK -static -static-libgcc -static-libstdc++)

add_library(platform_windows STATIC src/platform/windows/win_api_windows.cpp)
target_include_directories(platform_windows PUBLIC src)
target_link_libraries(platform_windows PUBLIC advapi32 kernel32)

# What goes into the DLL is optimised for size: the code waits on the
# registry, not on the processor, and -Os makes it a quarter smaller than -O3.
# The tests under Wine run the same objects.
set(SKERROW_SIZE_OPTIMISED $<$<CONFIG:Release>:-Os>)
target_compile_options(skerrow_engine PRIVATE ${SKERROW_SIZE_OPTIMISED})
target_compile_options(platform_windows PRIVATE ${SKERROW_SIZE_OPTIMISED})

# GoogleTest from Debian's source package, built with MinGW.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB WINE_TEST_SOURCES CONFIGURE_DEPENDS
  tests/conformance/*.cpp tests/support/*.cpp tests/support/wine/*.cpp)
add_executable(skerrow_conformance ${WINE_TEST_SOURCES} ${ENGINE_TEST_HOOKS}
  $<TARGET_OBJECTS:skerrow_engine>)
target_include_directories(skerrow_conformance PRIVATE src tests)
target_link_libraries(skerrow_conformance PRIVATE platform_windows gtest gtest_main)
target_link_options(skerrow_conformance PRIVATE ${WIN32_STATIC_LINK})

include(cmake/wine_tests.cmake OPTIONAL)
include(cmake/dll.cmake OPTIONAL)
include(cmake/msi_tests.cmake OPTIONAL)

# Without the DLL's ordinal import library the tests take MinGW's msi import.
if(NOT TARGET msi_ordinal)
  target_link_libraries(skerrow_conformance PRIVATE msi)
endif()
