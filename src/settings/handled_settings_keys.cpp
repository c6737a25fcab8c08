#include "settings/handled_settings_keys.h"

#include <algorithm>

namespace {

// Paths are compared ignoring case, as the registry compares key names; the
// names in use are ASCII.
std::u16string Fold(const char16_t* path) {
  std::u16string folded(path ? path : u"");
  for (char16_t& c : folded) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return folded;
}

}  // namespace

bool HandledSettingsKeys::FindVisit(const char16_t* path, bool view64, bool* result) const {
  const std::u16string folded = Fold(path);
  for (const Visit& visit : visits_) {
    if (visit.view64 == view64 && visit.folded_path == folded) {
      *result = visit.result;
      return true;
    }
  }
  return false;
}

void HandledSettingsKeys::RememberVisit(const char16_t* path, bool view64, bool result) {
  visits_.push_back(Visit{Fold(path), view64, result});
}

bool HandledSettingsKeys::HasUserKey(const char16_t* path) const {
  return std::find(folded_user_keys_.begin(), folded_user_keys_.end(), Fold(path)) !=
         folded_user_keys_.end();
}

void HandledSettingsKeys::RememberUserKey(const char16_t* path) {
  if (!HasUserKey(path)) folded_user_keys_.push_back(Fold(path));
}
