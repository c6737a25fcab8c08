// The setting switch at machine and user level: which level is handled, the
// per-user copy with its marker, and its removal.
#include "settings/setting_switch.h"

#include <ostream>
#include <string>

#include "engine_test_support.h"
#include "registry/key_tree.h"

namespace {

using engine_test::EngineTest;

constexpr char16_t kPath[] = u"SOFTWARE\\Acme\\R1\\P\\InfoCenter";
constexpr ProductRelease kAutoCad18{AutoCad, 18, 0};

// The machine's settings key before and after a machine-level switch.
constexpr char kMachineOn[] = R"(
HKLM\SOFTWARE\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:1
)";
constexpr char kMachineSwitched[] = R"(
HKLM\SOFTWARE\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
HKLM\SOFTWARE\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)";

class SettingSwitchTest : public EngineTest {
 protected:
  // Each returns false when the export would report a failure.
  bool Install(bool machine_wide, const ProductRelease& release = kAutoCad18, bool view64 = false) {
    return Switch(true, machine_wide, release, view64);
  }
  bool Uninstall(bool machine_wide, const ProductRelease& release = kAutoCad18,
                 bool view64 = false) {
    return Switch(false, machine_wide, release, view64);
  }
  bool Switch(bool installing, bool machine_wide, const ProductRelease& release, bool view64) {
    ActionCall call(installing, machine_wide);
    call.view64 = view64;
    call.handled = std::move(handled_);
    SwitchInfoCenter(release, kPath, call);
    handled_ = std::move(call.handled);
    return !call.failed;
  }
  // Each call of an export starts with an empty memory.
  void NextExportCall() { handled_ = HandledSettingsKeys(); }

  HandledSettingsKeys handled_;
};

TEST_F(SettingSwitchTest, MachineLevelSwitchesAndRestoresBothLevels) {
  const std::string before = kMachineOn + std::string(R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
)");
  emu::Load(before);
  EXPECT_TRUE(Install(true));
  ExpectRegistry(kMachineSwitched + std::string(R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:0
)"));
  NextExportCall();
  EXPECT_TRUE(Uninstall(true));
  ExpectRegistry(before);
}

TEST_F(SettingSwitchTest, MachineLevelCreatesNothingForTheUser) {
  emu::Load(kMachineOn);
  EXPECT_TRUE(Install(true));  // no key of the user's is nothing to do
  ExpectRegistry(kMachineSwitched);
  NextExportCall();
  EXPECT_TRUE(Uninstall(true));
  ExpectRegistry(kMachineOn);
}

enum class Level { Machine, User };

struct LevelCase {
  const char* name;
  ProductRelease release;
  bool machine_wide;  // the installation's flag
  emu::User user;
  Level switched;
};

void PrintTo(const LevelCase& c, std::ostream* os) { *os << c.name; }

class MachineLevelRuleTest : public SettingSwitchTest,
                             public ::testing::WithParamInterface<LevelCase> {};

TEST_P(MachineLevelRuleTest, ChoosesTheLevel) {
  const LevelCase& c = GetParam();
  StartMachine(emu::Machine::Windows32, c.user);
  emu::Load(kMachineOn);
  Install(c.machine_wide, c.release);
  if (c.switched == Level::Machine) {
    ExpectRegistry(kMachineSwitched);
  } else {
    // Every key created above the copy is marked as well.
    ExpectRegistry(kMachineOn + std::string(R"(
HKCU\Software\Acme
  SKRW_RemoveWhenEmpty = dword:1
HKCU\Software\Acme\R1
  SKRW_RemoveWhenEmpty = dword:1
HKCU\Software\Acme\R1\P
  SKRW_RemoveWhenEmpty = dword:1
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
  SKRW_RemoveOnUninstall = dword:1
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)"));
  }
}

constexpr emu::User kAdministrator = emu::User::Administrator;
constexpr emu::User kStandardUser = emu::User::Standard;

const LevelCase kLevelCases[] = {
    {"AutoCad15IgnoresTheFlag", {AutoCad, 15, 0}, false, kAdministrator, Level::Machine},
    {"AutoCadLt15FollowsTheFlagClear", {AutoCadLt, 15, 0}, false, kAdministrator, Level::User},
    {"AutoCadLt15FollowsTheFlagSet", {AutoCadLt, 15, 0}, true, kAdministrator, Level::Machine},
    {"AutoCad18WithTheFlagClear", {AutoCad, 18, 0}, false, kAdministrator, Level::User},
    {"FlagSetWithoutWritableMachine", {AutoCad, 18, 0}, true, kStandardUser, Level::User},
    {"AutoCad15WithoutWritableMachine", {AutoCad, 15, 0}, false, kStandardUser, Level::User},
};

INSTANTIATE_TEST_SUITE_P(Levels, MachineLevelRuleTest, ::testing::ValuesIn(kLevelCases),
                         [](const ::testing::TestParamInfo<LevelCase>& info) {
                           return info.param.name;
                         });

TEST_F(SettingSwitchTest, PerUserCopyIsMarkedAndRemovedWithItsEmptiedAncestors) {
  const std::string before = R"(
HKLM\SOFTWARE\Acme\R1\P\InfoCenter
  Name = sz:ic
  InfoCenterOn = dword:1
HKLM\SOFTWARE\Acme\R1\P\InfoCenter\Panels
  Width = dword:300
HKCU\Software\Acme\R1\P
HKCU\Software\Acme\R1\Q
)";
  emu::Load(before);
  EXPECT_TRUE(Install(false));
  // The copy takes values from the highest index down.
  ExpectRegistry(before + R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
  Name = sz:ic
  SKRW_RemoveOnUninstall = dword:1
HKCU\Software\Acme\R1\P\InfoCenter\Panels
  Width = dword:300
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)");
  NextExportCall();
  EXPECT_TRUE(Uninstall(false));
  // P is left empty and goes too; R1 still holds Q.
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\R1\P\InfoCenter
  Name = sz:ic
  InfoCenterOn = dword:1
HKLM\SOFTWARE\Acme\R1\P\InfoCenter\Panels
  Width = dword:300
HKCU\Software\Acme\R1\Q
)");
}

TEST_F(SettingSwitchTest, PerUserWithoutAnyKeyCreatesNothing) {
  emu::Load("HKCU\\Software\\Acme\\R1\\P\n");
  EXPECT_TRUE(Install(false));  // nothing to do is no failure
  ExpectRegistry("HKCU\\Software\\Acme\\R1\\P\n");
}

TEST_F(SettingSwitchTest, ExistingPerUserKeyIsNeverMarkedAndStays) {
  const std::string before = kMachineOn + std::string(R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
)");
  emu::Load(before);
  EXPECT_TRUE(Install(false));
  ExpectRegistry(before + R"(
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:0
)");
  NextExportCall();
  EXPECT_TRUE(Install(false));  // again: still no copy, no marker
  NextExportCall();
  EXPECT_TRUE(Uninstall(false));
  ExpectRegistry(before);
}

TEST_F(SettingSwitchTest, OnlyAMarkerOfDword1RemovesTheKey) {
  for (const char* marker : {"dword:2", "sz:1", "hex:01,00,00,00"}) {
    SCOPED_TRACE(marker);
    StartMachine(emu::Machine::Windows32, emu::User::Administrator);
    emu::Load(std::string(R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
  SKRW_RemoveOnUninstall = )") +
              marker + R"(
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)");
    NextExportCall();
    EXPECT_TRUE(Uninstall(false));
    ExpectRegistry(std::string(R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:1
  SKRW_RemoveOnUninstall = )") +
                   marker + "\n");
  }
}

constexpr char kMarkedUserCopy[] = R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
  SKRW_RemoveOnUninstall = dword:1
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)";

TEST_F(SettingSwitchTest, FailedMachineRestoreLeavesTheUserLevelAlone) {
  const std::string before = kMachineSwitched + std::string(kMarkedUserCopy);
  emu::Load(before);
  emu::FailPath("HKLM\\SOFTWARE\\Acme\\R1\\P\\InfoCenter\\SKRW_Backup", win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Uninstall(true));
  ExpectRegistry(before);
}

// A machine key without a setting or a record is nothing to do, and does not
// keep the user's level from being restored.
TEST_F(SettingSwitchTest, UnrecordedMachineSettingDoesNotStopTheUserLevel) {
  const std::string machine = "HKLM\\SOFTWARE\\Acme\\R1\\P\\InfoCenter\n  Other = dword:1\n";
  emu::Load(machine + kMarkedUserCopy);
  EXPECT_TRUE(Uninstall(true));
  ExpectRegistry(machine);
}

// HKEY_CURRENT_USER\Software is one key in both views: restoring a per-user
// key again in the 64-bit pass would turn the value just restored into the
// product default.
TEST_F(SettingSwitchTest, SixtyFourBitPassSkipsUserKeysThatTheFirstPassHandled) {
  StartMachine(emu::Machine::Wow64, emu::User::Administrator);
  emu::Load(R"(
HKLM\SOFTWARE\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
HKLM\SOFTWARE\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:0
)");
  EXPECT_TRUE(Uninstall(true, kAutoCad18, false));  // no 32-bit machine key
  emu::ClearCalls();
  // The same key, spelt in another case, in the 64-bit pass of the same call.
  ActionCall call(false, true);
  call.view64 = true;
  call.handled = std::move(handled_);
  SwitchInfoCenter(kAutoCad18, u"software\\acme\\r1\\p\\infocenter", call);
  EXPECT_FALSE(call.failed);
  for (const emu::Call& call : emu::Calls()) {
    EXPECT_NE(call.path.rfind("HKCU", 0), 0u) << call.function << " " << call.path;
  }
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:1
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
)");
}

TEST_F(SettingSwitchTest, SixtyFourBitPassHandlesUserKeysTheFirstPassDidNotReach) {
  StartMachine(emu::Machine::Wow64, emu::User::Administrator);
  emu::Load(R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)");
  handled_.RememberUserKey(u"SOFTWARE\\Acme\\R1\\Other\\InfoCenter");
  EXPECT_TRUE(Uninstall(false, kAutoCad18, true));
  ExpectRegistry("HKCU\\Software\\Acme\\R1\\P\\InfoCenter\n  InfoCenterOn = dword:1\n");
}

// A value of the marker's name in the machine's key (spelt in any case)
// comes along with the copy; the copy is still marked, and still removed.
TEST_F(SettingSwitchTest, CopyStaysMarkedWhenTheMachineKeyHoldsAMarkerName) {
  const std::string machine = R"(
HKLM\SOFTWARE\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:1
  skrw_removeonuninstall = dword:0
)";
  emu::Load(machine + "HKCU\\Software\\Acme\\R1\\P\n");
  EXPECT_TRUE(Install(false));
  NextExportCall();
  EXPECT_TRUE(Uninstall(false));
  ExpectRegistry(machine);
}

class SettingSwitchFailureTest : public SettingSwitchTest {
 protected:
  void SetUp() override {
    SettingSwitchTest::SetUp();
    CanWriteMachineSoftware();  // probe now, outside the counted calls
  }
};

TEST_F(SettingSwitchFailureTest, UserKeyThatCannotBeOpenedForWritingIsLeftAlone) {
  const std::string before = R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)";
  emu::Load(before);
  emu::FailNthCallOf("RegOpenKeyExW", 2, win::ERROR_ACCESS_DENIED);  // after the probe
  EXPECT_FALSE(Uninstall(false));
  ExpectRegistry(before);
  NextExportCall();
  emu::FailNthCallOf("RegCreateKeyExW", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Install(false));
  ExpectRegistry(before);
}

// Without its marker a copy would stay in the user's hive for good and
// shadow the machine's key: it is removed at once instead.
TEST_F(SettingSwitchFailureTest, CopyWhoseMarkerCannotBeWrittenIsRemoved) {
  emu::Load(kMachineOn);
  emu::FailNthCallOf("RegSetValueExW", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Install(false));
  ExpectRegistry(kMachineOn);
  NextExportCall();
  EXPECT_TRUE(Uninstall(false));
  ExpectRegistry(kMachineOn);
}

}  // namespace
