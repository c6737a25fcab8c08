// RegKeyW against a real registry: natively the emulation, under Wine the
// Wine registry. Both must give the same answers.
#include "registry/reg_key.h"

#include <gtest/gtest.h>

#include <string>

#include "conformance/registry_layer_fixture.h"

namespace {

using RegKeyWTest = RegistryLayerTest;

constexpr win::DWORD kMissing = 0xFFFFFFFFu;

std::u16string Text(const char16_t* text) { return std::u16string(text); }

TEST_F(RegKeyWTest, KeyThatDoesNotOpenGivesSentinelsAndWritesNothing) {
  RegKeyW key(scratch_, u"Missing", win::KEY_ALL_ACCESS, false);
  EXPECT_EQ(key.handle(), nullptr);
  // Kept so that the key can still be deleted by name.
  EXPECT_EQ(key.parent(), scratch_);
  EXPECT_EQ(Text(key.name()), u"Missing");
  EXPECT_TRUE(key.IsWritable());

  EXPECT_FALSE(key.SetDword(u"v", 1));
  EXPECT_FALSE(key.SetString(u"v", u"x"));
  EXPECT_FALSE(key.SetBinary(u"v", "x", 1));
  EXPECT_FALSE(key.DeleteValue(u"v"));
  EXPECT_EQ(key.GetDword(u"v"), kMissing);
  EXPECT_EQ(key.GetValueType(u"v"), 0u);
  EXPECT_FALSE(key.HasValue(u"v"));
  const char16_t* text = key.GetString(u"v");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(Text(text), u"");
  win::DWORD size = 77;
  EXPECT_EQ(key.GetBinary(u"v", &size), nullptr);
  EXPECT_EQ(size, 0u);
  size = 77;
  EXPECT_EQ(key.GetValueInfo(u"v", &size), 0u);
  EXPECT_EQ(size, 77u);
  EXPECT_FALSE(Exists(u"Missing"));
}

TEST_F(RegKeyWTest, CreateMakesEveryMissingKeyOnThePath) {
  RegKeyW key(scratch_, u"A\\B\\C", win::KEY_ALL_ACCESS, true);
  ASSERT_NE(key.handle(), nullptr);
  EXPECT_TRUE(Exists(u"A\\B\\C"));
  EXPECT_EQ(key.access(), win::KEY_ALL_ACCESS);
  // Opening it again finds the same key.
  ASSERT_TRUE(key.SetDword(u"v", 3));
  RegKeyW again(scratch_, u"a\\b\\c", win::KEY_READ, true);
  EXPECT_EQ(again.GetDword(u"V"), 3u);
}

TEST_F(RegKeyWTest, WritabilityFollowsTheMaskAndTheParent) {
  Create(u"K");
  for (win::REGSAM view : {0u, win::KEY_WOW64_64KEY}) {
    EXPECT_FALSE(RegKeyW(scratch_, u"K", win::KEY_READ | view, false).IsWritable());
    EXPECT_TRUE(RegKeyW(scratch_, u"K", 0x2001F | view, false).IsWritable());
    EXPECT_TRUE(RegKeyW(scratch_, u"K", 0x20007 | view, false).IsWritable());
    EXPECT_TRUE(RegKeyW(scratch_, u"K", win::KEY_ALL_ACCESS | view, false).IsWritable());
  }
  RegKeyW key(scratch_, u"K", win::KEY_ALL_ACCESS, false);
  key.Close();
  EXPECT_FALSE(key.IsWritable());
}

TEST_F(RegKeyWTest, ReadOnlyKeyRefusesEveryWriter) {
  PutDword(u"K", u"v", 5);
  RegKeyW key(scratch_, u"K", win::KEY_READ, false);
  ASSERT_NE(key.handle(), nullptr);
  EXPECT_FALSE(key.SetDword(u"v", 0));
  EXPECT_FALSE(key.SetString(u"s", u"x"));
  EXPECT_FALSE(key.SetBinary(u"b", "x", 1));
  EXPECT_FALSE(key.DeleteValue(u"v"));
  EXPECT_EQ(key.GetDword(u"v"), 5u);
  EXPECT_EQ(reg_test::ValueCount(win::HKEY_CURRENT_USER, Path(u"K")), 1);
}

TEST_F(RegKeyWTest, DwordRoundTripAndTheMissingSentinel) {
  RegKeyW key(scratch_, u"K", 0x2001F, true);
  ASSERT_TRUE(key.SetDword(u"v", 7));
  EXPECT_EQ(key.GetDword(u"v"), 7u);
  const reg_test::StoredValue stored = Get(u"K", u"v");
  EXPECT_EQ(stored.type, win::REG_DWORD);
  EXPECT_EQ(stored.data, reg_test::DwordBytes(7));

  // 0xFFFFFFFF reads like a missing value, though the value is there.
  ASSERT_TRUE(key.SetDword(u"v", kMissing));
  EXPECT_EQ(key.GetDword(u"v"), kMissing);
  EXPECT_TRUE(key.HasValue(u"v"));
  EXPECT_EQ(key.GetDword(u"absent"), kMissing);
}

TEST_F(RegKeyWTest, GetDwordOfOtherTypesIsTheSentinel) {
  PutText(u"K", u"short", win::REG_SZ, u"a");  // 4 bytes, like a DWORD
  PutText(u"K", u"long", win::REG_SZ, u"longer text");
  PutValue(u"K", u"binary", win::REG_BINARY, reg_test::DwordBytes(9));
  RegKeyW key(scratch_, u"K", win::KEY_READ, false);
  EXPECT_EQ(key.GetDword(u"short"), kMissing);
  EXPECT_EQ(key.GetDword(u"long"), kMissing);
  EXPECT_EQ(key.GetDword(u"binary"), kMissing);
}

TEST_F(RegKeyWTest, TypesAndSizes) {
  PutValue(u"K", u"none", win::REG_NONE, {1, 2});
  PutValue(u"K", u"binary", win::REG_BINARY, {1, 2, 3, 4, 5});
  PutValue(u"K", u"odd", 11, {1});
  RegKeyW key(scratch_, u"K", win::KEY_READ, false);

  // REG_NONE is indistinguishable from a missing value.
  EXPECT_EQ(key.GetValueType(u"none"), 0u);
  EXPECT_FALSE(key.HasValue(u"none"));
  EXPECT_EQ(key.GetValueType(u"binary"), win::REG_BINARY);
  EXPECT_TRUE(key.HasValue(u"binary"));
  EXPECT_EQ(key.GetValueType(u"odd"), 11u);

  win::DWORD size = 0;
  EXPECT_EQ(key.GetValueInfo(u"binary", &size), win::REG_BINARY);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(key.GetValueInfo(u"absent", &size), 0u);
}

TEST_F(RegKeyWTest, SetStringStoresTheTerminator) {
  RegKeyW key(scratch_, u"K", win::KEY_ALL_ACCESS, true);
  ASSERT_TRUE(key.SetString(u"s", u"abc"));
  reg_test::StoredValue stored = Get(u"K", u"s");
  EXPECT_EQ(stored.type, win::REG_SZ);
  EXPECT_EQ(stored.data, reg_test::Bytes(u"abc", true));
  EXPECT_EQ(stored.data.size(), 8u);
  EXPECT_EQ(Text(key.GetString(u"s")), u"abc");

  ASSERT_TRUE(key.SetString(u"empty", u""));
  EXPECT_EQ(Get(u"K", u"empty").data.size(), 2u);
}

TEST_F(RegKeyWTest, GetStringReadsTextsOnly) {
  PutText(u"K", u"sz", win::REG_SZ, u"plain");
  PutText(u"K", u"unterminated", win::REG_SZ, u"abc", false);
  PutDword(u"K", u"dword", 0x00410041);  // "AA" if read as text
  PutValue(u"K", u"binary", win::REG_BINARY, reg_test::Bytes(u"xy", true));
  PutValue(u"K", u"empty", win::REG_SZ, {});
  RegKeyW key(scratch_, u"K", win::KEY_READ, false);

  EXPECT_EQ(Text(key.GetString(u"sz")), u"plain");
  EXPECT_EQ(Text(key.GetString(u"unterminated")), u"abc");
  EXPECT_EQ(Text(key.GetString(u"dword")), u"");
  EXPECT_EQ(Text(key.GetString(u"binary")), u"");
  EXPECT_EQ(Text(key.GetString(u"empty")), u"");
  EXPECT_EQ(Text(key.GetString(u"absent")), u"");
}

TEST_F(RegKeyWTest, GetStringSharesOneBufferAcrossKeys) {
  PutText(u"K1", u"s", win::REG_SZ, u"first");
  PutText(u"K2", u"s", win::REG_SZ, u"second");
  RegKeyW first(scratch_, u"K1", win::KEY_READ, false);
  RegKeyW second(scratch_, u"K2", win::KEY_READ, false);
  const char16_t* a = first.GetString(u"s");
  const char16_t* b = second.GetString(u"s");
  EXPECT_EQ(a, b);
  EXPECT_EQ(Text(a), u"second");
  // A failed read leaves the empty text, not the previous value.
  EXPECT_EQ(Text(first.GetString(u"absent")), u"");
}

TEST_F(RegKeyWTest, GetStringAtTheBufferLimit) {
  const std::u16string fits(RegKeyW::kStringCapacity - 1, u'x');  // with its NUL: 2080 bytes
  const std::u16string full(RegKeyW::kStringCapacity, u'y');
  PutText(u"K", u"fits", win::REG_SZ, fits);
  PutText(u"K", u"full_unterminated", win::REG_SZ, full, false);
  PutText(u"K", u"too_long", win::REG_SZ, full);
  RegKeyW key(scratch_, u"K", win::KEY_READ, false);

  EXPECT_EQ(Text(key.GetString(u"fits")), fits);
  // Data filling the whole buffer without a NUL: the last character gives way
  // to the terminator.
  EXPECT_EQ(Text(key.GetString(u"full_unterminated")), full.substr(0, full.size() - 1));
  EXPECT_EQ(Text(key.GetString(u"too_long")), u"");
}

TEST_F(RegKeyWTest, GetStringExpandsExpandSz) {
  const std::u16string unknown = u"%SKERROW_SURELY_UNSET_VARIABLE%\\bin";
  const std::u16string fits(RegKeyW::kStringCapacity - 1, u'z');
  PutText(u"K", u"plain", win::REG_EXPAND_SZ, u"no variables");
  PutText(u"K", u"unknown", win::REG_EXPAND_SZ, unknown);
  PutText(u"K", u"fits", win::REG_EXPAND_SZ, fits);
  PutText(u"K", u"stored_too_long", win::REG_EXPAND_SZ, fits + u"zz");
  RegKeyW key(scratch_, u"K", win::KEY_READ, false);

  EXPECT_EQ(Text(key.GetString(u"plain")), u"no variables");
  EXPECT_EQ(Text(key.GetString(u"unknown")), unknown);
  EXPECT_EQ(Text(key.GetString(u"fits")), fits);
  EXPECT_EQ(Text(key.GetString(u"stored_too_long")), u"");
}

TEST_F(RegKeyWTest, BinaryRoundTripAndLimits) {
  RegKeyW key(scratch_, u"K", win::KEY_ALL_ACCESS, true);
  const unsigned char bytes[] = {0, 1, 0xFE};
  ASSERT_TRUE(key.SetBinary(u"b", bytes, sizeof(bytes)));
  EXPECT_EQ(Get(u"K", u"b").type, win::REG_BINARY);
  win::DWORD size = 0;
  const win::BYTE* data = key.GetBinary(u"b", &size);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(size, 3u);
  EXPECT_EQ(data[2], 0xFE);

  ASSERT_TRUE(key.SetDword(u"d", 1));
  EXPECT_EQ(key.GetBinary(u"d", &size), nullptr);
  EXPECT_EQ(size, 0u);

  PutValue(u"K", u"fits", win::REG_BINARY, std::vector<win::BYTE>(RegKeyW::kDataCapacity, 7));
  PutValue(u"K", u"too_big", win::REG_BINARY,
           std::vector<win::BYTE>(RegKeyW::kDataCapacity + 1, 7));
  EXPECT_NE(key.GetBinary(u"fits", &size), nullptr);
  EXPECT_EQ(size, RegKeyW::kDataCapacity);
  EXPECT_EQ(key.GetBinary(u"too_big", &size), nullptr);
  EXPECT_EQ(size, 0u);
}

TEST_F(RegKeyWTest, DeleteValue) {
  PutDword(u"K", u"v", 1);
  PutDword(u"K", u"w", 2);
  RegKeyW key(scratch_, u"K", 0x2001F, false);
  EXPECT_TRUE(key.DeleteValue(u"v"));
  EXPECT_FALSE(Get(u"K", u"v").found);
  EXPECT_TRUE(Get(u"K", u"w").found);
  EXPECT_FALSE(key.DeleteValue(u"v"));
}

TEST_F(RegKeyWTest, CloseForgetsEverythingAndIsIdempotent) {
  Create(u"K");
  RegKeyW key(scratch_, u"K", win::KEY_ALL_ACCESS, false);
  ASSERT_NE(key.handle(), nullptr);
  key.Close();
  EXPECT_EQ(key.handle(), nullptr);
  EXPECT_EQ(key.parent(), nullptr);
  EXPECT_EQ(key.name(), nullptr);
  EXPECT_EQ(key.access(), win::KEY_ALL_ACCESS);
  key.Close();
  EXPECT_EQ(key.handle(), nullptr);
  EXPECT_FALSE(key.SetDword(u"v", 1));
  EXPECT_TRUE(Exists(u"K"));
}

TEST_F(RegKeyWTest, NullNameWrapsTheParentHandle) {
  PutDword(u"K", u"v", 4);
  win::HKEY raw = nullptr;
  ASSERT_EQ(win::RegOpenKeyExW(scratch_, u"K", 0, win::KEY_ALL_ACCESS, &raw), win::ERROR_SUCCESS);
  RegKeyW key(raw, nullptr, win::KEY_ALL_ACCESS, false);
  EXPECT_EQ(key.handle(), raw);
  EXPECT_EQ(key.parent(), raw);
  EXPECT_EQ(key.name(), nullptr);
  EXPECT_EQ(key.GetDword(u"v"), 4u);
  EXPECT_TRUE(key.SetDword(u"w", 5));
  EXPECT_EQ(Get(u"K", u"w").data, reg_test::DwordBytes(5));
  // The object owns |raw| now and closes it.
}

TEST_F(RegKeyWTest, HandleOfADeletedKeyFailsQuietly) {
  PutDword(u"K", u"v", 1);
  RegKeyW held(scratch_, u"K", win::KEY_ALL_ACCESS, false);
  ASSERT_NE(held.handle(), nullptr);
  ASSERT_EQ(win::RegDeleteKeyW(scratch_, u"K"), win::ERROR_SUCCESS);

  EXPECT_EQ(held.GetDword(u"v"), kMissing);
  EXPECT_FALSE(held.HasValue(u"v"));
  EXPECT_EQ(Text(held.GetString(u"v")), u"");
  EXPECT_FALSE(held.SetDword(u"v", 2));
  EXPECT_FALSE(held.DeleteValue(u"v"));
  RegKeyW below(held.handle(), u"Child", win::KEY_ALL_ACCESS, true);
  EXPECT_EQ(below.handle(), nullptr);
  EXPECT_FALSE(Exists(u"K"));
}

}  // namespace
