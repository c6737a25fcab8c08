#include "status_check.h"

namespace {

void CheckRows(const std::vector<StatusRow>& rows, CheckOutcome& outcome) {
  for (const StatusRow& row : rows) {
    if (row.current_found == Lookup::kFailed) ++outcome.settings_unreadable;
    // The product's default is on: a settings key without its setting is on.
    if (row.current_found == Lookup::kAbsent) ++outcome.settings_on;
    if (row.current_found == Lookup::kFound && !row.current.IsDword(0)) ++outcome.settings_on;
  }
}

}  // namespace

CheckOutcome CheckStatus(const StatusReport& report) {
  CheckOutcome outcome;
  CheckRows(report.rows, outcome);
  outcome.unreadable_keys = static_cast<unsigned>(report.unreadable.size());
  outcome.persons_unknown = report.all_users && report.persons_failed_call != nullptr;
  for (const ProfileStatus& profile : report.profiles) {
    if (profile.reach == HiveReach::kUnreachable) ++outcome.unreachable_profiles;
    CheckRows(profile.rows, outcome);
    outcome.unreadable_keys += static_cast<unsigned>(profile.unreadable.size());
  }
  return outcome;
}
