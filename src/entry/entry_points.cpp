#include "entry/entry_points.h"

#include <new>

#include "entry/all_users.h"
#include "entry/custom_action_data.h"
#include "entry/release_lists.h"
#include "entry/wow64_probe.h"
#include "products/product_sweep.h"
#include "registry/install_log.h"
#include "registry/key_tree.h"
#include "registry/reg_calls.h"
#include "settings/action_call.h"
#include "settings/change_log.h"

namespace {

template <typename List>
void SweepAll(const List& releases, ActionCall& call) {
  for (const ProductRelease& release : releases) SweepProductKeys(release, call);
}

const char* YesNo(bool yes) { return yes ? "yes" : "no"; }

const char* WritableName(MachineSoftware answer) {
  switch (answer) {
    case MachineSoftware::kWritable:
      return "yes";
    case MachineSoftware::kReadOnly:
      return "no";
    case MachineSoftware::kUnknown:
      break;
  }
  return "unknown";
}

const char* ExportName(bool installing) { return installing ? "Install" : "Uninstall"; }

// What an all-users request came to: the mode needs the machine level.
enum class AllUsers { kNotAsked, kHonoured, kNotHonoured };

AllUsers AllUsersMode(const CustomActionData& data, MachineSoftware machine) {
  if (!data.all_users) return AllUsers::kNotAsked;
  return data.machine_wide && machine == MachineSoftware::kWritable ? AllUsers::kHonoured
                                                                    : AllUsers::kNotHonoured;
}

// The first line: what was asked for and what this machine allows. Only a
// machine-wide run needs to know whether HKEY_LOCAL_MACHINE is writable.
void LogBegin(bool installing, const CustomActionData& data, const char* writable, bool sweeps,
              bool wow64, AllUsers all_users) {
  LogLine line("begin export=");
  line.Text(ExportName(installing)).Text(" machine-wide=").Text(YesNo(data.machine_wide));
  line.Text(" from=CustomActionData:").Quoted(data.text).Text(" hklm-writable=");
  line.Text(writable);
  line.Text(" views=").Text(!sweeps ? "none" : wow64 ? "32,64" : "32");
  // Only where asked for, so that the lines of every other run stay as
  // they were.
  if (all_users == AllUsers::kHonoured) line.Text(" all-users=yes");
  if (all_users == AllUsers::kNotHonoured) line.Text(" all-users=not-honoured");
  Send(line);
}

void LogEnd(bool installing, win::UINT result, const PersonsTally* persons) {
  const LogTally& tally = Tally();
  LogLine line("end export=");
  line.Text(ExportName(installing)).Text(" result=").Number(result);
  line.Text(" switched=").Number(tally.switched).Text(" restored=").Number(tally.restored);
  line.Text(" left-alone=").Number(tally.left_alone);
  line.Text(" copies-made=").Number(tally.copies_made);
  line.Text(" copies-removed=").Number(tally.copies_removed);
  line.Text(" failures=").Number(tally.failures);
  if (persons != nullptr) {
    line.Text(" profiles=").Number(persons->reached);
    line.Text(" unreachable=").Number(persons->unreachable);
  }
  Send(line);
}

// Both passes over the release lists, in the user's hive |call| names.
void Passes(ActionCall& call) {
  SweepAll(FirstPassReleases, call);
  if (!call.installing) SweepAll(CadManagerControlReleases, call);
  if (RunsUnderWow64()) {
    call.view64 = true;
    SweepAll(SecondPassReleases, call);
    if (!call.installing) SweepAll(CadManagerControlReleases, call);
  }
}

// What the end line says of the persons' hives. Counted while they are
// worked, so that it stays true when running out of memory ends the run.
struct PersonsReport {
  bool worked = false;
  PersonsTally tally;
};

win::UINT Run(win::MSIHANDLE install, bool installing, PersonsReport& persons) {
  const CustomActionData data = ReadCustomActionData(install);
  if (data.read == Lookup::kFailed) {
    LogBegin(installing, data, "not-asked", false, false, AllUsers::kNotAsked);
    LogFailure("reading CustomActionData", nullptr, nullptr, 0, nullptr);
    return win::ERROR_INSTALL_FAILURE;
  }
  if (data.read == Lookup::kAbsent) {
    LogBegin(installing, data, "not-asked", false, false, AllUsers::kNotAsked);
    return win::ERROR_INVALID_DATA;
  }
  // A machine-wide run must know before it changes anything whether it may
  // write below HKEY_LOCAL_MACHINE; not knowing is a failure, not a reason
  // to work in the user's hive instead.
  const MachineSoftware machine =
      data.machine_wide ? ProbeMachineSoftware() : MachineSoftware::kWritable;
  const char* writable = data.machine_wide ? WritableName(machine) : "not-asked";
  const AllUsers all_users = AllUsersMode(data, machine);
  if (machine == MachineSoftware::kUnknown) {
    LogBegin(installing, data, writable, false, false, all_users);
    LogWriteProbeFailure();
    return win::ERROR_INSTALL_FAILURE;
  }
  // The first line names the views, so the WOW64 probe comes before the
  // first pass rather than after it.
  LogBegin(installing, data, writable, true, RunsUnderWow64(), all_users);
  ActionCall call(installing, data.machine_wide);
  Passes(call);
  if (all_users == AllUsers::kHonoured) {
    persons.worked = true;
    RunForEveryPerson(call, Passes, persons.tally);
  }
  return call.failed ? win::ERROR_INSTALL_FAILURE : win::ERROR_SUCCESS;
}

// No C++ exception may reach the installer, which would kill the
// custom-action process; running out of memory is reported as a failure.
// The answer after a throw is set by the handler itself: nothing that Run
// was filling in when it threw is read back for it, since an optimising
// compiler may already have given that storage to something else.
win::UINT RunGuarded(win::MSIHANDLE install, bool installing) {
  BeginInstallLog(install);
  PersonsReport persons;
  win::UINT result;
  try {
    result = Run(install, installing, persons);
  } catch (const std::bad_alloc&) {
    result = win::ERROR_INSTALL_FAILURE;
    NoteFailure("operator new", nullptr, win::ERROR_NOT_ENOUGH_MEMORY);
    LogFailure(ExportName(installing), nullptr, nullptr, 0, nullptr);
  }
  LogEnd(installing, result, persons.worked ? &persons.tally : nullptr);
  EndInstallLog();
  return result;
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
