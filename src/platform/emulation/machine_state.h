// The one emulated machine: its hives, open handles and process settings.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/emulation/emulation.h"
#include "platform/emulation/key_tree.h"

namespace emu::detail {

// An open key handle. Views need no memory of their own: a handle points at
// the physical key, and each call's own flags choose where it goes from there.
struct Handle {
  std::shared_ptr<Key> key;
  win::REGSAM granted = 0;  // rights the open granted
};

// A hive file loaded below HKEY_USERS: the file by folded name, and the
// name its root has while it is not loaded.
struct LoadedHive {
  std::u16string file;
  std::u16string root_name;
};

struct MachineState {
  Machine machine = Machine::Windows32;
  User user = User::Administrator;
  std::shared_ptr<Key> hklm;
  // HKEY_USERS: the loaded hives by SID, HKCU among them.
  std::shared_ptr<Key> hku;
  std::shared_ptr<Key> hkcu;
  std::u16string process_user;  // the SID of the process's account
  // Hive files that are not loaded, by folded file name; their roots are
  // named "<FILE>".
  std::map<std::u16string, std::shared_ptr<Key>> hive_files;
  std::map<std::u16string, win::LONG> refused_hive_files;  // by folded name
  // Folders that AddFolder made, by folded name without a trailing
  // backslash; those that hold a hive file are there without it.
  std::set<std::u16string> folders;
  // RegLoadKeyW's hives by folded name below HKEY_USERS.
  std::map<std::u16string, LoadedHive> loaded_hives;
  // Privileges the process token holds, and those of them enabled.
  std::set<std::u16string> held_privileges;
  std::set<std::u16string> enabled_privileges;
  // Process token handles with the access they were opened with, and the
  // SID texts handed out and not freed yet.
  std::map<std::uintptr_t, win::DWORD> tokens;
  std::map<const char16_t*, std::unique_ptr<char16_t[]>> sid_texts;
  // What GetLastError answers: set by the calls that answer FALSE or NULL.
  win::DWORD last_error = 0;
  std::map<std::uintptr_t, Handle> handles;
  std::uintptr_t next_handle = 0x1000;                  // never reused, not even across Reset
  std::map<std::u16string, std::u16string> properties;  // names are case-sensitive
  std::vector<std::pair<std::u16string, std::u16string>> environment;
  bool is_wow64_exported = true;
  // Installer records by handle: their fields, field 0 first.
  std::map<win::MSIHANDLE, std::vector<std::u16string>> records;
  win::MSIHANDLE next_record = 0x100;
  // What the running installation was told, formatted, and whether it
  // takes messages at all.
  std::vector<std::u16string> messages;
  bool refuses_messages = false;
};

MachineState& State();

// The emulated process's module handles, and the pseudo handle
// GetCurrentProcess gives.
win::HMODULE Kernel32Module();
win::HMODULE Advapi32Module();
win::HMODULE MainModule();
win::HANDLE CurrentProcessHandle();

}  // namespace emu::detail
