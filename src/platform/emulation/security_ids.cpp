#include "platform/emulation/security_ids.h"

#include <cstdio>

namespace emu::detail {

namespace {

constexpr std::size_t kMaxSubAuthorities = 15;  // SID_MAX_SUB_AUTHORITIES

// Reads a number of at most |limit| from |text| at |*pos|: decimal, or hex
// after "0x"; false for none or one too large.
bool ReadNumber(const std::u16string& text, std::size_t* pos, unsigned long long limit,
                unsigned long long* number) {
  unsigned base = 10;
  if (text.compare(*pos, 2, u"0x") == 0 || text.compare(*pos, 2, u"0X") == 0) {
    base = 16;
    *pos += 2;
  }
  const std::size_t start = *pos;
  *number = 0;
  for (; *pos < text.size() && text[*pos] != u'-'; ++*pos) {
    const char16_t c = text[*pos];
    unsigned digit = 0;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (base == 16 && c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (base == 16 && c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      return false;
    }
    if (digit >= base || *number > (limit - digit) / base) return false;
    *number = *number * base + digit;
  }
  return *pos > start;
}

}  // namespace

std::size_t SidSize(std::size_t sub_authorities) { return 8 + 4 * sub_authorities; }

bool SidFromText(const std::u16string& text, std::vector<win::BYTE>* sid) {
  if (text.size() < 4 || (text[0] != u'S' && text[0] != u's') || text.compare(1, 3, u"-1-") != 0) {
    return false;
  }
  std::size_t pos = 4;
  unsigned long long authority = 0;
  if (!ReadNumber(text, &pos, 0xFFFFFFFFFFFFull, &authority)) return false;
  std::vector<std::uint32_t> subs;
  while (pos < text.size()) {
    ++pos;  // the '-'
    unsigned long long sub = 0;
    if (subs.size() == kMaxSubAuthorities || !ReadNumber(text, &pos, 0xFFFFFFFFull, &sub)) {
      return false;
    }
    subs.push_back(static_cast<std::uint32_t>(sub));
  }
  sid->assign({1, static_cast<win::BYTE>(subs.size())});
  for (int shift = 40; shift >= 0; shift -= 8) {
    sid->push_back(static_cast<win::BYTE>(authority >> shift));
  }
  for (std::uint32_t sub : subs) {
    for (int shift = 0; shift < 32; shift += 8)
      sid->push_back(static_cast<win::BYTE>(sub >> shift));
  }
  return true;
}

bool SidText(const win::BYTE* sid, std::u16string* text) {
  if (!sid || sid[0] != 1 || sid[1] > kMaxSubAuthorities) return false;
  unsigned long long authority = 0;
  for (int i = 0; i < 6; ++i) authority = (authority << 8) | sid[2 + i];
  char number[24];
  if (authority >> 32) {
    std::snprintf(number, sizeof number, "0x%012llX", authority);
  } else {
    std::snprintf(number, sizeof number, "%llu", authority);
  }
  std::string out = std::string("S-1-") + number;
  for (std::size_t i = 0; i < sid[1]; ++i) {
    const win::BYTE* sub = sid + 8 + 4 * i;
    const unsigned long value =
        sub[0] | (sub[1] << 8) | (sub[2] << 16) | (static_cast<unsigned long>(sub[3]) << 24);
    std::snprintf(number, sizeof number, "-%lu", value);
    out += number;
  }
  text->assign(out.begin(), out.end());
  return true;
}

}  // namespace emu::detail
