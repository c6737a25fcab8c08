// One emulated call from entry to result: logs it and applies injected faults.
#pragma once

#include <string>

#include "platform/emulation/allocation_faults.h"
#include "platform/win_api.h"

namespace emu::detail {

class CallRecord {
 public:
  explicit CallRecord(const char* function) : function_(function) {}
  CallRecord(const CallRecord&) = delete;
  CallRecord& operator=(const CallRecord&) = delete;

  // Counts the call, with the physical path it addresses ("" for none), and
  // returns the injected error, or ERROR_SUCCESS to go on. Once per call.
  win::LONG Begin(const std::string& path, win::REGSAM access);
  // Logs the call with its result and hands the result back.
  win::LONG Finish(win::LONG result);

 private:
  AllocationExemption exemption_;
  const char* function_;
  std::string path_;
  win::REGSAM access_ = 0;
};

// Forgets the log and the faults.
void ResetCallLog();

}  // namespace emu::detail
