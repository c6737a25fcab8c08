#include "settings/handled_settings_keys.h"

#include "registry/name_fold.h"

bool HandledSettingsKeys::FirstVisit(const char16_t* path, bool view64) {
  return visits_[view64 ? 1 : 0].Insert(path);
}

bool HandledSettingsKeys::HasUserKey(const char16_t* path) const {
  return user_keys_.Contains(path);
}

void HandledSettingsKeys::RememberUserKey(const char16_t* path) { user_keys_.Insert(path); }

bool HandledSettingsKeys::IsBelowTrailFreeKey(const char16_t* path) const {
  const char16_t* key = trail_free_.get();
  if (key == nullptr || path == nullptr) return false;
  int i = 0;
  for (; key[i] != u'\0'; ++i) {
    if (FoldNameUnit(path[i]) != FoldNameUnit(key[i])) return false;
  }
  return i > 0 && path[i] == u'\\';
}

void HandledSettingsKeys::RememberTrailFreeKey(const char16_t* path) { trail_free_.Assign(path); }
