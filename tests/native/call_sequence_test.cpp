// The registry calls that switching one setting and restoring it take: each
// within reach of the fewest the behaviour allows.
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "registry/key_tree.h"
#include "settings/setting_switch.h"

namespace {

using engine_test::EngineTest;

constexpr char16_t kPath[] = u"SOFTWARE\\Acme\\R1\\P\\InfoCenter";
constexpr ProductRelease kAutoCad18{AutoCad, 18, 0};

std::vector<std::string> RegistryCalls() {
  std::vector<std::string> calls;
  for (const emu::Call& call : emu::Calls()) {
    if (call.function.rfind("Reg", 0) == 0) calls.push_back(call.function + " " + call.path);
  }
  return calls;
}

class CallSequenceTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    CanWriteMachineSoftware();  // probed once per process, not per setting
  }
  std::vector<std::string> Switch(bool installing, bool machine_wide) {
    emu::ClearCalls();
    ActionCall call(installing, machine_wide);
    SwitchSetting(kInfoCenterOn, kAutoCad18, kPath, call);
    EXPECT_FALSE(call.failed);
    return RegistryCalls();
  }
};

const std::string kMachineKey = "HKLM\\SOFTWARE\\Acme\\R1\\P\\InfoCenter";
const std::string kUserKey = "HKCU\\Software\\Acme\\R1\\P\\InfoCenter";

// Fewest possible: open the key, read the setting, create the backup key,
// write the record, close it, write 0, close the key (7); and one open to
// learn whether the user has a key of their own.
TEST_F(CallSequenceTest, SwitchingOneSettingAtMachineLevel) {
  emu::Load("HKLM\\SOFTWARE\\Acme\\R1\\P\\InfoCenter\n  InfoCenterOn = dword:1\n");
  EXPECT_EQ(Switch(true, true), (std::vector<std::string>{
                                    "RegOpenKeyExW " + kMachineKey,
                                    "RegQueryValueExW " + kMachineKey,
                                    "RegCreateKeyExW " + kMachineKey + "\\SKRW_Backup",
                                    "RegSetValueExW " + kMachineKey + "\\SKRW_Backup",
                                    "RegCloseKey " + kMachineKey + "\\SKRW_Backup",
                                    "RegSetValueExW " + kMachineKey,
                                    "RegCloseKey " + kMachineKey,
                                    "RegOpenKeyExW " + kUserKey,
                                }));
}

// Fewest possible: open the key and its backup key, read the record, write
// it back, learn that the record is all the backup key holds, close and
// delete it, close the key (8); and the open of the user's key, which is
// missing, and the look above it for the trail of a per-user run that died
// before its copy was there (7).
TEST_F(CallSequenceTest, RestoringOneSettingAtMachineLevel) {
  emu::Load(R"(
HKLM\SOFTWARE\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
HKLM\SOFTWARE\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)");
  EXPECT_EQ(Switch(false, true), (std::vector<std::string>{
                                     "RegOpenKeyExW " + kMachineKey,
                                     "RegOpenKeyExW " + kMachineKey + "\\SKRW_Backup",
                                     "RegQueryValueExW " + kMachineKey + "\\SKRW_Backup",
                                     "RegSetValueExW " + kMachineKey,
                                     "RegQueryInfoKeyW " + kMachineKey + "\\SKRW_Backup",
                                     "RegCloseKey " + kMachineKey + "\\SKRW_Backup",
                                     "RegDeleteKeyW " + kMachineKey + "\\SKRW_Backup",
                                     "RegCloseKey " + kMachineKey,
                                     "RegOpenKeyExW " + kUserKey,
                                     "RegOpenKeyExW HKCU\\Software\\Acme\\R1\\P",
                                     "RegOpenKeyExW HKCU\\Software\\Acme\\R1",
                                     "RegOpenKeyExW HKCU\\Software\\Acme",
                                     "RegOpenKeyExW HKCU\\Software",
                                     "RegQueryValueExW HKCU\\Software",
                                     "RegQueryInfoKeyW HKCU\\Software",
                                     "RegCloseKey HKCU\\Software",
                                 }));
}

// A second Install over a record: the record is looked up and kept, and a
// setting that is 0 already is not written again.
TEST_F(CallSequenceTest, SwitchingAgainOnlyLooksAtTheRecord) {
  emu::Load(R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)");
  EXPECT_EQ(Switch(true, false), (std::vector<std::string>{
                                     "RegOpenKeyExW " + kUserKey,
                                     "RegQueryValueExW " + kUserKey,
                                     "RegCreateKeyExW " + kUserKey + "\\SKRW_Backup",
                                     "RegQueryValueExW " + kUserKey + "\\SKRW_Backup",
                                     "RegCloseKey " + kUserKey + "\\SKRW_Backup",
                                     "RegCloseKey " + kUserKey,
                                 }));
}

// Per user over a key of the user's own: what the machine-level switch
// takes, less the machine key. The copy's trail costs nothing here.
TEST_F(CallSequenceTest, SwitchingOneSettingAtUserLevel) {
  emu::Load("HKCU\\Software\\Acme\\R1\\P\\InfoCenter\n  InfoCenterOn = dword:1\n");
  EXPECT_EQ(Switch(true, false), (std::vector<std::string>{
                                     "RegOpenKeyExW " + kUserKey,
                                     "RegQueryValueExW " + kUserKey,
                                     "RegCreateKeyExW " + kUserKey + "\\SKRW_Backup",
                                     "RegSetValueExW " + kUserKey + "\\SKRW_Backup",
                                     "RegCloseKey " + kUserKey + "\\SKRW_Backup",
                                     "RegSetValueExW " + kUserKey,
                                     "RegCloseKey " + kUserKey,
                                 }));
}

// Per user over a key of the user's own with its record: the marker is
// looked for, then the record restored; nothing more.
TEST_F(CallSequenceTest, RestoringOneSettingAtUserLevel) {
  emu::Load(R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)");
  EXPECT_EQ(Switch(false, false), (std::vector<std::string>{
                                      "RegOpenKeyExW " + kUserKey,
                                      "RegQueryValueExW " + kUserKey,
                                      "RegOpenKeyExW " + kUserKey + "\\SKRW_Backup",
                                      "RegQueryValueExW " + kUserKey + "\\SKRW_Backup",
                                      "RegSetValueExW " + kUserKey,
                                      "RegQueryInfoKeyW " + kUserKey + "\\SKRW_Backup",
                                      "RegCloseKey " + kUserKey + "\\SKRW_Backup",
                                      "RegDeleteKeyW " + kUserKey + "\\SKRW_Backup",
                                      "RegCloseKey " + kUserKey,
                                  }));
}

}  // namespace
