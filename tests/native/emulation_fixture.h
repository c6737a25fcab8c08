// Tests of the emulation itself: a fresh machine per test, no handle left.
#pragma once

#include <gtest/gtest.h>

#include "platform/emulation/emulation.h"
#include "support/machine_test.h"

class EmulationTest : public ::testing::Test {
 protected:
  void TearDown() override {
    emu::FailAllocationsFrom(0);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
  // Resets to |machine| for |user| and loads |text|.
  static void Start(const std::string& text, emu::Machine machine = emu::Machine::Windows32,
                    emu::User user = emu::User::Administrator) {
    emu::Reset(machine, user);
    emu::Load(text);
  }
};
