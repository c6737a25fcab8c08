// The privileges of the process token: which it holds, which are enabled.
#pragma once

namespace emu::detail {

struct MachineState;

// The token holds both hive privileges, disabled, or neither.
void HoldHivePrivileges(MachineState& state, bool held);

// Whether SeBackupPrivilege and SeRestorePrivilege are both enabled, as
// loading and unloading a hive needs.
bool HivePrivilegesEnabled();

}  // namespace emu::detail
