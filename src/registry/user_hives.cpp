#include "registry/user_hives.h"

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "registry/install_log.h"
#include "registry/name_fold.h"
#include "registry/process_user.h"
#include "registry/raw_value.h"
#include "registry/reg_calls.h"

namespace {

constexpr char16_t kProfileImagePath[] = u"ProfileImagePath";
constexpr char16_t kHiveFileName[] = u"\\NTUSER.DAT";
// The longest ProfileList entry kept: a SID has at most 15 sub-authorities.
constexpr win::DWORD kLongestSid = 184;

bool StartsWith(const char16_t* text, const char16_t* prefix) {
  while (*prefix != 0 && *text == *prefix) ++text, ++prefix;
  return *prefix == 0;
}

bool Gone(win::LONG status) {
  return status == win::ERROR_FILE_NOT_FOUND || status == win::ERROR_PATH_NOT_FOUND;
}

// Whether the ProfileList entry |name| is a person's SID.
bool IsPersonSid(const char16_t* name) {
  const char16_t* rest = nullptr;
  if (StartsWith(name, u"S-1-5-21-")) rest = name + 9;
  if (StartsWith(name, u"S-1-12-1-")) rest = name + 9;
  if (rest == nullptr || *rest == 0) return false;
  // Sub-authorities: decimal numbers joined by '-'; nothing after them.
  bool digit_before = false;
  for (; *rest != 0; ++rest) {
    if (*rest >= u'0' && *rest <= u'9') {
      digit_before = true;
    } else if (*rest == u'-' && digit_before) {
      digit_before = false;
    } else {
      return false;
    }
  }
  return digit_before;
}

// The people's SIDs in ProfileList (64-bit view), in its order. kAbsent when
// there is no ProfileList; kFailed when it could not be read to its end, with
// the failing call noted.
Lookup ReadPersonSids(std::vector<WideStr>* sids) {
  RegKeyW list(win::HKEY_LOCAL_MACHINE, kProfileListPath, win::KEY_READ | win::KEY_WOW64_64KEY,
               false);
  if (list.opened() != Lookup::kFound) return list.opened();
  char16_t name[kLongestSid + 1] = {};
  for (win::DWORD index = 0;; ++index) {
    win::DWORD length = kLongestSid + 1;
    const win::LONG status =
        reg::RegEnumKeyExW(list.handle(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == win::ERROR_NO_MORE_ITEMS) return Lookup::kFound;
    // Too long to be a SID: not a person's.
    if (status == win::ERROR_MORE_DATA) continue;
    if (status != win::ERROR_SUCCESS) {
      NoteFailure("RegEnumKeyExW", kProfileListPath, status);
      return Lookup::kFailed;
    }
    if (IsPersonSid(name)) sids->emplace_back(name);
  }
}

// What could not be done, for a profile that cannot be reached.
struct Failed {
  const char* call = nullptr;
  win::LONG error = win::ERROR_SUCCESS;
};

// Notes in |failed| that |call| failed with |error| (where Windows gave
// none: ERROR_INVALID_DATA); kFailed.
Lookup Fails(Failed* failed, const char* call, win::LONG error) {
  *failed = Failed{call, error != win::ERROR_SUCCESS ? error : win::ERROR_INVALID_DATA};
  return Lookup::kFailed;
}

// The profile folder that the open ProfileList entry names, %SystemDrive%
// and the like expanded. kAbsent when it names none; kFailed, with |failed|
// set, when it could not be read, is no text or could not be expanded: that
// is no proof that the person has no hive.
Lookup ReadProfileFolder(RegKeyW& entry, WideStr* folder, Failed* failed) {
  ForgetFailure();
  RawValue value;
  const Lookup read = ReadRawValue(entry, kProfileImagePath, &value);
  if (read == Lookup::kAbsent) return Lookup::kAbsent;
  // Not noted where it kept growing.
  if (read == Lookup::kFailed) {
    const FailureNote& note = LatestFailure();
    return Fails(failed, "RegQueryValueExW", note.call ? note.error : win::ERROR_MORE_DATA);
  }
  if (value.type != win::REG_SZ && value.type != win::REG_EXPAND_SZ) {
    return Fails(failed, "RegQueryValueExW", win::ERROR_INVALID_DATA);
  }
  // As stored, an odd byte and a missing terminator included.
  const std::unique_ptr<char16_t[]> text(
      new char16_t[(value.data.size() + 1) / sizeof(char16_t) + 1]());
  std::memcpy(text.get(), value.data.data(), value.data.size());
  if (text[0] == 0) return Lookup::kAbsent;
  if (value.type == win::REG_SZ) {
    *folder = WideStr(text.get());
    return Lookup::kFound;
  }
  static constexpr char kExpand[] = "ExpandEnvironmentStringsW";  // outlives the call
  const win::DWORD needed = win::ExpandEnvironmentStringsW(text.get(), nullptr, 0);
  if (needed == 0) return Fails(failed, kExpand, static_cast<win::LONG>(win::GetLastError()));
  const std::unique_ptr<char16_t[]> expanded(new char16_t[needed]());
  const win::DWORD written = win::ExpandEnvironmentStringsW(text.get(), expanded.get(), needed);
  if (written == 0) return Fails(failed, kExpand, static_cast<win::LONG>(win::GetLastError()));
  if (written > needed) return Fails(failed, kExpand, win::ERROR_MORE_DATA);  // grew meanwhile
  *folder = WideStr(expanded.get());
  return Lookup::kFound;
}

}  // namespace

bool Persons::IsOwn(const WideStr& sid) const { return SameKeyName(sid.get(), own_sid.get()); }

Lookup ReadPersons(Persons* persons) {
  ForgetFailure();
  if (ReadProcessUserSid(&persons->own_sid) != Lookup::kFound) return Lookup::kFailed;
  if (ReadPersonSids(&persons->sids) == Lookup::kFailed) return Lookup::kFailed;
  return Lookup::kFound;
}

UserHive::UserHive(const char16_t* sid, HivePrivileges& privileges)
    : sid_(sid), name_(WideStr(u"HKEY_USERS\\") + sid) {
  root_ = std::make_unique<RegKeyW>(win::HKEY_USERS, sid, win::KEY_READ, false);
  if (root_->opened() == Lookup::kAbsent) {
    root_.reset();
    OpenFile(privileges);
    if (!unloader_.armed()) return;
    root_ = std::make_unique<RegKeyW>(win::HKEY_USERS, sid, win::KEY_READ, false);
    if (root_->opened() != Lookup::kFound) {
      Unreachable("RegOpenKeyExW", root_->status());
      return;
    }
    reach_ = HiveReach::kFromFile;
  } else if (root_->opened() == Lookup::kFailed) {
    Unreachable("RegOpenKeyExW", root_->status());
    return;
  } else {
    reach_ = HiveReach::kLoggedOn;
  }
  // A hive that opens but cannot be read is no use.
  win::DWORD sub_keys = 0;
  const win::LONG status =
      reg::RegQueryInfoKeyW(root_->handle(), nullptr, nullptr, nullptr, &sub_keys, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr);
  if (status != win::ERROR_SUCCESS) Unreachable("RegQueryInfoKeyW", status);
}

UserHive::Unloader::~Unloader() {
  if (sid_ == nullptr) return;
  const win::LONG status = win::RegUnLoadKeyW(win::HKEY_USERS, sid_);
  if (status == win::ERROR_SUCCESS) return;
  // Skerrow: profile-unload-failed sid="..." call=RegUnLoadKeyW error=...
  LogLine line("profile-unload-failed");
  line.Text(" sid=").Quoted(sid_).Text(" call=RegUnLoadKeyW error=").Error(status);
  Send(line);
}

void UserHive::OpenFile(HivePrivileges& privileges) {
  const char16_t* sid = sid_.get();
  const WideStr entry_path = WideStr(kProfileListPath) + u"\\" + sid;
  RegKeyW entry(win::HKEY_LOCAL_MACHINE, entry_path.get(), win::KEY_READ | win::KEY_WOW64_64KEY,
                false);
  if (entry.opened() == Lookup::kFailed) return Unreachable("RegOpenKeyExW", entry.status());
  if (entry.opened() == Lookup::kAbsent) return;  // gone from ProfileList meanwhile
  WideStr folder;
  Failed failed;
  const Lookup named = ReadProfileFolder(entry, &folder, &failed);
  if (named == Lookup::kFailed) return Unreachable(failed.call, failed.error);
  if (named == Lookup::kAbsent) return;  // no profile folder
  file_ = std::move(folder) + kHiveFileName;
  entry.Close();
  // Loading a file that is not there would create an empty hive in its
  // place, which the person would find at the next logon.
  const win::DWORD attributes = win::GetFileAttributesW(file_.get());
  if (attributes == win::INVALID_FILE_ATTRIBUTES) {
    const auto error = static_cast<win::LONG>(win::GetLastError());
    if (!Gone(error)) Unreachable("GetFileAttributesW", error);
    return;
  }
  if ((attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0) return;
  // An account that may not load hives, or a hive that another process
  // holds, is no failure of the run: nothing here could do more.
  if (!privileges.Enable()) {
    Unreachable(privileges.failed_call(), privileges.error());
    excused_ = true;
    return;
  }
  const win::LONG loaded = win::RegLoadKeyW(win::HKEY_USERS, sid, file_.get());
  if (loaded != win::ERROR_SUCCESS) {
    if (!Gone(loaded)) Unreachable("RegLoadKeyW", loaded);
    excused_ = loaded == win::ERROR_SHARING_VIOLATION || loaded == win::ERROR_PRIVILEGE_NOT_HELD;
    return;
  }
  unloader_.Arm(sid);
}

void UserHive::Unreachable(const char* call, win::LONG error) {
  root_.reset();
  reach_ = HiveReach::kUnreachable;
  failed_call_ = call;
  error_ = error;
}
