// Load and Dump: the text form of the whole registry.
#include <stdexcept>

#include "native/emulation_fixture.h"

namespace {

class EmulationTextTest : public EmulationTest {};

// In Dump order: keys and values sorted by lower-cased name.
const char kSample[] =
    "HKCU\n"
    "HKCU\\Software\n"
    "HKCU\\Software\\App\n"
    "  @ = sz:default text\n"
    "  \"@\" = none:\n"
    "  \"a \\\"quoted\\\" name\" = hex(7):61,00,00,00,00,00\n"
    "  Bare = hex(1):61,00,62,00\n"
    "  Count = dword:0x2a\n"
    "  Empty = hex:\n"
    "  Path = expand_sz:%ProgramFiles%\\App\n"
    "  \"with = sign\" = hex:01,02,ff\n"
    "HKCU\\Software\\App\\_\n"
    "HKCU\\Software\\App\\b\n"
    "HKCU\\Software\\App\\C\n"
    "HKLM\n"
    "HKLM\\SOFTWARE\n"
    "HKLM\\SOFTWARE\\Wow6432Node\n"
    "HKLM\\SOFTWARE\\Wow6432Node\\App\n"
    "  Ünïcode = sz:ÄÖÜ €\n";

TEST_F(EmulationTextTest, DumpIsTheLoadFormatAndRoundTrips) {
  Start(kSample, emu::Machine::Wow64);
  EXPECT_EQ(emu::Dump(), kSample);
  emu::Reset(emu::Machine::Wow64);
  emu::Load(emu::Dump());
  emu::Load(kSample);
  EXPECT_EQ(emu::Dump(), kSample);
}

TEST_F(EmulationTextTest, LoadedDataIsWhatTheApiReads) {
  Start(
      "# comment\n"
      "\n"
      "HKCU\\Software\\App\\\n"
      "  Count = dword:42\n"
      "  Text = sz:abc\n");
  ScopedKey key;
  ASSERT_EQ(registry_test::Open(win::HKEY_CURRENT_USER, u"software\\app", &key),
            win::ERROR_SUCCESS);
  win::DWORD number = 0;
  win::DWORD size = sizeof number;
  win::DWORD type = 0;
  EXPECT_EQ(win::RegQueryValueExW(key.get(), u"count", nullptr, &type,
                                  reinterpret_cast<win::BYTE*>(&number), &size),
            win::ERROR_SUCCESS);
  EXPECT_EQ(number, 42u);
  EXPECT_EQ(type, win::REG_DWORD);
  size = 0;
  EXPECT_EQ(win::RegQueryValueExW(key.get(), u"Text", nullptr, &type, nullptr, &size),
            win::ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);  // terminator included
  EXPECT_EQ(type, win::REG_SZ);
  EXPECT_EQ(emu::Calls().size(), 3u);  // Load itself is not logged
}

TEST_F(EmulationTextTest, ApiWritesShowInTheDump) {
  Start("");
  ScopedKey key;
  ASSERT_EQ(registry_test::Create(win::HKEY_CURRENT_USER, u"Software\\Z\\Y", &key),
            win::ERROR_SUCCESS);
  const char16_t unterminated[] = u"ab!";
  ASSERT_EQ(registry_test::SetBytes(key.get(), u"t", win::REG_SZ, unterminated, 4),
            win::ERROR_SUCCESS);
  ASSERT_EQ(registry_test::SetDword(key.get(), u"d", 7), win::ERROR_SUCCESS);
  EXPECT_EQ(emu::Dump(),
            "HKCU\n"
            "HKCU\\Software\n"
            "HKCU\\Software\\Z\n"
            "HKCU\\Software\\Z\\Y\n"
            "  d = dword:0x7\n"
            "  t = hex(1):61,00,62,00\n"
            "HKLM\n"
            "HKLM\\SOFTWARE\n");
}

TEST_F(EmulationTextTest, MalformedLinesThrow) {
  emu::Reset();
  EXPECT_THROW(emu::Load("  v = dword:1\n"), std::invalid_argument);
  EXPECT_THROW(emu::Load("HKCR\\x\n"), std::invalid_argument);
  EXPECT_THROW(emu::Load("HKCU\\x\n  v = dword:zz\n"), std::invalid_argument);
  EXPECT_THROW(emu::Load("HKCU\\x\n  v = qword:1\n"), std::invalid_argument);
  EXPECT_THROW(emu::Load("HKCU\\x\n  v = hex:1g\n"), std::invalid_argument);
}

}  // namespace
