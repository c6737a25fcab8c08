// Control panel of the in-memory Windows emulation, for native tests only.
//
// The emulation stands behind win_api.h on Linux: one process-wide registry
// with HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, the handles into it, and the
// few process functions around it. Tests shape the machine, inject faults,
// and read back the call log and a stable dump of the whole registry.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win_api.h"

namespace emu {

enum class Machine {
  Windows32,  // 32-bit Windows: view flags are ignored
  Wow64,      // 32-bit process on 64-bit Windows: HKLM\SOFTWARE redirected
};

enum class User {
  Administrator,
  Standard,  // below HKEY_LOCAL_MACHINE only reading is granted
};

// Empties the registry, the environment, the installer properties, the call
// log and the faults, and forgets every handle. HKLM\SOFTWARE and
// HKCU\Software exist afterwards (and HKLM\SOFTWARE\Wow6432Node on Wow64).
void Reset(Machine machine = Machine::Windows32, User user = User::Administrator);

// Adds keys and values from a compact text. Key lines start in column 0 with
// a root ("HKLM" or "HKCU") and a physical path; value lines below a key are
// indented and read  name = type:data  where name "@" is the default value and
// type is one of
//   dword:0x1 (or decimal)      sz:text    expand_sz:text
//   hex:01,02,ff                none:      hex(N):01,02  (any type number N)
// Names may be quoted with "..." when they hold '=' or spaces. Blank lines and
// lines starting with '#' are ignored. Physical paths name Wow6432Node
// explicitly: nothing is redirected here.
void Load(const std::string& text);

// The whole registry in the Load format: keys sorted as enumeration sorts
// them, each key on its own line followed by its values in creation order.
// Every key is listed, empty ones included. Load(Dump()) rebuilds the same.
std::string Dump();

// One line of the call log.
struct Call {
  std::string function;  // e.g. "RegOpenKeyExW"
  std::string path;      // physical key path the call addressed, "HKLM\\..."
  win::REGSAM access;    // access mask given, 0 where the call takes none
  win::LONG result;      // the returned status (function result where no status)
};
const std::vector<Call>& Calls();
void ClearCalls();
// Number of logged calls of one function.
std::size_t CountCalls(const std::string& function);

// Handles currently open (predefined roots do not count).
std::size_t OpenHandleCount();

// Fault injection. The next calls counted from now: the Nth (1-based) call
// overall, or the Nth call of one function, returns the error instead of
// doing its work. FailPath makes every registry call that addresses the
// physical key path (case-insensitive, "HKLM\\..." or "HKCU\\...") fail.
void FailNthCall(std::size_t n, win::LONG error);
void FailNthCallOf(const std::string& function, std::size_t n, win::LONG error);
void FailPath(const std::string& path, win::LONG error);
void ClearFaults();

// Makes allocations fail from the Nth operator new on (for exception tests).
// 0 switches it off.
void FailAllocationsFrom(std::size_t n);

// The process around the registry.
void SetProperty(const std::u16string& name, const std::u16string& value);
void SetEnvironment(const std::u16string& name, const std::u16string& value);
// Whether KERNEL32 exports IsWow64Process (it does after Reset) and what it
// answers (Machine::Wow64 after Reset with that machine).
void SetIsWow64ProcessExported(bool exported);

}  // namespace emu
