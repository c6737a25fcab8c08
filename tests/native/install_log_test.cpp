// What the installer's log is told: one line per change and per failure,
// framed by a first line and a summary, and never a change in what the
// action does.
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "entry/entry_points.h"

namespace {

using engine_test::EngineTest;

constexpr win::MSIHANDLE kInstall = 1;

constexpr char kMachineKey[] = R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\P\InfoCenter
  InfoCenterOn = dword:1
)";

// The first line of an export, as the format has it.
std::string Begin(const char* name, const char* machine_wide, const char* data,
                  const char* writable, const char* views) {
  return std::string("Skerrow: begin export=") + name + " machine-wide=" + machine_wide +
         " from=CustomActionData:\"" + data + "\" hklm-writable=" + writable + " views=" + views;
}

// The summary line: |counts| are switched, restored, left alone, copies made,
// copies removed and failures.
std::string End(const char* name, int result, const std::vector<int>& counts) {
  const char* const names[] = {"switched",    "restored",       "left-alone",
                               "copies-made", "copies-removed", "failures"};
  std::string line =
      std::string("Skerrow: end export=") + name + " result=" + std::to_string(result);
  for (std::size_t i = 0; i < counts.size(); ++i) {
    line += std::string(" ") + names[i] + "=" + std::to_string(counts[i]);
  }
  return line;
}

struct Run {
  bool install;
  const char16_t* data;
};

struct LogCase {
  const char* name;
  std::string registry;
  std::vector<Run> runs;  // the lines are those of the last run
  const char* fail_path;  // registry calls on this key fail with access denied
  std::vector<std::string> lines;
  const char* fail_call = nullptr;  // or the first call of this function fails
};

std::vector<std::string> RunAll(const LogCase& c) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < c.runs.size(); ++i) {
    if (i + 1 == c.runs.size() && c.fail_path != nullptr) {
      emu::FailPath(c.fail_path, win::ERROR_ACCESS_DENIED);
    }
    if (i + 1 == c.runs.size() && c.fail_call != nullptr) {
      emu::FailNthCallOf(c.fail_call, 1, win::ERROR_KEY_DELETED);
    }
    seen = emu::InstallerMessages().size();
    emu::SetProperty(u"CustomActionData", c.runs[i].data);
    if (c.runs[i].install) {
      Install(kInstall);
    } else {
      Uninstall(kInstall);
    }
  }
  const std::vector<std::string> all = emu::InstallerMessages();
  return std::vector<std::string>(all.begin() + static_cast<long>(seen), all.end());
}

class InstallLogTest : public EngineTest {};

TEST_F(InstallLogTest, EachBranchTellsWhatItDid) {
  const std::string ic = "SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\P\\InfoCenter";
  // The user's keys are named by the path the engine builds, as the
  // machine's are.
  const std::string user_product = "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\P\n";
  const std::vector<LogCase> cases = {
      {"switched at machine level",
       kMachineKey,
       {{true, u">1"}},
       nullptr,
       {Begin("Install", "yes", ">1", "yes", "32"),
        "Skerrow: switched key=\"HKEY_LOCAL_MACHINE\\" + ic +
            "\" view=32 value=\"InfoCenterOn\" old=REG_DWORD:1 new=REG_DWORD:0 record=written "
            "copy=no",
        End("Install", 0, {1, 0, 0, 0, 0, 0})}},
      {"a second install leaves the setting alone",
       kMachineKey,
       {{true, u">1"}, {true, u">1"}},
       nullptr,
       {Begin("Install", "yes", ">1", "yes", "32"), End("Install", 0, {0, 0, 1, 0, 0, 0})}},
      {"a copy made for the user",
       std::string(kMachineKey) + user_product,
       {{true, u"x>0"}},
       nullptr,
       {Begin("Install", "no", "x>0", "not-asked", "32"),
        "Skerrow: switched key=\"HKEY_CURRENT_USER\\" + ic +
            "\" view=shared value=\"InfoCenterOn\" old=REG_DWORD:1 new=REG_DWORD:0 record=written "
            "copy=made",
        End("Install", 0, {1, 0, 0, 1, 0, 0})}},
      {"the copy deleted again",
       std::string(kMachineKey) + user_product,
       {{true, u"x>0"}, {false, u"x>0"}},
       nullptr,
       {Begin("Uninstall", "no", "x>0", "not-asked", "32"),
        "Skerrow: removed-copy key=\"HKEY_CURRENT_USER\\" + ic + "\" view=shared",
        End("Uninstall", 0, {0, 0, 0, 0, 1, 0})}},
      {"restored from the record",
       kMachineKey,
       {{true, u">1"}, {false, u">1"}},
       nullptr,
       {Begin("Uninstall", "yes", ">1", "yes", "32"),
        "Skerrow: restored key=\"HKEY_LOCAL_MACHINE\\" + ic +
            "\" view=32 value=\"InfoCenterOn\" new=REG_DWORD:1 record=used",
        End("Uninstall", 0, {0, 1, 0, 0, 0, 0})}},
      {"a setting that did not exist gets the default",
       "HKLM\\" + ic + "\n  Other = sz:[x]\n",
       {{true, u">1"}, {false, u">1"}},
       nullptr,
       {Begin("Uninstall", "yes", ">1", "yes", "32"),
        "Skerrow: restored key=\"HKEY_LOCAL_MACHINE\\" + ic +
            "\" view=32 value=\"InfoCenterOn\" new=REG_DWORD:1 record=used-absent",
        End("Uninstall", 0, {0, 1, 0, 0, 0, 0})}},
      {"the communication center gets its default without a record",
       "HKLM\\SOFTWARE\\CadManagerControl\\CommunicationCenter\n"
       "  EnableCommunicationCenter = dword:0\n",
       {{false, u">1"}},
       nullptr,
       {Begin("Uninstall", "yes", ">1", "yes", "32"),
        "Skerrow: restored key=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\CadManagerControl\\"
        "CommunicationCenter\" view=32 value=\"EnableCommunicationCenter\" new=REG_DWORD:1 "
        "record=none",
        End("Uninstall", 0, {0, 1, 0, 0, 0, 0})}},
      {"old values of every type, and brackets and quotes as they are",
       "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\{P}[1]{{x}}\\InfoCenter\n"
       "  InfoCenterOn = sz:say \"[ProductName]\"\n"
       "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\Q\\InfoCenter\n"
       "  InfoCenterOn = hex:00,01,ff\n",
       {{true, u">1"}},
       nullptr,
       {Begin("Install", "yes", ">1", "yes", "32"),
        "Skerrow: switched key=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\Q"
        "\\InfoCenter\" view=32 value=\"InfoCenterOn\" old=REG_BINARY:00,01,ff "
        "new=REG_DWORD:0 record=written copy=no",
        "Skerrow: switched "
        "key=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\{P}[1]{{x}}"
        "\\InfoCenter\" view=32 value=\"InfoCenterOn\" old=REG_SZ:\"say \"\"[ProductName]\"\"\" "
        "new=REG_DWORD:0 record=written copy=no",
        End("Install", 0, {2, 0, 0, 0, 0, 0})}},
      {"a failure names the call, the key, the value and the error",
       kMachineKey,
       {{true, u">1"}},
       "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\P\\InfoCenter\\SKRW_Backup",
       {Begin("Install", "yes", ">1", "yes", "32"),
        "Skerrow: failed doing=\"switching off\" key=\"HKEY_LOCAL_MACHINE\\" + ic +
            "\" view=32 value=\"InfoCenterOn\" call=RegCreateKeyExW name=\"SKRW_Backup\" "
            "error=ERROR_ACCESS_DENIED (5)",
        End("Install", 1603, {0, 0, 0, 0, 0, 1})}},
      {"a release key that cannot be read",
       kMachineKey,
       {{true, u">1"}},
       "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0",
       {Begin("Install", "yes", ">1", "yes", "32"),
        "Skerrow: failed doing=\"opening the release key\" key=\"HKEY_LOCAL_MACHINE\\"
        "SOFTWARE\\Autodesk\\AutoCAD\\R18.0\" view=32 call=RegOpenKeyExW "
        "name=\"SOFTWARE\\Autodesk\\AutoCAD\\R18.0\" error=ERROR_ACCESS_DENIED (5)",
        End("Install", 1603, {0, 0, 0, 0, 0, 1})}},
      {"product keys that cannot be listed",
       kMachineKey,
       {{true, u">1"}},
       nullptr,
       {Begin("Install", "yes", ">1", "yes", "32"),
        "Skerrow: failed doing=\"listing the product keys\" key=\"HKEY_LOCAL_MACHINE\\"
        "SOFTWARE\\Autodesk\\AutoCAD\\R18.0\" view=32 call=RegEnumKeyExW name=\"\" "
        "error=ERROR_KEY_DELETED (1018)",
        End("Install", 1603, {0, 0, 0, 0, 0, 1})},
       "RegEnumKeyExW"},
      {"a machine that cannot tell whether it may be written",
       kMachineKey,
       {{true, u">1"}},
       nullptr,
       {Begin("Install", "yes", ">1", "unknown", "none"),
        "Skerrow: failed doing=\"asking whether it may write\" key=\"HKEY_LOCAL_MACHINE\\"
        "SOFTWARE\" view=32 call=RegOpenKeyExW name=\"SOFTWARE\" error=ERROR_KEY_DELETED (1018)",
        End("Install", 1603, {0, 0, 0, 0, 0, 1})},
       "RegOpenKeyExW"},
      {"a copy of a machine key switched earlier is still a change",
       "HKLM\\" + ic + "\n  InfoCenterOn = dword:0\nHKLM\\" + ic +
           "\\SKRW_Backup\n  InfoCenterOn = dword:1\n" + user_product,
       {{true, u"x>0"}},
       nullptr,
       {Begin("Install", "no", "x>0", "not-asked", "32"),
        "Skerrow: switched key=\"HKEY_CURRENT_USER\\" + ic +
            "\" view=shared value=\"InfoCenterOn\" old=REG_DWORD:0 new=REG_DWORD:0 record=kept "
            "copy=made",
        End("Install", 0, {1, 0, 0, 1, 0, 0})}},
      {"a copy that could not be switched is named with the failure",
       std::string(kMachineKey) + user_product,
       {{true, u"x>0"}},
       "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\P\\InfoCenter\\SKRW_Backup",
       {Begin("Install", "no", "x>0", "not-asked", "32"),
        "Skerrow: failed doing=\"switching off\" key=\"HKEY_CURRENT_USER\\" + ic +
            "\" view=shared value=\"InfoCenterOn\" call=RegCreateKeyExW name=\"SKRW_Backup\" "
            "error=ERROR_ACCESS_DENIED (5) copy=made",
        End("Install", 1603, {0, 0, 0, 1, 0, 1})}},
      {"a value put back whose record could not be removed",
       kMachineKey,
       {{true, u">1"}, {false, u">1"}},
       nullptr,
       {Begin("Uninstall", "yes", ">1", "yes", "32"),
        "Skerrow: restored key=\"HKEY_LOCAL_MACHINE\\" + ic +
            "\" view=32 value=\"InfoCenterOn\" new=REG_DWORD:1 record=used",
        "Skerrow: failed doing=\"restoring\" key=\"HKEY_LOCAL_MACHINE\\" + ic +
            "\" view=32 value=\"InfoCenterOn\" call=RegDeleteKeyW name=\"SKRW_Backup\" "
            "error=ERROR_KEY_DELETED (1018)",
        End("Uninstall", 1603, {0, 1, 0, 0, 0, 1})},
       "RegDeleteKeyW"},
      {"empty data",
       kMachineKey,
       {{true, u""}},
       nullptr,
       {Begin("Install", "no", "", "not-asked", "none"), End("Install", 13, {0, 0, 0, 0, 0, 0})}},
  };
  for (const LogCase& c : cases) {
    SCOPED_TRACE(c.name);
    StartMachine(emu::Machine::Windows32, emu::User::Administrator);
    emu::Load(c.registry);
    EXPECT_EQ(RunAll(c), c.lines);
    EXPECT_EQ(emu::OpenInstallerRecords(), 0u);
    emu::ClearFaults();
  }
}

// What fails after a failure, a handle that will not close, say, follows
// from it: the line names the failure itself.
TEST_F(InstallLogTest, TheFailureIsNamedNotWhatFailedAfterIt) {
  const char backup[] = "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\P\\InfoCenter\\SKRW_Backup";
  const std::string registry =
      std::string(kMachineKey) + "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\P\n";
  std::size_t failed_at = 0;
  for (const bool close_fails : {false, true}) {
    StartMachine(emu::Machine::Windows32, emu::User::Administrator);
    emu::Load(registry);
    emu::SetProperty(u"CustomActionData", u"x>0");
    emu::ClearCalls();
    emu::FailPath(backup, 1021);  // ERROR_CHILD_MUST_BE_VOLATILE
    if (close_fails) emu::FailNthCall(failed_at + 1, win::ERROR_INVALID_HANDLE);
    EXPECT_EQ(Install(kInstall), win::ERROR_INSTALL_FAILURE);
    for (std::size_t i = 0; i < emu::Calls().size() && failed_at == 0; ++i) {
      if (emu::Calls()[i].result == 1021) failed_at = i + 1;
    }
    ASSERT_NE(failed_at, 0u);
    EXPECT_EQ(emu::Calls()[failed_at].function, "RegCloseKey");
    EXPECT_EQ(emu::Calls()[failed_at].result, close_fails ? win::ERROR_INVALID_HANDLE : 0);
    const std::vector<std::string> lines = emu::InstallerMessages();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find(" call=RegCreateKeyExW name=\"SKRW_Backup\" "
                            "error=ERROR_CHILD_MUST_BE_VOLATILE (1021)"),
              std::string::npos)
        << lines[1];
    emu::ClearFaults();
  }
}

// The 64-bit view is named, and so is every view the run will visit.
TEST_F(InstallLogTest, SixtyFourBitViewIsNamed) {
  StartMachine(emu::Machine::Wow64, emu::User::Administrator);
  emu::Load(R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\P\InfoCenter
  InfoCenterOn = dword:1
)");
  emu::SetProperty(u"CustomActionData", u">1");
  EXPECT_EQ(Install(kInstall), 0u);
  const std::vector<std::string> lines = emu::InstallerMessages();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], Begin("Install", "yes", ">1", "yes", "32,64"));
  EXPECT_EQ(lines[1],
            "Skerrow: switched key=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\P\\"
            "InfoCenter\" view=64 value=\"InfoCenterOn\" old=REG_DWORD:1 new=REG_DWORD:0 "
            "record=written copy=no");
}

// An installer that takes no messages, or whose calls fail, gets the same
// registry and the same results as one that logs.
TEST_F(InstallLogTest, LogThatFailsChangesNothing) {
  const std::string before =
      std::string(kMachineKey) + "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\P\n";
  const auto run = [&](const char* fault) {
    StartMachine(emu::Machine::Windows32, emu::User::Administrator);
    emu::Load(before);
    if (fault == std::string("refuse")) {
      emu::RefuseInstallerMessages(true);
    } else if (fault[0] != 0) {
      emu::FailNthCallOf(fault, 2, win::ERROR_INVALID_HANDLE);
    }
    emu::SetProperty(u"CustomActionData", u"x>0");
    std::string results = std::to_string(Install(kInstall));
    const std::string installed = emu::Dump();
    emu::SetProperty(u"CustomActionData", u"x>0");
    results += " " + std::to_string(Uninstall(kInstall));
    return results + "\n" + installed + emu::Dump();
  };
  const std::string logged = run("");
  for (const char* fault : {"refuse", "MsiCreateRecord", "MsiRecordSetStringW", "MsiProcessMessage",
                            "MsiCloseHandle"}) {
    SCOPED_TRACE(fault);
    EXPECT_EQ(run(fault), logged);
  }
}

// Running out of memory is a failure the log names, and lines are built
// without memory of their own.
TEST_F(InstallLogTest, RunningOutOfMemoryIsNamed) {
  emu::Load(kMachineKey);
  emu::SetProperty(u"CustomActionData", u">1");
  emu::FailAllocationsFrom(1);
  EXPECT_EQ(Install(kInstall), win::ERROR_INSTALL_FAILURE);
  emu::FailAllocationsFrom(0);
  const std::vector<std::string> lines = emu::InstallerMessages();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "Skerrow: failed doing=\"Install\" call=operator new name=\"\" "
            "error=ERROR_NOT_ENOUGH_MEMORY (8)");
  EXPECT_EQ(lines[1], End("Install", 1603, {0, 0, 0, 0, 0, 1}));
}

}  // namespace

namespace {

// Lines travel many to a message, and a message ends only between lines.
TEST_F(InstallLogTest, ManyLinesGoInFewMessages) {
  std::string registry;
  for (int i = 0; i < 400; ++i) {
    registry += "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\P" + std::to_string(i) +
                "\\InfoCenter\n  InfoCenterOn = dword:1\n";
  }
  emu::Load(registry);
  emu::SetProperty(u"CustomActionData", u">1");
  EXPECT_EQ(Install(kInstall), 0u);
  const std::vector<std::string> lines = emu::InstallerMessages();
  ASSERT_EQ(lines.size(), 402u);
  for (const std::string& line : lines) EXPECT_EQ(line.rfind("Skerrow: ", 0), 0u) << line;
  EXPECT_EQ(lines.back().rfind("Skerrow: end export=Install result=0 switched=400 ", 0), 0u);
  EXPECT_GT(emu::InstallerMessageCount(), 1u);
  EXPECT_LT(emu::InstallerMessageCount(), 10u);
}

}  // namespace
