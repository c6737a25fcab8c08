// What both forms of the report write: the names of levels, views,
// records, removals and how a hive was reached, and a REG_DWORD's number.
#pragma once

#include <string>

#include "status_report.h"

// Two lower-case hex digits.
std::string Hex2(unsigned byte);

// Whether |value| is a REG_DWORD of four bytes, and its number then.
bool IsFourByteDword(const RawValue& value);
win::DWORD DwordOf(const RawValue& value);

const char* LevelName(ReportLevel level);   // "machine", "user"
const char* ViewName(ReportView view);      // "32-bit", "64-bit", "shared"
const char* RecordName(RecordKind record);  // "saved", "absent", "none"
const char* RemovalName(Removal removal);   // "restore-saved", ..., "leave"
// As the installer's log names them: "logged-on", "file", "missing",
// "unreachable".
const char* ReachName(HiveReach reach);
