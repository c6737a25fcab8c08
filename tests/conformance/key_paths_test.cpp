// How open and create read sub-key paths: separators, case, roots, handles.
#include "support/machine_test.h"

namespace {

using registry_test::Create;
using registry_test::Open;
using registry_test::Probe;
using test_registry::UserScratch;
using win::HKEY_CURRENT_USER;

class KeyPathTest : public MachineTest {};
INSTANTIATE_MACHINE_TEST(KeyPathTest);

TEST_P(KeyPathTest, LeadingBackslashIsRefusedAndLeavesNull) {
  ScopedKey key;
  *key.Receive() = win::HKEY_LOCAL_MACHINE;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, u"\\" + UserScratch(), &key), win::ERROR_BAD_PATHNAME);
  EXPECT_EQ(key.get(), nullptr);
  *key.Receive() = win::HKEY_LOCAL_MACHINE;
  EXPECT_EQ(Create(HKEY_CURRENT_USER, u"\\" + UserScratch() + u"\\New", &key),
            win::ERROR_BAD_PATHNAME);
  EXPECT_EQ(key.get(), nullptr);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, UserScratch() + u"\\New"), win::ERROR_FILE_NOT_FOUND);
}

TEST_P(KeyPathTest, TrailingAndDoubledBackslashesAreAccepted) {
  ScopedKey key;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, UserScratch() + u"\\A\\\\B\\", &key), win::ERROR_SUCCESS);
  key.Close();
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, UserScratch() + u"\\A\\B"), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, UserScratch() + u"\\A\\"), win::ERROR_SUCCESS);
  ScopedKey scratch;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, UserScratch(), &scratch), win::ERROR_SUCCESS);
  EXPECT_EQ(registry_test::SubKeys(scratch.get()), std::vector<std::u16string>{u"A"});
}

TEST_P(KeyPathTest, CreateMakesEveryMissingKeyAndReportsWhetherItDid) {
  ScopedKey key;
  win::DWORD disposition = 0;
  const std::u16string path = UserScratch() + u"\\One\\Two\\Three";
  ASSERT_EQ(win::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                 win::KEY_ALL_ACCESS, nullptr, key.Receive(), &disposition),
            win::ERROR_SUCCESS);
  EXPECT_EQ(disposition, 1u);  // created
  ASSERT_EQ(win::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                 win::KEY_ALL_ACCESS, nullptr, key.Receive(), &disposition),
            win::ERROR_SUCCESS);
  EXPECT_EQ(disposition, 2u);  // opened
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, UserScratch() + u"\\One\\Two"), win::ERROR_SUCCESS);
}

TEST_P(KeyPathTest, NamesIgnoreCaseButKeepTheirFirstSpelling) {
  ScopedKey key;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, UserScratch() + u"\\MixedCase", &key), win::ERROR_SUCCESS);
  ASSERT_EQ(registry_test::SetDword(key.get(), u"ValueName", 1), win::ERROR_SUCCESS);
  ASSERT_EQ(registry_test::SetDword(key.get(), u"VALUENAME", 2), win::ERROR_SUCCESS);
  win::DWORD data = 0;
  win::DWORD size = sizeof data;
  EXPECT_EQ(win::RegQueryValueExW(key.get(), u"valuename", nullptr, nullptr,
                                  reinterpret_cast<win::BYTE*>(&data), &size),
            win::ERROR_SUCCESS);
  EXPECT_EQ(data, 2u);
  EXPECT_EQ(registry_test::ValueNames(key.get()), std::vector<std::u16string>{u"ValueName"});

  ASSERT_EQ(Create(HKEY_CURRENT_USER, UserScratch() + u"\\MIXEDCASE", &key), win::ERROR_SUCCESS);
  ASSERT_EQ(Open(HKEY_CURRENT_USER, UserScratch(), &key), win::ERROR_SUCCESS);
  EXPECT_EQ(registry_test::SubKeys(key.get()), std::vector<std::u16string>{u"MixedCase"});
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, UserScratch() + u"\\mixedCASE"), win::ERROR_SUCCESS);
}

TEST_P(KeyPathTest, EmptySubKeyGivesTheRootItselfButANewHandleOtherwise) {
  win::HKEY root = nullptr;
  EXPECT_EQ(win::RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, win::KEY_READ, &root),
            win::ERROR_SUCCESS);
  EXPECT_EQ(root, HKEY_CURRENT_USER);
  root = nullptr;
  EXPECT_EQ(win::RegOpenKeyExW(win::HKEY_LOCAL_MACHINE, u"", 0, win::KEY_READ, &root),
            win::ERROR_SUCCESS);
  EXPECT_EQ(root, win::HKEY_LOCAL_MACHINE);

  ScopedKey key;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, UserScratch(), &key), win::ERROR_SUCCESS);
  ScopedKey same;
  ASSERT_EQ(Open(key.get(), u"", &same), win::ERROR_SUCCESS);
  EXPECT_NE(same.get(), key.get());
  ASSERT_EQ(registry_test::SetDword(same.get(), u"Shared", 7), win::ERROR_SUCCESS);
  EXPECT_EQ(registry_test::ValueNames(key.get()), std::vector<std::u16string>{u"Shared"});
}

TEST_P(KeyPathTest, EachOpenGivesItsOwnHandle) {
  ScopedKey first;
  ScopedKey second;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, UserScratch(), &first), win::ERROR_SUCCESS);
  ASSERT_EQ(Open(HKEY_CURRENT_USER, UserScratch(), &second), win::ERROR_SUCCESS);
  EXPECT_NE(first.get(), second.get());
  EXPECT_EQ(first.Close(), win::ERROR_SUCCESS);
  EXPECT_EQ(registry_test::SetDword(second.get(), u"Still", 1), win::ERROR_SUCCESS);
}

TEST_P(KeyPathTest, FailedOpenLeavesNull) {
  ScopedKey key;
  *key.Receive() = HKEY_CURRENT_USER;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, UserScratch() + u"\\Missing", &key), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.get(), nullptr);
}

}  // namespace
