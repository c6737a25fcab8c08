#include "entry/custom_action_data.h"

#include <memory>

namespace {

constexpr char16_t kAllUsersRequest[] = u"AllUsers";

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// Whether the |length| units at |text| are |name|, ignoring ASCII case.
bool IsName(const char16_t* text, int length, const char16_t* name) {
  int i = 0;
  for (; i < length && name[i] != 0; ++i) {
    if (Lower(text[i]) != Lower(name[i])) return false;
  }
  return i == length && name[i] == 0;
}

// Units allocated for the property; the read is told one less, so that the
// last unit always stays a terminator.
constexpr win::DWORD kBufferUnits = 64;

}  // namespace

CustomActionData ReadCustomActionData(win::MSIHANDLE install) {
  // Zeroed: a read that fails without writing leaves the empty text.
  std::unique_ptr<char16_t[]> buffer(new char16_t[kBufferUnits]());
  win::DWORD length = kBufferUnits - 1;
  win::MsiGetPropertyW(install, u"CustomActionData", buffer.get(), &length);
  const auto reported = static_cast<win::LONG>(length);
  if (reported >= 0) {
    // A value that did not fit reports its full length; cut it at the end of
    // the buffer.
    buffer[reported < static_cast<win::LONG>(kBufferUnits) ? reported : kBufferUnits - 1] = u'\0';
  }
  CustomActionData data;
  win::lstrcpynW(data.text, buffer.get(), static_cast<int>(sizeof data.text / sizeof data.text[0]));
  if (reported == 0) return data;
  data.present = true;
  data.machine_wide = HasMachineWideFlag(buffer.get());
  data.all_users = HasAllUsersRequest(buffer.get());
  return data;
}

bool HasMachineWideFlag(const char16_t* text) {
  const int length = win::lstrlenW(text);
  for (int i = 0; i < length; ++i) {
    if (text[i] == u'>') return i + 1 < length && text[i + 1] == u'1';
  }
  return false;
}

bool HasAllUsersRequest(const char16_t* text) {
  const int length = win::lstrlenW(text);
  int at = 0;
  while (at < length && text[at] != u'>') ++at;
  // The requests start after the flag's character, each with a ';'.
  at += 2;
  while (at < length && text[at] == u';') {
    const int start = ++at;
    while (at < length && text[at] != u';') ++at;
    if (IsName(text + start, at - start, kAllUsersRequest)) return true;
  }
  return false;
}
