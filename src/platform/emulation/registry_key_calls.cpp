// advapi32 calls on keys: open, create, close, delete, query, enumerate.
#include <algorithm>
#include <cstring>

#include "platform/emulation/call_log.h"
#include "platform/emulation/handle_table.h"
#include "platform/emulation/key_paths.h"
#include "platform/emulation/user_hives.h"

namespace win {

using emu::detail::CallRecord;
using emu::detail::HandleTarget;
using emu::detail::Key;
using emu::detail::Walk;

namespace {

constexpr DWORD kCreatedNewKey = 1;
constexpr DWORD kOpenedExistingKey = 2;

// A path-taking call's starting point and where its path leads.
struct PathCall {
  bool known = false;  // the handle is a root or open
  HandleTarget base;
  LONG path_error = ERROR_SUCCESS;
  std::vector<std::u16string> names;
  Walk walk;

  PathCall(HKEY key, const char16_t* sub_key, REGSAM access) {
    known = emu::detail::LookUpHandle(key, &base);
    path_error = emu::detail::SplitPath(sub_key, &names);
    if (known && path_error == ERROR_SUCCESS && !base.key->deleted) {
      walk = emu::detail::WalkPath(*base.key, names, access);
    }
  }

  std::string Path() const {
    if (!known) return std::string();
    return walk.reached ? walk.path : emu::detail::PhysicalPath(*base.key);
  }

  // The errors every path-taking call shares, in the order Windows checks them.
  LONG Check() const {
    if (!known) return ERROR_INVALID_HANDLE;
    if (path_error != ERROR_SUCCESS) return path_error;
    if (base.key->deleted) return ERROR_KEY_DELETED;
    return ERROR_SUCCESS;
  }
};

std::string HandlePath(const HandleTarget& target, bool known) {
  return known ? emu::detail::PhysicalPath(*target.key) : std::string();
}

LONG OpenKey(const PathCall& call, HKEY key, REGSAM access, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (LONG error = call.Check()) return error;
  if (call.names.empty() && call.base.root) {
    *result = key;
    return ERROR_SUCCESS;
  }
  if (!call.walk.missing.empty()) return ERROR_FILE_NOT_FOUND;
  const REGSAM rights = emu::detail::RequestedRights(access);
  if (emu::detail::IsReadOnlyFor(*call.walk.reached) && (rights & ~KEY_READ)) {
    return ERROR_ACCESS_DENIED;
  }
  *result = emu::detail::AddHandle(call.walk.reached->shared_from_this(), rights);
  return ERROR_SUCCESS;
}

LONG CreateKey(PathCall& call, DWORD reserved, REGSAM access, HKEY* result, DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (reserved) return ERROR_INVALID_PARAMETER;
  if (LONG error = call.Check()) return error;
  // HKEY_USERS holds only the loaded hives: no key can be made there.
  if (emu::detail::IsUsersRoot(*call.walk.reached) && !call.walk.missing.empty()) {
    return ERROR_ACCESS_DENIED;
  }
  const REGSAM rights = emu::detail::RequestedRights(access);
  if (emu::detail::IsReadOnlyFor(*call.walk.reached) &&
      (!call.walk.missing.empty() || (rights & ~KEY_READ))) {
    return ERROR_ACCESS_DENIED;
  }
  const bool create = !call.walk.missing.empty();
  Key& key = emu::detail::CreateMissing(call.walk);
  *result = emu::detail::AddHandle(key.shared_from_this(), rights);
  if (disposition) *disposition = create ? kCreatedNewKey : kOpenedExistingKey;
  return ERROR_SUCCESS;
}

LONG DeleteKey(const PathCall& call, const char16_t* sub_key) {
  if (!sub_key) return ERROR_INVALID_PARAMETER;
  if (LONG error = call.Check()) return error;
  if (!call.walk.missing.empty()) return ERROR_FILE_NOT_FOUND;
  Key& key = *call.walk.reached;
  if (emu::detail::IsHiveRoot(key) || emu::detail::IsReadOnlyFor(key) || !key.children.empty()) {
    return ERROR_ACCESS_DENIED;
  }
  emu::detail::Detach(key);
  return ERROR_SUCCESS;
}

void ClearTime(FILETIME* time) {
  if (time) *time = FILETIME{0, 0};
}

LONG QueryInfo(bool known, const HandleTarget& target, char16_t* key_class, DWORD* class_length,
               DWORD* reserved, DWORD* sub_keys, DWORD* max_sub_key_length, DWORD* max_class_length,
               DWORD* values, DWORD* max_value_name_length, DWORD* max_value_length,
               DWORD* security_descriptor_size, FILETIME* last_write_time) {
  if ((key_class && !class_length) || reserved) return ERROR_INVALID_PARAMETER;
  // Wine asks no particular right of the handle here (Windows: KEY_QUERY_VALUE).
  if (LONG error = emu::detail::CheckHandle(known, target, 0)) return error;
  const Key& key = *target.key;
  DWORD longest_key = 0;
  for (const auto& entry : key.children) {
    longest_key = std::max<DWORD>(longest_key, static_cast<DWORD>(entry.second->name.size()));
  }
  DWORD longest_name = 0;
  DWORD largest_data = 0;
  for (const auto& value : key.values) {
    longest_name = std::max<DWORD>(longest_name, static_cast<DWORD>(value.name.size()));
    largest_data = std::max<DWORD>(largest_data, static_cast<DWORD>(value.data.size()));
  }
  if (class_length) {
    if (key_class && *class_length > 0) key_class[0] = 0;
    *class_length = 0;
  }
  if (sub_keys) *sub_keys = static_cast<DWORD>(key.children.size());
  if (max_sub_key_length) *max_sub_key_length = longest_key;
  if (max_class_length) *max_class_length = 0;
  if (values) *values = static_cast<DWORD>(key.values.size());
  if (max_value_name_length) *max_value_name_length = longest_name;
  if (max_value_length) *max_value_length = largest_data;
  if (security_descriptor_size) *security_descriptor_size = 0;
  ClearTime(last_write_time);
  return ERROR_SUCCESS;
}

LONG EnumKey(bool known, const HandleTarget& target, DWORD index, char16_t* name,
             DWORD* name_length, DWORD* reserved, char16_t* key_class, DWORD* class_length,
             FILETIME* last_write_time) {
  if (reserved || !name || !name_length) return ERROR_INVALID_PARAMETER;
  if (LONG error = emu::detail::CheckHandle(known, target, KEY_ENUMERATE_SUB_KEYS)) return error;
  const Key& key = *target.key;
  const Key* child = emu::detail::ChildAt(key, index);
  if (!child) return ERROR_NO_MORE_ITEMS;
  const std::u16string& found = child->name;
  ClearTime(last_write_time);
  if (found.size() >= *name_length || (key_class && class_length && *class_length == 0)) {
    return ERROR_MORE_DATA;
  }
  std::memcpy(name, found.data(), found.size() * sizeof(char16_t));
  name[found.size()] = 0;
  *name_length = static_cast<DWORD>(found.size());
  if (class_length) {
    if (key_class) key_class[0] = 0;
    *class_length = 0;
  }
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyExW(HKEY key, const char16_t* sub_key, DWORD, REGSAM access, HKEY* result) {
  CallRecord record("RegOpenKeyExW");
  const PathCall call(key, sub_key, access);
  if (LONG fault = record.Begin(call.Path(), access)) {
    if (result) *result = nullptr;
    return record.Finish(fault);
  }
  return record.Finish(OpenKey(call, key, access, result));
}

LONG RegCreateKeyExW(HKEY key, const char16_t* sub_key, DWORD reserved, char16_t*, DWORD,
                     REGSAM access, void*, HKEY* result, DWORD* disposition) {
  CallRecord record("RegCreateKeyExW");
  PathCall call(key, sub_key, access);
  if (LONG fault = record.Begin(call.Path(), access)) {
    if (result) *result = nullptr;
    return record.Finish(fault);
  }
  return record.Finish(CreateKey(call, reserved, access, result, disposition));
}

LONG RegCloseKey(HKEY key) {
  CallRecord record("RegCloseKey");
  HandleTarget target;
  const bool known = emu::detail::LookUpHandle(key, &target);
  // An injected fault is reported, but the handle goes all the same: callers
  // cannot do anything about a failed close, and tests count open handles.
  const LONG fault = record.Begin(HandlePath(target, known), 0);
  const bool closed = emu::detail::IsPredefinedRoot(key) || emu::detail::RemoveHandle(key);
  if (fault) return record.Finish(fault);
  return record.Finish(closed ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
}

LONG RegDeleteKeyW(HKEY key, const char16_t* sub_key) {
  CallRecord record("RegDeleteKeyW");
  const PathCall call(key, sub_key, 0);
  if (LONG fault = record.Begin(call.Path(), 0)) return record.Finish(fault);
  return record.Finish(DeleteKey(call, sub_key));
}

LONG RegQueryInfoKeyW(HKEY key, char16_t* key_class, DWORD* class_length, DWORD* reserved,
                      DWORD* sub_keys, DWORD* max_sub_key_length, DWORD* max_class_length,
                      DWORD* values, DWORD* max_value_name_length, DWORD* max_value_length,
                      DWORD* security_descriptor_size, FILETIME* last_write_time) {
  CallRecord record("RegQueryInfoKeyW");
  HandleTarget target;
  const bool known = emu::detail::LookUpHandle(key, &target);
  if (LONG fault = record.Begin(HandlePath(target, known), 0)) return record.Finish(fault);
  return record.Finish(QueryInfo(known, target, key_class, class_length, reserved, sub_keys,
                                 max_sub_key_length, max_class_length, values,
                                 max_value_name_length, max_value_length, security_descriptor_size,
                                 last_write_time));
}

LONG RegEnumKeyW(HKEY key, DWORD index, char16_t* name, DWORD name_capacity) {
  CallRecord record("RegEnumKeyW");
  HandleTarget target;
  const bool known = emu::detail::LookUpHandle(key, &target);
  if (LONG fault = record.Begin(HandlePath(target, known), 0)) return record.Finish(fault);
  DWORD length = name_capacity;
  return record.Finish(
      EnumKey(known, target, index, name, &length, nullptr, nullptr, nullptr, nullptr));
}

LONG RegEnumKeyExW(HKEY key, DWORD index, char16_t* name, DWORD* name_length, DWORD* reserved,
                   char16_t* key_class, DWORD* class_length, FILETIME* last_write_time) {
  CallRecord record("RegEnumKeyExW");
  HandleTarget target;
  const bool known = emu::detail::LookUpHandle(key, &target);
  if (LONG fault = record.Begin(HandlePath(target, known), 0)) return record.Finish(fault);
  return record.Finish(EnumKey(known, target, index, name, name_length, reserved, key_class,
                               class_length, last_write_time));
}

}  // namespace win
