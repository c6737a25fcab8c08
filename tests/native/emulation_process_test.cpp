// The process around the registry: installer properties, environment,
// WOW64 probe, modules and string helpers.
#include "native/emulation_fixture.h"

namespace {

class EmulationProcessTest : public EmulationTest {
 protected:
  void SetUp() override { emu::Reset(); }
};

constexpr win::MSIHANDLE kInstall = 42;

TEST_F(EmulationProcessTest, MsiGetPropertyLengthsAndTruncation) {
  emu::SetProperty(u"CustomActionData", u"abc>1");
  char16_t value[16];
  win::DWORD length = 16;
  EXPECT_EQ(win::MsiGetPropertyW(kInstall, u"CustomActionData", value, &length),
            win::ERROR_SUCCESS);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(std::u16string(value), u"abc>1");

  length = 3;
  EXPECT_EQ(win::MsiGetPropertyW(kInstall, u"CustomActionData", value, &length),
            win::ERROR_MORE_DATA);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(std::u16string(value), u"ab");

  length = 5;  // no room for the terminator
  EXPECT_EQ(win::MsiGetPropertyW(kInstall, u"CustomActionData", value, &length),
            win::ERROR_MORE_DATA);
  EXPECT_EQ(std::u16string(value), u"abc>");

  value[0] = u'x';
  length = 0;
  EXPECT_EQ(win::MsiGetPropertyW(kInstall, u"CustomActionData", value, &length),
            win::ERROR_MORE_DATA);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(value[0], u'x');

  length = 0;
  EXPECT_EQ(win::MsiGetPropertyW(kInstall, u"CustomActionData", nullptr, &length),
            win::ERROR_SUCCESS);
  EXPECT_EQ(length, 5u);
}

TEST_F(EmulationProcessTest, MsiGetPropertyUnsetNamesAndBadHandles) {
  emu::SetProperty(u"CustomActionData", u"x");
  char16_t value[4] = u"zz";
  win::DWORD length = 4;
  EXPECT_EQ(win::MsiGetPropertyW(kInstall, u"customactiondata", value, &length),
            win::ERROR_SUCCESS);  // names are case-sensitive
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(value[0], 0);
  length = 4;
  EXPECT_EQ(win::MsiGetPropertyW(0, u"CustomActionData", value, &length),
            win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(win::MsiGetPropertyW(kInstall, u"CustomActionData", value, nullptr),
            win::ERROR_INVALID_PARAMETER);
  emu::FailNthCallOf("MsiGetPropertyW", 1, win::ERROR_INSTALL_FAILURE);
  EXPECT_EQ(win::MsiGetPropertyW(kInstall, u"CustomActionData", value, &length),
            static_cast<win::UINT>(win::ERROR_INSTALL_FAILURE));
}

TEST_F(EmulationProcessTest, ExpandEnvironmentStrings) {
  emu::SetEnvironment(u"ProgramFiles", u"C:\\PF");
  char16_t out[32];
  EXPECT_EQ(win::ExpandEnvironmentStringsW(u"%programfiles%\\x", out, 32), 8u);
  EXPECT_EQ(std::u16string(out), u"C:\\PF\\x");
  EXPECT_EQ(win::ExpandEnvironmentStringsW(u"%NOPE%;%programFILES%;%open", out, 32), 19u);
  EXPECT_EQ(std::u16string(out), u"%NOPE%;C:\\PF;%open");
  EXPECT_EQ(win::ExpandEnvironmentStringsW(u"%ProgramFiles%", nullptr, 0), 6u);
  EXPECT_EQ(win::ExpandEnvironmentStringsW(u"%ProgramFiles%", out, 4), 6u);
  EXPECT_EQ(std::u16string(out), u"C:\\");
  emu::SetEnvironment(u"PROGRAMFILES", u"D:");
  EXPECT_EQ(win::ExpandEnvironmentStringsW(u"%ProgramFiles%", out, 32), 3u);
  EXPECT_EQ(std::u16string(out), u"D:");
  emu::FailNthCallOf("ExpandEnvironmentStringsW", 1, win::ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(win::ExpandEnvironmentStringsW(u"x", out, 32), 0u);
}

TEST_F(EmulationProcessTest, IsWow64ProcessFollowsTheMachine) {
  for (emu::Machine machine : {emu::Machine::Windows32, emu::Machine::Wow64}) {
    emu::Reset(machine);
    auto probe = reinterpret_cast<win::IsWow64ProcessFn>(
        win::GetProcAddress(win::GetModuleHandleW(u"kernel32.dll"), "IsWow64Process"));
    ASSERT_NE(probe, nullptr);
    win::BOOL wow64 = 7;
    EXPECT_NE(probe(win::GetCurrentProcess(), &wow64), 0);
    EXPECT_EQ(wow64, machine == emu::Machine::Wow64 ? 1 : 0);
    EXPECT_EQ(emu::CountCalls("IsWow64Process"), 1u);
  }
}

TEST_F(EmulationProcessTest, IsWow64ProcessCanBeAbsent) {
  emu::SetIsWow64ProcessExported(false);
  win::HMODULE kernel32 = win::GetModuleHandleW(u"KERNEL32");
  ASSERT_NE(kernel32, nullptr);
  EXPECT_EQ(win::GetProcAddress(kernel32, "IsWow64Process"), nullptr);
  emu::Reset();
  EXPECT_NE(win::GetProcAddress(kernel32, "IsWow64Process"), nullptr);
  EXPECT_EQ(win::GetProcAddress(kernel32, "NoSuchExport"), nullptr);
  EXPECT_EQ(win::GetModuleHandleW(u"USER32"), nullptr);
}

TEST_F(EmulationProcessTest, StringHelpers) {
  char16_t text[8];
  EXPECT_EQ(win::lstrcpynW(text, u"abcdef", 4), text);
  EXPECT_EQ(std::u16string(text), u"abc");
  EXPECT_EQ(win::lstrlenW(text), 3);
  EXPECT_EQ(win::lstrlenW(nullptr), 0);
  EXPECT_EQ(win::lstrcpyW(text, u"xy"), text);
  EXPECT_EQ(std::u16string(text), u"xy");
  text[0] = u'q';
  win::lstrcpynW(text, u"abc", 0);
  EXPECT_EQ(text[0], u'q');  // no room, nothing written
}

}  // namespace
