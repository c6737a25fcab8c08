// An all-users run: after the machine and the installing account's own keys,
// the user level of every other person who has a profile on this machine.
#pragma once

#include "settings/action_call.h"

// What the persons' hives came to, for the last line of the log.
struct PersonsTally {
  unsigned reached = 0;      // hives worked on
  unsigned unreachable = 0;  // hives that could not be loaded or read
};

// The passes of one run over the releases, with |call| as it stands.
using RunPasses = void (*)(ActionCall& call);

// Runs |passes| once more for each person in ProfileList whose hive can be
// reached, except the installing account, whose hive is HKEY_CURRENT_USER
// and was done: with the machine level left out and the user level in that
// person's hive, where the person has settings keys (Install makes no
// copies there). A hive that cannot be reached is named in the log and
// skipped; that sets call.failed unless another process holds it or the
// account may not load hives, as does anything that fails inside a hive
// that was reached, or not knowing who the people or the installing account
// are.
// |tally| is counted up as each hive is met, so it holds what was done also
// when running out of memory ends the run half-way.
void RunForEveryPerson(ActionCall& call, RunPasses passes, PersonsTally& tally);
