// `status --check`: whether the report shows every setting switched off, for
// a deployment tool's detection or compliance rule.
//
// A setting counts when its settings key exists: it passes only as a
// REG_DWORD 0. A setting that is absent from its key fails, since the
// product then takes its default, which is on. So do a setting or a key
// that exists but could not be read, a person's hive that could not be
// reached, and not knowing who the people are: none of these can be shown
// switched off. A profile without a hive has nothing to switch.
#pragma once

#include "status_report.h"

struct CheckOutcome {
  unsigned settings_on = 0;           // absent from their key, or not REG_DWORD 0
  unsigned settings_unreadable = 0;   // there, but their value could not be read
  unsigned unreadable_keys = 0;       // over every block of the report
  unsigned unreachable_profiles = 0;  // hives that could not be loaded or read
  bool persons_unknown = false;       // all users asked for, but not who they are

  bool passed() const {
    return settings_on == 0 && settings_unreadable == 0 && unreadable_keys == 0 &&
           unreachable_profiles == 0 && !persons_unknown;
  }
};

// The check over the machine, HKEY_CURRENT_USER and, where the report has
// them, every person's hive.
CheckOutcome CheckStatus(const StatusReport& report);
