// What Skerrow did to this machine, read from the registry without changing
// it: every settings key of the releases that Install and Uninstall sweep,
// with its setting, the record that Install left, and what Uninstall would
// do with it.
//
// Only win_api.h and the engine are used, so the report is made the same way
// on Windows and against the emulation.
#pragma once

#include <string>
#include <vector>

#include "products/product_release.h"
#include "registry/lookup.h"
#include "settings/raw_value.h"
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

struct StatusReport {
  bool wow64 = false;  // 64-bit Windows: HKLM has a 64-bit view too
  std::vector<StatusRow> rows;
  // Keys that exist but could not be read, "HKLM\..." or "HKCU\..." with the
  // view in brackets where it matters.
  std::vector<std::u16string> unreadable;
};

struct StatusSummary {
  unsigned switched_off = 0;      // the setting is REG_DWORD 0
  unsigned will_be_restored = 0;  // removal changes it back (any Removal but kLeave)
  unsigned per_user_copies = 0;
};

// Reads the report. Opens every key with KEY_READ (and the view flag) only.
StatusReport ReadStatus();

StatusSummary Summarise(const StatusReport& report);

// "AutoCAD R18.0", "AutoCAD LT R14"; "CAD Manager Control" for family 0.
std::u16string ReleaseName(const ProductRelease& release);
