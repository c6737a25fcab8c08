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

// A newly started process of |scenario| over |registry|, with the data of
// a package as it would pass it: "[INSTALLDIR]>1" or "[INSTALLDIR]>0".
inline void StartProcessWith(const Scenario& scenario, const std::string& registry) {
  engine_test::StartProcess(scenario.machine, scenario.user);
  emu::Load(registry);
  emu::SetProperty(u"CustomActionData",
                   scenario.machine_wide_flag ? u"[INSTALLDIR]>1" : u"[INSTALLDIR]>0");
}

inline std::string Name(const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; }

}  // namespace machine_scenarios
