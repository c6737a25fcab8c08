// kernel32's GetFileAttributesW over the few files the emulated machine has:
// the hive files, and the folders that hold them or that a test adds.
#include "platform/emulation/call_log.h"
#include "platform/emulation/hive_files.h"
#include "platform/emulation/machine_state.h"

namespace emu {
namespace detail {

namespace {

constexpr win::DWORD kArchive = 0x20;  // FILE_ATTRIBUTE_ARCHIVE

// Whether |path| lies below |folder| (both folded).
bool Holds(const std::u16string& folder, const std::u16string& path) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == u'\\';
}

// A hive file that another process holds is there all the same.
bool IsFile(const std::u16string& folded) {
  return State().hive_files.count(folded) != 0 || State().refused_hive_files.count(folded) != 0;
}

bool IsFolder(const std::u16string& folded) {
  const MachineState& state = State();
  if (state.folders.count(folded) != 0) return true;
  for (const std::u16string& folder : state.folders) {
    if (Holds(folded, folder)) return true;
  }
  for (const auto& file : state.hive_files) {
    if (Holds(folded, file.first)) return true;
  }
  for (const auto& file : state.refused_hive_files) {
    if (Holds(folded, file.first)) return true;
  }
  return false;
}

// The attributes of |file|, or the error Windows gives: a missing last name
// is ERROR_FILE_NOT_FOUND, a missing folder on the way ERROR_PATH_NOT_FOUND.
win::LONG Attributes(const char16_t* file, win::DWORD* attributes) {
  std::u16string folded = Fold(file ? file : u"");
  if (IsFile(folded)) {
    *attributes = kArchive;
    return win::ERROR_SUCCESS;
  }
  while (!folded.empty() && folded.back() == u'\\') folded.pop_back();
  if (!folded.empty() && IsFolder(folded)) {
    *attributes = win::FILE_ATTRIBUTE_DIRECTORY;
    return win::ERROR_SUCCESS;
  }
  const std::size_t last = folded.rfind(u'\\');
  if (last != std::u16string::npos && IsFolder(folded.substr(0, last))) {
    return win::ERROR_FILE_NOT_FOUND;
  }
  return win::ERROR_PATH_NOT_FOUND;
}

}  // namespace

}  // namespace detail

void AddFolder(const std::u16string& folder) {
  detail::AllocationExemption exemption;
  std::u16string folded = detail::Fold(folder);
  while (!folded.empty() && folded.back() == u'\\') folded.pop_back();
  detail::State().folders.insert(folded);
}

}  // namespace emu

namespace win {

DWORD GetFileAttributesW(const char16_t* file) {
  emu::detail::CallRecord record("GetFileAttributesW");
  emu::detail::Key* root = file ? emu::detail::FindHiveFile(file) : nullptr;
  const std::string path = root   ? emu::detail::PhysicalPath(*root)
                           : file ? "<" + emu::detail::ToUtf8(file) + ">"
                                  : std::string();
  LONG error = record.Begin(path, 0);
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  if (error == ERROR_SUCCESS) error = emu::detail::Attributes(file, &attributes);
  if (error != ERROR_SUCCESS) {
    emu::detail::State().last_error = static_cast<DWORD>(error);
    record.Finish(0);
    return INVALID_FILE_ATTRIBUTES;
  }
  record.Finish(1);
  return attributes;
}

}  // namespace win
