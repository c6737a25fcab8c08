// Sub-key paths: parsing, the walk through the tree with WOW64 redirection,
// and the standard user's limits below HKEY_LOCAL_MACHINE.
#pragma once

#include <string>
#include <vector>

#include "platform/emulation/key_tree.h"

namespace emu::detail {

// Splits a sub-key path into names. NULL and "" give none; a leading
// backslash gives ERROR_BAD_PATHNAME; empty names between backslashes are
// skipped (a trailing backslash is fine).
win::LONG SplitPath(const char16_t* sub_key, std::vector<std::u16string>* names);

// Where a path leads from a key: the deepest key that exists on it and the
// names still missing below that key.
struct Walk {
  Key* reached = nullptr;
  std::vector<std::u16string> missing;
  std::string path;  // the physical path addressed, for the log
};

// Follows |names| from |base| as a 32-bit process does: on WOW64,
// HKLM\SOFTWARE leads into its Wow6432Node unless |access| holds
// KEY_WOW64_64KEY, and KEY_WOW64_32KEY also redirects |base| itself.
Walk WalkPath(Key& base, const std::vector<std::u16string>& names, win::REGSAM access);

// Creates the missing keys of |walk| and returns the last one.
Key& CreateMissing(Walk& walk);

// Whether |key| lies where a standard user may only read.
bool IsReadOnlyFor(const Key& key);

}  // namespace emu::detail
