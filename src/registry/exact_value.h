// Writing value data exactly as it was read.
#pragma once

#include "platform/win_api.h"

// Stores |size| bytes of |data| under |name| of |key| with |type|, nothing
// more. RegSetValueExW looks at the character behind string data and stores
// a NUL found there as part of the value, so text read without a terminator
// would grow by one; writing from a copy with a non-NUL character behind the
// data keeps it as it was. Returns the Windows status.
win::LONG SetValueExactly(win::HKEY key, const char16_t* name, win::DWORD type,
                          const win::BYTE* data, win::DWORD size);
