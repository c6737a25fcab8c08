#include "registry/raw_value.h"

#include <cstring>

#include "registry/exact_value.h"
#include "registry/reg_calls.h"

namespace {

// Room for the settings as products write them, so that one query reads
// them; a larger value is read again with the size Windows reports.
constexpr win::DWORD kFirstReadSize = 64;

// The value can grow between two reads; a few rounds are enough for a value
// that is not being rewritten constantly.
constexpr int kReadAttempts = 4;

}  // namespace

bool RawValue::IsDword(win::DWORD number) const {
  if (type != win::REG_DWORD || data.size() != sizeof(win::DWORD)) return false;
  win::DWORD stored = 0;
  std::memcpy(&stored, data.data(), sizeof(stored));
  return stored == number;
}

Lookup ReadRawValue(RegKeyW& key, const char16_t* name, RawValue* value) {
  if (key.handle() == nullptr) return Lookup::kFailed;
  win::DWORD size = kFirstReadSize;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    // At least one byte, so that data() points somewhere.
    value->data.assign(size > 0 ? size : 1, 0);
    win::DWORD type = win::REG_NONE;
    win::DWORD read = size;
    const win::LONG status =
        reg::RegQueryValueExW(key.handle(), name, nullptr, &type, value->data.data(), &read);
    if (status == win::ERROR_SUCCESS) {
      value->type = type;
      value->data.resize(read);
      return Lookup::kFound;
    }
    if (status != win::ERROR_MORE_DATA) return LookupOf(status);
    size = read;
  }
  return Lookup::kFailed;
}

Lookup FindValue(RegKeyW& key, const char16_t* name) {
  if (key.handle() == nullptr) return Lookup::kFailed;
  return LookupOf(reg::RegQueryValueExW(key.handle(), name, nullptr, nullptr, nullptr, nullptr));
}

bool WriteRawValue(RegKeyW& key, const char16_t* name, const RawValue& value) {
  if (key.handle() == nullptr || !key.IsWritable()) return false;
  return SetValueExactly(key.handle(), name, value.type, value.data.data(),
                         static_cast<win::DWORD>(value.data.size())) == win::ERROR_SUCCESS;
}
