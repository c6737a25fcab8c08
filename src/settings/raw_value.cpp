#include "settings/raw_value.h"

#include "registry/exact_value.h"

namespace {

// The value can grow between asking for its size and reading it; a few
// rounds are enough for a value that is not being rewritten constantly.
constexpr int kReadAttempts = 4;

}  // namespace

bool ReadRawValue(RegKeyW& key, const char16_t* name, RawValue* value) {
  if (key.handle() == nullptr) return false;
  win::DWORD size = 0;
  if (win::RegQueryValueExW(key.handle(), name, nullptr, nullptr, nullptr, &size) !=
      win::ERROR_SUCCESS) {
    return false;
  }
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    // At least one byte, so that data() points somewhere for a value of size 0.
    value->data.assign(size > 0 ? size : 1, 0);
    win::DWORD type = win::REG_NONE;
    win::DWORD read = size;
    const win::LONG status =
        win::RegQueryValueExW(key.handle(), name, nullptr, &type, value->data.data(), &read);
    if (status == win::ERROR_SUCCESS) {
      value->type = type;
      value->data.resize(read);
      return true;
    }
    if (status != win::ERROR_MORE_DATA) return false;
    size = read;
  }
  return false;
}

bool WriteRawValue(RegKeyW& key, const char16_t* name, const RawValue& value) {
  if (key.handle() == nullptr || !key.IsWritable()) return false;
  return SetValueExactly(key.handle(), name, value.type, value.data.data(),
                         static_cast<win::DWORD>(value.data.size())) == win::ERROR_SUCCESS;
}
