#include "entry/wow64_probe_for_testing.h"

#include "entry/wow64_probe_state.h"

void ResetWow64ProbeForTesting() { g_wow64_probe = Wow64ProbeState(); }
