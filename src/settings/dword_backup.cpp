#include "settings/dword_backup.h"

#include "registry/key_tree.h"
#include "registry/lookup.h"
#include "registry/raw_value.h"
#include "registry/reg_calls.h"
#include "settings/change_log.h"

namespace {

// READ_CONTROL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY.
constexpr win::REGSAM kBackupCreateAccess = 0x20007;
constexpr win::REGSAM kReadWrite = win::KEY_READ | win::KEY_WRITE;

void LogRestoredDword(const RegKeyW& key, const char16_t* name, win::DWORD value,
                      RestoredFrom from) {
  const win::BYTE data[] = {static_cast<win::BYTE>(value), static_cast<win::BYTE>(value >> 8),
                            static_cast<win::BYTE>(value >> 16),
                            static_cast<win::BYTE>(value >> 24)};
  LogRestored(key, name, win::REG_DWORD, data, sizeof data, from);
}

// Whether |backup| holds a record of |name|, of either kind.
Lookup FindRecord(RegKeyW& backup, const char16_t* name, const WideStr& absent_name) {
  const Lookup value = FindValue(backup, name);
  if (value != Lookup::kAbsent) return value;
  return FindValue(backup, absent_name.get());
}

// Writes the record of a setting that |current| says is |name| = |old|.
bool WriteRecord(RegKeyW& backup, const char16_t* name, const WideStr& absent_name, Lookup current,
                 const RawValue& old) {
  if (current == Lookup::kFound) return WriteRawValue(backup, name, old);
  return backup.SetDword(absent_name.get(), 1);
}

// Deletes the value |name| of |key| where it exists.
bool DeleteIfPresent(RegKeyW& key, const char16_t* name) {
  return LookupOf(reg::RegDeleteValueW(key.handle(), name)) != Lookup::kFailed;
}

bool DeleteBackupKey(RegKeyW& settings_key, RegKeyW& backup) {
  backup.Close();
  return reg::RegDeleteKeyW(settings_key.handle(), kBackupKeyName) == win::ERROR_SUCCESS;
}

// Removes both records of |name| from |backup|, and the backup key itself
// when nothing else is left in it. Closes |backup|.
bool RemoveRecords(RegKeyW& settings_key, RegKeyW& backup, const char16_t* name,
                   const WideStr& absent_name) {
  win::DWORD sub_keys = 0;
  win::DWORD values = 0;
  if (!CountKeyContent(backup.handle(), &sub_keys, &values)) return false;
  // The one record is all there is: deleting the key takes it along.
  if (sub_keys == 0 && values <= 1) return DeleteBackupKey(settings_key, backup);
  if (!DeleteIfPresent(backup, name) || !DeleteIfPresent(backup, absent_name.get()) ||
      !CountKeyContent(backup.handle(), &sub_keys, &values)) {
    return false;
  }
  if (sub_keys == 0 && values == 0) return DeleteBackupKey(settings_key, backup);
  return true;
}

// The setting of an unrecorded key gets |default_value| unless it is absent
// or already holds it.
bool SetPresentToDefault(RegKeyW& settings_key, const char16_t* name, win::DWORD default_value) {
  RawValue current;
  const Lookup found = ReadRawValue(settings_key, name, &current);
  if (found != Lookup::kFound || current.IsDword(default_value)) {
    if (found != Lookup::kFailed) LogLeftAlone();
    return found != Lookup::kFailed;
  }
  if (!settings_key.SetDword(name, default_value)) return false;
  LogRestoredDword(settings_key, name, default_value, RestoredFrom::kDefault);
  return true;
}

}  // namespace

WideStr AbsentRecordName(const char16_t* name) { return WideStr(kAbsentRecordPrefix) + name; }

bool BackupAndSetDword(RegKeyW& settings_key, const char16_t* name) {
  if (settings_key.handle() == nullptr) return false;
  RawValue old;
  const Lookup current = ReadRawValue(settings_key, name, &old);
  return BackupAndSetRead(settings_key, name, current, old);
}

bool BackupAndSetRead(RegKeyW& settings_key, const char16_t* name, Lookup current,
                      const RawValue& old, bool rewrite) {
  if (settings_key.handle() == nullptr || current == Lookup::kFailed) return false;

  const WideStr absent_name = AbsentRecordName(name);
  RegKeyW backup(settings_key.handle(), kBackupKeyName, kBackupCreateAccess, true);
  if (backup.handle() == nullptr) return false;
  // A backup key made just now holds no record; an older one may, and the
  // record made first is the one from before any switch.
  const Lookup recorded =
      backup.created() ? Lookup::kAbsent : FindRecord(backup, name, absent_name);
  if (recorded == Lookup::kFailed) return false;
  if (recorded == Lookup::kAbsent && !WriteRecord(backup, name, absent_name, current, old)) {
    // Leave no empty backup key of this call's making behind.
    if (backup.created()) DeleteBackupKey(settings_key, backup);
    return false;
  }
  backup.Close();
  const bool zero_already = !rewrite && current == Lookup::kFound && old.IsDword(0);
  if (!zero_already && !settings_key.SetDword(name, 0)) {
    return false;
  }
  LogSwitched(settings_key, name, current, old, recorded == Lookup::kAbsent);
  return true;
}

bool RestoreDword(RegKeyW& settings_key, const char16_t* name, win::DWORD default_value,
                  Unrecorded unrecorded, bool* backup_found) {
  if (backup_found) *backup_found = false;
  if (settings_key.handle() == nullptr) return false;
  {
    RegKeyW backup(settings_key.handle(), kBackupKeyName, kReadWrite, false);
    if (backup.opened() == Lookup::kFailed) return false;
    if (backup_found) *backup_found = backup.opened() == Lookup::kFound;
    if (backup.opened() == Lookup::kFound) {
      RawValue saved;
      const Lookup value = ReadRawValue(backup, name, &saved);
      if (value == Lookup::kFailed) return false;
      const WideStr absent_name = AbsentRecordName(name);
      if (value == Lookup::kFound) {
        // Told as soon as it is back, whether or not the record goes.
        if (!WriteRawValue(settings_key, name, saved)) return false;
        LogRestored(settings_key, name, saved.type, saved.data.data(),
                    static_cast<win::DWORD>(saved.data.size()), RestoredFrom::kRecordedValue);
        return RemoveRecords(settings_key, backup, name, absent_name);
      }
      const Lookup absent = FindValue(backup, absent_name.get());
      if (absent == Lookup::kFailed) return false;
      if (absent == Lookup::kFound) {
        if (!settings_key.SetDword(name, default_value)) return false;
        LogRestoredDword(settings_key, name, default_value, RestoredFrom::kRecordedAbsent);
        return RemoveRecords(settings_key, backup, name, absent_name);
      }
      // No record here; a backup key left empty by an earlier run goes.
      win::DWORD sub_keys = 0;
      win::DWORD values = 0;
      if (!CountKeyContent(backup.handle(), &sub_keys, &values)) return false;
      if (sub_keys == 0 && values == 0 && !DeleteBackupKey(settings_key, backup)) return false;
    }
  }
  if (unrecorded == Unrecorded::kLeave) {
    LogLeftAlone();
    return true;
  }
  return SetPresentToDefault(settings_key, name, default_value);
}
