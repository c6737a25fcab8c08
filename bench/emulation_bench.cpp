// Install and Uninstall over the emulated registry, by the number of product
// keys per release: the time of one round, and the registry calls per product
// key from the call log.
//
// Scenarios (a 32-bit process on 64-bit Windows, AutoCAD R17.1, whose
// product keys carry both settings keys, LOADCTRLS = 2 in each):
//   machine  machine-wide; the product keys below HKLM (32-bit view), and
//            every second one also below HKCU with its own settings keys,
//            which are switched as well
//   user     per user; the machine's product keys as above, all of them also
//            below HKCU, every second one without settings keys there, so
//            that installing copies the machine's and uninstalling deletes
//            the copy again (each such product key holds a value, or the
//            deletion would prune it too)
//   all users the system account, machine-wide for every person, by the
//            number of persons: 10 product keys below HKLM, and each person
//            with the same 10 product keys and their own settings keys,
//            every second person logged on (a hive below HKEY_USERS), the
//            others in a hive file of their own
// A round is Install and then Uninstall in one process; Uninstall brings the
// registry back exactly, which each benchmark checks once before timing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "entry/entry_points.h"
#include "entry/wow64_probe_for_testing.h"
#include "platform/emulation/emulation.h"
#include "registry/machine_write_probe_for_testing.h"

namespace {

constexpr win::MSIHANDLE kInstallation = 1;

enum class Scenario { kMachine, kUser, kAllUsers };

// Product keys per release in the all-users scenario.
constexpr int kPersonsKeys = 10;

std::string ProductKey(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "ACAD-%04d:409", index);
  return name;
}

std::string SettingsKeys(const std::string& product_key) {
  return product_key + "\\Applications\\WSCommCntrAcCon\n  LOADCTRLS = dword:2\n" + product_key +
         "\\Applications\\InfoCenterAcConn\n  LOADCTRLS = dword:2\n";
}

std::string Person(int index) { return "S-1-5-21-1-2-3-" + std::to_string(1000 + index); }

// The machine's product keys, and |persons| persons with their own.
std::string PersonsRegistry(int persons) {
  std::string text;
  for (int i = 0; i < kPersonsKeys; ++i) {
    text += SettingsKeys("HKLM\\SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\R17.1\\" + ProductKey(i));
  }
  for (int p = 0; p < persons; ++p) {
    const std::string sid = Person(p);
    const std::string folder = "C:\\Users\\user" + std::to_string(p);
    text += "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid +
            "\n  ProfileImagePath = sz:" + folder + "\n";
    const std::string hive = p % 2 == 0 ? "HKU\\" + sid : "<" + folder + "\\NTUSER.DAT>";
    for (int i = 0; i < kPersonsKeys; ++i) {
      text += SettingsKeys(hive + "\\Software\\Autodesk\\AutoCAD\\R17.1\\" + ProductKey(i));
    }
  }
  return text;
}

std::string Registry(Scenario scenario, int keys) {
  if (scenario == Scenario::kAllUsers) return PersonsRegistry(keys);
  std::string text;
  for (int i = 0; i < keys; ++i) {
    const std::string name = ProductKey(i);
    text += SettingsKeys("HKLM\\SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\R17.1\\" + name);
    const std::string user = "HKCU\\Software\\Autodesk\\AutoCAD\\R17.1\\" + name;
    if (i % 2 == 0) {
      text += SettingsKeys(user);
    } else if (scenario == Scenario::kUser) {
      // A value of its own keeps the user's product key when the copy below
      // it goes.
      text += user + "\n  Language = sz:en-US\n";
    }
  }
  return text;
}

// A newly started process on the emulated machine, as it is.
void StartProcess() {
  ResetMachineWriteProbeForTesting();
  ResetWow64ProbeForTesting();
}

std::size_t RegistryCalls() {
  std::size_t count = 0;
  for (const emu::Call& call : emu::Calls()) {
    if (call.function.compare(0, 3, "Reg") == 0) ++count;
  }
  return count;
}

void Round(Scenario scenario, int keys, benchmark::State& state) {
  emu::Reset(emu::Machine::Wow64, emu::User::Administrator);
  if (scenario == Scenario::kAllUsers) emu::SetProcessUser(u"S-1-5-18");
  emu::Load(Registry(scenario, keys));
  emu::SetProperty(u"CustomActionData", scenario == Scenario::kMachine    ? u">1"
                                        : scenario == Scenario::kAllUsers ? u">1;AllUsers"
                                                                          : u">0");
  const std::string before = emu::Dump();

  // Once untimed: the calls each export makes, and that the round is exact.
  StartProcess();
  emu::ClearCalls();
  const win::UINT installed = Install(kInstallation);
  const std::size_t install_calls = RegistryCalls();
  emu::ClearCalls();
  const win::UINT uninstalled = Uninstall(kInstallation);
  const std::size_t uninstall_calls = RegistryCalls();
  if (installed != 0 || uninstalled != 0 || emu::Dump() != before) {
    state.SkipWithError("the round did not bring the registry back");
    return;
  }

  for (auto _ : state) {
    StartProcess();
    Install(kInstallation);
    Uninstall(kInstallation);
    state.PauseTiming();
    emu::ClearCalls();
    state.ResumeTiming();
  }
  state.counters["install_calls_per_key"] = static_cast<double>(install_calls) / keys;
  state.counters["uninstall_calls_per_key"] = static_cast<double>(uninstall_calls) / keys;
  state.counters["keys"] = keys;
}

// Per person: the calls and the time that each person's hive adds.
void AllUsers(benchmark::State& state) {
  Round(Scenario::kAllUsers, static_cast<int>(state.range(0)), state);
}

void MachineWide(benchmark::State& state) {
  Round(Scenario::kMachine, static_cast<int>(state.range(0)), state);
}
void PerUser(benchmark::State& state) {
  Round(Scenario::kUser, static_cast<int>(state.range(0)), state);
}

BENCHMARK(MachineWide)->RangeMultiplier(10)->Range(1, 10000)->Unit(benchmark::kMillisecond);
BENCHMARK(PerUser)->RangeMultiplier(10)->Range(1, 10000)->Unit(benchmark::kMillisecond);
BENCHMARK(AllUsers)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
