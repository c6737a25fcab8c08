// The installer's records and messages: enough of msi.dll for a custom
// action to write into the installation's log.
#include <string>

#include "platform/emulation/allocation_faults.h"
#include "platform/emulation/call_log.h"
#include "platform/emulation/emulation.h"
#include "platform/emulation/key_tree.h"
#include "platform/emulation/machine_state.h"

namespace win {

using emu::detail::CallRecord;
using emu::detail::State;

namespace {

constexpr UINT kMaxFields = 65535;  // the installer's limit

// The field number that |inside| (the text between brackets) names, or 0.
std::size_t FieldNumber(const std::u16string& inside, std::size_t fields) {
  if (inside.empty() || inside.size() > 5) return 0;
  std::size_t number = 0;
  for (char16_t c : inside) {
    if (c < u'0' || c > u'9') return 0;
    number = number * 10 + (c - u'0');
  }
  return number < fields ? number : 0;
}

// Formats field 0 the way the installer does for a log line: [N] becomes
// field N, [\c] the character c, and anything else in brackets is taken
// for a property, replaced by its value or by nothing; a {{...}} group
// goes. A text meant
// verbatim must therefore escape its brackets.
std::u16string Format(const std::vector<std::u16string>& fields) {
  const std::u16string& pattern = fields[0];
  if (pattern.find_first_of(u"[{") == std::u16string::npos) return pattern;
  std::u16string out;
  out.reserve(pattern.size());
  std::size_t i = 0;
  while (i < pattern.size()) {
    // A {{...}} group is conditional text, which a log line never holds.
    if (pattern.compare(i, 2, u"{{") == 0) {
      const std::size_t end = pattern.find(u"}}", i + 2);
      if (end != std::u16string::npos) {
        i = end + 2;
        continue;
      }
    }
    if (pattern.compare(i, 2, u"[\\") == 0 && i + 3 < pattern.size() && pattern[i + 3] == u']') {
      out += pattern[i + 2];
      i += 4;
      continue;
    }
    const std::size_t close = pattern[i] == u'[' ? pattern.find(u']', i + 2) : std::u16string::npos;
    if (close == std::u16string::npos) {
      out += pattern[i++];
      continue;
    }
    const std::u16string inside = pattern.substr(i + 1, close - i - 1);
    if (const std::size_t field = FieldNumber(inside, fields.size())) {
      out += fields[field];
    } else {
      // A property reference: its value, or nothing where it has none.
      const auto property = State().properties.find(inside);
      if (property != State().properties.end()) out += property->second;
    }
    i = close + 1;
  }
  return out;
}

}  // namespace

MSIHANDLE MsiCreateRecord(UINT fields) {
  CallRecord record("MsiCreateRecord");
  if (record.Begin(std::string(), 0) != ERROR_SUCCESS || fields > kMaxFields) {
    return static_cast<MSIHANDLE>(record.Finish(0));
  }
  emu::detail::AllocationExemption exemption;
  const MSIHANDLE handle = State().next_record++;
  State().records[handle].assign(fields + 1, std::u16string());
  return static_cast<MSIHANDLE>(record.Finish(static_cast<LONG>(handle)));
}

UINT MsiRecordSetStringW(MSIHANDLE handle, UINT field, const char16_t* value) {
  CallRecord record("MsiRecordSetStringW");
  if (LONG fault = record.Begin(std::string(), 0)) return record.Finish(fault);
  auto found = State().records.find(handle);
  if (found == State().records.end()) return record.Finish(ERROR_INVALID_HANDLE);
  if (field >= found->second.size()) return record.Finish(ERROR_INVALID_PARAMETER);
  emu::detail::AllocationExemption exemption;
  found->second[field] = value ? value : u"";
  return record.Finish(ERROR_SUCCESS);
}

int MsiProcessMessage(MSIHANDLE install, int message_type, MSIHANDLE handle) {
  CallRecord record("MsiProcessMessage");
  if (record.Begin(std::string(), 0) != ERROR_SUCCESS || install == 0 || State().refuses_messages) {
    return record.Finish(-1);
  }
  auto found = State().records.find(handle);
  if (found == State().records.end()) return record.Finish(-1);
  if ((message_type & 0xff000000) == INSTALLMESSAGE_INFO) {
    emu::detail::AllocationExemption exemption;
    State().messages.push_back(Format(found->second));
  }
  return record.Finish(0);  // no dialog to answer
}

UINT MsiCloseHandle(MSIHANDLE handle) {
  CallRecord record("MsiCloseHandle");
  if (LONG fault = record.Begin(std::string(), 0)) return record.Finish(fault);
  if (handle == 0) return record.Finish(ERROR_SUCCESS);
  // Only records are handles of the emulation's own; the running
  // installation's handle is not one, and closing it fails.
  if (State().records.erase(handle) == 0) return record.Finish(ERROR_INVALID_HANDLE);
  return record.Finish(ERROR_SUCCESS);
}

}  // namespace win

namespace emu {

std::vector<std::string> InstallerMessages() {
  std::vector<std::string> lines;
  for (const std::u16string& message : detail::State().messages) {
    const std::string text = detail::ToUtf8(message);
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = text.find("\r\n", start);
      lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
      if (end == std::string::npos) break;
      start = end + 2;
    }
  }
  return lines;
}

std::size_t InstallerMessageCount() { return detail::State().messages.size(); }

std::size_t OpenInstallerRecords() { return detail::State().records.size(); }

void RefuseInstallerMessages(bool refuse) { detail::State().refuses_messages = refuse; }

}  // namespace emu
