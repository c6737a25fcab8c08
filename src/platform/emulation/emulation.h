// Control panel of the in-memory Windows emulation, for native tests only.
//
// The emulation stands behind win_api.h on Linux: one process-wide registry
// with HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, the other hives loaded under
// HKEY_USERS and hive files that are not loaded, the handles into it, and the
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
// log and the faults, and forgets every handle, hive, hive file, folder,
// refusal, token and SID text. HKLM\SOFTWARE and HKCU\Software exist afterwards (and
// HKLM\SOFTWARE\Wow6432Node on Wow64); HKEY_USERS holds HKCU only.
void Reset(Machine machine = Machine::Windows32, User user = User::Administrator);

// Adds keys and values from a compact text. Key lines start in column 0 with
// a root and a physical path. Roots: "HKLM", "HKCU", "HKU\<SID>" (a hive
// loaded under HKEY_USERS; that of the process's own account, SetProcessUser,
// is HKCU itself) and "<FILE>" (a hive file that is not loaded, such as
// <C:\Users\bob\NTUSER.DAT>, names compared ignoring case); value lines
// below a key are indented and read  name = type:data  where name "@" is the
// default value and type is one of
//   dword:0x1 (or decimal)      sz:text    expand_sz:text
//   hex:01,02,ff                none:      hex(N):01,02  (any type number N)
// Names may be quoted with "..." (escapes \" and \\) when they hold '=' or
// spaces. Blank lines and lines starting with '#' are ignored. Physical paths
// name Wow6432Node explicitly: nothing is redirected here. Texts are UTF-8;
// sz: and expand_sz: data is stored with its terminator. Missing keys are
// created, existing values replaced. Throws std::invalid_argument on a
// malformed line.
void Load(const std::string& text);

// The whole registry in the Load format: HKCU, then HKLM, then the other
// hives loaded under HKEY_USERS by SID and the hive files by name (these two
// only where there are any, each sorted ignoring case; a hive file that
// RegLoadKeyW loaded is listed as its file, as Windows would write it back), each key on its own
// line followed by its values, keys and values in enumeration order. Every
// key is listed, the roots and empty keys included. Data is written as
// dword:0x2a (a four-byte REG_DWORD), sz: or expand_sz: (one line of text with
// its terminator), hex: (REG_BINARY), none: (an empty REG_NONE), else hex(N):.
// Names holding spaces, '=' or '\\', or starting with '"' or '#', and a value
// named "@" are quoted. Load(Dump()) rebuilds the same.
std::string Dump();

// One line of the call log. Every call of win_api.h is logged except the
// string helpers lstrlenW, lstrcpyW and lstrcpynW, which touch no state.
struct Call {
  std::string function;  // e.g. "RegOpenKeyExW"
  // Physical key path the call addressed, "HKLM\\..." in the stored spelling
  // (names still missing as given); "" for no key or an unknown handle. Keys
  // of the process user's hive are "HKCU\\..." however they were reached,
  // those of other hives "HKU\\<SID>\\...", those of hive files
  // "<FILE>\\..." while it is not loaded (RegLoadKeyW and RegUnLoadKeyW
  // address "HKU\\<name>").
  std::string path;
  win::REGSAM access;  // access mask given, 0 where the call takes none
  // The returned status; the function result where there is none (pointers:
  // 1 for non-null, 0 for null).
  win::LONG result;
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
// physical key path (case-insensitive, spelled as in Call::path) fail.
// Calls count as they are logged, so N can be read off Calls(). A failed open,
// or create writes NULL; calls without a status return their
// failure value (NULL, FALSE, 0; LocalFree the memory it was given); a failed
// RegCloseKey, CloseHandle or LocalFree closes or frees all the same;
// GetCurrentProcess cannot fail.
void FailNthCall(std::size_t n, win::LONG error);
void FailNthCallOf(const std::string& function, std::size_t n, win::LONG error);
void FailPath(const std::string& path, win::LONG error);

// The process "dies" after the Nth call counted from now (as FailNthCall
// counts; 0 dies before the next call): every registry call after it fails with kDeadProcessError
// and changes nothing, as if the installer had been killed or the power had gone there, while the
// process functions and allocations go on as normal. ClearFaults and Reset bring it back to life.
inline constexpr win::LONG kDeadProcessError = 1115;  // ERROR_SHUTDOWN_IN_PROGRESS
void DieAfterCall(std::size_t n);

void ClearFaults();

// Makes allocations fail from the Nth operator new on (for exception tests),
// counted from this call; the emulation's own allocations do not count.
// 0 switches it off, and so does Reset.
void FailAllocationsFrom(std::size_t n);

// Fills every block that operator new hands out with |pattern| repeated (up
// to 8 units; empty switches it off, and so does Reset), so that a test can
// tell memory that was initialised from memory that merely happened to be
// zero.
void FillAllocations(const std::u16string& pattern);

// The process around the registry. MsiGetPropertyW takes any non-zero handle
// as the running installation.
void SetProperty(const std::u16string& name, const std::u16string& value);
void SetEnvironment(const std::u16string& name, const std::u16string& value);
// The lines of the informational messages the running installation
// received, formatted as the installer writes them into its log, in order
// (a message of several lines separates them with CR LF); cleared by Reset.
std::vector<std::string> InstallerMessages();
// How many messages those lines came in.
std::size_t InstallerMessageCount();
// Records made with MsiCreateRecord and not closed yet.
std::size_t OpenInstallerRecords();
// With |refuse|, MsiProcessMessage answers -1 and keeps nothing, as an
// installer does whose session is gone.
void RefuseInstallerMessages(bool refuse);
// The account the process runs as: the user SID in its token, and whose
// hive HKEY_CURRENT_USER is (HKCU's tree stays; it is listed under the new
// SID). "S-1-5-21-0-0-0-1000" after Reset. Call it before any Load of HKU
// lines: throws std::invalid_argument for a text that is no SID and where
// another hive is already loaded for |sid|.
void SetProcessUser(const std::u16string& sid);
// RegLoadKeyW(HKEY_USERS, name, file) loads the hive file |file| of Load
// (names compared ignoring case; a missing one is made empty, as Windows
// makes it) as HKEY_USERS\name, where its keys are reached as those of any
// hive there; RegUnLoadKeyW gives the tree back to the file, as Windows
// writes the hive back. Both need SeBackupPrivilege and SeRestorePrivilege
// enabled (else ERROR_PRIVILEGE_NOT_HELD). A file or a name in use gives
// ERROR_SHARING_VIOLATION; an unload while a handle into the hive is open,
// or of a hive that no RegLoadKeyW loaded, ERROR_ACCESS_DENIED.
// RefuseHiveFile makes RegLoadKeyW refuse |file| with |error| from now on:
// ERROR_SHARING_VIOLATION for a hive another process has loaded,
// ERROR_BADDB for a damaged one. Reset forgets it.
void RefuseHiveFile(const std::u16string& file, win::LONG error);
// The names below HKEY_USERS that RegLoadKeyW loaded and RegUnLoadKeyW has
// not unloaded yet, sorted ignoring case.
std::vector<std::string> LoadedHives();
// Whether the process token holds SeBackupPrivilege and SeRestorePrivilege
// (after Reset: for an administrator); both are disabled from here on until
// AdjustTokenPrivileges enables them.
void SetHivePrivilegesHeld(bool held);
// The privileges enabled in the process token, sorted.
std::vector<std::string> EnabledPrivileges();
// The files GetFileAttributesW finds are the hive files of Load and
// RefuseHiveFile; its folders are those that hold one and those added here
// with the folders above them (names compared ignoring case). As on Windows,
// a missing file in a folder that is there gives ERROR_FILE_NOT_FOUND, one in
// a missing folder ERROR_PATH_NOT_FOUND. Reset forgets the added folders.
void AddFolder(const std::u16string& folder);
// Tokens of OpenProcessToken not closed with CloseHandle, and SID texts of
// ConvertSidToStringSidW not freed with LocalFree.
std::size_t OpenProcessObjects();
// Whether KERNEL32 exports IsWow64Process (it does after Reset) and what it
// answers (Machine::Wow64 after Reset with that machine).
void SetIsWow64ProcessExported(bool exported);

}  // namespace emu
