// skerrow-run: calls Install and/or Uninstall of a Skerrow.dll inside a real
// Windows Installer session, the way a package's custom action would.
//
//   skerrow-run install|uninstall [install|uninstall ...] [--data TEXT] [--dll PATH]
//   skerrow-run status [--json] [--all-users] [--check]
//
// The session comes from a throw-away package database holding only the
// Property table; "CustomActionData" is set to TEXT (left unset without
// --data). All actions run in this one process, one after the other, with
// the same data. The DLL defaults to Skerrow.dll beside this program.
//
// The lines each action writes into the installer's log ("Skerrow: ...")
// are shown on stdout as they come, before the action's result line.
//
// status reads, without changing anything, what Skerrow did to this machine:
// one row per settings key of the releases the DLL handles, and a summary
// line; --json writes the same as one JSON document. --all-users adds a
// block for every other person with a profile, whose hive is read where it
// is loaded and else loaded privately for reading. --check ends the report
// with its verdict: whether every setting found is switched off. It needs no
// DLL: the engine's release lists and record names are built into this
// program.
//
// Exit status: for status, 0 when the report was made and 1 when it could
// not be (out of memory, stdout not writable); with --check, 0 only when the
// report was made and passed the check, else 1. For actions, the first
// non-zero result of an export, else 0; 3 when the DLL, an export or the
// session is not available; 4 when an export crashed. (The shell sees only
// the low 8 bits: 1603 shows as 67.) 2 for bad arguments.
#include <windows.h>
// Windows first: the installer headers build on its types.
#include <msi.h>
#include <msiquery.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "status_command.h"

namespace {

constexpr int kExitReportFailed = 1;
constexpr int kExitCheckFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCannotRun = 3;
constexpr int kExitCrashed = 4;

using CustomActionFn = UINT(WINAPI*)(MSIHANDLE);

struct Action {
  const char* name;  // as given on the command line
  const char* export_name;
};

constexpr Action kInstall = {"install", "_Install@4"};
constexpr Action kUninstall = {"uninstall", "_Uninstall@4"};

struct Options {
  std::vector<const Action*> actions;
  bool has_data = false;
  std::wstring data;
  std::wstring dll;
};

void PrintUsage() {
  std::fprintf(stderr,
               "usage: skerrow-run install|uninstall [install|uninstall ...] [--data TEXT] "
               "[--dll PATH]\n"
               "       skerrow-run status [--json] [--all-users] [--check]\n"
               "  Runs the given custom actions of Skerrow.dll, in order, in one installer\n"
               "  session whose \"CustomActionData\" is TEXT (unset without --data).\n"
               "  PATH defaults to Skerrow.dll beside skerrow-run.exe.\n"
               "  status shows, changing nothing, each settings key of the releases\n"
               "  Skerrow handles, its setting and what removal would put back;\n"
               "  --all-users also in every other person's profile, --check tells\n"
               "  whether every setting found is switched off.\n"
               "exit status: status 0 when the report was made, 1 when not; with\n"
               "  --check 0 only when it was made and every setting found is off; actions\n"
               "  the first non-zero result of an export, else 0, 3 DLL/export/session\n"
               "  unavailable, 4 export crashed; 2 bad arguments\n");
}

// False on anything it does not understand, and on an option given twice.
bool ParseArguments(int argc, wchar_t** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"install") {
      options->actions.push_back(&kInstall);
    } else if (arg == L"uninstall") {
      options->actions.push_back(&kUninstall);
    } else if (arg == L"--data" && i + 1 < argc && !options->has_data) {
      options->data = argv[++i];
      options->has_data = true;
    } else if (arg == L"--dll" && i + 1 < argc && options->dll.empty()) {
      options->dll = argv[++i];
      if (options->dll.empty()) return false;
    } else {
      return false;
    }
  }
  return !options->actions.empty();
}

std::wstring DllBesideProgram() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return L"Skerrow.dll";
    if (length < path.size()) {
      std::wstring dir(path.data(), length);
      const std::size_t slash = dir.find_last_of(L"\\/");
      dir.resize(slash == std::wstring::npos ? 0 : slash + 1);
      return dir + L"Skerrow.dll";
    }
    path.resize(path.size() * 2);
  }
}

const char* Meaning(UINT result) {
  switch (result) {
    case ERROR_SUCCESS:
      return "ERROR_SUCCESS: done";
    case ERROR_INVALID_DATA:
      return "ERROR_INVALID_DATA: CustomActionData is empty or not set";
    case ERROR_INSTALL_FAILURE:
      return "ERROR_INSTALL_FAILURE: the action failed";
    default:
      return "unexpected result";
  }
}

// Closes an installer handle when it goes out of scope.
class MsiHandle {
 public:
  MsiHandle() = default;
  ~MsiHandle() {
    if (handle_ != 0) MsiCloseHandle(handle_);
  }
  MsiHandle(const MsiHandle&) = delete;
  MsiHandle& operator=(const MsiHandle&) = delete;

  MSIHANDLE get() const { return handle_; }
  MSIHANDLE* receive() { return &handle_; }

 private:
  MSIHANDLE handle_ = 0;
};

bool Execute(MSIHANDLE database, const wchar_t* sql) {
  MsiHandle view;
  return MsiDatabaseOpenViewW(database, sql, view.receive()) == ERROR_SUCCESS &&
         MsiViewExecute(view.get(), 0) == ERROR_SUCCESS;
}

// Writes the smallest package the installer opens: a Property table with the
// properties every product must have. Returns false and reports on failure.
bool CreatePackage(const std::wstring& path) {
  MsiHandle database;
  UINT status = MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_CREATE, database.receive());
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "skerrow-run: cannot create a package database (error %u)\n", status);
    return false;
  }
  const wchar_t* const statements[] = {
      L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL "
      L"PRIMARY KEY `Property`)",
      L"INSERT INTO `Property` (`Property`, `Value`) VALUES "
      L"('ProductCode', '{6E1F3A52-4C8B-4D7E-9A61-2B0C5D7E8F90}')",
      L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductName', 'skerrow-run')",
      L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductVersion', '1.0.0')",
      L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductLanguage', '1033')",
      L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('Manufacturer', 'Skerrow')",
  };
  for (const wchar_t* sql : statements) {
    if (!Execute(database.get(), sql)) {
      std::fprintf(stderr, "skerrow-run: cannot fill the package database\n");
      return false;
    }
  }
  // The installer refuses a package without summary information: it needs the
  // platform and language, the package code and the installer version.
  MsiHandle summary;
  status = MsiGetSummaryInformationW(database.get(), nullptr, 8, summary.receive());
  if (status == ERROR_SUCCESS) {
    const MSIHANDLE si = summary.get();
    const bool written =
        MsiSummaryInfoSetPropertyW(si, PIDSI_TEMPLATE, VT_LPSTR, 0, nullptr, L"Intel;1033") ==
            ERROR_SUCCESS &&
        MsiSummaryInfoSetPropertyW(si, PIDSI_REVNUMBER, VT_LPSTR, 0, nullptr,
                                   L"{0D4C7B21-93E5-4F1A-8B6C-5E2D9A3F7C14}") == ERROR_SUCCESS &&
        MsiSummaryInfoSetPropertyW(si, PIDSI_PAGECOUNT, VT_I4, 200, nullptr, nullptr) ==
            ERROR_SUCCESS &&
        MsiSummaryInfoSetPropertyW(si, PIDSI_WORDCOUNT, VT_I4, 2, nullptr, nullptr) ==
            ERROR_SUCCESS &&
        MsiSummaryInfoPersist(si) == ERROR_SUCCESS;
    if (!written) status = ERROR_FUNCTION_FAILED;
  }
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "skerrow-run: cannot write the package summary (error %u)\n", status);
    return false;
  }
  status = MsiDatabaseCommit(database.get());
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "skerrow-run: cannot write the package database (error %u)\n", status);
    return false;
  }
  return true;
}

std::wstring TemporaryPackagePath() {
  wchar_t dir[MAX_PATH + 1];
  wchar_t file[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, dir);
  if (length == 0 || length > MAX_PATH) return L"";
  if (GetTempFileNameW(dir, L"skr", 0, file) == 0) return L"";
  return file;
}

// Shows each line the DLL writes into the installer's log, as it comes.
// Returning 0 leaves the message to the installer as well.
int WINAPI ShowLogLine(void* /*context*/, UINT message_type, LPCWSTR message) {
  if ((message_type & 0xFF000000u) == INSTALLMESSAGE_INFO && message != nullptr) {
    std::printf("%ls\n", message);
    std::fflush(stdout);
  }
  return 0;
}

// An exception that reaches the top would otherwise end the process with an
// exit status that looks like a result; report it distinctly instead.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
  std::fprintf(stderr, "skerrow-run: the export crashed (exception 0x%08lX)\n",
               static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
  std::fflush(stderr);
  ExitProcess(kExitCrashed);
}

// Runs the actions in one session; returns the exit status.
int RunActions(const Options& options, MSIHANDLE install) {
  if (options.has_data) {
    const UINT status = MsiSetPropertyW(install, L"CustomActionData", options.data.c_str());
    if (status != ERROR_SUCCESS) {
      std::fprintf(stderr, "skerrow-run: cannot set CustomActionData (error %u)\n", status);
      return kExitCannotRun;
    }
  }

  const std::wstring dll = options.dll.empty() ? DllBesideProgram() : options.dll;
  HMODULE module = LoadLibraryW(dll.c_str());
  if (module == nullptr) {
    std::fprintf(stderr, "skerrow-run: cannot load %ls (error %lu)\n", dll.c_str(),
                 static_cast<unsigned long>(GetLastError()));
    return kExitCannotRun;
  }

  // Look every export up before calling any, so that a missing one leaves
  // the registry untouched.
  std::vector<CustomActionFn> functions;
  for (const Action* action : options.actions) {
    const FARPROC address = GetProcAddress(module, action->export_name);
    if (address == nullptr) {
      std::fprintf(stderr, "skerrow-run: %ls has no export %s\n", dll.c_str(), action->export_name);
      FreeLibrary(module);
      return kExitCannotRun;
    }
    functions.push_back(reinterpret_cast<CustomActionFn>(reinterpret_cast<void*>(address)));
  }

  SetUnhandledExceptionFilter(ReportCrash);
  int exit_status = 0;
  for (std::size_t i = 0; i < functions.size(); ++i) {
    const UINT result = functions[i](install);
    std::printf("%s: %u (%s)\n", options.actions[i]->name, result, Meaning(result));
    std::fflush(stdout);
    if (exit_status == 0 && result != ERROR_SUCCESS) exit_status = static_cast<int>(result);
  }
  FreeLibrary(module);
  return exit_status;
}

// "status" with nothing but its options after it, each at most once, in
// any order.
bool ParseStatusArguments(int argc, wchar_t** argv, StatusRequest* request) {
  if (argc < 2 || std::wstring(argv[1]) != L"status") return false;
  for (int i = 2; i < argc; ++i) {
    const std::wstring arg = argv[i];
    bool* option = arg == L"--json"        ? &request->json
                   : arg == L"--all-users" ? &request->all_users
                   : arg == L"--check"     ? &request->check
                                           : nullptr;
    if (option == nullptr || *option) return false;
    *option = true;
  }
  return true;
}

int RunStatus(const StatusRequest& request) {
  try {
    const StatusCommandResult result = RunStatusCommand(request);
    std::fwrite(result.output.data(), 1, result.output.size(), stdout);
    if (std::fflush(stdout) != 0) return kExitReportFailed;
    return request.check && !result.passed ? kExitCheckFailed : 0;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "skerrow-run: out of memory making the report\n");
    return kExitReportFailed;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wstring(argv[1]) == L"status") {
    StatusRequest request;
    if (!ParseStatusArguments(argc, argv, &request)) {
      PrintUsage();
      return kExitUsage;
    }
    return RunStatus(request);
  }
  Options options;
  if (!ParseArguments(argc, argv, &options)) {
    PrintUsage();
    return kExitUsage;
  }

  const std::wstring package = TemporaryPackagePath();
  if (package.empty()) {
    std::fprintf(stderr, "skerrow-run: no temporary file for the package\n");
    return kExitCannotRun;
  }
  int exit_status = kExitCannotRun;
  if (CreatePackage(package)) {
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    MsiSetExternalUIW(ShowLogLine, INSTALLLOGMODE_INFO, nullptr);
    MsiHandle install;
    const UINT status = MsiOpenPackageW(package.c_str(), install.receive());
    if (status == ERROR_SUCCESS) {
      exit_status = RunActions(options, install.get());
    } else {
      std::fprintf(stderr, "skerrow-run: cannot open an installer session (error %u)\n", status);
    }
  }
  DeleteFileW(package.c_str());
  return exit_status;
}
