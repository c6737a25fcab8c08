# Skerrow.dll, the runner that calls it inside an installer session, and the
# tests of the built DLL under Wine.
#
# The DLL carries the engine and the forwarding to the real API, with the
# compiler runtime linked in statically: the target machine needs nothing
# beyond Windows' own DLLs (KERNEL32, ADVAPI32, msi.dll, msvcrt.dll).

set(SKERROW_DIST_DIR "${CMAKE_SOURCE_DIR}/dist" CACHE PATH
    "Directory that receives the built Skerrow.dll")

# msi.dll is bound by ordinal only, so the import library comes from our own
# definition instead of MinGW's libmsi.a, which imports by name.
find_program(SKERROW_DLLTOOL NAMES ${CMAKE_DLLTOOL} i686-w64-mingw32-dlltool REQUIRED)
set(MSI_ORDINAL_DEF "${CMAKE_SOURCE_DIR}/src/platform/windows/msi_ordinal.def")
set(MSI_ORDINAL_LIB "${CMAKE_BINARY_DIR}/libmsi_ordinal.a")
# dlltool names the library's members and symbols after the output path as
# given, so it is given without the build folder.
add_custom_command(
  OUTPUT ${MSI_ORDINAL_LIB}
  COMMAND ${SKERROW_DLLTOOL} --input-def ${MSI_ORDINAL_DEF} --output-lib libmsi_ordinal.a
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS ${MSI_ORDINAL_DEF}
  COMMENT "Import library for msi.dll (by ordinal)"
  VERBATIM)
add_custom_target(msi_ordinal_importlib DEPENDS ${MSI_ORDINAL_LIB})
add_library(msi_ordinal INTERFACE)
target_link_libraries(msi_ordinal INTERFACE ${MSI_ORDINAL_LIB})
add_dependencies(msi_ordinal msi_ordinal_importlib)
# Every program that links the forwarding layer gets msi.dll the same way.
target_link_libraries(platform_windows PUBLIC msi_ordinal)

# The runtime_*.cpp files stand in for pieces of the C++ runtime that would
# otherwise make up most of the DLL. Being objects of the DLL itself, they
# are linked before the runtime libraries are searched.
add_library(skerrow_dll SHARED $<TARGET_OBJECTS:skerrow_engine> src/entry/Skerrow.def
  src/platform/windows/runtime_terminate_handler.cpp
  src/platform/windows/runtime_throw_helpers.cpp
  src/platform/windows/runtime_pseudo_relocs.cpp)
set_target_properties(skerrow_dll PROPERTIES
  OUTPUT_NAME Skerrow
  PREFIX ""
  LINKER_LANGUAGE CXX
  RUNTIME_OUTPUT_DIRECTORY ${SKERROW_DIST_DIR}
  # The import library is of no use to anyone: packages bind by name at run time.
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(skerrow_dll PRIVATE platform_windows)
target_compile_options(skerrow_dll PRIVATE ${SKERROW_SIZE_OPTIMISED})
# The .def file alone decides the export table; nothing from the static
# runtime libraries is exported automatically. Release builds are stripped.
target_link_options(skerrow_dll PRIVATE ${WIN32_STATIC_LINK} -Wl,--exclude-all-symbols
  $<$<CONFIG:Release,MinSizeRel>:-s>)
# Unused functions of the runtime libraries, which are built one section per
# function, are left out. (The engine is not built that way: nearly all of its
# code is used, so it would gain nothing, and its zero-filled buffers would
# move from .bss into the file.) The link map shows what is left, and from
# where.
target_link_options(skerrow_dll PRIVATE -Wl,--gc-sections -Wl,-Map,${CMAKE_BINARY_DIR}/Skerrow.map)
# Data of other DLLs is reached only through declared imports, never through
# pseudo relocations fixed up at load time: runtime_pseudo_relocs.cpp
# applies none.
target_link_options(skerrow_dll PRIVATE -Wl,--disable-auto-import
  -Wl,--disable-runtime-pseudo-reloc)

# The engine starts no threads, so the DLL links the compiler runtime built for
# the win32 thread model where the toolchain has one. The posix model's would
# bring a static winpthread, which imports GetTickCount64 and so keeps the DLL
# from loading on Windows XP.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
  OUTPUT_VARIABLE SKERROW_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(SKERROW_GCC_LIB_DIR "${SKERROW_LIBGCC}" DIRECTORY)
string(REGEX REPLACE "-posix$" "-win32" SKERROW_WIN32_RUNTIME_DIR "${SKERROW_GCC_LIB_DIR}")
if(NOT SKERROW_WIN32_RUNTIME_DIR STREQUAL SKERROW_GCC_LIB_DIR
   AND EXISTS "${SKERROW_WIN32_RUNTIME_DIR}/libstdc++.a")
  target_link_options(skerrow_dll PRIVATE -L${SKERROW_WIN32_RUNTIME_DIR})
else()
  message(WARNING "No win32-thread-model runtime beside ${SKERROW_GCC_LIB_DIR}; "
                  "Skerrow.dll will need Windows Vista or later")
endif()

# skerrow-run.exe: Install/Uninstall of a Skerrow.dll in a real installer
# session, and the status report, which reads the registry with the engine's
# own release lists and record names. A copy of the DLL beside it makes its
# default work in the build tree.
add_executable(skerrow_run tools/skerrow-run.cpp ${SKERROW_STATUS_SOURCES}
  $<TARGET_OBJECTS:skerrow_engine>)
set_target_properties(skerrow_run PROPERTIES OUTPUT_NAME skerrow-run)
target_compile_options(skerrow_run PRIVATE -municode)
target_link_libraries(skerrow_run PRIVATE platform_windows msi)
target_link_options(skerrow_run PRIVATE ${WIN32_STATIC_LINK} -municode)
add_dependencies(skerrow_run skerrow_dll)
add_custom_command(TARGET skerrow_run POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:skerrow_dll>
          $<TARGET_FILE_DIR:skerrow_run>/Skerrow.dll
  VERBATIM)
include(cmake/reproducible.cmake)

# The DLL's headers: architecture, export table, import table.
add_test(NAME dll_headers
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/check-dll-headers.sh $<TARGET_FILE:skerrow_dll>
          ${CMAKE_OBJDUMP})
set_tests_properties(dll_headers PROPERTIES LABELS wine)

# The DLL and the runner built once more, elsewhere and later: the same bytes.
add_test(NAME reproducible_build
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/reproducible-build.sh ${CMAKE_SOURCE_DIR}
          $<TARGET_FILE:skerrow_dll> $<TARGET_FILE:skerrow_run> ${CMAKE_BUILD_TYPE})
set_tests_properties(reproducible_build PROPERTIES LABELS wine TIMEOUT 600)

# Signing both programs, and the comparison of a signed file with a build.
add_test(NAME signing
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/signing.sh $<TARGET_FILE:skerrow_dll>
          $<TARGET_FILE:skerrow_run>)
set_tests_properties(signing PROPERTIES LABELS wine SKIP_RETURN_CODE 77 TIMEOUT 120)

# Running out of memory: both exports return 1603 rather than take the
# installer down, through the C++ runtime linked into the DLL.
add_executable(out_of_memory_result tests/wine/out_of_memory_result.cpp)
set_target_properties(out_of_memory_result PROPERTIES OUTPUT_NAME out-of-memory-result)
target_link_options(out_of_memory_result PRIVATE ${WIN32_STATIC_LINK})
skerrow_wine_test(dll_out_of_memory 32 120
  ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:out_of_memory_result> $<TARGET_FILE:skerrow_dll>)

# A volatile key, below which the registry refuses the backup key: a real
# registry failure for the msiexec scenario failing-install-64.
add_executable(make_volatile_key tests/wine/make_volatile_key.cpp)
set_target_properties(make_volatile_key PROPERTIES OUTPUT_NAME make-volatile-key)
target_link_options(make_volatile_key PRIVATE ${WIN32_STATIC_LINK} -municode)

# Another account logged on: its hive loaded below HKEY_USERS and its entry in
# ProfileList, for the msiexec scenario all-users-64.
add_executable(add_logged_on_user tests/wine/add_logged_on_user.cpp)
set_target_properties(add_logged_on_user PROPERTIES OUTPUT_NAME add-logged-on-user)
target_link_options(add_logged_on_user PRIVATE ${WIN32_STATIC_LINK} -municode)

# Install and Uninstall in a real installer session under Wine, judged by the
# registry they leave, on 64-bit Windows (both passes) and 32-bit Windows, in
# the prefixes of cmake/wine_tests.cmake.
foreach(bits 64 32)
  skerrow_wine_test(e2e_win${bits} ${bits} 600
    bash ${CMAKE_SOURCE_DIR}/tests/wine/end-to-end.sh --arch win${bits}
    --prefix ${SKERROW_WINE_PREFIX${bits}} --runner $<TARGET_FILE:skerrow_run>
    --dll $<TARGET_FILE:skerrow_dll>)
endforeach()

# skerrow-run itself: bad arguments, a missing DLL or export never pass for
# success.
skerrow_wine_test(skerrow_run_errors 64 300
  bash ${CMAKE_SOURCE_DIR}/tests/wine/runner-errors.sh --prefix ${SKERROW_WINE_PREFIX64}
  --runner $<TARGET_FILE:skerrow_run> --dll $<TARGET_FILE:skerrow_dll>)

# Signed, the DLL and the runner still install and remove.
skerrow_wine_test(signed_dll_win64 64 300
  bash ${CMAKE_SOURCE_DIR}/tests/wine/signed-dll.sh --arch win64 --prefix ${SKERROW_WINE_PREFIX64}
  --runner $<TARGET_FILE:skerrow_run> --dll $<TARGET_FILE:skerrow_dll>)

# skerrow-run status against the real registry: no products, installed and
# removed in each mode, compared with reg export.
foreach(bits 64 32)
  skerrow_wine_test(status_win${bits} ${bits} 600
    bash ${CMAKE_SOURCE_DIR}/tests/wine/status.sh --arch win${bits}
    --prefix ${SKERROW_WINE_PREFIX${bits}} --runner $<TARGET_FILE:skerrow_run>
    --dll $<TARGET_FILE:skerrow_dll>)
endforeach()
