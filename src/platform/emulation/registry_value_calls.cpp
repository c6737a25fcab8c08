// advapi32 calls on values: query, set, delete, enumerate.
#include <cstring>

#include "platform/emulation/call_log.h"
#include "platform/emulation/handle_table.h"

namespace win {

using emu::detail::CallRecord;
using emu::detail::HandleTarget;
using emu::detail::Key;
using emu::detail::Value;

namespace {

constexpr DWORD REG_MULTI_SZ = 7;
constexpr std::size_t kMaxValueName = 16383;

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::u16string NameOf(const char16_t* name) { return name ? std::u16string(name) : u""; }

// Copies value data into a caller's buffer known to be large enough. Text
// stored without its terminator gets one when the buffer has room for it
// (uncounted), as Windows does.
void CopyData(const Value& value, BYTE* data, DWORD capacity) {
  const std::size_t size = value.data.size();
  if (size) std::memcpy(data, value.data.data(), size);
  if (IsStringType(value.type) && size >= 2 && size + 2 <= capacity &&
      (value.data[size - 2] != 0 || value.data[size - 1] != 0)) {
    data[size] = 0;
    data[size + 1] = 0;
  }
}

LONG QueryValue(bool known, const HandleTarget& target, const char16_t* name, DWORD* reserved,
                DWORD* type, BYTE* data, DWORD* size) {
  if ((data && !size) || reserved) return ERROR_INVALID_PARAMETER;
  if (LONG error = emu::detail::CheckHandle(known, target, KEY_QUERY_VALUE)) return error;
  if (!data && size) *size = 0;
  const Value* value = emu::detail::FindValue(*target.key, NameOf(name));
  if (!value) return ERROR_FILE_NOT_FOUND;
  const DWORD needed = static_cast<DWORD>(value->data.size());
  LONG result = ERROR_SUCCESS;
  if (data) {
    if (needed > *size) {
      result = ERROR_MORE_DATA;
    } else {
      CopyData(*value, data, *size);
    }
  }
  if (type) *type = value->type;
  if (size) *size = needed;
  return result;
}

LONG SetValue(bool known, const HandleTarget& target, const char16_t* name, DWORD type,
              const BYTE* data, DWORD size) {
  if (!data && size) return ERROR_NOACCESS;
  // Text whose size leaves out a terminator that follows it in memory gets
  // the terminator counted: Windows reads past the size to check.
  if (data && IsStringType(type) && size >= 2) {
    const char16_t* text = reinterpret_cast<const char16_t*>(data);
    const std::size_t units = size / sizeof(char16_t);
    if (text[units - 1] != 0 && text[units] == 0) size += sizeof(char16_t);
  }
  if (LONG error = emu::detail::CheckHandle(known, target, KEY_SET_VALUE)) return error;
  if (NameOf(name).size() > kMaxValueName) return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> bytes(data, data + size);
  emu::detail::SetValue(*target.key, NameOf(name), type, std::move(bytes));
  return ERROR_SUCCESS;
}

LONG DeleteValue(bool known, const HandleTarget& target, const char16_t* name) {
  if (LONG error = emu::detail::CheckHandle(known, target, KEY_SET_VALUE)) return error;
  return emu::detail::RemoveValue(*target.key, NameOf(name)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG EnumValue(bool known, const HandleTarget& target, DWORD index, char16_t* name,
               DWORD* name_length, DWORD* reserved, DWORD* type, BYTE* data, DWORD* data_size) {
  if (reserved || (data && !data_size) || !name || !name_length) {
    return ERROR_INVALID_PARAMETER;
  }
  if (LONG error = emu::detail::CheckHandle(known, target, KEY_QUERY_VALUE)) return error;
  const Key& key = *target.key;
  if (index >= key.values.size()) return ERROR_NO_MORE_ITEMS;
  const Value& value = key.values[index];
  LONG result = ERROR_SUCCESS;
  if (value.name.size() >= *name_length) {
    result = ERROR_MORE_DATA;
  } else {
    std::memcpy(name, value.name.data(), value.name.size() * sizeof(char16_t));
    name[value.name.size()] = 0;
    *name_length = static_cast<DWORD>(value.name.size());
    if (data) {
      if (value.data.size() > *data_size) {
        result = ERROR_MORE_DATA;
      } else {
        CopyData(value, data, *data_size);
      }
    }
  }
  if (type) *type = value.type;
  if (data_size) *data_size = static_cast<DWORD>(value.data.size());
  return result;
}

struct HandleCall {
  HandleTarget target;
  bool known;
  explicit HandleCall(HKEY key) : known(emu::detail::LookUpHandle(key, &target)) {}
  std::string Path() const {
    return known ? emu::detail::PhysicalPath(*target.key) : std::string();
  }
};

}  // namespace

LONG RegQueryValueExW(HKEY key, const char16_t* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size) {
  CallRecord record("RegQueryValueExW");
  const HandleCall call(key);
  if (LONG fault = record.Begin(call.Path(), 0)) return record.Finish(fault);
  return record.Finish(QueryValue(call.known, call.target, name, reserved, type, data, size));
}

LONG RegSetValueExW(HKEY key, const char16_t* name, DWORD, DWORD type, const BYTE* data,
                    DWORD size) {
  CallRecord record("RegSetValueExW");
  const HandleCall call(key);
  if (LONG fault = record.Begin(call.Path(), 0)) return record.Finish(fault);
  return record.Finish(SetValue(call.known, call.target, name, type, data, size));
}

LONG RegDeleteValueW(HKEY key, const char16_t* name) {
  CallRecord record("RegDeleteValueW");
  const HandleCall call(key);
  if (LONG fault = record.Begin(call.Path(), 0)) return record.Finish(fault);
  return record.Finish(DeleteValue(call.known, call.target, name));
}

LONG RegEnumValueW(HKEY key, DWORD index, char16_t* name, DWORD* name_length, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* data_size) {
  CallRecord record("RegEnumValueW");
  const HandleCall call(key);
  if (LONG fault = record.Begin(call.Path(), 0)) return record.Finish(fault);
  return record.Finish(EnumValue(call.known, call.target, index, name, name_length, reserved, type,
                                 data, data_size));
}

}  // namespace win
