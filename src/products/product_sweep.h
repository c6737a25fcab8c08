// Finding the installed products of one release and switching the settings
// of each.
#pragma once

#include "products/product_release.h"
#include "registry/wide_str.h"
#include "settings/action_call.h"

// The path of the product key |name| below the release key |release_path|:
// the two joined by a backslash. Directly below a root key (empty release
// path) the name stands alone: Windows refuses a path that begins with a
// backslash.
WideStr ProductKeyPath(const WideStr& release_path, const char16_t* name);

// Opens the release key of |release| read-only (below HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER as the machine-level rule says; in the 64-bit view with
// call.view64) and dispatches each of its sub-keys, the product keys, one at
// a time as read from the live key. A family-0 release has no release path:
// the root key's own sub-keys are then the product keys. A product key that
// its dispatch deleted (a marked per-user copy pruned upwards) does not make
// the sweep miss the one after it. A machine-level Uninstall then sweeps the
// user's release key as well, for the product keys that only the user has
// (their records come from an Install that ran per user): only their user
// level is handled. Returns true when a release key was found and every one
// found was enumerated to its end; false when the release was skipped
// (AutoCAD before R16 without a writable HKEY_LOCAL_MACHINE\SOFTWARE), no
// key was found, or the sweep failed. A failure to open or enumerate a key
// that exists also sets call.failed.
bool SweepProductKeys(const ProductRelease& release, ActionCall& call);

// Switches, by the release code, the setting in each settings key that the
// product key |product_path| has for that release. Releases without settings
// keys are left alone.
void DispatchSettingLocation(const char16_t* product_path, const ProductRelease& release,
                             ActionCall& call);
