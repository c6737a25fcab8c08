// The whole-key operations when Windows calls fail or memory runs out, and
// the masks they open keys with.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>

#include "conformance/raw_registry.h"
#include "native/emulated_registry_fixture.h"
#include "platform/emulation/emulation.h"
#include "registry/key_tree.h"

namespace {

using KeyTreeFaultTest = EmulatedRegistryTest;

constexpr char kThreeChildren[] =
    "HKCU\\Software\\T\\K\n"
    "  v = dword:1\n"
    "HKCU\\Software\\T\\K\\C1\n"
    "HKCU\\Software\\T\\K\\C2\n"
    "HKCU\\Software\\T\\K\\C3\n";

bool Exists(const std::u16string& path) {
  return reg_test::KeyExists(win::HKEY_CURRENT_USER, u"Software\\T\\" + path);
}
reg_test::StoredValue Get(const std::u16string& path, const std::u16string& name) {
  return reg_test::GetValue(win::HKEY_CURRENT_USER, u"Software\\T\\" + path, name);
}

TEST_F(KeyTreeFaultTest, ChildThatCannotBeDeletedKeepsTheKey) {
  emu::Load(kThreeChildren);
  // Children go from the highest index down: C3 first.
  emu::FailNthCallOf("RegDeleteKeyW", 1, win::ERROR_ACCESS_DENIED);
  RegKeyW key(win::HKEY_CURRENT_USER, u"Software\\T\\K", win::KEY_ALL_ACCESS, false);
  EXPECT_FALSE(DeleteKeyTree(key, true));
  EXPECT_EQ(key.handle(), nullptr);
  EXPECT_TRUE(Exists(u"K\\C3"));
  EXPECT_FALSE(Exists(u"K\\C2"));
  EXPECT_FALSE(Exists(u"K\\C1"));
}

TEST_F(KeyTreeFaultTest, EnumerationFailureEndsTheWalk) {
  emu::Load(kThreeChildren);
  emu::FailNthCallOf("RegEnumKeyW", 2, win::ERROR_ACCESS_DENIED);
  RegKeyW key(win::HKEY_CURRENT_USER, u"Software\\T\\K", win::KEY_ALL_ACCESS, false);
  EXPECT_FALSE(DeleteKeyTree(key, false));
  EXPECT_FALSE(Exists(u"K\\C3"));
  EXPECT_TRUE(Exists(u"K\\C2"));
  EXPECT_TRUE(Exists(u"K\\C1"));
}

TEST_F(KeyTreeFaultTest, UnansweredInfoQueryMeansNoChildren) {
  emu::Load(kThreeChildren);
  emu::FailNthCallOf("RegQueryInfoKeyW", 1, win::ERROR_ACCESS_DENIED);
  RegKeyW key(win::HKEY_CURRENT_USER, u"Software\\T\\K", win::KEY_ALL_ACCESS, false);
  EXPECT_FALSE(DeleteKeyTree(key, false));
  EXPECT_TRUE(Exists(u"K\\C1"));

  emu::FailNthCallOf("RegQueryInfoKeyW", 1, win::ERROR_ACCESS_DENIED);
  RegKeyW leaf(win::HKEY_CURRENT_USER, u"Software\\T\\K\\C1", win::KEY_ALL_ACCESS, false);
  EXPECT_TRUE(DeleteKeyTree(leaf, false));
  EXPECT_FALSE(Exists(u"K\\C1"));
}

TEST_F(KeyTreeFaultTest, KeyThatFailedToOpenIsDeletedByName) {
  emu::Load("HKCU\\Software\\T\\Leaf\n  v = dword:1\nHKCU\\Software\\T\\Parent\\Child\n");
  emu::FailNthCallOf("RegOpenKeyExW", 1, win::ERROR_ACCESS_DENIED);
  RegKeyW leaf(win::HKEY_CURRENT_USER, u"Software\\T\\Leaf", win::KEY_ALL_ACCESS, false);
  ASSERT_EQ(leaf.handle(), nullptr);
  EXPECT_TRUE(DeleteKeyTree(leaf, false));
  EXPECT_FALSE(Exists(u"Leaf"));

  // Without a handle the children stay unseen, and they block the deletion.
  emu::FailNthCallOf("RegOpenKeyExW", 1, win::ERROR_ACCESS_DENIED);
  RegKeyW parent(win::HKEY_CURRENT_USER, u"Software\\T\\Parent", win::KEY_ALL_ACCESS, false);
  EXPECT_FALSE(DeleteKeyTree(parent, false));
  EXPECT_TRUE(Exists(u"Parent\\Child"));
}

TEST_F(KeyTreeFaultTest, ChildrenTakeTheKeysMaskAncestorsAFixedOne) {
  emu::Reset(emu::Machine::Wow64);
  emu::Load("HKCU\\Software\\T\\A\\B\\C\\D\n");
  RegKeyW scratch(win::HKEY_CURRENT_USER, u"Software\\T", win::KEY_ALL_ACCESS, false);
  RegKeyW key(scratch.handle(), u"A\\B\\C", win::KEY_ALL_ACCESS | win::KEY_WOW64_64KEY, false);
  emu::ClearCalls();
  EXPECT_TRUE(DeleteKeyTree(key, true));
  EXPECT_EQ(AccessOf("RegOpenKeyExW", "HKCU\\Software\\T\\A\\B\\C\\D"), 0xF013Fu);
  EXPECT_EQ(AccessOf("RegOpenKeyExW", "HKCU\\Software\\T\\A\\B"), win::KEY_ALL_ACCESS);
  EXPECT_EQ(AccessOf("RegOpenKeyExW", "HKCU\\Software\\T\\A"), win::KEY_ALL_ACCESS);
  EXPECT_FALSE(Exists(u"A"));
  // The key behind the parent handle stays, empty as it is.
  EXPECT_TRUE(reg_test::KeyExists(win::HKEY_CURRENT_USER, u"Software\\T"));
}

TEST_F(KeyTreeFaultTest, FailedPruningDoesNotChangeTheResult) {
  emu::Load("HKCU\\Software\\T\\A\\B\\C\n");
  RegKeyW scratch(win::HKEY_CURRENT_USER, u"Software\\T", win::KEY_ALL_ACCESS, false);
  // The first deletion is C's own, the second that of the emptied A\B.
  emu::FailNthCallOf("RegDeleteKeyW", 2, win::ERROR_ACCESS_DENIED);
  RegKeyW key(scratch.handle(), u"A\\B\\C", win::KEY_ALL_ACCESS, false);
  EXPECT_TRUE(DeleteKeyTree(key, true));
  EXPECT_FALSE(Exists(u"A\\B\\C"));
  EXPECT_TRUE(Exists(u"A\\B"));

  emu::Load("HKCU\\Software\\T\\A\\B\\C\n");
  emu::FailPath("HKCU\\Software\\T\\A\\B", win::ERROR_ACCESS_DENIED);
  RegKeyW again(scratch.handle(), u"A\\B\\C", win::KEY_ALL_ACCESS, false);
  EXPECT_TRUE(DeleteKeyTree(again, true));
  emu::ClearFaults();
  EXPECT_FALSE(Exists(u"A\\B\\C"));
  EXPECT_TRUE(Exists(u"A\\B"));
}

TEST_F(KeyTreeFaultTest, TrailingBackslashDoesNotStopThePruning) {
  emu::Load("HKCU\\Software\\T\\A\\B\n");
  RegKeyW scratch(win::HKEY_CURRENT_USER, u"Software\\T", win::KEY_ALL_ACCESS, false);
  RegKeyW key(scratch.handle(), u"A\\B\\", win::KEY_ALL_ACCESS, false);
  ASSERT_NE(key.handle(), nullptr);
  EXPECT_TRUE(DeleteKeyTree(key, true));
  EXPECT_FALSE(Exists(u"A"));
}

constexpr char kSource[] =
    "HKCU\\Software\\T\\Src\n"
    "  v1 = dword:1\n"
    "  v2 = dword:2\n"
    "  v3 = dword:3\n"
    "HKCU\\Software\\T\\Src\\X\n"
    "  x = dword:4\n"
    "HKCU\\Software\\T\\Src\\Y\n"
    "  y = dword:5\n";

bool CopySource() {
  RegKeyW source(win::HKEY_CURRENT_USER, u"Software\\T\\Src", win::KEY_READ, false);
  return CopyKeyTree(source, win::HKEY_CURRENT_USER, u"Software\\T\\Dst");
}

TEST_F(KeyTreeFaultTest, CopySkipsWhatFailsAndGoesOn) {
  struct Case {
    const char* function;
    std::size_t nth;
    std::u16string lost_key;    // relative to Dst; empty when none
    std::u16string lost_value;  // in Dst itself; empty when none
  };
  // Sub-keys come first, Y before X, each with its own value writes and
  // reads; then Src's values from v3 down.
  const Case cases[] = {
      {"RegSetValueExW", 4, u"", u"v2"},
      {"RegEnumValueW", 3, u"", u"v3"},
      {"RegCreateKeyExW", 2, u"Y", u""},
      {"RegOpenKeyExW", 3, u"X", u""},  // after the source itself and Y
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    emu::Reset();
    emu::Load(kSource);
    emu::FailNthCallOf(c.function, c.nth, win::ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CopySource());
    emu::ClearFaults();
    for (const char16_t* name : {u"v1", u"v2", u"v3"}) {
      EXPECT_EQ(Get(u"Dst", name).found, c.lost_value != name) << c.nth;
    }
    EXPECT_EQ(Exists(u"Dst\\X"), c.lost_key != u"X");
    EXPECT_EQ(Exists(u"Dst\\Y"), c.lost_key != u"Y");
  }
}

TEST_F(KeyTreeFaultTest, CopyWithoutAnAnswerFromTheSource) {
  emu::Load(kSource);
  emu::FailNthCallOf("RegQueryInfoKeyW", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_TRUE(CopySource());
  EXPECT_TRUE(Exists(u"Dst"));
  EXPECT_EQ(reg_test::ValueCount(win::HKEY_CURRENT_USER, u"Software\\T\\Dst"), 0);
  EXPECT_EQ(reg_test::SubKeyCount(win::HKEY_CURRENT_USER, u"Software\\T\\Dst"), 0);

  emu::Reset();
  emu::Load(kSource);
  emu::FailNthCallOf("RegEnumKeyW", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_TRUE(CopySource());
  EXPECT_EQ(reg_test::SubKeyCount(win::HKEY_CURRENT_USER, u"Software\\T\\Dst"), 0);
  EXPECT_EQ(reg_test::ValueCount(win::HKEY_CURRENT_USER, u"Software\\T\\Dst"), 3);
}

TEST_F(KeyTreeFaultTest, DestinationThatCannotBeCreatedFailsTheCopy) {
  emu::Load(kSource);
  emu::FailNthCallOf("RegCreateKeyExW", 1, win::ERROR_ACCESS_DENIED);
  emu::ClearCalls();
  EXPECT_FALSE(CopySource());
  EXPECT_EQ(emu::CountCalls("RegQueryInfoKeyW"), 0u);
  EXPECT_FALSE(Exists(u"Dst"));
}

TEST_F(KeyTreeFaultTest, CopyOpensSourceChildrenWithTheSourceMask) {
  emu::Reset(emu::Machine::Wow64);
  emu::Load(kSource);
  RegKeyW source(win::HKEY_CURRENT_USER, u"Software\\T\\Src", win::KEY_READ | win::KEY_WOW64_64KEY,
                 false);
  emu::ClearCalls();
  ASSERT_TRUE(CopyKeyTree(source, win::HKEY_CURRENT_USER, u"Software\\T\\Dst"));
  EXPECT_EQ(AccessOf("RegOpenKeyExW", "HKCU\\Software\\T\\Src\\X"), 0x20119u);
  EXPECT_EQ(AccessOf("RegCreateKeyExW", "HKCU\\Software\\T\\Dst"), win::KEY_ALL_ACCESS);
  EXPECT_EQ(AccessOf("RegCreateKeyExW", "HKCU\\Software\\T\\Dst\\X"), win::KEY_ALL_ACCESS);
}

TEST_F(KeyTreeFaultTest, UnansweredQueryIsNotEmpty) {
  emu::Load("HKCU\\Software\\T\\Empty\n");
  RegKeyW key(win::HKEY_CURRENT_USER, u"Software\\T\\Empty", win::KEY_READ, false);
  emu::FailNthCallOf("RegQueryInfoKeyW", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(IsKeyEmpty(key));
  EXPECT_TRUE(IsKeyEmpty(key));
}

// Runs |operation| with allocations failing from the 1st, 2nd, ... on until
// it gets through; every failed run must leave no handle open.
void ExhaustMemoryStepByStep(const char* tree, const std::function<bool()>& operation) {
  for (std::size_t n = 1;; ++n) {
    emu::Reset();
    emu::Load(tree);
    bool thrown = false;
    bool result = false;
    emu::FailAllocationsFrom(n);
    try {
      result = operation();
    } catch (const std::bad_alloc&) {
      thrown = true;
    }
    emu::FailAllocationsFrom(0);
    ASSERT_EQ(emu::OpenHandleCount(), 0u) << "allocation " << n;
    if (!thrown) {
      EXPECT_TRUE(result);
      EXPECT_GT(n, 1u);
      return;
    }
    ASSERT_LT(n, 1000u);
  }
}

TEST_F(KeyTreeFaultTest, OutOfMemoryAnywhereLeavesNoHandleOpen) {
  ExhaustMemoryStepByStep("HKCU\\Software\\T\\A\\B\\C\\D\nHKCU\\Software\\T\\A\\B\\C\\E\n", [] {
    RegKeyW scratch(win::HKEY_CURRENT_USER, u"Software\\T", win::KEY_ALL_ACCESS, false);
    RegKeyW key(scratch.handle(), u"A\\B\\C", win::KEY_ALL_ACCESS, false);
    return DeleteKeyTree(key, true);
  });
  EXPECT_FALSE(Exists(u"A"));

  ExhaustMemoryStepByStep(kSource, CopySource);
  EXPECT_EQ(Get(u"Dst\\Y", u"y").found, true);
  EXPECT_EQ(reg_test::ValueCount(win::HKEY_CURRENT_USER, u"Software\\T\\Dst"), 3);
}

}  // namespace
