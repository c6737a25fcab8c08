// Enumerating the product keys of a release and dispatching each to the
// switch of its settings keys.
#include "products/product_sweep.h"

#include <string>
#include <vector>

#include "engine_test_support.h"

namespace {

using engine_test::CountCallsTo;
using engine_test::EngineTest;

constexpr ProductRelease kAutoCad18{AutoCad, 18, 0};

class ProductSweepTest : public EngineTest {
 protected:
  // One sweep as its own call of an export; |failed_| tells whether the call
  // would report a failure.
  bool Sweep(bool installing, const ProductRelease& release, bool machine_wide,
             bool view64 = false) {
    ActionCall call(installing, machine_wide);
    call.view64 = view64;
    const bool swept = SweepProductKeys(release, call);
    failed_ = call.failed;
    return swept;
  }
  bool failed_ = false;
};

// The settings key |key| with InfoCenter on, and as a switch leaves it.
std::string InfoCenterOn(const std::string& key) { return key + "\n  InfoCenterOn = dword:1\n"; }
std::string InfoCenterSwitched(const std::string& key) {
  return key + "\n  InfoCenterOn = dword:0\n" + key + "\\SKRW_Backup\n  InfoCenterOn = dword:1\n";
}

// One product key below each root, so that the dump shows which root was
// enumerated.
constexpr char kBothRoots[] = R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\MACHINE\InfoCenter
  InfoCenterOn = dword:1
HKCU\Software\Autodesk\AutoCAD\R18.0\USER\InfoCenter
  InfoCenterOn = dword:1
)";

struct RootCase {
  const char* name;
  emu::User user;
  bool machine_wide;
  const char* swept;  // the settings key that gets switched
};

class SweepRootTest : public ProductSweepTest, public ::testing::WithParamInterface<RootCase> {};

TEST_P(SweepRootTest, SweepsTheProductsOfTheChosenRoot) {
  StartMachine(emu::Machine::Windows32, GetParam().user);
  emu::Load(kBothRoots);
  EXPECT_TRUE(Sweep(true, kAutoCad18, GetParam().machine_wide));
  ExpectRegistry(kBothRoots + InfoCenterSwitched(GetParam().swept));
}

constexpr char kUserKey[] = "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\USER\\InfoCenter";
constexpr char kMachineKey[] = "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\MACHINE\\InfoCenter";

INSTANTIATE_TEST_SUITE_P(
    Roots, SweepRootTest,
    ::testing::Values(RootCase{"PerUser", emu::User::Administrator, false, kUserKey},
                      RootCase{"MachineWide", emu::User::Administrator, true, kMachineKey},
                      RootCase{"MachineWideReadOnly", emu::User::Standard, true, kUserKey}),
    [](const ::testing::TestParamInfo<RootCase>& info) { return info.param.name; });

TEST_F(ProductSweepTest, AutoCadBeforeR16IsSweptOnlyBelowAWritableMachine) {
  const std::string fixture = R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R15.0\P\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
HKCU\Software\Autodesk\AutoCAD\R15.0\P\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
)";
  const ProductRelease r15{AutoCad, 15, 0};
  emu::Load(fixture);
  // Writable: swept below HKEY_LOCAL_MACHINE whatever the flag, but R15 has
  // no settings keys.
  EXPECT_TRUE(Sweep(true, r15, false));
  EXPECT_EQ(CountCallsTo("RegOpenKeyExW", "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R15.0", 0x20019), 1u);
  ExpectRegistry(fixture);

  StartMachine(emu::Machine::Windows32, emu::User::Standard);
  emu::Load(fixture);
  EXPECT_FALSE(Sweep(true, r15, true));
  for (const emu::Call& call : emu::Calls()) {
    EXPECT_EQ(call.path.find("R15.0"), std::string::npos) << call.function << " " << call.path;
  }
}

TEST_F(ProductSweepTest, ReleaseKeyPresenceDecidesTheResult) {
  EXPECT_FALSE(Sweep(true, kAutoCad18, false));
  emu::Load("HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\n");
  EXPECT_TRUE(Sweep(true, kAutoCad18, false));
  ExpectRegistry("HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\n");
}

TEST_F(ProductSweepTest, SixtyFourBitPassOpensTheReleaseKeyInThatView) {
  StartMachine(emu::Machine::Wow64, emu::User::Administrator);
  const std::string native = "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\NATIVE\\InfoCenter";
  const std::string wow = "HKLM\\SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\R18.0\\WOW\\InfoCenter";
  emu::Load(InfoCenterOn(native) + InfoCenterOn(wow));
  EXPECT_TRUE(Sweep(true, kAutoCad18, true, true));
  EXPECT_EQ(CountCallsTo("RegOpenKeyExW", "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0", 0x20119), 1u);
  ExpectRegistry(InfoCenterSwitched(native) + InfoCenterOn(wow));
}

struct DispatchCase {
  const char* name;
  ProductRelease release;
  std::vector<std::string> suffixes;
};

class DispatchTest : public ProductSweepTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(DispatchTest, ProbesTheSettingsKeysOfTheReleaseInOrder) {
  const DispatchCase& c = GetParam();
  ActionCall call(true, false);
  DispatchSettingLocation(u"Software\\Acme\\Product-Key:409", c.release, call);
  std::vector<std::string> expected;
  for (const std::string& suffix : c.suffixes) {
    // One open of each settings key tells whether the user has it.
    expected.push_back("HKCU\\Software\\Acme\\Product-Key:409" + suffix);
  }
  std::vector<std::string> probes;
  for (const emu::Call& call : emu::Calls()) {
    if (call.function == "RegOpenKeyExW" && call.path.rfind("HKCU\\", 0) == 0) {
      probes.push_back(call.path);
    }
  }
  EXPECT_EQ(probes, expected);
}

const std::string kWs = "\\Applications\\WSCommCntrAcCon";
const std::string kIcAcConn = "\\Applications\\InfoCenterAcConn";
const std::string kIc = "\\InfoCenter";
const std::string kComm = "\\CadManagerControl\\CommunicationCenter";

INSTANTIATE_TEST_SUITE_P(
    Releases, DispatchTest,
    ::testing::Values(DispatchCase{"AutoCad16_2", {AutoCad, 16, 2}, {kWs}},
                      DispatchCase{"AutoCad17_0", {AutoCad, 17, 0}, {kWs}},
                      DispatchCase{"AutoCad17_1", {AutoCad, 17, 1}, {kWs, kIcAcConn}},
                      DispatchCase{"AutoCad18_2", {AutoCad, 18, 2}, {kIc}},
                      DispatchCase{"AutoCad19_1", {AutoCad, 19, 1}, {kIc}},
                      DispatchCase{"AutoCadLt12", {AutoCadLt, 12, 0}, {kWs}},
                      DispatchCase{"AutoCadLt14", {AutoCadLt, 14, 0}, {kWs, kIcAcConn}},
                      DispatchCase{"AutoCadLt15", {AutoCadLt, 15, 0}, {kIc}},
                      DispatchCase{"CadManagerControl", {0, 0, 13}, {kComm}},
                      DispatchCase{"AutoCad19_2", {AutoCad, 19, 2}, {}},
                      DispatchCase{"AutoCadLt15Minor1", {AutoCadLt, 15, 1}, {}},
                      DispatchCase{"Bricscad", {BricsCad, 9, 0}, {}},
                      DispatchCase{"Max3ds", {Max3ds, 9, 0}, {}}),
    [](const ::testing::TestParamInfo<DispatchCase>& info) { return info.param.name; });

// Directly below the root key the product key path is the sub-key name alone:
// a path that begins with a backslash is refused by Windows.
TEST_F(ProductSweepTest, CommunicationCenterBelowTheRootsOwnSubKeysIsRestored) {
  emu::Load(R"(
HKLM\SOFTWARE\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
HKCU\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
HKCU\Other
)");
  EXPECT_TRUE(Sweep(false, ProductRelease{0, 0, 12}, true));
  for (const emu::Call& call : emu::Calls()) {
    EXPECT_NE(call.result, win::ERROR_BAD_PATHNAME) << call.function << " " << call.path;
  }
  ExpectRegistry(R"(
HKLM\SOFTWARE\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:1
HKCU\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:1
HKCU\Other
)");
}

// Removing a marked per-user copy can prune its product key; the product key
// that moves into its index must still be visited.
// Three marked per-user copies whose removal prunes their product keys.
void LoadThreeMarkedCopies() {
  std::string fixture = "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\n  Keep = sz:x\n";
  for (const char* product : {"A", "B", "C"}) {
    const std::string key = std::string("HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\") + product;
    fixture += key + "\\InfoCenter\n  InfoCenterOn = dword:0\n  SKRW_RemoveOnUninstall = dword:1\n";
    fixture += key + "\\InfoCenter\\SKRW_Backup\n  InfoCenterOn = dword:1\n";
  }
  emu::Load(fixture);
}

TEST_F(ProductSweepTest, ProductKeysAfterAPrunedOneAreStillVisited) {
  LoadThreeMarkedCopies();
  EXPECT_TRUE(Sweep(false, kAutoCad18, false));
  ExpectRegistry("HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\n  Keep = sz:x\n");
}

TEST_F(ProductSweepTest, PrunedProductKeysAreNoticedWithoutTheReleaseKeysInfo) {
  LoadThreeMarkedCopies();
  emu::FailNthCallOf("RegQueryInfoKeyW", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_TRUE(Sweep(false, kAutoCad18, false));
  ExpectRegistry("HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\n  Keep = sz:x\n");
}

TEST_F(ProductSweepTest, SweepEndsQuietlyWhenItsReleaseKeyIsPruned) {
  emu::Load(R"(
HKCU\Software\Autodesk\AutoCAD\R19.0
HKCU\Software\Autodesk\AutoCAD\R18.0\A\InfoCenter
  InfoCenterOn = dword:0
  SKRW_RemoveOnUninstall = dword:1
)");
  EXPECT_TRUE(Sweep(false, kAutoCad18, false));
  ExpectRegistry("HKCU\\Software\\Autodesk\\AutoCAD\\R19.0\n");
}

// What a per-user Install leaves below a product key that only the user
// has: the user's own setting switched off and recorded.
std::string UserOnlySwitched(const std::string& key) {
  return key + "\n  InfoCenterOn = dword:0\n" + key + "\\SKRW_Backup\n  InfoCenterOn = sz:0\n";
}
std::string UserOnlyRestored(const std::string& key) { return key + "\n  InfoCenterOn = sz:0\n"; }

constexpr char kMachineRelease[] = "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0";
constexpr char kUserRelease[] = "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0";
const std::string kUserOnly = std::string(kUserRelease) + "\\USERONLY\\InfoCenter";

// A machine-level Uninstall reaches the records below product keys that
// only the user has, and handles only their user level.
TEST_F(ProductSweepTest, MachineLevelUninstallRestoresProductKeysOnlyTheUserHas) {
  emu::Load(kBothRoots + UserOnlySwitched(kUserOnly));
  EXPECT_TRUE(Sweep(false, kAutoCad18, true));
  EXPECT_FALSE(failed_);
  EXPECT_EQ(CountCallsTo("RegOpenKeyExW", kUserRelease, win::KEY_READ), 1u);
  EXPECT_EQ(CountCallsTo("RegOpenKeyExW", std::string(kMachineRelease) + "\\USERONLY\\InfoCenter"),
            0u);
  ExpectRegistry(kBothRoots + UserOnlyRestored(kUserOnly));
}

// Also where the machine has no key of the release at all.
TEST_F(ProductSweepTest, MachineLevelUninstallFindsTheUsersReleaseWithoutTheMachines) {
  emu::Load(UserOnlySwitched(kUserOnly));
  EXPECT_TRUE(Sweep(false, kAutoCad18, true));
  EXPECT_FALSE(failed_);
  ExpectRegistry(UserOnlyRestored(kUserOnly));
}

// The product keys the machine has were handled with it: their settings
// keys below the user are not opened a second time.
TEST_F(ProductSweepTest, ProductKeysTheMachineHasAreNotHandledAgain) {
  const std::string user = std::string(kUserRelease) + "\\BOTH\\InfoCenter";
  const std::string machine = std::string(kMachineRelease) + "\\both\\InfoCenter";
  emu::Load(InfoCenterSwitched(machine) + InfoCenterSwitched(user));
  EXPECT_TRUE(Sweep(false, kAutoCad18, true));
  EXPECT_EQ(CountCallsTo("RegOpenKeyExW", user), 1u);
  ExpectRegistry(InfoCenterOn(machine) + InfoCenterOn(user));
}

// Absence is nothing to do: no user release key, or none at all.
TEST_F(ProductSweepTest, MissingReleaseKeysAreNoFailureOfAMachineLevelUninstall) {
  EXPECT_FALSE(Sweep(false, kAutoCad18, true));
  EXPECT_FALSE(failed_);
  emu::Load(InfoCenterSwitched(kMachineKey));
  EXPECT_TRUE(Sweep(false, kAutoCad18, true));
  EXPECT_FALSE(failed_);
  ExpectRegistry(InfoCenterOn(kMachineKey));
}

// Marked per-user copies below product keys that only the user has go, with
// the keys they leave empty, and the product keys after them are visited.
TEST_F(ProductSweepTest, MachineLevelUninstallRemovesMarkedCopiesOnlyTheUserHas) {
  LoadThreeMarkedCopies();
  emu::Load("HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\M\n");
  EXPECT_TRUE(Sweep(false, kAutoCad18, true));
  EXPECT_FALSE(failed_);
  ExpectRegistry(
      "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\n  Keep = sz:x\n"
      "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\M\n");
}

// Install keeps to the machine's product keys, and the 64-bit pass of
// Uninstall leaves the user's product keys to the first (it may still look
// above a missing settings key for a dead run's trail).
TEST_F(ProductSweepTest, OnlyTheFirstPassOfUninstallOpensTheUsersReleaseKey) {
  emu::Load(kBothRoots);
  EXPECT_TRUE(Sweep(true, kAutoCad18, true));
  EXPECT_EQ(CountCallsTo("RegOpenKeyExW", kUserRelease), 0u);
  ExpectRegistry(kBothRoots + InfoCenterSwitched(kMachineKey));

  StartMachine(emu::Machine::Wow64, emu::User::Administrator);
  emu::Load(kBothRoots);
  EXPECT_TRUE(Sweep(false, kAutoCad18, true, true));
  EXPECT_EQ(CountCallsTo("RegEnumKeyExW", kUserRelease), 0u);
}

// A user release key that exists but cannot be read is a failure; the
// machine's product keys are done all the same.
TEST_F(ProductSweepTest, UnreadableUserReleaseKeyFailsAMachineLevelUninstall) {
  emu::Load(InfoCenterSwitched(kMachineKey) + UserOnlySwitched(kUserOnly));
  emu::FailPath(kUserRelease, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Sweep(false, kAutoCad18, true));
  EXPECT_TRUE(failed_);
  emu::ClearFaults();
  ExpectRegistry(InfoCenterOn(kMachineKey) + UserOnlySwitched(kUserOnly));
}

TEST_F(ProductSweepTest, EnumerationErrorBelowTheUserFailsAMachineLevelUninstall) {
  const std::string a = std::string(kUserRelease) + "\\A\\InfoCenter";
  const std::string b = std::string(kUserRelease) + "\\B\\InfoCenter";
  emu::Load(std::string(kMachineRelease) + "\n" + UserOnlySwitched(a) + UserOnlySwitched(b));
  // The machine's empty release key takes the first call.
  emu::FailNthCallOf("RegEnumKeyExW", 3, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Sweep(false, kAutoCad18, true));
  EXPECT_TRUE(failed_);
  ExpectRegistry(std::string(kMachineRelease) + "\n" + UserOnlyRestored(a) + UserOnlySwitched(b));
}

// Where the machine's release key could not be read, the user's product keys
// may be the machine's too: each gets the machine level first.
TEST_F(ProductSweepTest, UnreadableMachineReleaseKeyLeavesTheUsersToTheMachineLevel) {
  const std::string machine = std::string(kMachineRelease) + "\\P\\InfoCenter";
  const std::string user = std::string(kUserRelease) + "\\P\\InfoCenter";
  emu::Load(InfoCenterSwitched(machine) + InfoCenterSwitched(user));
  emu::FailPath(kMachineRelease, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Sweep(false, kAutoCad18, true));
  EXPECT_TRUE(failed_);
  emu::ClearFaults();
  ExpectRegistry(InfoCenterOn(machine) + InfoCenterOn(user));
}

constexpr char kInfoCenterA[] = "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\A\\InfoCenter";
constexpr char kInfoCenterB[] = "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\B\\InfoCenter";

class ProductSweepFailureTest : public ProductSweepTest {
 protected:
  void SetUp() override {
    ProductSweepTest::SetUp();
    emu::Load(InfoCenterOn(kInfoCenterA) + InfoCenterOn(kInfoCenterB));
  }
};

// The product keys after the failed index are not visited: that must not
// pass for success.
TEST_F(ProductSweepFailureTest, EnumerationErrorEndsTheSweepAndIsAFailure) {
  emu::FailNthCallOf("RegEnumKeyExW", 2, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Sweep(true, kAutoCad18, false));
  EXPECT_TRUE(failed_);
  ExpectRegistry(InfoCenterSwitched(kInfoCenterA) + InfoCenterOn(kInfoCenterB));
}

TEST_F(ProductSweepFailureTest, FailedQueryOfTheReleaseKeyStillVisitsEveryProduct) {
  emu::FailNthCallOf("RegQueryInfoKeyW", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_TRUE(Sweep(true, kAutoCad18, false));
  ExpectRegistry(InfoCenterSwitched(kInfoCenterA) + InfoCenterSwitched(kInfoCenterB));
}

}  // namespace
