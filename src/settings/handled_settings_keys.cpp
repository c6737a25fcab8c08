#include "settings/handled_settings_keys.h"

bool HandledSettingsKeys::FirstVisit(const char16_t* path, bool view64) {
  return visits_[view64 ? 1 : 0].Insert(path);
}

bool HandledSettingsKeys::HasUserKey(const char16_t* path) const {
  return user_keys_.Contains(path);
}

void HandledSettingsKeys::RememberUserKey(const char16_t* path) { user_keys_.Insert(path); }
