// Hive files that are not loaded, such as another account's NTUSER.DAT, and
// advapi32's RegLoadAppKeyW, which opens them.
#pragma once

#include <string>

#include "platform/emulation/key_tree.h"

namespace emu::detail {

// The root of hive file |file| (names compared ignoring case), named
// "<FILE>" in the spelling first given; null where there is no such file.
Key* FindHiveFile(const std::u16string& file);
// The same, made empty where missing.
Key& HiveFile(const std::u16string& file);

// RegLoadAppKeyW as GetProcAddress hands it out.
win::LONG SKERROW_STDCALL EmulatedRegLoadAppKeyW(const char16_t* file, win::HKEY* result,
                                                 win::REGSAM access, win::DWORD options,
                                                 win::DWORD reserved);

}  // namespace emu::detail
