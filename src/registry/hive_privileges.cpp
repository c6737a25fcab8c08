#include "registry/hive_privileges.h"

namespace {

win::LONG LastError() {
  const auto error = static_cast<win::LONG>(win::GetLastError());
  return error != win::ERROR_SUCCESS ? error : win::ERROR_INVALID_DATA;
}

}  // namespace

HivePrivileges::~HivePrivileges() {
  if (token_ == nullptr) return;
  // Nothing to report if this fails: the work is done, and the process
  // ends with the installation.
  if (previous_.PrivilegeCount != 0) {
    win::AdjustTokenPrivileges(token_, 0, &previous_, 0, nullptr, nullptr);
  }
  win::CloseHandle(token_);
}

bool HivePrivileges::Enable() {
  if (tried_) return enabled_;
  tried_ = true;
  if (win::OpenProcessToken(win::GetCurrentProcess(),
                            win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY, &token_) == 0) {
    token_ = nullptr;
    return Fail("OpenProcessToken", LastError());
  }
  win::TOKEN_PRIVILEGES wanted = {};
  wanted.PrivilegeCount = 2;
  const char16_t* const names[] = {u"SeBackupPrivilege", u"SeRestorePrivilege"};
  for (int i = 0; i < 2; ++i) {
    if (win::LookupPrivilegeValueW(nullptr, names[i], &wanted.Privileges[i].Luid) == 0) {
      return Fail("LookupPrivilegeValueW", LastError());
    }
    wanted.Privileges[i].Attributes = win::SE_PRIVILEGE_ENABLED;
  }
  // Even where one of them is missing, the other may be enabled: previous_
  // holds what changed either way.
  win::DWORD length = 0;
  if (win::AdjustTokenPrivileges(token_, 0, &wanted, sizeof previous_, &previous_, &length) == 0) {
    previous_ = {};
    return Fail("AdjustTokenPrivileges", LastError());
  }
  const auto assigned = static_cast<win::LONG>(win::GetLastError());
  if (assigned != win::ERROR_SUCCESS) return Fail("AdjustTokenPrivileges", assigned);
  enabled_ = true;
  return true;
}

bool HivePrivileges::Fail(const char* call, win::LONG error) {
  failed_call_ = call;
  error_ = error;
  return false;
}
