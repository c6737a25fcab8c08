// One call of Install or Uninstall, as the sweep and the setting switch see
// it: the flags that travel down the call chain, the memory of what was
// handled, and whether anything failed.
#pragma once

#include "platform/win_api.h"
#include "settings/handled_settings_keys.h"

struct ActionCall {
  ActionCall(bool installing_call, bool machine_wide_call)
      : installing(installing_call), machine_wide(machine_wide_call) {}

  // True for Install (switch off), false for Uninstall (restore).
  const bool installing;
  // Asked for by "CustomActionData".
  const bool machine_wide;
  // Set for the pass over the 64-bit registry view.
  bool view64 = false;
  // Set while the sweep visits product keys that only the user has: the
  // machine has no settings keys below them, so only the user level is
  // handled.
  bool user_only = false;
  // The hive whose keys the user level works on: HKEY_CURRENT_USER, or in an
  // all-users run each other person's hive in turn.
  win::HKEY user_root = win::HKEY_CURRENT_USER;
  // Set while the passes visit another person's hive: the machine level was
  // done before, with the installing account's own keys.
  bool machine_level_done = false;
  // The root whose keys the setting switch works on at the moment, for the
  // log's failure lines.
  win::HKEY root = nullptr;
  HandledSettingsKeys handled;
  // Marked per-user copies deleted so far: deleting one can prune the keys
  // above it, the product key and the release key included.
  unsigned copies_removed = 0;
  // Set when something that exists could not be recorded, switched,
  // restored, copied or removed. Absence is never a failure.
  bool failed = false;
};
