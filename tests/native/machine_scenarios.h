// The eight machines the whole-registry tests run on: 32-bit Windows or
// WOW64, administrator or standard user, machine-wide or per-user data.
#pragma once

#include <gtest/gtest.h>

#include <ostream>

#include "engine_test_support.h"
#include "platform/emulation/emulation.h"

namespace machine_scenarios {

struct Scenario {
  const char* name;
  emu::Machine machine;
  emu::User user;
  bool machine_wide_flag;
  // Deployment as the system account, asking for every person's hive.
  bool all_users = false;
};

inline void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

inline constexpr Scenario kEvery[] = {
    {"Windows32AdministratorMachineWide", emu::Machine::Windows32, emu::User::Administrator, true},
    {"Windows32AdministratorPerUser", emu::Machine::Windows32, emu::User::Administrator, false},
    {"Windows32StandardMachineWide", emu::Machine::Windows32, emu::User::Standard, true},
    {"Windows32StandardPerUser", emu::Machine::Windows32, emu::User::Standard, false},
    {"Wow64AdministratorMachineWide", emu::Machine::Wow64, emu::User::Administrator, true},
    {"Wow64AdministratorPerUser", emu::Machine::Wow64, emu::User::Administrator, false},
    {"Wow64StandardMachineWide", emu::Machine::Wow64, emu::User::Standard, true},
    {"Wow64StandardPerUser", emu::Machine::Wow64, emu::User::Standard, false},
};

// The system account deploying machine-wide for every person, on both
// kinds of Windows.
inline constexpr Scenario kAllUsers[] = {
    {"Windows32SystemAllUsers", emu::Machine::Windows32, emu::User::Administrator, true, true},
    {"Wow64SystemAllUsers", emu::Machine::Wow64, emu::User::Administrator, true, true},
};

// The hive file of a person that another process holds loaded.
inline constexpr char16_t kHiveInUse[] = u"C:\\Users\\erin\\NTUSER.DAT";

// A newly started process of |scenario| over |registry|, with the data of
// a package as it would pass it: "[INSTALLDIR]>1" or "[INSTALLDIR]>0", and
// ";AllUsers" after it for the system account.
inline void StartProcessWith(const Scenario& scenario, const std::string& registry) {
  engine_test::StartProcess(scenario.machine, scenario.user);
  if (scenario.all_users) {
    emu::SetProcessUser(u"S-1-5-18");
    emu::SetEnvironment(u"SystemDrive", u"C:");
    emu::RefuseHiveFile(kHiveInUse, win::ERROR_SHARING_VIOLATION);
  }
  emu::Load(registry);
  emu::SetProperty(u"CustomActionData", scenario.all_users           ? u"[INSTALLDIR]>1;AllUsers"
                                        : scenario.machine_wide_flag ? u"[INSTALLDIR]>1"
                                                                     : u"[INSTALLDIR]>0");
}

inline std::string Name(const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; }

}  // namespace machine_scenarios
