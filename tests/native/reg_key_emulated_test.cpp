// RegKeyW where only the emulation can look: the calls it makes, the handles
// it owns, the environment it expands with, and running out of memory.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "native/emulated_registry_fixture.h"
#include "platform/emulation/emulation.h"
#include "registry/reg_key.h"

namespace {

using RegKeyWEmulatedTest = EmulatedRegistryTest;

constexpr char16_t kKey[] = u"Software\\T\\K";

TEST_F(RegKeyWEmulatedTest, RefusedWritersAndReadersOfAClosedKeyCallNothing) {
  emu::Load("HKCU\\Software\\T\\K\n  v = dword:5\n");
  RegKeyW read_only(win::HKEY_CURRENT_USER, kKey, win::KEY_READ, false);
  RegKeyW missing(win::HKEY_CURRENT_USER, u"Software\\T\\Missing", win::KEY_ALL_ACCESS, false);
  ASSERT_NE(read_only.handle(), nullptr);
  emu::ClearCalls();

  for (RegKeyW* key : {&read_only, &missing}) {
    EXPECT_FALSE(key->SetDword(u"v", 0));
    EXPECT_FALSE(key->SetString(u"v", u"x"));
    EXPECT_FALSE(key->SetBinary(u"v", "x", 1));
    EXPECT_FALSE(key->DeleteValue(u"v"));
  }
  win::DWORD size = 0;
  missing.GetDword(u"v");
  missing.GetString(u"v");
  missing.GetBinary(u"v", &size);
  missing.GetValueType(u"v");
  missing.GetValueInfo(u"v", &size);
  EXPECT_TRUE(emu::Calls().empty());
}

TEST_F(RegKeyWEmulatedTest, OpenPassesTheMaskUnchanged) {
  emu::Reset(emu::Machine::Wow64);
  RegKeyW created(win::HKEY_CURRENT_USER, kKey, 0x2001F | win::KEY_WOW64_64KEY, true);
  RegKeyW opened(win::HKEY_CURRENT_USER, kKey, win::KEY_READ, false);
  EXPECT_EQ(AccessOf("RegCreateKeyExW", "HKCU\\Software\\T\\K"), 0x2011Fu);
  EXPECT_EQ(AccessOf("RegOpenKeyExW", "HKCU\\Software\\T\\K"), win::KEY_READ);
}

TEST_F(RegKeyWEmulatedTest, OwnedHandlesAreClosedExactlyOnce) {
  emu::Load("HKCU\\Software\\T\\K\n");
  {
    RegKeyW key(win::HKEY_CURRENT_USER, kKey, win::KEY_READ, false);
    EXPECT_EQ(emu::OpenHandleCount(), 1u);
    key.Close();
    key.Close();
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
  EXPECT_EQ(emu::CountCalls("RegCloseKey"), 1u);

  // A wrapped handle belongs to the object from then on.
  win::HKEY raw = nullptr;
  ASSERT_EQ(win::RegOpenKeyExW(win::HKEY_CURRENT_USER, kKey, 0, win::KEY_READ, &raw),
            win::ERROR_SUCCESS);
  { RegKeyW wrapping(raw, nullptr, win::KEY_READ, false); }
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

TEST_F(RegKeyWEmulatedTest, ExpandSzUsesTheEnvironmentAndMustFitTheBuffer) {
  const std::u16string long_value(1000, u'v');
  emu::SetEnvironment(u"Root", u"C:\\Apps");
  emu::SetEnvironment(u"LONG", long_value);
  emu::Load(
      "HKCU\\Software\\T\\K\n"
      "  path = expand_sz:%ROOT%\\bin\n"
      "  fits = expand_sz:%LONG%" +
      std::string(39, 'x') +
      "\n"  // 1039 characters
      "  overflows = expand_sz:%LONG%" +
      std::string(40, 'x') + "\n");
  RegKeyW key(win::HKEY_CURRENT_USER, kKey, win::KEY_READ, false);
  EXPECT_EQ(std::u16string(key.GetString(u"path")), u"C:\\Apps\\bin");
  EXPECT_EQ(std::u16string(key.GetString(u"fits")), long_value + std::u16string(39, u'x'));
  EXPECT_EQ(std::u16string(key.GetString(u"overflows")), u"");
}

TEST_F(RegKeyWEmulatedTest, OutOfMemoryLeavesNoHandleBehind) {
  emu::Load("HKCU\\Software\\T\\K\n  e = expand_sz:%X%\n");
  bool thrown = false;
  emu::FailAllocationsFrom(1);
  try {
    RegKeyW key(win::HKEY_CURRENT_USER, kKey, win::KEY_READ, false);
  } catch (const std::bad_alloc&) {
    thrown = true;
  }
  emu::FailAllocationsFrom(0);
  EXPECT_TRUE(thrown);
  // The name copy comes first: Windows was not asked.
  EXPECT_EQ(emu::CountCalls("RegOpenKeyExW"), 0u);

  thrown = false;
  {
    RegKeyW key(win::HKEY_CURRENT_USER, kKey, win::KEY_READ, false);
    emu::FailAllocationsFrom(1);
    try {
      key.GetString(u"e");
    } catch (const std::bad_alloc&) {
      thrown = true;
    }
    emu::FailAllocationsFrom(0);
  }
  EXPECT_TRUE(thrown);
}

}  // namespace
