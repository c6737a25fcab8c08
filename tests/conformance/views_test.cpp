// Registry views of a 32-bit process: HKLM\SOFTWARE is redirected under
// WOW64, HKCU\Software is shared, and an open key keeps its view.
#include "support/machine_test.h"

namespace {

using registry_test::Create;
using registry_test::Open;
using registry_test::Probe;
using test_registry::MachineScratch;
using test_registry::UserScratch;
using win::HKEY_LOCAL_MACHINE;
using win::KEY_WOW64_32KEY;
using win::KEY_WOW64_64KEY;

class ViewTest : public MachineTest {
 protected:
  // What opening a key that exists only in the other view gives.
  win::LONG OtherView() const { return Wow64() ? win::ERROR_FILE_NOT_FOUND : win::ERROR_SUCCESS; }
};
INSTANTIATE_MACHINE_TEST(ViewTest);

TEST_P(ViewTest, MachineSoftwareHasTwoViewsUnderWow64) {
  ScopedKey key;
  ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\Only32", &key), win::ERROR_SUCCESS);
  ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\Only64", &key,
                   win::KEY_ALL_ACCESS | KEY_WOW64_64KEY),
            win::ERROR_SUCCESS);
  key.Close();
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\Only32"), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\Only32", KEY_WOW64_32KEY),
            win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\Only32", KEY_WOW64_64KEY),
            OtherView());
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\Only64", KEY_WOW64_64KEY),
            win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\Only64"), OtherView());
  // The 32-bit view is a real key that the 64-bit view can name.
  const std::u16string physical =
      u"SOFTWARE\\Wow6432Node" + MachineScratch().substr(8) + u"\\Only32";
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, physical, KEY_WOW64_64KEY),
            Wow64() ? win::ERROR_SUCCESS : win::ERROR_FILE_NOT_FOUND);
}

TEST_P(ViewTest, UserSoftwareIsShared) {
  ScopedKey key;
  ASSERT_EQ(Create(win::HKEY_CURRENT_USER, UserScratch() + u"\\Shared", &key,
                   win::KEY_ALL_ACCESS | KEY_WOW64_64KEY),
            win::ERROR_SUCCESS);
  key.Close();
  EXPECT_EQ(Probe(win::HKEY_CURRENT_USER, UserScratch() + u"\\Shared"), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(win::HKEY_CURRENT_USER, UserScratch() + u"\\Shared", KEY_WOW64_32KEY),
            win::ERROR_SUCCESS);
}

TEST_P(ViewTest, OpenKeyKeepsItsView) {
  ScopedKey native;
  ASSERT_EQ(
      Open(HKEY_LOCAL_MACHINE, MachineScratch(), &native, win::KEY_ALL_ACCESS | KEY_WOW64_64KEY),
      win::ERROR_SUCCESS);
  ScopedKey child;
  ASSERT_EQ(Create(native.get(), u"FromNative", &child), win::ERROR_SUCCESS);
  child.Close();
  EXPECT_EQ(Open(native.get(), u"FromNative", &child, win::KEY_READ), win::ERROR_SUCCESS);
  child.Close();
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\FromNative", KEY_WOW64_64KEY),
            win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\FromNative"), OtherView());
  EXPECT_EQ(win::RegDeleteKeyW(native.get(), u"FromNative"), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\FromNative", KEY_WOW64_64KEY),
            win::ERROR_FILE_NOT_FOUND);

  // SOFTWARE itself opened in the 32-bit view is the redirected key.
  ScopedKey software;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, u"SOFTWARE", &software, win::KEY_ALL_ACCESS),
            win::ERROR_SUCCESS);
  ASSERT_EQ(Create(software.get(), MachineScratch().substr(9) + u"\\From32", &child,
                   win::KEY_ALL_ACCESS | KEY_WOW64_64KEY),
            win::ERROR_SUCCESS);
  child.Close();
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\From32"), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\From32", KEY_WOW64_64KEY),
            OtherView());
}

TEST_P(ViewTest, BothViewFlagsReachTheNativeView) {
  ScopedKey key;
  ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\Only64", &key,
                   win::KEY_ALL_ACCESS | KEY_WOW64_64KEY),
            win::ERROR_SUCCESS);
  key.Close();
  EXPECT_EQ(
      Probe(HKEY_LOCAL_MACHINE, MachineScratch() + u"\\Only64", KEY_WOW64_64KEY | KEY_WOW64_32KEY),
      win::ERROR_SUCCESS);
  // Also relative to a key of the native view.
  ScopedKey software;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, u"SOFTWARE", &software, win::KEY_READ | KEY_WOW64_64KEY),
            win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(software.get(), MachineScratch().substr(9) + u"\\Only64",
                  KEY_WOW64_64KEY | KEY_WOW64_32KEY),
            win::ERROR_SUCCESS);
}

TEST_P(ViewTest, RedirectedKeyAnswersToItsOwnNameOnlyOnce) {
  EXPECT_EQ(Probe(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Wow6432Node\\Wow6432Node"),
            win::ERROR_FILE_NOT_FOUND);
}

}  // namespace
