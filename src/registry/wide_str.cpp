#include "registry/wide_str.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "registry/wide_alloc.h"

namespace {

// Room the decimal constructor takes, more than any 32-bit number needs.
constexpr std::size_t kNumberCapacity = 64;

std::size_t LengthOf(const char16_t* text) {
  if (!text) return 0;
  std::size_t length = 0;
  while (text[length] != u'\0') ++length;
  return length;
}

// A new buffer holding |head| followed by |tail| and the terminator.
char16_t* Join(const char16_t* head, std::size_t head_length, const char16_t* tail,
               std::size_t tail_length) {
  char16_t* text = AllocateWide(std::uint64_t{head_length} + tail_length + 1);
  if (head_length) std::memcpy(text, head, head_length * sizeof(char16_t));
  if (tail_length) std::memcpy(text + head_length, tail, tail_length * sizeof(char16_t));
  text[head_length + tail_length] = u'\0';
  return text;
}

char16_t* CopyOf(const char16_t* text) {
  if (!text) return nullptr;
  return Join(text, LengthOf(text), nullptr, 0);
}

}  // namespace

int WideLength(const char16_t* text) { return static_cast<int>(LengthOf(text)); }

WideStr::WideStr(const char16_t* text) : text_(CopyOf(text)) {}

WideStr::WideStr(std::int32_t number) : text_(AllocateWide(kNumberCapacity)) {
  // Digits backwards into a scratch area; the magnitude as unsigned so that
  // the most negative number converts too.
  char16_t digits[16];
  std::size_t count = 0;
  std::uint32_t magnitude =
      number < 0 ? 0u - static_cast<std::uint32_t>(number) : static_cast<std::uint32_t>(number);
  do {
    digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::size_t out = 0;
  if (number < 0) text_[out++] = u'-';
  while (count) text_[out++] = digits[--count];
  text_[out] = u'\0';
}

WideStr::~WideStr() { FreeWide(text_); }

WideStr::WideStr(WideStr&& other) noexcept : text_(other.text_) { other.text_ = nullptr; }

WideStr& WideStr::operator=(WideStr&& other) noexcept {
  if (this != &other) {
    FreeWide(text_);
    text_ = other.text_;
    other.text_ = nullptr;
  }
  return *this;
}

WideStr& WideStr::Assign(const char16_t* text) {
  // Copy before freeing: |text| may point into the old buffer.
  char16_t* copy = CopyOf(text);
  FreeWide(text_);
  text_ = copy;
  return *this;
}

WideStr& WideStr::Append(const char16_t* text) {
  const std::size_t tail_length = LengthOf(text);
  if (tail_length == 0) return *this;
  char16_t* joined = Join(text_, LengthOf(text_), text, tail_length);
  FreeWide(text_);
  text_ = joined;
  return *this;
}

WideStr& WideStr::Append(char16_t c) {
  char16_t* joined = Join(text_, LengthOf(text_), &c, 1);
  FreeWide(text_);
  text_ = joined;
  return *this;
}

WideStr operator+(WideStr&& head, const char16_t* tail) {
  WideStr result(std::move(head));
  result.Append(tail);
  return result;
}

WideStr WideStr::Left(int n, const WideStr& source) {
  WideStr result;
  if (source.text_) {
    const std::size_t length = LengthOf(source.text_);
    const std::size_t count = n <= 0                                 ? 0
                              : static_cast<std::size_t>(n) < length ? static_cast<std::size_t>(n)
                                                                     : length;
    result.text_ = Join(source.text_, count, nullptr, 0);
  }
  return result;
}

int WideStr::Length() const { return WideLength(text_); }
