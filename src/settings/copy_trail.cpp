#include "settings/copy_trail.h"

#include "registry/key_tree.h"
#include "registry/lookup.h"
#include "registry/name_fold.h"
#include "registry/reg_calls.h"

namespace {

// Longest key name the registry allows, in characters.
constexpr win::DWORD kLongestKeyName = 255;

// Whether the |length| units at |a| and the NUL-terminated |b| are one name.
bool SameName(const char16_t* a, std::size_t length, const char16_t* b) {
  for (std::size_t i = 0; i < length; ++i) {
    if (b[i] == u'\0' || FoldNameUnit(a[i]) != FoldNameUnit(b[i])) return false;
  }
  return b[length] == u'\0';
}

// Whether the open |key| holds a note naming the |length| units at |child|.
// A note too long to name any key names none.
Lookup FindNoteFor(win::HKEY key, const char16_t* child, std::size_t length) {
  char16_t text[kLongestKeyName + 2] = {};
  win::DWORD type = win::REG_NONE;
  win::DWORD size = sizeof(text) - sizeof(char16_t);  // room for a terminator of ours
  const win::LONG status = reg::RegQueryValueExW(key, kCreatingNoteName, nullptr, &type,
                                                 reinterpret_cast<win::BYTE*>(text), &size);
  if (status == win::ERROR_MORE_DATA) return Lookup::kAbsent;
  if (status != win::ERROR_SUCCESS) return LookupOf(status);
  if (type != win::REG_SZ) return Lookup::kAbsent;
  text[size / sizeof(char16_t)] = u'\0';
  return SameName(child, length, text) ? Lookup::kFound : Lookup::kAbsent;
}

// Whether the open |key|, known to hold one value and no sub-keys, holds
// nothing but the marker of a key created above a copy.
Lookup HoldsOnlyAncestorMarker(win::HKEY key) {
  win::DWORD type = win::REG_NONE;
  win::DWORD marker = 0;
  win::DWORD size = sizeof(marker);
  const win::LONG status = reg::RegQueryValueExW(key, kRemoveWhenEmptyName, nullptr, &type,
                                                 reinterpret_cast<win::BYTE*>(&marker), &size);
  if (status == win::ERROR_MORE_DATA) return Lookup::kAbsent;
  if (status != win::ERROR_SUCCESS) return LookupOf(status);
  return type == win::REG_DWORD && size == sizeof(marker) && marker == 1 ? Lookup::kFound
                                                                         : Lookup::kAbsent;
}

bool Deleted(win::LONG status) { return LookupOf(status) != Lookup::kFailed; }

// Closes |key| when the walk leaves a level.
class OpenKey {
 public:
  OpenKey() = default;
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  ~OpenKey() { Close(); }
  win::HKEY* Receive() { return &key_; }
  win::HKEY get() const { return key_; }
  win::HKEY Release() {
    const win::HKEY key = key_;
    key_ = nullptr;
    return key;
  }
  void Close() {
    if (key_ != nullptr) reg::RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  win::HKEY key_ = nullptr;
};

}  // namespace

CopyTrail::CopyTrail(win::HKEY root, const char16_t* path) : root_(root) {
  std::size_t length = 0;
  while (path != nullptr && path[length] != u'\0') ++length;
  text_.reset(new char16_t[length + 1]);
  for (std::size_t i = 0; i < length; ++i) text_[i] = path[i];
  text_[length] = u'\0';
  // Empty components (a leading or doubled backslash) count for none.
  std::size_t count = 0;
  for (std::size_t at = 0; at < length; ++at) {
    if (text_[at] != u'\\' && (at == 0 || text_[at - 1] == u'\\')) ++count;
  }
  components_.reset(new Component[count]);
  std::size_t start = 0;
  for (std::size_t at = 0; at <= length; ++at) {
    if (at != length && text_[at] != u'\\') continue;
    if (at > start) components_[levels_++] = Component{start, at};
    start = at + 1;
  }
}

WideStr CopyTrail::Name(int level) const {
  const Component& name = components_[level];
  const WideStr rest(text_.get() + name.start);
  return WideStr::Left(static_cast<int>(name.end - name.start), rest);
}

WideStr CopyTrail::Path(int level) { return WideStr(Prefix(level)); }

const char16_t* CopyTrail::Prefix(int level) {
  // Higher levels may have been cut off at their ends before: the
  // separators go back.
  for (int higher = 0; higher < level; ++higher) text_[components_[higher].end] = u'\\';
  text_[components_[level].end] = u'\0';
  return text_.get();
}

void CopyTrail::KeepFrom(TrailWalk& walk, int level, bool keep_open) {
  walk.kept = level;
  if (!keep_open || level < 0) return;
  walk.kept_key = std::make_unique<RegKeyW>(root_, Prefix(level), win::KEY_ALL_ACCESS, false);
  if (!walk.kept_key->handle()) walk.ok = false;
}

TrailWalk CopyTrail::Walk(TrailStart start, bool keep_open) {
  TrailWalk walk;
  // The key below the one looked at: there as an empty, unmarked key that
  // is a copy's only if the note of its parent names it.
  bool child_unconfirmed = start == TrailStart::kUnmarkedEmpty;
  auto fail = [&walk](int level) -> TrailWalk& {
    walk.ok = false;
    walk.kept = level;
    return walk;
  };
  for (int level = Levels() - 2; level >= 0; --level) {
    OpenKey key;
    // Fixed mask, no view flag: the user's keys are one in both views.
    const win::LONG opened =
        reg::RegOpenKeyExW(root_, Prefix(level), 0, win::KEY_ALL_ACCESS, key.Receive());
    if (LookupOf(opened) == Lookup::kAbsent) {
      child_unconfirmed = false;
      continue;
    }
    if (opened != win::ERROR_SUCCESS) return std::move(fail(level));
    // The child's name, terminated at its own end.
    const Component& child_name = components_[level + 1];
    const char16_t* child = text_.get() + child_name.start;
    const std::size_t child_length = child_name.end - child_name.start;
    const Lookup noted = FindNoteFor(key.get(), child, child_length);
    if (noted == Lookup::kFailed) return std::move(fail(level));
    if (child_unconfirmed) {
      // Not named: the user's own empty key, which stays.
      if (noted == Lookup::kAbsent) {
        key.Close();
        KeepFrom(walk, level + 1, keep_open);
        return walk;
      }
      if (!Deleted(reg::RegDeleteKeyW(key.get(), child))) return std::move(fail(level + 1));
      walk.removed_any = true;
      if (level + 1 == Levels() - 1) walk.settings_key_removed = true;
      child_unconfirmed = false;
    }
    // The key the note names is gone by now.
    if (noted == Lookup::kFound &&
        reg::RegDeleteValueW(key.get(), kCreatingNoteName) != win::ERROR_SUCCESS) {
      return std::move(fail(level));
    }
    win::DWORD sub_keys = 0;
    win::DWORD values = 0;
    if (!CountKeyContent(key.get(), &sub_keys, &values)) return std::move(fail(level));
    bool removable = false;
    if (sub_keys == 0 && values == 0) {
      // Removing a copy has always taken the keys it left empty along.
      removable = start == TrailStart::kDeleted;
      child_unconfirmed = !removable;
    } else if (sub_keys == 0 && values == 1) {
      const Lookup marked = HoldsOnlyAncestorMarker(key.get());
      if (marked == Lookup::kFailed) return std::move(fail(level));
      removable = marked == Lookup::kFound;
    }
    if (child_unconfirmed) continue;
    if (!removable) {
      walk.kept = level;
      // Handed over open: the caller creates below it. The handle changes
      // owner only once the new owner is there.
      if (keep_open) {
        walk.kept_key = std::make_unique<RegKeyW>(key.get(), nullptr, win::KEY_ALL_ACCESS, false);
        key.Release();
      }
      return walk;
    }
    key.Close();  // the handle goes before the key does
    if (!Deleted(reg::RegDeleteKeyW(root_, Prefix(level)))) {
      return std::move(fail(level));
    }
    walk.removed_any = true;
  }
  // A first component that nothing can name stays.
  KeepFrom(walk, child_unconfirmed ? 0 : -1, keep_open);
  return walk;
}
