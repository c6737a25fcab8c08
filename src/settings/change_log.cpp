#include "settings/change_log.h"

#include "registry/install_log.h"
#include "registry/reg_calls.h"

namespace {

// Data bytes shown of a binary value before the line says how many more.
constexpr win::DWORD kShownBytes = 32;

bool copy_made = false;

// Another person's hive, open for an all-users run, and its name.
win::HKEY user_hive = nullptr;
const char16_t* user_hive_name = nullptr;

bool IsUserHive(const win::HKEY__* root) {
  return root == win::HKEY_CURRENT_USER || (root != nullptr && root == user_hive);
}

LogLine& Inside(LogLine& line, const char16_t* text) {
  for (const char16_t* c = text; c != nullptr && *c != 0; ++c) line.Inside(*c);
  return line;
}

LogLine& Key(LogLine& line, win::HKEY root, const char16_t* path, win::REGSAM view) {
  // The path is quoted as a whole; the root goes into the quotes.
  LogLine& keyed = line.Text(" key=\"");
  if (root == win::HKEY_LOCAL_MACHINE) keyed.Text("HKEY_LOCAL_MACHINE\\");
  if (root == win::HKEY_CURRENT_USER) keyed.Text("HKEY_CURRENT_USER\\");
  if (root != nullptr && root == user_hive) Inside(keyed, user_hive_name).Text("\\");
  Inside(keyed, path);
  // The user's keys are one key in both views.
  const char* view_name = IsUserHive(root)                     ? "shared"
                          : (view & win::KEY_WOW64_64KEY) != 0 ? "64"
                                                               : "32";
  return keyed.Text("\" view=").Text(view_name);
}

const char* TypeName(win::DWORD type) {
  switch (type) {
    case win::REG_NONE:
      return "REG_NONE";
    case win::REG_SZ:
      return "REG_SZ";
    case win::REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case win::REG_BINARY:
      return "REG_BINARY";
    case win::REG_DWORD:
      return "REG_DWORD";
    default:
      return nullptr;
  }
}

void Hex(LogLine& line, win::BYTE byte) {
  const char digits[] = "0123456789abcdef";
  const char pair[] = {digits[byte >> 4], digits[byte & 15], 0};
  line.Text(pair);
}

// TYPE:data, as regedit would show the value: a number, a quoted text, or
// bytes in hex.
void Value(LogLine& line, win::DWORD type, const win::BYTE* data, win::DWORD size) {
  const char* name = TypeName(type);
  if (name != nullptr) {
    line.Text(name);
  } else {
    line.Text("type ").Number(type);
  }
  line.Text(":");
  if (type == win::REG_DWORD && size == 4) {
    line.Number(static_cast<unsigned long>(data[0]) | (static_cast<unsigned long>(data[1]) << 8) |
                (static_cast<unsigned long>(data[2]) << 16) |
                (static_cast<unsigned long>(data[3]) << 24));
    return;
  }
  if ((type == win::REG_SZ || type == win::REG_EXPAND_SZ) && size % 2 == 0) {
    line.Text("\"");
    for (win::DWORD i = 0; i + 1 < size; i += 2) {
      const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
      if (unit == 0) break;
      line.Inside(unit);
    }
    line.Text("\"");
    return;
  }
  for (win::DWORD i = 0; i < size && i < kShownBytes; ++i) {
    if (i > 0) line.Text(",");
    Hex(line, data[i]);
  }
  if (size > kShownBytes) line.Text(",... (").Number(size).Text(" bytes)");
}

}  // namespace

void LogSwitched(const RegKeyW& key, const char16_t* name, Lookup current, const RawValue& old,
                 bool record_written) {
  const bool was_off = current == Lookup::kFound && old.IsDword(0);
  const bool made = copy_made;
  copy_made = false;
  // A copy just made is a change even where the machine's value was 0
  // already and came along with its record.
  if (was_off && !record_written && !made) {
    LogLeftAlone();
    return;
  }
  ++Tally().switched;
  LogLine line("switched");
  Key(line, key.parent(), key.name(), key.access()).Text(" value=").Quoted(name).Text(" old=");
  if (current == Lookup::kFound) {
    Value(line, old.type, old.data.data(), static_cast<win::DWORD>(old.data.size()));
  } else {
    line.Text("absent");
  }
  line.Text(" new=REG_DWORD:0 record=").Text(record_written ? "written" : "kept");
  line.Text(" copy=").Text(made ? "made" : "no");
  Send(line);
}

void LogRestored(const RegKeyW& key, const char16_t* name, win::DWORD type, const win::BYTE* data,
                 win::DWORD size, RestoredFrom from) {
  ++Tally().restored;
  LogLine line("restored");
  Key(line, key.parent(), key.name(), key.access()).Text(" value=").Quoted(name).Text(" new=");
  Value(line, type, data, size);
  line.Text(" record=");
  switch (from) {
    case RestoredFrom::kRecordedValue:
      line.Text("used");
      break;
    case RestoredFrom::kRecordedAbsent:
      line.Text("used-absent");
      break;
    case RestoredFrom::kDefault:
      line.Text("none");
      break;
  }
  Send(line);
}

void LogLeftAlone() { ++Tally().left_alone; }

void NoteCopyMade() {
  copy_made = true;
  ++Tally().copies_made;
}

void LogCopyRemoved(win::HKEY root, const char16_t* path, win::REGSAM view, bool leftovers) {
  ++Tally().copies_removed;
  LogLine line(leftovers ? "removed-leftovers" : "removed-copy");
  Key(line, root, path, view);
  Send(line);
}

void NameUserHive(win::HKEY root, const char16_t* name) {
  user_hive = root;
  user_hive_name = name;
}

void LogFailure(const char* doing, win::HKEY root, const char16_t* path, win::REGSAM view,
                const char16_t* value) {
  ++Tally().failures;
  const bool made = copy_made;
  copy_made = false;
  LogLine line("failed doing=\"");
  line.Text(doing).Text("\"");
  if (path != nullptr) Key(line, root, path, view);
  if (value != nullptr) line.Text(" value=").Quoted(value);
  const FailureNote& note = LatestFailure();
  if (note.call == nullptr) {
    line.Text(" call=none error=none");
  } else {
    line.Text(" call=").Text(note.call).Text(" name=").Quoted(note.name).Text(" error=");
    line.Error(note.error);
  }
  // The copy stays, marked, for uninstalling to remove.
  if (made) line.Text(" copy=made");
  Send(line);
}

void LogWriteProbeFailure() {
  LogFailure("asking whether it may write", win::HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, nullptr);
}
