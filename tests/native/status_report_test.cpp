// The status report of skerrow-run, read from the emulated registry after
// Install and Uninstall: what it finds, what it says removal does, and that
// reading it changes nothing.
#include "status_report.h"

#include <string>
#include <vector>

#include "status_fixture.h"
#include "status_format.h"

namespace {

// AutoCAD 2010 in both views of a 64-bit machine, and its product key (but
// no settings key) in the user's hive; AutoCAD LT R14 on the machine without
// its setting; an unlisted release.
constexpr char kProducts[] = R"(
HKLM\SOFTWARE\Wow6432Node\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
HKLM\SOFTWARE\Wow6432Node\Autodesk\AutoCAD LT\R14\ACLT-8001:409\Applications\WSCommCntrAcCon
  Other = sz:x
HKLM\SOFTWARE\Wow6432Node\Autodesk\AutoCAD\R19.2\ACAD-F001:409\InfoCenter
  InfoCenterOn = dword:1
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409
  Language = sz:English
)";

using StatusReportTest = status_test::StatusTest;

// The path below either root, as the release path spells it.
constexpr char16_t kAcad2010[] = u"SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:409\\InfoCenter";
constexpr char16_t kLt14[] =
    u"SOFTWARE\\Autodesk\\AutoCAD LT\\R14\\ACLT-8001:409\\Applications\\WSCommCntrAcCon";

TEST_F(StatusReportTest, FindsNothingWithoutProducts) {
  const StatusReport report = ReadUnchanged();
  EXPECT_TRUE(report.wow64);
  EXPECT_TRUE(report.rows.empty());
  EXPECT_TRUE(report.unreadable.empty());
  const std::string text = StatusText(report);
  EXPECT_NE(text.find("No settings key"), std::string::npos) << text;
  EXPECT_NE(text.find("0 settings switched off, 0 will be restored, 0 per-user copies\n"),
            std::string::npos)
      << text;
}

TEST_F(StatusReportTest, BeforeInstallationNothingIsToBeRestored) {
  emu::Load(kProducts);
  const StatusReport report = ReadUnchanged();
  // Both views of AutoCAD 2010 and LT R14's 32-bit key; R19.2 is no release
  // of the lists, and the user has no settings key.
  ASSERT_EQ(report.rows.size(), 3u);
  const StatusRow* view32 = Find(report, ReportLevel::kMachine, ReportView::k32, kAcad2010);
  const StatusRow* view64 = Find(report, ReportLevel::kMachine, ReportView::k64, kAcad2010);
  const StatusRow* lt = Find(report, ReportLevel::kMachine, ReportView::k32, kLt14);
  ASSERT_NE(view32, nullptr);
  ASSERT_NE(view64, nullptr);
  ASSERT_NE(lt, nullptr);
  EXPECT_EQ(ReleaseName(view32->release), u"AutoCAD R18.0");
  EXPECT_EQ(view32->product_key, u"ACAD-8001:409");
  EXPECT_EQ(view32->suffix, u"InfoCenter");
  EXPECT_TRUE(view32->current.IsDword(1));
  EXPECT_EQ(view32->removal, Removal::kLeave);
  EXPECT_EQ(lt->current_found, Lookup::kAbsent);
  EXPECT_EQ(ReleaseName(lt->release), u"AutoCAD LT R14");
  EXPECT_EQ(lt->setting->value_name, std::u16string(u"LOADCTRLS"));
  EXPECT_EQ(SummaryLine(Summarise(report)),
            "0 settings switched off, 0 will be restored, 0 per-user copies");
}

TEST_F(StatusReportTest, AfterPerUserInstallationTheCopyIsShown) {
  emu::Load(kProducts);
  Run(true, u"x>0");
  const StatusReport report = ReadUnchanged();
  const StatusRow* user = Find(report, ReportLevel::kUser, ReportView::kShared, kAcad2010);
  ASSERT_NE(user, nullptr);
  EXPECT_TRUE(user->current.IsDword(0));
  EXPECT_EQ(user->record, RecordKind::kSaved);
  EXPECT_TRUE(user->saved.IsDword(1));
  EXPECT_TRUE(user->per_user_copy);
  EXPECT_EQ(user->removal, Removal::kDeleteCopy);
  // The machine stays as it was.
  const StatusRow* machine = Find(report, ReportLevel::kMachine, ReportView::k32, kAcad2010);
  ASSERT_NE(machine, nullptr);
  EXPECT_EQ(machine->removal, Removal::kLeave);
  EXPECT_EQ(SummaryLine(Summarise(report)),
            "1 setting switched off, 1 will be restored, 1 per-user copy");
}

TEST_F(StatusReportTest, AfterMachineWideInstallationEachRecordIsShown) {
  emu::Load(kProducts);
  Run(true, u"x>1");
  const StatusReport report = ReadUnchanged();
  for (const ReportView view : {ReportView::k32, ReportView::k64}) {
    const StatusRow* row = Find(report, ReportLevel::kMachine, view, kAcad2010);
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->current.IsDword(0));
    EXPECT_EQ(row->record, RecordKind::kSaved);
    EXPECT_TRUE(row->saved.IsDword(1));
    EXPECT_EQ(row->removal, Removal::kRestoreSaved);
    EXPECT_FALSE(row->per_user_copy);
  }
  // The setting that was missing gets the default.
  const StatusRow* lt = Find(report, ReportLevel::kMachine, ReportView::k32, kLt14);
  ASSERT_NE(lt, nullptr);
  EXPECT_EQ(lt->record, RecordKind::kAbsent);
  EXPECT_EQ(lt->removal, Removal::kWriteDefault);
  EXPECT_EQ(Find(report, ReportLevel::kUser, ReportView::kShared, kAcad2010), nullptr);
  EXPECT_EQ(SummaryLine(Summarise(report)),
            "3 settings switched off, 3 will be restored, 0 per-user copies");

  const std::string json = StatusJson(report);
  EXPECT_NE(json.find("\"settings_key\": \"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Autodesk\\\\AutoCAD"
                      "\\\\R18.0\\\\ACAD-8001:409\\\\InfoCenter\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"current\": {\"type\": 4, \"reg\": \"dword:00000000\", \"dword\": 0}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"restores\": {\"type\": 4, \"reg\": \"dword:00000002\", \"dword\": 2}"),
            std::string::npos)
      << json;

  // After removal the same keys remain, with nothing left to restore.
  Run(false, u"x>1");
  const StatusReport after = ReadUnchanged();
  EXPECT_EQ(after.rows.size(), 3u);
  for (const StatusRow& row : after.rows) {
    EXPECT_EQ(row.record, RecordKind::kNone);
    EXPECT_EQ(row.removal, Removal::kLeave);
  }
  EXPECT_EQ(SummaryLine(Summarise(after)),
            "0 settings switched off, 0 will be restored, 0 per-user copies");
}

TEST_F(StatusReportTest, CommunicationCenterSwitchedOffWithoutRecordGetsTheDefault) {
  emu::Load(R"(
HKCU\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
HKLM\SOFTWARE\Wow6432Node\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:1
)");
  const StatusReport report = ReadUnchanged();
  // Three family-0 releases share each key: one row per key and view.
  ASSERT_EQ(report.rows.size(), 2u) << StatusText(report);
  const StatusRow* user = Find(report, ReportLevel::kUser, ReportView::kShared,
                               u"Software\\CadManagerControl\\CommunicationCenter");
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(ReleaseName(user->release), u"CAD Manager Control");
  EXPECT_EQ(user->product_key, u"Software");
  EXPECT_EQ(user->removal, Removal::kWriteDefault);
  const StatusRow* machine = Find(report, ReportLevel::kMachine, ReportView::k32,
                                  u"SOFTWARE\\CadManagerControl\\CommunicationCenter");
  ASSERT_NE(machine, nullptr);
  EXPECT_EQ(machine->removal, Removal::kLeave);
}

TEST_F(StatusReportTest, OnlyOneViewOn32BitWindows) {
  StartMachine(emu::Machine::Windows32, emu::User::Administrator);
  emu::Load(R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
)");
  const StatusReport report = ReadUnchanged();
  EXPECT_FALSE(report.wow64);
  ASSERT_EQ(report.rows.size(), 1u);
  EXPECT_EQ(report.rows[0].view, ReportView::k32);
}

TEST_F(StatusReportTest, AKeyThatCannotBeReadIsNamed) {
  emu::Load(kProducts);
  emu::FailPath("HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0", win::ERROR_ACCESS_DENIED);
  const StatusReport report = ReadUnchanged();
  ASSERT_EQ(report.unreadable.size(), 1u);
  EXPECT_EQ(report.unreadable[0], u"HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0 (64-bit view)");
  EXPECT_NE(StatusText(report).find("Could not read HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0 "
                                    "(64-bit view)"),
            std::string::npos);
}

TEST_F(StatusReportTest, JsonEscapesNamesAndData) {
  emu::Load(R"(
HKLM\SOFTWARE\Wow6432Node\Autodesk\AutoCAD\R18.0\Say "hi"\InfoCenter
  InfoCenterOn = sz:a\b"c
)");
  const StatusReport report = ReadUnchanged();
  const std::string json = StatusJson(report);
  EXPECT_NE(json.find("\"product_key\": \"Say \\\"hi\\\"\""), std::string::npos) << json;
  // reg export writes "a\\b\"c"; JSON escapes that once more.
  EXPECT_NE(json.find("\"reg\": \"\\\"a\\\\\\\\b\\\\\\\"c\\\"\""), std::string::npos) << json;
}

TEST(StatusFormatTest, RegExportData) {
  RawValue value;
  value.type = win::REG_BINARY;
  value.data = {0x01, 0xab};
  EXPECT_EQ(RegExportData(value), "hex:01,ab");
  value.type = win::REG_EXPAND_SZ;
  EXPECT_EQ(RegExportData(value), "hex(2):01,ab");
  value.type = win::REG_DWORD;
  EXPECT_EQ(RegExportData(value), "hex(4):01,ab");
  value.data = {0x2a, 0, 0, 0};
  EXPECT_EQ(RegExportData(value), "dword:0000002a");
  value.type = win::REG_SZ;
  value.data = {'a', 0, 0, 0};
  EXPECT_EQ(RegExportData(value), "\"a\"");
  value.data = {'a', 0};  // no terminator
  EXPECT_EQ(RegExportData(value), "hex(1):61,00");
  EXPECT_EQ(Utf8(u"\u00e9\U0001F600"), "\xc3\xa9\xf0\x9f\x98\x80");
  EXPECT_EQ(Utf8(std::u16string(1, char16_t{0xD800})), "\xef\xbf\xbd");
}

}  // namespace
