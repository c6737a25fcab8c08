// WideStr: an owned, heap-allocated, NUL-terminated UTF-16 text.
//
// A null pointer stands for the empty text and every operation accepts it.
// Each change allocates a new buffer of exactly the text and its terminator
// (the decimal constructor takes 64 characters) and frees the old one.
// Allocation failure throws std::bad_alloc; nothing here catches it.
#pragma once

#include <cstdint>

class WideStr {
 public:
  WideStr() = default;
  // A copy of |text|; null stays null.
  explicit WideStr(const char16_t* text);
  // |number| in decimal, with a leading '-' when negative.
  explicit WideStr(std::int32_t number);
  ~WideStr();

  WideStr(WideStr&& other) noexcept;
  WideStr& operator=(WideStr&& other) noexcept;
  WideStr(const WideStr&) = delete;
  WideStr& operator=(const WideStr&) = delete;

  // Frees the old text, then copies |text| (null stays null).
  WideStr& Assign(const char16_t* text);
  // A null or empty |text| leaves the string as it is.
  WideStr& Append(const char16_t* text);
  WideStr& Append(char16_t c);

  // Takes over |head|'s buffer (leaving |head| null) and appends |tail|:
  // a path plus a suffix without a second copy of the path.
  friend WideStr operator+(WideStr&& head, const char16_t* tail);

  // The first min(n, length) characters of |source|; null when it is null.
  static WideStr Left(int n, const WideStr& source);

  // The text, or null for the null string.
  const char16_t* get() const { return text_; }
  // The text, or u"" for the null string.
  const char16_t* c_str() const { return text_ ? text_ : u""; }
  bool IsNull() const { return text_ == nullptr; }
  int Length() const;

 private:
  char16_t* text_ = nullptr;
};

// Number of characters before the terminator; 0 for null.
int WideLength(const char16_t* text);
