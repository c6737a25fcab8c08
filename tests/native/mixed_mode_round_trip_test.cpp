// Install and Uninstall in different modes: an administrator without
// elevation installs with the machine-wide flag, which works per user since
// HKEY_LOCAL_MACHINE\SOFTWARE is read-only; the removal runs elevated. Every
// record Install left must be put back, also those below product keys that
// only the user has.
#include <string>

#include "engine_test_support.h"
#include "entry/entry_points.h"

namespace {

using engine_test::CanonicalDump;
using engine_test::StartProcess;

constexpr win::MSIHANDLE kInstall = 1;

// ACAD-8001 is installed for the machine and the user; ACAD-8002 and the
// AutoCAD LT R19 release only for the user, one with the user's own text "0"
// and one with a DWORD. ACAD-5001 of R17.1 has its settings keys only below
// the machine, so a per-user Install copies them.
constexpr char kBefore[] = R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
HKLM\SOFTWARE\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\InfoCenterAcConn
  Name = sz:InfoCenter
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409
  Profile = sz:Default
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8002:409\InfoCenter
  InfoCenterOn = sz:0
HKCU\Software\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = dword:1
  Mode = dword:3
)";

// What the per-user Install leaves; the key created above the copies is
// marked too.
constexpr char kInstalled[] = R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
HKLM\SOFTWARE\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\InfoCenterAcConn
  Name = sz:InfoCenter
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409
  Profile = sz:Default
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications
  SKRW_RemoveWhenEmpty = dword:1
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  SKRW_RemoveOnUninstall = dword:1
  LOADCTRLS = dword:0
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon\SKRW_Backup
  LOADCTRLS = dword:2
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\InfoCenterAcConn
  Name = sz:InfoCenter
  SKRW_RemoveOnUninstall = dword:1
  LOADCTRLS = dword:0
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\InfoCenterAcConn\SKRW_Backup
  SKRW_Absent_LOADCTRLS = dword:1
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8002:409\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8002:409\InfoCenter\SKRW_Backup
  InfoCenterOn = sz:0
HKCU\Software\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = dword:0
  Mode = dword:3
HKCU\Software\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)";

// Writes to the registry below HKEY_LOCAL_MACHINE in the call log.
std::size_t MachineWrites() {
  std::size_t writes = 0;
  for (const emu::Call& call : emu::Calls()) {
    const bool write = call.function == "RegSetValueExW" || call.function == "RegCreateKeyExW" ||
                       call.function == "RegDeleteKeyW" || call.function == "RegDeleteValueW";
    if (write && call.path.rfind("HKLM", 0) == 0) ++writes;
  }
  return writes;
}

class MixedModeRoundTripTest : public ::testing::TestWithParam<emu::Machine> {
 protected:
  void TearDown() override { EXPECT_EQ(emu::OpenHandleCount(), 0u) << "a key was left open"; }

  // The installation by the administrator without elevation; the registry
  // it leaves.
  std::string InstallWithoutElevation() {
    StartProcess(GetParam(), emu::User::Standard);
    emu::Load(Placed(kBefore));
    emu::SetProperty(u"CustomActionData", u"[ProductCode]>1");
    EXPECT_EQ(Install(kInstall), 0u);
    EXPECT_EQ(MachineWrites(), 0u);
    const std::string installed = emu::Dump();
    EXPECT_EQ(installed, Canonical(kInstalled));
    return installed;
  }

  // Uninstall as the elevated administrator, in a process of its own.
  void UninstallElevated(const std::string& installed, const char16_t* data) {
    StartProcess(GetParam(), emu::User::Administrator);
    emu::Load(installed);
    emu::SetProperty(u"CustomActionData", data);
    EXPECT_EQ(Uninstall(kInstall), 0u);
  }

  // |text| with the machine's keys where a 32-bit process sees them.
  std::string Placed(const std::string& text) const {
    return engine_test::AsSeenBy32Bit(text, GetParam());
  }

  std::string Canonical(const std::string& text) const {
    return CanonicalDump(Placed(text), GetParam(), emu::User::Administrator);
  }
};

TEST_P(MixedModeRoundTripTest, MachineWideUninstallRestoresWhatAPerUserInstallRecorded) {
  const std::string installed = InstallWithoutElevation();
  UninstallElevated(installed, u"[ProductCode]>1");
  EXPECT_EQ(emu::Dump(), Canonical(kBefore));
}

TEST_P(MixedModeRoundTripTest, PerUserUninstallRestoresItWithoutWritingTheMachine) {
  const std::string installed = InstallWithoutElevation();
  UninstallElevated(installed, u"[ProductCode]>0");
  EXPECT_EQ(MachineWrites(), 0u);
  EXPECT_EQ(emu::Dump(), Canonical(kBefore));
}

// A second machine-wide Uninstall finds nothing more to do.
TEST_P(MixedModeRoundTripTest, MachineWideUninstallTwiceChangesNothingMore) {
  const std::string installed = InstallWithoutElevation();
  UninstallElevated(installed, u"[ProductCode]>1");
  const std::string once = emu::Dump();
  UninstallElevated(once, u"[ProductCode]>1");
  EXPECT_EQ(emu::Dump(), once);
}

INSTANTIATE_TEST_SUITE_P(Machines, MixedModeRoundTripTest,
                         ::testing::Values(emu::Machine::Windows32, emu::Machine::Wow64),
                         [](const ::testing::TestParamInfo<emu::Machine>& info) {
                           return info.param == emu::Machine::Wow64 ? "Wow64" : "Windows32";
                         });

}  // namespace
