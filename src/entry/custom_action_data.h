// The installer's "CustomActionData" and the machine-wide flag in it.
#pragma once

#include "platform/win_api.h"
#include "registry/lookup.h"

struct CustomActionData {
  // kAbsent when the property is empty or not set: nothing is to be done;
  // kFailed when the installer could not give it (the failing call is
  // noted): nothing is known of what was asked for.
  Lookup read = Lookup::kAbsent;
  // Set when the character right after the first '>' is '1'.
  bool machine_wide = false;
  // Set by the request ";AllUsers" after that character.
  bool all_users = false;
  // The text as read, cut to the buffer, for the installer's log.
  char16_t text[64] = {};
};

// Reads the whole "CustomActionData" of |install|, its length asked for
// first; only the character after its first '>' and the requests after that
// matter.
CustomActionData ReadCustomActionData(win::MSIHANDLE install);

// Whether the first '>' of |text| is followed by '1'.
bool HasMachineWideFlag(const char16_t* text);

// Whether the requests after the character that follows the first '>' of
// |text| hold "AllUsers" (in any case). Requests are names, each after a
// ';': ">1;AllUsers". Earlier versions read only the flag and ignore them.
bool HasAllUsersRequest(const char16_t* text);
