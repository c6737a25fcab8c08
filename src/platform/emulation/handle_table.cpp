#include "platform/emulation/handle_table.h"

#include "platform/emulation/key_paths.h"

namespace emu {
namespace detail {

namespace {

constexpr win::REGSAM kMaximumAllowed = 0x02000000;
constexpr win::REGSAM kGenericRead = 0x80000000;
constexpr win::REGSAM kGenericWrite = 0x40000000;
constexpr win::REGSAM kGenericExecute = 0x20000000;
constexpr win::REGSAM kGenericAll = 0x10000000;

std::uintptr_t Number(win::HKEY handle) { return reinterpret_cast<std::uintptr_t>(handle); }

}  // namespace

bool IsPredefinedRoot(win::HKEY handle) {
  return handle == win::HKEY_LOCAL_MACHINE || handle == win::HKEY_CURRENT_USER ||
         handle == win::HKEY_USERS;
}

win::REGSAM RequestedRights(win::REGSAM access) {
  win::REGSAM rights = access & ~(win::KEY_WOW64_64KEY | win::KEY_WOW64_32KEY | kMaximumAllowed |
                                  kGenericRead | kGenericWrite | kGenericExecute | kGenericAll);
  if (access & (kGenericRead | kGenericExecute)) rights |= win::KEY_READ;
  if (access & kGenericWrite) rights |= win::KEY_WRITE;
  if (access & (kGenericAll | kMaximumAllowed)) rights |= win::KEY_ALL_ACCESS;
  return rights;
}

bool LookUpHandle(win::HKEY handle, HandleTarget* target) {
  MachineState& state = State();
  if (IsPredefinedRoot(handle)) {
    target->key = handle == win::HKEY_LOCAL_MACHINE ? state.hklm
                  : handle == win::HKEY_USERS       ? state.hku
                                                    : state.hkcu;
    target->granted = IsReadOnlyFor(*target->key) ? win::KEY_READ : win::KEY_ALL_ACCESS;
    target->root = true;
    return true;
  }
  auto found = state.handles.find(Number(handle));
  if (found == state.handles.end()) return false;
  target->key = found->second.key;
  target->granted = found->second.granted;
  target->root = false;
  return true;
}

win::LONG CheckHandle(bool known, const HandleTarget& target, win::REGSAM right) {
  if (!known) return win::ERROR_INVALID_HANDLE;
  if ((target.granted & right) != right) return win::ERROR_ACCESS_DENIED;
  if (target.key->deleted) return win::ERROR_KEY_DELETED;
  return win::ERROR_SUCCESS;
}

win::HKEY AddHandle(std::shared_ptr<Key> key, win::REGSAM granted) {
  MachineState& state = State();
  const std::uintptr_t number = state.next_handle;
  state.next_handle += 4;
  state.handles.emplace(number, Handle{std::move(key), granted});
  return reinterpret_cast<win::HKEY>(number);
}

bool RemoveHandle(win::HKEY handle) { return State().handles.erase(Number(handle)) == 1; }

}  // namespace detail

std::size_t OpenHandleCount() { return detail::State().handles.size(); }

}  // namespace emu
