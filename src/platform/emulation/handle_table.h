// Registry handles: the predefined roots and the handles opens hand out.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/emulation/machine_state.h"

namespace emu::detail {

// What a handle stands for; |root| for the predefined roots HKEY_LOCAL_MACHINE,
// HKEY_CURRENT_USER and HKEY_USERS.
struct HandleTarget {
  std::shared_ptr<Key> key;
  win::REGSAM granted = 0;
  bool root = false;
};

// Fills |target| and returns true for a predefined root or an open handle.
bool LookUpHandle(win::HKEY handle, HandleTarget* target);
win::HKEY AddHandle(std::shared_ptr<Key> key, win::REGSAM granted);
// Forgets an open handle; false for anything else.
bool RemoveHandle(win::HKEY handle);
bool IsPredefinedRoot(win::HKEY handle);

// The checks of every call on an open key that needs |right|, in the order
// Windows makes them: unknown handle 6, missing right 5, deleted key 1018.
win::LONG CheckHandle(bool known, const HandleTarget& target, win::REGSAM right);

// The rights an access mask asks for, generic and maximum rights mapped, the
// view flags dropped.
win::REGSAM RequestedRights(win::REGSAM access);

}  // namespace emu::detail
