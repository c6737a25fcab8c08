// One fuzz input taken apart: the machine, the user, "CustomActionData", an
// optional fault, and the registry to start from.
//
// The input is read front to back, one byte at a time; a byte past the end
// reads as 0, so every input, the empty one included, is a scenario.
//   byte 0  bit 0 WOW64, bit 1 standard user, bit 2 Uninstall in a new
//           process, bit 3 KERNEL32 without IsWow64Process, bit 4 an
//           installer that refuses log messages, bit 5 the system
//           account asking for all users: ";AllUsers" after the data, and
//           three other persons, one logged on, one in a hive file and one
//           whose hive is in use; records for the user go to one of the
//           first two or to HKCU
//   byte 1  fault: 0 none, 1 a registry call of Install, 2 of Uninstall,
//           3 an allocation of Install, 4 of Uninstall (modulo 5)
//   byte 2, 3  fault position (little endian), byte 4 the error
//   byte 5  length of "CustomActionData" (255: not set), then one byte per
//           unit (see kDataUnits in the source)
//   then records until the end, each an operation byte and its arguments:
//   product key, settings key, value, backup key, sub-key, parent, removal
//   marker, CadManagerControl key, environment variable, many product keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/emulation/emulation.h"

namespace fuzz {

enum class FaultKind {
  kNone,
  kInstallCall,
  kUninstallCall,
  kInstallAllocation,
  kUninstallAllocation
};

struct Scenario {
  emu::Machine machine = emu::Machine::Windows32;
  emu::User user = emu::User::Administrator;
  bool uninstall_in_new_process = false;
  bool is_wow64_process_exported = true;
  // The installer takes no log messages: nothing else may change.
  bool refuses_messages = false;
  bool all_users = false;
  FaultKind fault = FaultKind::kNone;
  std::uint16_t fault_position = 0;
  std::uint8_t fault_error = 0;
  bool data_set = true;
  std::u16string data;
  std::vector<std::pair<std::u16string, std::u16string>> environment;
};

// Resets the emulation for the scenario's machine and user and builds the
// registry that |input| describes in it. Returns the scenario.
Scenario BuildScenario(const std::uint8_t* input, std::size_t size);

// On a machine just reset, before its registry is loaded: the system
// account, and the hive file that another process holds.
void StartPersons();
// |path| of the call log as the dump names it: the keys of a hive file that
// is loaded below HKEY_USERS are those of the file, where they stay.
std::string InFile(const std::string& path);

}  // namespace fuzz
