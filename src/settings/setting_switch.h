// Switching one setting of one settings key off (install) or back (uninstall)
// at machine level and at user level.
//
// The machine level (HKEY_LOCAL_MACHINE) applies when the machine's
// SOFTWARE key is writable and either the machine-wide flag is set or the
// release is an AutoCAD release before R16. Otherwise only the user level is
// handled: installing then first copies the machine's settings key into the
// user's hive when the user has none, and marks the copy with
// "SKRW_RemoveOnUninstall" = 1 so that uninstalling deletes it again; the
// keys it creates above the copy leave a trail (settings/copy_trail.h) that
// lets the next run finish a copy or a removal that stopped halfway.
#pragma once

#include "platform/win_api.h"
#include "products/product_release.h"
#include "registry/lookup.h"
#include "registry/reg_key.h"
#include "settings/action_call.h"
#include "settings/dword_backup.h"

// Marker value of a per-user settings key that installing created by copying.
inline constexpr char16_t kRemoveOnUninstallName[] = u"SKRW_RemoveOnUninstall";

// Whether the open settings key |key| carries that marker: only the REG_DWORD
// 1 counts. kFailed when the value could not be read.
Lookup FindRemovalMarker(RegKeyW& key);

// The constants of one switched setting.
struct Setting {
  const char16_t* value_name;
  win::DWORD default_value;
  Unrecorded unrecorded;  // what uninstalling does where nothing was recorded
  // Whether installing switches it, and so may have begun a per-user copy
  // of its settings key that a later run has to finish removing.
  bool installed;
};

inline constexpr Setting kLoadCtrls = {u"LOADCTRLS", 2, Unrecorded::kLeave, true};
inline constexpr Setting kInfoCenterOn = {u"InfoCenterOn", 1, Unrecorded::kLeave, true};
// Install never writes this one; uninstalling has always brought it to the
// default where nothing was saved.
inline constexpr Setting kEnableCommunicationCenter = {u"EnableCommunicationCenter", 1,
                                                       Unrecorded::kSetDefault, false};

// AutoCAD before R16 keeps its settings per machine whatever the installer
// asked for.
bool KeepsSettingsPerMachine(const ProductRelease& release);

// The level whose keys a run works on for a release.
enum class SettingLevel {
  kMachine,  // HKEY_LOCAL_MACHINE first, then the user's keys where they exist
  kUser,     // HKEY_CURRENT_USER only
  kUnknown,  // the write probe failed: nothing may be done
};

// The machine level applies when HKEY_LOCAL_MACHINE\SOFTWARE is writable and
// either |release| keeps its settings per machine or |machine_wide| is set.
// The write probe is asked only where its answer matters.
SettingLevel ChooseLevel(const ProductRelease& release, bool machine_wide);

// Switches |setting| off (installing) or puts its recorded value back
// (uninstalling) in the settings key |settings_path|, relative to each root
// key, as |call| says; in the 64-bit view with call.view64. A settings key
// already handled in this view during |call| is not handled again, and the
// 64-bit pass leaves out the user level of the per-user keys that were
// reached before. Missing keys and values are nothing to do; anything else
// that could not be done sets call.failed. A failure at machine level leaves
// the user level untouched.
void SwitchSetting(const Setting& setting, const ProductRelease& release,
                   const char16_t* settings_path, ActionCall& call);

// "LOADCTRLS", default 2.
void SwitchLoadCtrls(const ProductRelease& release, const char16_t* settings_path,
                     ActionCall& call);
// "InfoCenterOn", default 1.
void SwitchInfoCenter(const ProductRelease& release, const char16_t* settings_path,
                      ActionCall& call);
// "EnableCommunicationCenter", default 1. Uninstalling also brings a present
// setting without a record to the default.
void SwitchCommunicationCenter(const ProductRelease& release, const char16_t* settings_path,
                               ActionCall& call);
