// Buffer allocation for WideStr texts.
#pragma once

#include <cstdint>

// Bytes a text of |characters| UTF-16 code units (terminator included) takes:
// two per character, or 0xFFFFFFFF when that does not fit 32 bits. The odd
// size can never be a real text size, and no allocator meets it.
std::uint32_t WideAllocationBytes(std::uint64_t characters);

// A buffer of |characters| code units from the standard allocator. Throws
// std::bad_alloc when it cannot be had, the overflowed size included.
char16_t* AllocateWide(std::uint64_t characters);
void FreeWide(char16_t* text);
