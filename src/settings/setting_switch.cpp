#include "settings/setting_switch.h"

#include "registry/key_tree.h"
#include "registry/reg_key.h"
#include "settings/dword_backup.h"

namespace {

constexpr win::REGSAM kReadWrite = win::KEY_READ | win::KEY_WRITE;

// AutoCAD before R16 keeps its settings per machine whatever the installer
// asked for.
bool MachineLevelApplies(const ProductRelease& release, bool machine_wide) {
  return CanWriteMachineSoftware() &&
         ((release.family == AutoCad && release.major < 16) || machine_wide);
}

bool UserKeyExists(const char16_t* path, win::REGSAM view) {
  RegKeyW key(win::HKEY_CURRENT_USER, path, win::KEY_READ | view, false);
  return key.handle() != nullptr;
}

// Machine level of either direction: false only when the key opened and the
// operation on it failed.
bool SwitchMachineLevel(const char16_t* value_name, win::DWORD default_value, bool installing,
                        const char16_t* path, win::REGSAM view) {
  RegKeyW key(win::HKEY_LOCAL_MACHINE, path, kReadWrite | view, false);
  if (key.handle() == nullptr) return true;
  return installing ? BackupAndSetDword(key, value_name)
                    : RestoreDword(key, value_name, default_value);
}

// Gives the user a copy of the machine's settings key; whether it was made.
bool CopyMachineKeyToUser(const char16_t* path, win::REGSAM view) {
  RegKeyW source(win::HKEY_LOCAL_MACHINE, path, win::KEY_READ | view, false);
  return CopyKeyTree(source, win::HKEY_CURRENT_USER, path);
}

bool InstallUserLevel(const char16_t* value_name, const char16_t* path, bool copied,
                      win::REGSAM view, HandledSettingsKeys& handled) {
  if (!UserKeyExists(path, view)) return false;
  RegKeyW key(win::HKEY_CURRENT_USER, path, kReadWrite | view, true);
  if (key.handle() == nullptr) return false;
  if (copied) key.SetDword(kRemoveOnUninstallName, 1);
  handled.RememberUserKey(path);
  return BackupAndSetDword(key, value_name);
}

bool UninstallUserLevel(const char16_t* value_name, win::DWORD default_value, const char16_t* path,
                        win::REGSAM view, HandledSettingsKeys& handled) {
  if (!UserKeyExists(path, view)) return false;
  RegKeyW key(win::HKEY_CURRENT_USER, path, kReadWrite | view, false);
  if (key.handle() == nullptr) return false;
  handled.RememberUserKey(path);
  if (!RestoreDword(key, value_name, default_value)) return false;
  if (key.GetDword(kRemoveOnUninstallName) == 1) return DeleteKeyTree(key, true);
  return true;
}

bool SwitchBothLevels(const char16_t* value_name, win::DWORD default_value, bool installing,
                      const ProductRelease& release, const char16_t* path, bool machine_wide,
                      bool view64, HandledSettingsKeys& handled) {
  const win::REGSAM view = view64 ? win::KEY_WOW64_64KEY : 0;
  const bool machine_level = MachineLevelApplies(release, machine_wide);
  if (machine_level && !SwitchMachineLevel(value_name, default_value, installing, path, view)) {
    return false;
  }
  // Per-user keys look the same from both views; the first pass did them.
  if (view64 && handled.HasUserKey(path)) return true;
  if (!installing) return UninstallUserLevel(value_name, default_value, path, view, handled);
  bool copied = false;
  if (!machine_level && !UserKeyExists(path, view)) copied = CopyMachineKeyToUser(path, view);
  return InstallUserLevel(value_name, path, copied, view, handled);
}

}  // namespace

bool SwitchSetting(const char16_t* value_name, win::DWORD default_value, bool installing,
                   const ProductRelease& release, const char16_t* settings_path, bool machine_wide,
                   bool view64, HandledSettingsKeys& handled) {
  bool result = false;
  if (handled.FindVisit(settings_path, view64, &result)) return result;
  result = SwitchBothLevels(value_name, default_value, installing, release, settings_path,
                            machine_wide, view64, handled);
  handled.RememberVisit(settings_path, view64, result);
  return result;
}

bool SwitchLoadCtrls(bool installing, const ProductRelease& release, const char16_t* settings_path,
                     bool machine_wide, bool view64, HandledSettingsKeys& handled) {
  return SwitchSetting(u"LOADCTRLS", 2, installing, release, settings_path, machine_wide, view64,
                       handled);
}

bool SwitchInfoCenter(bool installing, const ProductRelease& release, const char16_t* settings_path,
                      bool machine_wide, bool view64, HandledSettingsKeys& handled) {
  return SwitchSetting(u"InfoCenterOn", 1, installing, release, settings_path, machine_wide, view64,
                       handled);
}

bool SwitchCommunicationCenter(bool installing, const ProductRelease& release,
                               const char16_t* settings_path, bool machine_wide, bool view64,
                               HandledSettingsKeys& handled) {
  return SwitchSetting(u"EnableCommunicationCenter", 1, installing, release, settings_path,
                       machine_wide, view64, handled);
}
