// Under Wine each test works below scratch keys of the prefix's registry,
// removed again afterwards in both registry views.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/win_api.h"
#include "support/test_registry.h"

// Scratch keys carry the process id, so parallel runs do not meet.
extern "C" __declspec(dllimport) win::DWORD __stdcall GetCurrentProcessId();

namespace test_registry {
namespace {

using win::HKEY;

int scratch_number = 0;
std::u16string user_scratch;
std::u16string machine_scratch;
std::u16string leaf;
std::u16string hive_file;  // made by MakeHiveFile, removed by TearDown

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

bool CreateEmpty(HKEY root, const std::u16string& path, win::REGSAM view) {
  HKEY key = nullptr;
  if (win::RegCreateKeyExW(root, path.c_str(), 0, nullptr, win::REG_OPTION_NON_VOLATILE,
                           win::KEY_ALL_ACCESS | view, nullptr, &key,
                           nullptr) != win::ERROR_SUCCESS) {
    return false;
  }
  win::RegCloseKey(key);
  return true;
}

// Deletes |name| below |parent| with everything under it. Opens relative to
// an open key keep that key's view.
void DeleteTree(HKEY parent, const char16_t* name) {
  HKEY key = nullptr;
  if (win::RegOpenKeyExW(parent, name, 0, win::KEY_READ, &key) != win::ERROR_SUCCESS) return;
  char16_t child[256];
  while (win::RegEnumKeyW(key, 0, child, 256) == win::ERROR_SUCCESS) DeleteTree(key, child);
  win::RegCloseKey(key);
  win::RegDeleteKeyW(parent, name);
}

// Removes SkerrowTest\<leaf> below |path| in one view, and SkerrowTest when
// no other run uses it.
void DeleteScratch(HKEY root, const char16_t* path, win::REGSAM view) {
  HKEY parent = nullptr;
  if (win::RegOpenKeyExW(root, path, 0, win::KEY_READ | view, &parent) != win::ERROR_SUCCESS) {
    return;
  }
  HKEY test_root = nullptr;
  if (win::RegOpenKeyExW(parent, u"SkerrowTest", 0, win::KEY_READ, &test_root) ==
      win::ERROR_SUCCESS) {
    DeleteTree(test_root, leaf.c_str());
    win::RegCloseKey(test_root);
    win::RegDeleteKeyW(parent, u"SkerrowTest");
  }
  win::RegCloseKey(parent);
}

}  // namespace

void SetUp(bool) {
  leaf = Widen(std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++scratch_number));
  user_scratch = u"Software\\SkerrowTest\\" + leaf;
  machine_scratch = u"SOFTWARE\\SkerrowTest\\" + leaf;
  ASSERT_TRUE(CreateEmpty(win::HKEY_CURRENT_USER, user_scratch, 0));
  ASSERT_TRUE(CreateEmpty(win::HKEY_LOCAL_MACHINE, machine_scratch, 0));
  if (IsWow64()) {
    ASSERT_TRUE(CreateEmpty(win::HKEY_LOCAL_MACHINE, machine_scratch, win::KEY_WOW64_64KEY));
  }
}

std::u16string MakeHiveFile() {
  char16_t temp[260] = {};
  EXPECT_GT(win::ExpandEnvironmentStringsW(u"%TEMP%", temp, 260), 1u);
  hive_file = std::u16string(temp) + u"\\SkerrowTest-" + leaf + u".dat";
  // Wine's text format; a 64-bit prefix takes only files that say so.
  std::string text = "WINE REGISTRY Version 2\n";
  if (IsWow64()) text += "#arch=win64\n";
  text += "\n[Software\\\\SkerrowHive] 1700000000\n\"v\"=dword:00000001\n";
  FILE* file = _wfopen(reinterpret_cast<const wchar_t*>(hive_file.c_str()), L"wb");
  EXPECT_NE(file, nullptr);
  if (file != nullptr) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  return hive_file;
}

void TearDown() {
  if (!hive_file.empty()) _wremove(reinterpret_cast<const wchar_t*>(hive_file.c_str()));
  hive_file.clear();
  DeleteScratch(win::HKEY_CURRENT_USER, u"Software", 0);
  DeleteScratch(win::HKEY_LOCAL_MACHINE, u"SOFTWARE", 0);
  if (IsWow64()) DeleteScratch(win::HKEY_LOCAL_MACHINE, u"SOFTWARE", win::KEY_WOW64_64KEY);
}

bool IsWow64() {
  auto probe = reinterpret_cast<win::IsWow64ProcessFn>(
      win::GetProcAddress(win::GetModuleHandleW(u"KERNEL32"), "IsWow64Process"));
  win::BOOL wow64 = 0;
  return probe && probe(win::GetCurrentProcess(), &wow64) && wow64;
}

bool IsEmulated() { return false; }
const std::u16string& UserScratch() { return user_scratch; }
const std::u16string& MachineScratch() { return machine_scratch; }

}  // namespace test_registry
