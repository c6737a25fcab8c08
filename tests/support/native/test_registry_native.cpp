// Natively each test gets a freshly reset emulated machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/emulation/emulation.h"
#include "support/test_registry.h"

namespace test_registry {
namespace {

int scratch_number = 0;
bool wow64_machine = false;
std::u16string user_scratch;
std::u16string machine_scratch;

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

void SetUp(bool wow64) {
  wow64_machine = wow64;
  emu::Reset(wow64 ? emu::Machine::Wow64 : emu::Machine::Windows32);
  const std::string number = std::to_string(++scratch_number);
  user_scratch = Widen("Software\\SkerrowTest\\" + number);
  machine_scratch = Widen("SOFTWARE\\SkerrowTest\\" + number);
  // Both views of the machine scratch key exist, as under Wine.
  std::string keys = "HKCU\\Software\\SkerrowTest\\" + number + "\n" +
                     "HKLM\\SOFTWARE\\SkerrowTest\\" + number + "\n";
  if (wow64) keys += "HKLM\\SOFTWARE\\Wow6432Node\\SkerrowTest\\" + number + "\n";
  emu::Load(keys);
  // What every Windows has around its registry: the Windows folder.
  emu::SetEnvironment(u"SystemRoot", u"C:\\Windows");
  emu::AddFolder(u"C:\\Windows");
}

std::u16string MakeHiveFile() {
  emu::Load("<C:\\SkerrowTest\\" + std::to_string(scratch_number) +
            ".dat>\\Software\\SkerrowHive\n  v = dword:1\n");
  return Widen("C:\\SkerrowTest\\" + std::to_string(scratch_number) + ".dat");
}

void TearDown() {
  EXPECT_EQ(emu::OpenHandleCount(), 0u) << "registry handles left open";
  EXPECT_EQ(emu::LoadedHives(), std::vector<std::string>{}) << "a hive left loaded";
  EXPECT_EQ(emu::OpenProcessObjects(), 0u) << "a token or a SID text left";
  emu::FailAllocationsFrom(0);
}

bool IsWow64() { return wow64_machine; }
bool IsEmulated() { return true; }
const std::u16string& UserScratch() { return user_scratch; }
const std::u16string& MachineScratch() { return machine_scratch; }

}  // namespace test_registry
