// Fixture for tests that run on both kinds of machine: natively once as
// 32-bit Windows and once as WOW64 (the parameter: true for WOW64); under
// Wine once, as the prefix decides.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win_api.h"
#include "support/test_registry.h"

class MachineTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { test_registry::SetUp(GetParam()); }
  void TearDown() override { test_registry::TearDown(); }

  bool Wow64() const { return GetParam(); }
};

// The machines to run on: both natively, the real one under Wine.
inline std::vector<bool> Machines() {
  if (test_registry::IsEmulated()) return {false, true};
  return {test_registry::IsWow64()};
}

// Names the instances "Windows32" and "Wow64".
inline std::string MachineName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Wow64" : "Windows32";
}

#define INSTANTIATE_MACHINE_TEST(fixture) \
  INSTANTIATE_TEST_SUITE_P(Machines, fixture, ::testing::ValuesIn(Machines()), MachineName)

// An owned registry handle, closed at the end of the scope.
class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() { Close(); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  win::HKEY* Receive() {
    Close();
    return &key_;
  }
  win::HKEY get() const { return key_; }
  win::LONG Close() {
    win::LONG result = win::ERROR_SUCCESS;
    if (key_) result = win::RegCloseKey(key_);
    key_ = nullptr;
    return result;
  }

 private:
  win::HKEY key_ = nullptr;
};

// Small helpers for registry tests.
namespace registry_test {

inline win::LONG Create(win::HKEY parent, const std::u16string& path, ScopedKey* key,
                        win::REGSAM access = win::KEY_ALL_ACCESS) {
  return win::RegCreateKeyExW(parent, path.c_str(), 0, nullptr, win::REG_OPTION_NON_VOLATILE,
                              access, nullptr, key->Receive(), nullptr);
}

inline win::LONG Open(win::HKEY parent, const std::u16string& path, ScopedKey* key,
                      win::REGSAM access = win::KEY_ALL_ACCESS) {
  return win::RegOpenKeyExW(parent, path.c_str(), 0, access, key->Receive());
}

// Result of opening |path| read-only and closing it again.
inline win::LONG Probe(win::HKEY parent, const std::u16string& path, win::REGSAM view = 0) {
  ScopedKey key;
  return Open(parent, path, &key, win::KEY_READ | view);
}

inline win::LONG SetDword(win::HKEY key, const char16_t* name, win::DWORD value) {
  return win::RegSetValueExW(key, name, 0, win::REG_DWORD,
                             reinterpret_cast<const win::BYTE*>(&value), sizeof value);
}

inline win::LONG SetBytes(win::HKEY key, const char16_t* name, win::DWORD type, const void* data,
                          win::DWORD size) {
  return win::RegSetValueExW(key, name, 0, type, static_cast<const win::BYTE*>(data), size);
}

// Sub-key names in enumeration order.
inline std::vector<std::u16string> SubKeys(win::HKEY key) {
  std::vector<std::u16string> names;
  char16_t name[256];
  for (win::DWORD i = 0;; ++i) {
    win::DWORD length = 256;
    if (win::RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        win::ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  return names;
}

// Value names in enumeration order.
inline std::vector<std::u16string> ValueNames(win::HKEY key) {
  std::vector<std::u16string> names;
  char16_t name[256];
  for (win::DWORD i = 0;; ++i) {
    win::DWORD length = 256;
    if (win::RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        win::ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  return names;
}

}  // namespace registry_test
