// Install followed by Uninstall through the exports, on 32-bit Windows and
// on 64-bit Windows, as administrator and as standard user, with the
// machine-wide flag set and clear: the whole registry after each call.
#include <string>

#include "engine_test_support.h"
#include "entry/entry_points.h"
#include "machine_scenarios.h"
#include "round_trip_registry.h"

namespace {

using engine_test::CanonicalDump;
using engine_test::CountCallsTo;
using engine_test::CountRegistryCalls;
using engine_test::StartProcess;

constexpr win::MSIHANDLE kInstall = 1;

using machine_scenarios::Scenario;

class RoundTripTest : public ::testing::TestWithParam<Scenario> {
 protected:
  bool Wow64() const { return GetParam().machine == emu::Machine::Wow64; }
  // The machine level needs both the flag and the right to write there.
  bool MachineLevel() const {
    return GetParam().machine_wide_flag && GetParam().user == emu::User::Administrator;
  }

  std::string Expand(std::string text) const {
    const std::string m32 = Wow64() ? "HKLM\\SOFTWARE\\Wow6432Node" : "HKLM\\SOFTWARE";
    for (std::size_t at; (at = text.find("$M32")) != std::string::npos;) {
      text.replace(at, 4, m32);
    }
    for (std::size_t at; (at = text.find("$M64")) != std::string::npos;) {
      text.replace(at, 4, "HKLM\\SOFTWARE");
    }
    return text;
  }
  std::string Registry(const char* machine32, const char* machine64, const char* user) const {
    return Expand(std::string(machine32) + (Wow64() ? machine64 : "") + user);
  }
  std::string Expected(const std::string& text) const {
    return CanonicalDump(text, GetParam().machine, GetParam().user);
  }

  void SetData(const std::u16string& data) { emu::SetProperty(u"CustomActionData", data); }
};

TEST_P(RoundTripTest, InstallThenUninstallLeavesTheExpectedRegistry) {
  using namespace round_trip;
  StartProcess(GetParam().machine, GetParam().user);
  emu::Load(Registry(kMachine32, kMachine64, kUser));

  // Empty data: refused before any registry access.
  SetData(u"");
  EXPECT_EQ(Install(kInstall), 13u);
  EXPECT_EQ(CountRegistryCalls(), 0u);

  SetData(GetParam().machine_wide_flag ? u"[INSTALLDIR]>1" : u"[INSTALLDIR]>0");
  EXPECT_EQ(Install(kInstall), 0u);
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
  const std::string after_install = emu::Dump();
  const std::size_t wow64_probes = emu::CountCalls("IsWow64Process");
  const char* probed_key = Wow64() ? "HKLM\\SOFTWARE\\Wow6432Node" : "HKLM\\SOFTWARE";
  const std::size_t write_probes = CountCallsTo("RegOpenKeyExW", probed_key, win::KEY_ALL_ACCESS);

  EXPECT_EQ(
      after_install,
      Expected(MachineLevel() ? Registry(kMachine32Switched, kMachine64Switched, kUserBesideMachine)
                              : Registry(kMachine32, kMachine64, kUserAlone)));

  // The same process uninstalls (Expected() rebuilt the registry and cleared
  // the log and the properties; the process-wide state stays).
  SetData(GetParam().machine_wide_flag ? u"[INSTALLDIR]>1" : u"[INSTALLDIR]>0");
  EXPECT_EQ(Uninstall(kInstall), 0u);
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
  EXPECT_EQ(wow64_probes + emu::CountCalls("IsWow64Process"), 1u);
  // Only a machine-wide run needs to know whether it may write there.
  EXPECT_EQ(write_probes + CountCallsTo("RegOpenKeyExW", probed_key, win::KEY_ALL_ACCESS),
            GetParam().machine_wide_flag ? 1u : 0u);
  EXPECT_EQ(
      emu::Dump(),
      Expected(MachineLevel() ? Registry(kMachine32Restored, kMachine64Restored, kUserRestored)
                              : Registry(kMachine32, kMachine64, kUserRestored)));
}

// A later uninstallation runs in a process of its own.
TEST_P(RoundTripTest, UninstallInAnotherProcessLeavesTheSameRegistry) {
  using namespace round_trip;
  StartProcess(GetParam().machine, GetParam().user);
  emu::Load(Registry(kMachine32, kMachine64, kUser));
  const std::u16string data = GetParam().machine_wide_flag ? u">1" : u"ALLUSERS=";
  SetData(data);
  EXPECT_EQ(Install(kInstall), 0u);

  const std::string installed = emu::Dump();
  StartProcess(GetParam().machine, GetParam().user);
  emu::Load(installed);
  SetData(data);
  EXPECT_EQ(Uninstall(kInstall), 0u);
  EXPECT_EQ(emu::CountCalls("IsWow64Process"), 1u);
  EXPECT_EQ(
      emu::Dump(),
      Expected(MachineLevel() ? Registry(kMachine32Restored, kMachine64Restored, kUserRestored)
                              : Registry(kMachine32, kMachine64, kUserRestored)));
}

INSTANTIATE_TEST_SUITE_P(Machines, RoundTripTest, ::testing::ValuesIn(machine_scenarios::kEvery),
                         machine_scenarios::Name);

}  // namespace
