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

enum class Scenario { kMachine, kUser };

std::string ProductKey(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "ACAD-%04d:409", index);
  return name;
}

std::string SettingsKeys(const std::string& product_key) {
  return product_key + "\\Applications\\WSCommCntrAcCon\n  LOADCTRLS = dword:2\n" + product_key +
         "\\Applications\\InfoCenterAcConn\n  LOADCTRLS = dword:2\n";
}

std::string Registry(Scenario scenario, int keys) {
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
  emu::Load(Registry(scenario, keys));
  emu::SetProperty(u"CustomActionData", scenario == Scenario::kMachine ? u">1" : u">0");
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

void MachineWide(benchmark::State& state) {
  Round(Scenario::kMachine, static_cast<int>(state.range(0)), state);
}
void PerUser(benchmark::State& state) {
  Round(Scenario::kUser, static_cast<int>(state.range(0)), state);
}

BENCHMARK(MachineWide)->RangeMultiplier(10)->Range(1, 10000)->Unit(benchmark::kMillisecond);
BENCHMARK(PerUser)->RangeMultiplier(10)->Range(1, 10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
