#include "registry/reg_calls.h"

namespace {

FailureNote note;

// Notes |status| of |call| where it is a failure and nothing failed before
// it since the note was last forgotten: what fails after a failure, closing
// or cleaning up, follows from it and must not take its place in the log.
// Hands |status| back.
win::LONG Noted(const char* call, const char16_t* name, win::LONG status) {
  // Absence is the answer, not a failure; the other two are asked for.
  if (status != win::ERROR_SUCCESS && status != win::ERROR_FILE_NOT_FOUND &&
      status != win::ERROR_MORE_DATA && status != win::ERROR_NO_MORE_ITEMS &&
      note.call == nullptr) {
    NoteFailure(call, name, status);
  }
  return status;
}

}  // namespace

void NoteFailure(const char* call, const char16_t* name, win::LONG error) {
  note.call = call;
  note.error = error;
  std::size_t i = 0;
  for (; name != nullptr && name[i] != 0 && i + 1 < sizeof note.name / sizeof note.name[0]; ++i) {
    note.name[i] = name[i];
  }
  note.name[i] = 0;
}

const FailureNote& LatestFailure() { return note; }

void ForgetFailure() { note = FailureNote(); }

namespace reg {

LONG RegOpenKeyExW(HKEY key, const char16_t* sub_key, DWORD options, REGSAM access, HKEY* result) {
  return Noted("RegOpenKeyExW", sub_key, win::RegOpenKeyExW(key, sub_key, options, access, result));
}

LONG RegCreateKeyExW(HKEY key, const char16_t* sub_key, DWORD reserved, char16_t* key_class,
                     DWORD options, REGSAM access, void* security, HKEY* result,
                     DWORD* disposition) {
  return Noted("RegCreateKeyExW", sub_key,
               win::RegCreateKeyExW(key, sub_key, reserved, key_class, options, access, security,
                                    result, disposition));
}

LONG RegCloseKey(HKEY key) { return Noted("RegCloseKey", nullptr, win::RegCloseKey(key)); }

LONG RegQueryValueExW(HKEY key, const char16_t* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size) {
  return Noted("RegQueryValueExW", name,
               win::RegQueryValueExW(key, name, reserved, type, data, size));
}

LONG RegSetValueExW(HKEY key, const char16_t* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size) {
  return Noted("RegSetValueExW", name, win::RegSetValueExW(key, name, reserved, type, data, size));
}

LONG RegDeleteValueW(HKEY key, const char16_t* name) {
  return Noted("RegDeleteValueW", name, win::RegDeleteValueW(key, name));
}

LONG RegDeleteKeyW(HKEY key, const char16_t* sub_key) {
  return Noted("RegDeleteKeyW", sub_key, win::RegDeleteKeyW(key, sub_key));
}

LONG RegQueryInfoKeyW(HKEY key, char16_t* key_class, DWORD* class_length, DWORD* reserved,
                      DWORD* sub_keys, DWORD* max_sub_key_length, DWORD* max_class_length,
                      DWORD* values, DWORD* max_value_name_length, DWORD* max_value_length,
                      DWORD* security_descriptor_size, FILETIME* last_write_time) {
  return Noted(
      "RegQueryInfoKeyW", nullptr,
      win::RegQueryInfoKeyW(key, key_class, class_length, reserved, sub_keys, max_sub_key_length,
                            max_class_length, values, max_value_name_length, max_value_length,
                            security_descriptor_size, last_write_time));
}

LONG RegEnumKeyW(HKEY key, DWORD index, char16_t* name, DWORD name_capacity) {
  return Noted("RegEnumKeyW", nullptr, win::RegEnumKeyW(key, index, name, name_capacity));
}

LONG RegEnumKeyExW(HKEY key, DWORD index, char16_t* name, DWORD* name_length, DWORD* reserved,
                   char16_t* key_class, DWORD* class_length, FILETIME* last_write_time) {
  return Noted("RegEnumKeyExW", nullptr,
               win::RegEnumKeyExW(key, index, name, name_length, reserved, key_class, class_length,
                                  last_write_time));
}

LONG RegEnumValueW(HKEY key, DWORD index, char16_t* name, DWORD* name_length, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* data_size) {
  return Noted("RegEnumValueW", nullptr,
               win::RegEnumValueW(key, index, name, name_length, reserved, type, data, data_size));
}

}  // namespace reg
