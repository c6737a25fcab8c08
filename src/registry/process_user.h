// The account the process runs as.
#pragma once

#include "registry/lookup.h"
#include "registry/wide_str.h"

// The SID of the process's account in text form ("S-1-5-18" for the system
// account): whose hive HKEY_CURRENT_USER is. kFailed when the token could not
// tell, with the failing call noted for the log.
Lookup ReadProcessUserSid(WideStr* sid);
