#include "registry/key_name_set.h"

#include <cstdint>
#include <utility>

#include "registry/name_fold.h"

namespace {

constexpr std::size_t kFirstSlots = 16;

// FNV-1a over the folded units: names that are one key hash alike.
std::size_t Hash(const char16_t* name) {
  std::uint32_t hash = 2166136261u;
  for (; *name != u'\0'; ++name) hash = (hash ^ FoldNameUnit(*name)) * 16777619u;
  return hash;
}

}  // namespace

std::size_t KeyNameSet::SlotOf(const char16_t* name) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = Hash(name) & mask;
  while (!slots_[slot].IsNull() && !SameKeyName(slots_[slot].get(), name)) slot = (slot + 1) & mask;
  return slot;
}

bool KeyNameSet::Contains(const char16_t* name) const {
  if (name == nullptr) name = u"";
  return !slots_.empty() && !slots_[SlotOf(name)].IsNull();
}

bool KeyNameSet::Insert(const char16_t* name) {
  if (name == nullptr) name = u"";
  if (Contains(name)) return false;
  // The copy and the larger table come first: if either cannot be had,
  // nothing has changed.
  WideStr copy(name);
  if (2 * (count_ + 1) > slots_.size()) Grow();
  slots_[SlotOf(name)] = std::move(copy);
  ++count_;
  return true;
}

void KeyNameSet::Grow() {
  std::vector<WideStr> old(slots_.empty() ? kFirstSlots : 2 * slots_.size());
  old.swap(slots_);
  for (WideStr& name : old) {
    if (!name.IsNull()) slots_[SlotOf(name.get())] = std::move(name);
  }
}
