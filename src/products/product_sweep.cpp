#include "products/product_sweep.h"

#include <memory>

#include "platform/win_api.h"
#include "products/setting_locations.h"
#include "registry/key_tree.h"
#include "registry/lookup.h"
#include "registry/reg_calls.h"
#include "registry/reg_key.h"
#include "registry/wide_str.h"
#include "settings/change_log.h"
#include "settings/setting_switch.h"

namespace {

// Assumed longest product key name when the release key cannot tell.
constexpr win::DWORD kFallbackNameLength = 260;

// The root key whose release key is swept, by the level the switch works
// on; null when the release is skipped (|*failed| tells whether that is
// because the write probe failed). A release that keeps its settings per
// machine has none below the user.
win::HKEY ChooseRoot(const ProductRelease& release, const ActionCall& call, bool* failed) {
  switch (ChooseLevel(release, call.machine_wide)) {
    case SettingLevel::kMachine:
      return win::HKEY_LOCAL_MACHINE;
    case SettingLevel::kUser:
      return KeepsSettingsPerMachine(release) ? nullptr : call.user_root;
    case SettingLevel::kUnknown:
      break;
  }
  *failed = true;
  return nullptr;
}

// The name of the sub-key at |index| of |key|, in a buffer of |capacity|
// characters; the Windows status.
win::LONG EnumSubKey(win::HKEY key, win::DWORD index, char16_t* name, win::DWORD capacity) {
  win::DWORD length = capacity;
  return reg::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
}

bool SameText(const char16_t* a, const char16_t* b) {
  while (*a != 0 && *a == *b) ++a, ++b;
  return *a == *b;
}

// Whether an enumeration that failed with |status| ended because the
// release key itself was pruned away with a deleted per-user copy.
bool ReleaseKeyWasPruned(win::LONG status, win::HKEY root, const WideStr& release_path,
                         win::REGSAM access, unsigned copies_removed_before,
                         const ActionCall& call) {
  if (status != win::ERROR_KEY_DELETED || call.copies_removed == copies_removed_before) {
    return false;
  }
  const RegKeyW again(root, release_path.get(), access, false);
  return again.opened() == Lookup::kAbsent;
}

// Whether a machine-level Uninstall sweeps the user's release key too. An
// Install that ran per user (the machine-wide flag without the right to
// write HKEY_LOCAL_MACHINE\SOFTWARE) may have left records below product
// keys that only the user has. A user's Software key is one key in both
// views, so the first pass reaches all of them. The communication-
// center releases (no release path) sweep the root key's own sub-keys, below
// which Install records nothing; AutoCAD before R16 is never swept below the
// user.
bool SweepsTheUsersToo(win::HKEY root, const WideStr& release_path, const ProductRelease& release,
                       const ActionCall& call) {
  return !call.installing && !call.view64 && root == win::HKEY_LOCAL_MACHINE &&
         release_path.Length() > 0 && !KeepsSettingsPerMachine(release);
}

// How the sweep of one release key ended.
enum class Swept {
  kAbsent,    // no such key: nothing to do
  kToTheEnd,  // every product key was dispatched
  kFailed,    // the key could not be opened or enumerated (call.failed set)
};

// Dispatches the product keys below |root|\|release_path|, one at a time as
// read from the live key.
Swept SweepReleaseKey(win::HKEY root, const WideStr& release_path, const ProductRelease& release,
                      ActionCall& call) {
  const win::REGSAM access = win::KEY_READ | (call.view64 ? win::KEY_WOW64_64KEY : 0);
  ForgetFailure();
  RegKeyW release_key(root, release_path.get(), access, false);
  const win::HKEY key = release_key.handle();
  if (key == nullptr) {
    if (release_key.opened() != Lookup::kFailed) return Swept::kAbsent;
    call.failed = true;
    LogFailure("opening the release key", root, release_path.get(), access, nullptr);
    return Swept::kFailed;
  }

  win::DWORD longest = kFallbackNameLength;
  if (reg::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) != win::ERROR_SUCCESS) {
    longest = kFallbackNameLength;
  }
  const win::DWORD capacity = longest + 1;
  std::unique_ptr<char16_t[]> name(new char16_t[capacity + 1]);
  std::unique_ptr<char16_t[]> name_now(new char16_t[capacity + 1]);

  // Names are read one at a time from the live key, each just before its
  // dispatch.
  const unsigned copies_removed_before = call.copies_removed;
  win::DWORD index = 0;
  win::LONG status = win::ERROR_SUCCESS;
  while ((status = EnumSubKey(key, index, name.get(), capacity)) == win::ERROR_SUCCESS) {
    const unsigned removed = call.copies_removed;
    {
      const WideStr product_path = ProductKeyPath(release_path, name.get());
      DispatchSettingLocation(product_path.get(), release, call);
    }
    if (call.copies_removed == removed) {
      ++index;
      continue;
    }
    // Deleting a marked per-user copy can prune the product key itself; the
    // next product key then moves into this index and is read from there.
    // Names are unique, so the same text at the index is the same key.
    status = EnumSubKey(key, index, name_now.get(), capacity);
    if (status != win::ERROR_SUCCESS) break;
    if (SameText(name.get(), name_now.get())) ++index;
  }
  if (status == win::ERROR_NO_MORE_ITEMS ||
      ReleaseKeyWasPruned(status, root, release_path, access, copies_removed_before, call)) {
    return Swept::kToTheEnd;
  }
  // Product keys from this index on were not visited.
  call.failed = true;
  NoteFailure("RegEnumKeyExW", nullptr, status);
  LogFailure("listing the product keys", root, release_path.get(), access, nullptr);
  return Swept::kFailed;
}

}  // namespace

WideStr ProductKeyPath(const WideStr& release_path, const char16_t* name) {
  WideStr path(release_path.get());
  if (release_path.Length() > 0) path.Append(u'\\');
  path.Append(name);
  return path;
}

bool SweepProductKeys(const ProductRelease& release, ActionCall& call) {
  const WideStr release_path = BuildReleaseKeyPath(release);
  bool failed = false;
  const win::HKEY root = ChooseRoot(release, call, &failed);
  if (root == nullptr) {
    if (failed) {
      call.failed = true;
      LogWriteProbeFailure();
    }
    return false;
  }
  const Swept swept = SweepReleaseKey(root, release_path, release, call);
  if (!SweepsTheUsersToo(root, release_path, release, call)) return swept == Swept::kToTheEnd;

  // The product keys the machine has were handled with it, their user level
  // included, and are not handled again. Below the others the machine has
  // no settings keys; where its release key could not be read, each is
  // handled as the machine level would.
  call.user_only = swept != Swept::kFailed;
  const Swept user_swept = SweepReleaseKey(call.user_root, release_path, release, call);
  call.user_only = false;
  if (swept == Swept::kFailed || user_swept == Swept::kFailed) return false;
  return swept == Swept::kToTheEnd || user_swept == Swept::kToTheEnd;
}

void DispatchSettingLocation(const char16_t* product_path, const ProductRelease& release,
                             ActionCall& call) {
  const SettingLocation* location = FindSettingLocation(ReleaseCode(release));
  if (location == nullptr) return;
  for (const char16_t* suffix : location->suffixes) {
    if (suffix == nullptr) continue;
    const WideStr settings_path = WideStr(product_path) + suffix;
    SwitchSetting(*location->setting, release, settings_path.get(), call);
  }
}
