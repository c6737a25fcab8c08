// Switching one setting off with a record of what it was, and putting it back.
//
// The record lives in the sub-key "SKRW_Backup" directly below the key that
// holds the setting, so that a later, separate uninstallation finds it:
// - a value under the setting's own name holds the old value with its exact
//   type and data (any type, REG_NONE and odd sizes included);
// - a value "SKRW_Absent_" + the setting's name says that the setting did
//   not exist; its type and data do not matter.
// The first record made survives later switches. Only a record is ever put
// back: a setting without one is left as it is.
#pragma once

#include "platform/win_api.h"
#include "registry/raw_value.h"
#include "registry/reg_key.h"
#include "registry/wide_str.h"

// Name of the backup sub-key below a settings key.
inline constexpr char16_t kBackupKeyName[] = u"SKRW_Backup";
// Prefix of the value that records a setting as absent.
inline constexpr char16_t kAbsentRecordPrefix[] = u"SKRW_Absent_";

// "SKRW_Absent_" followed by |name|.
WideStr AbsentRecordName(const char16_t* name);

// Records the setting |name| of the open |settings_key| in its backup key
// (unless a record of it is there already), then writes REG_DWORD 0 over it.
// Nothing is written unless the record is in place, and nothing at all when
// the setting cannot be read. True when the record stands and the setting is
// 0; false when any step failed.
bool BackupAndSetDword(RegKeyW& settings_key, const char16_t* name);

// BackupAndSetDword for a setting already read: |current| and |old| as
// ReadRawValue gave them. With |rewrite|, the 0 is written even where |old|
// is 0 already: the key holds something else under |name| by now.
bool BackupAndSetRead(RegKeyW& settings_key, const char16_t* name, Lookup current,
                      const RawValue& old, bool rewrite = false);

// What RestoreDword does with a setting that has no record.
enum class Unrecorded {
  kLeave,       // nothing: this run did not switch it
  kSetDefault,  // a present setting other than the REG_DWORD default gets it
};

// Puts the recorded value of |name| back: the old value exactly, or
// |default_value| as a REG_DWORD where the setting was recorded as absent.
// Then removes the record, and the backup key once it is empty (also when
// there was no record to restore). True when done or when there was nothing
// to do; false when a step failed, leaving the record for a later run.
// |backup_found|, when given, tells whether a backup key was there.
bool RestoreDword(RegKeyW& settings_key, const char16_t* name, win::DWORD default_value,
                  Unrecorded unrecorded = Unrecorded::kLeave, bool* backup_found = nullptr);
