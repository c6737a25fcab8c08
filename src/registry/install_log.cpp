#include "registry/install_log.h"

#include "registry/reg_calls.h"

namespace {

constexpr char16_t kPrefix[] = u"Skerrow: ";
constexpr char16_t kCut[] = u"...";
// The longest form of one character: an escape such as [\[].
constexpr int kLongestPut = 4;

// Room for the lines of one message, separators and terminator included.
constexpr int kBatchCapacity = 32768;
constexpr char16_t kLineBreak[] = u"\r\n";
constexpr int kLineBreakLength = 2;

win::MSIHANDLE session = 0;
LogTally tally;
char16_t batch[kBatchCapacity];
int batch_length = 0;

// Sends the gathered lines as one message, and starts anew.
void Flush() {
  if (batch_length == 0) return;
  batch_length = 0;
  const win::MSIHANDLE record = win::MsiCreateRecord(0);
  if (record == 0) return;
  if (win::MsiRecordSetStringW(record, 0, batch) == win::ERROR_SUCCESS) {
    win::MsiProcessMessage(session, win::INSTALLMESSAGE_INFO, record);
  }
  win::MsiCloseHandle(record);
}

int Length(const char16_t* text) {
  int length = 0;
  while (text[length] != 0) ++length;
  return length;
}

bool NeedsEscape(char16_t c) { return c == u'[' || c == u']' || c == u'{' || c == u'}'; }

}  // namespace

const char* ErrorName(win::LONG error) {
  switch (error) {
    case 0:
      return "ERROR_SUCCESS";
    case 2:
      return "ERROR_FILE_NOT_FOUND";
    case 3:
      return "ERROR_PATH_NOT_FOUND";
    case 5:
      return "ERROR_ACCESS_DENIED";
    case 6:
      return "ERROR_INVALID_HANDLE";
    case 8:
      return "ERROR_NOT_ENOUGH_MEMORY";
    case 13:
      return "ERROR_INVALID_DATA";
    case 14:
      return "ERROR_OUTOFMEMORY";
    case 32:
      return "ERROR_SHARING_VIOLATION";
    case 87:
      return "ERROR_INVALID_PARAMETER";
    case 127:
      return "ERROR_PROC_NOT_FOUND";
    case 161:
      return "ERROR_BAD_PATHNAME";
    case 206:
      return "ERROR_FILENAME_EXCED_RANGE";
    case 234:
      return "ERROR_MORE_DATA";
    case 259:
      return "ERROR_NO_MORE_ITEMS";
    case 998:
      return "ERROR_NOACCESS";
    case 1009:
      return "ERROR_BADDB";
    case 1010:
      return "ERROR_BADKEY";
    case 1011:
      return "ERROR_CANTOPEN";
    case 1012:
      return "ERROR_CANTREAD";
    case 1013:
      return "ERROR_CANTWRITE";
    case 1015:
      return "ERROR_REGISTRY_CORRUPT";
    case 1016:
      return "ERROR_REGISTRY_IO_FAILED";
    case 1018:
      return "ERROR_KEY_DELETED";
    case 1020:
      return "ERROR_KEY_HAS_CHILDREN";
    case 1021:
      return "ERROR_CHILD_MUST_BE_VOLATILE";
    case 1115:
      return "ERROR_SHUTDOWN_IN_PROGRESS";
    case 1300:
      return "ERROR_NOT_ALL_ASSIGNED";
    case 1313:
      return "ERROR_NO_SUCH_PRIVILEGE";
    case 1314:
      return "ERROR_PRIVILEGE_NOT_HELD";
    case 1450:
      return "ERROR_NO_SYSTEM_RESOURCES";
    case 1603:
      return "ERROR_INSTALL_FAILURE";
    default:
      return "ERROR";
  }
}

LogLine::LogLine(const char* kind) {
  text_[0] = 0;
  for (const char16_t* c = kPrefix; *c != 0; ++c) Put(*c);
  Text(kind);
}

void LogLine::Put(char16_t c) {
  if (full_) return;
  const int room = kCapacity - 1 - static_cast<int>(sizeof kCut / sizeof kCut[0] - 1);
  if (length_ + kLongestPut > room) {
    full_ = true;
    for (const char16_t* cut = kCut; *cut != 0; ++cut) text_[length_++] = *cut;
    text_[length_] = 0;
    return;
  }
  if (NeedsEscape(c)) {
    text_[length_++] = u'[';
    text_[length_++] = u'\\';
    text_[length_++] = c;
    text_[length_++] = u']';
  } else {
    text_[length_++] = c;
  }
  text_[length_] = 0;
}

LogLine& LogLine::Text(const char* ascii) {
  for (; ascii != nullptr && *ascii != 0; ++ascii) Put(static_cast<char16_t>(*ascii));
  return *this;
}

LogLine& LogLine::Text(const char16_t* text) {
  for (; text != nullptr && *text != 0; ++text) Put(*text);
  return *this;
}

LogLine& LogLine::Quoted(const char16_t* text) {
  Put(u'"');
  for (; text != nullptr && *text != 0; ++text) Inside(*text);
  Put(u'"');
  return *this;
}

LogLine& LogLine::Inside(char16_t unit) {
  if (unit == u'"') Put(u'"');
  Put(unit);
  return *this;
}

LogLine& LogLine::Number(unsigned long value) {
  char16_t digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) Put(digits[--count]);
  return *this;
}

LogLine& LogLine::Error(win::LONG error) {
  Text(ErrorName(error)).Text(" (");
  return Number(static_cast<unsigned long>(error)).Text(")");
}

void BeginInstallLog(win::MSIHANDLE install) {
  session = install;
  batch_length = 0;
  ForgetFailure();
  tally = LogTally();
}

void EndInstallLog() {
  if (session != 0) Flush();
  session = 0;
}

void Send(const LogLine& line) {
  if (session == 0) return;
  const int length = Length(line.Formatted());
  if (batch_length + kLineBreakLength + length >= kBatchCapacity) Flush();
  if (batch_length > 0) {
    for (int i = 0; i < kLineBreakLength; ++i) batch[batch_length++] = kLineBreak[i];
  }
  for (int i = 0; i < length; ++i) batch[batch_length++] = line.Formatted()[i];
  batch[batch_length] = 0;
}

LogTally& Tally() { return tally; }
