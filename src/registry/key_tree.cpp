#include "registry/key_tree.h"

#include <memory>

#include "registry/exact_value.h"
#include "registry/name_fold.h"
#include "registry/reg_calls.h"

namespace {

// What RegQueryInfoKeyW is assumed to report when it does not answer.
constexpr win::DWORD kDefaultNameLength = 260;
constexpr win::DWORD kDefaultDataSize = 260;

// Room for names of up to |longest| characters and their terminator.
class NameBuffer {
 public:
  explicit NameBuffer(win::DWORD longest)
      : capacity_(longest < 0xFFFFFFFFu ? longest + 1 : longest), text_(new char16_t[capacity_]) {}
  char16_t* text() { return text_.get(); }
  win::DWORD capacity() const { return capacity_; }

 private:
  win::DWORD capacity_;
  std::unique_ptr<char16_t[]> text_;
};

// After |name| was deleted below |parent|: deletes its nearest ancestor along
// the name when that has become empty, and so on upwards. The first level of
// the name is the highest it can reach. Works in |name|'s own buffer and
// allocates nothing, so that running out of memory cannot stop it halfway.
// False when an ancestor could not be looked at or deleted; a missing or
// non-empty one ends the climb.
bool PruneEmptyAncestors(win::HKEY parent, char16_t* text, int length) {
  int end = length;
  for (;;) {
    // A trailing backslash names no further level.
    while (end > 1 && text[end - 1] == u'\\') --end;
    int cut = end - 1;
    while (cut > 0 && text[cut] != u'\\') --cut;
    if (cut <= 0) return true;
    text[cut] = u'\0';
    end = cut;

    // Fixed mask, no view flag: the ancestor is reached the way the caller's
    // parent handle sees it.
    win::HKEY ancestor = nullptr;
    const win::LONG opened = reg::RegOpenKeyExW(parent, text, 0, win::KEY_ALL_ACCESS, &ancestor);
    if (opened != win::ERROR_SUCCESS) return LookupOf(opened) == Lookup::kAbsent;
    win::DWORD sub_keys = 0;
    win::DWORD values = 0;
    const bool counted = CountKeyContent(ancestor, &sub_keys, &values);
    reg::RegCloseKey(ancestor);
    if (!counted) return false;
    if (sub_keys != 0 || values != 0) return true;
    if (reg::RegDeleteKeyW(parent, text) != win::ERROR_SUCCESS) return false;
  }
}

// Whether |name| is one of the null-terminated |names|, in any case.
bool IsNamedIn(const char16_t* name, const char16_t* const* names) {
  for (; names != nullptr && *names != nullptr; ++names) {
    if (SameKeyName(name, *names)) return true;
  }
  return false;
}

}  // namespace

bool DeleteKeyTree(RegKeyW& key, bool prune, bool* pruned) {
  if (!key.IsWritable()) return false;
  // A key that wraps its parent (or names it by the empty path) would delete
  // the key behind the parent handle: refused, the key left as it is.
  if (!key.name() || key.name()[0] == u'\0') return false;

  win::DWORD sub_keys = 0;
  win::DWORD longest = kDefaultNameLength;
  if (key.handle()) {
    reg::RegQueryInfoKeyW(key.handle(), nullptr, nullptr, nullptr, &sub_keys, &longest, nullptr,
                          nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  {
    NameBuffer child_name(longest);
    // From the highest index down, so that the indices still to visit stay
    // valid while children disappear.
    for (win::DWORD index = sub_keys; index-- > 0;) {
      if (reg::RegEnumKeyW(key.handle(), index, child_name.text(), child_name.capacity()) !=
          win::ERROR_SUCCESS) {
        break;
      }
      RegKeyW child(key.handle(), child_name.text(), key.access(), false);
      // A child left behind shows as the failure to delete the key itself.
      DeleteKeyTree(child, false);
    }
  }

  const win::HKEY parent = key.parent();
  // Copied before anything is deleted: the pruning climbs along it.
  const int length = WideLength(key.name());
  const std::unique_ptr<char16_t[]> name(new char16_t[length + 1]);
  for (int i = 0; i <= length; ++i) name[i] = key.name()[i];
  key.Close();  // the handle goes before the key does
  const bool deleted = reg::RegDeleteKeyW(parent, name.get()) == win::ERROR_SUCCESS;
  if (deleted && prune) {
    const bool climbed = PruneEmptyAncestors(parent, name.get(), length);
    if (pruned) *pruned = climbed;
  }
  return deleted;
}

bool CopyKeyTree(RegKeyW& source, win::HKEY destination_parent, const char16_t* destination_name) {
  if (!source.handle() || !destination_name) return false;
  RegKeyW destination(destination_parent, destination_name, win::KEY_ALL_ACCESS, true);
  if (!destination.handle()) return false;
  CopyKeyContents(source, destination);
  return true;
}

bool CopyKeyContents(RegKeyW& source, RegKeyW& destination, const char16_t* const* left_out) {
  if (!source.handle() || !destination.handle()) return false;
  win::DWORD sub_keys = 0;
  win::DWORD longest_sub_key = kDefaultNameLength;
  win::DWORD values = 0;
  win::DWORD longest_value_name = kDefaultNameLength;
  win::DWORD largest_data = kDefaultDataSize;
  if (reg::RegQueryInfoKeyW(source.handle(), nullptr, nullptr, nullptr, &sub_keys, &longest_sub_key,
                            nullptr, &values, &longest_value_name, &largest_data, nullptr,
                            nullptr) != win::ERROR_SUCCESS) {
    return false;
  }
  bool complete = true;
  {
    NameBuffer child_name(longest_sub_key);
    for (win::DWORD index = sub_keys; index-- > 0;) {
      if (reg::RegEnumKeyW(source.handle(), index, child_name.text(), child_name.capacity()) !=
          win::ERROR_SUCCESS) {
        complete = false;
        break;
      }
      RegKeyW child(source.handle(), child_name.text(), source.access(), false);
      // A sub-key deleted since it was listed is not part of the source.
      if (!child.handle()) {
        if (child.opened() != Lookup::kAbsent) complete = false;
        continue;
      }
      RegKeyW child_copy(destination.handle(), child_name.text(), win::KEY_ALL_ACCESS, true);
      if (!CopyKeyContents(child, child_copy)) complete = false;
    }
  }

  NameBuffer value_name(longest_value_name);
  // A value that grew meanwhile no longer fits: the copy is then incomplete.
  const std::unique_ptr<win::BYTE[]> data(new win::BYTE[largest_data > 0 ? largest_data : 1]);
  for (win::DWORD index = values; index-- > 0;) {
    win::DWORD name_length = value_name.capacity();
    win::DWORD data_size = largest_data;
    win::DWORD type = win::REG_NONE;
    if (reg::RegEnumValueW(source.handle(), index, value_name.text(), &name_length, nullptr, &type,
                           data.get(), &data_size) != win::ERROR_SUCCESS ||
        data_size > largest_data) {
      complete = false;
      continue;
    }
    if (!IsNamedIn(value_name.text(), left_out) &&
        SetValueExactly(destination.handle(), value_name.text(), type, data.get(), data_size) !=
            win::ERROR_SUCCESS) {
      complete = false;
    }
  }
  return complete;
}

bool CountKeyContent(win::HKEY key, win::DWORD* sub_keys, win::DWORD* values) {
  *sub_keys = 0;
  *values = 0;
  return reg::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, sub_keys, nullptr, nullptr, values,
                               nullptr, nullptr, nullptr, nullptr) == win::ERROR_SUCCESS;
}

bool IsKeyEmpty(RegKeyW& key) {
  if (!key.handle()) return false;
  win::DWORD sub_keys = 0;
  win::DWORD values = 0;
  return CountKeyContent(key.handle(), &sub_keys, &values) && sub_keys == 0 && values == 0;
}
