// out-of-memory-result: calls Install and Uninstall of a Skerrow.dll while
// its heap refuses every request but the smallest, and expects each to
// return 1603 (ERROR_INSTALL_FAILURE). The std::bad_alloc of the failed
// allocation must travel through the DLL's own statically linked C++ runtime
// to the guard in the exports; a runtime that cannot throw ends the process
// through std::terminate instead.
//
//   out-of-memory-result DLL
//
// Exit status: 0 when both return 1603; 1 when one returns anything else;
// 2 for bad arguments, a DLL that cannot be loaded, lacks an export or does
// not import malloc from msvcrt.dll.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT kInstallFailure = 1603;
constexpr int kExitWrongResult = 1;
constexpr int kExitCannotRun = 2;

// Room for the runtime's record of the exceptions in flight in a thread (12
// bytes), which it allocates at the thread's first throw and aborts without;
// too little for the first buffer either export allocates.
constexpr std::size_t kLargestGranted = 16;

void* __cdecl RefusingMalloc(std::size_t size) {
  return size <= kLargestGranted ? std::malloc(size) : nullptr;
}

// Points |module|'s import of |function| from |dll| at |replacement|.
bool ReplaceImport(HMODULE module, const char* dll, const char* function, void* replacement) {
  BYTE* const base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return false;
  for (auto* entry =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* named =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(named->Name), function) != 0) continue;
      DWORD protection = 0;
      if (!VirtualProtect(slots, sizeof *slots, PAGE_READWRITE, &protection)) return false;
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(slots, sizeof *slots, protection, &protection);
      return true;
    }
  }
  return false;
}

using CustomActionFn = UINT(WINAPI*)(ULONG);
constexpr const char* kExports[] = {"_Install@4", "_Uninstall@4"};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: out-of-memory-result DLL\n");
    return kExitCannotRun;
  }
  const HMODULE dll = LoadLibraryA(argv[1]);
  if (dll == nullptr) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return kExitCannotRun;
  }
  // After loading: the runtime's start-up allocations, its emergency
  // exception buffer among them, are made as usual.
  if (!ReplaceImport(dll, "msvcrt.dll", "malloc", reinterpret_cast<void*>(&RefusingMalloc))) {
    std::fprintf(stderr, "%s imports no malloc from msvcrt.dll\n", argv[1]);
    return kExitCannotRun;
  }
  int status = 0;
  for (const char* name : kExports) {
    const FARPROC address = GetProcAddress(dll, name);
    if (address == nullptr) {
      std::fprintf(stderr, "no export %s\n", name);
      return kExitCannotRun;
    }
    const auto action = reinterpret_cast<CustomActionFn>(reinterpret_cast<void*>(address));
    // The session handle is never reached: the first allocation fails.
    const UINT result = action(0);
    std::printf("%s: %u\n", name, result);
    if (result != kInstallFailure) status = kExitWrongResult;
  }
  return status;
}
