// Hook for test programs only (the library does not contain it).
#pragma once

// Forgets the answer of RunsUnderWow64, so that the next call probes anew:
// each test scenario is a fresh process as far as the probe is concerned.
void ResetWow64ProbeForTesting();
