#include "status_command.h"

#include "status_format.h"
#include "status_report.h"

std::string StatusCommandOutput(bool json) {
  const StatusReport report = ReadStatus();
  return json ? StatusJson(report) : StatusText(report);
}
