// Comparing key names the way the registry does: without regard to case.
#pragma once

// The unit that stands for |unit| and every other case of it. The registry
// folds letters of Latin-1, Latin Extended-A, Greek and Cyrillic besides
// ASCII; any other unit compares as it is. Folding unit by unit keeps
// surrogates unchanged.
char16_t FoldNameUnit(char16_t unit);

// Whether the NUL-terminated |a| and |b| are one name to the registry.
bool SameKeyName(const char16_t* a, const char16_t* b);
