#include "status_format.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "registry/install_log.h"
#include "status_words.h"

namespace {

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

std::string Counted(unsigned count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "RegLoadKeyW failed with ERROR_SHARING_VIOLATION (32)"
std::string FailedCall(const char* call, win::LONG error) {
  return std::string(call) + " failed with " + ErrorName(error) + " (" + std::to_string(error) +
         ")";
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

std::string RowsTable(const std::vector<StatusRow>& rows) {
  std::vector<std::vector<std::string>> lines = {{"Level", "View", "Release", "Product key",
                                                  "Settings key", "Setting", "Now", "On removal",
                                                  "Copy"}};
  for (const StatusRow& row : rows) {
    lines.push_back({LevelName(row.level), ViewName(row.view), Utf8(ReleaseName(row.release)),
                     Utf8(row.product_key), Utf8(row.suffix),
                     Utf8(std::u16string(row.setting->value_name)), ShownCurrent(row),
                     ShownRemoval(row), row.per_user_copy ? "yes" : "-"});
  }
  return Table(lines);
}

// The rows, or that there are none; the keys that could not be read; the
// summary line, after |summary_prefix|.
std::string TextBlock(const std::vector<StatusRow>& rows,
                      const std::vector<std::u16string>& unreadable,
                      const std::string& summary_prefix) {
  std::string text = rows.empty() ? "No settings key of the releases Skerrow handles was found.\n"
                                  : "\n" + RowsTable(rows) + "\n";
  for (const std::u16string& where : unreadable) {
    text += "Could not read " + Utf8(where) + "\n";
  }
  return text + summary_prefix + SummaryLine(Summarise(rows)) + "\n";
}

// "Profile S-1-5-21-...: " and how its hive was reached, then its block.
std::string ProfileText(const ProfileStatus& profile) {
  const std::string sid = Utf8(profile.sid);
  std::string text = "Profile " + sid + ": ";
  switch (profile.reach) {
    case HiveReach::kLoggedOn:
      text += "logged on, " + Utf8(profile.hive_key) + "\n";
      break;
    case HiveReach::kFromFile:
      text += "not logged on, read from " + Utf8(profile.file) + "\n";
      break;
    case HiveReach::kMissing:
      return text +
             (profile.file.empty() ? "no profile folder"
                                   : "no hive, " + Utf8(profile.file) + " is missing") +
             ", nothing to switch\n";
    case HiveReach::kUnreachable:
      text += "could not be reached, " + FailedCall(profile.failed_call, profile.error);
      if (!profile.file.empty()) text += " for " + Utf8(profile.file);
      return text + "; its settings cannot be shown\n";
  }
  return text + TextBlock(profile.rows, profile.unreadable, sid + ": ");
}

std::string ProfilesText(const StatusReport& report) {
  std::string text;
  for (const ProfileStatus& profile : report.profiles) text += "\n" + ProfileText(profile);
  if (report.profiles.empty() && report.persons_failed_call == nullptr) {
    text += "\nNo other person has a profile on this machine.\n";
  }
  if (report.persons_failed_call != nullptr) {
    text += "\nThe people with a profile could not be told: " +
            FailedCall(report.persons_failed_call, report.persons_error) + "\n";
  }
  return text;
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

std::string CheckLine(const CheckOutcome& check) {
  if (check.passed()) return "Check passed: every setting found is switched off";
  std::vector<std::string> reasons;
  if (check.settings_on > 0) {
    reasons.push_back(Counted(check.settings_on, "setting", "settings") + " not switched off");
  }
  if (check.settings_unreadable > 0) {
    reasons.push_back(Counted(check.settings_unreadable, "setting", "settings") +
                      " could not be read");
  }
  if (check.unreadable_keys > 0) {
    reasons.push_back(Counted(check.unreadable_keys, "key", "keys") + " could not be read");
  }
  if (check.unreachable_profiles > 0) {
    reasons.push_back(Counted(check.unreachable_profiles, "profile", "profiles") +
                      " could not be reached, so not shown switched off");
  }
  if (check.persons_unknown) reasons.push_back("the people with a profile could not be told");
  std::string line = "Check failed: ";
  for (std::size_t i = 0; i < reasons.size(); ++i) line += (i == 0 ? "" : ", ") + reasons[i];
  return line;
}

std::string StatusText(const StatusReport& report, const CheckOutcome* check) {
  std::string text = report.wow64
                         ? "Skerrow status: 64-bit Windows, HKEY_LOCAL_MACHINE in both views\n"
                         : "Skerrow status: 32-bit Windows\n";
  if (!report.current_user_sid.empty()) {
    text += "Current user " + Utf8(report.current_user_sid) +
            ": HKEY_CURRENT_USER, the user rows below\n";
  }
  text += TextBlock(report.rows, report.unreadable, "");
  if (report.all_users) text += ProfilesText(report);
  if (check != nullptr) text += "\n" + CheckLine(*check) + "\n";
  return text;
}
