// What one call of Install or Uninstall has already done to which settings
// key, so that no key is handled twice.
//
// Two things repeat within a call. The three communication-center releases
// of Uninstall sweep the same keys one after the other, and restoring one a
// second time would write the product default over the value just put back.
// And HKEY_CURRENT_USER\Software is one key in both registry views, so the
// 64-bit pass meets the per-user keys of the first pass again.
// (HKEY_LOCAL_MACHINE\SOFTWARE is redirected: its views are different keys.)
// Paths are compared ignoring case, as the registry compares key names; each
// lookup costs the same however many keys were handled before.
#pragma once

#include "registry/key_name_set.h"
#include "registry/wide_str.h"

class HandledSettingsKeys {
 public:
  // False when the settings key |path| was handled in this view already;
  // otherwise remembers it and returns true.
  bool FirstVisit(const char16_t* path, bool view64);

  // The per-user settings keys whose user level was reached, in either view.
  bool HasUserKey(const char16_t* path) const;
  void RememberUserKey(const char16_t* path);

  // A key missing from the user's hive, with no note in its parent naming
  // it: no copy's trail can lie below it, so the settings keys below it need
  // no look for one. The latest such key is kept; removal creates none.
  bool IsBelowTrailFreeKey(const char16_t* path) const;
  void RememberTrailFreeKey(const char16_t* path);

 private:
  // One set for each view, the 32-bit view's first.
  KeyNameSet visits_[2];
  KeyNameSet user_keys_;
  WideStr trail_free_;
};
