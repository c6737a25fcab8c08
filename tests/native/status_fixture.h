// Ground for the tests of skerrow-run's status report against the emulated
// registry: a 64-bit machine, the actions run as a package would run them,
// and a report that is checked to have changed nothing.
#pragma once

#include <string>

#include "engine_test_support.h"
#include "entry/entry_points.h"
#include "status_report.h"

namespace status_test {

class StatusTest : public engine_test::EngineTest {
 protected:
  static constexpr win::MSIHANDLE kInstall = 1;

  void SetUp() override { StartMachine(emu::Machine::Wow64, emu::User::Administrator); }

  void Run(bool installing, const std::u16string& data) {
    emu::SetProperty(u"CustomActionData", data);
    EXPECT_EQ(installing ? Install(kInstall) : Uninstall(kInstall), 0u);
  }

  // The report, checked to have changed nothing, to have asked for nothing
  // but reading, and to have left no key, hive or token open.
  StatusReport ReadUnchanged(StatusScope scope = StatusScope::kCurrentUser) {
    const std::string before = emu::Dump();
    emu::ClearCalls();
    StatusReport report = ReadStatus(scope);
    EXPECT_EQ(emu::Dump(), before);
    for (const emu::Call& call : emu::Calls()) {
      EXPECT_TRUE(call.function.rfind("RegSet", 0) != 0 &&
                  call.function.rfind("RegCreate", 0) != 0 &&
                  call.function.rfind("RegDelete", 0) != 0)
          << call.function << " " << call.path;
      if (call.function == "RegOpenKeyExW") {
        EXPECT_EQ(call.access & ~win::KEY_WOW64_64KEY, win::KEY_READ)
            << call.function << " " << call.path;
      }
    }
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    EXPECT_EQ(emu::OpenProcessObjects(), 0u);
    EXPECT_EQ(emu::LoadedHives(), std::vector<std::string>{});
    EXPECT_EQ(emu::EnabledPrivileges(), std::vector<std::string>{});
    return report;
  }

  static const StatusRow* Find(const std::vector<StatusRow>& rows, ReportLevel level,
                               ReportView view, const std::u16string& path) {
    for (const StatusRow& row : rows) {
      if (row.level == level && row.view == view && row.settings_path == path) return &row;
    }
    return nullptr;
  }
  static const StatusRow* Find(const StatusReport& report, ReportLevel level, ReportView view,
                               const std::u16string& path) {
    return Find(report.rows, level, view, path);
  }
};

}  // namespace status_test
