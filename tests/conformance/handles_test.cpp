// Handles: invalid and closed ones, predefined roots, and the rights each
// operation needs from the handle.
#include "support/machine_test.h"

namespace {

using registry_test::Create;
using registry_test::Open;
using test_registry::UserScratch;
using win::HKEY_CURRENT_USER;

class HandleTest : public MachineTest {};
INSTANTIATE_MACHINE_TEST(HandleTest);

TEST_P(HandleTest, NullAndClosedHandlesAreInvalid) {
  win::DWORD size = 0;
  EXPECT_EQ(win::RegQueryValueExW(nullptr, u"x", nullptr, nullptr, nullptr, &size),
            win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(win::RegCloseKey(nullptr), win::ERROR_INVALID_HANDLE);

  win::HKEY key = nullptr;
  ASSERT_EQ(
      win::RegOpenKeyExW(HKEY_CURRENT_USER, UserScratch().c_str(), 0, win::KEY_ALL_ACCESS, &key),
      win::ERROR_SUCCESS);
  ASSERT_EQ(win::RegCloseKey(key), win::ERROR_SUCCESS);
  EXPECT_EQ(win::RegCloseKey(key), win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(registry_test::SetDword(key, u"x", 1), win::ERROR_INVALID_HANDLE);
  win::HKEY child = HKEY_CURRENT_USER;
  EXPECT_EQ(win::RegOpenKeyExW(key, u"x", 0, win::KEY_READ, &child), win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(child, nullptr);
  char16_t name[8];
  EXPECT_EQ(win::RegEnumKeyW(key, 0, name, 8), win::ERROR_INVALID_HANDLE);
}

TEST_P(HandleTest, PredefinedRootsSurviveClosing) {
  EXPECT_EQ(win::RegCloseKey(HKEY_CURRENT_USER), win::ERROR_SUCCESS);
  EXPECT_EQ(win::RegCloseKey(HKEY_CURRENT_USER), win::ERROR_SUCCESS);
  EXPECT_EQ(registry_test::Probe(HKEY_CURRENT_USER, UserScratch()), win::ERROR_SUCCESS);
}

TEST_P(HandleTest, EachOperationNeedsItsRight) {
  ScopedKey setup;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, UserScratch() + u"\\Sub", &setup), win::ERROR_SUCCESS);
  ASSERT_EQ(registry_test::SetDword(setup.get(), u"v", 1), win::ERROR_SUCCESS);
  setup.Close();
  const std::u16string path = UserScratch() + u"\\Sub";
  char16_t name[16];
  win::DWORD length = 16;
  win::DWORD count = 0;

  ScopedKey read_only;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, path, &read_only, win::KEY_READ), win::ERROR_SUCCESS);
  EXPECT_EQ(registry_test::SetDword(read_only.get(), u"v", 2), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::RegDeleteValueW(read_only.get(), u"v"), win::ERROR_ACCESS_DENIED);

  ScopedKey set_only;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, path, &set_only, win::KEY_SET_VALUE), win::ERROR_SUCCESS);
  EXPECT_EQ(win::RegQueryValueExW(set_only.get(), u"v", nullptr, nullptr, nullptr, &count),
            win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(
      win::RegEnumValueW(set_only.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
      win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::RegEnumKeyW(set_only.get(), 0, name, 16), win::ERROR_ACCESS_DENIED);
  // Wine asks no right for RegQueryInfoKeyW (Windows: KEY_QUERY_VALUE).
  EXPECT_EQ(win::RegQueryInfoKeyW(set_only.get(), nullptr, nullptr, nullptr, &count, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            win::ERROR_SUCCESS);
  EXPECT_EQ(registry_test::SetDword(set_only.get(), u"v", 3), win::ERROR_SUCCESS);

  ScopedKey query_only;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, path, &query_only, win::KEY_QUERY_VALUE), win::ERROR_SUCCESS);
  EXPECT_EQ(win::RegEnumKeyW(query_only.get(), 0, name, 16), win::ERROR_ACCESS_DENIED);
  length = 16;
  EXPECT_EQ(
      win::RegEnumValueW(query_only.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
      win::ERROR_SUCCESS);

  // Creating and deleting below a handle do not depend on its rights.
  ScopedKey created;
  EXPECT_EQ(Create(read_only.get(), u"Child", &created), win::ERROR_SUCCESS);
  created.Close();
  EXPECT_EQ(win::RegDeleteKeyW(read_only.get(), u"Child"), win::ERROR_SUCCESS);
}

}  // namespace
