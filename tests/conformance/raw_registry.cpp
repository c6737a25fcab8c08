#include "conformance/raw_registry.h"

#include <gtest/gtest.h>

namespace reg_test {
namespace {

// An open key that closes itself.
class RawKey {
 public:
  RawKey(win::HKEY root, const std::u16string& path, bool create) {
    const win::LONG status =
        create ? win::RegCreateKeyExW(root, path.c_str(), 0, nullptr, win::REG_OPTION_NON_VOLATILE,
                                      win::KEY_ALL_ACCESS, nullptr, &key_, nullptr)
               : win::RegOpenKeyExW(root, path.c_str(), 0, win::KEY_ALL_ACCESS, &key_);
    if (status != win::ERROR_SUCCESS) key_ = nullptr;
  }
  ~RawKey() {
    if (key_) win::RegCloseKey(key_);
  }
  RawKey(const RawKey&) = delete;
  RawKey& operator=(const RawKey&) = delete;
  win::HKEY get() const { return key_; }

 private:
  win::HKEY key_ = nullptr;
};

bool QueryCounts(win::HKEY root, const std::u16string& path, win::DWORD* sub_keys,
                 win::DWORD* values) {
  RawKey key(root, path, false);
  return key.get() &&
         win::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, sub_keys, nullptr, nullptr,
                               values, nullptr, nullptr, nullptr, nullptr) == win::ERROR_SUCCESS;
}

}  // namespace

void CreateKey(win::HKEY root, const std::u16string& path) {
  RawKey key(root, path, true);
  ASSERT_NE(key.get(), nullptr);
}

bool KeyExists(win::HKEY root, const std::u16string& path) {
  return RawKey(root, path, false).get() != nullptr;
}

int SubKeyCount(win::HKEY root, const std::u16string& path) {
  win::DWORD sub_keys = 0, values = 0;
  return QueryCounts(root, path, &sub_keys, &values) ? static_cast<int>(sub_keys) : -1;
}

int ValueCount(win::HKEY root, const std::u16string& path) {
  win::DWORD sub_keys = 0, values = 0;
  return QueryCounts(root, path, &sub_keys, &values) ? static_cast<int>(values) : -1;
}

void PutValue(win::HKEY root, const std::u16string& path, const std::u16string& name,
              win::DWORD type, const std::vector<win::BYTE>& data) {
  RawKey key(root, path, true);
  ASSERT_NE(key.get(), nullptr);
  ASSERT_EQ(win::RegSetValueExW(key.get(), name.c_str(), 0, type, data.data(),
                                static_cast<win::DWORD>(data.size())),
            win::ERROR_SUCCESS);
}

void PutDword(win::HKEY root, const std::u16string& path, const std::u16string& name,
              win::DWORD value) {
  PutValue(root, path, name, win::REG_DWORD, DwordBytes(value));
}

void PutText(win::HKEY root, const std::u16string& path, const std::u16string& name,
             win::DWORD type, const std::u16string& text, bool terminated) {
  if (terminated) return PutValue(root, path, name, type, Bytes(text, true));
  // Windows stores a NUL that follows text data as part of it; a non-NUL
  // unit after the data keeps it unterminated.
  std::vector<win::BYTE> data = Bytes(text + u"#", false);
  RawKey key(root, path, true);
  ASSERT_NE(key.get(), nullptr);
  ASSERT_EQ(win::RegSetValueExW(key.get(), name.c_str(), 0, type, data.data(),
                                static_cast<win::DWORD>(data.size() - sizeof(char16_t))),
            win::ERROR_SUCCESS);
}

StoredValue GetValue(win::HKEY root, const std::u16string& path, const std::u16string& name) {
  StoredValue value;
  RawKey key(root, path, false);
  if (!key.get()) return value;
  win::DWORD size = 0;
  if (win::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
      win::ERROR_SUCCESS) {
    return value;
  }
  // One spare unit: Windows may add a terminator after text data.
  value.data.resize(size + 2);
  if (win::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, value.data.data(),
                            &size) != win::ERROR_SUCCESS) {
    return value;
  }
  value.data.resize(size);
  value.found = true;
  return value;
}

std::vector<win::BYTE> Bytes(const std::u16string& text, bool terminated) {
  std::vector<win::BYTE> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<win::BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<win::BYTE>(unit >> 8));
  }
  if (terminated) bytes.insert(bytes.end(), 2, 0);
  return bytes;
}

std::vector<win::BYTE> DwordBytes(win::DWORD value) {
  return {static_cast<win::BYTE>(value), static_cast<win::BYTE>(value >> 8),
          static_cast<win::BYTE>(value >> 16), static_cast<win::BYTE>(value >> 24)};
}

}  // namespace reg_test
