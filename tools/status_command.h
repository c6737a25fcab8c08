// `skerrow-run status`: the report on this machine, made without changing
// anything. Kept free of the engine's headers, so that a program built on
// <windows.h> can include it.
#pragma once

#include <string>

struct StatusRequest {
  bool json = false;       // one JSON document instead of the table
  bool all_users = false;  // every person's hive too, loaded or not
  bool check = false;      // the verdict of the check, last
};

struct StatusCommandResult {
  std::string output;   // UTF-8
  bool passed = false;  // with request.check: every setting found is switched off
};

// The report |request| asks for. std::bad_alloc gets out when memory runs
// out.
StatusCommandResult RunStatusCommand(const StatusRequest& request);
