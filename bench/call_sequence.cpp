// The registry calls that one setting costs, from the emulation's call log:
// Install and Uninstall, machine-wide on 64-bit Windows, over one AutoCAD
// R18.0 product key whose InfoCenter settings key holds InfoCenterOn = 1
// (and, with --user, the user's own copy of it too). Prints the calls that
// address the product key or the release key, in order.
#include <cstdio>
#include <cstring>
#include <string>

#include "entry/entry_points.h"
#include "entry/wow64_probe_for_testing.h"
#include "platform/emulation/emulation.h"
#include "registry/machine_write_probe_for_testing.h"

namespace {

constexpr char kRelease[] = "SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\R18.0";

std::string Access(win::REGSAM access) {
  if (access == 0) return "";
  char text[16];
  std::snprintf(text, sizeof text, " 0x%x", static_cast<unsigned>(access));
  return text;
}

int Print(const char* action) {
  int counted = 0;
  for (const emu::Call& call : emu::Calls()) {
    if (call.path.find("R18.0") == std::string::npos) continue;
    ++counted;
    std::printf("  %-18s %-70s%s -> %ld\n", call.function.c_str(), call.path.c_str(),
                Access(call.access).c_str(), static_cast<long>(call.result));
  }
  std::printf("%s: %d calls\n\n", action, counted);
  return counted;
}

}  // namespace

int main(int argc, char** argv) {
  const bool user = argc > 1 && std::strcmp(argv[1], "--user") == 0;
  emu::Reset(emu::Machine::Wow64, emu::User::Administrator);
  std::string text = std::string("HKLM\\") + kRelease + "\\ACAD-8001:409\\InfoCenter\n" +
                     "  InfoCenterOn = dword:1\n";
  if (user) {
    text +=
        "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\ACAD-8001:409\\InfoCenter\n"
        "  InfoCenterOn = dword:1\n";
  }
  emu::Load(text);
  emu::SetProperty(u"CustomActionData", u">1");
  ResetMachineWriteProbeForTesting();
  ResetWow64ProbeForTesting();
  emu::ClearCalls();
  Install(1);
  std::printf("Install, switching one setting with its record%s:\n",
              user ? " (and the user's)" : "");
  Print("Install");
  ResetMachineWriteProbeForTesting();
  ResetWow64ProbeForTesting();
  emu::ClearCalls();
  Uninstall(1);
  std::printf("Uninstall, restoring it%s:\n", user ? " (and the user's)" : "");
  Print("Uninstall");
  return 0;
}
