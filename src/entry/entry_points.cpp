#include "entry/entry_points.h"

#include <new>

#include "entry/custom_action_data.h"
#include "entry/release_lists.h"
#include "entry/wow64_probe.h"
#include "products/product_sweep.h"
#include "registry/key_tree.h"
#include "settings/action_call.h"

namespace {

template <typename List>
void SweepAll(const List& releases, ActionCall& call) {
  for (const ProductRelease& release : releases) SweepProductKeys(release, call);
}

win::UINT Run(win::MSIHANDLE install, bool installing) {
  const CustomActionData data = ReadCustomActionData(install);
  if (!data.present) return win::ERROR_INVALID_DATA;
  // A machine-wide run must know before it changes anything whether it may
  // write below HKEY_LOCAL_MACHINE; not knowing is a failure, not a reason
  // to work in the user's hive instead.
  if (data.machine_wide && ProbeMachineSoftware() == MachineSoftware::kUnknown) {
    return win::ERROR_INSTALL_FAILURE;
  }
  ActionCall call(installing, data.machine_wide);
  SweepAll(FirstPassReleases, call);
  if (!installing) SweepAll(CadManagerControlReleases, call);
  if (RunsUnderWow64()) {
    call.view64 = true;
    SweepAll(SecondPassReleases, call);
    if (!installing) SweepAll(CadManagerControlReleases, call);
  }
  return call.failed ? win::ERROR_INSTALL_FAILURE : win::ERROR_SUCCESS;
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
