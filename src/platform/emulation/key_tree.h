// The emulated hives: keys and values with case-preserving names, both kept
// sorted the way Wine's registry keeps them (by lower-cased name).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win_api.h"

namespace emu::detail {

struct Value {
  std::u16string name;
  win::DWORD type = win::REG_NONE;
  std::vector<win::BYTE> data;
};

struct Key : std::enable_shared_from_this<Key> {
  using Children = std::map<std::u16string, std::shared_ptr<Key>>;

  std::u16string name;  // as created
  Key* parent = nullptr;
  // Sub-keys by folded name, which is also the enumeration order. Only
  // AddChild and Detach change it, since they keep |cursor| right.
  Children children;
  // The sub-key that enumeration by index reached last, and its index: the
  // next index is one step from there, so that enumerating every sub-key in
  // order costs the same per key however many there are.
  struct Cursor {
    bool valid = false;
    std::size_t index = 0;
    Children::const_iterator at;  // never end() while valid
  };
  mutable Cursor cursor;
  std::vector<Value> values;  // sorted by folded name
  bool deleted = false;
  std::string deleted_path;  // physical path it had, kept for the call log
  // The physical path, made on first use: the call log names a key in every
  // call, and names and parents of live keys never change.
  mutable std::string path;
  // Where a hive is reached under two roots, the one its path names: "HKCU"
  // for the process user's hive, which is also a sub-key of HKEY_USERS.
  std::string alias;
};

// Lower-cases UTF-16 code units: names compare and sort folded, as in Wine
// (Windows folds to upper case, which orders "_" after the letters).
char16_t FoldUnit(char16_t unit);
std::u16string Fold(const std::u16string& name);
bool SameName(const std::u16string& a, const std::u16string& b);

Key* FindChild(const Key& key, const std::u16string& name);
Key& AddChild(Key& key, const std::u16string& name);
// The sub-key at |index| in enumeration order; null past the last.
const Key* ChildAt(const Key& key, std::size_t index);
// Unlinks |child| from its parent and marks it and everything below deleted.
void Detach(Key& child);
// Gives |child| a new name under the same parent, which must hold no other
// sub-key of that name.
void Rename(Key& child, const std::u16string& name);

Value* FindValue(Key& key, const std::u16string& name);
Value& SetValue(Key& key, const std::u16string& name, win::DWORD type, std::vector<win::BYTE> data);
bool RemoveValue(Key& key, const std::u16string& name);

// "HKLM\\SOFTWARE\\..." for a live key, the last such path for a deleted one;
// a path starts at the key's alias where it has one.
const std::string& PhysicalPath(const Key& key);

// Narrow text for the call log and the dump: UTF-8.
std::string ToUtf8(const std::u16string& text);
std::u16string FromUtf8(const std::string& text);

}  // namespace emu::detail
