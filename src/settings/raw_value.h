// A registry value of any type and size, read and written whole.
//
// RegKeyW's own readers stop at REG_BINARY and 2080 bytes; saving a setting
// that is not a REG_DWORD needs its exact type and data.
#pragma once

#include <vector>

#include "platform/win_api.h"
#include "registry/reg_key.h"

struct RawValue {
  win::DWORD type = win::REG_NONE;
  std::vector<win::BYTE> data;
};

// Reads the value |name| of the open |key| with its type and all its data.
// False when the key is not open or the value cannot be read.
bool ReadRawValue(RegKeyW& key, const char16_t* name, RawValue* value);

// Stores |value| under |name| with its own type. False without calling
// Windows when the key is not open or not writable, else whether it worked.
bool WriteRawValue(RegKeyW& key, const char16_t* name, const RawValue& value);
