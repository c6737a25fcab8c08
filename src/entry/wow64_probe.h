// Whether this 32-bit process runs on 64-bit Windows.
#pragma once

// Asks IsWow64Process once per process (looked up at run time, since old
// Windows lacks it) and answers from memory afterwards. False when KERNEL32
// does not export it.
bool RunsUnderWow64();
