#include "platform/emulation/key_tree.h"

#include <algorithm>
#include <iterator>

namespace emu::detail {

char16_t FoldUnit(char16_t unit) {
  if (unit < 0x80) return (unit >= u'A' && unit <= u'Z') ? unit + 0x20 : unit;
  // Latin-1, Latin Extended-A, Greek and Cyrillic: the letters names are
  // likely to hold. Other units compare as they are.
  if (unit >= 0xC0 && unit <= 0xDE && unit != 0xD7) return unit + 0x20;
  if (unit == 0x178) return 0xFF;
  if (unit >= 0x100 && unit <= 0x17F && unit != 0x130 && unit != 0x131 && unit != 0x138 &&
      unit != 0x149 && unit != 0x17F) {
    // Pairs of capital and small letter, the capital first; two runs start
    // on an odd unit.
    const bool odd_capital = (unit >= 0x139 && unit <= 0x148) || (unit >= 0x179 && unit <= 0x17E);
    if (odd_capital) return (unit % 2 == 1) ? unit + 1 : unit;
    return (unit % 2 == 0) ? unit + 1 : unit;
  }
  if (unit >= 0x391 && unit <= 0x3AB && unit != 0x3A2) return unit + 0x20;
  if (unit >= 0x410 && unit <= 0x42F) return unit + 0x20;
  if (unit >= 0x400 && unit <= 0x40F) return unit + 0x50;
  return unit;
}

std::u16string Fold(const std::u16string& name) {
  std::u16string folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(), FoldUnit);
  return folded;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldUnit(a[i]) != FoldUnit(b[i])) return false;
  }
  return true;
}

Key* FindChild(const Key& key, const std::u16string& name) {
  auto found = key.children.find(Fold(name));
  return found == key.children.end() ? nullptr : found->second.get();
}

Key& AddChild(Key& key, const std::u16string& name) {
  auto child = std::make_shared<Key>();
  child->name = name;
  child->parent = &key;
  Key& added = *child;
  const auto at = key.children.emplace(Fold(name), std::move(child)).first;
  Key::Cursor& cursor = key.cursor;
  if (cursor.valid && at->first < cursor.at->first) ++cursor.index;
  return added;
}

const Key* ChildAt(const Key& key, std::size_t index) {
  if (index >= key.children.size()) return nullptr;
  Key::Cursor& cursor = key.cursor;
  const bool forward = cursor.valid && cursor.index <= index;
  auto at = forward ? cursor.at : key.children.begin();
  std::advance(at, index - (forward ? cursor.index : 0));
  cursor = Key::Cursor{true, index, at};
  return at->second.get();
}

namespace {

void MarkDeleted(Key& key) {
  key.deleted_path = PhysicalPath(key);
  for (auto& entry : key.children) MarkDeleted(*entry.second);
  key.deleted = true;
}

}  // namespace

void Detach(Key& child) {
  MarkDeleted(child);
  Key* parent = child.parent;
  for (auto& entry : child.children) entry.second->parent = nullptr;
  child.parent = nullptr;
  if (!parent) return;
  const auto at = parent->children.find(Fold(child.name));
  if (at == parent->children.end()) return;
  // The sub-keys after it move up one index.
  Key::Cursor& cursor = parent->cursor;
  if (cursor.valid && at == cursor.at) {
    cursor.at = std::next(at);
    cursor.valid = cursor.at != parent->children.end();
  } else if (cursor.valid && at->first < cursor.at->first) {
    --cursor.index;
  }
  parent->children.erase(at);  // may free |child|
}

void Rename(Key& child, const std::u16string& name) {
  Key& parent = *child.parent;
  auto at = parent.children.find(Fold(child.name));
  std::shared_ptr<Key> held = std::move(at->second);
  parent.children.erase(at);
  child.name = name;
  parent.children.emplace(Fold(name), std::move(held));
  parent.cursor.valid = false;  // the order may have changed
}

Value* FindValue(Key& key, const std::u16string& name) {
  for (Value& value : key.values) {
    if (SameName(value.name, name)) return &value;
  }
  return nullptr;
}

Value& SetValue(Key& key, const std::u16string& name, win::DWORD type,
                std::vector<win::BYTE> data) {
  Value* value = FindValue(key, name);
  if (!value) {
    const std::u16string folded = Fold(name);
    auto at = std::find_if(key.values.begin(), key.values.end(),
                           [&](const Value& other) { return folded < Fold(other.name); });
    value = &*key.values.insert(at, Value{name, type, {}});
  }
  value->type = type;
  value->data = std::move(data);
  return *value;
}

bool RemoveValue(Key& key, const std::u16string& name) {
  auto found = std::find_if(key.values.begin(), key.values.end(),
                            [&](const Value& value) { return SameName(value.name, name); });
  if (found == key.values.end()) return false;
  key.values.erase(found);
  return true;
}

const std::string& PhysicalPath(const Key& key) {
  if (key.deleted) return key.deleted_path;
  if (key.path.empty()) {
    key.path = !key.alias.empty() ? key.alias
               : key.parent       ? PhysicalPath(*key.parent) + "\\" + ToUtf8(key.name)
                                  : ToUtf8(key.name);
  }
  return key.path;
}

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string FromUtf8(const std::string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t c = extra == 0   ? lead
                 : extra == 1 ? (lead & 0x1F)
                 : extra == 2 ? (lead & 0x0F)
                              : (lead & 0x07);
    ++i;
    for (; extra > 0 && i < text.size(); --extra, ++i) {
      c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

}  // namespace emu::detail
