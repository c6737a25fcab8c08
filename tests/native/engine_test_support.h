// Shared ground for the engine's tests: a fresh emulated machine and fresh
// process-wide state for each test, and registry dumps to compare.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "entry/wow64_probe_for_testing.h"
#include "platform/emulation/emulation.h"
#include "registry/machine_write_probe_for_testing.h"

namespace engine_test {

// A machine as the library would find it in a newly started process.
inline void StartProcess(emu::Machine machine, emu::User user) {
  emu::Reset(machine, user);
  ResetMachineWriteProbeForTesting();
  ResetWow64ProbeForTesting();
}

// The dump that a registry built from |text| on a fresh machine gives: the
// canonical form of a hand-written expectation. The current registry is
// rebuilt afterwards, but handles, the call log and faults are gone.
inline std::string CanonicalDump(const std::string& text, emu::Machine machine, emu::User user) {
  const std::string actual = emu::Dump();
  emu::Reset(machine, user);
  emu::Load(text);
  std::string expected = emu::Dump();
  emu::Reset(machine, user);
  emu::Load(actual);
  return expected;
}

// |text| (Load format) with the keys below HKLM\SOFTWARE whose lines begin
// with |prefix| moved to where a 32-bit process on |machine| sees them:
// below Wow6432Node on WOW64, where they are on 32-bit Windows.
inline std::string AsSeenBy32Bit(const std::string& text, emu::Machine machine,
                                 const std::string& prefix = "HKLM\\SOFTWARE\\") {
  if (machine != emu::Machine::Wow64) return text;
  const std::string software = "HKLM\\SOFTWARE\\";
  std::string placed;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (line.rfind(prefix, 0) == 0) line.insert(software.size(), "Wow6432Node\\");
    placed += line + "\n";
    start = end + 1;
  }
  return placed;
}

// Number of logged calls of |function| that addressed |path| (compared
// exactly as the log spells it) with |access| (any when 0).
inline std::size_t CountCallsTo(const std::string& function, const std::string& path,
                                win::REGSAM access = 0) {
  std::size_t count = 0;
  for (const emu::Call& call : emu::Calls()) {
    if (call.function == function && call.path == path && (access == 0 || call.access == access)) {
      ++count;
    }
  }
  return count;
}

// Number of logged calls to any registry function ("Reg...").
inline std::size_t CountRegistryCalls() {
  std::size_t count = 0;
  for (const emu::Call& call : emu::Calls()) {
    if (call.function.rfind("Reg", 0) == 0) ++count;
  }
  return count;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { StartMachine(emu::Machine::Windows32, emu::User::Administrator); }
  void TearDown() override { EXPECT_EQ(emu::OpenHandleCount(), 0u) << "a key was left open"; }

  void StartMachine(emu::Machine machine, emu::User user) {
    machine_ = machine;
    user_ = user;
    StartProcess(machine, user);
  }

  // Compares the whole registry with |expected| (Load format; the keys that
  // every fresh machine has may be left out). Call with no key open.
  void ExpectRegistry(const std::string& expected) {
    EXPECT_EQ(emu::Dump(), CanonicalDump(expected, machine_, user_));
  }

  emu::Machine machine_ = emu::Machine::Windows32;
  emu::User user_ = emu::User::Administrator;
};

}  // namespace engine_test
