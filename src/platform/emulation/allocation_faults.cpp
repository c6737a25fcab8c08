// Replaces the global allocation functions of test programs so that tests can
// make every allocation from the Nth on throw std::bad_alloc.
#include "platform/emulation/allocation_faults.h"

#include <cstdlib>
#include <new>

#include "platform/emulation/emulation.h"

namespace {

std::size_t fail_from = 0;  // 0: off
std::size_t counted = 0;    // allocations since FailAllocationsFrom armed
thread_local int exemptions = 0;

constexpr std::size_t kMaxFill = 8;
char16_t fill[kMaxFill];
std::size_t fill_length = 0;  // 0: off

void* Filled(void* block, std::size_t size) {
  if (fill_length == 0 || exemptions > 0) return block;
  auto* bytes = static_cast<unsigned char*>(block);
  const auto* pattern = reinterpret_cast<const unsigned char*>(fill);
  const std::size_t pattern_size = fill_length * sizeof(char16_t);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = pattern[i % pattern_size];
  return block;
}

bool ShouldFail() {
  if (fail_from == 0 || exemptions > 0) return false;
  return ++counted >= fail_from;
}

void* Allocate(std::size_t size) {
  if (ShouldFail()) throw std::bad_alloc();
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = std::malloc(size)) return Filled(block, size);
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
  if (ShouldFail()) throw std::bad_alloc();
  std::size_t align = static_cast<std::size_t>(alignment);
  if (align < sizeof(void*)) align = sizeof(void*);
  if (size == 0) size = 1;
  for (;;) {
    void* block = nullptr;
    if (posix_memalign(&block, align, size) == 0) return Filled(block, size);
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

}  // namespace

namespace emu {

void FailAllocationsFrom(std::size_t n) {
  fail_from = n;
  counted = 0;
}

void FillAllocations(const std::u16string& pattern) {
  fill_length = pattern.size() < kMaxFill ? pattern.size() : kMaxFill;
  for (std::size_t i = 0; i < fill_length; ++i) fill[i] = pattern[i];
}

namespace detail {

AllocationExemption::AllocationExemption() { ++exemptions; }
AllocationExemption::~AllocationExemption() { --exemptions; }

}  // namespace detail
}  // namespace emu

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return operator new(size, std::nothrow);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  try {
    return AllocateAligned(size, alignment);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return operator new(size, alignment, std::nothrow);
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(block);
}
