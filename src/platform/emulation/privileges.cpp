// advapi32's LookupPrivilegeValueW and AdjustTokenPrivileges over the
// privileges of the emulated process token.
#include "platform/emulation/privileges.h"

#include "platform/emulation/allocation_faults.h"
#include "platform/emulation/call_log.h"
#include "platform/emulation/machine_state.h"

namespace emu {
namespace detail {

namespace {

// The privileges the emulation knows, with the numbers Windows gives them.
struct KnownPrivilege {
  const char16_t* name;
  win::DWORD luid;
};
constexpr KnownPrivilege kKnown[] = {{u"SeBackupPrivilege", 17}, {u"SeRestorePrivilege", 18}};

const char16_t* PrivilegeName(const win::LUID& luid) {
  for (const KnownPrivilege& known : kKnown) {
    if (luid.HighPart == 0 && luid.LowPart == known.luid) return known.name;
  }
  return nullptr;
}

win::BOOL Failed(CallRecord& record, win::LONG error) {
  State().last_error = static_cast<win::DWORD>(error);
  return record.Finish(0);
}

}  // namespace

bool HivePrivilegesEnabled() {
  const auto& enabled = State().enabled_privileges;
  return enabled.count(u"SeBackupPrivilege") != 0 && enabled.count(u"SeRestorePrivilege") != 0;
}

void HoldHivePrivileges(MachineState& state, bool held) {
  state.held_privileges.clear();
  state.enabled_privileges.clear();
  if (held) state.held_privileges = {u"SeBackupPrivilege", u"SeRestorePrivilege"};
}

}  // namespace detail

void SetHivePrivilegesHeld(bool held) {
  detail::AllocationExemption exemption;
  detail::HoldHivePrivileges(detail::State(), held);
}

std::vector<std::string> EnabledPrivileges() {
  std::vector<std::string> names;
  for (const std::u16string& name : detail::State().enabled_privileges) {
    names.push_back(detail::ToUtf8(name));
  }
  return names;
}

}  // namespace emu

namespace win {

using emu::detail::CallRecord;
using emu::detail::State;

BOOL LookupPrivilegeValueW(const char16_t* system, const char16_t* name, LUID* luid) {
  CallRecord record("LookupPrivilegeValueW");
  if (const LONG fault = record.Begin(std::string(), 0)) return emu::detail::Failed(record, fault);
  if (system || !name || !luid) return emu::detail::Failed(record, ERROR_INVALID_PARAMETER);
  for (const auto& known : emu::detail::kKnown) {
    if (emu::detail::SameName(known.name, name)) {
      *luid = LUID{known.luid, 0};
      return record.Finish(1);
    }
  }
  return emu::detail::Failed(record, ERROR_NO_SUCH_PRIVILEGE);
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disable_all, TOKEN_PRIVILEGES* new_state,
                           DWORD length, TOKEN_PRIVILEGES* previous, DWORD* return_length) {
  CallRecord record("AdjustTokenPrivileges");
  if (const LONG fault = record.Begin(std::string(), 0)) return emu::detail::Failed(record, fault);
  emu::detail::MachineState& state = State();
  const auto found = state.tokens.find(reinterpret_cast<std::uintptr_t>(token));
  if (found == state.tokens.end()) return emu::detail::Failed(record, ERROR_INVALID_HANDLE);
  if (!(found->second & TOKEN_ADJUST_PRIVILEGES)) {
    return emu::detail::Failed(record, ERROR_ACCESS_DENIED);
  }
  if (disable_all || !new_state || new_state->PrivilegeCount > 2) {
    return emu::detail::Failed(record, ERROR_INVALID_PARAMETER);
  }
  if (previous && (!return_length || length < sizeof(TOKEN_PRIVILEGES))) {
    if (return_length) *return_length = sizeof(TOKEN_PRIVILEGES);
    return emu::detail::Failed(record, ERROR_INSUFFICIENT_BUFFER);
  }
  for (DWORD i = 0; i < new_state->PrivilegeCount; ++i) {
    if (!emu::detail::PrivilegeName(new_state->Privileges[i].Luid)) {
      return emu::detail::Failed(record, ERROR_NO_SUCH_PRIVILEGE);
    }
  }
  // Only what changed is handed back, so that giving it back undoes this.
  TOKEN_PRIVILEGES changed{};
  bool all_assigned = true;
  for (DWORD i = 0; i < new_state->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& wanted = new_state->Privileges[i];
    const std::u16string name = emu::detail::PrivilegeName(wanted.Luid);
    if (state.held_privileges.count(name) == 0) {
      all_assigned = false;
      continue;
    }
    const bool was = state.enabled_privileges.count(name) != 0;
    const bool enable = (wanted.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    if (was == enable) continue;
    if (enable) {
      state.enabled_privileges.insert(name);
    } else {
      state.enabled_privileges.erase(name);
    }
    changed.Privileges[changed.PrivilegeCount++] =
        LUID_AND_ATTRIBUTES{wanted.Luid, was ? SE_PRIVILEGE_ENABLED : 0};
  }
  if (previous) {
    *previous = changed;
    *return_length = sizeof(TOKEN_PRIVILEGES);
  }
  state.last_error = all_assigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED;
  return record.Finish(1);
}

}  // namespace win
