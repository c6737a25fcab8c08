// A registry dump taken apart, and what two of them differ in: the ground
// of the tests that compare a faulted run with a clean one.
#pragma once

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/emulation/emulation.h"
#include "platform/win_api.h"

namespace registry_diff {

// Key path -> value name -> "type:data", from a dump.
using Registry = std::map<std::string, std::map<std::string, std::string>>;

inline Registry Parse(const std::string& dump) {
  Registry registry;
  std::istringstream lines(dump);
  std::string line;
  std::string key;
  while (std::getline(lines, line)) {
    if (line.rfind("  ", 0) != 0) {
      key = line;
      registry[key];
      continue;
    }
    const std::size_t equals = line.find(" = ");
    registry[key][line.substr(2, equals - 2)] = line.substr(equals + 3);
  }
  return registry;
}

inline const std::map<std::string, std::string>* Values(const Registry& registry,
                                                        const std::string& key) {
  const auto found = registry.find(key);
  return found == registry.end() ? nullptr : &found->second;
}

inline std::string ValueOf(const Registry& registry, const std::string& key,
                           const std::string& name) {
  const auto* values = Values(registry, key);
  if (values == nullptr) return "<no key>";
  const auto found = values->find(name);
  return found == values->end() ? "<absent>" : found->second;
}

// What |after| holds that is neither as |before| had it nor as |expected|
// has it: a value lost or changed, or a key that should not be there.
inline std::vector<std::string> Losses(const Registry& before, const Registry& expected,
                                       const Registry& after) {
  std::vector<std::string> losses;
  std::set<std::string> keys;
  for (const Registry* registry : {&before, &expected, &after}) {
    for (const auto& entry : *registry) keys.insert(entry.first);
  }
  for (const std::string& key : keys) {
    const bool in_before = Values(before, key) != nullptr;
    const bool in_expected = Values(expected, key) != nullptr;
    const bool in_after = Values(after, key) != nullptr;
    if (in_after != in_before && in_after != in_expected) {
      losses.push_back((in_after ? "extra key " : "lost key ") + key);
      continue;
    }
    std::set<std::string> names;
    for (const Registry* registry : {&before, &expected, &after}) {
      if (const auto* values = Values(*registry, key)) {
        for (const auto& value : *values) names.insert(value.first);
      }
    }
    for (const std::string& name : names) {
      const std::string now = ValueOf(after, key, name);
      if (now != ValueOf(before, key, name) && now != ValueOf(expected, key, name)) {
        losses.push_back(key + " " + name + " = " + now + " (was " + ValueOf(before, key, name) +
                         ", expected " + ValueOf(expected, key, name) + ")");
      }
    }
  }
  return losses;
}

// Names of the library's own left in |registry|.
inline std::vector<std::string> OwnLeftovers(const Registry& registry) {
  std::vector<std::string> left;
  for (const auto& entry : registry) {
    if (entry.first.find("SKRW_") != std::string::npos) left.push_back(entry.first);
    for (const auto& value : entry.second) {
      if (value.first.rfind("SKRW_", 0) == 0) left.push_back(entry.first + " " + value.first);
    }
  }
  return left;
}

// The error a registry call really returns when it fails.
inline win::LONG ErrorFor(const std::string& function) {
  if (function == "RegOpenKeyExW") return win::ERROR_FILE_NOT_FOUND;
  if (function == "RegCreateKeyExW" || function == "RegSetValueExW" ||
      function == "RegDeleteValueW" || function == "RegDeleteKeyW") {
    return win::ERROR_ACCESS_DENIED;
  }
  if (function == "RegCloseKey") return win::ERROR_INVALID_HANDLE;
  if (function == "RegLoadKeyW") return win::ERROR_BADDB;  // a damaged hive file
  if (function == "RegUnLoadKeyW") return win::ERROR_ACCESS_DENIED;
  return win::ERROR_KEY_DELETED;  // queries and enumerations below a vanished key
}

// Whether a run in which the registry call |call| failed with |error| may
// rightly report success having done less than a clean run: "not found"
// makes a key look absent, a refused write probe (the open of HKLM\SOFTWARE
// that asks whether the machine may be written) makes the run a per-user
// one, and a person's hive that another process holds is left to it.
inline bool MayDoLess(const emu::Call& call, win::LONG error) {
  if (error == win::ERROR_FILE_NOT_FOUND) return true;
  const bool write_probe =
      call.function == "RegOpenKeyExW" && call.access == win::KEY_ALL_ACCESS &&
      (call.path == "HKLM\\SOFTWARE" || call.path == "HKLM\\SOFTWARE\\Wow6432Node");
  if (write_probe) return error == win::ERROR_ACCESS_DENIED;
  return call.function == "RegLoadKeyW" && error == win::ERROR_SHARING_VIOLATION;
}
}  // namespace registry_diff
