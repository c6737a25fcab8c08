// What the all-users run relies on around the people's hives: the SID of the
// process's account, its hive below HKEY_USERS being HKEY_CURRENT_USER, a
// hive file loaded below HKEY_USERS and unloaded again, and the answers that
// tell a profile without a hive file from one that cannot be looked at.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "conformance/raw_registry.h"
#include "registry/process_user.h"
#include "support/machine_test.h"
#include "support/test_registry.h"

namespace {

using registry_test::Open;
using test_registry::UserScratch;
using win::HKEY_CURRENT_USER;
using win::HKEY_USERS;

class UserHivesTest : public MachineTest {};
INSTANTIATE_MACHINE_TEST(UserHivesTest);

// The SID text of the process's account, read as callers do who ask for the
// size first; "" where a step fails.
std::u16string ProcessUserSid() {
  win::HANDLE token = nullptr;
  if (win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_QUERY, &token) == 0) return u"";
  win::DWORD needed = 0;
  const win::BOOL sized = win::GetTokenInformation(token, win::TokenUser, nullptr, 0, &needed);
  const win::DWORD error = win::GetLastError();
  EXPECT_EQ(sized, 0);
  EXPECT_EQ(error, static_cast<win::DWORD>(win::ERROR_INSUFFICIENT_BUFFER));
  // A TOKEN_USER and the SID after it: 8 bytes and 4 per sub-authority.
  EXPECT_GE(needed, sizeof(win::TOKEN_USER) + 12);
  std::vector<std::uint64_t> buffer(needed / 8 + 1);  // aligned for the pointer inside
  std::u16string text;
  if (win::GetTokenInformation(token, win::TokenUser, buffer.data(), needed, &needed) != 0) {
    win::TOKEN_USER user;
    std::memcpy(&user, buffer.data(), sizeof user);
    char16_t* converted = nullptr;
    if (win::ConvertSidToStringSidW(user.User.Sid, &converted) != 0) {
      text = converted;
      EXPECT_EQ(win::LocalFree(converted), nullptr);
    }
  }
  EXPECT_NE(win::CloseHandle(token), 0);
  return text;
}

// Under Wine the Wine user, S-1-5-21-0-0-0-1000, whose hive is loaded there.
TEST_P(UserHivesTest, TheTokensSidNamesHkcuBelowHkeyUsers) {
  const std::u16string sid = ProcessUserSid();
  ASSERT_GT(sid.size(), 6u);
  EXPECT_EQ(sid.substr(0, 6), u"S-1-5-");
  // The engine reads it into a buffer of fixed size, without asking first.
  WideStr read;
  ASSERT_EQ(ReadProcessUserSid(&read), Lookup::kFound);
  EXPECT_EQ(std::u16string(read.get()), sid);
  // Opened as a logged-on person's hive is: its root, for reading.
  ScopedKey root;
  ASSERT_EQ(Open(HKEY_USERS, sid, &root, win::KEY_READ), win::ERROR_SUCCESS);
  win::DWORD sub_keys = 0;
  EXPECT_EQ(win::RegQueryInfoKeyW(root.get(), nullptr, nullptr, nullptr, &sub_keys, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            win::ERROR_SUCCESS);
  EXPECT_GT(sub_keys, 0u);

  const std::u16string sub = UserScratch() + u"\\Sub";
  reg_test::PutDword(HKEY_CURRENT_USER, UserScratch(), u"FromHkcu", 1);
  EXPECT_EQ(reg_test::GetValue(root.get(), UserScratch(), u"FromHkcu").data,
            reg_test::DwordBytes(1));
  // Written below the read-only root: creating below a handle needs no
  // right of its own.
  reg_test::PutDword(root.get(), sub, u"FromUsers", 2);
  EXPECT_EQ(reg_test::GetValue(HKEY_CURRENT_USER, sub, u"FromUsers").data, reg_test::DwordBytes(2));
  EXPECT_EQ(reg_test::GetValue(HKEY_USERS, sid + u"\\" + sub, u"FromUsers").data,
            reg_test::DwordBytes(2));

  // Nobody logged on as this SID: no hive, the same answer as a missing key.
  EXPECT_EQ(registry_test::Probe(HKEY_USERS, u"S-1-5-21-1-2-3-4444"), win::ERROR_FILE_NOT_FOUND);
}

// Enables or disables both privileges that loading a hive takes; true when
// the token holds both.
bool SetHivePrivileges(bool enable) {
  win::HANDLE token = nullptr;
  if (win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_ADJUST_PRIVILEGES, &token) == 0) {
    return false;
  }
  win::TOKEN_PRIVILEGES change = {};
  change.PrivilegeCount = 2;
  const bool found =
      win::LookupPrivilegeValueW(nullptr, u"SeBackupPrivilege", &change.Privileges[0].Luid) != 0 &&
      win::LookupPrivilegeValueW(nullptr, u"SeRestorePrivilege", &change.Privileges[1].Luid) != 0;
  const win::DWORD attributes = enable ? win::SE_PRIVILEGE_ENABLED : 0;
  change.Privileges[0].Attributes = change.Privileges[1].Attributes = attributes;
  const bool adjusted = found && win::AdjustTokenPrivileges(token, 0, &change, 0, nullptr, nullptr);
  const win::DWORD error = win::GetLastError();
  win::CloseHandle(token);
  return adjusted && error == static_cast<win::DWORD>(win::ERROR_SUCCESS);
}

// As an administrator's tools load a person's NTUSER.DAT: below
// HKEY_USERS, with the privileges enabled; its keys are read and written
// there, and after the unload the name is gone.
TEST_P(UserHivesTest, AHiveFileIsLoadedBelowUsersAndUnloaded) {
  const std::u16string file = test_registry::MakeHiveFile();
  const std::u16string name = u"SkerrowHive" + UserScratch().substr(UserScratch().rfind(u'\\') + 1);
  ASSERT_TRUE(SetHivePrivileges(true));
  ASSERT_EQ(win::RegLoadKeyW(HKEY_USERS, name.c_str(), file.c_str()), win::ERROR_SUCCESS);
  {
    ScopedKey root;
    ASSERT_EQ(Open(HKEY_USERS, name, &root, win::KEY_READ), win::ERROR_SUCCESS);
    EXPECT_EQ(reg_test::GetValue(root.get(), u"Software\\SkerrowHive", u"v").data,
              reg_test::DwordBytes(1));
    reg_test::PutDword(root.get(), u"Software\\SkerrowHive\\Sub", u"w", 2);
    EXPECT_EQ(reg_test::GetValue(HKEY_USERS, name + u"\\Software\\SkerrowHive\\Sub", u"w").data,
              reg_test::DwordBytes(2));
  }
  EXPECT_EQ(win::RegUnLoadKeyW(HKEY_USERS, name.c_str()), win::ERROR_SUCCESS);
  EXPECT_EQ(registry_test::Probe(HKEY_USERS, name), win::ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(SetHivePrivileges(false));
}

// A folder is no hive file; a hive file that is missing from its folder and
// a profile folder that is missing both mean "nobody to change", any other
// error "unreachable", so the two codes must be exactly these. The Windows
// folder is there on every machine ("C:\\windows" under Wine).
TEST_P(UserHivesTest, FileAttributesTellAFolderAMissingFileAndAMissingFolder) {
  char16_t expanded[260] = {};
  ASSERT_GT(win::ExpandEnvironmentStringsW(u"%SystemRoot%", expanded, 260), 4u);
  const std::u16string folder = expanded;
  const win::DWORD attributes = win::GetFileAttributesW(folder.c_str());
  ASSERT_NE(attributes, win::INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & win::FILE_ATTRIBUTE_DIRECTORY, 0u);

  const struct {
    const char16_t* below;
    win::LONG error;
  } cases[] = {
      {u"\\SkerrowMissing.dat", win::ERROR_FILE_NOT_FOUND},
      {u"\\SkerrowMissing\\NTUSER.DAT", win::ERROR_PATH_NOT_FOUND},
  };
  for (const auto& row : cases) {
    const win::DWORD missing = win::GetFileAttributesW((folder + row.below).c_str());
    const auto error = static_cast<win::LONG>(win::GetLastError());
    EXPECT_EQ(missing, win::INVALID_FILE_ATTRIBUTES) << "row " << (&row - cases);
    EXPECT_EQ(error, row.error) << "row " << (&row - cases);
  }
}

}  // namespace
