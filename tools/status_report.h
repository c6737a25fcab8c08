// What Skerrow did to this machine, read from the registry without changing
// it: every settings key of the releases that Install and Uninstall sweep,
// with its setting, the record that Install left, and what Uninstall would
// do with it. On request also in the hive of every other person with a
// profile, as an all-users run reaches them.
//
// Only win_api.h and the engine are used, so the report is made the same way
// on Windows and against the emulation.
#pragma once

#include <string>
#include <vector>

#include "products/product_release.h"
#include "registry/lookup.h"
#include "registry/raw_value.h"
#include "registry/user_hives.h"
#include "settings/setting_switch.h"

enum class ReportLevel { kMachine, kUser };

// The registry view a row was read in. HKEY_CURRENT_USER\Software is the same
// in both, so user rows are kShared.
enum class ReportView { k32, k64, kShared };

// What SKRW_Backup holds about the setting.
enum class RecordKind {
  kNone,
  kSaved,   // the old value under the setting's own name
  kAbsent,  // "SKRW_Absent_<name>": the setting did not exist
};

// What Uninstall would do to the setting.
enum class Removal {
  kLeave,         // nothing
  kRestoreSaved,  // writes the saved value back
  kWriteDefault,  // writes the product default as REG_DWORD
  kDeleteCopy,    // deletes the marked per-user copy, whatever it holds
};

struct StatusRow {
  ReportLevel level = ReportLevel::kMachine;
  ReportView view = ReportView::k32;
  ProductRelease release = {0, 0, 0};
  std::u16string product_key;    // the product key's own name
  std::u16string settings_path;  // below the root key, as seen in |view|
  std::u16string suffix;         // the settings key below the product key
  const Setting* setting = nullptr;
  Lookup current_found = Lookup::kAbsent;
  RawValue current;  // when current_found is kFound
  RecordKind record = RecordKind::kNone;
  RawValue saved;  // when record is kSaved
  Removal removal = Removal::kLeave;
  bool per_user_copy = false;
  // Something of this key (the setting, the record, the marker) could not be
  // read; the other fields say what could.
  bool incomplete = false;
};

// One person in ProfileList other than the account the report runs as.
struct ProfileStatus {
  std::u16string sid;
  HiveReach reach = HiveReach::kMissing;
  std::u16string hive_key;  // "HKEY_USERS\<SID>": where its keys are when logged on
  std::u16string file;      // the hive file; empty when it was not looked for
  // For kUnreachable: the call that could not be done and its error.
  const char* failed_call = nullptr;
  win::LONG error = win::ERROR_SUCCESS;
  // When the hive was read (kLoggedOn, kFromFile): its rows, all kUser and
  // kShared, and its keys that could not be read, "HKU\<SID>\...".
  std::vector<StatusRow> rows;
  std::vector<std::u16string> unreadable;
};

struct StatusReport {
  bool wow64 = false;  // 64-bit Windows: HKLM has a 64-bit view too
  // The machine's rows, then those of HKEY_CURRENT_USER.
  std::vector<StatusRow> rows;
  // Keys that exist but could not be read, "HKLM\..." or "HKCU\..." with the
  // view in brackets where it matters.
  std::vector<std::u16string> unreadable;

  // Only with StatusScope::kAllUsers from here on.
  bool all_users = false;
  std::u16string current_user_sid;  // whose hive HKEY_CURRENT_USER is
  // Every other person in ProfileList, in its order.
  std::vector<ProfileStatus> profiles;
  // Not null when who the people are, or who the report runs as, could not
  // be told: the call that failed and its error. |profiles| is empty then.
  const char* persons_failed_call = nullptr;
  win::LONG persons_error = win::ERROR_SUCCESS;
};

struct StatusSummary {
  unsigned switched_off = 0;      // the setting is REG_DWORD 0
  unsigned will_be_restored = 0;  // removal changes it back (any Removal but kLeave)
  unsigned per_user_copies = 0;
};

enum class StatusScope {
  kCurrentUser,  // the machine and HKEY_CURRENT_USER
  kAllUsers,     // and every other person's hive, loaded or not
};

// Reads the report. Opens every key with KEY_READ (and the view flag) only;
// a person's hive that is not loaded is loaded privately with KEY_READ and
// unloaded again before the next one is looked at. The account the report
// runs as is not listed among the profiles: its hive is HKEY_CURRENT_USER.
StatusReport ReadStatus(StatusScope scope = StatusScope::kCurrentUser);

// The summary of the machine's and HKEY_CURRENT_USER's rows.
StatusSummary Summarise(const StatusReport& report);
StatusSummary Summarise(const std::vector<StatusRow>& rows);

// "AutoCAD R18.0", "AutoCAD LT R14"; "CAD Manager Control" for family 0.
std::u16string ReleaseName(const ProductRelease& release);
