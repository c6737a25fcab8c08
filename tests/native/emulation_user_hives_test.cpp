// HKEY_USERS: the process user's hive is HKCU itself, other accounts' hives
// sit beside it, and none of them is redirected on WOW64.
#include <stdexcept>

#include "native/emulation_fixture.h"

namespace {

using registry_test::Create;
using registry_test::Open;
using registry_test::Probe;
using registry_test::SubKeys;
using win::HKEY_CURRENT_USER;
using win::HKEY_USERS;

const char16_t kOwnSid[] = u"S-1-5-21-0-0-0-1000";  // the process user after Reset
const char kOther[] = "HKU\\S-1-5-21-1-2-3-1001";

class EmulationUserHivesTest : public EmulationTest {};

win::DWORD ReadDword(win::HKEY key, const char16_t* name) {
  win::DWORD value = 0;
  win::DWORD size = sizeof value;
  const win::LONG result = win::RegQueryValueExW(key, name, nullptr, nullptr,
                                                 reinterpret_cast<win::BYTE*>(&value), &size);
  return result == win::ERROR_SUCCESS ? value : 0xDEADu;
}

TEST_F(EmulationUserHivesTest, TheProcessUsersHiveUnderHkuIsHkcu) {
  Start("HKCU\\Software\\App\n  v = dword:1\n");
  ScopedKey key;
  ASSERT_EQ(Open(HKEY_USERS, std::u16string(kOwnSid) + u"\\software\\app", &key),
            win::ERROR_SUCCESS);
  EXPECT_EQ(ReadDword(key.get(), u"v"), 1u);
  // One key, one name in the log, however it was reached.
  EXPECT_EQ(emu::Calls().back().path, "HKCU\\Software\\App");
  ASSERT_EQ(registry_test::SetDword(key.get(), u"w", 2), win::ERROR_SUCCESS);
  ScopedKey made;
  ASSERT_EQ(Create(key.get(), u"Made", &made), win::ERROR_SUCCESS);
  EXPECT_EQ(emu::Calls().back().path, "HKCU\\Software\\App\\Made");

  ScopedKey through_hkcu;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, u"Software\\App", &through_hkcu), win::ERROR_SUCCESS);
  EXPECT_EQ(ReadDword(through_hkcu.get(), u"w"), 2u);
  EXPECT_EQ(SubKeys(through_hkcu.get()), std::vector<std::u16string>{u"Made"});
  EXPECT_EQ(emu::Dump(),
            "HKCU\n"
            "HKCU\\Software\n"
            "HKCU\\Software\\App\n"
            "  v = dword:0x1\n"
            "  w = dword:0x2\n"
            "HKCU\\Software\\App\\Made\n"
            "HKLM\n"
            "HKLM\\SOFTWARE\n");  // no HKU section: the hive is HKCU's
}

TEST_F(EmulationUserHivesTest, LoadOfTheOwnSidFillsHkcu) {
  Start("HKU\\S-1-5-21-0-0-0-1000\\Software\\App\n  v = dword:3\n");
  ScopedKey key;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, u"Software\\App", &key), win::ERROR_SUCCESS);
  EXPECT_EQ(ReadDword(key.get(), u"v"), 3u);
}

TEST_F(EmulationUserHivesTest, ChangingTheProcessUserRenamesHkcusEntry) {
  Start("HKCU\\Software\\App\n");
  emu::SetProcessUser(u"S-1-5-21-7-7-7-1005");
  EXPECT_EQ(Probe(HKEY_USERS, u"S-1-5-21-7-7-7-1005\\Software\\App"), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(HKEY_USERS, std::u16string(kOwnSid)), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software\\App"), win::ERROR_SUCCESS);
  emu::Load("HKU\\S-1-5-21-7-7-7-1005\\Software\\Other\n");
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software\\Other"), win::ERROR_SUCCESS);

  emu::Load(std::string(kOther) + "\n");
  EXPECT_THROW(emu::SetProcessUser(u"S-1-5-21-1-2-3-1001"), std::invalid_argument);
  EXPECT_THROW(emu::SetProcessUser(u"S-1-5-"), std::invalid_argument);
  EXPECT_THROW(emu::SetProcessUser(u"Administrator"), std::invalid_argument);
  emu::Reset();
  EXPECT_EQ(SubKeys(HKEY_USERS), std::vector<std::u16string>{kOwnSid});
}

TEST_F(EmulationUserHivesTest, OtherHivesAreTheirOwnKeys) {
  Start(std::string(kOther) + "\\Software\\App\n  v = dword:4\n");
  EXPECT_EQ(Probe(HKEY_CURRENT_USER, u"Software\\App"), win::ERROR_FILE_NOT_FOUND);
  ScopedKey key;
  ASSERT_EQ(Open(HKEY_USERS, u"s-1-5-21-1-2-3-1001\\SOFTWARE\\App", &key), win::ERROR_SUCCESS);
  EXPECT_EQ(emu::Calls().back().path, "HKU\\S-1-5-21-1-2-3-1001\\Software\\App");
  EXPECT_EQ(ReadDword(key.get(), u"v"), 4u);
  ASSERT_EQ(registry_test::SetDword(key.get(), u"v", 5), win::ERROR_SUCCESS);
  ScopedKey missing;
  EXPECT_EQ(Open(HKEY_USERS, u"S-1-5-21-1-2-3-1001\\Software\\Nope", &missing),
            win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(emu::Calls().back().path, "HKU\\S-1-5-21-1-2-3-1001\\Software\\Nope");
  emu::FailPath("hku\\s-1-5-21-1-2-3-1001\\software\\app", win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(registry_test::SetDword(key.get(), u"v", 6), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Probe(HKEY_USERS, u"S-1-5-21-1-2-3-1001\\Software"), win::ERROR_SUCCESS);
  EXPECT_NE(emu::Dump().find("HKLM\\SOFTWARE\n"
                             "HKU\\S-1-5-21-1-2-3-1001\n"
                             "HKU\\S-1-5-21-1-2-3-1001\\Software\n"
                             "HKU\\S-1-5-21-1-2-3-1001\\Software\\App\n"
                             "  v = dword:0x5\n"),
            std::string::npos);
}

TEST_F(EmulationUserHivesTest, HkuIsARootThatListsTheLoadedSids) {
  Start("HKU\\S-1-5-21-9-9-9-1002\nHKU\\S-1-5-18\\Software\n");
  ScopedKey root;
  ASSERT_EQ(win::RegOpenKeyExW(HKEY_USERS, nullptr, 0, win::KEY_READ, root.Receive()),
            win::ERROR_SUCCESS);
  EXPECT_EQ(root.get(), HKEY_USERS);  // the root itself, as for the other roots
  *root.Receive() = nullptr;
  ASSERT_EQ(Open(HKEY_USERS, u"", &root), win::ERROR_SUCCESS);
  EXPECT_EQ(root.get(), HKEY_USERS);
  EXPECT_EQ(root.Close(), win::ERROR_SUCCESS);
  EXPECT_EQ(SubKeys(HKEY_USERS),
            (std::vector<std::u16string>{u"S-1-5-18", kOwnSid, u"S-1-5-21-9-9-9-1002"}));
  win::DWORD sub_keys = 0;
  win::DWORD longest = 0;
  ASSERT_EQ(win::RegQueryInfoKeyW(HKEY_USERS, nullptr, nullptr, nullptr, &sub_keys, &longest,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            win::ERROR_SUCCESS);
  EXPECT_EQ(sub_keys, 3u);
  EXPECT_EQ(longest, 19u);
}

TEST_F(EmulationUserHivesTest, NoKeyIsMadeOrDeletedDirectlyBelowHku) {
  Start(std::string(kOther) + "\n");
  const std::string before = emu::Dump();
  ScopedKey key;
  *key.Receive() = HKEY_USERS;
  EXPECT_EQ(Create(HKEY_USERS, u"S-1-5-21-4-4-4-1003", &key), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(key.get(), nullptr);
  EXPECT_EQ(Create(HKEY_USERS, u"S-1-5-21-4-4-4-1003\\Software", &key), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::RegDeleteKeyW(HKEY_USERS, u"S-1-5-21-1-2-3-1001"), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::RegDeleteKeyW(HKEY_USERS, kOwnSid), win::ERROR_ACCESS_DENIED);
  ScopedKey hive;
  ASSERT_EQ(Open(HKEY_USERS, u"S-1-5-21-1-2-3-1001", &hive), win::ERROR_SUCCESS);
  EXPECT_EQ(win::RegDeleteKeyW(hive.get(), u""), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(emu::Dump(), before);

  // Opening an existing hive through create is no creation; inside a hive
  // keys come and go as anywhere.
  win::DWORD disposition = 0;
  ASSERT_EQ(win::RegCreateKeyExW(HKEY_USERS, u"S-1-5-21-1-2-3-1001", 0, nullptr, 0, win::KEY_READ,
                                 nullptr, key.Receive(), &disposition),
            win::ERROR_SUCCESS);
  EXPECT_EQ(disposition, win::REG_OPENED_EXISTING_KEY);
  ASSERT_EQ(Create(HKEY_USERS, u"S-1-5-21-1-2-3-1001\\Software", &key), win::ERROR_SUCCESS);
  key.Close();
  EXPECT_EQ(win::RegDeleteKeyW(HKEY_USERS, u"S-1-5-21-1-2-3-1001\\Software"), win::ERROR_SUCCESS);
  EXPECT_EQ(emu::Dump(), before);
}

// As HKCU\Software, the other hives' keys are the same in both views.
TEST_F(EmulationUserHivesTest, NothingBelowHkuIsRedirectedOnWow64) {
  Start(std::string(kOther) + "\\Software\\App\n", emu::Machine::Wow64);
  for (win::REGSAM view : {0u, win::KEY_WOW64_32KEY, win::KEY_WOW64_64KEY}) {
    ScopedKey key;
    ASSERT_EQ(Create(HKEY_USERS, u"S-1-5-21-1-2-3-1001\\Software\\App\\Made", &key,
                     win::KEY_ALL_ACCESS | view),
              win::ERROR_SUCCESS);
    EXPECT_EQ(emu::Calls().back().path, "HKU\\S-1-5-21-1-2-3-1001\\Software\\App\\Made");
    ScopedKey own;
    ASSERT_EQ(Create(HKEY_USERS, std::u16string(kOwnSid) + u"\\Software\\Own", &own,
                     win::KEY_ALL_ACCESS | view),
              win::ERROR_SUCCESS);
    EXPECT_EQ(emu::Calls().back().path, "HKCU\\Software\\Own");
  }
  EXPECT_EQ(emu::Dump(),
            "HKCU\n"
            "HKCU\\Software\n"
            "HKCU\\Software\\Own\n"
            "HKLM\n"
            "HKLM\\SOFTWARE\n"
            "HKLM\\SOFTWARE\\Wow6432Node\n"
            "HKU\\S-1-5-21-1-2-3-1001\n"
            "HKU\\S-1-5-21-1-2-3-1001\\Software\n"
            "HKU\\S-1-5-21-1-2-3-1001\\Software\\App\n"
            "HKU\\S-1-5-21-1-2-3-1001\\Software\\App\\Made\n");
}

}  // namespace
