// kernel32 and msi calls around the registry: modules and their exports,
// WOW64 probe, environment expansion and installer properties.
#include <cstring>

#include "platform/emulation/call_log.h"
#include "platform/emulation/key_tree.h"
#include "platform/emulation/machine_state.h"

namespace win {

using emu::detail::CallRecord;
using emu::detail::State;

namespace {

BOOL SKERROW_STDCALL EmulatedIsWow64Process(HANDLE process, BOOL* wow64) {
  CallRecord record("IsWow64Process");
  if (record.Begin(std::string(), 0) != ERROR_SUCCESS) return record.Finish(0);
  if (process != emu::detail::CurrentProcessHandle() || !wow64) return record.Finish(0);
  *wow64 = State().machine == emu::Machine::Wow64 ? 1 : 0;
  return record.Finish(1);
}

bool IsModule(const std::u16string& name, const std::u16string& module) {
  return emu::detail::SameName(name, module) || emu::detail::SameName(name, module + u".DLL");
}

HMODULE ModuleNamed(const char16_t* name) {
  if (!name) return emu::detail::MainModule();
  if (IsModule(name, u"KERNEL32")) return emu::detail::Kernel32Module();
  if (IsModule(name, u"ADVAPI32")) return emu::detail::Advapi32Module();
  return nullptr;
}

// What |module| exports as |name|, of the exports the engine looks up.
FARPROC Export(HMODULE module, const char* name) {
  if (module == emu::detail::Kernel32Module() && std::strcmp(name, "IsWow64Process") == 0 &&
      State().is_wow64_exported) {
    return reinterpret_cast<FARPROC>(&EmulatedIsWow64Process);
  }
  return nullptr;
}

const std::u16string* FindVariable(const std::u16string& name) {
  for (const auto& entry : State().environment) {
    if (emu::detail::SameName(entry.first, name)) return &entry.second;
  }
  return nullptr;
}

// Expands %name% references; unknown or unfinished ones stay as they are.
std::u16string Expand(const std::u16string& source) {
  std::u16string out;
  std::size_t i = 0;
  while (i < source.size()) {
    if (source[i] != u'%') {
      out += source[i++];
      continue;
    }
    const std::size_t close = source.find(u'%', i + 1);
    if (close == std::u16string::npos) {
      out += source.substr(i);
      break;
    }
    const std::u16string* value = FindVariable(source.substr(i + 1, close - i - 1));
    out += value ? *value : source.substr(i, close - i + 1);
    i = close + 1;
  }
  return out;
}

}  // namespace

HMODULE GetModuleHandleW(const char16_t* module_name) {
  CallRecord record("GetModuleHandleW");
  if (record.Begin(std::string(), 0) != ERROR_SUCCESS) return nullptr;
  const HMODULE module = ModuleNamed(module_name);
  record.Finish(module ? 1 : 0);
  return module;
}

FARPROC GetProcAddress(HMODULE module, const char* proc_name) {
  CallRecord record("GetProcAddress");
  if (record.Begin(std::string(), 0) != ERROR_SUCCESS) {
    record.Finish(0);
    return nullptr;
  }
  // Names below 0x10000 are ordinals.
  const bool by_name = reinterpret_cast<std::uintptr_t>(proc_name) >= 0x10000;
  const FARPROC proc = by_name ? Export(module, proc_name) : nullptr;
  record.Finish(proc ? 1 : 0);
  return proc;
}

HANDLE GetCurrentProcess() {
  CallRecord record("GetCurrentProcess");
  record.Begin(std::string(), 0);  // cannot fail
  record.Finish(ERROR_SUCCESS);
  return emu::detail::CurrentProcessHandle();
}

BOOL DisableThreadLibraryCalls(HMODULE module) {
  CallRecord record("DisableThreadLibraryCalls");
  if (record.Begin(std::string(), 0) != ERROR_SUCCESS) return record.Finish(0);
  return record.Finish(module ? 1 : 0);
}

DWORD ExpandEnvironmentStringsW(const char16_t* source, char16_t* destination, DWORD size) {
  CallRecord record("ExpandEnvironmentStringsW");
  // A failure answers 0, with its reason for GetLastError.
  if (const LONG fault = record.Begin(std::string(), 0)) {
    State().last_error = static_cast<DWORD>(fault);
    return record.Finish(0);
  }
  const std::u16string expanded = Expand(source ? source : u"");
  const DWORD needed = static_cast<DWORD>(expanded.size() + 1);
  if (destination && size > 0) {
    const std::size_t copied = std::min<std::size_t>(expanded.size(), size - 1);
    std::memcpy(destination, expanded.data(), copied * sizeof(char16_t));
    destination[copied] = 0;
  }
  return static_cast<DWORD>(record.Finish(static_cast<LONG>(needed)));
}

UINT MsiGetPropertyW(MSIHANDLE install, const char16_t* name, char16_t* value, DWORD* length) {
  CallRecord record("MsiGetPropertyW");
  if (LONG fault = record.Begin(std::string(), 0)) return record.Finish(fault);
  if (!name) return record.Finish(ERROR_INVALID_PARAMETER);
  if (install == 0) return record.Finish(ERROR_INVALID_HANDLE);
  if (value && !length) return record.Finish(ERROR_INVALID_PARAMETER);
  if (!length) return record.Finish(ERROR_SUCCESS);
  const auto& properties = State().properties;
  auto found = properties.find(name);
  const std::u16string text = found == properties.end() ? std::u16string() : found->second;
  const DWORD text_length = static_cast<DWORD>(text.size());
  LONG result = ERROR_SUCCESS;
  if (value) {
    if (*length > 0) {
      const DWORD copied = std::min(text_length, *length - 1);
      std::memcpy(value, text.data(), copied * sizeof(char16_t));
      value[copied] = 0;
    }
    if (text_length >= *length) result = ERROR_MORE_DATA;
  }
  *length = text_length;
  return record.Finish(result);
}

}  // namespace win
