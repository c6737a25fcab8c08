#include "settings/setting_switch.h"

#include "registry/key_tree.h"
#include "registry/lookup.h"
#include "registry/reg_key.h"
#include "settings/raw_value.h"

namespace {

constexpr win::REGSAM kReadWrite = win::KEY_READ | win::KEY_WRITE;

// Machine level of either direction; false when something there could not
// be done.
bool SwitchMachineLevel(const Setting& setting, const char16_t* path, win::REGSAM view,
                        bool installing) {
  RegKeyW key(win::HKEY_LOCAL_MACHINE, path, kReadWrite | view, false);
  if (key.opened() != Lookup::kFound) return key.opened() == Lookup::kAbsent;
  return installing
             ? BackupAndSetDword(key, setting.value_name)
             : RestoreDword(key, setting.value_name, setting.default_value, setting.unrecorded);
}

// Gives the user a marked copy of the machine's settings key and switches
// the setting in it. False when something could not be done; a copy that
// could not be completed and marked is removed again.
bool InstallUserCopy(const Setting& setting, const char16_t* path, win::REGSAM view,
                     HandledSettingsKeys& handled) {
  RegKeyW source(win::HKEY_LOCAL_MACHINE, path, win::KEY_READ | view, false);
  if (source.opened() != Lookup::kFound) return source.opened() == Lookup::kAbsent;
  RegKeyW copy(win::HKEY_CURRENT_USER, path, win::KEY_ALL_ACCESS, true);
  if (copy.handle() == nullptr) return false;
  if (!copy.created()) {
    // The user's own key appeared meanwhile: it is switched, never marked.
    handled.RememberUserKey(path);
    return BackupAndSetDword(copy, setting.value_name);
  }
  // The marker goes first, before anything that can fail or run out of
  // memory, so that whatever happens next, uninstalling knows the key for a
  // copy. The machine's key may hold a value of the marker's name itself (in
  // any case), which the copy brings along: the marker is written once more.
  if (!copy.SetDword(kRemoveOnUninstallName, 1)) {
    DeleteKeyTree(copy, true);
    return false;
  }
  handled.RememberUserKey(path);
  if (!CopyKeyContents(source, copy) || !copy.SetDword(kRemoveOnUninstallName, 1)) {
    DeleteKeyTree(copy, true);
    return false;
  }
  return BackupAndSetDword(copy, setting.value_name);
}

bool InstallUserLevel(const Setting& setting, const char16_t* path, win::REGSAM view,
                      SettingLevel level, HandledSettingsKeys& handled) {
  RegKeyW key(win::HKEY_CURRENT_USER, path, kReadWrite | view, false);
  if (key.opened() == Lookup::kFailed) return false;
  if (key.opened() == Lookup::kFound) {
    handled.RememberUserKey(path);
    return BackupAndSetDword(key, setting.value_name);
  }
  // No key of the user's own: at machine level there is nothing to do for
  // the user, otherwise the user gets the machine's.
  if (level == SettingLevel::kMachine) return true;
  return InstallUserCopy(setting, path, view, handled);
}

bool UninstallUserLevel(const Setting& setting, const char16_t* path, win::REGSAM view,
                        ActionCall& call) {
  HandledSettingsKeys& handled = call.handled;
  RegKeyW key(win::HKEY_CURRENT_USER, path, kReadWrite | view, false);
  if (key.opened() != Lookup::kFound) return key.opened() == Lookup::kAbsent;
  handled.RememberUserKey(path);
  const Lookup marked = FindRemovalMarker(key);
  if (marked == Lookup::kFailed) return false;
  // A marked copy holds nothing but the machine's content: it goes whole,
  // whether or not its setting could be put back.
  if (marked == Lookup::kFound) {
    // Keys the copy left empty above it go too. Should that fail, they stay
    // empty, and the failure is reported: nothing marks them any more.
    bool pruned = true;
    if (!DeleteKeyTree(key, true, &pruned)) return false;
    ++call.copies_removed;
    return pruned;
  }
  return RestoreDword(key, setting.value_name, setting.default_value, setting.unrecorded);
}

bool SwitchBothLevels(const Setting& setting, const ProductRelease& release, const char16_t* path,
                      ActionCall& call) {
  const win::REGSAM view = call.view64 ? win::KEY_WOW64_64KEY : 0;
  const SettingLevel level =
      call.user_only ? SettingLevel::kUser : ChooseLevel(release, call.machine_wide);
  if (level == SettingLevel::kUnknown) return false;
  if (level == SettingLevel::kMachine &&
      !SwitchMachineLevel(setting, path, view, call.installing)) {
    return false;
  }
  // Per-user keys look the same from both views; the first pass did them.
  if (call.view64 && call.handled.HasUserKey(path)) return true;
  if (!call.installing) return UninstallUserLevel(setting, path, view, call);
  return InstallUserLevel(setting, path, view, level, call.handled);
}

}  // namespace

bool KeepsSettingsPerMachine(const ProductRelease& release) {
  return release.family == AutoCad && release.major < 16;
}

SettingLevel ChooseLevel(const ProductRelease& release, bool machine_wide) {
  if (!KeepsSettingsPerMachine(release) && !machine_wide) return SettingLevel::kUser;
  switch (ProbeMachineSoftware()) {
    case MachineSoftware::kWritable:
      return SettingLevel::kMachine;
    case MachineSoftware::kReadOnly:
      return SettingLevel::kUser;
    case MachineSoftware::kUnknown:
      break;
  }
  return SettingLevel::kUnknown;
}

Lookup FindRemovalMarker(RegKeyW& key) {
  RawValue marker;
  const Lookup found = ReadRawValue(key, kRemoveOnUninstallName, &marker);
  if (found != Lookup::kFound) return found;
  return marker.IsDword(1) ? Lookup::kFound : Lookup::kAbsent;
}

void SwitchSetting(const Setting& setting, const ProductRelease& release,
                   const char16_t* settings_path, ActionCall& call) {
  if (!call.handled.FirstVisit(settings_path, call.view64)) return;
  if (!SwitchBothLevels(setting, release, settings_path, call)) call.failed = true;
}

void SwitchLoadCtrls(const ProductRelease& release, const char16_t* settings_path,
                     ActionCall& call) {
  SwitchSetting(kLoadCtrls, release, settings_path, call);
}

void SwitchInfoCenter(const ProductRelease& release, const char16_t* settings_path,
                      ActionCall& call) {
  SwitchSetting(kInfoCenterOn, release, settings_path, call);
}

void SwitchCommunicationCenter(const ProductRelease& release, const char16_t* settings_path,
                               ActionCall& call) {
  SwitchSetting(kEnableCommunicationCenter, release, settings_path, call);
}
