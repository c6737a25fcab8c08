// The JSON form of the report (declared in status_format.h).
#include <cstring>
#include <string>
#include <vector>

#include "registry/install_log.h"
#include "status_format.h"
#include "status_words.h"

namespace {

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

std::string JsonBool(bool value) { return value ? "true" : "false"; }

// |root| is the full name of the row's root key.
std::string JsonRow(const StatusRow& row, const std::string& root, const std::string& indent) {
  std::string json = indent + "{";
  json += "\"level\": " + JsonString(std::string(LevelName(row.level)));
  json += ", \"view\": " + JsonString(std::string(ViewName(row.view)));
  json += ", \"release\": " + JsonString(ReleaseName(row.release));
  json += ", \"product_key\": " + JsonString(row.product_key);
  json += ", \"settings_key\": " + JsonString(root + "\\" + Utf8(row.settings_path));
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
  json += ", \"per_user_copy\": " + JsonBool(row.per_user_copy);
  json += ", \"incomplete\": " + JsonBool(row.incomplete);
  return json + "}";
}

std::string MachineOrCurrentUser(ReportLevel level) {
  return level == ReportLevel::kMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// The "settings_keys", "unreadable" and "summary" members of one block, the
// rows' roots named by |root| (null: by their level); |indent| is the
// members'.
std::string JsonBlock(const std::vector<StatusRow>& rows,
                      const std::vector<std::u16string>& unreadable, const std::string* root,
                      const std::string& indent) {
  const StatusSummary summary = Summarise(rows);
  std::string json = indent + "\"settings_keys\": [";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string row_root = root != nullptr ? *root : MachineOrCurrentUser(rows[i].level);
    json += (i == 0 ? "\n" : ",\n") + JsonRow(rows[i], row_root, indent + "  ");
  }
  json += rows.empty() ? "],\n" : "\n" + indent + "],\n";
  json += indent + "\"unreadable\": [";
  for (std::size_t i = 0; i < unreadable.size(); ++i) {
    json += (i == 0 ? "" : ", ") + JsonString(unreadable[i]);
  }
  json += "],\n";
  json += indent + "\"summary\": {\"settings_keys\": " + std::to_string(rows.size()) +
          ", \"switched_off\": " + std::to_string(summary.switched_off) +
          ", \"will_be_restored\": " + std::to_string(summary.will_be_restored) +
          ", \"per_user_copies\": " + std::to_string(summary.per_user_copies) +
          ", \"unreadable\": " + std::to_string(unreadable.size()) +
          ", \"text\": " + JsonString(SummaryLine(summary)) + "}";
  return json;
}

std::string JsonError(win::LONG error) {
  return "{\"code\": " + std::to_string(error) +
         ", \"name\": " + JsonString(std::string(ErrorName(error))) + "}";
}

std::string JsonProfile(const ProfileStatus& profile) {
  std::string json = "    {\n";
  json += "      \"sid\": " + JsonString(profile.sid) + ",\n";
  json += "      \"hive\": " + JsonString(std::string(ReachName(profile.reach))) + ",\n";
  json += "      \"hive_key\": " + JsonString(profile.hive_key) + ",\n";
  json += "      \"file\": " + (profile.file.empty() ? "null" : JsonString(profile.file)) + ",\n";
  const bool failed = profile.reach == HiveReach::kUnreachable;
  json +=
      "      \"failed_call\": " + (failed ? JsonString(std::string(profile.failed_call)) : "null") +
      ",\n";
  json += "      \"error\": " + (failed ? JsonError(profile.error) : "null") + ",\n";
  const std::string root = Utf8(profile.hive_key);
  return json + JsonBlock(profile.rows, profile.unreadable, &root, "      ") + "\n    }";
}

std::string JsonProfiles(const StatusReport& report) {
  std::string json = "  \"current_user\": ";
  json += report.current_user_sid.empty()
              ? "null"
              : "{\"sid\": " + JsonString(report.current_user_sid) + "}";
  json += ",\n  \"profiles\": [";
  for (std::size_t i = 0; i < report.profiles.size(); ++i) {
    json += (i == 0 ? "\n" : ",\n") + JsonProfile(report.profiles[i]);
  }
  json += report.profiles.empty() ? "]" : "\n  ]";
  json += ",\n  \"profiles_failed\": ";
  if (report.persons_failed_call == nullptr) return json + "null";
  return json + "{\"call\": " + JsonString(std::string(report.persons_failed_call)) +
         ", \"error\": " + JsonError(report.persons_error) + "}";
}

std::string JsonCheck(const CheckOutcome& check) {
  return "  \"check\": {\"passed\": " + JsonBool(check.passed()) +
         ", \"settings_on\": " + std::to_string(check.settings_on) +
         ", \"settings_unreadable\": " + std::to_string(check.settings_unreadable) +
         ", \"unreadable_keys\": " + std::to_string(check.unreadable_keys) +
         ", \"unreachable_profiles\": " + std::to_string(check.unreachable_profiles) +
         ", \"profiles_unknown\": " + JsonBool(check.persons_unknown) +
         ", \"text\": " + JsonString(CheckLine(check)) + "}";
}

}  // namespace

std::string StatusJson(const StatusReport& report, const CheckOutcome* check) {
  std::string json = "{\n";
  json += std::string("  \"windows\": ") + (report.wow64 ? "\"64-bit\"" : "\"32-bit\"") + ",\n";
  json += JsonBlock(report.rows, report.unreadable, nullptr, "  ");
  if (report.all_users) json += ",\n" + JsonProfiles(report);
  if (check != nullptr) json += ",\n" + JsonCheck(*check);
  return json + "\n}\n";
}
