// The process-wide memory of the WOW64 probe, shared with the test hook.
#pragma once

#include "platform/win_api.h"

struct Wow64ProbeState {
  bool probed = false;
  win::BOOL wow64 = 0;
};

extern Wow64ProbeState g_wow64_probe;
