// Exempts the emulation's own allocations from FailAllocationsFrom, so that
// only the code under test sees allocations fail.
#pragma once

namespace emu::detail {

class AllocationExemption {
 public:
  AllocationExemption();
  ~AllocationExemption();
  AllocationExemption(const AllocationExemption&) = delete;
  AllocationExemption& operator=(const AllocationExemption&) = delete;
};

}  // namespace emu::detail
