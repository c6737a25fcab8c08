#include "entry/custom_action_data.h"

#include <memory>

#include "registry/reg_calls.h"

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

constexpr char16_t kProperty[] = u"CustomActionData";

}  // namespace

CustomActionData ReadCustomActionData(win::MSIHANDLE install) {
  CustomActionData data;
  // An empty buffer asks for the length, which comes back without the
  // terminator; then the value is read at that size, again should it have
  // grown meanwhile.
  char16_t none[1] = {};
  win::DWORD length = 0;
  win::UINT status = win::MsiGetPropertyW(install, kProperty, none, &length);
  std::unique_ptr<char16_t[]> value;
  for (int tries = 0; tries < 3 && status == win::ERROR_MORE_DATA && length > 0; ++tries) {
    // Zeroed: whatever the installer writes, the text ends inside.
    value.reset(new char16_t[length + 1]());
    length += 1;
    status = win::MsiGetPropertyW(install, kProperty, value.get(), &length);
  }
  if (status == win::ERROR_MORE_DATA && length == 0) status = win::ERROR_SUCCESS;  // empty
  if (status != win::ERROR_SUCCESS) {
    NoteFailure("MsiGetPropertyW", kProperty, static_cast<win::LONG>(status));
    data.read = Lookup::kFailed;
    return data;
  }
  if (!value || length == 0) return data;  // empty, or not set
  win::lstrcpynW(data.text, value.get(), static_cast<int>(sizeof data.text / sizeof data.text[0]));
  data.read = Lookup::kFound;
  data.machine_wide = HasMachineWideFlag(value.get());
  data.all_users = HasAllUsersRequest(value.get());
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
