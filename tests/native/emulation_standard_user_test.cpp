// A standard user: HKEY_LOCAL_MACHINE is read-only, the user's hive is not.
#include "native/emulation_fixture.h"

namespace {

using registry_test::Create;
using registry_test::Open;
using registry_test::Probe;
using win::HKEY_LOCAL_MACHINE;

class EmulationStandardUserTest : public EmulationTest,
                                  public ::testing::WithParamInterface<emu::Machine> {
 protected:
  void SetUp() override {
    Start("HKLM\\SOFTWARE\\App\n  v = dword:1\nHKLM\\SOFTWARE\\Wow6432Node\\App\n  v = dword:1\n",
          GetParam(), emu::User::Standard);
  }
};
INSTANTIATE_TEST_SUITE_P(Machines, EmulationStandardUserTest,
                         ::testing::Values(emu::Machine::Windows32, emu::Machine::Wow64));

TEST_P(EmulationStandardUserTest, MachineKeysOpenForReadingOnly) {
  ScopedKey key;
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\App", &key, win::KEY_READ), win::ERROR_SUCCESS);
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\App", &key, win::KEY_READ | win::KEY_WOW64_64KEY),
            win::ERROR_SUCCESS);
  win::DWORD size = 0;
  EXPECT_EQ(win::RegQueryValueExW(key.get(), u"v", nullptr, nullptr, nullptr, &size),
            win::ERROR_SUCCESS);
  EXPECT_EQ(registry_test::SetDword(key.get(), u"v", 2), win::ERROR_ACCESS_DENIED);
  for (win::REGSAM access : {win::KEY_ALL_ACCESS, win::KEY_READ | win::KEY_SET_VALUE,
                             win::KEY_READ | win::DELETE, win::KEY_WRITE}) {
    *key.Receive() = HKEY_LOCAL_MACHINE;
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, u"SOFTWARE", &key, access), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(key.get(), nullptr);
  }
}

TEST_P(EmulationStandardUserTest, MachineKeysCannotBeWritten) {
  const std::string before = emu::Dump();
  ScopedKey key;
  EXPECT_EQ(Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\App", &key, win::KEY_READ), win::ERROR_SUCCESS);
  EXPECT_EQ(Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\App", &key), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\New", &key, win::KEY_READ),
            win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(registry_test::SetDword(HKEY_LOCAL_MACHINE, u"v", 1), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\App"), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(emu::Dump(), before);
}

TEST_P(EmulationStandardUserTest, TheUserHiveStaysWritable) {
  ScopedKey key;
  EXPECT_EQ(Create(win::HKEY_CURRENT_USER, u"Software\\App", &key), win::ERROR_SUCCESS);
  EXPECT_EQ(registry_test::SetDword(key.get(), u"v", 1), win::ERROR_SUCCESS);
  key.Close();
  EXPECT_EQ(win::RegDeleteKeyW(win::HKEY_CURRENT_USER, u"Software\\App"), win::ERROR_SUCCESS);
}

}  // namespace
