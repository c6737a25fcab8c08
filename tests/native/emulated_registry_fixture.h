// Native-only registry layer tests: a freshly reset emulation per test, with
// a check that the test left no handle open.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "platform/emulation/emulation.h"
#include "registry/machine_write_probe_for_testing.h"

class EmulatedRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    ResetMachineWriteProbeForTesting();
  }
  void TearDown() override {
    emu::FailAllocationsFrom(0);
    emu::ClearFaults();
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }

  // Logged calls of |function| that addressed |path|.
  static std::size_t CallsTo(const std::string& function, const std::string& path) {
    std::size_t count = 0;
    for (const emu::Call& call : emu::Calls()) {
      if (call.function == function && call.path == path) ++count;
    }
    return count;
  }
  // The access mask of the first logged call of |function| on |path|; 0 if none.
  static win::REGSAM AccessOf(const std::string& function, const std::string& path) {
    for (const emu::Call& call : emu::Calls()) {
      if (call.function == function && call.path == path) return call.access;
    }
    return 0;
  }
};
