// GetLastError for the emulation, only so that the native tree links: no
// emulated call keeps a last error yet, so it answers ERROR_SUCCESS and the
// engine's log names the failed call with error 0.
#include "platform/emulation/call_log.h"

namespace win {

DWORD GetLastError() {
  emu::detail::CallRecord record("GetLastError");
  record.Begin(std::string(), 0);
  return static_cast<DWORD>(record.Finish(ERROR_SUCCESS));
}

}  // namespace win
