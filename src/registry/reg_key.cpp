#include "registry/reg_key.h"

#include <cstdint>

#include "registry/reg_calls.h"

namespace {

constexpr win::REGSAM kWriteBits = win::KEY_WRITE;  // READ_CONTROL | SET_VALUE | CREATE_SUB_KEY
constexpr win::DWORD kMissingDword = 0xFFFFFFFFu;

}  // namespace

char16_t RegKeyW::string_buffer_[RegKeyW::kStringCapacity];
win::BYTE RegKeyW::data_buffer_[RegKeyW::kDataCapacity];

RegKeyW::RegKeyW(win::HKEY parent, const char16_t* sub_key, win::REGSAM access, bool create)
    : parent_(parent), access_(access) {
  Open(sub_key, parent, create, access);
}

RegKeyW::~RegKeyW() { RegKeyW::Close(); }

win::HKEY RegKeyW::Open(const char16_t* sub_key, win::HKEY parent, bool create,
                        win::REGSAM access) {
  if (!sub_key) {
    // Wrapping: the object owns the parent handle from now on.
    key_ = parent;
    return key_;
  }
  name_.Assign(sub_key);
  if (create) {
    win::DWORD disposition = 0;
    status_ = reg::RegCreateKeyExW(parent, name_.get(), 0, nullptr, win::REG_OPTION_NON_VOLATILE,
                                   access, nullptr, &key_, &disposition);
    created_ = status_ == win::ERROR_SUCCESS && disposition == win::REG_CREATED_NEW_KEY;
  } else {
    status_ = reg::RegOpenKeyExW(parent, name_.get(), 0, access, &key_);
  }
  if (status_ != win::ERROR_SUCCESS) key_ = nullptr;
  return key_;
}

void RegKeyW::Close() {
  if (key_) {
    reg::RegCloseKey(key_);
    key_ = nullptr;
  }
  name_.Assign(nullptr);
  parent_ = nullptr;
}

bool RegKeyW::IsWritable() {
  // Looks at the parent, not the handle: a key that failed to open can still
  // be deleted by name.
  return parent_ != nullptr && (access_ & kWriteBits) == kWriteBits;
}

const char16_t* RegKeyW::GetString(const char16_t* name) {
  string_buffer_[0] = u'\0';
  if (!key_) return string_buffer_;
  win::DWORD type = win::REG_NONE;
  win::DWORD size = sizeof(string_buffer_);
  const win::LONG status = reg::RegQueryValueExW(
      key_, name, nullptr, &type, reinterpret_cast<win::BYTE*>(string_buffer_), &size);
  // On failure (too small a buffer included) the buffer content is undefined,
  // and other types are no text.
  if (status != win::ERROR_SUCCESS || (type != win::REG_SZ && type != win::REG_EXPAND_SZ)) {
    string_buffer_[0] = u'\0';
    return string_buffer_;
  }
  // Stored data need not end in a NUL; data filling the whole buffer loses
  // its last character to the terminator.
  const win::DWORD characters = size / sizeof(char16_t);
  string_buffer_[characters < kStringCapacity ? characters : kStringCapacity - 1] = u'\0';

  if (type == win::REG_EXPAND_SZ) {
    const WideStr unexpanded(string_buffer_);
    const win::DWORD needed =
        win::ExpandEnvironmentStringsW(unexpanded.get(), string_buffer_, kStringCapacity);
    if (needed == 0 || needed > kStringCapacity) string_buffer_[0] = u'\0';
  }
  return string_buffer_;
}

win::DWORD RegKeyW::GetDword(const char16_t* name) {
  if (!key_) return kMissingDword;
  win::DWORD type = win::REG_NONE;
  win::DWORD data = 0;
  win::DWORD size = sizeof(data);
  const win::LONG status =
      reg::RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<win::BYTE*>(&data), &size);
  if (status != win::ERROR_SUCCESS || type != win::REG_DWORD) return kMissingDword;
  return data;
}

const win::BYTE* RegKeyW::GetBinary(const char16_t* name, win::DWORD* size) {
  if (size) *size = 0;
  if (!key_) return nullptr;
  win::DWORD type = win::REG_NONE;
  win::DWORD read = kDataCapacity;
  const win::LONG status = reg::RegQueryValueExW(key_, name, nullptr, &type, data_buffer_, &read);
  if (status != win::ERROR_SUCCESS || type != win::REG_BINARY) return nullptr;
  if (size) *size = read;
  return data_buffer_;
}

bool RegKeyW::SetBinary(const char16_t* name, const void* data, win::DWORD size) {
  if (!key_ || !IsWritable()) return false;
  return reg::RegSetValueExW(key_, name, 0, win::REG_BINARY, static_cast<const win::BYTE*>(data),
                             size) == win::ERROR_SUCCESS;
}

bool RegKeyW::SetDword(const char16_t* name, win::DWORD value) {
  if (!key_ || !IsWritable()) return false;
  return reg::RegSetValueExW(key_, name, 0, win::REG_DWORD,
                             reinterpret_cast<const win::BYTE*>(&value),
                             sizeof(value)) == win::ERROR_SUCCESS;
}

bool RegKeyW::SetString(const char16_t* name, const char16_t* text) {
  if (!key_ || !IsWritable()) return false;
  if (!text) text = u"";
  // The stored data includes the terminator.
  std::uint64_t characters = 1;
  while (text[characters - 1] != u'\0') ++characters;
  const std::uint64_t bytes = characters * sizeof(char16_t);
  if (bytes > 0xFFFFFFFFull) return false;
  return reg::RegSetValueExW(key_, name, 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>(text),
                             static_cast<win::DWORD>(bytes)) == win::ERROR_SUCCESS;
}

bool RegKeyW::DeleteValue(const char16_t* name) {
  if (!key_ || !IsWritable()) return false;
  return reg::RegDeleteValueW(key_, name) == win::ERROR_SUCCESS;
}

win::DWORD RegKeyW::GetValueInfo(const char16_t* name, win::DWORD* size) {
  if (!key_) return win::REG_NONE;
  win::DWORD type = win::REG_NONE;
  if (reg::RegQueryValueExW(key_, name, nullptr, &type, nullptr, size) != win::ERROR_SUCCESS) {
    return win::REG_NONE;
  }
  return type;
}

win::DWORD RegKeyW::GetValueType(const char16_t* name) {
  if (!key_) return win::REG_NONE;
  win::DWORD type = win::REG_NONE;
  if (reg::RegQueryValueExW(key_, name, nullptr, &type, nullptr, nullptr) != win::ERROR_SUCCESS) {
    return win::REG_NONE;
  }
  return type;
}

bool RegKeyW::HasValue(const char16_t* name) { return GetValueType(name) != win::REG_NONE; }
