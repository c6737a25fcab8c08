// The emulated machine as a whole: resetting it and shaping the process
// around the registry.
#include "platform/emulation/allocation_faults.h"
#include "platform/emulation/call_log.h"
#include "platform/emulation/machine_state.h"
#include "platform/emulation/privileges.h"
#include "platform/emulation/user_hives.h"

namespace emu {
namespace detail {

namespace {

char kernel32_image;
char advapi32_image;
char main_image;

std::shared_ptr<Key> MakeRoot(const char16_t* name) {
  auto root = std::make_shared<Key>();
  root->name = name;
  return root;
}

// A machine as it starts: empty hives but for the keys every Windows has.
void Rebuild(MachineState& state, Machine machine, User user) {
  const std::uintptr_t next_handle = state.next_handle;
  state = MachineState{};
  state.next_handle = next_handle;  // stale handles stay unknown
  state.machine = machine;
  state.user = user;
  state.hklm = MakeRoot(u"HKLM");
  BuildUserHives(state);
  // As Windows gives them to administrators only.
  HoldHivePrivileges(state, user == User::Administrator);
  Key& software = AddChild(*state.hklm, u"SOFTWARE");
  if (machine == Machine::Wow64) AddChild(software, u"Wow6432Node");
  AddChild(*state.hkcu, u"Software");
}

MachineState& FreshState() {
  static MachineState state;
  AllocationExemption exemption;
  Rebuild(state, Machine::Windows32, User::Administrator);
  return state;
}

}  // namespace

MachineState& State() {
  static MachineState& state = FreshState();
  return state;
}

win::HMODULE Kernel32Module() { return reinterpret_cast<win::HMODULE>(&kernel32_image); }
win::HMODULE Advapi32Module() { return reinterpret_cast<win::HMODULE>(&advapi32_image); }
win::HMODULE MainModule() { return reinterpret_cast<win::HMODULE>(&main_image); }
win::HANDLE CurrentProcessHandle() {
  return reinterpret_cast<win::HANDLE>(static_cast<std::intptr_t>(-1));
}

}  // namespace detail

void Reset(Machine machine, User user) {
  detail::AllocationExemption exemption;
  detail::Rebuild(detail::State(), machine, user);
  detail::ResetCallLog();
  FailAllocationsFrom(0);
  FillAllocations(u"");
}

void SetProperty(const std::u16string& name, const std::u16string& value) {
  detail::AllocationExemption exemption;
  detail::State().properties[name] = value;
}

void SetEnvironment(const std::u16string& name, const std::u16string& value) {
  detail::AllocationExemption exemption;
  auto& environment = detail::State().environment;
  for (auto& entry : environment) {
    if (detail::SameName(entry.first, name)) {
      entry.second = value;
      return;
    }
  }
  environment.emplace_back(name, value);
}

void SetIsWow64ProcessExported(bool exported) { detail::State().is_wow64_exported = exported; }

}  // namespace emu
