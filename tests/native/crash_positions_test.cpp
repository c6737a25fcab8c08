// The process dies after every registry call of Install and of Uninstall in
// turn: nothing after that call takes effect. Then comes what the installer
// or an administrator does next, each run in a new process, and the registry
// it ends with must be the one the same runs give without the crash: nothing
// lost, and nothing left over (no empty key, record or marker of the dead
// run's making). A run of the dead one's kind, retried right after it, must
// give exactly what one clean run gives.
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "entry/entry_points.h"
#include "fault_fixture.h"
#include "machine_scenarios.h"
#include "support/registry_diff.h"

namespace {

using engine_test::StartProcess;
using registry_diff::Losses;
using registry_diff::Parse;
using registry_diff::Registry;
using registry_diff::ValueOf;
using registry_diff::Values;

constexpr win::MSIHANDLE kInstall = 1;

using machine_scenarios::Scenario;

// What a crashed registry holds that is neither as the fixture had it nor as
// the same runs without the crash leave it.
struct Differences {
  std::vector<std::string> losses;     // keys or values lost or changed
  std::vector<std::string> leftovers;  // keys or values that should not be there
};

Differences Compare(const Registry& before, const Registry& expected, const Registry& actual) {
  Differences differences;
  std::set<std::string> keys;
  for (const Registry* registry : {&before, &expected, &actual}) {
    for (const auto& entry : *registry) keys.insert(entry.first);
  }
  for (const std::string& key : keys) {
    const bool in_before = Values(before, key) != nullptr;
    const bool in_expected = Values(expected, key) != nullptr;
    const bool in_actual = Values(actual, key) != nullptr;
    if (in_actual != in_before && in_actual != in_expected) {
      (in_actual ? differences.leftovers : differences.losses)
          .push_back((in_actual ? "extra key " : "lost key ") + key);
      continue;
    }
    std::set<std::string> names;
    for (const Registry* registry : {&before, &expected, &actual}) {
      if (const auto* values = Values(*registry, key)) {
        for (const auto& value : *values) names.insert(value.first);
      }
    }
    for (const std::string& name : names) {
      const std::string now = ValueOf(actual, key, name);
      const std::string was = ValueOf(before, key, name);
      const std::string clean = ValueOf(expected, key, name);
      if (now == was || now == clean) continue;
      const bool stray = now != "<absent>" && now != "<no key>" &&
                         (was == "<absent>" || was == "<no key>") &&
                         (clean == "<absent>" || clean == "<no key>");
      (stray ? differences.leftovers : differences.losses)
          .push_back(key + " " + name + " = " + now + " (was " + was + ", expected " + clean + ")");
    }
  }
  return differences;
}

// One export run in a new process: in the scenario's mode, or removal by an
// administrator machine-wide.
enum class Action { kInstall, kUninstall, kElevatedUninstall };

class CrashPositionsTest : public ::testing::TestWithParam<Scenario> {
 protected:
  std::string Fixture() const {
    return fault_fixture::Registry(GetParam().machine, GetParam().all_users);
  }

  // Runs |action| in a newly started process over |registry|; with
  // |dies|, the process dies after call |dies_after|. Returns the registry
  // dump.
  std::string Run(Action action, const std::string& registry, bool dies = false,
                  std::size_t dies_after = 0, std::vector<emu::Call>* calls = nullptr) const {
    Scenario scenario = GetParam();
    if (action == Action::kElevatedUninstall) {
      scenario.user = emu::User::Administrator;
      scenario.machine_wide_flag = true;
    }
    machine_scenarios::StartProcessWith(scenario, registry);
    if (dies) emu::DieAfterCall(dies_after);
    const win::UINT result = action == Action::kInstall ? Install(kInstall) : Uninstall(kInstall);
    emu::ClearFaults();
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    if (!dies) {
      EXPECT_EQ(result, 0u);
      if (calls != nullptr) *calls = emu::Calls();
    }
    return emu::Dump();
  }

  // Runs |then| one after the other, each in a new process, from |registry|.
  std::string RunAll(std::string registry, const std::vector<Action>& then) const {
    for (Action action : then) registry = Run(action, registry);
    return registry;
  }

  void SetUp() override {
    StartProcess(GetParam().machine, GetParam().user);
    emu::Load(Fixture());
    before_ = emu::Dump();
    installed_ = Run(Action::kInstall, before_, false, 0, &install_calls_);
    restored_ = Run(Action::kUninstall, installed_, false, 0, &uninstall_calls_);
    ASSERT_NE(installed_, before_);
  }

  struct Counts {
    std::size_t positions = 0;
    std::size_t losses = 0;
    std::size_t leftovers = 0;
    std::size_t differing = 0;  // from |retried| after the first follow-up
    std::size_t unlike = 0;     // entries unlike the clean runs' at the end
  };

  // Every crash position of |crashing| (run over |start|, with |calls| the
  // call log of its clean run), followed by |then|, against the same runs
  // without the crash; with |retried|, the registry after the first of
  // |then| against that dump, exactly.
  Counts Sequence(const char* what, Action crashing, const std::string& start,
                  const std::vector<emu::Call>& calls, const std::vector<Action>& then,
                  const std::string* retried = nullptr) const {
    const Registry before = Parse(before_);
    const Registry expected = Parse(RunAll(Run(crashing, start), then));
    Counts counts;
    // Dying after call N matters where call N + 1 is a registry call; after
    // the last call nothing is left to fail, which is the clean run.
    for (std::size_t position = 0; position < calls.size(); ++position) {
      if (calls[position].function.rfind("Reg", 0) != 0) continue;
      ++counts.positions;
      std::string after = Run(crashing, start, true, position);
      const std::string where =
          std::string(what) + ", dead after call " + std::to_string(position) +
          (position > 0 ? " " + calls[position - 1].function + " " + calls[position - 1].path
                        : std::string());
      if (retried != nullptr) {
        after = Run(then.front(), after);
        const Registry clean = Parse(*retried);
        for (const std::string& differs : Losses(clean, clean, Parse(after))) {
          ++counts.differing;
          ADD_FAILURE() << where << ", retried: " << differs;
        }
        after = RunAll(after, {then.begin() + 1, then.end()});
      } else {
        after = RunAll(after, then);
      }
      const Registry ended = Parse(after);
      counts.unlike += Losses(expected, expected, ended).size();
      const Differences differences = Compare(before, expected, ended);
      counts.losses += differences.losses.size();
      counts.leftovers += differences.leftovers.size();
      for (const std::string& loss : differences.losses) ADD_FAILURE() << where << ": " << loss;
      for (const std::string& left : differences.leftovers) {
        ADD_FAILURE() << where << ": left " << left;
      }
    }
    std::cout << GetParam().name << ", " << what << ": " << counts.positions << " positions, "
              << counts.losses << " losses, " << counts.leftovers << " leftovers";
    if (retried != nullptr) std::cout << ", " << counts.differing << " differing when retried";
    std::cout << ", " << counts.unlike << " unlike the clean runs at the end\n";
    return counts;
  }

  std::string before_;
  std::string installed_;  // one clean Install over the fixture
  std::string restored_;   // one clean Uninstall after it
  std::vector<emu::Call> install_calls_;
  std::vector<emu::Call> uninstall_calls_;
};

// The installer rolls a dead Install back with Uninstall.
TEST_P(CrashPositionsTest, DeadInstallThenUninstall) {
  const Counts counts = Sequence("Install dead, Uninstall", Action::kInstall, before_,
                                 install_calls_, {Action::kUninstall});
  EXPECT_EQ(counts.losses, 0u);
  EXPECT_EQ(counts.leftovers, 0u);
}

// An administrator runs the installation again, and later removes it.
TEST_P(CrashPositionsTest, DeadInstallThenInstallAndUninstall) {
  const Counts counts =
      Sequence("Install dead, Install, Uninstall", Action::kInstall, before_, install_calls_,
               {Action::kInstall, Action::kUninstall}, &installed_);
  EXPECT_EQ(counts.losses, 0u);
  EXPECT_EQ(counts.leftovers, 0u);
  EXPECT_EQ(counts.differing, 0u);
}

// An administrator runs the removal again.
TEST_P(CrashPositionsTest, DeadUninstallThenUninstall) {
  const Counts counts = Sequence("Uninstall dead, Uninstall", Action::kUninstall, installed_,
                                 uninstall_calls_, {Action::kUninstall}, &restored_);
  EXPECT_EQ(counts.losses, 0u);
  EXPECT_EQ(counts.leftovers, 0u);
  EXPECT_EQ(counts.differing, 0u);
}

// The installer rolls a dead Uninstall back with Install; later the removal
// runs again.
TEST_P(CrashPositionsTest, DeadUninstallThenInstallAndUninstall) {
  const Counts counts =
      Sequence("Uninstall dead, Install, Uninstall", Action::kUninstall, installed_,
               uninstall_calls_, {Action::kInstall, Action::kUninstall});
  EXPECT_EQ(counts.losses, 0u);
  EXPECT_EQ(counts.leftovers, 0u);
}

// A per-user installation dies; an administrator removes the package
// machine-wide. The removal deals with the dead run's trail in the user's
// hive as a per-user one would.
TEST_P(CrashPositionsTest, DeadPerUserInstallThenElevatedUninstall) {
  if (GetParam().machine_wide_flag) GTEST_SKIP() << "a machine-wide installation";
  const Counts counts = Sequence("per-user Install dead, elevated Uninstall", Action::kInstall,
                                 before_, install_calls_, {Action::kElevatedUninstall});
  EXPECT_EQ(counts.losses, 0u);
  EXPECT_EQ(counts.leftovers, 0u);
}

INSTANTIATE_TEST_SUITE_P(Machines, CrashPositionsTest,
                         ::testing::ValuesIn(machine_scenarios::kEvery), machine_scenarios::Name);
INSTANTIATE_TEST_SUITE_P(AllUsers, CrashPositionsTest,
                         ::testing::ValuesIn(machine_scenarios::kAllUsers),
                         machine_scenarios::Name);

}  // namespace
