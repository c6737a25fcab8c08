#include "registry/wide_str.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "platform/emulation/emulation.h"
#include "registry/wide_alloc.h"

namespace {

std::u16string Text(const WideStr& s) { return s.c_str(); }

TEST(WideStrTest, NullStandsForTheEmptyText) {
  WideStr none;
  EXPECT_TRUE(none.IsNull());
  EXPECT_EQ(none.Length(), 0);
  EXPECT_EQ(Text(none), u"");
  EXPECT_TRUE(WideStr(static_cast<const char16_t*>(nullptr)).IsNull());
  EXPECT_EQ(WideLength(nullptr), 0);

  const char16_t source[] = u"abc";
  WideStr copy(source);
  EXPECT_NE(copy.get(), source);
  EXPECT_EQ(Text(copy), u"abc");
  EXPECT_EQ(copy.Length(), 3);
  WideStr empty(u"");
  EXPECT_FALSE(empty.IsNull());
  EXPECT_EQ(empty.Length(), 0);
}

TEST(WideStrTest, DecimalConversion) {
  EXPECT_EQ(Text(WideStr(18)), u"18");
  EXPECT_EQ(Text(WideStr(-5)), u"-5");
  EXPECT_EQ(Text(WideStr(0)), u"0");
  EXPECT_EQ(Text(WideStr(std::numeric_limits<std::int32_t>::max())), u"2147483647");
  EXPECT_EQ(Text(WideStr(std::numeric_limits<std::int32_t>::min())), u"-2147483648");
}

TEST(WideStrTest, AppendText) {
  WideStr s;
  s.Append(u"");
  s.Append(static_cast<const char16_t*>(nullptr));
  EXPECT_TRUE(s.IsNull());
  s.Append(u"ab");
  EXPECT_EQ(Text(s), u"ab");
  const char16_t* before = s.get();
  s.Append(u"");
  EXPECT_EQ(s.get(), before);
  s.Append(u"cd");
  EXPECT_EQ(Text(s), u"abcd");
  // Its own text: read before the old buffer goes.
  s.Append(s.get());
  EXPECT_EQ(Text(s), u"abcdabcd");
}

TEST(WideStrTest, AppendCharacter) {
  WideStr s;
  s.Append(u'x');
  EXPECT_EQ(Text(s), u"x");
  s.Append(u'\\');
  EXPECT_EQ(Text(s), u"x\\");
  EXPECT_EQ(s.Length(), 2);
}

TEST(WideStrTest, Assign) {
  WideStr s(u"abc");
  s.Assign(s.get() + 1);  // a part of its own text
  EXPECT_EQ(Text(s), u"bc");
  s.Assign(nullptr);
  EXPECT_TRUE(s.IsNull());
  s.Assign(u"");
  EXPECT_FALSE(s.IsNull());
  EXPECT_EQ(s.Length(), 0);
}

TEST(WideStrTest, ConcatenationTakesOverTheBuffer) {
  WideStr path(u"SOFTWARE");
  const char16_t* buffer = path.get();
  WideStr same = std::move(path) + nullptr;
  EXPECT_TRUE(path.IsNull());
  EXPECT_EQ(same.get(), buffer);

  WideStr full = std::move(same) + u"\\InfoCenter";
  EXPECT_TRUE(same.IsNull());
  EXPECT_EQ(Text(full), u"SOFTWARE\\InfoCenter");
  EXPECT_EQ(Text(WideStr() + u"x"), u"x");
  EXPECT_TRUE((WideStr() + u"").IsNull());
}

TEST(WideStrTest, LeftPart) {
  const WideStr abc(u"abc");
  EXPECT_EQ(Text(WideStr::Left(2, abc)), u"ab");
  EXPECT_EQ(Text(WideStr::Left(10, abc)), u"abc");
  const WideStr none = WideStr::Left(0, abc);
  EXPECT_FALSE(none.IsNull());
  EXPECT_EQ(none.Length(), 0);
  EXPECT_FALSE(WideStr::Left(-1, abc).IsNull());
  EXPECT_EQ(WideStr::Left(-1, abc).Length(), 0);
  EXPECT_TRUE(WideStr::Left(3, WideStr()).IsNull());
}

TEST(WideStrTest, AllocationSizeIsGuardedAgainstOverflow) {
  EXPECT_EQ(WideAllocationBytes(1), 2u);
  EXPECT_EQ(WideAllocationBytes(0x7FFFFFFF), 0xFFFFFFFEu);
  EXPECT_EQ(WideAllocationBytes(0x80000000), 0xFFFFFFFFu);
  EXPECT_EQ(WideAllocationBytes(std::uint64_t{1} << 40), 0xFFFFFFFFu);
  EXPECT_THROW(AllocateWide(0x80000000), std::bad_alloc);
}

TEST(WideStrTest, FailedAllocationLeavesTheStringAsItWas) {
  WideStr s(u"abc");
  int thrown = 0;
  emu::FailAllocationsFrom(1);
  try {
    s.Append(u"d");
  } catch (const std::bad_alloc&) {
    ++thrown;
  }
  try {
    s.Assign(u"other");
  } catch (const std::bad_alloc&) {
    ++thrown;
  }
  try {
    WideStr number(42);
  } catch (const std::bad_alloc&) {
    ++thrown;
  }
  emu::FailAllocationsFrom(0);
  EXPECT_EQ(thrown, 3);
  EXPECT_EQ(Text(s), u"abc");
}

}  // namespace
