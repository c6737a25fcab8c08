#include "settings/setting_switch.h"

#include <cstddef>
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

// What a per-user copy holds under its setting's name while it is made. The
// switched setting is the copy's last write, so a run that finds this in a
// marked key knows the copy for unfinished.
constexpr char16_t kUnfinishedCopyText[] = u"SKRW_Copying";

RawValue UnfinishedCopyMark() {
  RawValue mark;
  for (const char16_t* unit = kUnfinishedCopyText; *unit != u'\0'; ++unit) {
    mark.data.push_back(static_cast<win::BYTE>(*unit));
    mark.data.push_back(static_cast<win::BYTE>(*unit >> 8));
  }
  return mark;
}

// Asked of every setting read: compares without allocating.
bool IsUnfinishedCopyMark(const RawValue& value) {
  constexpr std::size_t kUnits = sizeof kUnfinishedCopyText / sizeof(char16_t) - 1;
  if (value.type != win::REG_NONE || value.data.size() != 2 * kUnits) return false;
  for (std::size_t i = 0; i < kUnits; ++i) {
    const char16_t unit = static_cast<char16_t>(value.data[2 * i] | value.data[2 * i + 1] << 8);
    if (unit != kUnfinishedCopyText[i]) return false;
  }
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
  // copy; a value of the marker's name in the machine's key is never copied
  // over it. Until the mark of an unfinished copy is in, the marker alone
  // tells a later Install the same.
  if (!copy.SetDword(kRemoveOnUninstallName, 1) || !parent->DeleteValue(kCreatingNoteName)) {
    return abandon(&copy);
  }
  parent.reset();
  handled.RememberUserKey(path);
  // The machine's content, the marker and the setting aside, and then the
  // setting switched from the machine's value: the copy's last write, which
  // makes it complete.
  const char16_t* const left_out[] = {kRemoveOnUninstallName, setting.value_name, nullptr};
  if (!WriteRawValue(copy, setting.value_name, UnfinishedCopyMark()) ||
      !CopyKeyContents(source, copy, left_out)) {
    return abandon(&copy);
  }
  NoteCopyMade();
  RawValue old;
  const Lookup current = ReadRawValue(source, setting.value_name, &old);
  return BackupAndSetRead(copy, setting.value_name, current, old, true);
}

// What an Install finds in a settings key of the user's.
enum class UserKey {
  kOwn,             // the user's own, or a finished copy
  kEmpty,           // empty and unmarked: a copy's only if the note above names it
  kUnfinishedCopy,  // a marked copy that a run which stopped had not finished
  kFailed,          // it could not be looked at
};

// Looks at the open settings key |key|, whose setting ReadRawValue gave as
// |current| and |old|. Calls Windows only where the setting is absent or
// holds the mark of an unfinished copy.
UserKey LookAtUserKey(RegKeyW& key, Lookup current, const RawValue& old) {
  if (current == Lookup::kFound && !IsUnfinishedCopyMark(old)) return UserKey::kOwn;
  if (current == Lookup::kAbsent) {
    win::DWORD sub_keys = 0;
    win::DWORD values = 0;
    if (!CountKeyContent(key.handle(), &sub_keys, &values)) return UserKey::kFailed;
    if (sub_keys == 0 && values == 0) return UserKey::kEmpty;
    // A copy holds its marker alone only until the mark goes in.
    if (sub_keys != 0 || values != 1) return UserKey::kOwn;
  }
  const Lookup marked = FindRemovalMarker(key);
  if (marked == Lookup::kFailed) return UserKey::kFailed;
  return marked == Lookup::kFound ? UserKey::kUnfinishedCopy : UserKey::kOwn;
}

// Counts and tells a copy removed at |path| in the user's hive; |leftovers|
// when it was never finished, or only its trail was left.
void CountCopyRemoved(const char16_t* path, win::REGSAM view, bool leftovers, ActionCall& call) {
  ++call.copies_removed;
  LogCopyRemoved(call.user_root, path, view, leftovers);
}

// Deletes the marked copy |key| at |path| in the user's hive, and then the
// keys it leaves empty above it; |leftovers| when it was never finished.
bool RemoveMarkedCopy(RegKeyW& key, const char16_t* path, win::REGSAM view, bool leftovers,
                      ActionCall& call) {
  // Made ready first: once the copy is gone, keys above it that an earlier
  // version left unmarked are known only to this run.
  CopyTrail trail(call.user_root, path);
  if (!DeleteKeyTree(key, false)) return false;
  CountCopyRemoved(path, view, leftovers, call);
  // Should that fail, those this version made stay marked, and the next run
  // removes them.
  return trail.Walk(TrailStart::kDeleted).ok;
}

// A copy that a run which stopped had begun: a user-level Install makes it
// again from the machine's key, so that it is what one clean Install makes
// even where the machine's key changed meanwhile, or takes it away where
// that is gone; a machine-level one, which makes no copies, takes it away.
bool RedoUnfinishedCopy(const Setting& setting, RegKeyW& copy, const char16_t* path,
                        win::REGSAM view, SettingLevel level, ActionCall& call) {
  if (level == SettingLevel::kMachine) return RemoveMarkedCopy(copy, path, view, true, call);
  {
    RegKeyW source(win::HKEY_LOCAL_MACHINE, path, win::KEY_READ | view, false);
    if (source.opened() == Lookup::kFailed) return false;
    if (source.opened() == Lookup::kAbsent) return RemoveMarkedCopy(copy, path, view, true, call);
  }
  // The copy alone goes: the keys above it stay for the new one, and a note
  // naming it goes with the new one's walk.
  if (!DeleteKeyTree(copy, false)) return false;
  return InstallUserCopy(setting, call.user_root, path, view, call.handled);
}

// Whether the open settings key |key| is empty; kFailed when it cannot be
// asked.
Lookup IsEmpty(RegKeyW& key) {
  win::DWORD sub_keys = 0;
  win::DWORD values = 0;
  if (!CountKeyContent(key.handle(), &sub_keys, &values)) return Lookup::kFailed;
  return sub_keys == 0 && values == 0 ? Lookup::kFound : Lookup::kAbsent;
}

bool InstallUserLevel(const Setting& setting, const char16_t* path, win::REGSAM view,
                      SettingLevel level, ActionCall& call) {
  const win::HKEY root = call.user_root;
  HandledSettingsKeys& handled = call.handled;
  RegKeyW key(root, path, kReadWrite | view, false);
  if (key.opened() == Lookup::kFailed) return false;
  if (key.opened() == Lookup::kAbsent) {
    // No key of the user's own: at machine level there is nothing to do for
    // the user, otherwise the user gets the machine's.
    if (level == SettingLevel::kMachine) return true;
    return InstallUserCopy(setting, root, path, view, handled);
  }
  RawValue old;
  const Lookup current = ReadRawValue(key, setting.value_name, &old);
  if (current == Lookup::kFailed) return false;
  switch (LookAtUserKey(key, current, old)) {
    case UserKey::kFailed:
      return false;
    case UserKey::kUnfinishedCopy:
      return RedoUnfinishedCopy(setting, key, path, view, level, call);
    case UserKey::kEmpty: {
      // It may be a copy that a run which stopped had only just created:
      // that is made anew, or at machine level simply goes.
      key.Close();
      const TrailWalk trail = WalkCopyTrail(root, path, TrailStart::kUnmarkedEmpty);
      if (!trail.ok) return false;
      if (trail.settings_key_removed) {
        if (level == SettingLevel::kUser) {
          return InstallUserCopy(setting, root, path, view, handled);
        }
        CountCopyRemoved(path, view, true, call);
        return true;
      }
      RegKeyW own(root, path, kReadWrite | view, false);
      if (own.opened() != Lookup::kFound) return own.opened() == Lookup::kAbsent;
      handled.RememberUserKey(path);
      return BackupAndSetDword(own, setting.value_name);
    }
    case UserKey::kOwn:
      break;
  }
  handled.RememberUserKey(path);
  return BackupAndSetRead(key, setting.value_name, current, old);
}

// Where a settings key is missing or empty and unmarked, a copy may have
// been begun or its removal stopped halfway: what it left above goes.
bool FinishCopyTrail(const char16_t* path, win::REGSAM view, TrailStart start, ActionCall& call) {
  const bool absent = start == TrailStart::kAbsent;
  if (absent && call.handled.IsBelowTrailFreeKey(path)) return true;
  CopyTrail trail(call.user_root, path);
  const TrailWalk walk = trail.Walk(start);
  if (walk.removed_any) CountCopyRemoved(path, view, true, call);
  // The walk stopped at the first key that stays: nothing names the missing
  // key below it any more.
  if (walk.ok && absent) call.handled.RememberTrailFreeKey(trail.Path(walk.kept + 1).get());
  return walk.ok;
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
  if (marked == Lookup::kFound) return RemoveMarkedCopy(key, path, view, false, call);
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
  return InstallUserLevel(setting, path, view, level, call);
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
