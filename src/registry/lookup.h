// What looking for a key or a value found.
//
// Only ERROR_FILE_NOT_FOUND means that the thing is not there. Any other
// failure (access denied, a key deleted under an open handle, a broken hive)
// says nothing about it, and whoever acts on the answer must not guess.
#pragma once

#include "platform/win_api.h"

enum class Lookup {
  kFound,
  kAbsent,
  kFailed,
};

constexpr Lookup LookupOf(win::LONG status) {
  return status == win::ERROR_SUCCESS          ? Lookup::kFound
         : status == win::ERROR_FILE_NOT_FOUND ? Lookup::kAbsent
                                               : Lookup::kFailed;
}
