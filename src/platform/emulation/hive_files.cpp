#include "platform/emulation/hive_files.h"

#include "platform/emulation/allocation_faults.h"
#include "platform/emulation/call_log.h"
#include "platform/emulation/handle_table.h"

namespace emu {
namespace detail {

namespace {

constexpr win::DWORD kProcessAppKey = 1;  // REG_PROCESS_APPKEY

win::LONG LoadAppKey(const char16_t* file, Key* root, win::HKEY* result, win::REGSAM access,
                     win::DWORD options, win::DWORD reserved) {
  if (!file || !result) return win::ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (reserved || (options & ~kProcessAppKey)) return win::ERROR_INVALID_PARAMETER;
  const auto& refused = State().refused_hive_files;
  const auto refusal = refused.find(Fold(file));
  if (refusal != refused.end()) return refusal->second;
  if (!root) return win::ERROR_FILE_NOT_FOUND;
  // The hive's own security grants what is asked; the handle's rights are
  // checked as any other's from here on.
  *result = AddHandle(root->shared_from_this(), RequestedRights(access));
  return win::ERROR_SUCCESS;
}

}  // namespace

Key* FindHiveFile(const std::u16string& file) {
  const auto& files = State().hive_files;
  const auto found = files.find(Fold(file));
  return found == files.end() ? nullptr : found->second.get();
}

Key& HiveFile(const std::u16string& file) {
  std::shared_ptr<Key>& root = State().hive_files[Fold(file)];
  if (!root) {
    root = std::make_shared<Key>();
    root->name = u"<" + file + u">";
  }
  return *root;
}

win::LONG SKERROW_STDCALL EmulatedRegLoadAppKeyW(const char16_t* file, win::HKEY* result,
                                                 win::REGSAM access, win::DWORD options,
                                                 win::DWORD reserved) {
  CallRecord record("RegLoadAppKeyW");
  Key* root = file ? FindHiveFile(file) : nullptr;
  const std::string path = root   ? PhysicalPath(*root)
                           : file ? "<" + ToUtf8(file) + ">"
                                  : std::string();
  if (win::LONG fault = record.Begin(path, access)) {
    if (result) *result = nullptr;
    return record.Finish(fault);
  }
  return record.Finish(LoadAppKey(file, root, result, access, options, reserved));
}

}  // namespace detail

void SetRegLoadAppKeyExported(bool exported) {
  detail::State().is_reg_load_app_key_exported = exported;
}

void RefuseHiveFile(const std::u16string& file, win::LONG error) {
  detail::AllocationExemption exemption;
  detail::State().refused_hive_files[detail::Fold(file)] = error;
}

}  // namespace emu
