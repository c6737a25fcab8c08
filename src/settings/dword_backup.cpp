#include "settings/dword_backup.h"

#include "registry/key_tree.h"
#include "settings/raw_value.h"

namespace {

// READ_CONTROL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY.
constexpr win::REGSAM kBackupCreateAccess = 0x20007;
constexpr win::REGSAM kReadWrite = win::KEY_READ | win::KEY_WRITE;

// Copies the value |name| of |type| and |size| from |from| to |to|: a
// well-formed REG_DWORD through the DWORD accessors, anything else (a
// REG_DWORD of another size included) with its own type and data.
bool CopySavedValue(RegKeyW& from, RegKeyW& to, const char16_t* name, win::DWORD type,
                    win::DWORD size) {
  if (type == win::REG_DWORD && size == sizeof(win::DWORD)) {
    return to.SetDword(name, from.GetDword(name));
  }
  RawValue value;
  if (!ReadRawValue(from, name, &value)) return false;
  return WriteRawValue(to, name, value);
}

}  // namespace

bool BackupAndSetDword(RegKeyW& settings_key, const char16_t* name) {
  if (settings_key.handle() == nullptr) return false;
  win::DWORD size = 0;
  const win::DWORD type = settings_key.GetValueInfo(name, &size);
  if (type != win::REG_NONE) {
    RegKeyW backup(settings_key.handle(), kBackupKeyName, kBackupCreateAccess, true);
    if (backup.handle() == nullptr) return false;
    // The value saved first is the one from before any switch: keep it.
    if (backup.GetValueType(name) == win::REG_NONE &&
        !CopySavedValue(settings_key, backup, name, type, size)) {
      return false;
    }
  }
  return settings_key.SetDword(name, 0);
}

bool RestoreDword(RegKeyW& settings_key, const char16_t* name, win::DWORD default_value) {
  if (settings_key.handle() == nullptr) return false;
  {
    RegKeyW backup(settings_key.handle(), kBackupKeyName, kReadWrite, false);
    if (backup.handle() != nullptr) {
      bool restored = false;
      win::DWORD size = 0;
      const win::DWORD type = backup.GetValueInfo(name, &size);
      if (type != win::REG_NONE && CopySavedValue(backup, settings_key, name, type, size)) {
        backup.DeleteValue(name);
        restored = true;
      }
      if (IsKeyEmpty(backup)) DeleteKeyTree(backup, false);
      if (restored) return true;
    }
  }
  if (!settings_key.HasValue(name)) return false;
  if (settings_key.GetDword(name) == default_value) return true;
  return settings_key.SetDword(name, default_value);
}
