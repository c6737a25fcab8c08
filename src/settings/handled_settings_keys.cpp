#include "settings/handled_settings_keys.h"

#include "registry/name_fold.h"

namespace {

// Key names compare as the registry compares them: "ÄCAD" and "äCAD" are
// one key.
std::u16string Fold(const char16_t* path) {
  std::u16string folded(path ? path : u"");
  for (char16_t& c : folded) c = FoldNameUnit(c);
  return folded;
}

}  // namespace

bool HandledSettingsKeys::FirstVisit(const char16_t* path, bool view64) {
  // The last unit tells the two views apart.
  std::u16string key = Fold(path);
  key.push_back(view64 ? u'\\' : u'/');
  return visits_.insert(std::move(key)).second;
}

bool HandledSettingsKeys::HasUserKey(const char16_t* path) const {
  return user_keys_.count(Fold(path)) != 0;
}

void HandledSettingsKeys::RememberUserKey(const char16_t* path) { user_keys_.insert(Fold(path)); }

bool HandledSettingsKeys::IsBelowTrailFreeKey(const char16_t* path) const {
  const std::u16string folded = Fold(path);
  return !trail_free_.empty() && folded.size() > trail_free_.size() &&
         folded.compare(0, trail_free_.size(), trail_free_) == 0 &&
         folded[trail_free_.size()] == u'\\';
}

void HandledSettingsKeys::RememberTrailFreeKey(const char16_t* path) { trail_free_ = Fold(path); }
