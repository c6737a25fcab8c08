// Deployment as the system account with the all-users request: the machine,
// then every person who has a profile, logged on or not. Each person's own
// settings keys are switched and put back exactly; nobody gets a copy; a
// hive that is not loaded is loaded below HKEY_USERS for the run and
// unloaded after it; a profile that cannot be reached is named in the log,
// and fails the run unless another process holds it or no hive may be
// loaded; anything that fails inside a hive that was reached does.
#include <algorithm>
#include <string>

#include "engine_test_support.h"
#include "entry/entry_points.h"

namespace {

using engine_test::CanonicalDump;
using engine_test::CountCallsTo;
using engine_test::StartProcess;

constexpr win::MSIHANDLE kInstall = 1;
constexpr char16_t kSystem[] = u"S-1-5-18";
constexpr char16_t kAllUsers[] = u"{F0C85435-DFC2-4F5F-B611-7A1771AF489F}>1;AllUsers";

// The machine has R18.0 and R17.1. Alice (1001) is logged on and has her own
// R18.0 settings; Bob (1002) is not, and has his own R17.1 settings and a
// product key of his own; Carol (Azure AD) has no settings keys, and her
// profile's path an odd byte after its terminator; Dan's
// profile lost its folder; Erin's hive is in use elsewhere. The service
// accounts and the backup entry of a damaged profile are no persons. Bob
// turned the Communication Center off himself: removal, which brings it to
// its default where nothing was recorded, does so in the installing
// account's own hive alone. What no run changes:
constexpr char kProfiles[] = R"(
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-18
  ProfileImagePath = expand_sz:%systemroot%\system32\config\systemprofile
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-19
  ProfileImagePath = expand_sz:%systemroot%\ServiceProfiles\LocalService
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-1-2-3-1001
  ProfileImagePath = expand_sz:%SystemDrive%\Users\alice
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-1-2-3-1002
  ProfileImagePath = expand_sz:%SystemDrive%\Users\bob
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-1-2-3-1002.bak
  ProfileImagePath = expand_sz:%SystemDrive%\Users\bob.old
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-12-1-11-22-33-44
  ProfileImagePath = hex(1):43,00,3a,00,5c,00,55,00,73,00,65,00,72,00,73,00,5c,00,63,00,61,00,72,00,6f,00,6c,00,00,00,00
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-1-2-3-1004
  ProfileImagePath = expand_sz:%SystemDrive%\Users\dan
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-1-2-3-1005
  ProfileImagePath = expand_sz:%SystemDrive%\Users\erin
HKCU\Software\Microsoft
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R17.1\ACAD-5002:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:1
<C:\Users\bob\NTUSER.DAT>\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
<C:\Users\bob.old\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
<C:\Users\carol\NTUSER.DAT>\Software\Microsoft
<C:\Users\erin\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
)";

const std::string kBefore = std::string(kProfiles) + R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
HKLM\SOFTWARE\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
HKU\S-1-5-21-1-2-3-1001\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:1
)";

// Bob's product key of his own is left to him: Install works below the
// product keys that the machine has.
const std::string kInstalled = std::string(kProfiles) + R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
HKLM\SOFTWARE\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:0
HKLM\SOFTWARE\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon\SKRW_Backup
  LOADCTRLS = dword:2
HKU\S-1-5-21-1-2-3-1001\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
HKU\S-1-5-21-1-2-3-1001\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:0
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon\SKRW_Backup
  LOADCTRLS = dword:1
)";

bool HasLine(const std::string& line) {
  const std::vector<std::string> lines = emu::InstallerMessages();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The lines that begin with |start|.
std::vector<std::string> LinesStarting(const std::string& start) {
  std::vector<std::string> found;
  for (const std::string& line : emu::InstallerMessages()) {
    if (line.rfind(start, 0) == 0) found.push_back(line);
  }
  return found;
}

std::size_t WritesBelow(const std::string& root) {
  std::size_t writes = 0;
  for (const emu::Call& call : emu::Calls()) {
    const bool write = call.function == "RegSetValueExW" || call.function == "RegCreateKeyExW" ||
                       call.function == "RegDeleteKeyW" || call.function == "RegDeleteValueW";
    if (write && call.path.rfind(root, 0) == 0) ++writes;
  }
  return writes;
}

class AllUsersTest : public ::testing::TestWithParam<emu::Machine> {
 protected:
  void TearDown() override {
    EXPECT_EQ(emu::OpenHandleCount(), 0u) << "a key or a hive was left open";
    EXPECT_EQ(emu::OpenProcessObjects(), 0u) << "a token or a SID text was left";
    EXPECT_EQ(emu::LoadedHives(), std::vector<std::string>{}) << "a hive was left loaded";
    EXPECT_EQ(emu::EnabledPrivileges(), std::vector<std::string>{}) << "the token was not put back";
  }

  // A new custom-action process of the system account on a machine that
  // holds |registry|.
  void StartAsSystem(const std::string& registry, const char16_t* account = kSystem) {
    StartProcess(GetParam(), emu::User::Administrator);
    emu::SetProcessUser(account);
    emu::SetEnvironment(u"SystemDrive", u"C:");
    emu::SetEnvironment(u"SystemRoot", u"C:\\Windows");
    emu::Load(Placed(registry));
    emu::RefuseHiveFile(u"C:\\Users\\erin\\NTUSER.DAT", win::ERROR_SHARING_VIOLATION);
  }

  win::UINT Run(bool installing, const char16_t* data) {
    emu::SetProperty(u"CustomActionData", data);
    return installing ? Install(kInstall) : Uninstall(kInstall);
  }

  // |text| with the machine's product keys where a 32-bit process sees
  // them; ProfileList is read in the 64-bit view.
  std::string Placed(const std::string& text) const {
    return engine_test::AsSeenBy32Bit(text, GetParam(), "HKLM\\SOFTWARE\\Autodesk");
  }

  std::string Canonical(const std::string& text) const {
    return CanonicalDump(Placed(text), GetParam(), emu::User::Administrator);
  }
};

TEST_P(AllUsersTest, EveryPersonsOwnSettingsAreSwitchedAndPutBackExactly) {
  StartAsSystem(kBefore);
  EXPECT_EQ(Run(true, kAllUsers), 0u);
  // Each hive file is loaded once under its person's SID and unloaded
  // again; Alice's is used where it is loaded, and the backup entry's is
  // nobody's. Dan's is not there: loading it would have made an empty one.
  for (const char* sid : {"HKU\\S-1-5-21-1-2-3-1002", "HKU\\S-1-12-1-11-22-33-44"}) {
    EXPECT_EQ(CountCallsTo("RegLoadKeyW", sid), 1u) << sid;
    EXPECT_EQ(CountCallsTo("RegUnLoadKeyW", sid), 1u) << sid;
  }
  EXPECT_EQ(emu::CountCalls("RegLoadKeyW"), 3u);  // Erin's is refused
  EXPECT_EQ(CountCallsTo("GetFileAttributesW", "<C:\\Users\\dan\\NTUSER.DAT>"), 1u);
  EXPECT_EQ(emu::CountCalls("AdjustTokenPrivileges"), 2u);  // enabled once, put back once
  EXPECT_EQ(emu::Dump(), Canonical(kInstalled));

  StartAsSystem(emu::Dump());
  EXPECT_EQ(Run(false, kAllUsers), 0u);
  EXPECT_EQ(emu::Dump(), Canonical(kBefore));
}

TEST_P(AllUsersTest, TheLogNamesEachPersonAndTheUnreachableHive) {
  StartAsSystem(kBefore);
  EXPECT_EQ(Run(true, kAllUsers), 0u);
  EXPECT_TRUE(HasLine("Skerrow: profile sid=\"S-1-5-21-1-2-3-1001\" hive=logged-on"));
  EXPECT_TRUE(
      HasLine("Skerrow: profile sid=\"S-1-5-21-1-2-3-1002\" hive=file "
              "file=\"C:\\Users\\bob\\NTUSER.DAT\""));
  EXPECT_TRUE(
      HasLine("Skerrow: profile sid=\"S-1-5-21-1-2-3-1004\" hive=missing "
              "file=\"C:\\Users\\dan\\NTUSER.DAT\""));
  EXPECT_TRUE(
      HasLine("Skerrow: profile-unreachable sid=\"S-1-5-21-1-2-3-1005\" "
              "file=\"C:\\Users\\erin\\NTUSER.DAT\" call=RegLoadKeyW "
              "error=ERROR_SHARING_VIOLATION (32)"));
  EXPECT_TRUE(
      HasLine("Skerrow: switched key=\"HKEY_USERS\\S-1-5-21-1-2-3-1001\\SOFTWARE\\Autodesk"
              "\\AutoCAD\\R18.0\\ACAD-8001:409\\InfoCenter\" view=shared "
              "value=\"InfoCenterOn\" old=REG_DWORD:1 new=REG_DWORD:0 record=written "
              "copy=no"));
  EXPECT_EQ(LinesStarting("Skerrow: profile").size(), 5u);
  const std::vector<std::string> begin = LinesStarting("Skerrow: begin ");
  ASSERT_EQ(begin.size(), 1u);
  EXPECT_NE(begin[0].find(" all-users=yes"), std::string::npos) << begin[0];
  const std::vector<std::string> end = LinesStarting("Skerrow: end ");
  ASSERT_EQ(end.size(), 1u);
  EXPECT_NE(end[0].find(" switched=4 "), std::string::npos) << end[0];
  EXPECT_NE(end[0].find(" failures=0 profiles=3 unreachable=1"), std::string::npos) << end[0];
}

// Every package that does not ask keeps its behaviour: nobody else's hive is
// looked at, and the lines are those of before.
TEST_P(AllUsersTest, WithoutTheRequestNoOtherHiveIsTouched) {
  for (const char16_t* data : {u"{F0C85435-DFC2-4F5F-B611-7A1771AF489F}>1",
                               u"{F0C85435-DFC2-4F5F-B611-7A1771AF489F}>1;All",
                               u"{F0C85435-DFC2-4F5F-B611-7A1771AF489F}>1 AllUsers"}) {
    StartAsSystem(kBefore);
    EXPECT_EQ(Run(true, data), 0u);
    EXPECT_EQ(WritesBelow("HKU"), 0u);
    EXPECT_EQ(WritesBelow("<"), 0u);
    EXPECT_EQ(emu::CountCalls("RegLoadKeyW"), 0u);
    EXPECT_EQ(emu::CountCalls("OpenProcessToken"), 0u);
    EXPECT_TRUE(LinesStarting("Skerrow: profile").empty());
    for (const std::string& line : emu::InstallerMessages()) {
      EXPECT_EQ(line.find("all-users"), std::string::npos) << line;
      EXPECT_EQ(line.find("profiles="), std::string::npos) << line;
    }
  }
}

// Without the machine level the request cannot be honoured: the run is the
// per-user run of before, and says so.
TEST_P(AllUsersTest, RequestWithoutTheMachineLevelIsAPerUserRun) {
  for (const bool standard_user : {false, true}) {
    StartProcess(GetParam(), standard_user ? emu::User::Standard : emu::User::Administrator);
    emu::SetProcessUser(kSystem);
    emu::SetEnvironment(u"SystemDrive", u"C:");
    emu::Load(Placed(kBefore));
    EXPECT_EQ(Run(true, standard_user ? kAllUsers : u"{F0C85435}>0;AllUsers"), 0u);
    EXPECT_EQ(WritesBelow("HKU"), 0u);
    EXPECT_EQ(WritesBelow("<"), 0u);
    EXPECT_EQ(WritesBelow("HKLM"), 0u);
    EXPECT_EQ(emu::CountCalls("RegLoadKeyW"), 0u);
    const std::vector<std::string> begin = LinesStarting("Skerrow: begin ");
    ASSERT_EQ(begin.size(), 1u);
    EXPECT_NE(begin[0].find(" all-users=not-honoured"), std::string::npos) << begin[0];
  }
}

// An administrator installing interactively is a person in ProfileList, and
// that hive is HKEY_CURRENT_USER: it is switched once, not twice.
TEST_P(AllUsersTest, InstallingAccountsOwnHiveIsHandledOnce) {
  StartAsSystem(kBefore, u"S-1-5-21-1-2-3-1001");
  EXPECT_EQ(Run(true, kAllUsers), 0u);
  EXPECT_TRUE(HasLine("Skerrow: profile sid=\"S-1-5-21-1-2-3-1001\" hive=current-user"));
  std::size_t alices = 0;
  for (const std::string& line : LinesStarting("Skerrow: switched ")) {
    if (line.find("\\R18.0\\ACAD-8001:409\\InfoCenter\" view=shared") != std::string::npos) {
      ++alices;
      EXPECT_NE(line.find("key=\"HKEY_CURRENT_USER\\"), std::string::npos) << line;
    }
  }
  EXPECT_EQ(alices, 1u);
  const std::string installed = emu::Dump();
  StartAsSystem(kBefore, u"S-1-5-21-1-2-3-1001");
  const std::string before = emu::Dump();
  StartAsSystem(installed, u"S-1-5-21-1-2-3-1001");
  EXPECT_EQ(Run(false, kAllUsers), 0u);
  EXPECT_EQ(emu::Dump(), before);
}

// What stands in the way of loading a hive: the account may not (every
// hive file is then unreachable, and the run does not fail for it), or the
// unload is refused (the work was done; the hive stays loaded and the log
// says so).
TEST_P(AllUsersTest, LoadingAndUnloadingThatIsRefusedIsTold) {
  StartAsSystem(kBefore);
  emu::SetHivePrivilegesHeld(false);
  EXPECT_EQ(Run(true, kAllUsers), 0u);
  EXPECT_EQ(emu::CountCalls("RegLoadKeyW"), 0u);
  EXPECT_GT(WritesBelow("HKU\\S-1-5-21-1-2-3-1001\\"), 0u);
  EXPECT_TRUE(
      HasLine("Skerrow: profile-unreachable sid=\"S-1-5-21-1-2-3-1002\" "
              "file=\"C:\\Users\\bob\\NTUSER.DAT\" call=AdjustTokenPrivileges "
              "error=ERROR_NOT_ALL_ASSIGNED (1300)"));
  std::vector<std::string> end = LinesStarting("Skerrow: end ");
  ASSERT_EQ(end.size(), 1u);
  EXPECT_NE(end[0].find(" failures=0 profiles=1 unreachable=3"), std::string::npos) << end[0];

  StartAsSystem(kBefore);
  emu::FailNthCallOf("RegUnLoadKeyW", 2, win::ERROR_ACCESS_DENIED);  // Carol's comes first
  EXPECT_EQ(Run(true, kAllUsers), 0u);
  EXPECT_TRUE(
      HasLine("Skerrow: profile-unload-failed sid=\"S-1-5-21-1-2-3-1002\" call=RegUnLoadKeyW "
              "error=ERROR_ACCESS_DENIED (5)"));
  EXPECT_EQ(emu::LoadedHives(), std::vector<std::string>{"S-1-5-21-1-2-3-1002"});
  emu::Reset();
}

// A run that dies while a hive is loaded leaves it loaded under the SID:
// the next run finds it there, works in it as in any loaded hive, and
// leaves it loaded, as it leaves every hive it did not load.
TEST_P(AllUsersTest, HiveLeftLoadedByADeadRunIsWorkedInWhereItIs) {
  const std::string installed = Canonical(kInstalled);
  const std::string before = Canonical(kBefore);
  StartAsSystem(kBefore);
  EXPECT_EQ(Run(true, kAllUsers), 0u);
  std::size_t load = 0;
  for (std::size_t i = 0; i < emu::Calls().size() && load == 0; ++i) {
    const emu::Call& call = emu::Calls()[i];
    if (call.function == "RegLoadKeyW" && call.path == "HKU\\S-1-5-21-1-2-3-1002") load = i + 1;
  }
  ASSERT_NE(load, 0u);
  StartAsSystem(kBefore);
  emu::DieAfterCall(load);
  EXPECT_EQ(Run(true, kAllUsers), win::ERROR_INSTALL_FAILURE);
  emu::ClearFaults();
  EXPECT_EQ(emu::LoadedHives(), std::vector<std::string>{"S-1-5-21-1-2-3-1002"});
  EXPECT_EQ(Run(true, kAllUsers), 0u);
  EXPECT_TRUE(HasLine("Skerrow: profile sid=\"S-1-5-21-1-2-3-1002\" hive=logged-on"));
  EXPECT_EQ(emu::LoadedHives(), std::vector<std::string>{"S-1-5-21-1-2-3-1002"});
  EXPECT_EQ(emu::Dump(), installed);
  EXPECT_EQ(Run(false, kAllUsers), 0u);
  EXPECT_EQ(emu::Dump(), before);
  emu::Reset();
}

// What says nothing of whether Bob has a hive makes him unreachable, named
// with the call and its error, never "missing", and fails the run: his
// profile folder that could not be read or expanded, his hive that is
// damaged, or loads but cannot be read.
TEST_P(AllUsersTest, ProfileThatCannotBeLookedAtIsUnreachable) {
  const std::string entry =
      "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-1-2-3-1002";
  const std::string hive = "HKU\\S-1-5-21-1-2-3-1002";
  const struct {
    const char* function;
    std::string after;  // the first call of |function| from the first call here
    win::LONG error;
    const char* line;
  } cases[] = {
      {"RegQueryValueExW", entry, win::ERROR_ACCESS_DENIED,
       "call=RegQueryValueExW error=ERROR_ACCESS_DENIED (5)"},
      {"ExpandEnvironmentStringsW", entry, win::ERROR_NOT_ENOUGH_MEMORY,
       "call=ExpandEnvironmentStringsW error=ERROR_NOT_ENOUGH_MEMORY (8)"},
      {"RegLoadKeyW", entry, win::ERROR_BADDB,
       "file=\"C:\\Users\\bob\\NTUSER.DAT\" call=RegLoadKeyW error=ERROR_BADDB (1009)"},
      {"RegQueryInfoKeyW", hive, win::ERROR_INVALID_HANDLE,
       "file=\"C:\\Users\\bob\\NTUSER.DAT\" call=RegQueryInfoKeyW error=ERROR_INVALID_HANDLE (6)"},
  };
  for (const auto& row : cases) {
    StartAsSystem(kBefore);
    EXPECT_EQ(Run(true, kAllUsers), 0u);
    std::size_t position = 0;
    bool after = false;
    for (std::size_t i = 0; i < emu::Calls().size() && position == 0; ++i) {
      const emu::Call& call = emu::Calls()[i];
      after = after || call.path == row.after;
      if (after && call.function == row.function) position = i + 1;
    }
    ASSERT_NE(position, 0u) << row.function;

    StartAsSystem(kBefore);
    emu::FailNthCall(position, row.error);
    EXPECT_EQ(Run(true, kAllUsers), win::ERROR_INSTALL_FAILURE) << row.function;
    EXPECT_EQ(WritesBelow(hive), 0u) << row.function;
    const std::vector<std::string> bob =
        LinesStarting("Skerrow: profile-unreachable sid=\"S-1-5-21-1-2-3-1002\" ");
    ASSERT_EQ(bob.size(), 1u) << row.function;
    EXPECT_NE(bob[0].find(row.line), std::string::npos) << bob[0];
    EXPECT_TRUE(LinesStarting("Skerrow: profile sid=\"S-1-5-21-1-2-3-1002\"").empty());
  }
}

// Inside a hive that was reached, a failure is a failure.
TEST_P(AllUsersTest, FailureInsideAReachedHiveFailsTheRun) {
  StartAsSystem(kBefore);
  emu::FailPath(
      "HKU\\S-1-5-21-1-2-3-1001\\Software\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:409\\InfoCenter",
      win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Run(true, kAllUsers), win::ERROR_INSTALL_FAILURE);
  const std::vector<std::string> failed = LinesStarting("Skerrow: failed ");
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_NE(failed[0].find("key=\"HKEY_USERS\\S-1-5-21-1-2-3-1001\\SOFTWARE\\"), std::string::npos)
      << failed[0];
  EXPECT_NE(failed[0].find("error=ERROR_ACCESS_DENIED (5)"), std::string::npos) << failed[0];
  // Bob was still done.
  EXPECT_GT(WritesBelow("HKU\\S-1-5-21-1-2-3-1002"), 0u);
}

// Not knowing who the people are, or who is installing, is a failure: the
// run cannot tell whose hive it would change twice.
TEST_P(AllUsersTest, NotKnowingWhoThePeopleAreFailsTheRun) {
  for (const char* call : {"OpenProcessToken", "GetTokenInformation", "ConvertSidToStringSidW"}) {
    StartAsSystem(kBefore);
    emu::FailNthCallOf(call, 1, win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(Run(true, kAllUsers), win::ERROR_INSTALL_FAILURE) << call;
    EXPECT_EQ(WritesBelow("HKU"), 0u);
    EXPECT_EQ(WritesBelow("<"), 0u);
    EXPECT_EQ(LinesStarting("Skerrow: failed doing=\"finding the people with a profile\" call=" +
                            std::string(call))
                  .size(),
              1u)
        << call;
  }
  StartAsSystem(kBefore);
  emu::FailPath("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Run(true, kAllUsers), win::ERROR_INSTALL_FAILURE);
  EXPECT_EQ(WritesBelow("HKU"), 0u);
}

// A machine without ProfileList has no other persons: nothing fails.
TEST_P(AllUsersTest, NoProfileListIsNobodyElse) {
  StartAsSystem(R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
)");
  EXPECT_EQ(Run(true, kAllUsers), 0u);
  EXPECT_EQ(emu::CountCalls("RegLoadKeyW"), 0u);
  EXPECT_EQ(emu::CountCalls("AdjustTokenPrivileges"), 0u);
}

// A person who once installed per user has marked copies and records below
// product keys that only they have: removal in all-users mode takes back
// all of it, in every hive it can reach.
TEST_P(AllUsersTest, RemovalTakesBackWhatAPersonsOwnInstallLeft) {
  const std::string before = R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-1-2-3-1002
  ProfileImagePath = expand_sz:%SystemDrive%\Users\bob
<C:\Users\bob\NTUSER.DAT>\Software\Microsoft
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8009:409
  Profile = sz:Bob
)";
  // What a per-user Install by Bob left in his hive.
  const std::string installed = before + R"(
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8009:409\InfoCenter
  SKRW_RemoveOnUninstall = dword:1
  InfoCenterOn = dword:0
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8009:409\InfoCenter\SKRW_Backup
  SKRW_Absent_InfoCenterOn = dword:1
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  SKRW_RemoveOnUninstall = dword:1
  InfoCenterOn = dword:0
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)";
  StartAsSystem(installed);
  EXPECT_EQ(Run(false, kAllUsers), 0u);
  EXPECT_EQ(emu::Dump(), Canonical(before));
}

INSTANTIATE_TEST_SUITE_P(Machines, AllUsersTest,
                         ::testing::Values(emu::Machine::Windows32, emu::Machine::Wow64),
                         [](const ::testing::TestParamInfo<emu::Machine>& info) {
                           return info.param == emu::Machine::Wow64 ? "Wow64" : "Windows32";
                         });

}  // namespace
