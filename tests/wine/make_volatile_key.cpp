// make-volatile-key: creates HKEY_CURRENT_USER\KEY as a volatile key (and
// volatile keys on its path where missing) holding NAME = REG_DWORD VALUE.
//
//   make-volatile-key KEY NAME VALUE
//
// The registry refuses a lasting key below a volatile one
// (ERROR_CHILD_MUST_BE_VOLATILE), so Skerrow cannot create its backup key
// there: a real registry failure, for the tests of what a failed Install
// reports and how the installer's rollback undoes it. The key lasts as long
// as the wineserver runs.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make-volatile-key KEY NAME VALUE\n");
    return 2;
  }
  HKEY key = nullptr;
  const LONG created = RegCreateKeyExW(HKEY_CURRENT_USER, argv[1], 0, nullptr, REG_OPTION_VOLATILE,
                                       KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (created != ERROR_SUCCESS) {
    std::fprintf(stderr, "make-volatile-key: create failed with %ld\n", created);
    return 1;
  }
  const DWORD value = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 0));
  const LONG set = RegSetValueExW(key, argv[2], 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&value), sizeof(value));
  RegCloseKey(key);
  if (set != ERROR_SUCCESS) {
    std::fprintf(stderr, "make-volatile-key: set failed with %ld\n", set);
    return 1;
  }
  return 0;
}
