// Failing allocations from the Nth on, counted only while armed and only
// in the code under test.
#include <memory>
#include <new>

#include "native/emulation_fixture.h"

namespace {

class EmulationAllocationTest : public EmulationTest {
 protected:
  void SetUp() override { emu::Reset(); }
};

TEST_F(EmulationAllocationTest, FailsFromTheNthAllocationOn) {
  for (int i = 0; i < 5; ++i) std::make_unique<int>(i);  // not armed: not counted
  emu::FailAllocationsFrom(3);
  auto first = std::make_unique<int>(1);
  auto second = std::make_unique<int[]>(4);
  EXPECT_THROW(std::make_unique<int>(3), std::bad_alloc);
  EXPECT_THROW(std::make_unique<int>(4), std::bad_alloc);
  EXPECT_EQ(new (std::nothrow) int(5), nullptr);
  emu::FailAllocationsFrom(0);
  EXPECT_NE(std::make_unique<int>(6), nullptr);
}

TEST_F(EmulationAllocationTest, TheEmulationsOwnAllocationsDoNotCount) {
  emu::FailAllocationsFrom(1);
  // Only literals and plain variables here: the test itself must not allocate.
  win::HKEY key = nullptr;
  const win::LONG created =
      win::RegCreateKeyExW(win::HKEY_CURRENT_USER, u"Software\\A\\B", 0, nullptr, 0,
                           win::KEY_ALL_ACCESS, nullptr, &key, nullptr);
  const win::DWORD one = 1;
  const win::LONG set = win::RegSetValueExW(key, u"v", 0, win::REG_DWORD,
                                            reinterpret_cast<const win::BYTE*>(&one), 4);
  const win::LONG closed = win::RegCloseKey(key);
  bool threw = false;
  try {
    static_cast<void>(std::make_unique<int>(1));
  } catch (const std::bad_alloc&) {
    threw = true;
  }
  emu::FailAllocationsFrom(0);
  EXPECT_EQ(created, win::ERROR_SUCCESS);
  EXPECT_EQ(set, win::ERROR_SUCCESS);
  EXPECT_EQ(closed, win::ERROR_SUCCESS);
  EXPECT_TRUE(threw);
  EXPECT_EQ(emu::Calls().size(), 3u);
}

}  // namespace
