#include "status_report.h"

#include <iterator>
#include <memory>

#include "entry/release_lists.h"
#include "entry/wow64_probe.h"
#include "platform/win_api.h"
#include "products/product_sweep.h"
#include "products/setting_locations.h"
#include "registry/reg_calls.h"
#include "registry/reg_key.h"
#include "registry/wide_str.h"
#include "settings/dword_backup.h"

namespace {

// One root key in one view, and the releases Install and Uninstall sweep
// there.
struct Pass {
  win::HKEY root;
  const char16_t* root_name;  // for the keys that cannot be read: "HKLM"
  ReportLevel level;
  ReportView view;
  win::REGSAM view_flag;
  bool named_view;  // whether those keys name their view
  const ProductRelease* releases;
  std::size_t count;
};

// Where the rows of one hive go.
struct Block {
  std::vector<StatusRow>& rows;
  std::vector<std::u16string>& unreadable;
};

std::u16string Text(const char16_t* text) { return text == nullptr ? u"" : text; }

std::u16string Where(const Pass& pass, const char16_t* path) {
  std::u16string where = pass.root_name;
  if (path != nullptr && *path != 0) where += u"\\" + Text(path);
  if (pass.named_view) {
    where += pass.view == ReportView::k64 ? u" (64-bit view)" : u" (32-bit view)";
  }
  return where;
}

// The names of the sub-keys of the open |key|, all read before any is used.
// False when the enumeration stopped early.
bool SubKeyNames(win::HKEY key, std::vector<std::u16string>* names) {
  win::DWORD longest = 0;
  if (win::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) != win::ERROR_SUCCESS) {
    return false;
  }
  const win::DWORD capacity = longest + 2;
  std::unique_ptr<char16_t[]> name(new char16_t[capacity]);
  for (win::DWORD index = 0;; ++index) {
    win::DWORD length = capacity;
    const win::LONG status =
        win::RegEnumKeyExW(key, index, name.get(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == win::ERROR_NO_MORE_ITEMS) return true;
    if (status != win::ERROR_SUCCESS) return false;
    names->emplace_back(name.get(), length);
  }
}

// The record of the row's setting in SKRW_Backup below the open |key|.
void ReadRecord(RegKeyW& key, StatusRow& row) {
  RegKeyW backup(key.handle(), kBackupKeyName, win::KEY_READ, false);
  if (backup.opened() != Lookup::kFound) {
    if (backup.opened() == Lookup::kFailed) row.incomplete = true;
    return;
  }
  const Lookup saved = ReadRawValue(backup, row.setting->value_name, &row.saved);
  if (saved == Lookup::kFound) {
    row.record = RecordKind::kSaved;
    return;
  }
  if (saved == Lookup::kFailed) row.incomplete = true;
  const WideStr absent_name = AbsentRecordName(row.setting->value_name);
  const Lookup absent = FindValue(backup, absent_name.get());
  if (absent == Lookup::kFound) row.record = RecordKind::kAbsent;
  if (absent == Lookup::kFailed) row.incomplete = true;
}

// In the order Uninstall decides it: a marked copy goes whole, else the
// record is put back, else the setting's own rule for unrecorded settings,
// which another person's hive (|others_hive|) never gets.
Removal RemovalOf(const StatusRow& row, bool others_hive) {
  if (row.per_user_copy) return Removal::kDeleteCopy;
  if (row.record == RecordKind::kSaved) return Removal::kRestoreSaved;
  if (row.record == RecordKind::kAbsent) return Removal::kWriteDefault;
  if (!others_hive && row.setting->unrecorded == Unrecorded::kSetDefault &&
      row.current_found == Lookup::kFound && !row.current.IsDword(row.setting->default_value)) {
    return Removal::kWriteDefault;
  }
  return Removal::kLeave;
}

bool AlreadyReported(const Block& block, const Pass& pass, const std::u16string& path) {
  for (const StatusRow& row : block.rows) {
    if (row.level == pass.level && row.view == pass.view && row.settings_path == path) return true;
  }
  return false;
}

void ReadSettingsKey(const Pass& pass, const ProductRelease& release, const char16_t* product_key,
                     const char16_t* settings_path, const char16_t* suffix, const Setting& setting,
                     Block& block) {
  const std::u16string path = Text(settings_path);
  // The family-0 releases share one settings key.
  if (AlreadyReported(block, pass, path)) return;
  RegKeyW key(pass.root, settings_path, win::KEY_READ | pass.view_flag, false);
  if (key.opened() != Lookup::kFound) {
    if (key.opened() == Lookup::kFailed) block.unreadable.push_back(Where(pass, settings_path));
    return;
  }
  StatusRow row;
  row.level = pass.level;
  row.view = pass.view;
  row.release = release;
  row.product_key = Text(product_key);
  row.settings_path = path;
  row.suffix = Text(suffix + 1);  // without its leading backslash
  row.setting = &setting;
  row.current_found = ReadRawValue(key, setting.value_name, &row.current);
  if (row.current_found == Lookup::kFailed) row.incomplete = true;
  ReadRecord(key, row);
  // Uninstall heeds the marker only in the user's hive.
  if (pass.level == ReportLevel::kUser) {
    const Lookup marked = FindRemovalMarker(key);
    row.per_user_copy = marked == Lookup::kFound;
    if (marked == Lookup::kFailed) row.incomplete = true;
  }
  row.removal =
      RemovalOf(row, pass.level == ReportLevel::kUser && pass.root != win::HKEY_CURRENT_USER);
  block.rows.push_back(std::move(row));
}

void ReadRelease(const Pass& pass, const ProductRelease& release, Block& block) {
  const SettingLocation* location = FindSettingLocation(ReleaseCode(release));
  if (location == nullptr) return;
  const WideStr release_path = BuildReleaseKeyPath(release);
  std::vector<std::u16string> names;
  if (release_path.Length() == 0) {
    // A family-0 release has no path: the root's own sub-keys are the
    // product keys. The root is not the report's to close.
    if (!SubKeyNames(pass.root, &names)) block.unreadable.push_back(Where(pass, nullptr));
  } else {
    RegKeyW release_key(pass.root, release_path.get(), win::KEY_READ | pass.view_flag, false);
    if (release_key.handle() == nullptr) {
      if (release_key.opened() == Lookup::kFailed) {
        block.unreadable.push_back(Where(pass, release_path.get()));
      }
      return;
    }
    if (!SubKeyNames(release_key.handle(), &names)) {
      block.unreadable.push_back(Where(pass, release_path.get()));
    }
  }
  for (const std::u16string& name : names) {
    const WideStr product_path = ProductKeyPath(release_path, name.c_str());
    for (const char16_t* suffix : location->suffixes) {
      if (suffix == nullptr) continue;
      const WideStr settings_path = WideStr(product_path.get()) + suffix;
      ReadSettingsKey(pass, release, name.c_str(), settings_path.get(), suffix, *location->setting,
                      block);
    }
  }
}

template <std::size_t N>
Pass MachinePass(ReportView view, win::REGSAM view_flag, bool wow64,
                 const ProductRelease (&releases)[N]) {
  return {
      win::HKEY_LOCAL_MACHINE, u"HKLM", ReportLevel::kMachine, view, view_flag, wow64, releases, N};
}

// Every release of the 64-bit pass is in the first pass too, and the user's
// keys look the same from both views.
Pass UserPass(win::HKEY root, const char16_t* root_name) {
  return {root, root_name, ReportLevel::kUser, ReportView::kShared,
          0,    false,     FirstPassReleases,  std::size(FirstPassReleases)};
}

void ReadPass(const Pass& pass, Block block) {
  for (std::size_t i = 0; i < pass.count; ++i) ReadRelease(pass, pass.releases[i], block);
  for (const ProductRelease& release : CadManagerControlReleases) {
    ReadRelease(pass, release, block);
  }
}

void NotePersonsFailure(StatusReport& report) {
  const FailureNote& note = LatestFailure();
  report.persons_failed_call = note.call != nullptr ? note.call : "ReadPersonSids";
  report.persons_error = note.error;
}

// The person's hive as the report shows it, its rows read while it is open.
ProfileStatus ReadProfile(const WideStr& sid, HivePrivileges& privileges) {
  ProfileStatus profile;
  profile.sid = Text(sid.get());
  const UserHive hive(sid.get(), privileges);
  profile.reach = hive.reach();
  profile.hive_key = Text(hive.name().get());
  profile.file = Text(hive.file().get());
  profile.failed_call = hive.failed_call();
  profile.error = hive.error();
  if (hive.root() != nullptr) {
    const std::u16string root_name = u"HKU\\" + profile.sid;
    ReadPass(UserPass(hive.root(), root_name.c_str()), {profile.rows, profile.unreadable});
  }
  return profile;
}

// The profiles of everyone but the account the report runs as, whose hive
// HKEY_CURRENT_USER was read already.
void ReadProfiles(StatusReport& report) {
  report.all_users = true;
  Persons persons;
  const Lookup read = ReadPersons(&persons);
  report.current_user_sid = Text(persons.own_sid.get());
  if (read == Lookup::kFailed) return NotePersonsFailure(report);
  HivePrivileges privileges;
  for (const WideStr& sid : persons.sids) {
    if (!persons.IsOwn(sid)) report.profiles.push_back(ReadProfile(sid, privileges));
  }
}

}  // namespace

StatusReport ReadStatus(StatusScope scope) {
  StatusReport report;
  report.wow64 = RunsUnderWow64();
  const Block block = {report.rows, report.unreadable};
  ReadPass(MachinePass(ReportView::k32, 0, report.wow64, FirstPassReleases), block);
  if (report.wow64) {
    ReadPass(MachinePass(ReportView::k64, win::KEY_WOW64_64KEY, true, SecondPassReleases), block);
  }
  ReadPass(UserPass(win::HKEY_CURRENT_USER, u"HKCU"), block);
  if (scope == StatusScope::kAllUsers) ReadProfiles(report);
  return report;
}

StatusSummary Summarise(const StatusReport& report) { return Summarise(report.rows); }

StatusSummary Summarise(const std::vector<StatusRow>& rows) {
  StatusSummary summary;
  for (const StatusRow& row : rows) {
    if (row.current_found == Lookup::kFound && row.current.IsDword(0)) ++summary.switched_off;
    if (row.removal != Removal::kLeave) ++summary.will_be_restored;
    if (row.per_user_copy) ++summary.per_user_copies;
  }
  return summary;
}

std::u16string ReleaseName(const ProductRelease& release) {
  if (release.family == 0) return u"CAD Manager Control";
  // The last two parts of the release path: "AutoCAD LT\R14".
  const std::u16string path = Text(BuildReleaseKeyPath(release).get());
  const std::size_t last = path.rfind(u'\\');
  if (last == std::u16string::npos || last == 0) return path;
  const std::size_t before = path.rfind(u'\\', last - 1);
  const std::size_t start = before == std::u16string::npos ? 0 : before + 1;
  return path.substr(start, last - start) + u" " + path.substr(last + 1);
}
