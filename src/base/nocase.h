// nocase.h - the case-insensitive comparisons used for every keyword, header and word.
#pragma once

#include <cstddef>
#include <cstdint>

namespace umb::base {

// Returns c with A to Z folded to lower case; every other byte, those above 127 included, stays.
inline char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Returns 0 when equal without regard to case, else the difference of the first differing
// folded characters taken as signed 8-bit values.
int CompareNoCase(const char* a, const char* b);

// Returns what CompareNoCase does for the first n characters at most; n = 0 always gives 0.
int CompareNoCaseN(const char* a, const char* b, size_t n);

// Returns the first 8 characters of a word (up to its NUL), folded and packed into one key: two
// words have the same key exactly when CompareNoCaseN(a, b, 8) finds them equal.
uint64_t WordKey(const char* word);

}  // namespace umb::base
