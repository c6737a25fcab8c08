// A fresh scratch key below HKEY_CURRENT_USER for each registry layer test,
// open as scratch_ so that keys under test can be opened below it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "conformance/raw_registry.h"
#include "platform/win_api.h"
#include "registry/machine_write_probe_for_testing.h"
#include "support/test_registry.h"

class RegistryLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test_registry::SetUp(false);
    ResetMachineWriteProbeForTesting();
    root_ = test_registry::UserScratch();
    ASSERT_EQ(win::RegCreateKeyExW(win::HKEY_CURRENT_USER, root_.c_str(), 0, nullptr,
                                   win::REG_OPTION_NON_VOLATILE, win::KEY_ALL_ACCESS, nullptr,
                                   &scratch_, nullptr),
              win::ERROR_SUCCESS);
  }
  void TearDown() override {
    if (scratch_) win::RegCloseKey(scratch_);
    test_registry::TearDown();
  }

  // Path below HKEY_CURRENT_USER of |relative| below the scratch key.
  std::u16string Path(const std::u16string& relative) const { return root_ + u"\\" + relative; }
  bool Exists(const std::u16string& relative) const {
    return reg_test::KeyExists(win::HKEY_CURRENT_USER, Path(relative));
  }
  void Create(const std::u16string& relative) {
    reg_test::CreateKey(win::HKEY_CURRENT_USER, Path(relative));
  }
  void PutDword(const std::u16string& relative, const std::u16string& name, win::DWORD value) {
    reg_test::PutDword(win::HKEY_CURRENT_USER, Path(relative), name, value);
  }
  void PutText(const std::u16string& relative, const std::u16string& name, win::DWORD type,
               const std::u16string& text, bool terminated = true) {
    reg_test::PutText(win::HKEY_CURRENT_USER, Path(relative), name, type, text, terminated);
  }
  void PutValue(const std::u16string& relative, const std::u16string& name, win::DWORD type,
                const std::vector<win::BYTE>& data) {
    reg_test::PutValue(win::HKEY_CURRENT_USER, Path(relative), name, type, data);
  }
  reg_test::StoredValue Get(const std::u16string& relative, const std::u16string& name) const {
    return reg_test::GetValue(win::HKEY_CURRENT_USER, Path(relative), name);
  }

  std::u16string root_;
  win::HKEY scratch_ = nullptr;
};
