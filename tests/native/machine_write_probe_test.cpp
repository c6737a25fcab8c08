// CanWriteMachineSoftware: one probe per process, remembered whatever comes.
#include <gtest/gtest.h>

#include <new>

#include "native/emulated_registry_fixture.h"
#include "platform/emulation/emulation.h"
#include "registry/key_tree.h"
#include "registry/machine_write_probe_for_testing.h"

namespace {

using MachineWriteProbeTest = EmulatedRegistryTest;

TEST_F(MachineWriteProbeTest, ProbesOnceWithFullAccessInTheDefaultView) {
  for (emu::Machine machine : {emu::Machine::Windows32, emu::Machine::Wow64}) {
    emu::Reset(machine);
    ResetMachineWriteProbeForTesting();
    EXPECT_TRUE(CanWriteMachineSoftware());
    EXPECT_TRUE(CanWriteMachineSoftware());
    ASSERT_EQ(emu::CountCalls("RegOpenKeyExW"), 1u);
    const emu::Call& probe = emu::Calls().front();
    EXPECT_EQ(probe.function, "RegOpenKeyExW");
    EXPECT_EQ(probe.path.rfind("HKLM\\SOFTWARE", 0), 0u) << probe.path;
    EXPECT_EQ(probe.access, win::KEY_ALL_ACCESS);
    EXPECT_EQ(emu::CountCalls("RegCloseKey"), 1u);
  }
}

TEST_F(MachineWriteProbeTest, StandardUserCannotWrite) {
  emu::Reset(emu::Machine::Windows32, emu::User::Standard);
  EXPECT_FALSE(CanWriteMachineSoftware());
  EXPECT_FALSE(CanWriteMachineSoftware());
  EXPECT_EQ(emu::CountCalls("RegOpenKeyExW"), 1u);
}

TEST_F(MachineWriteProbeTest, AnswerHoldsForTheLifeOfTheProcess) {
  EXPECT_TRUE(CanWriteMachineSoftware());
  emu::Reset(emu::Machine::Windows32, emu::User::Standard);
  EXPECT_TRUE(CanWriteMachineSoftware());
  EXPECT_TRUE(emu::Calls().empty());

  // A failed probe is remembered just the same.
  ResetMachineWriteProbeForTesting();
  emu::Reset();
  emu::FailNthCallOf("RegOpenKeyExW", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(CanWriteMachineSoftware());
  emu::ClearFaults();
  EXPECT_FALSE(CanWriteMachineSoftware());
  EXPECT_EQ(emu::CountCalls("RegOpenKeyExW"), 1u);
}

// Only a refusal is an answer. Any other failure says nothing about the
// rights of this process: it is not kept, and the next call asks again.
TEST_F(MachineWriteProbeTest, FailureOtherThanRefusalIsUnknownAndNotKept) {
  emu::FailNthCallOf("RegOpenKeyExW", 1, win::ERROR_KEY_DELETED);
  EXPECT_EQ(ProbeMachineSoftware(), MachineSoftware::kUnknown);
  EXPECT_EQ(ProbeMachineSoftware(), MachineSoftware::kWritable);
  EXPECT_EQ(ProbeMachineSoftware(), MachineSoftware::kWritable);
  EXPECT_EQ(emu::CountCalls("RegOpenKeyExW"), 2u);
}

TEST_F(MachineWriteProbeTest, OutOfMemoryLetsTheNextCallProbeAgain) {
  bool thrown = false;
  emu::FailAllocationsFrom(1);
  try {
    CanWriteMachineSoftware();
  } catch (const std::bad_alloc&) {
    thrown = true;
  }
  emu::FailAllocationsFrom(0);
  EXPECT_TRUE(thrown);
  EXPECT_EQ(emu::CountCalls("RegOpenKeyExW"), 0u);
  EXPECT_TRUE(CanWriteMachineSoftware());
  EXPECT_EQ(emu::CountCalls("RegOpenKeyExW"), 1u);
}

}  // namespace
