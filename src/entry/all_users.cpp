#include "entry/all_users.h"

#include "registry/hive_privileges.h"
#include "registry/install_log.h"
#include "registry/reg_calls.h"
#include "registry/user_hives.h"
#include "registry/wide_str.h"
#include "settings/change_log.h"

namespace {

LogLine& Person(LogLine& line, const WideStr& sid) { return line.Text(" sid=").Quoted(sid.get()); }

// Skerrow: profile sid="S-1-5-21-..." hive=logged-on|file|missing|current-user
//          [file="C:\Users\...\NTUSER.DAT"]
void LogProfile(const WideStr& sid, const char* hive, const WideStr& file) {
  LogLine line("profile");
  Person(line, sid).Text(" hive=").Text(hive);
  if (!file.IsNull()) line.Text(" file=").Quoted(file.get());
  Send(line);
}

// Skerrow: profile-unreachable sid="..." file="..." call=RegLoadKeyW
//          error=ERROR_SHARING_VIOLATION (32)
void LogUnreachable(const WideStr& sid, const UserHive& hive) {
  LogLine line("profile-unreachable");
  Person(line, sid);
  if (!hive.file().IsNull()) line.Text(" file=").Quoted(hive.file().get());
  line.Text(" call=").Text(hive.failed_call()).Text(" error=").Error(hive.error());
  Send(line);
}

// Points |call| and the log at a person's hive for as long as it lives,
// also when running out of memory ends the run.
class InHive {
 public:
  InHive(ActionCall& call, const UserHive& hive) : call_(call) {
    call.user_root = hive.root();
    call.machine_level_done = true;
    call.view64 = false;
    // The same paths are met again, in another hive.
    call.handled = HandledSettingsKeys();
    NameUserHive(hive.root(), hive.name().get());
  }
  InHive(const InHive&) = delete;
  InHive& operator=(const InHive&) = delete;
  ~InHive() {
    NameUserHive(nullptr, nullptr);
    call_.user_root = win::HKEY_CURRENT_USER;
    call_.machine_level_done = false;
    call_.view64 = false;
  }

 private:
  ActionCall& call_;
};

}  // namespace

void RunForEveryPerson(ActionCall& call, RunPasses passes, PersonsTally& tally) {
  Persons persons;
  if (ReadPersons(&persons) == Lookup::kFailed) {
    call.failed = true;
    LogFailure("finding the people with a profile", nullptr, nullptr, 0, nullptr);
    return;
  }
  // Enabled at the first hive that needs loading, and given back after the
  // last one is unloaded.
  HivePrivileges privileges;
  for (const WideStr& sid : persons.sids) {
    if (persons.IsOwn(sid)) {
      LogProfile(sid, "current-user", WideStr());
      continue;
    }
    const UserHive hive(sid.get(), privileges);
    switch (hive.reach()) {
      case HiveReach::kMissing:
        LogProfile(sid, "missing", hive.file());
        continue;
      case HiveReach::kUnreachable:
        ++tally.unreachable;
        LogUnreachable(sid, hive);
        if (!hive.excused()) call.failed = true;
        continue;
      case HiveReach::kLoggedOn:
        LogProfile(sid, "logged-on", WideStr());
        break;
      case HiveReach::kFromFile:
        LogProfile(sid, "file", hive.file());
        break;
    }
    ++tally.reached;
    const InHive in_hive(call, hive);
    passes(call);
  }
}
