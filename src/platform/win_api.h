// The one seam between the engine and Windows.
//
// Declares exactly the Windows calls the engine makes, with UTF-16 texts as
// char16_t. On Windows, win_api_windows.cpp forwards each call to the real
// API; on Linux, the in-memory emulation implements them. Which side is used
// is decided by the link, never by the engine.
//
// Everything lives in namespace win so that the forwarding side can include
// <windows.h> next to this header without clashes.
#pragma once

#include <cstdint>

// Calling convention of functions that Windows calls or that are looked up at
// run time (the exports, IsWow64Process). Only 32-bit x86 tells them apart.
#if defined(__i386__)
#define SKERROW_STDCALL __attribute__((stdcall))
#else
#define SKERROW_STDCALL
#endif

namespace win {

using BYTE = std::uint8_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;
using REGSAM = DWORD;
using MSIHANDLE = std::uint32_t;
using HANDLE = void*;

struct HKEY__;
using HKEY = HKEY__*;
struct HINSTANCE__;
using HMODULE = HINSTANCE__*;
using HINSTANCE = HMODULE;
using FARPROC = void (*)();

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

using IsWow64ProcessFn = BOOL(SKERROW_STDCALL*)(HANDLE process, BOOL* wow64);

// A security identifier; only Windows looks inside.
using PSID = void*;
struct SID_AND_ATTRIBUTES {
  PSID Sid;
  DWORD Attributes;
};
// What GetTokenInformation writes for TokenUser.
struct TOKEN_USER {
  SID_AND_ATTRIBUTES User;
};

// A privilege as the running system numbers it.
struct LUID {
  DWORD LowPart;
  LONG HighPart;
};
struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
};
// Windows' TOKEN_PRIVILEGES with room for the two privileges that loading a
// hive takes; Windows reads and writes only PrivilegeCount entries.
struct TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[2];
};

// Predefined root keys, with the values Windows gives them. Cast in place
// rather than by a function, the compiler makes them constants; through a
// call, every source file that includes this would set them up at start-up.
inline const HKEY HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000001u)));
inline const HKEY HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));
inline const HKEY HKEY_USERS =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000003u)));

// Error codes.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_PATH_NOT_FOUND = 3;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_INVALID_DATA = 13;
constexpr LONG ERROR_SHARING_VIOLATION = 32;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_PROC_NOT_FOUND = 127;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_NOACCESS = 998;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_KEY_DELETED = 1018;
constexpr LONG ERROR_NOT_ALL_ASSIGNED = 1300;
constexpr LONG ERROR_NO_SUCH_PRIVILEGE = 1313;
constexpr LONG ERROR_PRIVILEGE_NOT_HELD = 1314;
constexpr LONG ERROR_INSTALL_FAILURE = 1603;

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

// Access rights.
constexpr REGSAM DELETE = 0x10000;
constexpr REGSAM READ_CONTROL = 0x20000;
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD TOKEN_QUERY = 0x0008;
constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;
constexpr DWORD SE_PRIVILEGE_ENABLED = 0x0002;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
constexpr int TokenUser = 1;
// An informational message: it goes to the installer's log, never to the
// screen.
constexpr int INSTALLMESSAGE_INFO = 0x04000000;

// advapi32
LONG RegOpenKeyExW(HKEY key, const char16_t* sub_key, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExW(HKEY key, const char16_t* sub_key, DWORD reserved, char16_t* key_class,
                     DWORD options, REGSAM access, void* security, HKEY* result,
                     DWORD* disposition);
LONG RegCloseKey(HKEY key);
LONG RegQueryValueExW(HKEY key, const char16_t* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
LONG RegSetValueExW(HKEY key, const char16_t* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegDeleteValueW(HKEY key, const char16_t* name);
LONG RegDeleteKeyW(HKEY key, const char16_t* sub_key);
LONG RegQueryInfoKeyW(HKEY key, char16_t* key_class, DWORD* class_length, DWORD* reserved,
                      DWORD* sub_keys, DWORD* max_sub_key_length, DWORD* max_class_length,
                      DWORD* values, DWORD* max_value_name_length, DWORD* max_value_length,
                      DWORD* security_descriptor_size, FILETIME* last_write_time);
LONG RegEnumKeyW(HKEY key, DWORD index, char16_t* name, DWORD name_capacity);
LONG RegEnumKeyExW(HKEY key, DWORD index, char16_t* name, DWORD* name_length, DWORD* reserved,
                   char16_t* key_class, DWORD* class_length, FILETIME* last_write_time);
LONG RegEnumValueW(HKEY key, DWORD index, char16_t* name, DWORD* name_length, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* data_size);
// A hive file loaded as HKEY_USERS\<sub_key>, and unloaded again; both need
// SeBackupPrivilege and SeRestorePrivilege enabled.
LONG RegLoadKeyW(HKEY key, const char16_t* sub_key, const char16_t* file);
LONG RegUnLoadKeyW(HKEY key, const char16_t* sub_key);

// The account the process runs as: its token, and the text form of a SID.
BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token);
BOOL GetTokenInformation(HANDLE token, int information_class, void* information, DWORD length,
                         DWORD* return_length);
BOOL ConvertSidToStringSidW(PSID sid, char16_t** text);
// Privileges of a token: looked up by name, enabled or disabled. On success
// AdjustTokenPrivileges leaves ERROR_NOT_ALL_ASSIGNED for GetLastError where
// the token lacks one of them, else ERROR_SUCCESS; |previous| receives those
// whose state it changed, as they were.
BOOL LookupPrivilegeValueW(const char16_t* system, const char16_t* name, LUID* luid);
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disable_all, TOKEN_PRIVILEGES* new_state,
                           DWORD length, TOKEN_PRIVILEGES* previous, DWORD* return_length);

// msi.dll, each by ordinal: MsiGetPropertyW 74, MsiCreateRecord 17,
// MsiRecordSetStringW 125, MsiProcessMessage 103, MsiCloseHandle 8.
UINT MsiGetPropertyW(MSIHANDLE install, const char16_t* name, char16_t* value, DWORD* length);
MSIHANDLE MsiCreateRecord(UINT fields);
UINT MsiRecordSetStringW(MSIHANDLE record, UINT field, const char16_t* value);
int MsiProcessMessage(MSIHANDLE install, int message_type, MSIHANDLE record);
UINT MsiCloseHandle(MSIHANDLE handle);

// kernel32
HMODULE GetModuleHandleW(const char16_t* module_name);
FARPROC GetProcAddress(HMODULE module, const char* proc_name);
HANDLE GetCurrentProcess();
BOOL DisableThreadLibraryCalls(HMODULE module);
BOOL CloseHandle(HANDLE handle);
// Why the latest call of this thread that answers FALSE or NULL failed.
DWORD GetLastError();
// INVALID_FILE_ATTRIBUTES when |file| cannot be found or asked about.
DWORD GetFileAttributesW(const char16_t* file);
void* LocalFree(void* memory);
DWORD ExpandEnvironmentStringsW(const char16_t* source, char16_t* destination, DWORD size);
int lstrlenW(const char16_t* text);
char16_t* lstrcpyW(char16_t* destination, const char16_t* source);
char16_t* lstrcpynW(char16_t* destination, const char16_t* source, int max_length);

}  // namespace win
