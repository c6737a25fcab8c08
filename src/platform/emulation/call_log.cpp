#include "platform/emulation/call_log.h"

#include <map>
#include <utility>

#include "platform/emulation/emulation.h"
#include "platform/emulation/key_tree.h"

namespace emu {
namespace {

struct CountedFault {
  std::size_t at;  // the call count that fails
  win::LONG error;
};

struct Faults {
  std::size_t calls = 0;                        // counted calls overall
  std::map<std::string, std::size_t> calls_of;  // counted calls per function
  std::vector<CountedFault> overall;
  std::map<std::string, std::vector<CountedFault>> of_function;
  std::vector<std::pair<std::u16string, win::LONG>> paths;  // folded path
  bool dies = false;
  std::size_t dies_after = 0;  // the last call that takes effect, when it dies
};

std::vector<Call>& Log() {
  static std::vector<Call> log;
  return log;
}

Faults& TheFaults() {
  static Faults faults;
  return faults;
}

// Removes and returns the error of the fault due at |count|, if any.
win::LONG TakeDue(std::vector<CountedFault>& faults, std::size_t count) {
  for (auto it = faults.begin(); it != faults.end(); ++it) {
    if (it->at == count) {
      const win::LONG error = it->error;
      faults.erase(it);
      return error;
    }
  }
  return win::ERROR_SUCCESS;
}

}  // namespace

namespace detail {

win::LONG CallRecord::Begin(const std::string& path, win::REGSAM access) {
  path_ = path;
  access_ = access;
  Faults& faults = TheFaults();
  const std::size_t count = ++faults.calls;
  const std::size_t count_of = ++faults.calls_of[function_];
  if (faults.dies && count > faults.dies_after && std::string(function_).rfind("Reg", 0) == 0) {
    return kDeadProcessError;
  }
  win::LONG error = TakeDue(faults.overall, count);
  const win::LONG error_of = TakeDue(faults.of_function[function_], count_of);
  if (error == win::ERROR_SUCCESS) error = error_of;
  if (error == win::ERROR_SUCCESS && !path.empty() && !faults.paths.empty()) {
    const std::u16string folded = Fold(FromUtf8(path));
    for (const auto& entry : faults.paths) {
      if (entry.first == folded) return entry.second;
    }
  }
  return error;
}

win::LONG CallRecord::Finish(win::LONG result) {
  Log().push_back(Call{function_, std::move(path_), access_, result});
  return result;
}

void ResetCallLog() {
  Log().clear();
  TheFaults() = Faults{};
}

}  // namespace detail

const std::vector<Call>& Calls() { return Log(); }

void ClearCalls() {
  detail::AllocationExemption exemption;
  Log().clear();
}

std::size_t CountCalls(const std::string& function) {
  std::size_t count = 0;
  for (const Call& call : Log()) count += call.function == function ? 1 : 0;
  return count;
}

void FailNthCall(std::size_t n, win::LONG error) {
  detail::AllocationExemption exemption;
  Faults& faults = TheFaults();
  faults.overall.push_back(CountedFault{faults.calls + n, error});
}

void FailNthCallOf(const std::string& function, std::size_t n, win::LONG error) {
  detail::AllocationExemption exemption;
  Faults& faults = TheFaults();
  faults.of_function[function].push_back(CountedFault{faults.calls_of[function] + n, error});
}

void FailPath(const std::string& path, win::LONG error) {
  detail::AllocationExemption exemption;
  TheFaults().paths.emplace_back(detail::Fold(detail::FromUtf8(path)), error);
}

void DieAfterCall(std::size_t n) {
  detail::AllocationExemption exemption;
  Faults& faults = TheFaults();
  faults.dies = true;
  faults.dies_after = faults.calls + n;
}

void ClearFaults() {
  detail::AllocationExemption exemption;
  Faults& faults = TheFaults();
  faults.overall.clear();
  faults.of_function.clear();
  faults.paths.clear();
  faults.dies = false;
}

}  // namespace emu
