#include "registry/process_user.h"

#include "platform/win_api.h"
#include "registry/reg_calls.h"

namespace {

// Room for a TOKEN_USER and the longest SID (15 sub-authorities), aligned
// for the pointer inside it.
union TokenUserBuffer {
  win::TOKEN_USER user;
  win::BYTE bytes[128];
};

// Closes the token handle on every way out.
class TokenHandle {
 public:
  TokenHandle() = default;
  TokenHandle(const TokenHandle&) = delete;
  TokenHandle& operator=(const TokenHandle&) = delete;
  ~TokenHandle() {
    if (handle_ != nullptr) win::CloseHandle(handle_);
  }
  win::HANDLE* Receive() { return &handle_; }
  win::HANDLE get() const { return handle_; }

 private:
  win::HANDLE handle_ = nullptr;
};

Lookup Failed(const char* call) {
  NoteFailure(call, nullptr, static_cast<win::LONG>(win::GetLastError()));
  return Lookup::kFailed;
}

}  // namespace

Lookup ReadProcessUserSid(WideStr* sid) {
  TokenHandle token;
  if (win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_QUERY, token.Receive()) == 0) {
    return Failed("OpenProcessToken");
  }
  TokenUserBuffer buffer = {};
  win::DWORD needed = 0;
  if (win::GetTokenInformation(token.get(), win::TokenUser, &buffer, sizeof buffer, &needed) == 0) {
    return Failed("GetTokenInformation");
  }
  char16_t* text = nullptr;
  if (win::ConvertSidToStringSidW(buffer.user.User.Sid, &text) == 0 || text == nullptr) {
    return Failed("ConvertSidToStringSidW");
  }
  // The copy may run out of memory: the text is freed first either way.
  struct Freed {
    char16_t* text;
    ~Freed() { win::LocalFree(text); }
  } freed{text};
  sid->Assign(text);
  return Lookup::kFound;
}
