#include "entry/wow64_probe.h"

#include "entry/wow64_probe_state.h"
#include "platform/win_api.h"

Wow64ProbeState g_wow64_probe;

bool RunsUnderWow64() {
  if (!g_wow64_probe.probed) {
    const win::HMODULE kernel32 = win::GetModuleHandleW(u"KERNEL32");
    const win::FARPROC found =
        kernel32 != nullptr ? win::GetProcAddress(kernel32, "IsWow64Process") : nullptr;
    if (found != nullptr) {
      const auto is_wow64_process = reinterpret_cast<win::IsWow64ProcessFn>(found);
      is_wow64_process(win::GetCurrentProcess(), &g_wow64_probe.wow64);
    }
    g_wow64_probe.probed = true;
  }
  return g_wow64_probe.wow64 != 0;
}
