#include "settings/copy_trail.h"

#include <string>
#include <vector>

#include "registry/key_tree.h"
#include "registry/lookup.h"
#include "registry/name_fold.h"
#include "settings/raw_value.h"

namespace {

// The components of a key path; empty ones (a leading or doubled backslash)
// count for none.
struct Path {
  explicit Path(const char16_t* text) : full(text ? text : u"") {
    std::size_t start = 0;
    for (std::size_t at = 0; at <= full.size(); ++at) {
      if (at != full.size() && full[at] != u'\\') continue;
      if (at > start) {
        starts.push_back(start);
        ends.push_back(at);
      }
      start = at + 1;
    }
  }
  int Levels() const { return static_cast<int>(ends.size()); }
  std::u16string Prefix(int level) const { return full.substr(0, ends[level]); }
  std::u16string Name(int level) const {
    return full.substr(starts[level], ends[level] - starts[level]);
  }

  std::u16string full;
  std::vector<std::size_t> starts;
  std::vector<std::size_t> ends;
};

bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldNameUnit(a[i]) != FoldNameUnit(b[i])) return false;
  }
  return true;
}

// Whether |key| holds a note naming |child|.
Lookup FindNoteFor(RegKeyW& key, const std::u16string& child) {
  RawValue note;
  const Lookup found = ReadRawValue(key, kCreatingNoteName, &note);
  if (found != Lookup::kFound) return found;
  if (note.type != win::REG_SZ) return Lookup::kAbsent;
  std::u16string text(note.data.size() / sizeof(char16_t), u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(note.data[2 * i] | (note.data[2 * i + 1] << 8));
  }
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return SameName(text, child) ? Lookup::kFound : Lookup::kAbsent;
}

// Whether |key|, known to hold one value and no sub-keys, holds nothing but
// the marker of a key created above a copy.
Lookup HoldsOnlyAncestorMarker(RegKeyW& key) {
  RawValue marker;
  const Lookup found = ReadRawValue(key, kRemoveWhenEmptyName, &marker);
  if (found != Lookup::kFound) return found;
  return marker.IsDword(1) ? Lookup::kFound : Lookup::kAbsent;
}

bool DeleteKey(win::HKEY parent, const std::u16string& name) {
  return LookupOf(win::RegDeleteKeyW(parent, name.c_str())) != Lookup::kFailed;
}

// Ends the walk at |level|, opening that key again when it was asked for.
void KeepFrom(TrailWalk& walk, const Path& path, int level, bool keep_open) {
  walk.kept = level;
  if (keep_open && level >= 0 && !walk.kept_key) {
    walk.kept_key = std::make_unique<RegKeyW>(win::HKEY_CURRENT_USER, path.Prefix(level).c_str(),
                                              win::KEY_ALL_ACCESS, false);
    if (!walk.kept_key->handle()) walk.ok = false;
  }
}

}  // namespace

int TrailLevels(const char16_t* path) { return Path(path).Levels(); }

std::u16string TrailName(const char16_t* path, int level) { return Path(path).Name(level); }

TrailWalk WalkCopyTrail(const char16_t* text, TrailStart start, bool keep_open) {
  const Path path(text);
  TrailWalk walk;
  // The key below the one looked at: there as an empty, unmarked key that
  // is a copy's only if the note of its parent names it.
  bool child_unconfirmed = start == TrailStart::kUnmarkedEmpty;
  for (int level = path.Levels() - 2; level >= 0; --level) {
    auto key = std::make_unique<RegKeyW>(win::HKEY_CURRENT_USER, path.Prefix(level).c_str(),
                                         win::KEY_ALL_ACCESS, false);
    if (key->opened() == Lookup::kAbsent) {
      child_unconfirmed = false;
      continue;
    }
    if (key->opened() == Lookup::kFailed) {
      walk.ok = false;
      walk.kept = level;
      return walk;
    }
    const std::u16string child = path.Name(level + 1);
    const Lookup noted = FindNoteFor(*key, child);
    if (noted == Lookup::kFailed) {
      walk.ok = false;
      walk.kept = level;
      return walk;
    }
    if (child_unconfirmed) {
      // Not named: the user's own empty key, which stays.
      if (noted == Lookup::kAbsent) {
        KeepFrom(walk, path, level + 1, keep_open);
        return walk;
      }
      if (!DeleteKey(key->handle(), child)) {
        walk.ok = false;
        walk.kept = level + 1;
        return walk;
      }
      walk.removed_any = true;
      if (level + 1 == path.Levels() - 1) walk.settings_key_removed = true;
      child_unconfirmed = false;
    }
    // The key the note names is gone by now.
    if (noted == Lookup::kFound && !key->DeleteValue(kCreatingNoteName)) {
      walk.ok = false;
      walk.kept = level;
      return walk;
    }
    win::DWORD sub_keys = 0;
    win::DWORD values = 0;
    if (!CountKeyContent(key->handle(), &sub_keys, &values)) {
      walk.ok = false;
      walk.kept = level;
      return walk;
    }
    bool removable = false;
    if (sub_keys == 0 && values == 0) {
      // Removing a copy has always taken the keys it left empty along.
      removable = start == TrailStart::kDeleted;
      child_unconfirmed = !removable;
    } else if (sub_keys == 0 && values == 1) {
      const Lookup marked = HoldsOnlyAncestorMarker(*key);
      if (marked == Lookup::kFailed) {
        walk.ok = false;
        walk.kept = level;
        return walk;
      }
      removable = marked == Lookup::kFound;
    }
    if (child_unconfirmed) continue;
    if (!removable) {
      walk.kept = level;
      if (keep_open) walk.kept_key = std::move(key);
      return walk;
    }
    key.reset();  // the handle goes before the key does
    if (!DeleteKey(win::HKEY_CURRENT_USER, path.Prefix(level))) {
      walk.ok = false;
      walk.kept = level;
      return walk;
    }
    walk.removed_any = true;
  }
  // A first component that nothing can name stays.
  KeepFrom(walk, path, child_unconfirmed ? 0 : -1, keep_open);
  return walk;
}
