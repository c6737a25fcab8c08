// advapi32 and kernel32 calls on the process's account: its token, the text
// form of its SID, and the memory and handles they hand out.
#include <cstring>

#include "platform/emulation/call_log.h"
#include "platform/emulation/machine_state.h"
#include "platform/emulation/security_ids.h"

namespace win {

using emu::detail::CallRecord;
using emu::detail::State;

namespace {

std::uintptr_t Number(HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// Answers FALSE with |error| for GetLastError.
BOOL Failed(CallRecord& record, LONG error) {
  State().last_error = static_cast<DWORD>(error);
  return record.Finish(0);
}

BOOL WriteTokenUser(void* information, DWORD length, DWORD* return_length) {
  std::vector<BYTE> sid;
  emu::detail::SidFromText(State().process_user, &sid);
  const DWORD needed = static_cast<DWORD>(sizeof(TOKEN_USER) + sid.size());
  *return_length = needed;
  if (!information || length < needed) {
    State().last_error = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  // The SID follows the structure in the caller's buffer, as Windows puts it.
  BYTE* at = static_cast<BYTE*>(information);
  const TOKEN_USER user{SID_AND_ATTRIBUTES{at + sizeof(TOKEN_USER), 0}};
  std::memcpy(at, &user, sizeof user);
  std::memcpy(at + sizeof user, sid.data(), sid.size());
  return 1;
}

}  // namespace

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
  CallRecord record("OpenProcessToken");
  if (const LONG fault = record.Begin(std::string(), access)) return Failed(record, fault);
  if (process != emu::detail::CurrentProcessHandle()) return Failed(record, ERROR_INVALID_HANDLE);
  if (!token) return Failed(record, ERROR_NOACCESS);
  emu::detail::MachineState& state = State();
  const std::uintptr_t number = state.next_handle;
  state.next_handle += 4;  // one series with the key handles, so none is both
  state.tokens.emplace(number, access);
  *token = reinterpret_cast<HANDLE>(number);
  return record.Finish(1);
}

BOOL GetTokenInformation(HANDLE token, int information_class, void* information, DWORD length,
                         DWORD* return_length) {
  CallRecord record("GetTokenInformation");
  if (const LONG fault = record.Begin(std::string(), 0)) return Failed(record, fault);
  const auto found = State().tokens.find(Number(token));
  if (found == State().tokens.end()) return Failed(record, ERROR_INVALID_HANDLE);
  if (information_class != TokenUser || !return_length) {
    return Failed(record, ERROR_INVALID_PARAMETER);
  }
  if (!(found->second & TOKEN_QUERY)) return Failed(record, ERROR_ACCESS_DENIED);
  return record.Finish(WriteTokenUser(information, length, return_length));
}

BOOL ConvertSidToStringSidW(PSID sid, char16_t** text) {
  CallRecord record("ConvertSidToStringSidW");
  if (const LONG fault = record.Begin(std::string(), 0)) return Failed(record, fault);
  std::u16string converted;
  if (!text || !emu::detail::SidText(static_cast<const BYTE*>(sid), &converted)) {
    return Failed(record, ERROR_INVALID_PARAMETER);
  }
  auto copy = std::make_unique<char16_t[]>(converted.size() + 1);
  std::memcpy(copy.get(), converted.c_str(), (converted.size() + 1) * sizeof(char16_t));
  *text = copy.get();
  State().sid_texts.emplace(copy.get(), std::move(copy));
  return record.Finish(1);
}

void* LocalFree(void* memory) {
  CallRecord record("LocalFree");
  // As with RegCloseKey, an injected fault is reported but the memory goes
  // all the same, so that tests count only what the caller never freed.
  const LONG fault = record.Begin(std::string(), 0);
  const bool freed = !memory || State().sid_texts.erase(static_cast<char16_t*>(memory)) == 1;
  void* result = (fault || !freed) ? memory : nullptr;  // the memory back means failure
  record.Finish(result ? 1 : 0);
  return result;
}

BOOL CloseHandle(HANDLE handle) {
  CallRecord record("CloseHandle");
  const LONG fault = record.Begin(std::string(), 0);  // closes all the same, as LocalFree
  const bool closed =
      handle == emu::detail::CurrentProcessHandle() || State().tokens.erase(Number(handle)) == 1;
  if (fault || !closed) return Failed(record, fault ? fault : ERROR_INVALID_HANDLE);
  return record.Finish(1);
}

// Cannot fail: a fault injected here is ignored.
DWORD GetLastError() {
  CallRecord record("GetLastError");
  record.Begin(std::string(), 0);
  const DWORD error = State().last_error;
  record.Finish(static_cast<LONG>(error));
  return error;
}

}  // namespace win

namespace emu {

std::size_t OpenProcessObjects() {
  return detail::State().tokens.size() + detail::State().sid_texts.size();
}

}  // namespace emu
