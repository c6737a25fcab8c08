#include "platform/emulation/hive_files.h"

#include "platform/emulation/allocation_faults.h"
#include "platform/emulation/call_log.h"
#include "platform/emulation/handle_table.h"
#include "platform/emulation/privileges.h"
#include "platform/emulation/user_hives.h"

namespace emu {
namespace detail {

namespace {

// The hive file loaded as HKEY_USERS\<sub_key>; null for none.
LoadedHive* FindLoaded(const std::u16string& sub_key) {
  auto& loaded = State().loaded_hives;
  const auto found = loaded.find(Fold(sub_key));
  return found == loaded.end() ? nullptr : &found->second;
}

bool IsLoadedFile(const std::u16string& folded_file) {
  for (const auto& entry : State().loaded_hives) {
    if (entry.second.file == folded_file) return true;
  }
  return false;
}

// Whether an open handle points into the tree below |path| (folded).
bool HasHandleBelow(const std::string& path) {
  const std::u16string folded = Fold(FromUtf8(path));
  for (const auto& entry : State().handles) {
    const std::u16string at = Fold(FromUtf8(PhysicalPath(*entry.second.key)));
    if (at.compare(0, folded.size(), folded) == 0 &&
        (at.size() == folded.size() || at[folded.size()] == u'\\')) {
      return true;
    }
  }
  return false;
}

// Every path below |key| is made anew on its next use.
void ForgetPaths(Key& key) {
  key.path.clear();
  for (auto& entry : key.children) ForgetPaths(*entry.second);
}

bool IsKeyName(const char16_t* name) {
  if (!name || *name == 0) return false;
  for (; *name != 0; ++name) {
    if (*name == u'\\') return false;
  }
  return true;
}

win::LONG LoadKey(win::HKEY key, const char16_t* sub_key, const char16_t* file) {
  if (key != win::HKEY_USERS || !IsKeyName(sub_key) || !file || *file == 0) {
    return win::ERROR_INVALID_PARAMETER;
  }
  if (!HivePrivilegesEnabled()) return win::ERROR_PRIVILEGE_NOT_HELD;
  MachineState& state = State();
  const std::u16string folded_file = Fold(file);
  const auto refusal = state.refused_hive_files.find(folded_file);
  if (refusal != state.refused_hive_files.end()) return refusal->second;
  // A hive in use, under this name or from this file.
  if (FindChild(*state.hku, sub_key) || IsLoadedFile(folded_file)) {
    return win::ERROR_SHARING_VIOLATION;
  }
  // As on Windows, a missing file is made: an empty hive.
  Key& root = HiveFile(file);
  state.loaded_hives[Fold(sub_key)] = LoadedHive{folded_file, root.name};
  root.name = sub_key;
  root.parent = state.hku.get();
  state.hku->children.emplace(Fold(sub_key), root.shared_from_this());
  state.hku->cursor.valid = false;
  ForgetPaths(root);
  return win::ERROR_SUCCESS;
}

win::LONG UnLoadKey(win::HKEY key, const char16_t* sub_key) {
  if (key != win::HKEY_USERS || !IsKeyName(sub_key)) return win::ERROR_INVALID_PARAMETER;
  if (!HivePrivilegesEnabled()) return win::ERROR_PRIVILEGE_NOT_HELD;
  MachineState& state = State();
  Key* hive = FindChild(*state.hku, sub_key);
  if (!hive) return win::ERROR_FILE_NOT_FOUND;
  LoadedHive* loaded = FindLoaded(sub_key);
  // The hive of a logon is not a loaded file's; it is in use all the same.
  if (!loaded || HasHandleBelow(PhysicalPath(*hive))) return win::ERROR_ACCESS_DENIED;
  std::shared_ptr<Key> root = hive->shared_from_this();
  state.hku->children.erase(Fold(sub_key));
  state.hku->cursor.valid = false;
  root->parent = nullptr;
  root->name = loaded->root_name;
  ForgetPaths(*root);
  state.loaded_hives.erase(Fold(sub_key));  // its tree stays the file's
  return win::ERROR_SUCCESS;
}

std::string UsersPath(const char16_t* sub_key) {
  return sub_key ? "HKU\\" + ToUtf8(sub_key) : std::string("HKU");
}

}  // namespace

Key* FindHiveFile(const std::u16string& file) {
  const auto& files = State().hive_files;
  const auto found = files.find(Fold(file));
  return found == files.end() ? nullptr : found->second.get();
}

Key& HiveFile(const std::u16string& file) {
  std::shared_ptr<Key>& root = State().hive_files[Fold(file)];
  if (!root) {
    root = std::make_shared<Key>();
    root->name = u"<" + file + u">";
  }
  return *root;
}

std::string HiveFileName(const Key& root) {
  if (root.parent == nullptr) return ToUtf8(root.name);  // not loaded
  const LoadedHive* loaded = FindLoaded(root.name);
  return loaded ? ToUtf8(loaded->root_name) : ToUtf8(root.name);
}

}  // namespace detail

std::vector<std::string> LoadedHives() {
  std::vector<std::string> sids;
  for (const auto& entry : detail::State().loaded_hives) {
    const detail::Key* hive = detail::FindChild(*detail::State().hku, entry.first);
    if (hive) sids.push_back(detail::ToUtf8(hive->name));
  }
  return sids;
}

void RefuseHiveFile(const std::u16string& file, win::LONG error) {
  detail::AllocationExemption exemption;
  detail::State().refused_hive_files[detail::Fold(file)] = error;
}

}  // namespace emu

namespace win {

LONG RegLoadKeyW(HKEY key, const char16_t* sub_key, const char16_t* file) {
  emu::detail::CallRecord record("RegLoadKeyW");
  if (const LONG fault = record.Begin(emu::detail::UsersPath(sub_key), 0)) {
    return record.Finish(fault);
  }
  return record.Finish(emu::detail::LoadKey(key, sub_key, file));
}

LONG RegUnLoadKeyW(HKEY key, const char16_t* sub_key) {
  emu::detail::CallRecord record("RegUnLoadKeyW");
  if (const LONG fault = record.Begin(emu::detail::UsersPath(sub_key), 0)) {
    return record.Finish(fault);
  }
  return record.Finish(emu::detail::UnLoadKey(key, sub_key));
}

}  // namespace win
