// The people who have a profile on this machine, and reaching their hives.
//
// ProfileList names every profile by its SID. A person's account is a local
// or domain account (S-1-5-21-...) or an Azure AD account (S-1-12-1-...); the
// service accounts (S-1-5-18, -19, -20) are not, and neither are the
// "<SID>.bak" entries that a damaged profile leaves. A person who is logged
// on has the hive loaded under HKEY_USERS\<SID>; anyone else's NTUSER.DAT is
// loaded privately with RegLoadAppKeyW, which Windows unloads as soon as the
// last handle into it closes, so no hive ever stays loaded and nobody meets a
// temporary profile at the next logon. A hive is never loaded by name below
// HKEY_USERS.
#pragma once

#include <memory>
#include <vector>

#include "platform/win_api.h"
#include "registry/lookup.h"
#include "registry/reg_key.h"
#include "registry/wide_str.h"

inline constexpr char16_t kProfileListPath[] =
    u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// Whether the ProfileList entry |name| is a person's SID.
bool IsPersonSid(const char16_t* name);

// Whether |a| and |b| name the same SID, as the registry compares key names.
bool SameSid(const char16_t* a, const char16_t* b);

// The people's SIDs in ProfileList (64-bit view), in its order. kAbsent when
// there is no ProfileList; kFailed when it could not be read to its end, with
// the failing call noted for the log.
Lookup ReadPersonSids(std::vector<WideStr>* sids);

// advapi32's RegLoadAppKeyW; null where Windows lacks it.
win::RegLoadAppKeyWFn FindRegLoadAppKey();

// How a person's hive was reached.
enum class HiveReach {
  kLoggedOn,     // loaded under HKEY_USERS\<SID>
  kFromFile,     // loaded privately from the profile's NTUSER.DAT
  kMissing,      // no profile folder, no hive file: nobody to change
  kUnreachable,  // there, but it could not be loaded or read
};

// One person's hive, open at its root until destruction.
class UserHive {
 public:
  // Reaches the hive of |sid|: under HKEY_USERS when it is loaded there,
  // else the NTUSER.DAT in the folder that ProfileList names, loaded with
  // |load_app_key| (none: unreachable) with |access|. A hive whose root
  // cannot be read counts as unreachable, as Wine's private hives do.
  UserHive(const char16_t* sid, win::RegLoadAppKeyWFn load_app_key, win::REGSAM access);

  HiveReach reach() const { return reach_; }
  // The hive's root key; null unless kLoggedOn or kFromFile.
  win::HKEY root() const { return root_ ? root_->handle() : nullptr; }
  // "HKEY_USERS\<SID>": where its keys are while the person is logged on.
  const WideStr& name() const { return name_; }
  // The hive file; null when it was not looked for.
  const WideStr& file() const { return file_; }
  // The call that could not be done and its error, for kUnreachable.
  const char* failed_call() const { return failed_call_; }
  win::LONG error() const { return error_; }

 private:
  void OpenFile(const char16_t* sid, win::RegLoadAppKeyWFn load_app_key, win::REGSAM access);
  void Unreachable(const char* call, win::LONG error);

  HiveReach reach_ = HiveReach::kMissing;
  std::unique_ptr<RegKeyW> root_;
  WideStr name_;
  WideStr file_;
  const char* failed_call_ = nullptr;
  win::LONG error_ = win::ERROR_SUCCESS;
};
