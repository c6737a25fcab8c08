// Switching one setting of one settings key off (install) or back (uninstall)
// at machine level and at user level.
//
// The machine level (HKEY_LOCAL_MACHINE) applies when the machine's
// SOFTWARE key is writable and either the machine-wide flag is set or the release
// is an AutoCAD release before R16. Otherwise only the user level is handled:
// installing then first copies the machine's settings key into the user's
// hive when the user has none, and marks the copy with
// "SKRW_RemoveOnUninstall" = 1 so that uninstalling deletes it again.
#pragma once

#include "platform/win_api.h"
#include "products/product_release.h"
#include "settings/handled_settings_keys.h"

// Marker value of a per-user settings key that installing created by copying.
inline constexpr char16_t kRemoveOnUninstallName[] = u"SKRW_RemoveOnUninstall";

// Switches the REG_DWORD |value_name| off (installing) or restores it to the
// saved value or |default_value| (uninstalling) in the settings key
// |settings_path|, relative to each root key. With |view64| every key is
// opened in the 64-bit registry view. |handled| is the memory of the current
// call of Install or Uninstall: a settings key already handled in this view
// is not handled again (the first result is returned), and the 64-bit pass
// leaves out the user level of the per-user keys that were reached before.
// True when the user level succeeded or had been handled already; false when
// the machine level failed (the user level is then not touched), the per-user
// key does not exist or cannot be opened, or the user-level operation failed.
bool SwitchSetting(const char16_t* value_name, win::DWORD default_value, bool installing,
                   const ProductRelease& release, const char16_t* settings_path, bool machine_wide,
                   bool view64, HandledSettingsKeys& handled);

// "LOADCTRLS", default 2.
bool SwitchLoadCtrls(bool installing, const ProductRelease& release, const char16_t* settings_path,
                     bool machine_wide, bool view64, HandledSettingsKeys& handled);
// "InfoCenterOn", default 1.
bool SwitchInfoCenter(bool installing, const ProductRelease& release, const char16_t* settings_path,
                      bool machine_wide, bool view64, HandledSettingsKeys& handled);
// "EnableCommunicationCenter", default 1.
bool SwitchCommunicationCenter(bool installing, const ProductRelease& release,
                               const char16_t* settings_path, bool machine_wide, bool view64,
                               HandledSettingsKeys& handled);
