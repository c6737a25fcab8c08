// Every registry call of Install and of Uninstall failed once, with the
// error that call would really return, and every allocation: nothing is
// lost, nothing of the library's own is left once a clean Uninstall has run,
// a retried Uninstall gives what one clean Uninstall gives, and the result
// never calls a failure a success.
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "entry/entry_points.h"
#include "fault_fixture.h"
#include "machine_scenarios.h"
#include "support/registry_diff.h"

namespace {

using engine_test::StartProcess;
using registry_diff::ErrorFor;
using registry_diff::Losses;
using registry_diff::MayDoLess;
using registry_diff::OwnLeftovers;
using registry_diff::Parse;
using registry_diff::Registry;

constexpr win::MSIHANDLE kInstall = 1;

struct Fault {
  std::size_t call = 0;  // 1-based position among all calls of the export; 0 for none
  win::LONG error = 0;
  std::string function;
  // Whether the run can rightly report success having done less than a
  // clean run (registry_diff::MayDoLess).
  bool may_do_less = false;
};

// The registry call positions of one clean run that succeeded there, each
// with its real error; opens a second time with ERROR_ACCESS_DENIED, since a
// key that is there but cannot be opened is not a missing key. (A call that
// failed in the clean run, say the open of a missing release key, already
// shows its one real outcome.)
std::vector<Fault> FaultsOf(const std::vector<emu::Call>& calls) {
  std::vector<Fault> faults;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const std::string& function = calls[i].function;
    if (function.rfind("Reg", 0) != 0 || calls[i].result != win::ERROR_SUCCESS) continue;
    std::vector<win::LONG> errors = {ErrorFor(function)};
    if (function == "RegOpenKeyExW") errors.push_back(win::ERROR_ACCESS_DENIED);
    if (function == "RegLoadKeyW") errors.push_back(win::ERROR_SHARING_VIOLATION);
    for (const win::LONG error : errors) {
      faults.push_back(Fault{i + 1, error, function, MayDoLess(calls[i], error)});
    }
  }
  return faults;
}

using machine_scenarios::Scenario;

// What one run of an export did.
struct Outcome {
  win::UINT result = 0;
  std::size_t open_handles = 0;
  std::size_t loaded_hives = 0;  // left loaded by the run
  std::string dump;
  std::vector<emu::Call> calls;
  std::vector<std::string> messages;  // the installer's log
};

class FaultPositionsTest : public ::testing::TestWithParam<Scenario> {
 protected:
  std::string Fixture() const {
    return fault_fixture::Registry(GetParam().machine, GetParam().all_users);
  }

  // Runs Install or Uninstall in a newly started process over |registry|,
  // with |fault| injected and allocations failing from |allocation| on (0:
  // none).
  Outcome Run(bool install, const std::string& registry, const Fault& fault = Fault{},
              std::size_t allocation = 0) const {
    machine_scenarios::StartProcessWith(GetParam(), registry);
    if (fault.call != 0) emu::FailNthCall(fault.call, fault.error);
    if (allocation != 0) emu::FailAllocationsFrom(allocation);
    Outcome outcome;
    outcome.result = install ? Install(kInstall) : Uninstall(kInstall);
    emu::FailAllocationsFrom(0);
    emu::ClearFaults();
    outcome.open_handles = emu::OpenHandleCount();
    outcome.loaded_hives = emu::LoadedHives().size();
    if (fault.call == 0 && allocation == 0) outcome.calls = emu::Calls();  // a clean run's
    outcome.dump = emu::Dump();
    outcome.messages = emu::InstallerMessages();
    return outcome;
  }

  void SetUp() override {
    // The fixture as the emulation spells it.
    StartProcess(GetParam().machine, GetParam().user);
    emu::Load(Fixture());
    before_ = emu::Dump();
    installed_ = Run(true, before_);
    restored_ = Run(false, installed_.dump);
    ASSERT_EQ(installed_.result, 0u);
    ASSERT_EQ(restored_.result, 0u);
    // Per user, records that an earlier machine-wide run left below
    // HKEY_LOCAL_MACHINE stay; nothing else of the library's does.
    own_left_ = OwnLeftovers(Parse(restored_.dump));
    for (const std::string& left : own_left_) {
      if (GetParam().machine_wide_flag && GetParam().user == emu::User::Administrator) {
        ADD_FAILURE() << "a clean round trip left " << left;
      }
      EXPECT_EQ(left.rfind("HKLM", 0), 0u) << left;
    }
    ASSERT_NE(installed_.dump, before_);
  }

  std::string before_;
  Outcome installed_;                  // one clean Install over the fixture
  Outcome restored_;                   // one clean Uninstall after it
  std::vector<std::string> own_left_;  // names of the library's that the clean run left
};

std::string Describe(const char* side, const Fault& fault) {
  return std::string(side) + " call " + std::to_string(fault.call) + " " + fault.function +
         " failing with " + std::to_string(fault.error);
}

// Every failed line of |faulted| names the one call that failed, whatever
// failed or was refused after it.
void ExpectFailuresNamed(const Outcome& faulted, const Fault& fault, const std::string& where) {
  for (const std::string& line : faulted.messages) {
    if (line.find("failed doing=") == std::string::npos) continue;
    EXPECT_NE(line.find(" call=" + fault.function + " name="), std::string::npos)
        << where << ": " << line;
  }
}

// Running an export twice gives what running it once gives: a second
// Install keeps the first records, a second Uninstall finds nothing to do.
TEST_P(FaultPositionsTest, RunningEitherExportTwiceConverges) {
  const Outcome twice_installed = Run(true, installed_.dump);
  EXPECT_EQ(twice_installed.result, 0u);
  EXPECT_EQ(twice_installed.dump, installed_.dump);
  const Outcome twice_restored = Run(false, restored_.dump);
  EXPECT_EQ(twice_restored.result, 0u);
  EXPECT_EQ(twice_restored.dump, restored_.dump);
}

// A failed Install, then a clean Uninstall: the registry holds nothing that
// one clean round trip would not hold, or that was not there before.
TEST_P(FaultPositionsTest, FailedInstallThenCleanUninstallLosesNothing) {
  const Registry before = Parse(before_);
  const Registry restored = Parse(restored_.dump);
  std::size_t tried = 0;
  std::size_t losses = 0;
  std::size_t cautious = 0;  // failures reported where nothing came of the fault
  for (const Fault& fault : FaultsOf(installed_.calls)) {
    ++tried;
    const Outcome faulted = Run(true, before_, fault);
    const Outcome cleaned = Run(false, faulted.dump);
    const std::string where = Describe("Install", fault);
    ExpectFailuresNamed(faulted, fault, where);
    EXPECT_EQ(faulted.open_handles, 0u) << where;
    EXPECT_EQ(faulted.loaded_hives, fault.function == "RegUnLoadKeyW" ? 1u : 0u) << where;
    EXPECT_EQ(cleaned.result, 0u) << where;
    // A run that did less than a clean one must say so.
    if (faulted.dump != installed_.dump && !fault.may_do_less) {
      EXPECT_EQ(faulted.result, win::ERROR_INSTALL_FAILURE) << where << " reported success";
    }
    if (faulted.dump == installed_.dump && faulted.result != 0) ++cautious;
    EXPECT_TRUE(faulted.result == 0 || faulted.result == win::ERROR_INSTALL_FAILURE) << where;
    const std::vector<std::string> lost = Losses(before, restored, Parse(cleaned.dump));
    losses += lost.size();
    for (const std::string& loss : lost) ADD_FAILURE() << where << ": " << loss;
    EXPECT_EQ(OwnLeftovers(Parse(cleaned.dump)), own_left_) << where;
  }
  std::cout << GetParam().name << ": " << tried << " Install fault positions, " << losses
            << " losses, " << cautious << " reported failures that changed nothing\n";
}

// A failed Uninstall, then a clean retry: the registry one clean Uninstall
// gives, without exception: keys that a failed pruning left above a deleted
// copy are still marked, and the retry removes them.
TEST_P(FaultPositionsTest, FailedUninstallThenRetryGivesOneCleanUninstall) {
  std::size_t tried = 0;
  std::size_t differing = 0;
  std::size_t cautious = 0;
  for (const Fault& fault : FaultsOf(restored_.calls)) {
    ++tried;
    const Outcome faulted = Run(false, installed_.dump, fault);
    const Outcome retried = Run(false, faulted.dump);
    const std::string where = Describe("Uninstall", fault);
    ExpectFailuresNamed(faulted, fault, where);
    EXPECT_EQ(faulted.open_handles, 0u) << where;
    EXPECT_EQ(faulted.loaded_hives, fault.function == "RegUnLoadKeyW" ? 1u : 0u) << where;
    EXPECT_EQ(retried.result, 0u) << where;
    if (faulted.dump != restored_.dump && !fault.may_do_less) {
      EXPECT_EQ(faulted.result, win::ERROR_INSTALL_FAILURE) << where << " reported success";
    }
    if (faulted.dump == restored_.dump && faulted.result != 0) ++cautious;
    if (retried.dump == restored_.dump) continue;
    ++differing;
    ADD_FAILURE() << where << ": the retry differs from one clean Uninstall";
    for (const std::string& loss :
         Losses(Parse(restored_.dump), Parse(restored_.dump), Parse(retried.dump))) {
      ADD_FAILURE() << where << ": " << loss;
    }
  }
  std::cout << GetParam().name << ": " << tried << " Uninstall fault positions, " << differing
            << " retries differing from one clean Uninstall, " << cautious
            << " reported failures that changed nothing\n";
}

// Running out of memory anywhere: 1603, every key closed, and a clean run
// afterwards puts everything right.
TEST_P(FaultPositionsTest, EveryAllocationFailureIsReportedAndRepaired) {
  const Registry before = Parse(before_);
  const Registry restored = Parse(restored_.dump);
  std::size_t tried = 0;
  for (bool install : {true, false}) {
    const std::string& start = install ? before_ : installed_.dump;
    for (std::size_t allocation = 1;; ++allocation) {
      const Outcome faulted = Run(install, start, Fault{}, allocation);
      if (faulted.result == 0 && faulted.dump == (install ? installed_ : restored_).dump) break;
      ++tried;
      const std::string where = std::string(install ? "Install" : "Uninstall") + " allocation " +
                                std::to_string(allocation);
      EXPECT_EQ(faulted.result, win::ERROR_INSTALL_FAILURE) << where;
      EXPECT_EQ(faulted.open_handles, 0u) << where;
      EXPECT_EQ(faulted.loaded_hives, 0u) << where;
      const Outcome cleaned = Run(false, faulted.dump);
      EXPECT_EQ(cleaned.result, 0u) << where;
      if (install) {
        for (const std::string& loss : Losses(before, restored, Parse(cleaned.dump))) {
          ADD_FAILURE() << where << ": " << loss;
        }
      } else {
        EXPECT_EQ(cleaned.dump, restored_.dump) << where;
      }
      ASSERT_LT(allocation, 100000u) << "the run never completes";
    }
  }
  std::cout << GetParam().name << ": " << tried << " allocation positions\n";
}

INSTANTIATE_TEST_SUITE_P(Machines, FaultPositionsTest,
                         ::testing::ValuesIn(machine_scenarios::kEvery), machine_scenarios::Name);
INSTANTIATE_TEST_SUITE_P(AllUsers, FaultPositionsTest,
                         ::testing::ValuesIn(machine_scenarios::kAllUsers),
                         machine_scenarios::Name);

}  // namespace
