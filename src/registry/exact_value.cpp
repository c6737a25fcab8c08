#include "registry/exact_value.h"

#include <cstring>
#include <memory>

#include "registry/reg_calls.h"

win::LONG SetValueExactly(win::HKEY key, const char16_t* name, win::DWORD type,
                          const win::BYTE* data, win::DWORD size) {
  constexpr std::size_t kGuard = sizeof(char16_t);
  const std::unique_ptr<win::BYTE[]> copy(new win::BYTE[std::size_t{size} + kGuard]);
  if (size > 0) std::memcpy(copy.get(), data, size);
  std::memset(copy.get() + size, 0xFF, kGuard);
  return reg::RegSetValueExW(key, name, 0, type, copy.get(), size);
}
