// skerrow-run status --all-users and --check against the emulated registry:
// every person's hive, reached as the all-users run reaches it but only for
// reading, and the verdict a compliance rule takes from the exit status.
#include <cctype>
#include <string>
#include <vector>

#include "status_check.h"
#include "status_command.h"
#include "status_fixture.h"
#include "status_format.h"

namespace {

// Whether |text| is one JSON value and nothing else: enough to catch a
// missing comma or bracket.
class JsonChecker {
 public:
  explicit JsonChecker(const std::string& text) : text_(text) {}
  bool Valid() {
    if (!Value()) return false;
    Space();
    return at_ == text_.size();
  }

 private:
  void Space() {
    while (at_ < text_.size() && std::string(" \n\r\t").find(text_[at_]) != std::string::npos) {
      ++at_;
    }
  }
  bool Eat(char c) {
    Space();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool Word(const std::string& word) {
    if (text_.compare(at_, word.size(), word) != 0) return false;
    at_ += word.size();
    return true;
  }
  bool String() {
    if (!Eat('"')) return false;
    while (at_ < text_.size() && text_[at_] != '"') {
      if (static_cast<unsigned char>(text_[at_]) < 0x20) return false;
      at_ += text_[at_] == '\\' ? 2 : 1;
    }
    return Eat('"');
  }
  bool Number() {
    const std::size_t start = at_;
    while (at_ < text_.size() &&
           (std::isdigit(static_cast<unsigned char>(text_[at_])) != 0 || text_[at_] == '-')) {
      ++at_;
    }
    return at_ > start;
  }
  template <typename Member>
  bool List(char open, char close, Member member) {
    if (!Eat(open)) return false;
    if (Eat(close)) return true;
    do {
      if (!member()) return false;
    } while (Eat(','));
    return Eat(close);
  }
  bool Value() {
    Space();
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '{':
        return List('{', '}', [this] { return String() && Eat(':') && Value(); });
      case '[':
        return List('[', ']', [this] { return Value(); });
      case '"':
        return String();
      case 't':
        return Word("true");
      case 'f':
        return Word("false");
      case 'n':
        return Word("null");
      default:
        return Number();
    }
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

constexpr char16_t kOwnSid[] = u"S-1-5-21-0-0-0-1000";  // the process's, after Reset
constexpr char16_t kAlice[] = u"S-1-5-21-0-0-0-1001";   // logged on
constexpr char16_t kBob[] = u"S-1-5-21-0-0-0-1002";     // not logged on
constexpr char16_t kCarol[] = u"S-1-5-21-0-0-0-1003";   // no hive file
constexpr char16_t kBobsHive[] = u"C:\\Users\\bob\\NTUSER.DAT";

// ProfileList with the system account, the process's own account, a damaged
// profile's ".bak" entry and three people: Alice logged on, Bob's hive in
// its file, Carol's hive missing. AutoCAD 2010 is on the machine, switched
// off, and in every hive there is: the process's own (HKCU) and Alice's
// switched off, Bob's not.
constexpr char kPeople[] = R"(
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-18
  ProfileImagePath = sz:C:\Windows\system32\config\systemprofile
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-0-0-0-1000
  ProfileImagePath = sz:C:\Users\me
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-0-0-0-1001
  ProfileImagePath = sz:C:\Users\alice
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-0-0-0-1001.bak
  ProfileImagePath = sz:C:\Users\alice
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-0-0-0-1002
  ProfileImagePath = sz:C:\Users\bob
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-0-0-0-1003
  ProfileImagePath = sz:C:\Users\carol
HKLM\SOFTWARE\Wow6432Node\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
HKU\S-1-5-21-0-0-0-1001\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
)";

// Bob's setting switched off too.
constexpr char kBobSwitchedOff[] = R"(
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
)";

// As the release path spells it.
constexpr char16_t kUserPath[] = u"SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:409\\InfoCenter";

class StatusAllUsersTest : public status_test::StatusTest {
 protected:
  static const ProfileStatus* Profile(const StatusReport& report, const std::u16string& sid) {
    for (const ProfileStatus& profile : report.profiles) {
      if (profile.sid == sid) return &profile;
    }
    return nullptr;
  }

  // skerrow-run status with |request|, and the hives checked unchanged.
  StatusCommandResult Command(const StatusRequest& request) {
    const std::string before = emu::Dump();
    StatusCommandResult result = RunStatusCommand(request);
    EXPECT_EQ(emu::Dump(), before);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    EXPECT_EQ(emu::OpenProcessObjects(), 0u);
    return result;
  }
};

TEST_F(StatusAllUsersTest, EveryOtherPersonOnceHowTheHiveWasReached) {
  emu::Load(kPeople);
  const StatusReport report = ReadUnchanged(StatusScope::kAllUsers);
  EXPECT_TRUE(report.all_users);
  EXPECT_EQ(report.current_user_sid, kOwnSid);
  EXPECT_EQ(report.persons_failed_call, nullptr);
  // Neither the system account, nor the ".bak" entry, nor the process's own
  // account, whose hive is HKEY_CURRENT_USER: its row is the user row.
  ASSERT_EQ(report.profiles.size(), 3u);
  EXPECT_EQ(report.profiles[0].sid, kAlice);
  EXPECT_EQ(report.profiles[1].sid, kBob);
  EXPECT_EQ(report.profiles[2].sid, kCarol);
  ASSERT_EQ(report.rows.size(), 2u);
  EXPECT_NE(Find(report, ReportLevel::kUser, ReportView::kShared, kUserPath), nullptr);

  const ProfileStatus& alice = report.profiles[0];
  EXPECT_EQ(alice.reach, HiveReach::kLoggedOn);
  EXPECT_EQ(alice.hive_key, std::u16string(u"HKEY_USERS\\") + kAlice);
  ASSERT_EQ(alice.rows.size(), 1u);
  EXPECT_EQ(alice.rows[0].level, ReportLevel::kUser);
  EXPECT_EQ(alice.rows[0].view, ReportView::kShared);
  EXPECT_TRUE(alice.rows[0].current.IsDword(0));

  const ProfileStatus& bob = report.profiles[1];
  EXPECT_EQ(bob.reach, HiveReach::kFromFile);
  EXPECT_EQ(bob.file, kBobsHive);
  const StatusRow* bobs = Find(bob.rows, ReportLevel::kUser, ReportView::kShared, kUserPath);
  ASSERT_NE(bobs, nullptr);
  EXPECT_TRUE(bobs->current.IsDword(1));
  EXPECT_EQ(bobs->removal, Removal::kLeave);

  const ProfileStatus& carol = report.profiles[2];
  EXPECT_EQ(carol.reach, HiveReach::kMissing);
  EXPECT_TRUE(carol.rows.empty());

  // Bob's hive file was loaded once; Carol's is not there, and loading it
  // would have created it.
  EXPECT_EQ(emu::CountCalls("RegLoadKeyW"), 1u);

  // The machine's and HKEY_CURRENT_USER's summary stays theirs alone.
  EXPECT_EQ(SummaryLine(Summarise(report)),
            "2 settings switched off, 0 will be restored, 0 per-user copies");
  const std::string text = StatusText(report);
  EXPECT_TRUE(Contains(text, "Current user S-1-5-21-0-0-0-1000: HKEY_CURRENT_USER"));
  EXPECT_TRUE(Contains(text,
                       "\nProfile S-1-5-21-0-0-0-1001: logged on, "
                       "HKEY_USERS\\S-1-5-21-0-0-0-1001\n"))
      << text;
  EXPECT_TRUE(Contains(text,
                       "\nProfile S-1-5-21-0-0-0-1002: not logged on, read from "
                       "C:\\Users\\bob\\NTUSER.DAT\n"))
      << text;
  EXPECT_TRUE(Contains(text,
                       "\nS-1-5-21-0-0-0-1002: 0 settings switched off, 0 will be restored, "
                       "0 per-user copies\n"))
      << text;
  EXPECT_TRUE(Contains(text, "\nProfile S-1-5-21-0-0-0-1003: no hive")) << text;
  EXPECT_FALSE(Contains(text, "Profile S-1-5-21-0-0-0-1000")) << text;
  EXPECT_FALSE(Contains(text, "S-1-5-18")) << text;

  // Turned off by the person, without a record: removal leaves it there.
  emu::Load(R"(
<C:\Users\bob\NTUSER.DAT>\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
)");
  const StatusReport again = ReadUnchanged(StatusScope::kAllUsers);
  ASSERT_EQ(again.profiles.size(), 3u);
  const StatusRow* own = Find(again.profiles[1].rows, ReportLevel::kUser, ReportView::kShared,
                              u"Software\\CadManagerControl\\CommunicationCenter");
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->removal, Removal::kLeave);
}

TEST_F(StatusAllUsersTest, TheOwnProfileAloneIsTheCurrentUser) {
  emu::Load(R"(
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-0-0-0-1000
  ProfileImagePath = sz:C:\Users\me
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
)");
  const StatusReport report = ReadUnchanged(StatusScope::kAllUsers);
  EXPECT_TRUE(report.profiles.empty());
  EXPECT_EQ(report.rows.size(), 1u);
  EXPECT_EQ(emu::CountCalls("RegLoadKeyW"), 0u);
  EXPECT_TRUE(Contains(StatusText(report), "\nNo other person has a profile on this machine.\n"))
      << StatusText(report);
  EXPECT_TRUE(Contains(StatusJson(report),
                       "\"current_user\": {\"sid\": \"S-1-5-21-0-0-0-1000\"},\n"
                       "  \"profiles\": [],\n  \"profiles_failed\": null"))
      << StatusJson(report);
}

TEST_F(StatusAllUsersTest, WithoutAllUsersNoHiveButTheCurrentUsersIsOpened) {
  emu::Load(kPeople);
  const StatusReport report = ReadUnchanged();
  EXPECT_FALSE(report.all_users);
  EXPECT_TRUE(report.profiles.empty());
  EXPECT_EQ(emu::CountCalls("RegLoadKeyW"), 0u);
  EXPECT_EQ(emu::CountCalls("OpenProcessToken"), 0u);
  const std::string json = StatusJson(report);
  EXPECT_FALSE(Contains(json, "\"profiles\"")) << json;
  EXPECT_FALSE(Contains(json, "\"current_user\"")) << json;
  EXPECT_FALSE(Contains(json, "\"check\"")) << json;
  EXPECT_FALSE(Contains(StatusText(report), "Profile ")) << StatusText(report);
}

TEST_F(StatusAllUsersTest, AHiveInUseIsNamedWithTheCallAndItsError) {
  emu::Load(kPeople);
  emu::RefuseHiveFile(kBobsHive, win::ERROR_SHARING_VIOLATION);
  const StatusReport report = ReadUnchanged(StatusScope::kAllUsers);
  const ProfileStatus* bob = Profile(report, kBob);
  ASSERT_NE(bob, nullptr);
  EXPECT_EQ(bob->reach, HiveReach::kUnreachable);
  EXPECT_EQ(std::string(bob->failed_call), "RegLoadKeyW");
  EXPECT_EQ(bob->error, win::ERROR_SHARING_VIOLATION);
  EXPECT_EQ(bob->file, kBobsHive);
  EXPECT_TRUE(bob->rows.empty());
  // The others are read all the same.
  ASSERT_NE(Profile(report, kAlice), nullptr);
  EXPECT_EQ(Profile(report, kAlice)->rows.size(), 1u);

  const CheckOutcome check = CheckStatus(report);
  EXPECT_FALSE(check.passed());
  EXPECT_EQ(check.unreachable_profiles, 1u);
  EXPECT_EQ(check.settings_on, 0u);
  const std::string text = StatusText(report, &check);
  EXPECT_TRUE(Contains(text,
                       "\nProfile S-1-5-21-0-0-0-1002: could not be reached, RegLoadKeyW "
                       "failed with ERROR_SHARING_VIOLATION (32) for "
                       "C:\\Users\\bob\\NTUSER.DAT"))
      << text;
  const std::string last =
      "\nCheck failed: 1 profile could not be reached, so not shown "
      "switched off\n";
  EXPECT_EQ(text.substr(text.size() - last.size()), last) << text;

  const std::string json = StatusJson(report, &check);
  EXPECT_TRUE(JsonChecker(json).Valid()) << json;
  EXPECT_TRUE(Contains(json, "\"hive\": \"unreachable\"")) << json;
  EXPECT_TRUE(Contains(json,
                       "\"failed_call\": \"RegLoadKeyW\",\n"
                       "      \"error\": {\"code\": 32, \"name\": "
                       "\"ERROR_SHARING_VIOLATION\"}"))
      << json;
  EXPECT_TRUE(Contains(json,
                       "\"check\": {\"passed\": false, \"settings_on\": 0, "
                       "\"settings_unreadable\": 0, \"unreadable_keys\": 0, "
                       "\"unreachable_profiles\": 1, \"profiles_unknown\": false"))
      << json;
}

TEST_F(StatusAllUsersTest, WithoutTheHivePrivilegesOnlyLoggedOnHivesAreRead) {
  emu::Load(kPeople);
  emu::SetHivePrivilegesHeld(false);
  const StatusReport report = ReadUnchanged(StatusScope::kAllUsers);
  ASSERT_EQ(report.profiles.size(), 3u);
  EXPECT_EQ(report.profiles[0].reach, HiveReach::kLoggedOn);
  EXPECT_EQ(report.profiles[1].reach, HiveReach::kUnreachable);
  EXPECT_EQ(std::string(report.profiles[1].failed_call), "AdjustTokenPrivileges");
  EXPECT_EQ(report.profiles[1].error, win::ERROR_NOT_ALL_ASSIGNED);
  EXPECT_FALSE(CheckStatus(report).passed());
}

TEST_F(StatusAllUsersTest, NotKnowingWhoThePeopleAreFailsTheCheck) {
  emu::Load(kPeople);
  emu::Load(kBobSwitchedOff);
  emu::FailNthCallOf("OpenProcessToken", 1, win::ERROR_ACCESS_DENIED);
  const StatusReport report = ReadUnchanged(StatusScope::kAllUsers);
  ASSERT_NE(report.persons_failed_call, nullptr);
  EXPECT_EQ(std::string(report.persons_failed_call), "OpenProcessToken");
  EXPECT_TRUE(report.profiles.empty());
  EXPECT_TRUE(report.current_user_sid.empty());
  // The machine and HKEY_CURRENT_USER are reported all the same.
  EXPECT_EQ(report.rows.size(), 2u);
  const CheckOutcome check = CheckStatus(report);
  EXPECT_TRUE(check.persons_unknown);
  EXPECT_FALSE(check.passed());
  const std::string text = StatusText(report, &check);
  EXPECT_TRUE(Contains(text,
                       "\nThe people with a profile could not be told: OpenProcessToken "
                       "failed with "))
      << text;
  EXPECT_TRUE(Contains(text, "Check failed: the people with a profile could not be told\n"))
      << text;
  const std::string json = StatusJson(report, &check);
  EXPECT_TRUE(JsonChecker(json).Valid()) << json;
  EXPECT_TRUE(Contains(json, "\"current_user\": null")) << json;
  EXPECT_TRUE(Contains(json, "\"profiles_failed\": {\"call\": \"OpenProcessToken\"")) << json;
}

// The exit status of --check follows from RunStatusCommand's verdict.
TEST_F(StatusAllUsersTest, CheckPassesOnlyWhenEverySettingFoundIsOff) {
  emu::Load(kPeople);
  StatusRequest request;
  request.check = true;
  // Bob's setting is on, but without --all-users only the machine and
  // HKEY_CURRENT_USER count.
  StatusCommandResult result = Command(request);
  EXPECT_TRUE(result.passed);
  EXPECT_TRUE(Contains(result.output, "\nCheck passed: every setting found is switched off\n"))
      << result.output;
  request.all_users = true;
  result = Command(request);
  EXPECT_FALSE(result.passed);
  EXPECT_TRUE(Contains(result.output, "\nCheck failed: 1 setting not switched off\n"))
      << result.output;

  emu::Load(kBobSwitchedOff);
  result = Command(request);
  EXPECT_TRUE(result.passed) << result.output;

  // A setting that is not in its key is on, since the product's default
  // is; one that is not REG_DWORD 0 is on too, whatever it holds.
  emu::Load(R"(
HKLM\SOFTWARE\Wow6432Node\Autodesk\AutoCAD LT\R14\ACLT-8001:409\Applications\WSCommCntrAcCon
  Other = sz:x
)");
  result = Command(request);
  EXPECT_FALSE(result.passed);
  EXPECT_TRUE(Contains(result.output, "\nCheck failed: 1 setting not switched off\n"))
      << result.output;
  emu::Load(R"(
HKLM\SOFTWARE\Wow6432Node\Autodesk\AutoCAD LT\R14\ACLT-8001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:0
)");
  EXPECT_TRUE(Command(request).passed);
  emu::Load(R"(
HKU\S-1-5-21-0-0-0-1001\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = sz:0
)");
  EXPECT_FALSE(Command(request).passed);
}

TEST_F(StatusAllUsersTest, AKeyThatCannotBeReadFailsTheCheck) {
  emu::Load(kPeople);
  emu::Load(kBobSwitchedOff);
  emu::FailPath("HKLM\\SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:409\\InfoCenter",
                win::ERROR_ACCESS_DENIED);
  StatusRequest request;
  request.check = true;
  request.all_users = true;
  const StatusCommandResult result = Command(request);
  EXPECT_FALSE(result.passed);
  EXPECT_TRUE(Contains(result.output, "\nCheck failed: 1 key could not be read\n"))
      << result.output;
}

TEST_F(StatusAllUsersTest, AfterAnAllUsersInstallationEveryHiveIsSwitchedOff) {
  emu::Load(R"(
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-0-0-0-1001
  ProfileImagePath = sz:C:\Users\alice
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-0-0-0-1002
  ProfileImagePath = sz:C:\Users\bob
HKLM\SOFTWARE\Wow6432Node\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
HKU\S-1-5-21-0-0-0-1001\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
)");
  StatusRequest request;
  request.all_users = true;
  request.check = true;
  request.json = true;
  EXPECT_FALSE(Command(request).passed);

  Run(true, u"x>1;AllUsers");
  const StatusReport report = ReadUnchanged(StatusScope::kAllUsers);
  ASSERT_EQ(report.profiles.size(), 2u);
  for (const ProfileStatus& profile : report.profiles) {
    ASSERT_EQ(profile.rows.size(), 1u) << StatusText(report);
    EXPECT_TRUE(profile.rows[0].current.IsDword(0));
    EXPECT_EQ(profile.rows[0].record, RecordKind::kSaved);
    EXPECT_EQ(profile.rows[0].removal, Removal::kRestoreSaved);
  }
  const StatusCommandResult installed = Command(request);
  EXPECT_TRUE(installed.passed) << installed.output;
  EXPECT_TRUE(JsonChecker(installed.output).Valid()) << installed.output;
  EXPECT_TRUE(Contains(installed.output,
                       "\"hive\": \"file\",\n      \"hive_key\": "
                       "\"HKEY_USERS\\\\S-1-5-21-0-0-0-1002\",\n      "
                       "\"file\": \"C:\\\\Users\\\\bob\\\\NTUSER.DAT\""))
      << installed.output;
  EXPECT_TRUE(Contains(installed.output,
                       "\"settings_key\": \"HKEY_USERS\\\\S-1-5-21-0-0-0-1002\\\\SOFTWARE\\\\"
                       "Autodesk\\\\AutoCAD\\\\R18.0\\\\ACAD-8001:409\\\\InfoCenter\""))
      << installed.output;
  EXPECT_TRUE(Contains(installed.output, "\"check\": {\"passed\": true")) << installed.output;

  Run(false, u"x>1;AllUsers");
  EXPECT_FALSE(Command(request).passed);
}

TEST_F(StatusAllUsersTest, TheJsonOfEveryRequestIsOneDocument) {
  emu::Load(kPeople);
  emu::RefuseHiveFile(kBobsHive, win::ERROR_SHARING_VIOLATION);
  for (const bool all_users : {false, true}) {
    for (const bool check : {false, true}) {
      StatusRequest request;
      request.json = true;
      request.all_users = all_users;
      request.check = check;
      const std::string json = Command(request).output;
      EXPECT_TRUE(JsonChecker(json).Valid()) << json;
      EXPECT_EQ(Contains(json, "\n  \"profiles\": ["), all_users) << json;
      EXPECT_EQ(Contains(json, "\n  \"check\": {"), check) << json;
    }
  }
  EXPECT_FALSE(JsonChecker("{\"a\": 1 \"b\": 2}").Valid());
}

}  // namespace
