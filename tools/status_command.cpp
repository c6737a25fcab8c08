#include "status_command.h"

#include "status_check.h"
#include "status_format.h"
#include "status_report.h"

StatusCommandResult RunStatusCommand(const StatusRequest& request) {
  const StatusReport report =
      ReadStatus(request.all_users ? StatusScope::kAllUsers : StatusScope::kCurrentUser);
  const CheckOutcome check = CheckStatus(report);
  const CheckOutcome* shown = request.check ? &check : nullptr;
  StatusCommandResult result;
  result.output = request.json ? StatusJson(report, shown) : StatusText(report, shown);
  result.passed = check.passed();
  return result;
}
