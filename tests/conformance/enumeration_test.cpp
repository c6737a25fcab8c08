// Enumeration order, buffer sizes, and what RegQueryInfoKeyW counts.
// Order follows Wine, which keeps keys and values sorted by lower-cased name
// (Windows: keys by upper-cased name, values in creation order).
#include <cstring>

#include "support/machine_test.h"

namespace {

using registry_test::Create;
using registry_test::Open;
using test_registry::UserScratch;
using win::HKEY_CURRENT_USER;

class EnumerationTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, UserScratch(), &scratch_), win::ERROR_SUCCESS);
  }
  void TearDown() override {
    scratch_.Close();
    MachineTest::TearDown();
  }
  void AddKey(const std::u16string& name) {
    ScopedKey key;
    ASSERT_EQ(Create(scratch_.get(), name, &key), win::ERROR_SUCCESS);
  }
  ScopedKey scratch_;
};
INSTANTIATE_MACHINE_TEST(EnumerationTest);

TEST_P(EnumerationTest, SubKeysComeSortedIgnoringCase) {
  for (const char16_t* name : {u"b", u"A", u"_", u"a1", u"B2"}) AddKey(name);
  // Wine folds to lower case, so '_' (0x5F) sorts before the letters; as
  // stored, "A" and "B2" would come before it, "a1" and "b" after it.
  const std::vector<std::u16string> expected{u"_", u"A", u"a1", u"b", u"B2"};
  EXPECT_EQ(registry_test::SubKeys(scratch_.get()), expected);
  char16_t name[8];
  EXPECT_EQ(win::RegEnumKeyW(scratch_.get(), 4, name, 8), win::ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"B2");
  EXPECT_EQ(win::RegEnumKeyW(scratch_.get(), 5, name, 8), win::ERROR_NO_MORE_ITEMS);
}

// Enumerating by index while sub-keys come and go: each index names the key
// that is at that place now.
TEST_P(EnumerationTest, IndexFollowsSubKeysAddedAndDeleted) {
  for (const char16_t* name : {u"b", u"d", u"f", u"h"}) AddKey(name);
  char16_t name[8];
  auto at = [&](win::DWORD index) {
    if (win::RegEnumKeyW(scratch_.get(), index, name, 8) != win::ERROR_SUCCESS) {
      return std::u16string(u"-");
    }
    return std::u16string(name);
  };
  EXPECT_EQ(at(1), u"d");
  EXPECT_EQ(at(2), u"f");
  AddKey(u"a");  // before the last one read
  EXPECT_EQ(at(2), u"d");
  EXPECT_EQ(at(3), u"f");
  AddKey(u"g");  // after it
  EXPECT_EQ(at(4), u"g");
  ASSERT_EQ(win::RegDeleteKeyW(scratch_.get(), u"G"), win::ERROR_SUCCESS);  // the last one read
  EXPECT_EQ(at(4), u"h");
  ASSERT_EQ(win::RegDeleteKeyW(scratch_.get(), u"b"), win::ERROR_SUCCESS);  // before it
  EXPECT_EQ(at(3), u"h");
  EXPECT_EQ(at(4), u"-");
  EXPECT_EQ(at(0), u"a");
  ASSERT_EQ(win::RegDeleteKeyW(scratch_.get(), u"h"), win::ERROR_SUCCESS);  // the last one
  EXPECT_EQ(at(2), u"f");
  EXPECT_EQ(at(3), u"-");
  ASSERT_EQ(win::RegDeleteKeyW(scratch_.get(), u"f"), win::ERROR_SUCCESS);  // the last one read
  EXPECT_EQ(at(2), u"-");
  EXPECT_EQ(at(1), u"d");
}

TEST_P(EnumerationTest, ValuesComeSortedIgnoringCase) {
  for (const char16_t* name : {u"zeta", u"Alpha", u"", u"mid", u"_x"}) {
    ASSERT_EQ(registry_test::SetDword(scratch_.get(), name, 1), win::ERROR_SUCCESS);
  }
  // Rewriting keeps the first spelling; deleting and adding again takes the new one.
  ASSERT_EQ(registry_test::SetDword(scratch_.get(), u"ZETA", 2), win::ERROR_SUCCESS);
  ASSERT_EQ(win::RegDeleteValueW(scratch_.get(), u"alpha"), win::ERROR_SUCCESS);
  ASSERT_EQ(registry_test::SetDword(scratch_.get(), u"ALPHA", 3), win::ERROR_SUCCESS);
  const std::vector<std::u16string> expected{u"", u"_x", u"ALPHA", u"mid", u"zeta"};
  EXPECT_EQ(registry_test::ValueNames(scratch_.get()), expected);
}

TEST_P(EnumerationTest, KeyNameMustFitWithItsTerminator) {
  AddKey(u"abcd");
  char16_t name[8];
  std::memset(name, 0x55, sizeof name);
  win::DWORD length = 4;
  EXPECT_EQ(
      win::RegEnumKeyExW(scratch_.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
      win::ERROR_MORE_DATA);
  EXPECT_EQ(name[0], 0x5555);  // nothing copied
  EXPECT_EQ(win::RegEnumKeyW(scratch_.get(), 0, name, 4), win::ERROR_MORE_DATA);
  EXPECT_EQ(name[0], 0x5555);
  length = 5;
  EXPECT_EQ(
      win::RegEnumKeyExW(scratch_.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
      win::ERROR_SUCCESS);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(std::u16string(name), u"abcd");
  length = 5;
  EXPECT_EQ(
      win::RegEnumKeyExW(scratch_.get(), 1, name, &length, nullptr, nullptr, nullptr, nullptr),
      win::ERROR_NO_MORE_ITEMS);
}

TEST_P(EnumerationTest, ValueNameAndDataMustFit) {
  ASSERT_EQ(registry_test::SetDword(scratch_.get(), u"abcd", 0x01020304), win::ERROR_SUCCESS);
  char16_t name[8];
  std::memset(name, 0x55, sizeof name);
  win::DWORD length = 4;
  win::DWORD type = 0;
  win::BYTE data[8] = {};
  win::DWORD size = 3;
  EXPECT_EQ(win::RegEnumValueW(scratch_.get(), 0, name, &length, nullptr, &type, data, &size),
            win::ERROR_MORE_DATA);
  EXPECT_EQ(name[0], 0x5555);  // the name did not fit: nothing copied

  length = 5;
  size = 3;
  EXPECT_EQ(win::RegEnumValueW(scratch_.get(), 0, name, &length, nullptr, &type, data, &size),
            win::ERROR_MORE_DATA);
  EXPECT_EQ(std::u16string(name), u"abcd");  // the name fitted: copied
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(type, win::REG_DWORD);

  length = 5;
  size = 4;
  EXPECT_EQ(win::RegEnumValueW(scratch_.get(), 0, name, &length, nullptr, &type, data, &size),
            win::ERROR_SUCCESS);
  EXPECT_EQ(data[0], 4);
  length = 5;
  EXPECT_EQ(
      win::RegEnumValueW(scratch_.get(), 1, name, &length, nullptr, nullptr, nullptr, nullptr),
      win::ERROR_NO_MORE_ITEMS);
}

TEST_P(EnumerationTest, QueryInfoCountsNamesAndLargestData) {
  win::DWORD sub_keys = 9, max_key = 9, values = 9, max_name = 9, max_data = 9;
  auto query = [&] {
    return win::RegQueryInfoKeyW(scratch_.get(), nullptr, nullptr, nullptr, &sub_keys, &max_key,
                                 nullptr, &values, &max_name, &max_data, nullptr, nullptr);
  };
  ASSERT_EQ(query(), win::ERROR_SUCCESS);
  EXPECT_EQ(sub_keys + max_key + values + max_name + max_data, 0u);

  ASSERT_EQ(registry_test::SetBytes(scratch_.get(), nullptr, win::REG_BINARY, "12345678", 8),
            win::ERROR_SUCCESS);
  ASSERT_EQ(query(), win::ERROR_SUCCESS);
  EXPECT_EQ(values, 1u);
  EXPECT_EQ(max_name, 0u);  // the default value's name is empty
  EXPECT_EQ(max_data, 8u);

  AddKey(u"ab");
  AddKey(u"ABCDEF");
  ASSERT_EQ(registry_test::SetDword(scratch_.get(), u"xyz", 1), win::ERROR_SUCCESS);
  ASSERT_EQ(query(), win::ERROR_SUCCESS);
  EXPECT_EQ(sub_keys, 2u);
  EXPECT_EQ(max_key, 6u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(max_name, 3u);
  EXPECT_EQ(max_data, 8u);
}

}  // namespace
