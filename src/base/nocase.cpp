// nocase.cpp - case-insensitive comparison of words, folding only the letters A to Z.
#include "base/nocase.h"

namespace umb::base {

int CompareNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (*a == '\0' && *b == '\0') return 0;
        const auto ca = static_cast<signed char>(FoldCase(*a));
        const auto cb = static_cast<signed char>(FoldCase(*b));
        if (ca != cb) return ca - cb;
    }
}

int CompareNoCaseN(const char* a, const char* b, size_t n) {
    for (;; ++a, ++b) {
        if (*a == '\0' && *b == '\0') return 0;
        if (n == 0) return 0;
        --n;
        const auto ca = static_cast<signed char>(FoldCase(*a));
        const auto cb = static_cast<signed char>(FoldCase(*b));
        if (ca != cb) return ca - cb;
    }
}

uint64_t WordKey(const char* word) {
    uint64_t key = 0;
    for (int i = 0; i < 8 && word[i] != '\0'; ++i)
        key |= static_cast<uint64_t>(static_cast<unsigned char>(FoldCase(word[i]))) << (8 * i);
    return key;
}

}  // namespace umb::base
