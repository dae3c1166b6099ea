// codepage.h - code page 850 (the character set of texts and keys) and the one UTF-8 decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace umb::base {

// Unicode code point of each code page 850 byte, and the byte of a code point (0 when the code
// page lacks it): the game's texts and keys are code page 850, terminals and files speak Unicode.
extern const uint16_t Cp850ToUnicode[256];
int UnicodeToCp850(uint32_t codePoint);
// UTF-8, decoded once for every reader: the window's typed text, the browser's keys, the
// terminal's bytes and sources saved as UTF-8.
// Returns the continuation bytes that follow a lead byte, -1 for a byte that starts no character.
int Utf8Continuations(int lead);
// Returns the bytes the UTF-8 character at p takes of the n there, 0 when the n bytes end inside
// it; *codePoint receives the character, or -1 when the bytes are none (a stray or cut-short
// sequence, an overlong or surrogate form, past U+10FFFF), which the caller then passes over.
int Utf8Character(const unsigned char* p, size_t n, int32_t* codePoint);
// Returns the code point of the UTF-8 character at *text and moves *text past it; a broken
// sequence returns -1, having moved past its lead byte and the continuation bytes it had.
int32_t NextUtf8(const char** text);

// Returns the UTF-8 form of a code page 850 text; control characters, which would move a
// terminal's cursor or ring its bell, are dropped.
std::string Cp850ToUtf8(const char* text, size_t length);

}  // namespace umb::base
