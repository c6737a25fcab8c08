// Injected faults: by call number, by function, by key path.
#include "native/emulation_fixture.h"

namespace {

using registry_test::Create;
using registry_test::Open;
using registry_test::Probe;
using win::HKEY_CURRENT_USER;

class EmulationFaultTest : public EmulationTest {
 protected:
  void SetUp() override { Start("HKCU\\Software\\App\n  v = dword:1\n"); }
};

TEST_F(EmulationFaultTest, NthCallCountsFromArmingAndFailsOnce) {
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software\\App"), win::ERROR_SUCCESS);  // 2 calls
  emu::FailNthCall(3, win::ERROR_ACCESS_DENIED);
  ScopedKey key;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, u"Software\\App", &key), win::ERROR_SUCCESS);    // 1
  EXPECT_EQ(registry_test::SetDword(key.get(), u"v", 2), win::ERROR_SUCCESS);        // 2
  EXPECT_EQ(registry_test::SetDword(key.get(), u"v", 3), win::ERROR_ACCESS_DENIED);  // 3
  EXPECT_EQ(registry_test::SetDword(key.get(), u"w", 4), win::ERROR_SUCCESS);        // 4
  EXPECT_NE(emu::Dump().find("  v = dword:0x2\n  w = dword:0x4\n"), std::string::npos);
  const emu::Call& failed = emu::Calls()[emu::Calls().size() - 2];
  EXPECT_EQ(failed.function, "RegSetValueExW");
  EXPECT_EQ(failed.result, win::ERROR_ACCESS_DENIED);
}

TEST_F(EmulationFaultTest, NthCallOfOneFunction) {
  emu::FailNthCallOf("RegOpenKeyExW", 2, win::ERROR_FILE_NOT_FOUND);
  ScopedKey key;
  EXPECT_EQ(Create(HKEY_CURRENT_USER, u"Software\\App", &key), win::ERROR_SUCCESS);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"Software\\App", &key), win::ERROR_SUCCESS);
  *key.Receive() = HKEY_CURRENT_USER;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"Software\\App", &key), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.get(), nullptr);  // a failed open writes NULL, injected or not
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"Software\\App", &key), win::ERROR_SUCCESS);
}

TEST_F(EmulationFaultTest, FailedCreateCreatesNothing) {
  emu::FailNthCallOf("RegCreateKeyExW", 1, win::ERROR_ACCESS_DENIED);
  ScopedKey key;
  EXPECT_EQ(Create(HKEY_CURRENT_USER, u"Software\\App\\New", &key), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(key.get(), nullptr);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software\\App\\New"), win::ERROR_FILE_NOT_FOUND);
}

TEST_F(EmulationFaultTest, PathFaultsHitEveryCallOnThatKeyUntilCleared) {
  ScopedKey key;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, u"Software\\App", &key), win::ERROR_SUCCESS);
  emu::FailPath("hkcu\\SOFTWARE\\app", win::ERROR_KEY_DELETED);
  EXPECT_EQ(registry_test::SetDword(key.get(), u"v", 2), win::ERROR_KEY_DELETED);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software\\App"), win::ERROR_KEY_DELETED);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software\\App\\Missing"), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software"), win::ERROR_SUCCESS);
  // Closing reports the fault but closes all the same, so nothing leaks.
  EXPECT_EQ(key.Close(), win::ERROR_KEY_DELETED);
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
  emu::ClearFaults();
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software\\App"), win::ERROR_SUCCESS);
}

TEST_F(EmulationFaultTest, MissingKeysCanBeFailedByPath) {
  emu::FailPath("HKCU\\Software\\App\\New", win::ERROR_ACCESS_DENIED);
  ScopedKey key;
  EXPECT_EQ(Create(HKEY_CURRENT_USER, u"Software\\App\\New", &key), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Create(HKEY_CURRENT_USER, u"Software\\App\\Other", &key), win::ERROR_SUCCESS);
}

TEST_F(EmulationFaultTest, DeadProcessChangesNothingAfterItsLastCall) {
  ScopedKey key;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, u"Software\\App", &key), win::ERROR_SUCCESS);
  emu::DieAfterCall(1);
  EXPECT_EQ(registry_test::SetDword(key.get(), u"v", 2), win::ERROR_SUCCESS);  // the last
  EXPECT_EQ(registry_test::SetDword(key.get(), u"v", 3), emu::kDeadProcessError);
  EXPECT_EQ(Create(HKEY_CURRENT_USER, u"Software\\App\\New", &key), emu::kDeadProcessError);
  EXPECT_EQ(key.get(), nullptr);
  // Process functions go on.
  EXPECT_NE(win::GetCurrentProcess(), nullptr);
  EXPECT_EQ(emu::Dump().find("New"), std::string::npos);
  EXPECT_NE(emu::Dump().find("  v = dword:0x2\n"), std::string::npos);
  emu::ClearFaults();
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software\\App"), win::ERROR_SUCCESS);
}

TEST_F(EmulationFaultTest, DeadFromTheStart) {
  emu::DieAfterCall(0);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software\\App"), emu::kDeadProcessError);
  emu::Reset();
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software"), win::ERROR_SUCCESS);
}

TEST_F(EmulationFaultTest, ResetClearsFaults) {
  emu::FailNthCall(1, win::ERROR_ACCESS_DENIED);
  emu::FailPath("HKCU\\Software", win::ERROR_ACCESS_DENIED);
  emu::Reset();
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software"), win::ERROR_SUCCESS);
}

}  // namespace
