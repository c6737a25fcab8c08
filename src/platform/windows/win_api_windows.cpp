// Forwards every call of the seam to the real Windows API.
//
// Our header comes first so that the macros of <windows.h> (DELETE,
// ERROR_SUCCESS, HKEY_CURRENT_USER...) cannot reach its declarations.
// clang-format off
#include "platform/win_api.h"
#include <windows.h>
#include <sddl.h>
// clang-format on
#include <cstddef>

// Declared here rather than through <msi.h>: the import library binds them
// to msi.dll by ordinal.
extern "C" {
__declspec(dllimport) UINT
    __stdcall MsiGetPropertyW(ULONG install, LPCWSTR name, LPWSTR value, DWORD* length);
__declspec(dllimport) ULONG __stdcall MsiCreateRecord(UINT fields);
__declspec(dllimport) UINT __stdcall MsiRecordSetStringW(ULONG record, UINT field, LPCWSTR value);
__declspec(dllimport) int __stdcall MsiProcessMessage(ULONG install, int message_type,
                                                      ULONG record);
__declspec(dllimport) UINT __stdcall MsiCloseHandle(ULONG handle);
}

namespace {

static_assert(sizeof(win::DWORD) == sizeof(::DWORD), "DWORD layouts differ");
static_assert(sizeof(win::FILETIME) == sizeof(::FILETIME), "FILETIME layouts differ");
static_assert(sizeof(char16_t) == sizeof(wchar_t), "UTF-16 units differ");
static_assert(sizeof(win::TOKEN_USER) == sizeof(::TOKEN_USER), "TOKEN_USER layouts differ");
static_assert(win::TokenUser == ::TokenUser, "token information classes differ");
static_assert(sizeof(win::LUID_AND_ATTRIBUTES) == sizeof(::LUID_AND_ATTRIBUTES),
              "LUID_AND_ATTRIBUTES layouts differ");
static_assert(offsetof(win::TOKEN_PRIVILEGES, Privileges) ==
                  offsetof(::TOKEN_PRIVILEGES, Privileges),
              "TOKEN_PRIVILEGES layouts differ");

::HKEY Native(win::HKEY key) { return reinterpret_cast<::HKEY>(key); }
::DWORD* Native(win::DWORD* value) { return reinterpret_cast<::DWORD*>(value); }
::FILETIME* Native(win::FILETIME* time) { return reinterpret_cast<::FILETIME*>(time); }
const wchar_t* Native(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* Native(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
::HMODULE Native(win::HMODULE module) { return reinterpret_cast<::HMODULE>(module); }

}  // namespace

namespace win {

LONG RegOpenKeyExW(HKEY key, const char16_t* sub_key, DWORD options, REGSAM access, HKEY* result) {
  return ::RegOpenKeyExW(Native(key), Native(sub_key), options, access,
                         reinterpret_cast<::HKEY*>(result));
}

LONG RegCreateKeyExW(HKEY key, const char16_t* sub_key, DWORD reserved, char16_t* key_class,
                     DWORD options, REGSAM access, void* security, HKEY* result,
                     DWORD* disposition) {
  return ::RegCreateKeyExW(Native(key), Native(sub_key), reserved, Native(key_class), options,
                           access, static_cast<LPSECURITY_ATTRIBUTES>(security),
                           reinterpret_cast<::HKEY*>(result), Native(disposition));
}

LONG RegCloseKey(HKEY key) { return ::RegCloseKey(Native(key)); }

LONG RegQueryValueExW(HKEY key, const char16_t* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size) {
  return ::RegQueryValueExW(Native(key), Native(name), Native(reserved), Native(type), data,
                            Native(size));
}

LONG RegSetValueExW(HKEY key, const char16_t* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size) {
  return ::RegSetValueExW(Native(key), Native(name), reserved, type, data, size);
}

LONG RegDeleteValueW(HKEY key, const char16_t* name) {
  return ::RegDeleteValueW(Native(key), Native(name));
}

LONG RegDeleteKeyW(HKEY key, const char16_t* sub_key) {
  return ::RegDeleteKeyW(Native(key), Native(sub_key));
}

LONG RegQueryInfoKeyW(HKEY key, char16_t* key_class, DWORD* class_length, DWORD* reserved,
                      DWORD* sub_keys, DWORD* max_sub_key_length, DWORD* max_class_length,
                      DWORD* values, DWORD* max_value_name_length, DWORD* max_value_length,
                      DWORD* security_descriptor_size, FILETIME* last_write_time) {
  return ::RegQueryInfoKeyW(Native(key), Native(key_class), Native(class_length), Native(reserved),
                            Native(sub_keys), Native(max_sub_key_length), Native(max_class_length),
                            Native(values), Native(max_value_name_length), Native(max_value_length),
                            Native(security_descriptor_size), Native(last_write_time));
}

LONG RegEnumKeyW(HKEY key, DWORD index, char16_t* name, DWORD name_capacity) {
  return ::RegEnumKeyW(Native(key), index, Native(name), name_capacity);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, char16_t* name, DWORD* name_length, DWORD* reserved,
                   char16_t* key_class, DWORD* class_length, FILETIME* last_write_time) {
  return ::RegEnumKeyExW(Native(key), index, Native(name), Native(name_length), Native(reserved),
                         Native(key_class), Native(class_length), Native(last_write_time));
}

LONG RegEnumValueW(HKEY key, DWORD index, char16_t* name, DWORD* name_length, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* data_size) {
  return ::RegEnumValueW(Native(key), index, Native(name), Native(name_length), Native(reserved),
                         Native(type), data, Native(data_size));
}

LONG RegLoadKeyW(HKEY key, const char16_t* sub_key, const char16_t* file) {
  return ::RegLoadKeyW(Native(key), Native(sub_key), Native(file));
}

LONG RegUnLoadKeyW(HKEY key, const char16_t* sub_key) {
  return ::RegUnLoadKeyW(Native(key), Native(sub_key));
}

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
  return ::OpenProcessToken(process, access, token);
}

BOOL GetTokenInformation(HANDLE token, int information_class, void* information, DWORD length,
                         DWORD* return_length) {
  return ::GetTokenInformation(token, static_cast<::TOKEN_INFORMATION_CLASS>(information_class),
                               information, length, Native(return_length));
}

BOOL LookupPrivilegeValueW(const char16_t* system, const char16_t* name, LUID* luid) {
  return ::LookupPrivilegeValueW(Native(system), Native(name), reinterpret_cast<::LUID*>(luid));
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disable_all, TOKEN_PRIVILEGES* new_state,
                           DWORD length, TOKEN_PRIVILEGES* previous, DWORD* return_length) {
  return ::AdjustTokenPrivileges(
      token, disable_all, reinterpret_cast<::TOKEN_PRIVILEGES*>(new_state), length,
      reinterpret_cast<::TOKEN_PRIVILEGES*>(previous), Native(return_length));
}

BOOL ConvertSidToStringSidW(PSID sid, char16_t** text) {
  return ::ConvertSidToStringSidW(sid, reinterpret_cast<LPWSTR*>(text));
}

UINT MsiGetPropertyW(MSIHANDLE install, const char16_t* name, char16_t* value, DWORD* length) {
  return ::MsiGetPropertyW(install, Native(name), Native(value), Native(length));
}

MSIHANDLE MsiCreateRecord(UINT fields) { return ::MsiCreateRecord(fields); }

UINT MsiRecordSetStringW(MSIHANDLE record, UINT field, const char16_t* value) {
  return ::MsiRecordSetStringW(record, field, Native(value));
}

int MsiProcessMessage(MSIHANDLE install, int message_type, MSIHANDLE record) {
  return ::MsiProcessMessage(install, message_type, record);
}

UINT MsiCloseHandle(MSIHANDLE handle) { return ::MsiCloseHandle(handle); }

HMODULE GetModuleHandleW(const char16_t* module_name) {
  return reinterpret_cast<HMODULE>(::GetModuleHandleW(Native(module_name)));
}

FARPROC GetProcAddress(HMODULE module, const char* proc_name) {
  return reinterpret_cast<FARPROC>(::GetProcAddress(Native(module), proc_name));
}

HANDLE GetCurrentProcess() { return ::GetCurrentProcess(); }

BOOL DisableThreadLibraryCalls(HMODULE module) {
  return ::DisableThreadLibraryCalls(Native(module));
}

BOOL CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

DWORD GetLastError() { return ::GetLastError(); }

DWORD GetFileAttributesW(const char16_t* file) { return ::GetFileAttributesW(Native(file)); }

void* LocalFree(void* memory) { return ::LocalFree(memory); }

DWORD ExpandEnvironmentStringsW(const char16_t* source, char16_t* destination, DWORD size) {
  return ::ExpandEnvironmentStringsW(Native(source), Native(destination), size);
}

int lstrlenW(const char16_t* text) { return ::lstrlenW(Native(text)); }

char16_t* lstrcpyW(char16_t* destination, const char16_t* source) {
  return reinterpret_cast<char16_t*>(::lstrcpyW(Native(destination), Native(source)));
}

char16_t* lstrcpynW(char16_t* destination, const char16_t* source, int max_length) {
  return reinterpret_cast<char16_t*>(::lstrcpynW(Native(destination), Native(source), max_length));
}

}  // namespace win
