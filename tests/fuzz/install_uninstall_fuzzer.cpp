// libFuzzer target: any registry, any "CustomActionData", at most one fault;
// Install, then Uninstall, then the same again. Aborts with a description
// of the first broken invariant:
// - no key left open, and results 0, 13 or 1603 as documented;
// - after a clean Uninstall the registry is what it was before Install,
//   apart from what the documented behaviour explains (settings put back
//   from earlier records or to their defaults, earlier records used up,
//   marked copies removed with the keys this leaves empty);
// - a second round trip changes nothing more;
// - Install writes only to settings keys, their backup keys, per-user
//   copies that it made and marked and the keys above them on the copy's
//   path, and never below HKEY_LOCAL_MACHINE
//   unless the run is machine-wide by an administrator, nor in other
//   persons' hives unless it asked for all users as well;
// - with a fault, a clean run afterwards loses nothing that a clean round
//   trip keeps, and a run that did less than a clean one says so.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "entry/entry_points.h"
#include "entry/wow64_probe_for_testing.h"
#include "fuzz_scenario.h"
#include "platform/emulation/emulation.h"
#include "registry/machine_write_probe_for_testing.h"
#include "round_trip_rules.h"
#include "support/registry_diff.h"

namespace {

using fuzz::FaultKind;
using fuzz::Scenario;

constexpr win::MSIHANDLE kInstall = 1;
constexpr win::UINT kFailure = win::ERROR_INSTALL_FAILURE;

[[noreturn]] void Broken(const std::string& what, const std::string& detail = std::string()) {
  std::fprintf(stderr, "invariant broken: %s\n%s\n", what.c_str(), detail.c_str());
  std::abort();
}

void Check(bool holds, const std::string& what) {
  if (!holds) Broken(what);
}

void CheckNone(const std::vector<std::string>& found, const std::string& what) {
  if (found.empty()) return;
  std::string detail;
  for (const std::string& line : found) detail += "  " + line + "\n";
  Broken(what, detail);
}

// The flag rule: the whole value up to the first NUL; '1' right after the
// first '>'.
bool MachineWideFlag(const std::u16string& data) {
  for (std::size_t i = 0; i < data.size() && data[i] != u'\0'; ++i) {
    if (data[i] == u'>') return i + 1 < data.size() && data[i + 1] == u'1';
  }
  return false;
}

struct Fault {
  std::size_t call = 0;  // position among all calls of the export; 0 for none
  win::LONG error = 0;
  std::size_t allocation = 0;  // allocations fail from this one on; 0 for none
  // "Not found" makes a key look absent, and a refused write probe makes the
  // run a per-user one: the run may then rightly do less and succeed.
  bool changes_what_is_there = false;
};

struct Outcome {
  win::UINT result = 0;
  std::size_t open_handles = 0;
  std::string dump;
  std::vector<emu::Call> calls;
};

class Runner {
 public:
  explicit Runner(const Scenario& scenario) : scenario_(scenario) {}

  // Install or Uninstall over |registry| in a newly started process.
  Outcome Fresh(bool install, const std::string& registry, const Fault& fault = Fault()) const {
    StartMachine();
    ResetMachineWriteProbeForTesting();
    ResetWow64ProbeForTesting();
    emu::SetIsWow64ProcessExported(scenario_.is_wow64_process_exported);
    emu::RefuseInstallerMessages(scenario_.refuses_messages);
    emu::Load(registry);
    for (const auto& variable : scenario_.environment) {
      emu::SetEnvironment(variable.first, variable.second);
    }
    if (scenario_.data_set) emu::SetProperty(u"CustomActionData", scenario_.data);
    return Call(install, fault);
  }

  // |registry| as a newly started process finds it.
  std::string Canonical(const std::string& registry) const {
    StartMachine();
    emu::Load(registry);
    return emu::Dump();
  }

  // The next export call in the same process, on the registry as it is.
  Outcome Call(bool install, const Fault& fault = Fault()) const {
    emu::ClearCalls();
    if (fault.call != 0) emu::FailNthCall(fault.call, fault.error);
    if (fault.allocation != 0) emu::FailAllocationsFrom(fault.allocation);
    Outcome outcome;
    outcome.result = install ? Install(kInstall) : Uninstall(kInstall);
    emu::FailAllocationsFrom(0);
    emu::ClearFaults();
    outcome.open_handles = emu::OpenHandleCount();
    outcome.calls = emu::Calls();
    for (emu::Call& call : outcome.calls) call.path = fuzz::InFile(call.path);
    outcome.dump = emu::Dump();
    return outcome;
  }

  // Install over |registry|, then Uninstall as the scenario says, with
  // |fault| in one of them.
  std::pair<Outcome, Outcome> RoundTrip(const std::string& registry, const Fault& install_fault,
                                        const Fault& uninstall_fault) const {
    Outcome installed = Fresh(true, registry, install_fault);
    Outcome removed = scenario_.uninstall_in_new_process
                          ? Fresh(false, installed.dump, uninstall_fault)
                          : Call(false, uninstall_fault);
    return {std::move(installed), std::move(removed)};
  }

 private:
  // The emulated machine before its registry is loaded.
  void StartMachine() const {
    emu::Reset(scenario_.machine, scenario_.user);
    if (scenario_.all_users) fuzz::StartPersons();
  }

  const Scenario& scenario_;
};

win::LONG ErrorChoice(std::uint8_t choice, const std::string& function) {
  switch (choice % 4) {
    case 0:
      return registry_diff::ErrorFor(function);
    case 1:
      return win::ERROR_ACCESS_DENIED;
    case 2:
      return win::ERROR_KEY_DELETED;
    default:
      return 14;  // ERROR_OUTOFMEMORY
  }
}

// One of the registry calls that succeeded in |calls|, chosen by the
// scenario, failing with the scenario's error.
Fault CallFault(const Scenario& scenario, const std::vector<emu::Call>& calls) {
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].function.rfind("Reg", 0) == 0 && calls[i].result == win::ERROR_SUCCESS) {
      positions.push_back(i);
    }
  }
  Fault fault;
  if (positions.empty()) return fault;
  const std::size_t at = positions[scenario.fault_position % positions.size()];
  const emu::Call& call = calls[at];
  fault.call = at + 1;
  fault.error = ErrorChoice(scenario.fault_error, call.function);
  fault.changes_what_is_there = registry_diff::MayDoLess(call, fault.error);
  return fault;
}

// What a faulted export call may report: success only when it did what a
// clean one does, or when the fault made something look absent.
void CheckFaultedResult(const Outcome& faulted, const Outcome& clean, const Fault& fault,
                        const std::string& where) {
  Check(faulted.open_handles == 0, where + ": a key was left open");
  Check(faulted.result == 0 || faulted.result == kFailure,
        where + ": result " + std::to_string(faulted.result));
  if (faulted.dump != clean.dump && !fault.changes_what_is_there) {
    Check(faulted.result == kFailure, where + ": did less than a clean run and reported success");
  }
}

void CheckCleanUninstallAfter(const Outcome& cleaned, const std::string& before,
                              const Outcome& clean_removed, const std::string& where) {
  using registry_diff::Parse;
  Check(cleaned.result == 0, where + ": the clean Uninstall afterwards failed");
  Check(cleaned.open_handles == 0, where + ": the clean Uninstall afterwards left a key open");
  const registry_diff::Registry restored = Parse(clean_removed.dump);
  const registry_diff::Registry now = Parse(cleaned.dump);
  CheckNone(registry_diff::Losses(Parse(before), restored, now), where + ": lost");
  Check(registry_diff::OwnLeftovers(now) == registry_diff::OwnLeftovers(restored),
        where + ": the library's own names left behind");
}

void RunScenario(const Scenario& scenario) {
  const std::string before = emu::Dump();
  const Runner runner(scenario);
  const bool present = scenario.data_set && !scenario.data.empty();
  const bool machine_level =
      present && MachineWideFlag(scenario.data) && scenario.user == emu::User::Administrator;
  // Other persons' hives may be written only where the mode was asked for.
  const bool persons = machine_level && scenario.all_users;

  const auto [installed, removed] = runner.RoundTrip(before, Fault(), Fault());
  Check(installed.open_handles == 0, "Install left a key open");
  Check(removed.open_handles == 0, "Uninstall left a key open");
  if (!present) {
    Check(installed.result == win::ERROR_INVALID_DATA, "Install without data did not return 13");
    Check(removed.result == win::ERROR_INVALID_DATA, "Uninstall without data did not return 13");
    Check(removed.dump == before, "a run without data changed the registry");
    return;
  }
  Check(installed.result == 0, "clean Install returned " + std::to_string(installed.result));
  Check(removed.result == 0, "clean Uninstall returned " + std::to_string(removed.result));

  using registry_diff::Parse;
  const registry_diff::Registry before_registry = Parse(before);
  CheckNone(fuzz::StrayWrites(installed.calls, before_registry, Parse(installed.dump),
                              scenario.machine, machine_level, persons, true),
            "Install wrote outside its keys");
  CheckNone(fuzz::UnexplainedChanges(before_registry, Parse(installed.dump), Parse(removed.dump),
                                     scenario.machine, machine_level),
            "a clean round trip changed the registry");
  // Once more from there: only what Uninstall does to settings without a
  // record may change again. (A new process starts with the keys every
  // machine has, even where the pruning took HKCU\Software away.)
  const std::string restored = runner.Canonical(removed.dump);
  const auto [again_installed, again_removed] = runner.RoundTrip(restored, Fault(), Fault());
  Check(again_installed.result == 0 && again_removed.result == 0, "a second round trip failed");
  CheckNone(fuzz::UnexplainedChanges(Parse(restored), Parse(again_installed.dump),
                                     Parse(again_removed.dump), scenario.machine, machine_level),
            "a second round trip changed the registry");

  switch (scenario.fault) {
    case FaultKind::kNone:
      break;
    case FaultKind::kInstallCall: {
      const Fault fault = CallFault(scenario, installed.calls);
      if (fault.call == 0) break;
      const Outcome faulted = runner.Fresh(true, before, fault);
      const std::string where = "Install call " + std::to_string(fault.call) + " " +
                                installed.calls[fault.call - 1].function + " failing with " +
                                std::to_string(fault.error);
      CheckFaultedResult(faulted, installed, fault, where);
      CheckNone(fuzz::StrayWrites(faulted.calls, before_registry, Parse(faulted.dump),
                                  scenario.machine, machine_level, persons, false),
                where + ": wrote outside its keys");
      CheckCleanUninstallAfter(runner.Fresh(false, faulted.dump), before, removed, where);
      break;
    }
    case FaultKind::kUninstallCall: {
      const Fault fault = CallFault(scenario, removed.calls);
      if (fault.call == 0) break;
      const Outcome faulted = runner.RoundTrip(before, Fault(), fault).second;
      const std::string where = "Uninstall call " + std::to_string(fault.call) + " " +
                                removed.calls[fault.call - 1].function + " failing with " +
                                std::to_string(fault.error);
      CheckFaultedResult(faulted, removed, fault, where);
      const Outcome retried = runner.Fresh(false, faulted.dump);
      Check(retried.result == 0, where + ": the retry failed");
      // As a new process finds it, like |restored|: the retry's pruning may
      // have taken HKCU\Software away, as the clean Uninstall's may have.
      const std::string retried_dump = runner.Canonical(retried.dump);
      if (retried_dump == restored) break;
      // Only an empty key that a failed pruning left may remain (above a copy
      // of an earlier version's: the keys this version creates stay marked),
      // and the failed run must have said so.
      const registry_diff::Registry expected = Parse(restored);
      const registry_diff::Registry now = Parse(retried_dump);
      for (const std::string& loss : registry_diff::Losses(expected, expected, now)) {
        const std::string key = loss.substr(loss.find(' ', 6) + 1);
        const auto* values = registry_diff::Values(now, key);
        const bool empty_key = loss.rfind("extra key ", 0) == 0 && values && values->empty();
        // The communication center's one rule without a record: a retry
        // brings a value that a record had put back to the default.
        const bool default_again =
            loss.find(
                "\\CadManagerControl\\CommunicationCenter EnableCommunicationCenter = "
                "dword:0x1 ") != std::string::npos;
        if (default_again) continue;
        Check(empty_key, where + ": the retry differs from one clean Uninstall: " + loss);
        Check(fault.changes_what_is_there || faulted.result == kFailure,
              where + ": left " + key + " and reported success");
      }
      break;
    }
    case FaultKind::kInstallAllocation:
    case FaultKind::kUninstallAllocation: {
      const bool install = scenario.fault == FaultKind::kInstallAllocation;
      Fault fault;
      fault.allocation = scenario.fault_position % 4096 + 1;
      const std::string where = std::string(install ? "Install" : "Uninstall") + " allocation " +
                                std::to_string(fault.allocation);
      const Outcome faulted = install ? runner.Fresh(true, before, fault)
                                      : runner.RoundTrip(before, Fault(), fault).second;
      const Outcome& clean = install ? installed : removed;
      Check(faulted.open_handles == 0, where + ": a key was left open");
      if (faulted.result == 0) {
        Check(faulted.dump == clean.dump, where + ": succeeded with another registry");
        break;
      }
      Check(faulted.result == kFailure, where + ": result " + std::to_string(faulted.result));
      const Outcome cleaned = runner.Fresh(false, faulted.dump);
      if (install) {
        CheckCleanUninstallAfter(cleaned, before, removed, where);
      } else {
        // Compared as a new process finds it, like |restored|.
        Check(cleaned.result == 0 && runner.Canonical(cleaned.dump) == restored,
              where + ": the retry differs from one clean Uninstall");
      }
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Scenario scenario = fuzz::BuildScenario(data, size);
  if (std::getenv("SKERROW_FUZZ_SHOW") != nullptr) {
    std::fprintf(stderr, "machine %s, user %s, %s process, fault %d at %u error %u\n%s\n",
                 scenario.machine == emu::Machine::Wow64 ? "Wow64" : "Windows32",
                 scenario.user == emu::User::Standard ? "standard" : "administrator",
                 scenario.uninstall_in_new_process ? "new" : "same",
                 static_cast<int>(scenario.fault), scenario.fault_position, scenario.fault_error,
                 emu::Dump().c_str());
  }
  RunScenario(scenario);
  return 0;
}
