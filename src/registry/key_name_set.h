// KeyNameSet: key names or paths, each kept once, compared as the registry
// compares key names (see name_fold.h).
//
// A hash table of the names as first given, found by their folded units: a
// lookup costs the same however many names the set holds. Running out of
// memory throws std::bad_alloc and leaves the set as it was.
#pragma once

#include <cstddef>
#include <vector>

#include "registry/wide_str.h"

class KeyNameSet {
 public:
  // False when |name| is in the set already; otherwise keeps a copy of it
  // and returns true. Null stands for the empty name.
  bool Insert(const char16_t* name);
  bool Contains(const char16_t* name) const;

 private:
  // The slot that holds |name|, or where it is missing the free slot where
  // it belongs. Only while slots_ holds a free slot.
  std::size_t SlotOf(const char16_t* name) const;
  void Grow();

  // Null where free; a power of two of them, never more than half taken.
  std::vector<WideStr> slots_;
  std::size_t count_ = 0;
};
