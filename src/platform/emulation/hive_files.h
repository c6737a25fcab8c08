// Hive files, such as another account's NTUSER.DAT, and advapi32's
// RegLoadKeyW and RegUnLoadKeyW, which load them below HKEY_USERS.
#pragma once

#include <string>

#include "platform/emulation/key_tree.h"

namespace emu::detail {

// The root of hive file |file| (names compared ignoring case); null where
// there is no such file. It is named "<FILE>" in the spelling first given
// while the file is not loaded, and after the SID while it is.
Key* FindHiveFile(const std::u16string& file);
// The same, made empty where missing.
Key& HiveFile(const std::u16string& file);
// "<FILE>" for the root of a hive file, loaded or not.
std::string HiveFileName(const Key& root);

}  // namespace emu::detail
