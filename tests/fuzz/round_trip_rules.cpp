#include "round_trip_rules.h"

#include <map>

#include "platform/emulation/key_tree.h"

namespace fuzz {
namespace {

using registry_diff::Registry;

const SettingOfKey kLoadCtrls = {"LOADCTRLS", "dword:0x2"};
const SettingOfKey kInfoCenterOn = {"InfoCenterOn", "dword:0x1"};
const SettingOfKey kEnableCommunicationCenter = {"EnableCommunicationCenter", "dword:0x1", true};

std::u16string Folded(const std::string& text) {
  return emu::detail::Fold(emu::detail::FromUtf8(text));
}

bool Same(const std::string& a, const char* b) { return Folded(a) == Folded(b); }

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find('\\', start);
    parts.push_back(path.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

std::string Parent(const std::string& path) {
  const std::size_t cut = path.rfind('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string LastName(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

// Where the path below a person's hive starts: after "HKU\<SID>" or after
// "<FILE>"; 0 for any other path.
std::size_t PersonsRootEnd(const std::string& path) {
  if (path.rfind("HKU\\", 0) == 0) {
    const std::size_t end = path.find('\\', 4);
    return end == std::string::npos ? path.size() : end;
  }
  if (path.rfind("<", 0) == 0) {
    const std::size_t end = path.find('>');
    return end == std::string::npos ? 0 : end + 1;
  }
  return 0;
}

struct Release {
  const char* family;
  const char* release;
  bool both_connectors;  // WSCommCntrAcCon and InfoCenterAcConn; else one of them
  bool info_center;      // InfoCenter instead of the connectors
  bool second_pass;
};

constexpr Release kReleases[] = {
    {"AutoCAD", "R16.0", false, false, false},  {"AutoCAD", "R16.1", false, false, false},
    {"AutoCAD", "R16.2", false, false, false},  {"AutoCAD", "R17.0", false, false, false},
    {"AutoCAD", "R17.1", true, false, true},    {"AutoCAD", "R17.2", true, false, true},
    {"AutoCAD", "R18.0", false, true, true},    {"AutoCAD", "R18.1", false, true, true},
    {"AutoCAD", "R18.2", false, true, true},    {"AutoCAD", "R19.0", false, true, true},
    {"AutoCAD", "R19.1", false, true, true},    {"AutoCAD LT", "R9", false, false, false},
    {"AutoCAD LT", "R10", false, false, false}, {"AutoCAD LT", "R11", false, false, false},
    {"AutoCAD LT", "R12", false, false, false}, {"AutoCAD LT", "R13", true, false, false},
    {"AutoCAD LT", "R14", true, false, true},   {"AutoCAD LT", "R15", false, true, true},
    {"AutoCAD LT", "R16", false, true, true},   {"AutoCAD LT", "R17", false, true, true},
    {"AutoCAD LT", "R18", false, true, true},   {"AutoCAD LT", "R19", false, true, true},
};

const SettingOfKey* ProductSetting(const std::vector<std::string>& parts, std::size_t base,
                                   bool view64_only) {
  // Autodesk \ family \ release \ product \ suffix (one or two names)
  if (parts.size() < base + 5 || !Same(parts[base], "Autodesk")) return nullptr;
  const std::size_t suffix = base + 4;
  const std::size_t suffix_names = parts.size() - suffix;
  for (const Release& release : kReleases) {
    if (!Same(parts[base + 1], release.family) || !Same(parts[base + 2], release.release)) continue;
    if (view64_only && !release.second_pass) return nullptr;
    if (release.info_center) {
      return suffix_names == 1 && Same(parts[suffix], "InfoCenter") ? &kInfoCenterOn : nullptr;
    }
    if (suffix_names != 2 || !Same(parts[suffix], "Applications")) return nullptr;
    if (Same(parts[suffix + 1], "WSCommCntrAcCon")) return &kLoadCtrls;
    if (release.both_connectors && Same(parts[suffix + 1], "InfoCenterAcConn")) return &kLoadCtrls;
    return nullptr;
  }
  return nullptr;
}

// Value |name| of |key| in |registry|, compared as the registry compares
// names; null when absent.
const std::string* FindValue(const Registry& registry, const std::string& key,
                             const std::string& name) {
  const auto* values = registry_diff::Values(registry, key);
  if (values == nullptr) return nullptr;
  const std::u16string folded = Folded(name);
  for (const auto& value : *values) {
    if (Folded(value.first) == folded) return &value.second;
  }
  return nullptr;
}

// The spelling |registry| has for the key |path|, compared as the registry
// compares names; |path| itself when there is none.
std::string FindKey(const Registry& registry, const std::string& path) {
  if (registry.count(path) != 0) return path;
  const std::u16string folded = Folded(path);
  for (const auto& entry : registry) {
    if (entry.first.size() == path.size() && Folded(entry.first) == folded) return entry.first;
  }
  return path;
}

bool IsMarkedUserCopy(const Registry& registry, const std::string& key, emu::Machine machine) {
  if (!InUserHive(key) || SettingOf(key, machine) == nullptr) return false;
  const std::string* marker = FindValue(registry, key, "SKRW_RemoveOnUninstall");
  return marker != nullptr && *marker == "dword:0x1";
}

bool IsBackupKeyOfSetting(const std::string& key, emu::Machine machine) {
  return Same(LastName(key), "SKRW_Backup") && SettingOf(Parent(key), machine) != nullptr;
}

// Whether |key| is |ancestor| or lies below it.
bool IsAtOrBelow(const std::string& key, const std::string& ancestor) {
  if (Folded(key) == Folded(ancestor)) return true;
  return key.size() > ancestor.size() && key[ancestor.size()] == '\\' &&
         Folded(key.substr(0, ancestor.size())) == Folded(ancestor);
}

// Whether the setting of |key| came back as the records found |before| say:
// the recorded value, the default where the record says it was absent, and
// otherwise what it was, or the default where it was absent (created by
// Install) or, for the communication center, where it held another value
// in a hive other than a person's. A key the run did not reach keeps what it
// had.
bool SettingCameBack(const Registry& before, const std::string& key, const SettingOfKey& setting,
                     const std::string* was, const std::string* is) {
  auto equal = [](const std::string* a, const std::string* b) {
    return a == nullptr ? b == nullptr : b != nullptr && *a == *b;
  };
  if (equal(was, is)) return true;
  const bool is_default = is != nullptr && *is == setting.default_data;
  const std::string backup = FindKey(before, key + "\\SKRW_Backup");
  if (const std::string* recorded = FindValue(before, backup, setting.name)) {
    return equal(recorded, is);
  }
  if (FindValue(before, backup, "SKRW_Absent_" + setting.name) != nullptr) return is_default;
  if (setting.communication_center) return is_default && was != nullptr && !InPersonsHive(key);
  return is_default && was == nullptr;
}

}  // namespace

bool InUserHive(const std::string& key_path) {
  return key_path.rfind("HKCU", 0) == 0 || InPersonsHive(key_path);
}

bool InPersonsHive(const std::string& key_path) { return PersonsRootEnd(key_path) != 0; }

const SettingOfKey* SettingOf(const std::string& key_path, emu::Machine machine) {
  // A person's hive is read as HKCU is.
  const std::size_t persons_root = PersonsRootEnd(key_path);
  const std::vector<std::string> parts =
      Split(persons_root == 0 ? key_path : "HKU" + key_path.substr(persons_root));
  if (parts.size() < 2) return nullptr;
  const bool wow64 = machine == emu::Machine::Wow64;
  const bool machine_root = parts[0] == "HKLM";
  // CadManagerControl\CommunicationCenter below any sub-key of a root; the
  // 32-bit view of HKLM\SOFTWARE is its Wow6432Node.
  const std::size_t cmc = parts.size() - 2;
  if (Same(parts[cmc], "CadManagerControl") && Same(parts[cmc + 1], "CommunicationCenter")) {
    if (parts.size() == 4) return &kEnableCommunicationCenter;
    if (parts.size() == 5 && machine_root && wow64 && Same(parts[1], "SOFTWARE") &&
        Same(parts[2], "Wow6432Node")) {
      return &kEnableCommunicationCenter;
    }
    return nullptr;
  }
  if (!Same(parts[1], "SOFTWARE")) return nullptr;
  if (!machine_root) return ProductSetting(parts, 2, false);
  if (wow64 && parts.size() > 2 && Same(parts[2], "Wow6432Node")) {
    return ProductSetting(parts, 3, false);
  }
  return ProductSetting(parts, 2, wow64);
}

std::vector<std::string> UnexplainedChanges(const Registry& before, const Registry& installed,
                                            const Registry& after, emu::Machine machine,
                                            bool machine_level) {
  std::vector<std::string> unexplained;
  // Marked copies from an earlier run, and those Install made.
  std::vector<std::string> marked_copies;
  for (const Registry* registry : {&before, &installed}) {
    for (const auto& entry : *registry) {
      if (IsMarkedUserCopy(*registry, entry.first, machine)) marked_copies.push_back(entry.first);
    }
  }
  auto removable = [&](const std::string& key) {
    if (!InUserHive(key)) return IsBackupKeyOfSetting(key, machine) && machine_level;
    if (IsBackupKeyOfSetting(key, machine)) return true;
    for (const std::string& copy : marked_copies) {
      if (IsAtOrBelow(key, copy)) return true;
      // An ancestor that the copy's removal left empty.
      if (IsAtOrBelow(copy, key) && registry_diff::Values(before, key)->empty()) return true;
    }
    return false;
  };

  for (const auto& entry : before) {
    const std::string& key = entry.first;
    const auto* now = registry_diff::Values(after, key);
    if (now == nullptr) {
      if (!removable(key)) unexplained.push_back("lost key " + key);
      continue;
    }
    const bool may_change = InUserHive(key) || machine_level;
    const SettingOfKey* setting = may_change ? SettingOf(key, machine) : nullptr;
    const bool backup = may_change && IsBackupKeyOfSetting(key, machine);
    if (setting != nullptr) {
      const std::string* was = FindValue(before, key, setting->name);
      const std::string* is = FindValue(after, key, setting->name);
      if (!SettingCameBack(before, key, *setting, was, is)) {
        unexplained.push_back(key + " " + setting->name + " = " + (is ? *is : "<absent>") +
                              " (was " + (was ? *was : "<absent>") + ")");
      }
    }
    for (const auto& value : entry.second) {
      if (setting != nullptr && Folded(value.first) == Folded(setting->name)) continue;
      const std::string* after_value = FindValue(after, key, value.first);
      if (after_value != nullptr && *after_value == value.second) continue;
      if (backup && after_value == nullptr) {
        // A record of the key's setting, used up.
        const SettingOfKey* owner = SettingOf(Parent(key), machine);
        if (Folded(value.first) == Folded(owner->name) ||
            Folded(value.first) == Folded("SKRW_Absent_" + owner->name)) {
          continue;
        }
      }
      unexplained.push_back(key + " " + value.first + " = " +
                            (after_value ? *after_value : std::string("<absent>")) + " (was " +
                            value.second + ")");
    }
    for (const auto& value : *now) {
      if (setting != nullptr && Folded(value.first) == Folded(setting->name)) continue;
      if (FindValue(before, key, value.first) != nullptr) continue;
      unexplained.push_back(key + " " + value.first + " = " + value.second + " (was absent)");
    }
  }
  for (const auto& entry : after) {
    if (registry_diff::Values(before, entry.first) == nullptr) {
      unexplained.push_back("extra key " + entry.first);
    }
  }
  return unexplained;
}

std::vector<std::string> StrayWrites(const std::vector<emu::Call>& calls, const Registry& before,
                                     const Registry& installed, emu::Machine machine,
                                     bool machine_level, bool persons, bool marked_copies_only) {
  std::vector<std::string> stray;
  // Per-user settings keys that this run set out to create (and, when
  // |marked_copies_only|, that were new and ended as marked copies): the
  // keys above them take the notes and the markers of the copy's trail. A
  // key that was there all along but looked missing gets the note in its
  // parent too, before its create finds it.
  std::vector<std::string> made_copies;
  for (const emu::Call& call : calls) {
    // Copies are made in the installing account's hive alone.
    if (call.function != "RegCreateKeyExW" || call.path.rfind("HKCU", 0) != 0) continue;
    if (SettingOf(call.path, machine) == nullptr) continue;
    if (marked_copies_only && (registry_diff::Values(before, call.path) != nullptr ||
                               !IsMarkedUserCopy(installed, call.path, machine))) {
      continue;
    }
    made_copies.push_back(call.path);
  }
  for (const emu::Call& call : calls) {
    if (call.function != "RegSetValueExW" && call.function != "RegCreateKeyExW" &&
        call.function != "RegDeleteKeyW" && call.function != "RegDeleteValueW") {
      continue;
    }
    // A write that failed wrote nothing: the note above a copy that could
    // not be begun, say.
    if (call.result != win::ERROR_SUCCESS) continue;
    const std::string& path = call.path;
    bool above_copy = false;
    for (const std::string& copy : made_copies) {
      if (path != copy && IsAtOrBelow(copy, path)) above_copy = true;
    }
    if (above_copy) continue;
    const std::string where = call.function + " " + path;
    if (path.rfind("HKLM", 0) == 0 && !machine_level) {
      stray.push_back(where + " (below HKEY_LOCAL_MACHINE)");
      continue;
    }
    if (InPersonsHive(path) && !persons) {
      stray.push_back(where + " (in another person's hive)");
      continue;
    }
    // The settings key itself, or its backup key.
    std::string settings_key = path;
    if (Same(LastName(path), "SKRW_Backup")) settings_key = Parent(path);
    const SettingOfKey* setting = SettingOf(settings_key, machine);
    if (setting == nullptr || setting->communication_center) {
      // Or anywhere in a per-user copy Install made.
      bool in_copy = false;
      for (const auto& entry : installed) {
        if (IsMarkedUserCopy(installed, entry.first, machine) &&
            registry_diff::Values(before, entry.first) == nullptr &&
            IsAtOrBelow(path, entry.first)) {
          in_copy = true;
        }
      }
      // A copy removed again after a failure: anything below a per-user
      // settings key that was not there before, and its ancestors along the
      // path, which may go too where they hold nothing.
      if (!in_copy && !marked_copies_only && path.rfind("HKCU", 0) == 0) {
        if (call.function == "RegDeleteKeyW") in_copy = true;
        for (std::string at = path; !in_copy && !at.empty(); at = Parent(at)) {
          in_copy =
              SettingOf(at, machine) != nullptr && registry_diff::Values(before, at) == nullptr;
        }
      }
      if (!in_copy) stray.push_back(where);
      continue;
    }
    // A copy of the machine's key made by this run, or a key that was there.
    if (registry_diff::Values(before, settings_key) != nullptr) continue;
    if (settings_key.rfind("HKCU", 0) == 0 &&
        (!marked_copies_only || IsMarkedUserCopy(installed, settings_key, machine))) {
      continue;
    }
    stray.push_back(where + " (a settings key that was not there)");
  }
  return stray;
}

}  // namespace fuzz
