// Switching one setting off with its backup, and restoring it.
#include "settings/dword_backup.h"

#include <string>

#include "engine_test_support.h"
#include "registry/reg_key.h"

namespace {

using engine_test::EngineTest;

constexpr char16_t kPath[] = u"SOFTWARE\\Acme\\Settings";
constexpr char kBackupPath[] = "HKLM\\SOFTWARE\\Acme\\Settings\\SKRW_Backup";
constexpr win::REGSAM kReadWrite = 0x2001F;

class DwordBackupTest : public EngineTest {
 protected:
  bool Switch(const char16_t* name = u"LOADCTRLS") {
    RegKeyW key(win::HKEY_LOCAL_MACHINE, kPath, kReadWrite, false);
    return BackupAndSetDword(key, name);
  }
  bool Restore(const char16_t* name = u"LOADCTRLS", win::DWORD default_value = 2) {
    RegKeyW key(win::HKEY_LOCAL_MACHINE, kPath, kReadWrite, false);
    return RestoreDword(key, name, default_value);
  }
};

TEST_F(DwordBackupTest, PresentDwordIsSavedOnceAndRestored) {
  const std::string before = R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:5
  Other = sz:keep
)";
  emu::Load(before);
  EXPECT_TRUE(Switch());
  EXPECT_TRUE(Switch());  // the second switch must not save the 0 of the first
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:0
  Other = sz:keep
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  LOADCTRLS = dword:5
)");
  EXPECT_TRUE(Restore());
  ExpectRegistry(before);
}

TEST_F(DwordBackupTest, AbsentSettingIsRecordedAsAbsentAndRestoredToTheDefault) {
  emu::Load("HKLM\\SOFTWARE\\Acme\\Settings\n  Other = sz:keep\n");
  EXPECT_TRUE(Switch());
  EXPECT_TRUE(Switch());  // the record of the first switch stays
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\Settings
  Other = sz:keep
  LOADCTRLS = dword:0
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  SKRW_Absent_LOADCTRLS = dword:1
)");
  EXPECT_TRUE(Restore());
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\Settings
  Other = sz:keep
  LOADCTRLS = dword:2
)");
  // Nothing recorded any more: a second restore changes nothing.
  EXPECT_TRUE(Restore());
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\Settings
  Other = sz:keep
  LOADCTRLS = dword:2
)");
}

// REG_NONE is a value like any other: its data must come back, and it must
// not be mistaken for a missing setting or a missing record.
TEST_F(DwordBackupTest, RegNoneWithDataAndEmptyRegNoneAreRecordedExactly) {
  const std::string before = R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = hex(0):07,00
  InfoCenterOn = none:
)";
  emu::Load(before);
  EXPECT_TRUE(Switch(u"LOADCTRLS"));
  EXPECT_TRUE(Switch(u"InfoCenterOn"));
  EXPECT_TRUE(Switch(u"LOADCTRLS"));
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:0
  InfoCenterOn = dword:0
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  LOADCTRLS = hex(0):07,00
  InfoCenterOn = none:
)");
  EXPECT_TRUE(Restore(u"LOADCTRLS", 2));
  EXPECT_TRUE(Restore(u"InfoCenterOn", 1));
  ExpectRegistry(before);
}

// A setting of another type keeps its own type and data in the backup, so
// that restoring brings the original value back instead of a DWORD.
TEST_F(DwordBackupTest, SettingOfAnotherTypeIsSavedAndRestoredWithItsTypeAndData) {
  std::string big = "hex:";
  for (int i = 0; i < 3000; ++i) big += (i ? "," : "") + std::string(i % 2 ? "a5" : "3c");
  const std::string before = R"(
HKLM\SOFTWARE\Acme\Settings
  InfoCenterOn = sz:1
  LOADCTRLS = )" + big + R"(
  EnableCommunicationCenter = hex(11):01,00,00,00,00,00,00,00
)";
  emu::Load(before);
  EXPECT_TRUE(Switch(u"InfoCenterOn"));
  EXPECT_TRUE(Switch(u"LOADCTRLS"));
  EXPECT_TRUE(Switch(u"EnableCommunicationCenter"));
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\Settings
  InfoCenterOn = dword:0
  LOADCTRLS = dword:0
  EnableCommunicationCenter = dword:0
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  InfoCenterOn = sz:1
  LOADCTRLS = )" +
                 big + R"(
  EnableCommunicationCenter = hex(11):01,00,00,00,00,00,00,00
)");
  EXPECT_TRUE(Restore(u"InfoCenterOn", 1));
  EXPECT_TRUE(Restore(u"LOADCTRLS", 2));
  EXPECT_TRUE(Restore(u"EnableCommunicationCenter", 1));
  ExpectRegistry(before);
}

// Text stored without its terminator must not grow by one on the way through
// the backup, and a REG_DWORD of the wrong size must not turn into
// 0xFFFFFFFF.
TEST_F(DwordBackupTest, UnterminatedTextAndMisSizedDwordKeepTheirExactData) {
  const std::string before = R"(
HKLM\SOFTWARE\Acme\Settings
  InfoCenterOn = hex(1):31,00,32,00
  LOADCTRLS = hex(4):01,00,00,00,02,00,00,00
)";
  emu::Load(before);
  EXPECT_TRUE(Switch(u"InfoCenterOn"));
  EXPECT_TRUE(Switch(u"LOADCTRLS"));
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\Settings
  InfoCenterOn = dword:0
  LOADCTRLS = dword:0
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  InfoCenterOn = hex(1):31,00,32,00
  LOADCTRLS = hex(4):01,00,00,00,02,00,00,00
)");
  EXPECT_TRUE(Restore(u"InfoCenterOn", 1));
  EXPECT_TRUE(Restore(u"LOADCTRLS", 2));
  ExpectRegistry(before);
}

TEST_F(DwordBackupTest, DwordBackupOfAnOtherTypedSettingRestoresAsADword) {
  // What an earlier version saved for a setting that was not a REG_DWORD.
  emu::Load(R"(
HKLM\SOFTWARE\Acme\Settings
  InfoCenterOn = dword:0
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  InfoCenterOn = dword:0xffffffff
)");
  EXPECT_TRUE(Restore(u"InfoCenterOn", 1));
  ExpectRegistry("HKLM\\SOFTWARE\\Acme\\Settings\n  InfoCenterOn = dword:0xffffffff\n");
}

TEST_F(DwordBackupTest, BackupKeyLosesOnlyTheRestoredValueAndGoesWhenEmpty) {
  emu::Load(R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:0
  InfoCenterOn = dword:0
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  LOADCTRLS = dword:3
  InfoCenterOn = dword:7
)");
  EXPECT_TRUE(Restore(u"LOADCTRLS", 2));
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:3
  InfoCenterOn = dword:0
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  InfoCenterOn = dword:7
)");
  EXPECT_TRUE(Restore(u"InfoCenterOn", 1));
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:3
  InfoCenterOn = dword:7
)");
}

TEST_F(DwordBackupTest, EmptyBackupKeyIsDeletedEvenWhenNothingIsRestored) {
  emu::Load(R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:0
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
)");
  EXPECT_TRUE(Restore());
  ExpectRegistry("HKLM\\SOFTWARE\\Acme\\Settings\n  LOADCTRLS = dword:0\n");
}

// Where nothing was recorded, this run did not switch the setting: it stays
// as it is, unless the caller asks for the default there.
TEST_F(DwordBackupTest, UnrecordedSettingIsLeftAloneUnlessTheDefaultIsAsked) {
  emu::Load("HKLM\\SOFTWARE\\Acme\\Settings\n  LOADCTRLS = dword:7\n  InfoCenterOn = dword:1\n");
  RegKeyW key(win::HKEY_LOCAL_MACHINE, kPath, kReadWrite, false);
  emu::ClearCalls();
  EXPECT_TRUE(RestoreDword(key, u"LOADCTRLS", 2));
  EXPECT_TRUE(RestoreDword(key, u"InfoCenterOn", 1, Unrecorded::kSetDefault));  // already 1
  EXPECT_TRUE(RestoreDword(key, u"Missing", 1, Unrecorded::kSetDefault));  // absent stays absent
  EXPECT_EQ(emu::CountCalls("RegSetValueExW"), 0u);
  EXPECT_TRUE(RestoreDword(key, u"LOADCTRLS", 2, Unrecorded::kSetDefault));
  key.Close();
  ExpectRegistry(
      "HKLM\\SOFTWARE\\Acme\\Settings\n  LOADCTRLS = dword:2\n  InfoCenterOn = dword:1\n");
}

// A record of each kind for one setting (hand-made): the value wins, and
// both go, so that a retry cannot write the default over the value.
TEST_F(DwordBackupTest, BothRecordsOfOneSettingGoTogether) {
  emu::Load(R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:0
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  LOADCTRLS = dword:9
  SKRW_Absent_LOADCTRLS = dword:1
  InfoCenterOn = dword:1
)");
  EXPECT_TRUE(Restore());
  EXPECT_TRUE(Restore());
  ExpectRegistry(R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:9
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  InfoCenterOn = dword:1
)");
}

TEST_F(DwordBackupTest, KeyThatIsNotOpenIsLeftAlone) {
  RegKeyW missing(win::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Acme\\Missing", kReadWrite, false);
  emu::ClearCalls();
  EXPECT_FALSE(BackupAndSetDword(missing, u"LOADCTRLS"));
  EXPECT_FALSE(RestoreDword(missing, u"LOADCTRLS", 2));
  EXPECT_TRUE(emu::Calls().empty());
}

constexpr char kFive[] = R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:5
)";
// The value saved while the setting itself still holds it.
constexpr char kFiveSaved[] = R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:5
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  LOADCTRLS = dword:5
)";

// Switched: 0, and the 5 recorded.
constexpr char kFiveSwitched[] = R"(
HKLM\SOFTWARE\Acme\Settings
  LOADCTRLS = dword:0
HKLM\SOFTWARE\Acme\Settings\SKRW_Backup
  LOADCTRLS = dword:5
)";

class DwordBackupFailureTest : public DwordBackupTest {
 protected:
  void SetUp() override {
    DwordBackupTest::SetUp();
    emu::Load(kFive);
  }
};

TEST_F(DwordBackupFailureTest, BackupKeyThatCannotBeCreatedLeavesTheSetting) {
  emu::FailPath(kBackupPath, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Switch());
  ExpectRegistry(kFive);
}

TEST_F(DwordBackupFailureTest, FailedRecordLeavesTheSettingAndNoBackupKey) {
  emu::FailNthCallOf("RegSetValueExW", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Switch());
  ExpectRegistry(kFive);
}

// A failed read is no absent setting: nothing may be written over a value
// that could not be recorded.
TEST_F(DwordBackupFailureTest, FailedReadOfTheSettingWritesNothing) {
  emu::FailNthCallOf("RegQueryValueExW", 1, win::ERROR_KEY_DELETED);
  EXPECT_FALSE(Switch());
  ExpectRegistry(kFive);
}

// Nor is a failed look at an earlier record "nothing saved yet": the first
// record must survive.
TEST_F(DwordBackupFailureTest, FailedLookAtAnEarlierRecordKeepsIt) {
  ASSERT_TRUE(Switch());
  emu::FailNthCallOf("RegQueryValueExW", 2, win::ERROR_KEY_DELETED);
  EXPECT_FALSE(Switch());
  ExpectRegistry(kFiveSwitched);
}

TEST_F(DwordBackupFailureTest, FailedReadOfTheRecordWritesNothingAndKeepsIt) {
  ASSERT_TRUE(Switch());
  emu::FailNthCallOf("RegQueryValueExW", 1, win::ERROR_KEY_DELETED);
  EXPECT_FALSE(Restore());
  ExpectRegistry(kFiveSwitched);
  emu::ClearFaults();
  EXPECT_TRUE(Restore());
  ExpectRegistry(kFive);
}

TEST_F(DwordBackupFailureTest, FailedSwitchKeepsTheValueSaved) {
  emu::FailNthCallOf("RegSetValueExW", 2, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Switch());
  ExpectRegistry(kFiveSaved);
}

TEST_F(DwordBackupFailureTest, FailedWriteBackKeepsTheRecordAndWritesNothingElse) {
  ASSERT_TRUE(Switch());
  emu::FailNthCallOf("RegSetValueExW", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Restore());
  ExpectRegistry(kFiveSwitched);
}

TEST_F(DwordBackupFailureTest, FailedCleanUpIsReportedAndARetryFinishesIt) {
  ASSERT_TRUE(Switch());
  emu::FailNthCallOf("RegDeleteKeyW", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Restore());
  ExpectRegistry(kFiveSaved);
  emu::ClearFaults();
  EXPECT_TRUE(Restore());
  ExpectRegistry(kFive);
}

}  // namespace
