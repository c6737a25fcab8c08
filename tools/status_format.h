// The status report as a table for people and as one JSON document for
// tools that collect it from many machines. Both are UTF-8 and end with a
// newline.
#pragma once

#include <string>

#include "status_check.h"
#include "status_report.h"

// A header line, one row per settings key, the keys that could not be read,
// and the summary line, e.g. "12 settings switched off, 12 will be restored,
// 2 per-user copies". A report of all users then names the current user's
// SID after the header and has a block like that for each profile, headed by
// how its hive was reached; with |check| the last line is its verdict.
std::string StatusText(const StatusReport& report, const CheckOutcome* check = nullptr);

// The same members for every report; "current_user" and "profiles" only in
// one of all users, "check" only with |check|.
std::string StatusJson(const StatusReport& report, const CheckOutcome* check = nullptr);

// "Check passed: ..." or "Check failed: " and why, without its newline.
std::string CheckLine(const CheckOutcome& check);

// The summary line without its newline.
std::string SummaryLine(const StatusSummary& summary);

// |value| as reg export writes its data: dword:0000002a, "text", hex:01,02,
// hex(2):...
std::string RegExportData(const RawValue& value);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8(const std::u16string& text);
