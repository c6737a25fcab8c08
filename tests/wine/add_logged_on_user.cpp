// add-logged-on-user: makes the registry look as if the account SID were
// logged on: a profile folder PROFILE_DIR with an empty hive file
// PROFILE_DIR\NTUSER.DAT, that hive loaded as HKEY_USERS\SID, and the
// account's entry in ProfileList (64-bit view) naming PROFILE_DIR.
//
//   add-logged-on-user SID PROFILE_DIR
//
// A loaded hive lasts as long as the wineserver runs, so the caller keeps
// one running (wineserver -p) until it has judged the registry. Nothing is
// undone on failure: the tests start every run from a fresh registry.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr wchar_t kProfileList[] =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";

bool Failed(const char* what, DWORD error) {
  std::fprintf(stderr, "add-logged-on-user: %s failed with %lu\n", what, error);
  return false;
}

// Saving and loading hives takes the backup and restore privileges, which an
// administrator's token holds but does not enable.
bool EnablePrivileges() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) {
    return Failed("OpenProcessToken", GetLastError());
  }
  bool enabled = true;
  for (const wchar_t* name : {L"SeBackupPrivilege", L"SeRestorePrivilege"}) {
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // AdjustTokenPrivileges succeeds without the privilege, saying so only
    // through the last error.
    if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid) ||
        !AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) ||
        GetLastError() != ERROR_SUCCESS) {
      enabled = Failed("enabling a privilege", GetLastError());
    }
  }
  CloseHandle(token);
  return enabled;
}

// Writes an empty hive file: an empty key saved, then deleted again.
bool WriteEmptyHive(const std::wstring& sid, const std::wstring& file) {
  const std::wstring scratch = L"add-logged-on-user " + sid;
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) {
    return Failed("RegCreateKeyExW of the scratch key", result);
  }
  result = RegSaveKeyW(key, file.c_str(), nullptr);
  RegCloseKey(key);
  const LONG deleted = RegDeleteKeyW(HKEY_CURRENT_USER, scratch.c_str());
  if (result != ERROR_SUCCESS) {
    return Failed("RegSaveKeyW", result);
  }
  return deleted == ERROR_SUCCESS || Failed("RegDeleteKeyW of the scratch key", deleted);
}

bool AddProfileListEntry(const std::wstring& sid, const std::wstring& profile) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kProfileList + sid).c_str(), 0, nullptr, 0,
                                KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) {
    return Failed("RegCreateKeyExW of the ProfileList entry", result);
  }
  const DWORD size = static_cast<DWORD>((profile.size() + 1) * sizeof(wchar_t));
  result = RegSetValueExW(key, L"ProfileImagePath", 0, REG_EXPAND_SZ,
                          reinterpret_cast<const BYTE*>(profile.c_str()), size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS || Failed("RegSetValueExW of ProfileImagePath", result);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: add-logged-on-user SID PROFILE_DIR\n");
    return 2;
  }
  const std::wstring sid = argv[1];
  const std::wstring profile = argv[2];
  const std::wstring hive = profile + L"\\NTUSER.DAT";

  if (!CreateDirectoryW(profile.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    Failed("CreateDirectoryW", GetLastError());
    return 1;
  }
  if (!EnablePrivileges() || !WriteEmptyHive(sid, hive)) {
    return 1;
  }
  const LONG loaded = RegLoadKeyW(HKEY_USERS, sid.c_str(), hive.c_str());
  if (loaded != ERROR_SUCCESS) {
    Failed("RegLoadKeyW", loaded);
    return 1;
  }
  return AddProfileListEntry(sid, profile) ? 0 : 1;
}
