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

// The people with a profile on this machine, and who of them is running.
struct Persons {
  // The process's account, whose hive is HKEY_CURRENT_USER.
  WideStr own_sid;
  // Every person in ProfileList, in its order; own_sid among them where it
  // is a person's.
  std::vector<WideStr> sids;
  // To load the hives of those who are not logged on; looked up only where
  // there is anyone.
  win::RegLoadAppKeyWFn load_app_key = nullptr;

  bool IsOwn(const WideStr& sid) const;
};

// Reads the process's account and ProfileList. kFailed when either could
// not be read, with the failing call noted for the log (own_sid is set
// where it was read); kFound otherwise, also without a ProfileList.
Lookup ReadPersons(Persons* persons);

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
