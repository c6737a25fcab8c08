#include "platform/emulation/key_paths.h"

#include "platform/emulation/machine_state.h"

namespace emu::detail {

namespace {

const std::u16string kSoftware = u"SOFTWARE";
const std::u16string kWow6432Node = u"Wow6432Node";

bool IsMachineSoftware(const Key& key) {
  return key.parent && key.parent == State().hklm.get() && SameName(key.name, kSoftware);
}

bool IsMachineWow6432Node(const Key& key) {
  return key.parent && IsMachineSoftware(*key.parent) && SameName(key.name, kWow6432Node);
}

// The key a 32-bit view sees in place of |key|.
Key* Redirected(Key* key) {
  if (!IsMachineSoftware(*key)) return key;
  Key* node = FindChild(*key, kWow6432Node);
  return node ? node : key;
}

std::string Join(std::string path, const std::vector<std::u16string>& names) {
  for (const std::u16string& name : names) path += "\\" + ToUtf8(name);
  return path;
}

}  // namespace

win::LONG SplitPath(const char16_t* sub_key, std::vector<std::u16string>* names) {
  names->clear();
  if (!sub_key || !*sub_key) return win::ERROR_SUCCESS;
  if (*sub_key == u'\\') return win::ERROR_BAD_PATHNAME;
  std::u16string name;
  for (const char16_t* p = sub_key;; ++p) {
    if (*p == u'\\' || *p == 0) {
      if (!name.empty()) names->push_back(name);
      name.clear();
      if (*p == 0) break;
    } else {
      name += *p;
    }
  }
  return win::ERROR_SUCCESS;
}

Walk WalkPath(Key& base, const std::vector<std::u16string>& names, win::REGSAM access) {
  const bool wow64 = State().machine == Machine::Wow64;
  const bool view64 = (access & win::KEY_WOW64_64KEY) != 0;
  Walk walk;
  Key* key = &base;
  // Both view flags at once act as the 64-bit view.
  if (wow64 && !view64 && (access & win::KEY_WOW64_32KEY)) key = Redirected(key);
  bool named_itself = false;
  std::size_t i = 0;
  for (; i < names.size(); ++i) {
    // In the 32-bit view Wow6432Node is also reachable by its own name, once.
    const bool names_itself = wow64 && !view64 && !named_itself && IsMachineWow6432Node(*key) &&
                              SameName(names[i], kWow6432Node);
    named_itself = named_itself || names_itself;
    Key* child = names_itself ? key : FindChild(*key, names[i]);
    if (!child) break;
    key = (wow64 && !view64) ? Redirected(child) : child;
  }
  walk.reached = key;
  walk.missing.assign(names.begin() + static_cast<std::ptrdiff_t>(i), names.end());
  walk.path = Join(PhysicalPath(*key), walk.missing);
  return walk;
}

Key& CreateMissing(Walk& walk) {
  Key* key = walk.reached;
  for (const std::u16string& name : walk.missing) key = &AddChild(*key, name);
  walk.reached = key;
  walk.missing.clear();
  return *key;
}

bool IsReadOnlyFor(const Key& key) {
  if (State().user != User::Standard) return false;
  const Key* top = &key;
  while (top->parent) top = top->parent;
  return !key.deleted && top == State().hklm.get();
}

}  // namespace emu::detail
