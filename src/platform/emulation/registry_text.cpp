// The compact text form of the emulated registry: Load and Dump.
#include <cstdio>
#include <sstream>
#include <stdexcept>

#include "platform/emulation/allocation_faults.h"
#include "platform/emulation/hive_files.h"
#include "platform/emulation/machine_state.h"
#include "platform/emulation/user_hives.h"

namespace emu {
namespace detail {
namespace {

[[noreturn]] void Fail(const std::string& line, const char* why) {
  throw std::invalid_argument(std::string("emu::Load: ") + why + ": " + line);
}

// ---- Dump ----------------------------------------------------------------

bool NeedsQuotes(const std::string& name) {
  if (name.empty() || name == "@") return true;
  if (name.front() == ' ' || name.front() == '\t' || name.front() == '"' || name.front() == '#') {
    return true;
  }
  return name.find_first_of("= \t\\") != std::string::npos;
}

std::string NameText(const std::u16string& name) {
  if (name.empty()) return "@";
  const std::string text = ToUtf8(name);
  if (!NeedsQuotes(text)) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// The text of REG_SZ-like data, if it is one terminated line of text.
bool AsLine(const std::vector<win::BYTE>& data, std::u16string* text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const std::size_t units = data.size() / 2;
  text->clear();
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t unit = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    const bool last = i + 1 == units;
    if ((unit == 0) != last || unit == u'\n' || unit == u'\r') return false;
    if (!last) *text += unit;
  }
  return true;
}

std::string Hex(const std::vector<win::BYTE>& data) {
  std::string out;
  char byte[4];
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    if (i) out += ',';
    out += byte;
  }
  return out;
}

std::string DataText(const Value& value) {
  std::u16string text;
  if (value.type == win::REG_DWORD && value.data.size() == 4) {
    const unsigned long number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                 (static_cast<unsigned long>(value.data[3]) << 24);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%lx", number);
    return std::string("dword:") + buffer;
  }
  if (value.type == win::REG_SZ && AsLine(value.data, &text)) return "sz:" + ToUtf8(text);
  if (value.type == win::REG_EXPAND_SZ && AsLine(value.data, &text)) {
    return "expand_sz:" + ToUtf8(text);
  }
  if (value.type == win::REG_BINARY) return "hex:" + Hex(value.data);
  if (value.type == win::REG_NONE && value.data.empty()) return "none:";
  return "hex(" + std::to_string(value.type) + "):" + Hex(value.data);
}

void DumpKey(const Key& key, const std::string& path, std::string* out) {
  *out += path + "\n";
  for (const Value& value : key.values) {
    *out += "  " + NameText(value.name) + " = " + DataText(value) + "\n";
  }
  for (const auto& entry : key.children) {
    DumpKey(*entry.second, path + "\\" + ToUtf8(entry.second->name), out);
  }
}

// ---- Load ----------------------------------------------------------------

// The key a key line's root names, and where the path below it starts: the
// backslash after the root, or npos for the root itself.
Key& LoadRoot(const std::string& line, std::size_t* start) {
  if (line[0] == '<') {
    const std::size_t close = line.find('>');
    if (close == std::string::npos || close == 1) Fail(line, "unterminated hive file name");
    *start = close + 1 < line.size() ? close + 1 : std::string::npos;
    if (*start != std::string::npos && line[*start] != '\\') Fail(line, "text after hive file");
    return HiveFile(FromUtf8(line.substr(1, close - 1)));
  }
  const std::size_t slash = line.find('\\');
  const std::string name = line.substr(0, slash);
  *start = slash;
  if (name == "HKLM" || name == "HKEY_LOCAL_MACHINE") return *State().hklm;
  if (name == "HKCU" || name == "HKEY_CURRENT_USER") return *State().hkcu;
  if (name != "HKU" && name != "HKEY_USERS") Fail(line, "unknown root");
  // A SID names the hive below HKEY_USERS.
  const std::size_t end = slash == std::string::npos ? slash : line.find('\\', slash + 1);
  const std::u16string sid =
      slash == std::string::npos ? u"" : FromUtf8(line.substr(slash + 1, end - slash - 1));
  if (sid.empty()) Fail(line, "HKU without a SID");
  *start = end;
  return UserHive(sid);
}

Key& LoadKey(const std::string& line) {
  std::size_t start = 0;
  Key* key = &LoadRoot(line, &start);
  while (start != std::string::npos) {
    const std::size_t end = line.find('\\', start + 1);
    const std::u16string name = FromUtf8(line.substr(start + 1, end - start - 1));
    if (!name.empty()) {
      Key* child = FindChild(*key, name);
      key = child ? child : &AddChild(*key, name);
    }
    start = end;
  }
  return *key;
}

std::u16string ParseName(const std::string& line, std::size_t* pos) {
  std::string name;
  if (line[*pos] == '"') {
    std::size_t i = *pos + 1;
    for (; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      name += line[i];
    }
    if (i >= line.size()) Fail(line, "unterminated name");
    *pos = i + 1;
    return FromUtf8(name);
  }
  const std::size_t equals = line.find('=', *pos);
  if (equals == std::string::npos) Fail(line, "missing '='");
  name = line.substr(*pos, equals - *pos);
  name.erase(name.find_last_not_of(" \t") + 1);
  *pos = equals;
  return name == "@" ? std::u16string() : FromUtf8(name);
}

std::vector<win::BYTE> ParseHex(const std::string& text, const std::string& line) {
  std::vector<win::BYTE> data;
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    item.erase(0, item.find_first_not_of(" \t"));
    item.erase(item.find_last_not_of(" \t") + 1);
    if (item.empty() && data.empty() && in.eof()) break;
    std::size_t used = 0;
    unsigned long byte = 0;
    try {
      byte = std::stoul(item, &used, 16);
    } catch (const std::logic_error&) {
      Fail(line, "bad hex byte");
    }
    if (used != item.size() || byte > 0xFF) Fail(line, "bad hex byte");
    data.push_back(static_cast<win::BYTE>(byte));
  }
  return data;
}

std::vector<win::BYTE> TextBytes(const std::u16string& text) {
  std::vector<win::BYTE> data;
  for (char16_t unit : text) {
    data.push_back(static_cast<win::BYTE>(unit & 0xFF));
    data.push_back(static_cast<win::BYTE>(unit >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

void LoadValue(Key& key, const std::string& line) {
  std::size_t pos = line.find_first_not_of(" \t");
  const std::u16string name = ParseName(line, &pos);
  pos = line.find_first_not_of(" \t", pos);
  if (pos == std::string::npos || line[pos] != '=') Fail(line, "missing '='");
  pos = line.find_first_not_of(" \t", pos + 1);
  const std::size_t colon = pos == std::string::npos ? pos : line.find(':', pos);
  if (colon == std::string::npos) Fail(line, "missing type");
  const std::string type = line.substr(pos, colon - pos);
  const std::string data = line.substr(colon + 1);
  if (type == "dword") {
    std::size_t used = 0;
    unsigned long long number = 0;
    try {
      number = std::stoull(data, &used, 0);
    } catch (const std::logic_error&) {
      Fail(line, "bad dword");
    }
    if (used != data.size() || number > 0xFFFFFFFFull) Fail(line, "bad dword");
    SetValue(key, name, win::REG_DWORD,
             {static_cast<win::BYTE>(number), static_cast<win::BYTE>(number >> 8),
              static_cast<win::BYTE>(number >> 16), static_cast<win::BYTE>(number >> 24)});
  } else if (type == "sz") {
    SetValue(key, name, win::REG_SZ, TextBytes(FromUtf8(data)));
  } else if (type == "expand_sz") {
    SetValue(key, name, win::REG_EXPAND_SZ, TextBytes(FromUtf8(data)));
  } else if (type == "hex") {
    SetValue(key, name, win::REG_BINARY, ParseHex(data, line));
  } else if (type == "none") {
    if (!data.empty()) Fail(line, "data after none:");
    SetValue(key, name, win::REG_NONE, {});
  } else if (type.size() > 5 && type.compare(0, 4, "hex(") == 0 && type.back() == ')') {
    const std::string number = type.substr(4, type.size() - 5);
    std::size_t used = 0;
    unsigned long long value_type = 0;
    try {
      value_type = std::stoull(number, &used, 0);
    } catch (const std::logic_error&) {
      Fail(line, "bad type number");
    }
    if (used != number.size() || value_type > 0xFFFFFFFFull) Fail(line, "bad type number");
    SetValue(key, name, static_cast<win::DWORD>(value_type), ParseHex(data, line));
  } else {
    Fail(line, "unknown type");
  }
}

}  // namespace
}  // namespace detail

void Load(const std::string& text) {
  detail::AllocationExemption exemption;
  std::istringstream in(text);
  std::string line;
  detail::Key* key = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    if (first == 0) {
      key = &detail::LoadKey(line);
    } else {
      if (!key) detail::Fail(line, "value before any key");
      detail::LoadValue(*key, line);
    }
  }
}

std::string Dump() {
  detail::AllocationExemption exemption;
  const detail::MachineState& state = detail::State();
  std::string out;
  detail::DumpKey(*state.hkcu, "HKCU", &out);
  detail::DumpKey(*state.hklm, "HKLM", &out);
  for (const auto& entry : state.hku->children) {
    const detail::Key& hive = *entry.second;
    if (&hive != state.hkcu.get() && state.loaded_hives.count(entry.first) == 0) {
      detail::DumpKey(hive, detail::PhysicalPath(hive), &out);
    }
  }
  for (const auto& entry : state.hive_files) {
    detail::DumpKey(*entry.second, detail::HiveFileName(*entry.second), &out);
  }
  return out;
}

}  // namespace emu
