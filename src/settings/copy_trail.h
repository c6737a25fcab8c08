// The trail that a per-user copy of a settings key leaves in the user's hive
// while it is made and while it is removed, so that a run that stopped
// anywhere in between (killed, or the power gone) leaves nothing that the
// next run cannot recognise and finish.
//
// Keys missing above a copy are created one level at a time. Before each
// key is created, its parent gets the note "SKRW_Creating" (REG_SZ, the name
// of the key about to be created); the new key then gets its marker, and
// the note goes again. A key created above a copy is marked with
// "SKRW_RemoveWhenEmpty" = REG_DWORD 1; the copy itself with
// "SKRW_RemoveOnUninstall" = REG_DWORD 1. So at every moment each key that a
// copy made carries its own marker, or is empty and named by the note in
// its parent.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/win_api.h"
#include "registry/reg_key.h"
#include "registry/wide_str.h"

// Note in a key whose sub-key of the given name is being created.
inline constexpr char16_t kCreatingNoteName[] = u"SKRW_Creating";
// Marker of a key created above a per-user copy.
inline constexpr char16_t kRemoveWhenEmptyName[] = u"SKRW_RemoveWhenEmpty";

// What is known of the per-user settings key where the walk starts.
enum class TrailStart {
  kAbsent,         // it is not there
  kDeleted,        // a marked copy that was just deleted
  kUnmarkedEmpty,  // it is there, unmarked and empty: a copy's only if the note above names it
};

struct TrailWalk {
  // False when a key on the path could not be looked at or removed.
  bool ok = true;
  // Whether the settings key itself was removed (kUnmarkedEmpty only).
  bool settings_key_removed = false;
  // Whether any key was removed.
  bool removed_any = false;
  // Level (0 for the first component of the path) of the deepest key of the
  // path that stays, -1 when none is there.
  int kept = -1;
  // That key, open with KEY_ALL_ACCESS, when the walk was asked for it.
  std::unique_ptr<RegKeyW> kept_key;
};

// The settings key path of one per-user copy, below the user's hive |root|
// (HKEY_CURRENT_USER, or another person's hive in an all-users run).
class CopyTrail {
 public:
  // Copies |path|: everything the walk needs is allocated here, so that a
  // walk after a deleted copy cannot run out of memory halfway.
  CopyTrail(win::HKEY root, const char16_t* path);

  // The number of components of the path, and the name of component
  // |level| (0 for the first).
  int Levels() const { return levels_; }
  WideStr Name(int level) const;
  // The path down to component |level|.
  WideStr Path(int level);

  // Walks up the path from the settings key's parent, removing what a copy
  // made there and nothing else: notes that name a key no longer there,
  // keys that hold nothing but "SKRW_RemoveWhenEmpty", empty keys named by
  // the note in their parent, and after a deleted copy (kDeleted) also any
  // key left empty, as removing a copy always has. Stops at the first key
  // that stays. Allocates nothing unless |keep_open|. Once per object; Name
  // still answers afterwards.
  TrailWalk Walk(TrailStart start, bool keep_open = false);

 private:
  // |level|'s path, terminated in place; the name of each deeper level
  // stays readable, terminated at its own end.
  const char16_t* Prefix(int level);
  void KeepFrom(TrailWalk& walk, int level, bool keep_open);

  // Where a component's name starts in text_, and where it ends.
  struct Component {
    std::size_t start;
    std::size_t end;
  };

  win::HKEY root_;
  std::unique_ptr<char16_t[]> text_;
  std::unique_ptr<Component[]> components_;
  int levels_ = 0;
};

inline TrailWalk WalkCopyTrail(win::HKEY root, const char16_t* path, TrailStart start,
                               bool keep_open = false) {
  CopyTrail trail(root, path);
  return trail.Walk(start, keep_open);
}
