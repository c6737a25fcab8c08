#include "status_format.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::string Hex2(unsigned byte) {
  char text[3];
  std::snprintf(text, sizeof(text), "%02x", byte & 0xFFu);
  return text;
}

win::DWORD DwordOf(const RawValue& value) {
  win::DWORD number = 0;
  std::memcpy(&number, value.data.data(), sizeof(number));
  return number;
}

bool IsFourByteDword(const RawValue& value) {
  return value.type == win::REG_DWORD && value.data.size() == sizeof(win::DWORD);
}

// The text of a REG_SZ that ends in its one terminator, as |text|; false for
// anything reg export would write as hex.
bool PlainString(const RawValue& value, std::u16string* text) {
  const std::size_t size = value.data.size();
  if (value.type != win::REG_SZ || size < 2 || size % 2 != 0) return false;
  text->resize(size / 2);
  std::memcpy(&(*text)[0], value.data.data(), size);
  if (text->back() != 0) return false;
  text->pop_back();
  return text->find(char16_t{0}) == std::u16string::npos;
}

std::string Quoted(const std::u16string& text) {
  std::string quoted = "\"";
  for (const char c : Utf8(text)) {
    if (c == '\\' || c == '"') quoted += '\\';
    if (c == '\n') {
      quoted += "\\n";
      continue;
    }
    quoted += c;
  }
  return quoted + "\"";
}

// What the table shows for a value: a REG_DWORD in decimal, anything else as
// reg export writes it.
std::string Shown(const RawValue& value) {
  if (IsFourByteDword(value)) return std::to_string(DwordOf(value));
  return RegExportData(value);
}

std::string ShownCurrent(const StatusRow& row) {
  if (row.current_found == Lookup::kAbsent) return "-";
  if (row.current_found == Lookup::kFailed) return "?";
  return Shown(row.current);
}

std::string ShownRemoval(const StatusRow& row) {
  std::string text;
  const std::string default_value = std::to_string(row.setting->default_value);
  switch (row.removal) {
    case Removal::kLeave:
      text = "nothing";
      break;
    case Removal::kRestoreSaved:
      text = "saved " + Shown(row.saved);
      break;
    case Removal::kWriteDefault:
      text = "default " + default_value;
      if (row.record == RecordKind::kAbsent) text += " (was missing)";
      break;
    case Removal::kDeleteCopy:
      text = "copy deleted";
      break;
  }
  if (row.incomplete) text += " (partly unreadable)";
  return text;
}

const char* LevelName(ReportLevel level) {
  return level == ReportLevel::kMachine ? "machine" : "user";
}

const char* ViewName(ReportView view) {
  switch (view) {
    case ReportView::k32:
      return "32-bit";
    case ReportView::k64:
      return "64-bit";
    case ReportView::kShared:
      break;
  }
  return "shared";
}

const char* RecordName(RecordKind record) {
  switch (record) {
    case RecordKind::kSaved:
      return "saved";
    case RecordKind::kAbsent:
      return "absent";
    case RecordKind::kNone:
      break;
  }
  return "none";
}

const char* RemovalName(Removal removal) {
  switch (removal) {
    case Removal::kRestoreSaved:
      return "restore-saved";
    case Removal::kWriteDefault:
      return "write-default";
    case Removal::kDeleteCopy:
      return "delete-copy";
    case Removal::kLeave:
      break;
  }
  return "leave";
}

std::string RootName(ReportLevel level) {
  return level == ReportLevel::kMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string Counted(unsigned count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Number of characters the terminal shows for UTF-8 |text|.
std::size_t Width(const std::string& text) {
  std::size_t width = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0u) != 0x80u) ++width;
  }
  return width;
}

std::string Table(const std::vector<std::vector<std::string>>& lines) {
  std::vector<std::size_t> widths;
  for (const auto& line : lines) {
    if (widths.size() < line.size()) widths.resize(line.size(), 0);
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (Width(line[i]) > widths[i]) widths[i] = Width(line[i]);
    }
  }
  std::string table;
  for (const auto& line : lines) {
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) {
      text += line[i];
      if (i + 1 < line.size()) text += std::string(widths[i] - Width(line[i]) + 2, ' ');
    }
    table += text + "\n";
  }
  return table;
}

std::string JsonString(const std::string& utf8) {
  std::string json = "\"";
  for (const char c : utf8) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      json += "\\u00" + Hex2(byte);
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::string JsonString(const std::u16string& text) { return JsonString(Utf8(text)); }

std::string JsonValue(const RawValue& value) {
  std::string json =
      "{\"type\": " + std::to_string(value.type) + ", \"reg\": " + JsonString(RegExportData(value));
  if (IsFourByteDword(value)) json += ", \"dword\": " + std::to_string(DwordOf(value));
  return json + "}";
}

std::string JsonRow(const StatusRow& row) {
  std::string json = "    {";
  json += "\"level\": " + JsonString(std::string(LevelName(row.level)));
  json += ", \"view\": " + JsonString(std::string(ViewName(row.view)));
  json += ", \"release\": " + JsonString(ReleaseName(row.release));
  json += ", \"product_key\": " + JsonString(row.product_key);
  json += ", \"settings_key\": " + JsonString(RootName(row.level) + "\\" + Utf8(row.settings_path));
  json += ", \"setting\": " + JsonString(std::u16string(row.setting->value_name));
  json += ", \"current\": ";
  json += row.current_found == Lookup::kFound ? JsonValue(row.current) : "null";
  json += ", \"record\": " + JsonString(std::string(RecordName(row.record)));
  json += ", \"saved\": ";
  json += row.record == RecordKind::kSaved ? JsonValue(row.saved) : "null";
  json += ", \"removal\": " + JsonString(std::string(RemovalName(row.removal)));
  // The value removal writes.
  json += ", \"restores\": ";
  if (row.removal == Removal::kRestoreSaved) {
    json += JsonValue(row.saved);
  } else if (row.removal == Removal::kWriteDefault) {
    RawValue written;
    written.type = win::REG_DWORD;
    written.data.resize(sizeof(win::DWORD));
    std::memcpy(written.data.data(), &row.setting->default_value, sizeof(win::DWORD));
    json += JsonValue(written);
  } else {
    json += "null";
  }
  json += std::string(", \"per_user_copy\": ") + (row.per_user_copy ? "true" : "false");
  json += std::string(", \"incomplete\": ") + (row.incomplete ? "true" : "false");
  return json + "}";
}

}  // namespace

std::string Utf8(const std::u16string& text) {
  std::string utf8;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | (code >> 6));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      utf8 += static_cast<char>(0xE0 | (code >> 12));
      utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | (code >> 18));
      utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

std::string RegExportData(const RawValue& value) {
  if (IsFourByteDword(value)) {
    char text[16];
    std::snprintf(text, sizeof(text), "dword:%08lx", static_cast<unsigned long>(DwordOf(value)));
    return text;
  }
  std::u16string text;
  if (PlainString(value, &text)) return Quoted(text);
  char prefix[24];
  if (value.type == win::REG_BINARY) {
    std::snprintf(prefix, sizeof(prefix), "hex:");
  } else {
    std::snprintf(prefix, sizeof(prefix), "hex(%lx):", static_cast<unsigned long>(value.type));
  }
  std::string data = prefix;
  for (std::size_t i = 0; i < value.data.size(); ++i) {
    if (i > 0) data += ',';
    data += Hex2(value.data[i]);
  }
  return data;
}

std::string SummaryLine(const StatusSummary& summary) {
  return Counted(summary.switched_off, "setting switched off", "settings switched off") + ", " +
         std::to_string(summary.will_be_restored) + " will be restored, " +
         Counted(summary.per_user_copies, "per-user copy", "per-user copies");
}

std::string StatusText(const StatusReport& report) {
  std::string text = report.wow64
                         ? "Skerrow status: 64-bit Windows, HKEY_LOCAL_MACHINE in both views\n"
                         : "Skerrow status: 32-bit Windows\n";
  if (report.rows.empty()) {
    text += "No settings key of the releases Skerrow handles was found.\n";
  } else {
    std::vector<std::vector<std::string>> lines = {{"Level", "View", "Release", "Product key",
                                                    "Settings key", "Setting", "Now", "On removal",
                                                    "Copy"}};
    for (const StatusRow& row : report.rows) {
      lines.push_back({LevelName(row.level), ViewName(row.view), Utf8(ReleaseName(row.release)),
                       Utf8(row.product_key), Utf8(row.suffix),
                       Utf8(std::u16string(row.setting->value_name)), ShownCurrent(row),
                       ShownRemoval(row), row.per_user_copy ? "yes" : "-"});
    }
    text += "\n" + Table(lines) + "\n";
  }
  for (const std::u16string& where : report.unreadable) {
    text += "Could not read " + Utf8(where) + "\n";
  }
  return text + SummaryLine(Summarise(report)) + "\n";
}

std::string StatusJson(const StatusReport& report) {
  const StatusSummary summary = Summarise(report);
  std::string json = "{\n";
  json += std::string("  \"windows\": ") + (report.wow64 ? "\"64-bit\"" : "\"32-bit\"") + ",\n";
  json += "  \"settings_keys\": [";
  for (std::size_t i = 0; i < report.rows.size(); ++i) {
    json += (i == 0 ? "\n" : ",\n") + JsonRow(report.rows[i]);
  }
  json += report.rows.empty() ? "],\n" : "\n  ],\n";
  json += "  \"unreadable\": [";
  for (std::size_t i = 0; i < report.unreadable.size(); ++i) {
    json += (i == 0 ? "" : ", ") + JsonString(report.unreadable[i]);
  }
  json += "],\n";
  json += "  \"summary\": {\"settings_keys\": " + std::to_string(report.rows.size()) +
          ", \"switched_off\": " + std::to_string(summary.switched_off) +
          ", \"will_be_restored\": " + std::to_string(summary.will_be_restored) +
          ", \"per_user_copies\": " + std::to_string(summary.per_user_copies) +
          ", \"unreadable\": " + std::to_string(report.unreadable.size()) +
          ", \"text\": " + JsonString(SummaryLine(summary)) + "}\n";
  return json + "}\n";
}
