// The backup and restore privileges that loading another person's hive
// below HKEY_USERS takes, enabled in the process token only as long as
// they are needed.
#pragma once

#include "platform/win_api.h"

class HivePrivileges {
 public:
  HivePrivileges() = default;
  HivePrivileges(const HivePrivileges&) = delete;
  HivePrivileges& operator=(const HivePrivileges&) = delete;
  // Puts the token back as it was: what Enable changed is changed back.
  ~HivePrivileges();

  // Enables SeBackupPrivilege and SeRestorePrivilege on the first call;
  // every call answers whether both are enabled. Where they are not,
  // failed_call() and error() say why (the token lacking one of them is
  // AdjustTokenPrivileges with ERROR_NOT_ALL_ASSIGNED).
  bool Enable();

  const char* failed_call() const { return failed_call_; }
  win::LONG error() const { return error_; }

 private:
  bool Fail(const char* call, win::LONG error);

  bool tried_ = false;
  bool enabled_ = false;
  win::HANDLE token_ = nullptr;
  // What Enable changed, as it was before; nothing until it changed it.
  win::TOKEN_PRIVILEGES previous_ = {};
  const char* failed_call_ = nullptr;
  win::LONG error_ = win::ERROR_SUCCESS;
};
