// The remembered answer of CanWriteMachineSoftware (declared in key_tree.h).
#pragma once

namespace machine_write_probe {

// Process-wide, never reset while the library stays loaded.
struct State {
  bool done;    // set before probing; cleared again when the probe throws
  bool answer;  // whether HKEY_LOCAL_MACHINE\SOFTWARE opened with full access
};
extern State state;

}  // namespace machine_write_probe
