// What one call of Install or Uninstall has already done to which settings
// key, so that no key is handled twice.
//
// Two things repeat within a call. The three communication-center releases
// of Uninstall sweep the same keys one after the other. And
// HKEY_CURRENT_USER\Software is one key in both registry views, so the
// 64-bit pass meets the per-user keys of the first pass again. Restoring a
// key a second time would overwrite the value just restored with the product
// default. (HKEY_LOCAL_MACHINE\SOFTWARE is redirected: its views are
// different keys.) The caller keeps one object on its stack for one call.
#pragma once

#include <string>
#include <vector>

class HandledSettingsKeys {
 public:
  // Whether the settings key |path| was handled in this view already, and if
  // so the result of that visit in |result|.
  bool FindVisit(const char16_t* path, bool view64, bool* result) const;
  void RememberVisit(const char16_t* path, bool view64, bool result);

  // The per-user settings keys whose user level was reached, in either view.
  bool HasUserKey(const char16_t* path) const;
  void RememberUserKey(const char16_t* path);

 private:
  struct Visit {
    std::u16string folded_path;
    bool view64;
    bool result;
  };
  std::vector<Visit> visits_;
  std::vector<std::u16string> folded_user_keys_;
};
