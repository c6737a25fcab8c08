// HKEY_USERS: the hives loaded for the accounts of the machine, that of the
// process's own account (HKEY_CURRENT_USER) among them.
#pragma once

#include <string>

#include "platform/emulation/machine_state.h"

namespace emu::detail {

// The SID of the account the process runs as, after Reset.
inline constexpr char16_t kDefaultProcessUser[] = u"S-1-5-21-0-0-0-1000";

// Makes HKEY_USERS with the process user's hive in it as HKCU.
void BuildUserHives(MachineState& state);

// The hive loaded for |sid|, created where missing; HKCU for the process
// user.
Key& UserHive(const std::u16string& sid);

// Whether |key| is HKEY_USERS itself.
bool IsUsersRoot(const Key& key);

// Whether |key| is the root of a hive: a predefined root, a hive below
// HKEY_USERS or a hive file's root. Such keys cannot be deleted.
bool IsHiveRoot(const Key& key);

}  // namespace emu::detail
