// The call log: what each call addressed, with which rights, and its result.
#include "native/emulation_fixture.h"

namespace {

using registry_test::Create;
using registry_test::Open;

class EmulationCallLogTest : public EmulationTest {};

TEST_F(EmulationCallLogTest, LogsPhysicalPathsAccessAndResults) {
  Start("HKLM\\SOFTWARE\\Wow6432Node\\App\n", emu::Machine::Wow64);
  ScopedKey key;
  ASSERT_EQ(Open(win::HKEY_LOCAL_MACHINE, u"software\\app", &key, win::KEY_READ),
            win::ERROR_SUCCESS);
  win::DWORD size = 0;
  EXPECT_EQ(win::RegQueryValueExW(key.get(), u"v", nullptr, nullptr, nullptr, &size),
            win::ERROR_FILE_NOT_FOUND);
  key.Close();
  ASSERT_EQ(Open(win::HKEY_LOCAL_MACHINE, u"SOFTWARE\\App\\Sub", &key,
                 win::KEY_READ | win::KEY_WOW64_64KEY),
            win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(win::RegCloseKey(nullptr), win::ERROR_INVALID_HANDLE);

  const std::vector<emu::Call>& calls = emu::Calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].function, "RegOpenKeyExW");
  EXPECT_EQ(calls[0].path, "HKLM\\SOFTWARE\\Wow6432Node\\App");  // stored spelling
  EXPECT_EQ(calls[0].access, win::KEY_READ);
  EXPECT_EQ(calls[0].result, win::ERROR_SUCCESS);
  EXPECT_EQ(calls[1].function, "RegQueryValueExW");
  EXPECT_EQ(calls[1].path, "HKLM\\SOFTWARE\\Wow6432Node\\App");
  EXPECT_EQ(calls[1].access, 0u);
  EXPECT_EQ(calls[1].result, win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(calls[2].function, "RegCloseKey");
  EXPECT_EQ(calls[3].path, "HKLM\\SOFTWARE\\App\\Sub");  // missing names as given
  EXPECT_EQ(calls[3].access, win::KEY_READ | win::KEY_WOW64_64KEY);
  EXPECT_EQ(calls[3].result, win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(calls[4].path, "");
  EXPECT_EQ(emu::CountCalls("RegOpenKeyExW"), 2u);
  emu::ClearCalls();
  EXPECT_TRUE(emu::Calls().empty());
}

TEST_F(EmulationCallLogTest, LogsProcessCallsButNotStringHelpers) {
  Start("");
  char16_t text[8];
  win::lstrcpyW(text, u"abc");
  EXPECT_EQ(win::lstrlenW(text), 3);
  win::HMODULE kernel32 = win::GetModuleHandleW(u"KERNEL32");
  EXPECT_NE(win::GetProcAddress(kernel32, "IsWow64Process"), nullptr);
  EXPECT_EQ(win::DisableThreadLibraryCalls(kernel32), 1);
  const std::vector<emu::Call>& calls = emu::Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].function, "GetModuleHandleW");
  EXPECT_EQ(calls[1].function, "GetProcAddress");
  EXPECT_EQ(calls[2].function, "DisableThreadLibraryCalls");
}

TEST_F(EmulationCallLogTest, CountsOpenHandles) {
  Start("HKCU\\Software\\App\n");
  ScopedKey first;
  ScopedKey second;
  ASSERT_EQ(Open(win::HKEY_CURRENT_USER, u"Software\\App", &first), win::ERROR_SUCCESS);
  ASSERT_EQ(Create(first.get(), u"Sub", &second), win::ERROR_SUCCESS);
  win::HKEY root = nullptr;
  ASSERT_EQ(win::RegOpenKeyExW(win::HKEY_CURRENT_USER, u"", 0, win::KEY_READ, &root),
            win::ERROR_SUCCESS);
  EXPECT_EQ(emu::OpenHandleCount(), 2u);  // the root does not count
  second.Close();
  EXPECT_EQ(emu::OpenHandleCount(), 1u);
  emu::Reset();
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
  EXPECT_EQ(first.Close(), win::ERROR_INVALID_HANDLE);  // forgotten by the reset
}

}  // namespace
