// A registry value of any type and size, read and written whole.
//
// RegKeyW's own readers stop at REG_BINARY and 2080 bytes and cannot tell a
// missing value from a failed read; saving and restoring a setting needs its
// exact type and data, and needs to know which of the two happened.
#pragma once

#include <vector>

#include "platform/win_api.h"
#include "registry/lookup.h"
#include "registry/reg_key.h"

struct RawValue {
  win::DWORD type = win::REG_NONE;
  std::vector<win::BYTE> data;

  // Whether this is the REG_DWORD |number| (four bytes of data).
  bool IsDword(win::DWORD number) const;
};

// Reads the value |name| of the open |key| with its type and all its data.
// kAbsent only when Windows says the value does not exist; kFailed when the
// key is not open or the read failed otherwise.
Lookup ReadRawValue(RegKeyW& key, const char16_t* name, RawValue* value);

// Whether |key| holds a value |name| of any type, REG_NONE included.
Lookup FindValue(RegKeyW& key, const char16_t* name);

// Stores |value| under |name| with its own type. False without calling
// Windows when the key is not open or not writable, else whether it worked.
bool WriteRawValue(RegKeyW& key, const char16_t* name, const RawValue& value);
