// What Install and Uninstall may change, judged from registry dumps and the
// call log alone: which keys are settings keys, which differences between
// the registry before Install and after Uninstall the documented behaviour
// explains, and where Install may write.
#pragma once

#include <string>
#include <vector>

#include "platform/emulation/emulation.h"
#include "support/registry_diff.h"

namespace fuzz {

// The setting of a settings key and its REG_DWORD default as the dump
// writes it ("dword:0x2").
struct SettingOfKey {
  std::string name;
  std::string default_data;
  bool communication_center = false;  // Uninstall only
};

// The setting |key_path| (a dump's key line) holds, if it is a settings key
// that the sweep can reach on |machine|; null otherwise.
const SettingOfKey* SettingOf(const std::string& key_path, emu::Machine machine);

// Whether |key_path| lies in a user's hive: HKCU, another person's hive
// loaded below HKEY_USERS ("HKU\\<SID>\\...") or a hive file ("<FILE>\\...").
bool InUserHive(const std::string& key_path);
// Whether it lies in another person's hive, not the installing account's.
bool InPersonsHive(const std::string& key_path);

// Differences between |before| (before Install) and |after| (after a clean
// Uninstall) that the documented behaviour does not explain; |installed| is
// the registry in between. |machine_level|: the run switched
// HKEY_LOCAL_MACHINE (machine-wide data, administrator).
std::vector<std::string> UnexplainedChanges(const registry_diff::Registry& before,
                                            const registry_diff::Registry& installed,
                                            const registry_diff::Registry& after,
                                            emu::Machine machine, bool machine_level);

// Writes of Install (|calls|) that land neither in a settings key that was
// there (|before|), nor in its backup key, nor in a per-user copy that it
// created and, once Install is done (|installed|), marked, nor in the keys
// above such a copy (its trail: notes, created keys and their markers); and, unless
// |machine_level|, any write below HKEY_LOCAL_MACHINE, and unless |persons|
// (an all-users run), any write in another person's hive. Install makes no
// copies there. |marked_copies_only| is false when a fault may have made
// Install remove a copy again.
std::vector<std::string> StrayWrites(const std::vector<emu::Call>& calls,
                                     const registry_diff::Registry& before,
                                     const registry_diff::Registry& installed, emu::Machine machine,
                                     bool machine_level, bool persons, bool marked_copies_only);

}  // namespace fuzz
