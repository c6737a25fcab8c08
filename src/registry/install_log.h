// The running installation's log.
//
// Lines go to the installer as informational messages: they reach the log
// file when logging is on (msiexec /l*v) and are never shown. Every line
// starts with "Skerrow: ". A message costs a call into the installer's own
// process, so lines are gathered into few messages of many lines each, sent
// when the next line no longer fits and at the end of the export. A message
// that cannot be sent drops its lines, and lines are built in fixed buffers,
// so that neither a broken session nor a lack of memory changes what the
// action does or what it returns.
#pragma once

#include "platform/win_api.h"

// The name of a Windows error code that the registry or the installer
// gives: "ERROR_ACCESS_DENIED"; "ERROR" for any other.
const char* ErrorName(win::LONG error);

// One line, built up in place. Whatever does not fit is cut off and marked
// with "...".
class LogLine {
 public:
  // Room for the line as the installer stores it, escapes included.
  static constexpr int kCapacity = 2048;

  // Starts the line with "Skerrow: " and |kind|.
  explicit LogLine(const char* kind);
  LogLine(const LogLine&) = delete;
  LogLine& operator=(const LogLine&) = delete;

  LogLine& Text(const char* ascii);
  LogLine& Text(const char16_t* text);
  // |text| in double quotes, a quote inside doubled; null is "". A quoted
  // field built in parts writes its quotes with Text("\"") and the units
  // inside with Inside.
  LogLine& Quoted(const char16_t* text);
  LogLine& Inside(char16_t unit);
  LogLine& Number(unsigned long value);
  // A Windows error code by its name and number: ERROR_ACCESS_DENIED (5).
  LogLine& Error(win::LONG error);

  // The line in the installer's formatted-text syntax: brackets and braces
  // escaped, so that the log shows it exactly.
  const char16_t* Formatted() const { return text_; }

 private:
  void Put(char16_t c);

  char16_t text_[kCapacity];
  int length_ = 0;
  bool full_ = false;
};

// What the log's summary line counts.
struct LogTally {
  unsigned switched = 0;
  unsigned restored = 0;
  unsigned left_alone = 0;
  unsigned copies_made = 0;
  unsigned copies_removed = 0;
  unsigned failures = 0;
};

// Lines go to |install| from now on, and the tally starts at zero.
void BeginInstallLog(win::MSIHANDLE install);
// Sends what is gathered; lines are dropped from now on.
void EndInstallLog();
// Gathers |line| for the running installation, if any.
void Send(const LogLine& line);
LogTally& Tally();
