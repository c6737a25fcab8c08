// kernel32's UTF-16 string helpers. They touch no machine state, so they are
// neither logged nor open to injected faults.
#include "platform/win_api.h"

namespace win {

int lstrlenW(const char16_t* text) {
  if (!text) return 0;
  int length = 0;
  while (text[length]) ++length;
  return length;
}

char16_t* lstrcpyW(char16_t* destination, const char16_t* source) {
  if (!destination || !source) return nullptr;
  char16_t* out = destination;
  while ((*out++ = *source++) != 0) {
  }
  return destination;
}

char16_t* lstrcpynW(char16_t* destination, const char16_t* source, int max_length) {
  if (!destination || !source) return nullptr;
  // The count is taken unsigned, as Windows does: a negative one is no limit.
  UINT count = static_cast<UINT>(max_length);
  char16_t* out = destination;
  while (count > 1 && *source) {
    --count;
    *out++ = *source++;
  }
  if (count) *out = 0;
  return destination;
}

}  // namespace win
