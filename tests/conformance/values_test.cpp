// RegQueryValueExW and RegSetValueExW: sizes, types and terminators.
#include <cstring>

#include "support/machine_test.h"

namespace {

using registry_test::Open;
using registry_test::SetBytes;
using test_registry::UserScratch;

class ValueTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(Open(win::HKEY_CURRENT_USER, UserScratch(), &key_), win::ERROR_SUCCESS);
  }
  void TearDown() override {
    key_.Close();
    MachineTest::TearDown();
  }
  win::LONG Query(const char16_t* name, win::DWORD* type, void* data, win::DWORD* size) {
    return win::RegQueryValueExW(key_.get(), name, nullptr, type, static_cast<win::BYTE*>(data),
                                 size);
  }
  ScopedKey key_;
};
INSTANTIATE_MACHINE_TEST(ValueTest);

TEST_P(ValueTest, MissingValue) {
  win::DWORD size = 77;
  EXPECT_EQ(Query(u"missing", nullptr, nullptr, &size), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(Query(nullptr, nullptr, nullptr, &size), win::ERROR_FILE_NOT_FOUND);  // default
}

TEST_P(ValueTest, SizesWithoutBufferAndWithTooSmallBuffer) {
  ASSERT_EQ(SetBytes(key_.get(), u"bin", win::REG_BINARY, "\x01\x02\x03\x04\x05", 5),
            win::ERROR_SUCCESS);
  win::DWORD type = 0;
  win::DWORD size = 0;
  EXPECT_EQ(Query(u"bin", &type, nullptr, &size), win::ERROR_SUCCESS);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, win::REG_BINARY);

  char buffer[8];
  size = 4;
  type = 0;
  EXPECT_EQ(Query(u"bin", &type, buffer, &size), win::ERROR_MORE_DATA);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, win::REG_BINARY);

  size = 5;
  EXPECT_EQ(Query(u"bin", &type, buffer, &size), win::ERROR_SUCCESS);
  EXPECT_EQ(std::memcmp(buffer, "\x01\x02\x03\x04\x05", 5), 0);
}

TEST_P(ValueTest, TypesAndEmptyDataComeBackAsStored) {
  ASSERT_EQ(SetBytes(key_.get(), u"none", win::REG_NONE, nullptr, 0), win::ERROR_SUCCESS);
  ASSERT_EQ(SetBytes(key_.get(), u"odd", 0x1234, "ab", 2), win::ERROR_SUCCESS);
  EXPECT_EQ(SetBytes(key_.get(), u"bad", win::REG_BINARY, nullptr, 4), win::ERROR_NOACCESS);
  win::DWORD type = 99;
  win::DWORD size = 99;
  EXPECT_EQ(Query(u"none", &type, nullptr, &size), win::ERROR_SUCCESS);
  EXPECT_EQ(type, win::REG_NONE);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(Query(u"odd", &type, nullptr, &size), win::ERROR_SUCCESS);
  EXPECT_EQ(type, 0x1234u);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(Query(u"bad", &type, nullptr, &size), win::ERROR_FILE_NOT_FOUND);
}

TEST_P(ValueTest, TextTerminators) {
  // Stored with its terminator: counted.
  const char16_t with_nul[] = u"abc";
  ASSERT_EQ(SetBytes(key_.get(), u"with", win::REG_SZ, with_nul, 8), win::ERROR_SUCCESS);
  // The size leaves the terminator out but one follows in memory: Windows
  // counts it anyway.
  ASSERT_EQ(SetBytes(key_.get(), u"counted", win::REG_SZ, with_nul, 6), win::ERROR_SUCCESS);
  // No terminator follows: stored as given.
  const char16_t longer[] = u"abcd";
  ASSERT_EQ(SetBytes(key_.get(), u"bare", win::REG_SZ, longer, 6), win::ERROR_SUCCESS);

  win::DWORD size = 0;
  EXPECT_EQ(Query(u"with", nullptr, nullptr, &size), win::ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(Query(u"counted", nullptr, nullptr, &size), win::ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(Query(u"bare", nullptr, nullptr, &size), win::ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);

  // With room, the missing terminator is added but not counted.
  char16_t text[8];
  std::memset(text, 0x55, sizeof text);
  size = sizeof text;
  EXPECT_EQ(Query(u"bare", nullptr, text, &size), win::ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(std::u16string(text), u"abc");
  // Without room, nothing is added.
  std::memset(text, 0x55, sizeof text);
  size = 6;
  EXPECT_EQ(Query(u"bare", nullptr, text, &size), win::ERROR_SUCCESS);
  EXPECT_EQ(text[3], 0x5555);
}

TEST_P(ValueTest, DeleteValue) {
  ASSERT_EQ(registry_test::SetDword(key_.get(), u"v", 1), win::ERROR_SUCCESS);
  EXPECT_EQ(win::RegDeleteValueW(key_.get(), u"V"), win::ERROR_SUCCESS);
  EXPECT_EQ(win::RegDeleteValueW(key_.get(), u"v"), win::ERROR_FILE_NOT_FOUND);
}

}  // namespace
