// Switching one DWORD setting off with a backup, and putting it back.
//
// The old value is kept in the sub-key "SKRW_Backup" directly below the key
// that holds the setting, under the setting's own name, so that a later,
// separate uninstallation finds it. The first value saved survives later
// switches. A REG_DWORD setting is saved as a REG_DWORD; a setting of any
// other type is saved with its own type and data.
#pragma once

#include "platform/win_api.h"
#include "registry/reg_key.h"

// Name of the backup sub-key below a settings key.
inline constexpr char16_t kBackupKeyName[] = u"SKRW_Backup";

// Saves the setting |name| of the open |settings_key| into its backup key
// (unless a value of that name is saved there already) and then writes
// REG_DWORD 0 over it. A setting that is absent is created as 0 without a
// backup. Returns the result of writing 0; false, with the setting unchanged,
// when the key is not open or the old value cannot be saved.
bool BackupAndSetDword(RegKeyW& settings_key, const char16_t* name);

// Writes the saved value of |name| back and removes it from the backup key,
// deleting that key once it is empty. Where nothing was saved, a present
// setting is brought to |default_value|; an absent one stays absent (false).
// True when the saved value was written back or the setting already equals
// the default; false when the key is not open.
bool RestoreDword(RegKeyW& settings_key, const char16_t* name, win::DWORD default_value);
