// The exports: reading "CustomActionData", the passes, the WOW64 probe, and
// what reaches the installer.
#include "entry/entry_points.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "entry/custom_action_data.h"

namespace {

using engine_test::CountRegistryCalls;
using engine_test::EngineTest;

constexpr win::MSIHANDLE kInstall = 1;

// A product whose setting is switched at machine level exactly when the
// machine-wide flag is set (an administrator can write the machine's keys).
constexpr char kMachineProduct[] = R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\P\InfoCenter
  InfoCenterOn = dword:1
)";

// Release keys opened with |access| (KEY_READ, with KEY_WOW64_64KEY in the
// 64-bit pass), in call order.
std::vector<std::string> ReleaseKeyOpens(win::REGSAM access) {
  std::vector<std::string> paths;
  for (const emu::Call& call : emu::Calls()) {
    if (call.function == "RegOpenKeyExW" && call.access == access &&
        call.path.find("\\Autodesk\\") != std::string::npos) {
      paths.push_back(call.path);
    }
  }
  return paths;
}

std::size_t CountReleaseKeyOpens(win::REGSAM access) { return ReleaseKeyOpens(access).size(); }

std::vector<std::string> UserReleaseKeys(std::initializer_list<const char*> releases) {
  std::vector<std::string> paths;
  for (const char* release : releases)
    paths.push_back(std::string("HKCU\\Software\\Autodesk\\") + release);
  return paths;
}

class EntryPointsTest : public EngineTest {
 protected:
  // Whether Install with |data| switched the machine's setting.
  bool InstallSwitchesMachine(const std::u16string& data) {
    StartMachine(emu::Machine::Windows32, emu::User::Administrator);
    emu::Load(kMachineProduct);
    emu::SetProperty(u"CustomActionData", data);
    EXPECT_EQ(Install(kInstall), 0u);
    return emu::Dump().find("R18.0\\P\\InfoCenter\\SKRW_Backup") != std::string::npos;
  }
};

TEST_F(EntryPointsTest, EmptyDataIsRefusedWithoutTouchingAnything) {
  for (const bool set : {false, true}) {
    StartMachine(emu::Machine::Wow64, emu::User::Administrator);
    emu::Load(kMachineProduct);
    const std::string before = emu::Dump();
    if (set) emu::SetProperty(u"CustomActionData", u"");
    EXPECT_EQ(Install(kInstall), 13u);
    EXPECT_EQ(Uninstall(kInstall), 13u);
    EXPECT_EQ(CountRegistryCalls(), 0u);
    EXPECT_EQ(emu::CountCalls("IsWow64Process"), 0u);
    EXPECT_EQ(emu::Dump(), before);
  }
  // The refused calls did not use up the one WOW64 probe.
  emu::SetProperty(u"CustomActionData", u"x");
  EXPECT_EQ(Install(kInstall), 0u);
  EXPECT_EQ(CountReleaseKeyOpens(0x20119), 13u);
}

TEST(MachineWideFlag, OnlyTheCharacterAfterTheFirstGreaterThanSignCounts) {
  EXPECT_FALSE(HasMachineWideFlag(u""));
  EXPECT_FALSE(HasMachineWideFlag(u"1"));
  EXPECT_FALSE(HasMachineWideFlag(u"INSTALLDIR=C:\\1"));
  EXPECT_FALSE(HasMachineWideFlag(u"a>0"));
  EXPECT_FALSE(HasMachineWideFlag(u"a>"));
  EXPECT_FALSE(HasMachineWideFlag(u">>1"));
  EXPECT_FALSE(HasMachineWideFlag(u"a>2>1"));
  EXPECT_TRUE(HasMachineWideFlag(u">1"));
  EXPECT_TRUE(HasMachineWideFlag(u"C:\\Program Files\\Skerrow>1"));
  EXPECT_TRUE(HasMachineWideFlag(u"x>1;y>0"));
  EXPECT_TRUE(HasMachineWideFlag(u"x>10"));
}

TEST_F(EntryPointsTest, MachineWideFlagChoosesTheMachineLevel) {
  EXPECT_TRUE(InstallSwitchesMachine(u"C:\\Skerrow>1"));
  EXPECT_FALSE(InstallSwitchesMachine(u"C:\\Skerrow>0"));
  EXPECT_FALSE(InstallSwitchesMachine(u"C:\\Skerrow"));
}

// A read that fails, asking for the length or reading the value: 1603,
// nothing touched, and the failed line names the call.
TEST_F(EntryPointsTest, FailedReadFailsTheExportAndChangesNothing) {
  for (std::size_t call : {1u, 2u}) {
    StartMachine(emu::Machine::Windows32, emu::User::Administrator);
    emu::Load(kMachineProduct);
    const std::string before = emu::Dump();
    emu::SetProperty(u"CustomActionData", u">1");
    emu::FailNthCallOf("MsiGetPropertyW", call, win::ERROR_INVALID_HANDLE);
    EXPECT_EQ(Install(kInstall), win::ERROR_INSTALL_FAILURE) << call;
    EXPECT_EQ(CountRegistryCalls(), 0u) << call;
    EXPECT_EQ(emu::Dump(), before) << call;
    const std::vector<std::string> lines = emu::InstallerMessages();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
      return line.find("failed doing=\"reading CustomActionData\" call=MsiGetPropertyW") !=
             std::string::npos;
    })) << call;
  }
}

TEST_F(EntryPointsTest, OutOfMemoryIsReportedAndClosesEveryKey) {
  bool finished = false;
  for (std::size_t n = 1; n < 5000 && !finished; ++n) {
    StartMachine(emu::Machine::Wow64, emu::User::Administrator);
    emu::Load(kMachineProduct);
    emu::SetProperty(u"CustomActionData", u">1");
    emu::FailAllocationsFrom(n);
    const win::UINT result = Install(kInstall);
    emu::FailAllocationsFrom(0);
    ASSERT_TRUE(result == 0u || result == win::ERROR_INSTALL_FAILURE) << n;
    ASSERT_EQ(emu::OpenHandleCount(), 0u) << n;
    finished = result == 0u;
  }
  EXPECT_TRUE(finished);
}

// The installer may keep the library loaded from one action to the next. An
// Uninstall that ran out of memory anywhere after an Install in the same
// process leaves nothing half set: retried there or in a new process, it
// gives what one clean Uninstall gives. Here removing the user's copy
// prunes every key above it, HKCU\Software included.
TEST_F(EntryPointsTest, UninstallOutOfMemoryThenRetryGivesOneCleanUninstall) {
  constexpr char kCopiedForTheUser[] = R"(
HKLM\SOFTWARE\Wow6432Node\Autodesk\AutoCAD\R18.0\P\InfoCenter
  InfoCenterOn = dword:1
HKCU\Software\Autodesk\AutoCAD\R18.0\P
)";
  const auto install_in_new_process = [&] {
    StartMachine(emu::Machine::Wow64, emu::User::Administrator);
    emu::Load(kCopiedForTheUser);
    emu::SetProperty(u"CustomActionData", u"x");
    return Install(kInstall);
  };
  // Both as a new process would find them.
  const auto canonical = [&](const std::string& dump) {
    return engine_test::CanonicalDump(dump, machine_, user_);
  };
  ASSERT_EQ(install_in_new_process(), 0u);
  ASSERT_NE(emu::Dump().find("SKRW_RemoveOnUninstall"), std::string::npos);
  ASSERT_EQ(Uninstall(kInstall), 0u);
  const std::string removed = emu::Dump();
  ASSERT_EQ(removed.find("HKCU\\Software"), std::string::npos);

  std::size_t failed = 0;
  bool finished = false;
  for (std::size_t n = 1; n < 5000 && !finished; ++n) {
    for (const bool same_process : {true, false}) {
      ASSERT_EQ(install_in_new_process(), 0u);
      emu::FailAllocationsFrom(n);
      const win::UINT result = Uninstall(kInstall);
      emu::FailAllocationsFrom(0);
      ASSERT_EQ(emu::OpenHandleCount(), 0u) << n;
      if (result == 0u) {
        EXPECT_EQ(emu::Dump(), removed) << n;
        finished = true;
        break;
      }
      ASSERT_EQ(result, win::ERROR_INSTALL_FAILURE) << n;
      if (!same_process) {
        const std::string faulted = emu::Dump();
        StartMachine(emu::Machine::Wow64, emu::User::Administrator);
        emu::Load(faulted);
        emu::SetProperty(u"CustomActionData", u"x");
      }
      EXPECT_EQ(Uninstall(kInstall), 0u) << n << (same_process ? " same process" : " new process");
      EXPECT_EQ(canonical(emu::Dump()), canonical(removed))
          << n << (same_process ? " same process" : " new process");
      ++failed;
    }
  }
  EXPECT_TRUE(finished);
  EXPECT_GT(failed, 0u);
}

// Both exports walk the same releases in the same order: every listed
// release in the first pass, from AutoCAD R17.1 and AutoCAD LT R14 on in the
// 64-bit pass.
TEST_F(EntryPointsTest, PassesVisitTheListedReleasesInOrder) {
  const std::vector<std::string> second = UserReleaseKeys(
      {"AutoCAD\\R17.1", "AutoCAD\\R17.2", "AutoCAD\\R18.0", "AutoCAD\\R18.1", "AutoCAD\\R18.2",
       "AutoCAD\\R19.0", "AutoCAD\\R19.1", "AutoCAD LT\\R14", "AutoCAD LT\\R15", "AutoCAD LT\\R16",
       "AutoCAD LT\\R17", "AutoCAD LT\\R18", "AutoCAD LT\\R19"});
  std::vector<std::string> first =
      UserReleaseKeys({"AutoCAD\\R16.0", "AutoCAD\\R16.1", "AutoCAD\\R16.2", "AutoCAD\\R17.0"});
  first.insert(first.end(), second.begin(), second.begin() + 7);
  for (const char* lt : {"R9", "R10", "R11", "R12", "R13"}) {
    first.push_back("HKCU\\Software\\Autodesk\\AutoCAD LT\\" + std::string(lt));
  }
  first.insert(first.end(), second.begin() + 7, second.end());

  StartMachine(emu::Machine::Wow64, emu::User::Administrator);
  emu::SetProperty(u"CustomActionData", u"x");
  for (const auto entry : {&Install, &Uninstall}) {
    emu::ClearCalls();
    EXPECT_EQ(entry(kInstall), 0u);
    EXPECT_EQ(ReleaseKeyOpens(0x20019), first);
    EXPECT_EQ(ReleaseKeyOpens(0x20119), second);
  }
}

TEST_F(EntryPointsTest, OnlyWow64AddsTheSixtyFourBitPass) {
  emu::SetProperty(u"CustomActionData", u"x");
  EXPECT_EQ(Install(kInstall), 0u);
  EXPECT_EQ(CountReleaseKeyOpens(0x20019), 22u);  // each release key, per user
  EXPECT_EQ(CountReleaseKeyOpens(0x20119), 0u);

  StartMachine(emu::Machine::Wow64, emu::User::Standard);
  emu::SetProperty(u"CustomActionData", u"x");
  EXPECT_EQ(Install(kInstall), 0u);
  EXPECT_EQ(CountReleaseKeyOpens(0x20019), 22u);
  EXPECT_EQ(CountReleaseKeyOpens(0x20119), 13u);
  emu::ClearCalls();
  EXPECT_EQ(Uninstall(kInstall), 0u);
  EXPECT_EQ(CountReleaseKeyOpens(0x20019), 22u);
  EXPECT_EQ(CountReleaseKeyOpens(0x20119), 13u);
}

TEST_F(EntryPointsTest, ProcessIsProbedForWow64OnlyOnce) {
  StartMachine(emu::Machine::Wow64, emu::User::Administrator);
  emu::SetProperty(u"CustomActionData", u"x");
  emu::SetIsWow64ProcessExported(false);
  EXPECT_EQ(Install(kInstall), 0u);
  EXPECT_EQ(CountReleaseKeyOpens(0x20119), 0u);
  // Not looked up again: the process still counts as not under WOW64.
  emu::SetIsWow64ProcessExported(true);
  EXPECT_EQ(Uninstall(kInstall), 0u);
  EXPECT_EQ(CountReleaseKeyOpens(0x20119), 0u);
}

TEST_F(EntryPointsTest, OnlyUninstallTouchesTheCommunicationCenter) {
  const std::string fixture = R"(
HKCU\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
)";
  emu::Load(fixture);
  emu::SetProperty(u"CustomActionData", u"x");
  EXPECT_EQ(Install(kInstall), 0u);
  ExpectRegistry(fixture);
  emu::SetProperty(u"CustomActionData", u"x");
  EXPECT_EQ(Uninstall(kInstall), 0u);
  ExpectRegistry(R"(
HKCU\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:1
)");
}

// The three communication-center releases sweep the same keys: restoring a
// key a second time would replace the saved value with the default.
TEST_F(EntryPointsTest, CommunicationCenterIsRestoredOnceInEachView) {
  StartMachine(emu::Machine::Wow64, emu::User::Administrator);
  std::string fixture;
  for (const char* key : {"HKLM\\SOFTWARE", "HKLM\\SOFTWARE\\Wow6432Node", "HKCU\\Software"}) {
    const std::string path = std::string(key) + "\\CadManagerControl\\CommunicationCenter";
    fixture += path + "\n  EnableCommunicationCenter = dword:0\n";
    fixture += path + "\\SKRW_Backup\n  EnableCommunicationCenter = dword:0\n";
  }
  emu::Load(fixture);
  emu::SetProperty(u"CustomActionData", u">1");
  EXPECT_EQ(Uninstall(kInstall), 0u);
  ExpectRegistry(R"(
HKLM\SOFTWARE\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
HKLM\SOFTWARE\Wow6432Node\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
HKCU\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
)");
}

TEST_F(EntryPointsTest, DllMainOnlyTurnsThreadNotificationsOff) {
  for (win::DWORD reason : {0u, 1u, 2u, 3u}) EXPECT_EQ(DllMain(nullptr, reason, nullptr), 1);
  EXPECT_EQ(emu::CountCalls("DisableThreadLibraryCalls"), 1u);
  EXPECT_EQ(CountRegistryCalls(), 0u);
}

// Not knowing whether the machine may be written is no reason to switch the
// user's settings instead: the export fails before it changes anything, and
// the next call asks again.
TEST_F(EntryPointsTest, FailedWriteProbeFailsTheExportBeforeAnythingChanges) {
  emu::Load(kMachineProduct);
  emu::SetProperty(u"CustomActionData", u">1");
  emu::FailNthCallOf("RegOpenKeyExW", 1, win::ERROR_KEY_DELETED);
  EXPECT_EQ(Install(kInstall), win::ERROR_INSTALL_FAILURE);
  EXPECT_EQ(CountRegistryCalls(), 1u);
  ExpectRegistry(kMachineProduct);  // which also forgets the data
  emu::SetProperty(u"CustomActionData", u">1");
  EXPECT_EQ(Install(kInstall), 0u);
  ExpectRegistry(R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\P\InfoCenter
  InfoCenterOn = dword:0
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)");
}

// A user's own settings key that could not be looked at is no missing key:
// nothing is copied over it, and so nothing of it is deleted later.
TEST_F(EntryPointsTest, UserKeyThatCannotBeOpenedIsNeverCopiedOver) {
  const std::string before = std::string(kMachineProduct) + R"(
HKCU\Software\Autodesk\AutoCAD\R18.0\P\InfoCenter
  InfoCenterOn = dword:1
  Own = sz:mine
)";
  emu::Load(before);
  emu::SetProperty(u"CustomActionData", u">0");
  emu::FailPath("HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\P\\InfoCenter",
                win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Install(kInstall), win::ERROR_INSTALL_FAILURE);
  emu::ClearFaults();
  ExpectRegistry(before);  // which also forgets the data
  emu::SetProperty(u"CustomActionData", u">0");
  EXPECT_EQ(Uninstall(kInstall), 0u);
  ExpectRegistry(before);
}

}  // namespace
