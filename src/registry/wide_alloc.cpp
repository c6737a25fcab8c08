#include "registry/wide_alloc.h"

#include <new>

namespace {
constexpr std::uint32_t kUnmeetableRequest = 0xFFFFFFFFu;
}  // namespace

std::uint32_t WideAllocationBytes(std::uint64_t characters) {
  if (characters > 0xFFFFFFFFull / 2) return kUnmeetableRequest;
  return static_cast<std::uint32_t>(characters * 2);
}

char16_t* AllocateWide(std::uint64_t characters) {
  const std::uint32_t bytes = WideAllocationBytes(characters);
  // A 64-bit process might actually get 4 GB; the request must fail everywhere.
  if (bytes == kUnmeetableRequest) throw std::bad_alloc();
  return static_cast<char16_t*>(::operator new(bytes));
}

void FreeWide(char16_t* text) { ::operator delete(text); }
