#include "registry/machine_write_probe_for_testing.h"

#include "registry/machine_write_probe.h"

void ResetMachineWriteProbeForTesting() { machine_write_probe::state = {false, false}; }
