// The people who have a profile on this machine, and reaching their hives.
//
// ProfileList names every profile by its SID. A person's account is a local
// or domain account (S-1-5-21-...) or an Azure AD account (S-1-12-1-...); the
// service accounts (S-1-5-18, -19, -20) are not, and neither are the
// "<SID>.bak" entries that a damaged profile leaves. A person who is logged
// on has the hive loaded under HKEY_USERS\<SID>; anyone else's NTUSER.DAT is
// loaded there under the same SID, as administrators' own tools do (a hive
// loaded privately must have one security descriptor on every key, which a
// profile's is not), and unloaded as soon as the work in it is done, so that
// the person's next logon finds the file free.
#pragma once

#include <memory>
#include <vector>

#include "platform/win_api.h"
#include "registry/hive_privileges.h"
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

  bool IsOwn(const WideStr& sid) const;
};

// Reads the process's account and ProfileList. kFailed when either could
// not be read, with the failing call noted for the log (own_sid is set
// where it was read); kFound otherwise, also without a ProfileList.
Lookup ReadPersons(Persons* persons);

// How a person's hive was reached.
enum class HiveReach {
  kLoggedOn,     // loaded under HKEY_USERS\<SID>
  kFromFile,     // loaded from the profile's NTUSER.DAT for this run
  kMissing,      // no profile folder, no hive file: nobody to change
  kUnreachable,  // there, but it could not be loaded or read
};

// One person's hive, open at its root until destruction.
class UserHive {
 public:
  // Reaches the hive of |sid|: under HKEY_USERS when it is loaded there,
  // else the NTUSER.DAT in the folder that ProfileList names, loaded as
  // HKEY_USERS\<sid> with |privileges| enabled. A hive whose root cannot be
  // read counts as unreachable.
  UserHive(const char16_t* sid, HivePrivileges& privileges);
  UserHive(const UserHive&) = delete;
  UserHive& operator=(const UserHive&) = delete;
  // Closes the root, then unloads the hive if this loaded it, also when
  // the work in it failed. An unload that fails leaves the hive loaded and
  // is told in the installer's log.
  ~UserHive() = default;

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
  // Whether being unreachable is no failure of the run: another process
  // holds the hive, or the account may not load hives at all.
  bool excused() const { return excused_; }

 private:
  // Unloads HKEY_USERS\<sid> once armed, when it goes: also when
  // constructing the hive throws after the load.
  class Unloader {
   public:
    Unloader() = default;
    Unloader(const Unloader&) = delete;
    Unloader& operator=(const Unloader&) = delete;
    ~Unloader();
    void Arm(const char16_t* sid) { sid_ = sid; }
    bool armed() const { return sid_ != nullptr; }

   private:
    const char16_t* sid_ = nullptr;
  };

  void OpenFile(HivePrivileges& privileges);
  void Unreachable(const char* call, win::LONG error);

  HiveReach reach_ = HiveReach::kMissing;
  WideStr sid_;
  WideStr name_;
  WideStr file_;
  bool excused_ = false;
  // Before root_, which is closed first: no hive unloads while a handle
  // into it is open.
  Unloader unloader_;
  std::unique_ptr<RegKeyW> root_;
  const char* failed_call_ = nullptr;
  win::LONG error_ = win::ERROR_SUCCESS;
};
