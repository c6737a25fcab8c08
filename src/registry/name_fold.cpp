#include "registry/name_fold.h"

char16_t FoldNameUnit(char16_t unit) {
  if (unit < 0x80) return (unit >= u'a' && unit <= u'z') ? unit - 0x20 : unit;
  // Latin-1: à-þ without ÷; ÿ's capital lives in Latin Extended-A.
  if (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7) return unit - 0x20;
  if (unit == 0xFF) return 0x178;
  // Latin Extended-A: pairs of capital and small letter, the capital first;
  // two runs start on an odd unit. Dotted and dotless i, kra, n preceded by
  // apostrophe and long s have no partner.
  if (unit >= 0x100 && unit <= 0x17F && unit != 0x130 && unit != 0x131 && unit != 0x138 &&
      unit != 0x149 && unit != 0x178 && unit != 0x17F) {
    const bool odd_capital = (unit >= 0x139 && unit <= 0x148) || (unit >= 0x179 && unit <= 0x17E);
    if (odd_capital) return (unit % 2 == 0) ? unit - 1 : unit;
    return (unit % 2 == 1) ? unit - 1 : unit;
  }
  // Greek: α-ϋ; final sigma stays apart.
  if (unit >= 0x3B1 && unit <= 0x3CB && unit != 0x3C2) return unit - 0x20;
  // Cyrillic: а-я, then ѐ-џ.
  if (unit >= 0x430 && unit <= 0x44F) return unit - 0x20;
  if (unit >= 0x450 && unit <= 0x45F) return unit - 0x50;
  return unit;
}

bool SameKeyName(const char16_t* a, const char16_t* b) {
  while (*a != u'\0' && FoldNameUnit(*a) == FoldNameUnit(*b)) ++a, ++b;
  return FoldNameUnit(*a) == FoldNameUnit(*b);
}
