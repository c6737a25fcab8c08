// Operations on whole registry keys rather than single values.
#pragma once

#include "platform/win_api.h"
#include "registry/lookup.h"
#include "registry/reg_key.h"

// Deletes |key| with everything below it. With |prune|, then deletes each
// ancestor along the key's stored name that this leaves without sub-keys and
// values, up to the first one that is not empty; the key behind the parent
// handle is never deleted. Returns false at once, touching nothing, when the
// key is not writable or has no name of its own (it wraps its parent, or
// names it by the empty path); otherwise closes |key| and returns whether the
// key itself was deleted, whatever the pruning did. |pruned|, when given and
// the key was deleted with |prune|, tells whether the pruning went as far as
// it should (false when an ancestor could not be looked at or deleted).
// The key and its ancestors are deleted by name below the parent handle,
// which takes no view flag: a key of the native view below
// HKEY_LOCAL_MACHINE\SOFTWARE must be deleted through an open parent of that
// view, not by a path from the root.
bool DeleteKeyTree(RegKeyW& key, bool prune, bool* pruned = nullptr);

// Copies every sub-key (recursively) and value of the open |source| into the
// key |destination_name| below |destination_parent|, created if missing.
// Merges: other destination content stays. Parts that cannot be copied are
// skipped. False only when the source is not open, |destination_name| is
// null, or the destination cannot be created or opened.
bool CopyKeyTree(RegKeyW& source, win::HKEY destination_parent, const char16_t* destination_name);

// Copies every sub-key (recursively) and value of the open |source| into the
// open |destination|, merging as CopyKeyTree does, except the values of
// |source| itself named in |left_out| (null-terminated; any case). Goes on
// past a part that cannot be copied; returns true only when every part was.
bool CopyKeyContents(RegKeyW& source, RegKeyW& destination,
                     const char16_t* const* left_out = nullptr);

// The numbers of sub-keys and values of the open |key|; false when it cannot
// be asked.
bool CountKeyContent(win::HKEY key, win::DWORD* sub_keys, win::DWORD* values);

// True when the open |key| has neither sub-keys nor values (the default
// value counts as a value). False when it cannot be queried.
bool IsKeyEmpty(RegKeyW& key);

enum class MachineSoftware {
  kWritable,
  kReadOnly,  // the open was refused with ERROR_ACCESS_DENIED
  kUnknown,   // the probe failed for another reason
};

// Whether HKEY_LOCAL_MACHINE\SOFTWARE opens with KEY_ALL_ACCESS, in the
// default view. A clear answer (it opened, or access was denied) is kept for
// the life of the process and given by every later call; kUnknown is not
// kept, so the next call probes again.
MachineSoftware ProbeMachineSoftware();

// ProbeMachineSoftware() == MachineSoftware::kWritable.
bool CanWriteMachineSoftware();
