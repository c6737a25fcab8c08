// Direct registry access for tests, bypassing RegKeyW, so that tests set up
// and check the registry independently of the code under test.
#pragma once

#include <string>
#include <vector>

#include "platform/win_api.h"

namespace reg_test {

struct StoredValue {
  bool found = false;
  win::DWORD type = win::REG_NONE;
  std::vector<win::BYTE> data;
};

// Creates |path| below |root| with every missing key on the way.
void CreateKey(win::HKEY root, const std::u16string& path);
bool KeyExists(win::HKEY root, const std::u16string& path);
// Sub-key and value counts; -1 when the key cannot be queried.
int SubKeyCount(win::HKEY root, const std::u16string& path);
int ValueCount(win::HKEY root, const std::u16string& path);

// Stores exactly |data| with |type|, creating the key when missing.
void PutValue(win::HKEY root, const std::u16string& path, const std::u16string& name,
              win::DWORD type, const std::vector<win::BYTE>& data);
void PutDword(win::HKEY root, const std::u16string& path, const std::u16string& name,
              win::DWORD value);
// The text's code units, with the terminator only when |terminated|.
void PutText(win::HKEY root, const std::u16string& path, const std::u16string& name,
             win::DWORD type, const std::u16string& text, bool terminated = true);
StoredValue GetValue(win::HKEY root, const std::u16string& path, const std::u16string& name);

std::vector<win::BYTE> Bytes(const std::u16string& text, bool terminated);
std::vector<win::BYTE> DwordBytes(win::DWORD value);

}  // namespace reg_test
