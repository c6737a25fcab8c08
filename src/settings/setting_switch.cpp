#include "settings/setting_switch.h"

#include <memory>

#include "registry/key_tree.h"
#include "registry/lookup.h"
#include "registry/raw_value.h"
#include "registry/reg_calls.h"
#include "registry/reg_key.h"
#include "settings/change_log.h"
#include "settings/copy_trail.h"

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

// Creates the key |name| below the open |parent| as a key above a per-user
// copy: noted in the parent first, marked, then the note goes. Hands the
// new key back in |parent|. False when a step failed; what was made stays
// recognisable.
bool CreateMarkedAncestor(std::unique_ptr<RegKeyW>& parent, const WideStr& name) {
  if (!parent->SetString(kCreatingNoteName, name.get())) return false;
  auto child = std::make_unique<RegKeyW>(parent->handle(), name.get(), win::KEY_ALL_ACCESS, true);
  if (child->handle() == nullptr) return false;
  // A key that appeared meanwhile is not the copy's and gets no marker.
  if (child->created() && !child->SetDword(kRemoveWhenEmptyName, 1)) return false;
  if (!parent->DeleteValue(kCreatingNoteName)) return false;
  parent = std::move(child);
  return true;
}

// Removes again what a copy that could not be completed made: the copy
// itself when it is there, and then its trail.
bool RemoveFailedCopy(win::HKEY root, RegKeyW* copy, const char16_t* path) {
  if (copy != nullptr && !DeleteKeyTree(*copy, false)) return false;
  return WalkCopyTrail(root, path, TrailStart::kAbsent).ok;
}

// Gives the user of the hive |root| a marked copy of the machine's settings
// key and switches the setting in it. False when something could not be
// done; a copy that could not be completed and marked is removed again.
bool InstallUserCopy(const Setting& setting, win::HKEY root, const char16_t* path, win::REGSAM view,
                     HandledSettingsKeys& handled) {
  RegKeyW source(win::HKEY_LOCAL_MACHINE, path, win::KEY_READ | view, false);
  if (source.opened() != Lookup::kFound) return source.opened() == Lookup::kAbsent;
  // Finishes removing what a run that stopped may have left on the path,
  // and finds the deepest key there is.
  CopyTrail names(root, path);
  TrailWalk trail = names.Walk(TrailStart::kAbsent, true);
  if (!trail.ok || !trail.kept_key) return false;
  std::unique_ptr<RegKeyW> parent = std::move(trail.kept_key);
  const int levels = names.Levels();
  // The missing keys above the copy, one level at a time, so that each is
  // recognisable from the call that creates it.
  // The parent key is closed before the trail it belongs to is removed.
  const auto abandon = [&parent, root, path](RegKeyW* copy) {
    parent.reset();
    RemoveFailedCopy(root, copy, path);
    return false;
  };
  for (int level = trail.kept + 1; level < levels - 1; ++level) {
    if (!CreateMarkedAncestor(parent, names.Name(level))) return abandon(nullptr);
  }
  if (!parent->SetString(kCreatingNoteName, names.Name(levels - 1).get())) return abandon(nullptr);
  RegKeyW copy(root, path, win::KEY_ALL_ACCESS, true);
  if (copy.handle() == nullptr) return abandon(nullptr);
  if (!copy.created()) {
    // The user's own key appeared meanwhile: it is switched, never marked.
    handled.RememberUserKey(path);
    const bool unnoted = parent->DeleteValue(kCreatingNoteName);
    return BackupAndSetDword(copy, setting.value_name) && unnoted;
  }
  // The marker goes first, before anything that can fail or run out of
  // memory, so that whatever happens next, uninstalling knows the key for a
  // copy. The machine's key may hold a value of the marker's name itself (in
  // any case), which the copy brings along: the marker is written once more.
  if (!copy.SetDword(kRemoveOnUninstallName, 1) || !parent->DeleteValue(kCreatingNoteName)) {
    return abandon(&copy);
  }
  parent.reset();
  handled.RememberUserKey(path);
  if (!CopyKeyContents(source, copy) || !copy.SetDword(kRemoveOnUninstallName, 1)) {
    return abandon(&copy);
  }
  NoteCopyMade();
  return BackupAndSetDword(copy, setting.value_name);
}

// Whether the open settings key |key| is empty; kFailed when it cannot be
// asked.
Lookup IsEmpty(RegKeyW& key) {
  win::DWORD sub_keys = 0;
  win::DWORD values = 0;
  if (!CountKeyContent(key.handle(), &sub_keys, &values)) return Lookup::kFailed;
  return sub_keys == 0 && values == 0 ? Lookup::kFound : Lookup::kAbsent;
}

bool InstallUserLevel(const Setting& setting, win::HKEY root, const char16_t* path,
                      win::REGSAM view, SettingLevel level, HandledSettingsKeys& handled) {
  RegKeyW key(root, path, kReadWrite | view, false);
  if (key.opened() == Lookup::kFailed) return false;
  if (key.opened() == Lookup::kFound) {
    RawValue old;
    const Lookup current = ReadRawValue(key, setting.value_name, &old);
    if (current == Lookup::kAbsent && level == SettingLevel::kUser) {
      // An empty key may be a copy that a run which stopped had only just
      // created: it is made anew.
      const Lookup empty = IsEmpty(key);
      if (empty == Lookup::kFailed) return false;
      if (empty == Lookup::kFound) {
        key.Close();
        const TrailWalk trail = WalkCopyTrail(root, path, TrailStart::kUnmarkedEmpty);
        if (!trail.ok) return false;
        if (trail.settings_key_removed) return InstallUserCopy(setting, root, path, view, handled);
        RegKeyW own(root, path, kReadWrite | view, false);
        if (own.opened() != Lookup::kFound) return own.opened() == Lookup::kAbsent;
        handled.RememberUserKey(path);
        return BackupAndSetDword(own, setting.value_name);
      }
    }
    handled.RememberUserKey(path);
    return BackupAndSetRead(key, setting.value_name, current, old);
  }
  // No key of the user's own: at machine level there is nothing to do for
  // the user, otherwise the user gets the machine's.
  if (level == SettingLevel::kMachine) return true;
  return InstallUserCopy(setting, root, path, view, handled);
}

// Where a settings key is missing or empty and unmarked, a copy may have
// been begun or its removal stopped halfway: what it left above goes.
bool FinishCopyTrail(const char16_t* path, win::REGSAM view, TrailStart start, ActionCall& call) {
  const TrailWalk trail = WalkCopyTrail(call.user_root, path, start);
  if (trail.removed_any) {
    ++call.copies_removed;
    LogCopyRemoved(call.user_root, path, view, true);
  }
  return trail.ok;
}

// What uninstalling does where nothing was recorded. Bringing a setting to
// its default there is for the installing account's own hive alone: in the
// hives of other people, only what Skerrow recorded is written.
Unrecorded UnrecordedAtUserLevel(const Setting& setting, const ActionCall& call) {
  return call.user_root == win::HKEY_CURRENT_USER ? setting.unrecorded : Unrecorded::kLeave;
}

bool UninstallUserLevel(const Setting& setting, const char16_t* path, win::REGSAM view,
                        ActionCall& call) {
  HandledSettingsKeys& handled = call.handled;
  // Only Install at user level makes copies, but a per-user run that died
  // leaves its trail for whichever run comes next: a machine-level removal
  // looks for it too.
  const bool copies = setting.installed;
  RegKeyW key(call.user_root, path, kReadWrite | view, false);
  if (key.opened() == Lookup::kFailed) return false;
  if (key.opened() == Lookup::kAbsent) {
    if (!copies) return true;
    // Missing in the 64-bit view as well: no second look.
    handled.RememberUserKey(path);
    return FinishCopyTrail(path, view, TrailStart::kAbsent, call);
  }
  handled.RememberUserKey(path);
  const Lookup marked = FindRemovalMarker(key);
  if (marked == Lookup::kFailed) return false;
  // A marked copy holds nothing but the machine's content: it goes whole,
  // whether or not its setting could be put back.
  if (marked == Lookup::kFound) {
    // Made ready first: once the copy is gone, keys above it that an
    // earlier version left unmarked are known only to this run.
    CopyTrail trail(call.user_root, path);
    if (!DeleteKeyTree(key, false)) return false;
    ++call.copies_removed;
    LogCopyRemoved(call.user_root, path, view, false);
    // Keys the copy left empty above it go too. Should that fail, those
    // this version made stay marked, and the next run removes them.
    return trail.Walk(TrailStart::kDeleted).ok;
  }
  bool backup_found = false;
  if (!RestoreDword(key, setting.value_name, setting.default_value,
                    UnrecordedAtUserLevel(setting, call), &backup_found)) {
    return false;
  }
  // Every key that Install switched has a backup key: one without may be a
  // copy that a run which stopped had only just created.
  if (!copies || backup_found) return true;
  const Lookup empty = IsEmpty(key);
  if (empty != Lookup::kFound) return empty == Lookup::kAbsent;
  key.Close();
  return FinishCopyTrail(path, view, TrailStart::kUnmarkedEmpty, call);
}

bool SwitchBothLevels(const Setting& setting, const ProductRelease& release, const char16_t* path,
                      ActionCall& call) {
  const win::REGSAM view = call.view64 ? win::KEY_WOW64_64KEY : 0;
  const SettingLevel level =
      call.user_only ? SettingLevel::kUser : ChooseLevel(release, call.machine_wide);
  call.root = win::HKEY_LOCAL_MACHINE;
  if (level == SettingLevel::kUnknown) return false;
  if (level == SettingLevel::kMachine && !call.machine_level_done &&
      !SwitchMachineLevel(setting, path, view, call.installing)) {
    return false;
  }
  // Per-user keys look the same from both views; the first pass did them.
  if (call.view64 && call.handled.HasUserKey(path)) return true;
  call.root = call.user_root;
  if (!call.installing) return UninstallUserLevel(setting, path, view, call);
  return InstallUserLevel(setting, call.user_root, path, view, level, call.handled);
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
  ForgetFailure();
  if (SwitchBothLevels(setting, release, settings_path, call)) return;
  call.failed = true;
  LogFailure(call.installing ? "switching off" : "restoring", call.root, settings_path,
             call.view64 ? win::KEY_WOW64_64KEY : 0, setting.value_name);
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
