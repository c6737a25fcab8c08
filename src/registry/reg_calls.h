// The registry calls of the engine, each noting how it failed.
//
// They take and return exactly what the calls of win_api.h do. A call that
// fails for a reason other than absence, the end of an enumeration or a
// buffer that is too small leaves a note of itself: which call, the name it
// was given and the Windows error, unless a failure is noted already. The
// note of the first failure since the note was last forgotten is what the
// installer's log names when an operation reports that it failed.
#pragma once

#include "platform/win_api.h"

namespace reg {

using win::BYTE;
using win::DWORD;
using win::FILETIME;
using win::HKEY;
using win::LONG;
using win::REGSAM;

LONG RegOpenKeyExW(HKEY key, const char16_t* sub_key, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExW(HKEY key, const char16_t* sub_key, DWORD reserved, char16_t* key_class,
                     DWORD options, REGSAM access, void* security, HKEY* result,
                     DWORD* disposition);
LONG RegCloseKey(HKEY key);
LONG RegQueryValueExW(HKEY key, const char16_t* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
LONG RegSetValueExW(HKEY key, const char16_t* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegDeleteValueW(HKEY key, const char16_t* name);
LONG RegDeleteKeyW(HKEY key, const char16_t* sub_key);
LONG RegQueryInfoKeyW(HKEY key, char16_t* key_class, DWORD* class_length, DWORD* reserved,
                      DWORD* sub_keys, DWORD* max_sub_key_length, DWORD* max_class_length,
                      DWORD* values, DWORD* max_value_name_length, DWORD* max_value_length,
                      DWORD* security_descriptor_size, FILETIME* last_write_time);
LONG RegEnumKeyW(HKEY key, DWORD index, char16_t* name, DWORD name_capacity);
LONG RegEnumKeyExW(HKEY key, DWORD index, char16_t* name, DWORD* name_length, DWORD* reserved,
                   char16_t* key_class, DWORD* class_length, FILETIME* last_write_time);
LONG RegEnumValueW(HKEY key, DWORD index, char16_t* name, DWORD* name_length, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* data_size);

}  // namespace reg

// The failure that the log names: the first registry call that failed, or
// what NoteFailure noted last.
struct FailureNote {
  const char* call = nullptr;  // null: nothing noted
  char16_t name[128] = {};     // the sub-key or value name given, cut to fit
  win::LONG error = win::ERROR_SUCCESS;
};

// Notes that |call|, given |name| (null for none), failed with |error|, in
// place of any earlier note.
void NoteFailure(const char* call, const char16_t* name, win::LONG error);
// The note, which stays until ForgetFailure.
const FailureNote& LatestFailure();
void ForgetFailure();
