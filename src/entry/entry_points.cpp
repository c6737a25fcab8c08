#include "entry/entry_points.h"

#include <new>

#include "entry/custom_action_data.h"
#include "entry/release_lists.h"
#include "entry/wow64_probe.h"
#include "products/product_sweep.h"
#include "settings/handled_settings_keys.h"

namespace {

template <typename List>
void SweepAll(const List& releases, bool installing, bool machine_wide, bool view64,
              HandledSettingsKeys& handled) {
  for (const ProductRelease& release : releases) {
    SweepProductKeys(installing, release, machine_wide, view64, handled);
  }
}

win::UINT Run(win::MSIHANDLE install, bool installing) {
  const CustomActionData data = ReadCustomActionData(install);
  if (!data.present) return win::ERROR_INVALID_DATA;
  // Lives for this call only: which settings keys have been handled.
  HandledSettingsKeys handled;
  SweepAll(FirstPassReleases, installing, data.machine_wide, false, handled);
  if (!installing) SweepAll(CadManagerControlReleases, false, data.machine_wide, false, handled);
  if (RunsUnderWow64()) {
    SweepAll(SecondPassReleases, installing, data.machine_wide, true, handled);
    if (!installing) SweepAll(CadManagerControlReleases, false, data.machine_wide, true, handled);
  }
  return win::ERROR_SUCCESS;
}

// No C++ exception may reach the installer, which would kill the
// custom-action process; running out of memory is reported as a failure.
win::UINT RunGuarded(win::MSIHANDLE install, bool installing) {
  try {
    return Run(install, installing);
  } catch (const std::bad_alloc&) {
    return win::ERROR_INSTALL_FAILURE;
  }
}

}  // namespace

extern "C" {

win::UINT SKERROW_STDCALL Install(win::MSIHANDLE install) { return RunGuarded(install, true); }

win::UINT SKERROW_STDCALL Uninstall(win::MSIHANDLE install) { return RunGuarded(install, false); }

win::BOOL SKERROW_STDCALL DllMain(win::HINSTANCE module, win::DWORD reason, void* /*reserved*/) {
  if (reason == win::DLL_PROCESS_ATTACH) win::DisableThreadLibraryCalls(module);
  return 1;
}

}  // extern "C"
