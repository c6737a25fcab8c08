#include "products/product_sweep.h"

#include <memory>

#include "platform/win_api.h"
#include "products/setting_locations.h"
#include "registry/key_tree.h"
#include "registry/reg_key.h"
#include "registry/wide_str.h"

namespace {

// Assumed longest product key name when the release key cannot tell.
constexpr win::DWORD kFallbackNameLength = 260;

// The root key whose release key is swept; null when the release is skipped.
win::HKEY ChooseRoot(const ProductRelease& release, bool machine_wide) {
  if (release.family == AutoCad && release.major < 16) {
    return CanWriteMachineSoftware() ? win::HKEY_LOCAL_MACHINE : nullptr;
  }
  if (machine_wide && CanWriteMachineSoftware()) return win::HKEY_LOCAL_MACHINE;
  return win::HKEY_CURRENT_USER;
}

// The name of the sub-key at |index| of |key|, in a buffer of |capacity|
// characters; false at the end, for a name that does not fit, or on error.
bool EnumSubKey(win::HKEY key, win::DWORD index, char16_t* name, win::DWORD capacity) {
  win::DWORD length = capacity;
  return win::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) ==
         win::ERROR_SUCCESS;
}

bool SameText(const char16_t* a, const char16_t* b) {
  while (*a != 0 && *a == *b) ++a, ++b;
  return *a == *b;
}

// The release path, a backslash and |name|. Directly below a root key (empty
// release path) the name stands alone: Windows refuses a path that begins
// with a backslash.
WideStr ProductKeyPath(const WideStr& release_path, const char16_t* name) {
  WideStr path(release_path.get());
  if (release_path.Length() > 0) path.Append(u'\\');
  path.Append(name);
  return path;
}

}  // namespace

bool SweepProductKeys(bool installing, const ProductRelease& release, bool machine_wide,
                      bool view64, HandledSettingsKeys& handled) {
  const WideStr release_path = BuildReleaseKeyPath(release);
  const win::HKEY root = ChooseRoot(release, machine_wide);
  if (root == nullptr) return false;
  const win::REGSAM access = win::KEY_READ | (view64 ? win::KEY_WOW64_64KEY : 0);
  RegKeyW release_key(root, release_path.get(), access, false);
  const win::HKEY key = release_key.handle();
  if (key == nullptr) return false;

  win::DWORD longest = kFallbackNameLength;
  if (win::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) != win::ERROR_SUCCESS) {
    longest = kFallbackNameLength;
  }
  const win::DWORD capacity = longest + 1;
  std::unique_ptr<char16_t[]> name(new char16_t[capacity + 1]);
  std::unique_ptr<char16_t[]> name_now(new char16_t[capacity + 1]);

  // Names are read one at a time from the live key, each just before its
  // dispatch; any enumeration error ends the sweep quietly.
  win::DWORD index = 0;
  while (EnumSubKey(key, index, name.get(), capacity)) {
    {
      const WideStr product_path = ProductKeyPath(release_path, name.get());
      DispatchSettingLocation(product_path.get(), release, installing, machine_wide, view64,
                              handled);
    }
    // Deleting a marked per-user copy can prune the product key itself; the
    // next product key then moves into this index and is read from there.
    // Names are unique, so the same text at the index is the same key.
    if (!EnumSubKey(key, index, name_now.get(), capacity)) break;
    if (SameText(name.get(), name_now.get())) ++index;
  }
  return true;
}

void DispatchSettingLocation(const char16_t* product_path, const ProductRelease& release,
                             bool installing, bool machine_wide, bool view64,
                             HandledSettingsKeys& handled) {
  const SettingLocation* location = FindSettingLocation(ReleaseCode(release));
  if (location == nullptr) return;
  for (const char16_t* suffix : location->suffixes) {
    if (suffix == nullptr) continue;
    const WideStr settings_path = WideStr(product_path) + suffix;
    location->switch_setting(installing, release, settings_path.get(), machine_wide, view64,
                             handled);
  }
}
