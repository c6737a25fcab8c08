// Hive files, loaded below HKEY_USERS with RegLoadKeyW and given back with
// RegUnLoadKeyW, with the privileges both take.
#include "native/emulation_fixture.h"

namespace {

using registry_test::Create;
using registry_test::Open;
using registry_test::Probe;

const char16_t kBob[] = u"C:\\Users\\bob\\NTUSER.DAT";
const char16_t kBobsSid[] = u"S-1-5-21-1-2-3-1002";
const char kBobHive[] =
    "<C:\\Users\\bob\\NTUSER.DAT>\\Software\\Autodesk\n"
    "  v = dword:1\n";

class EmulationHiveFilesTest : public EmulationTest {
 protected:
  void SetUp() override {
    Start(kBobHive);
    ASSERT_TRUE(EnablePrivileges());
    emu::ClearCalls();
  }

  // Enables both hive privileges, as an administrator's process can.
  static bool EnablePrivileges() {
    win::HANDLE token = nullptr;
    if (!win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_ADJUST_PRIVILEGES, &token)) {
      return false;
    }
    win::TOKEN_PRIVILEGES wanted = {};
    wanted.PrivilegeCount = 2;
    bool found =
        win::LookupPrivilegeValueW(nullptr, u"SeBackupPrivilege", &wanted.Privileges[0].Luid) &&
        win::LookupPrivilegeValueW(nullptr, u"SeRestorePrivilege", &wanted.Privileges[1].Luid);
    wanted.Privileges[0].Attributes = wanted.Privileges[1].Attributes = win::SE_PRIVILEGE_ENABLED;
    const bool adjusted = found &&
                          win::AdjustTokenPrivileges(token, 0, &wanted, 0, nullptr, nullptr) &&
                          win::GetLastError() == static_cast<win::DWORD>(win::ERROR_SUCCESS);
    win::CloseHandle(token);
    return adjusted;
  }
};

TEST_F(EmulationHiveFilesTest, LoadedFileIsAHiveBelowUsersUntilUnloaded) {
  ASSERT_EQ(win::RegLoadKeyW(win::HKEY_USERS, kBobsSid, u"c:\\users\\BOB\\ntuser.dat"),
            win::ERROR_SUCCESS);
  EXPECT_EQ(emu::Calls().back().path, "HKU\\S-1-5-21-1-2-3-1002");
  EXPECT_EQ(emu::LoadedHives(), std::vector<std::string>{"S-1-5-21-1-2-3-1002"});
  ScopedKey key;
  ASSERT_EQ(Open(win::HKEY_USERS, u"S-1-5-21-1-2-3-1002\\software\\autodesk", &key),
            win::ERROR_SUCCESS);
  EXPECT_EQ(emu::Calls().back().path, "HKU\\S-1-5-21-1-2-3-1002\\Software\\Autodesk");
  ScopedKey made;
  ASSERT_EQ(Create(key.get(), u"Made", &made), win::ERROR_SUCCESS);
  ASSERT_EQ(registry_test::SetDword(made.get(), u"w", 2), win::ERROR_SUCCESS);
  // While a handle into it is open, the hive stays.
  EXPECT_EQ(win::RegUnLoadKeyW(win::HKEY_USERS, kBobsSid), win::ERROR_ACCESS_DENIED);
  key.Close();
  EXPECT_EQ(win::RegDeleteKeyW(made.get(), u""), win::ERROR_SUCCESS);
  EXPECT_EQ(win::RegUnLoadKeyW(win::HKEY_USERS, kBobsSid), win::ERROR_ACCESS_DENIED);
  made.Close();
  ASSERT_EQ(Create(win::HKEY_USERS, u"S-1-5-21-1-2-3-1002\\Software\\Kept", &made),
            win::ERROR_SUCCESS);
  made.Close();
  // Listed as its file all the while, as Windows writes it back.
  const std::string written =
      "HKCU\n"
      "HKCU\\Software\n"
      "HKLM\n"
      "HKLM\\SOFTWARE\n"
      "<C:\\Users\\bob\\NTUSER.DAT>\n"
      "<C:\\Users\\bob\\NTUSER.DAT>\\Software\n"
      "<C:\\Users\\bob\\NTUSER.DAT>\\Software\\Autodesk\n"
      "  v = dword:0x1\n"
      "<C:\\Users\\bob\\NTUSER.DAT>\\Software\\Kept\n";
  EXPECT_EQ(emu::Dump(), written);
  EXPECT_EQ(win::RegUnLoadKeyW(win::HKEY_USERS, u"s-1-5-21-1-2-3-1002"), win::ERROR_SUCCESS);
  EXPECT_EQ(emu::LoadedHives(), std::vector<std::string>{});
  EXPECT_EQ(Probe(win::HKEY_USERS, kBobsSid), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(emu::Dump(), written);
  // Loaded again, under another name, it holds what was written.
  ASSERT_EQ(win::RegLoadKeyW(win::HKEY_USERS, u"Bob", kBob), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(win::HKEY_USERS, u"Bob\\Software\\Kept"), win::ERROR_SUCCESS);
  EXPECT_EQ(win::RegUnLoadKeyW(win::HKEY_USERS, u"Bob"), win::ERROR_SUCCESS);
}

TEST_F(EmulationHiveFilesTest, LoadsAndUnloadsThatAreRefused) {
  emu::Load("HKU\\S-1-5-21-1-2-3-1001\\Software\n");
  emu::RefuseHiveFile(u"C:\\Users\\erin\\NTUSER.DAT", win::ERROR_SHARING_VIOLATION);
  ASSERT_EQ(win::RegLoadKeyW(win::HKEY_USERS, kBobsSid, kBob), win::ERROR_SUCCESS);
  const struct {
    const char16_t* name;
    const char16_t* file;
    win::LONG error;
  } loads[] = {
      {u"Other", kBob, win::ERROR_SHARING_VIOLATION},                        // the file is in use
      {u"S-1-5-21-1-2-3-1001", u"D:\\x.dat", win::ERROR_SHARING_VIOLATION},  // so is the name
      {u"Erin", u"C:\\Users\\erin\\NTUSER.DAT", win::ERROR_SHARING_VIOLATION},
  };
  for (const auto& row : loads) {
    EXPECT_EQ(win::RegLoadKeyW(win::HKEY_USERS, row.name, row.file), row.error)
        << "row " << (&row - loads);
  }
  // A logon's hive is no loaded file's; a name that is not there, nothing.
  EXPECT_EQ(win::RegUnLoadKeyW(win::HKEY_USERS, u"S-1-5-21-1-2-3-1001"), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::RegUnLoadKeyW(win::HKEY_USERS, u"S-1-5-21-0-0-0-1000"), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::RegUnLoadKeyW(win::HKEY_USERS, u"Nobody"), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(emu::LoadedHives(), std::vector<std::string>{"S-1-5-21-1-2-3-1002"});

  // A missing file is made, empty, as Windows makes it.
  ASSERT_EQ(win::RegLoadKeyW(win::HKEY_USERS, u"New", u"D:\\new.dat"), win::ERROR_SUCCESS);
  EXPECT_EQ(emu::LoadedHives(), (std::vector<std::string>{"New", "S-1-5-21-1-2-3-1002"}));
  EXPECT_NE(win::GetFileAttributesW(u"D:\\new.dat"), win::INVALID_FILE_ATTRIBUTES);
}

TEST_F(EmulationHiveFilesTest, LoadAndUnloadTakeBothPrivilegesEnabled) {
  const auto disable = [](const char16_t* name) {
    win::HANDLE token = nullptr;
    ASSERT_TRUE(
        win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_ADJUST_PRIVILEGES, &token));
    win::TOKEN_PRIVILEGES change = {};
    change.PrivilegeCount = 1;
    ASSERT_TRUE(win::LookupPrivilegeValueW(nullptr, name, &change.Privileges[0].Luid));
    win::TOKEN_PRIVILEGES previous = {};
    win::DWORD length = 0;
    ASSERT_TRUE(win::AdjustTokenPrivileges(token, 0, &change, sizeof previous, &previous, &length));
    EXPECT_EQ(previous.PrivilegeCount, 1u);  // what changed, as it was
    EXPECT_EQ(previous.Privileges[0].Attributes, win::SE_PRIVILEGE_ENABLED);
    win::CloseHandle(token);
  };
  ASSERT_EQ(win::RegLoadKeyW(win::HKEY_USERS, kBobsSid, kBob), win::ERROR_SUCCESS);
  disable(u"SeBackupPrivilege");
  EXPECT_EQ(emu::EnabledPrivileges(), std::vector<std::string>{"SeRestorePrivilege"});
  EXPECT_EQ(win::RegUnLoadKeyW(win::HKEY_USERS, kBobsSid), win::ERROR_PRIVILEGE_NOT_HELD);
  ASSERT_TRUE(EnablePrivileges());
  disable(u"SeRestorePrivilege");
  EXPECT_EQ(win::RegUnLoadKeyW(win::HKEY_USERS, kBobsSid), win::ERROR_PRIVILEGE_NOT_HELD);
  EXPECT_EQ(win::RegLoadKeyW(win::HKEY_USERS, u"New", u"D:\\new.dat"),
            win::ERROR_PRIVILEGE_NOT_HELD);
  ASSERT_TRUE(EnablePrivileges());
  EXPECT_EQ(win::RegUnLoadKeyW(win::HKEY_USERS, kBobsSid), win::ERROR_SUCCESS);

  // Only a token opened for it can be adjusted.
  win::HANDLE query = nullptr;
  ASSERT_TRUE(win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_QUERY, &query));
  win::TOKEN_PRIVILEGES none = {};
  EXPECT_FALSE(win::AdjustTokenPrivileges(query, 0, &none, 0, nullptr, nullptr));
  EXPECT_EQ(win::GetLastError(), static_cast<win::DWORD>(win::ERROR_ACCESS_DENIED));
  win::CloseHandle(query);

  // A standard user's token holds neither: enabling them is not all
  // assigned, and nothing changes.
  emu::SetHivePrivilegesHeld(false);
  EXPECT_FALSE(EnablePrivileges());
  EXPECT_EQ(win::GetLastError(), static_cast<win::DWORD>(win::ERROR_NOT_ALL_ASSIGNED));
  EXPECT_EQ(emu::EnabledPrivileges(), std::vector<std::string>{});
  EXPECT_EQ(win::RegLoadKeyW(win::HKEY_USERS, kBobsSid, kBob), win::ERROR_PRIVILEGE_NOT_HELD);
}

// Beyond what the conformance suite asks of every Windows: hive files by
// any case, also one in use, and the folders above them.
TEST_F(EmulationHiveFilesTest, FileAttributesKnowHiveFilesAndTheFoldersAboveThem) {
  emu::RefuseHiveFile(u"D:\\Profiles\\erin\\NTUSER.DAT", win::ERROR_SHARING_VIOLATION);
  const struct {
    const char16_t* file;
    win::DWORD attributes;
  } cases[] = {
      {u"c:\\users\\BOB\\ntuser.dat", 0x20},  // FILE_ATTRIBUTE_ARCHIVE
      {u"D:\\Profiles\\erin\\NTUSER.DAT", 0x20},
      {u"C:\\users\\", win::FILE_ATTRIBUTE_DIRECTORY},
      {u"C:\\Users\\bob\\ntuser.ini", win::INVALID_FILE_ATTRIBUTES},
  };
  for (const auto& row : cases) {
    EXPECT_EQ(win::GetFileAttributesW(row.file), row.attributes) << "row " << (&row - cases);
  }
  EXPECT_EQ(win::GetLastError(), static_cast<win::DWORD>(win::ERROR_FILE_NOT_FOUND));
}

// In Dump order: the other users' hives by SID, then the hive files by name,
// both ignoring case.
const char kAllRoots[] =
    "HKCU\n"
    "HKCU\\Software\n"
    "HKCU\\Software\\Own\n"
    "  v = dword:0x1\n"
    "HKLM\n"
    "HKLM\\SOFTWARE\n"
    "HKU\\S-1-5-18\n"
    "HKU\\s-1-5-21-1-2-3-1001\n"
    "HKU\\s-1-5-21-1-2-3-1001\\Software\n"
    "  @ = sz:user text\n"
    "HKU\\S-1-5-21-1-2-3-1002\n"
    "<C:\\Users\\alice\\NTUSER.DAT>\n"
    "<C:\\Users\\alice\\NTUSER.DAT>\\Software\n"
    "<c:\\users\\bob\\ntuser.dat>\n"
    "<c:\\users\\bob\\ntuser.dat>\\Software\n"
    "  \"a b\" = hex:01,02\n";

TEST_F(EmulationHiveFilesTest, LoadAndDumpKeepEveryRoot) {
  emu::Reset();
  emu::Load(kAllRoots);
  EXPECT_EQ(emu::Dump(), kAllRoots);
  emu::Reset();
  emu::Load(kAllRoots);
  emu::Load(emu::Dump());
  EXPECT_EQ(emu::Dump(), kAllRoots);
}

}  // namespace
