// RegDeleteKeyW and what becomes of handles to a deleted key.
#include "support/machine_test.h"

namespace {

using registry_test::Create;
using registry_test::Open;
using registry_test::Probe;
using test_registry::UserScratch;
using win::HKEY_CURRENT_USER;

class DeleteKeyTest : public MachineTest {};
INSTANTIATE_MACHINE_TEST(DeleteKeyTest);

TEST_P(DeleteKeyTest, OnlyKeysWithoutSubKeysGo) {
  ScopedKey key;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, UserScratch() + u"\\Parent\\Child", &key),
            win::ERROR_SUCCESS);
  ASSERT_EQ(registry_test::SetDword(key.get(), u"v", 1), win::ERROR_SUCCESS);
  key.Close();
  const std::u16string parent = UserScratch() + u"\\Parent";
  EXPECT_EQ(win::RegDeleteKeyW(HKEY_CURRENT_USER, parent.c_str()), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, parent + u"\\Child"), win::ERROR_SUCCESS);
  // Values do not block deletion.
  EXPECT_EQ(win::RegDeleteKeyW(HKEY_CURRENT_USER, (parent + u"\\CHILD").c_str()),
            win::ERROR_SUCCESS);
  EXPECT_EQ(win::RegDeleteKeyW(HKEY_CURRENT_USER, (parent + u"\\Child").c_str()),
            win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(win::RegDeleteKeyW(HKEY_CURRENT_USER, parent.c_str()), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, parent), win::ERROR_FILE_NOT_FOUND);
}

TEST_P(DeleteKeyTest, HandlesToADeletedKeyReportItDeleted) {
  ScopedKey held;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, UserScratch() + u"\\Doomed", &held), win::ERROR_SUCCESS);
  ASSERT_EQ(registry_test::SetDword(held.get(), u"v", 1), win::ERROR_SUCCESS);
  ScopedKey scratch;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, UserScratch(), &scratch), win::ERROR_SUCCESS);
  ASSERT_EQ(win::RegDeleteKeyW(scratch.get(), u"Doomed"), win::ERROR_SUCCESS);

  win::DWORD size = 0;
  EXPECT_EQ(win::RegQueryValueExW(held.get(), u"v", nullptr, nullptr, nullptr, &size),
            win::ERROR_KEY_DELETED);
  EXPECT_EQ(registry_test::SetDword(held.get(), u"w", 1), win::ERROR_KEY_DELETED);
  char16_t name[8];
  EXPECT_EQ(win::RegEnumKeyW(held.get(), 0, name, 8), win::ERROR_KEY_DELETED);
  win::DWORD length = 8;
  EXPECT_EQ(win::RegEnumValueW(held.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            win::ERROR_KEY_DELETED);
  win::DWORD values = 0;
  EXPECT_EQ(win::RegQueryInfoKeyW(held.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  &values, nullptr, nullptr, nullptr, nullptr),
            win::ERROR_KEY_DELETED);
  ScopedKey below;
  EXPECT_EQ(Create(held.get(), u"Below", &below), win::ERROR_KEY_DELETED);
  EXPECT_EQ(below.get(), nullptr);
  EXPECT_EQ(Open(held.get(), u"", &below), win::ERROR_KEY_DELETED);
  EXPECT_EQ(held.Close(), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, UserScratch() + u"\\Doomed"), win::ERROR_FILE_NOT_FOUND);
}

TEST_P(DeleteKeyTest, EmptyNameDeletesTheHandlesOwnKeyButNeverARoot) {
  ScopedKey key;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, UserScratch() + u"\\Self", &key), win::ERROR_SUCCESS);
  EXPECT_EQ(win::RegDeleteKeyW(key.get(), u""), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, UserScratch() + u"\\Self"), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(win::RegDeleteKeyW(HKEY_CURRENT_USER, u""), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::RegDeleteKeyW(HKEY_CURRENT_USER, nullptr), win::ERROR_INVALID_PARAMETER);
}

}  // namespace
