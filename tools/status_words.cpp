#include "status_words.h"

#include <cstdio>
#include <cstring>

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

const char* ReachName(HiveReach reach) {
  switch (reach) {
    case HiveReach::kLoggedOn:
      return "logged-on";
    case HiveReach::kFromFile:
      return "file";
    case HiveReach::kUnreachable:
      return "unreachable";
    case HiveReach::kMissing:
      break;
  }
  return "missing";
}
