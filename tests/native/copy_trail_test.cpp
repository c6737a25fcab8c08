// The trail of a per-user copy: the order in which a copy and the keys above
// it are made, and what the next run does with each state a run that stopped
// can leave behind.
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "registry/key_tree.h"
#include "settings/setting_switch.h"

namespace {

using engine_test::EngineTest;

constexpr ProductRelease kAutoCad18{AutoCad, 18, 0};
constexpr ProductRelease kAutoCad171{AutoCad, 17, 1};
constexpr char16_t kInfoCenterPath[] = u"SOFTWARE\\Acme\\R1\\P\\InfoCenter";
constexpr char16_t kConnectorPath[] = u"SOFTWARE\\Acme\\R1\\P\\Applications\\WSCommCntrAcCon";

const std::string kMachine = R"(
HKLM\SOFTWARE\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:1
HKLM\SOFTWARE\Acme\R1\P\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:1
)";
// The user's product key, which the sweep found.
const std::string kProduct = R"(
HKCU\Software\Acme\R1\P
  Profile = sz:Default
)";

class CopyTrailTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    CanWriteMachineSoftware();  // probed once per process, not per setting
  }
  // Per user, as a new export call; false when it would report a failure.
  bool Switch(bool installing, const ProductRelease& release = kAutoCad18,
              const char16_t* path = kInfoCenterPath, bool machine_wide = false) {
    ActionCall call(installing, machine_wide);
    if (release.major == 18) {
      SwitchInfoCenter(release, path, call);
    } else {
      SwitchLoadCtrls(release, path, call);
    }
    return !call.failed;
  }
  // The writes of the calls logged since the last ClearCalls.
  static std::vector<std::string> Writes() {
    std::vector<std::string> writes;
    for (const emu::Call& call : emu::Calls()) {
      if (call.function == "RegSetValueExW" || call.function == "RegCreateKeyExW" ||
          call.function == "RegDeleteValueW" || call.function == "RegDeleteKeyW") {
        writes.push_back(call.function + " " + call.path);
      }
    }
    return writes;
  }
};

const std::string kUserP = "HKCU\\Software\\Acme\\R1\\P";

// Nothing is created that is not noted in its parent first, and each key is
// marked before the note goes.
TEST_F(CopyTrailTest, EachKeyIsNotedBeforeItIsCreatedAndMarkedBeforeTheNoteGoes) {
  emu::Load(kMachine + kProduct);
  emu::ClearCalls();
  EXPECT_TRUE(Switch(true, kAutoCad171, kConnectorPath));
  const std::string applications = kUserP + "\\Applications";
  const std::string copy = applications + "\\WSCommCntrAcCon";
  const std::vector<std::string> writes = Writes();
  const std::vector<std::string> trail(writes.begin(), writes.begin() + 8);
  EXPECT_EQ(trail, (std::vector<std::string>{
                       "RegSetValueExW " + kUserP,         // note: Applications
                       "RegCreateKeyExW " + applications,  //
                       "RegSetValueExW " + applications,   // SKRW_RemoveWhenEmpty
                       "RegDeleteValueW " + kUserP,        // the note goes
                       "RegSetValueExW " + applications,   // note: WSCommCntrAcCon
                       "RegCreateKeyExW " + copy,          //
                       "RegSetValueExW " + copy,           // SKRW_RemoveOnUninstall
                       "RegDeleteValueW " + applications,  // the note goes
                   }));
  ExpectRegistry(kMachine + kProduct + R"(
HKCU\Software\Acme\R1\P\Applications
  SKRW_RemoveWhenEmpty = dword:1
HKCU\Software\Acme\R1\P\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:0
  SKRW_RemoveOnUninstall = dword:1
HKCU\Software\Acme\R1\P\Applications\WSCommCntrAcCon\SKRW_Backup
  LOADCTRLS = dword:1
)");
  EXPECT_TRUE(Switch(false, kAutoCad171, kConnectorPath));
  ExpectRegistry(kMachine + kProduct);
}

// A run stopped after noting the key it was about to create.
TEST_F(CopyTrailTest, NoteOfAKeyNeverCreatedIsRemoved) {
  const std::string noted = kMachine + kProduct + "  SKRW_Creating = sz:InfoCenter\n";
  emu::Load(noted);
  EXPECT_TRUE(Switch(false));
  ExpectRegistry(kMachine + kProduct);

  emu::Reset();
  emu::Load(noted);
  EXPECT_TRUE(Switch(true));
  EXPECT_TRUE(Switch(false));
  ExpectRegistry(kMachine + kProduct);
}

// A run stopped after creating a key and before marking it: the note in the
// parent names it.
TEST_F(CopyTrailTest, EmptyKeyNamedByTheNoteIsACopysAndGoes) {
  const std::string created =
      kMachine + kProduct +
      "  SKRW_Creating = sz:InfoCenter\nHKCU\\Software\\Acme\\R1\\P\\InfoCenter\n";
  emu::Load(created);
  EXPECT_TRUE(Switch(false));
  ExpectRegistry(kMachine + kProduct);

  // Install makes the copy anew, marked, so that it does not shadow the
  // machine's key for good.
  emu::Reset();
  emu::Load(created);
  EXPECT_TRUE(Switch(true));
  ExpectRegistry(kMachine + kProduct + R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
  SKRW_RemoveOnUninstall = dword:1
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
)");
  EXPECT_TRUE(Switch(false));
  ExpectRegistry(kMachine + kProduct);
}

// A copy that a run stopped in the middle of making, in each state it can
// be left in: a per-user Install makes it again, into what one clean Install
// makes also where the machine's key has changed since, and a machine-level
// one, which makes no copies, takes it away.
TEST_F(CopyTrailTest, UnfinishedCopyIsMadeAgainOrTakenAway) {
  const std::string machine = R"(
HKLM\SOFTWARE\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:1
  Mode = sz:x
HKLM\SOFTWARE\Acme\R1\P\InfoCenter\Sub
  A = dword:1
)";
  const std::string mark =
      "  InfoCenterOn = hex(0):" +
      std::string("53,00,4b,00,52,00,57,00,5f,00,43,00,6f,00,70,00,79,00,69,00,6e,00,67,00\n");
  const std::string copy =
      "HKCU\\Software\\Acme\\R1\\P\\InfoCenter\n  SKRW_RemoveOnUninstall = dword:1\n";
  const std::string noted = kProduct + "  SKRW_Creating = sz:InfoCenter\n";
  const std::string unfinished[] = {
      noted + copy,                                // marked, the note not gone yet
      kProduct + copy,                             // marked
      kProduct + copy + mark,                      // the mark in
      kProduct + copy + mark + "  Mode = sz:x\n",  // part of the content
      kProduct + copy + mark +
          "  Mode = sz:x\nHKCU\\Software\\Acme\\R1\\P\\InfoCenter\\Sub\n"
          "  A = dword:1\nHKCU\\Software\\Acme\\R1\\P\\InfoCenter\\SKRW_Backup\n"
          "  InfoCenterOn = dword:1\n",  // all but the switch
      // what the machine's key held before it changed
      kProduct + copy + mark + "  Gone = sz:y\nHKCU\\Software\\Acme\\R1\\P\\InfoCenter\\Old\n",
  };
  // The registry after one Install over |state|, per user or machine-wide,
  // in a new process; with |dies_after|, one that stopped after that call
  // comes first.
  const auto installed = [&](const std::string& state, bool machine_wide,
                             std::size_t dies_after = 0) {
    emu::Reset();
    emu::Load(machine + state);
    if (dies_after != 0) {
      emu::DieAfterCall(dies_after);
      Switch(true);
      emu::ClearFaults();
      const std::string stopped = emu::Dump();
      emu::Reset();
      emu::Load(stopped);
    }
    EXPECT_TRUE(Switch(true, kAutoCad18, kInfoCenterPath, machine_wide)) << state;
    return emu::Dump();
  };
  const std::string clean = installed(kProduct, false);
  const std::string clean_machine_wide = installed(kProduct, true);
  for (const std::string& state : unfinished) {
    EXPECT_EQ(installed(state, false), clean) << state;
    EXPECT_EQ(installed(state, true), clean_machine_wide) << state;
  }
  // Making it again can itself be cut short after any call.
  emu::Reset();
  emu::Load(machine + kProduct + copy);
  emu::ClearCalls();
  Switch(true);
  const std::size_t calls = emu::Calls().size();
  for (std::size_t dies_after = 1; dies_after < calls; ++dies_after) {
    EXPECT_EQ(installed(kProduct + copy, false, dies_after), clean)
        << "stopped after " << dies_after;
  }
}

// Without the note an empty key is the user's: it is switched and stays.
TEST_F(CopyTrailTest, EmptyKeyWithoutANoteIsTheUsers) {
  const std::string own = kMachine + kProduct + "HKCU\\Software\\Acme\\R1\\P\\InfoCenter\n";
  emu::Load(own);
  EXPECT_TRUE(Switch(false));
  ExpectRegistry(own);
  EXPECT_TRUE(Switch(true));
  ExpectRegistry(own + R"(
HKCU\Software\Acme\R1\P\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Acme\R1\P\InfoCenter\SKRW_Backup
  SKRW_Absent_InfoCenterOn = dword:1
)");
}

// A run stopped after deleting a copy and before pruning: the key above it
// still carries its marker.
TEST_F(CopyTrailTest, MarkedKeyLeftAboveADeletedCopyGoes) {
  emu::Load(kMachine + kProduct + R"(
HKCU\Software\Acme\R1\P\Applications
  SKRW_RemoveWhenEmpty = dword:1
)");
  EXPECT_TRUE(Switch(false, kAutoCad171, kConnectorPath));
  ExpectRegistry(kMachine + kProduct);
}

// A key above a copy that the user has since written to stays.
TEST_F(CopyTrailTest, MarkedKeyHoldingMoreStays) {
  const std::string more = kMachine + kProduct + R"(
HKCU\Software\Acme\R1\P\Applications
  SKRW_RemoveWhenEmpty = dword:1
  Mine = dword:7
)";
  emu::Load(more);
  EXPECT_TRUE(Switch(false, kAutoCad171, kConnectorPath));
  ExpectRegistry(more);
}

// A copy made by an earlier version: marked, with unmarked keys above it
// that went with it then and still do.
TEST_F(CopyTrailTest, EarlierCopyGoesWithTheKeysItLeavesEmpty) {
  emu::Load(kMachine + kProduct + R"(
HKCU\Software\Acme\R1\P\Applications
HKCU\Software\Acme\R1\P\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:0
  SKRW_RemoveOnUninstall = dword:1
HKCU\Software\Acme\R1\P\Applications\WSCommCntrAcCon\SKRW_Backup
  LOADCTRLS = dword:1
)");
  EXPECT_TRUE(Switch(false, kAutoCad171, kConnectorPath));
  ExpectRegistry(kMachine + kProduct);
}

// Uninstall at user level writes nothing below HKEY_LOCAL_MACHINE, however
// much of a trail it finishes.
TEST_F(CopyTrailTest, FinishingATrailWritesOnlyBelowTheUser) {
  emu::Load(kMachine + kProduct + R"(
HKCU\Software\Acme\R1\P\Applications
  SKRW_RemoveWhenEmpty = dword:1
  SKRW_Creating = sz:WSCommCntrAcCon
HKCU\Software\Acme\R1\P\Applications\WSCommCntrAcCon
)");
  emu::ClearCalls();
  EXPECT_TRUE(Switch(false, kAutoCad171, kConnectorPath));
  for (const std::string& write : Writes()) {
    EXPECT_NE(write.find(" HKCU\\"), std::string::npos) << write;
  }
  ExpectRegistry(kMachine + kProduct);
}

}  // namespace
