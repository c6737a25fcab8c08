// The whole-key operations against a real registry (emulated natively, Wine's
// under Wine), judged by the keys and values they leave.
#include "registry/key_tree.h"

#include <gtest/gtest.h>

#include <string>

#include "conformance/registry_layer_fixture.h"

namespace {

using DeleteKeyTreeTest = RegistryLayerTest;
using CopyKeyTreeTest = RegistryLayerTest;
using IsKeyEmptyTest = RegistryLayerTest;
using CanWriteMachineSoftwareTest = RegistryLayerTest;

TEST_F(DeleteKeyTreeTest, ReadOnlyKeyIsRefusedAndLeftOpen) {
  Create(u"K\\Child");
  RegKeyW key(scratch_, u"K", win::KEY_READ, false);
  ASSERT_NE(key.handle(), nullptr);
  EXPECT_FALSE(DeleteKeyTree(key, true));
  EXPECT_NE(key.handle(), nullptr);
  EXPECT_TRUE(Exists(u"K\\Child"));
}

TEST_F(DeleteKeyTreeTest, DeletesEverythingBelowAndClosesTheKey) {
  PutDword(u"K", u"v", 1);
  PutDword(u"K\\B\\C", u"v", 1);
  Create(u"K\\B\\D\\E");
  Create(u"K\\a1");
  Create(u"K\\Z");
  Create(u"Sibling");
  RegKeyW key(scratch_, u"K", win::KEY_ALL_ACCESS, false);
  EXPECT_TRUE(DeleteKeyTree(key, false));
  EXPECT_EQ(key.handle(), nullptr);
  EXPECT_EQ(key.name(), nullptr);
  EXPECT_FALSE(Exists(u"K"));
  EXPECT_TRUE(Exists(u"Sibling"));
}

TEST_F(DeleteKeyTreeTest, PruningRemovesTheEmptiedChainButNotTheParentKey) {
  Create(u"A\\B\\C");
  RegKeyW key(scratch_, u"A\\B\\C", win::KEY_ALL_ACCESS, false);
  EXPECT_TRUE(DeleteKeyTree(key, true));
  EXPECT_FALSE(Exists(u"A"));
  // The key behind the parent handle stays, though it is empty now.
  EXPECT_TRUE(reg_test::KeyExists(win::HKEY_CURRENT_USER, root_));
  EXPECT_EQ(reg_test::SubKeyCount(win::HKEY_CURRENT_USER, root_), 0);
}

TEST_F(DeleteKeyTreeTest, PruningStopsAtTheFirstAncestorThatIsNotEmpty) {
  struct Case {
    const char16_t* with_value;
    const char16_t* with_key;
    const char16_t* survivor;  // highest remaining key of the chain
    const char16_t* gone;
  };
  const Case cases[] = {
      {u"A\\B", nullptr, u"A\\B", u"A\\B\\C"},        // value in the parent
      {nullptr, u"A\\B\\D", u"A\\B\\D", u"A\\B\\C"},  // sibling of the key
      {u"A", nullptr, u"A", u"A\\B"},                 // value two levels up
      {nullptr, u"A\\X", u"A\\X", u"A\\B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.with_value ? "value" : "key"));
    Create(u"A\\B\\C");
    if (c.with_value) PutDword(c.with_value, u"keep", 1);
    if (c.with_key) Create(c.with_key);
    RegKeyW key(scratch_, u"A\\B\\C", win::KEY_ALL_ACCESS, false);
    // Stopping early does not change the result.
    EXPECT_TRUE(DeleteKeyTree(key, true));
    EXPECT_TRUE(Exists(c.survivor));
    EXPECT_FALSE(Exists(c.gone));
    RegKeyW cleanup(scratch_, u"A", win::KEY_ALL_ACCESS, false);
    ASSERT_TRUE(DeleteKeyTree(cleanup, false));
  }
}

TEST_F(DeleteKeyTreeTest, WithoutPruningTheEmptiedParentStays) {
  Create(u"A\\B\\C");
  RegKeyW key(scratch_, u"A\\B\\C", win::KEY_ALL_ACCESS, false);
  EXPECT_TRUE(DeleteKeyTree(key, false));
  EXPECT_FALSE(Exists(u"A\\B\\C"));
  EXPECT_TRUE(Exists(u"A\\B"));
}

TEST_F(DeleteKeyTreeTest, PruningANameWithoutBackslashDeletesOnlyThatKey) {
  Create(u"Single\\Below");
  RegKeyW key(scratch_, u"Single", win::KEY_ALL_ACCESS, false);
  EXPECT_TRUE(DeleteKeyTree(key, true));
  EXPECT_FALSE(Exists(u"Single"));
  EXPECT_TRUE(reg_test::KeyExists(win::HKEY_CURRENT_USER, root_));
}

TEST_F(DeleteKeyTreeTest, KeyOpenedWithTheNativeViewFlagIsPrunedToo) {
  // HKEY_CURRENT_USER\Software is one key in both views.
  Create(u"A\\B");
  RegKeyW key(scratch_, u"A\\B", win::KEY_ALL_ACCESS | win::KEY_WOW64_64KEY, false);
  EXPECT_TRUE(DeleteKeyTree(key, true));
  EXPECT_FALSE(Exists(u"A"));
}

TEST_F(DeleteKeyTreeTest, KeyDeletedMeanwhileReportsFailure) {
  Create(u"K\\Child");
  RegKeyW first(scratch_, u"K", win::KEY_ALL_ACCESS, false);
  RegKeyW second(scratch_, u"K", win::KEY_ALL_ACCESS, false);
  EXPECT_TRUE(DeleteKeyTree(first, false));
  EXPECT_FALSE(IsKeyEmpty(second));
  EXPECT_FALSE(DeleteKeyTree(second, false));
  EXPECT_EQ(second.handle(), nullptr);
}

TEST_F(DeleteKeyTreeTest, KeyThatWrapsOrNamesItsParentIsRefused) {
  Create(u"K");
  win::HKEY raw = nullptr;
  ASSERT_EQ(win::RegOpenKeyExW(scratch_, u"K", 0, win::KEY_ALL_ACCESS, &raw), win::ERROR_SUCCESS);
  RegKeyW wrapping(raw, nullptr, win::KEY_ALL_ACCESS, false);
  EXPECT_FALSE(DeleteKeyTree(wrapping, true));
  EXPECT_EQ(wrapping.handle(), raw);

  RegKeyW self(scratch_, u"", win::KEY_ALL_ACCESS, false);
  EXPECT_FALSE(DeleteKeyTree(self, true));
  EXPECT_TRUE(Exists(u"K"));
}

TEST_F(CopyKeyTreeTest, EmptySourceCreatesTheDestination) {
  Create(u"Src");
  RegKeyW source(scratch_, u"Src", win::KEY_READ, false);
  EXPECT_TRUE(CopyKeyTree(source, scratch_, u"Dst\\Deeper"));
  EXPECT_TRUE(Exists(u"Dst\\Deeper"));
  EXPECT_EQ(reg_test::SubKeyCount(win::HKEY_CURRENT_USER, Path(u"Dst\\Deeper")), 0);
  EXPECT_EQ(reg_test::ValueCount(win::HKEY_CURRENT_USER, Path(u"Dst\\Deeper")), 0);
}

TEST_F(CopyKeyTreeTest, CopiesEveryKeyAndValueExactly) {
  PutText(u"Src", u"", win::REG_SZ, u"default");
  PutDword(u"Src", u"dword", 0xDEADBEEF);
  PutText(u"Src", u"expand", win::REG_EXPAND_SZ, u"%PATH%");
  PutText(u"Src", u"unterminated", win::REG_SZ, u"abc", false);
  PutValue(u"Src", u"none", win::REG_NONE, {9});
  PutValue(u"Src", u"empty", win::REG_BINARY, {});
  PutValue(u"Src", u"big", win::REG_BINARY, std::vector<win::BYTE>(5000, 0x5A));
  PutDword(u"Src\\X", u"x", 1);
  PutDword(u"Src\\X\\Y", u"y", 2);
  Create(u"Src\\Z");
  RegKeyW source(scratch_, u"Src", win::KEY_READ, false);
  ASSERT_TRUE(CopyKeyTree(source, scratch_, u"Dst"));

  for (const char16_t* name :
       {u"", u"dword", u"expand", u"unterminated", u"none", u"empty", u"big"}) {
    const reg_test::StoredValue original = Get(u"Src", name);
    const reg_test::StoredValue copy = Get(u"Dst", name);
    EXPECT_TRUE(copy.found);
    EXPECT_EQ(copy.type, original.type);
    EXPECT_EQ(copy.data, original.data);
  }
  EXPECT_EQ(reg_test::ValueCount(win::HKEY_CURRENT_USER, Path(u"Dst")), 7);
  EXPECT_EQ(Get(u"Dst\\X", u"x").data, reg_test::DwordBytes(1));
  EXPECT_EQ(Get(u"Dst\\X\\Y", u"y").data, reg_test::DwordBytes(2));
  EXPECT_TRUE(Exists(u"Dst\\Z"));
  EXPECT_EQ(reg_test::SubKeyCount(win::HKEY_CURRENT_USER, Path(u"Dst")), 2);
  // The source is only read.
  EXPECT_EQ(reg_test::ValueCount(win::HKEY_CURRENT_USER, Path(u"Src")), 7);
  EXPECT_EQ(source.GetDword(u"dword"), 0xDEADBEEFu);
}

TEST_F(CopyKeyTreeTest, TextWithoutTerminatorFillingTheDataBufferCopiesExactly) {
  // The only value, so its data is exactly as large as the copy's buffer.
  PutText(u"Src", u"text", win::REG_SZ, u"no terminator", false);
  RegKeyW source(scratch_, u"Src", win::KEY_READ, false);
  ASSERT_TRUE(CopyKeyTree(source, scratch_, u"Dst"));
  const reg_test::StoredValue copy = Get(u"Dst", u"text");
  EXPECT_EQ(copy.type, win::REG_SZ);
  EXPECT_EQ(copy.data, reg_test::Bytes(u"no terminator", false));
}

TEST_F(CopyKeyTreeTest, SourceOfEmptyValuesOnly) {
  // The largest value data is 0 bytes here.
  PutValue(u"Src", u"", win::REG_SZ, {});
  PutValue(u"Src", u"b", win::REG_BINARY, {});
  RegKeyW source(scratch_, u"Src", win::KEY_READ, false);
  ASSERT_TRUE(CopyKeyTree(source, scratch_, u"Dst"));
  EXPECT_EQ(Get(u"Dst", u"").type, win::REG_SZ);
  EXPECT_TRUE(Get(u"Dst", u"b").found);
  EXPECT_TRUE(Get(u"Dst", u"b").data.empty());
}

TEST_F(CopyKeyTreeTest, MergesIntoAnExistingDestination) {
  PutDword(u"Src", u"shared", 1);
  PutDword(u"Src", u"new", 2);
  PutDword(u"Src\\K", u"from_source", 3);
  PutText(u"Dst", u"shared", win::REG_SZ, u"old");
  PutDword(u"Dst", u"own", 4);
  PutDword(u"Dst\\K", u"own_below", 5);
  Create(u"Dst\\Only");
  RegKeyW source(scratch_, u"Src", win::KEY_READ, false);
  ASSERT_TRUE(CopyKeyTree(source, scratch_, u"Dst"));

  const reg_test::StoredValue shared = Get(u"Dst", u"shared");
  EXPECT_EQ(shared.type, win::REG_DWORD);
  EXPECT_EQ(shared.data, reg_test::DwordBytes(1));
  EXPECT_EQ(Get(u"Dst", u"new").data, reg_test::DwordBytes(2));
  EXPECT_EQ(Get(u"Dst", u"own").data, reg_test::DwordBytes(4));
  EXPECT_EQ(Get(u"Dst\\K", u"from_source").data, reg_test::DwordBytes(3));
  EXPECT_EQ(Get(u"Dst\\K", u"own_below").data, reg_test::DwordBytes(5));
  EXPECT_TRUE(Exists(u"Dst\\Only"));
}

TEST_F(CopyKeyTreeTest, MachineKeyIntoTheUserHive) {
  const std::u16string machine = test_registry::MachineScratch() + u"\\Settings";
  reg_test::PutDword(win::HKEY_LOCAL_MACHINE, machine, u"InfoCenterOn", 1);
  reg_test::PutDword(win::HKEY_LOCAL_MACHINE, machine + u"\\Sub", u"v", 2);
  RegKeyW source(win::HKEY_LOCAL_MACHINE, machine.c_str(), win::KEY_READ, false);
  ASSERT_NE(source.handle(), nullptr);
  ASSERT_TRUE(CopyKeyTree(source, win::HKEY_CURRENT_USER, Path(u"Settings").c_str()));
  EXPECT_EQ(Get(u"Settings", u"InfoCenterOn").data, reg_test::DwordBytes(1));
  EXPECT_EQ(Get(u"Settings\\Sub", u"v").data, reg_test::DwordBytes(2));
}

TEST_F(CopyKeyTreeTest, RefusesAClosedSourceOrAMissingName) {
  Create(u"Src");
  RegKeyW missing(scratch_, u"Nothing", win::KEY_READ, false);
  EXPECT_FALSE(CopyKeyTree(missing, scratch_, u"Dst"));
  RegKeyW source(scratch_, u"Src", win::KEY_READ, false);
  EXPECT_FALSE(CopyKeyTree(source, scratch_, nullptr));
  EXPECT_FALSE(Exists(u"Dst"));
  EXPECT_EQ(reg_test::SubKeyCount(win::HKEY_CURRENT_USER, root_), 1);
}

TEST_F(IsKeyEmptyTest, CountsSubKeysAndValuesTheDefaultValueIncluded) {
  Create(u"Empty");
  PutText(u"DefaultOnly", u"", win::REG_SZ, u"x");
  PutDword(u"ValueOnly", u"v", 0);
  Create(u"KeyOnly\\Child");
  RegKeyW empty(scratch_, u"Empty", win::KEY_READ, false);
  RegKeyW default_only(scratch_, u"DefaultOnly", win::KEY_READ, false);
  RegKeyW value_only(scratch_, u"ValueOnly", win::KEY_READ, false);
  RegKeyW key_only(scratch_, u"KeyOnly", win::KEY_READ, false);
  RegKeyW missing(scratch_, u"Missing", win::KEY_READ, false);
  EXPECT_TRUE(IsKeyEmpty(empty));
  EXPECT_FALSE(IsKeyEmpty(default_only));
  EXPECT_FALSE(IsKeyEmpty(value_only));
  EXPECT_FALSE(IsKeyEmpty(key_only));
  // A key that is not open is never empty.
  EXPECT_FALSE(IsKeyEmpty(missing));
}

TEST_F(CanWriteMachineSoftwareTest, AgreesWithADirectProbe) {
  win::HKEY raw = nullptr;
  const bool expected = win::RegOpenKeyExW(win::HKEY_LOCAL_MACHINE, u"SOFTWARE", 0,
                                           win::KEY_ALL_ACCESS, &raw) == win::ERROR_SUCCESS;
  if (expected) win::RegCloseKey(raw);
  EXPECT_EQ(CanWriteMachineSoftware(), expected);
  EXPECT_EQ(CanWriteMachineSoftware(), expected);
}

}  // namespace
