#include "registry/machine_write_probe.h"

#include "registry/key_tree.h"
#include "registry/reg_calls.h"

namespace machine_write_probe {
State state = {false, false};
}  // namespace machine_write_probe

MachineSoftware ProbeMachineSoftware() {
  machine_write_probe::State& state = machine_write_probe::state;
  if (!state.done) {
    state.done = true;
    try {
      // Default view: the answer stands for both views.
      RegKeyW software(win::HKEY_LOCAL_MACHINE, u"SOFTWARE", win::KEY_ALL_ACCESS, false);
      // Only a refusal says that this process may not write there. Any other
      // failure says nothing, and a guess would move a machine-wide run into
      // the user's hive.
      if (software.handle() == nullptr && software.status() != win::ERROR_ACCESS_DENIED) {
        // The key is always there: not finding it is the failure to name.
        if (software.status() == win::ERROR_FILE_NOT_FOUND) {
          NoteFailure("RegOpenKeyExW", u"SOFTWARE", software.status());
        }
        state.done = false;
        return MachineSoftware::kUnknown;
      }
      state.answer = software.handle() != nullptr;
    } catch (...) {
      // Out of memory before the probe ran: the next call tries again.
      state.done = false;
      throw;
    }
  }
  return state.answer ? MachineSoftware::kWritable : MachineSoftware::kReadOnly;
}

bool CanWriteMachineSoftware() { return ProbeMachineSoftware() == MachineSoftware::kWritable; }
