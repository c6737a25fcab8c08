// An isolated registry for each test, the same interface in both builds.
//
// Natively it resets the emulation; under Wine it works below scratch keys of
// the real registry that are removed again after the test. Tests address keys
// only through the scratch paths below, so they mean the same in both.
#pragma once

#include <string>

#include "platform/win_api.h"

namespace test_registry {

// Gets a fresh, empty scratch area ready. Natively |wow64| chooses the
// emulated machine, which has %SystemRoot% and its folder as every Windows
// does; under Wine the prefix decides and the argument is ignored (see
// IsWow64()).
void SetUp(bool wow64);
// Removes the scratch area. Natively, also checks that no handle, token or
// SID text is left.
void TearDown();

// Whether this run is a 32-bit process on 64-bit Windows.
bool IsWow64();
// True in the native build, where the emulation can be driven further.
bool IsEmulated();

// Scratch key path below HKEY_CURRENT_USER, e.g. Software\SkerrowTest\1234.
const std::u16string& UserScratch();
// Scratch key path below HKEY_LOCAL_MACHINE\SOFTWARE as a 32-bit process sees
// it (redirected on WOW64), e.g. SOFTWARE\SkerrowTest\1234.
const std::u16string& MachineScratch();

// A hive file that is not loaded, holding Software\SkerrowHive with the
// REG_DWORD "v" = 1, and its full path: natively one of the emulation's,
// under Wine a file in %TEMP% in Wine's own format. TearDown removes it.
std::u16string MakeHiveFile();

}  // namespace test_registry
