// codepage.cpp - code page 850, the character set of texts and keys, and UTF-8 decoding.
#include "base/codepage.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace umb::base {

// The bytes below 0x20 and 0x7F carry the PC's graphic characters rather than control names,
// since that is what the font shows for them.
// clang-format off
constexpr uint16_t Cp850ToUnicode[256] = {
    // 0x00
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    // 0x10
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
    // 0x20
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    // 0x30
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    // 0x40
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,
    // 0x50
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,
    // 0x60
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,
    // 0x70
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302,
    // 0x80
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    // 0x90
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    // 0xA0
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    // 0xB0
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    // 0xC0
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    // 0xD0
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    // 0xE0
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    // 0xF0
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};
// clang-format on

namespace {

struct Cp850Entry {
    uint16_t codePoint;
    unsigned char byte;
};

// The upper half sorted by code point, for typed characters and UTF-8 sources. The lower half needs
// no table: its printable part is ASCII, and a keyboard never types the graphic characters of the
// control bytes.
constexpr std::array<Cp850Entry, 128> BuildUpperHalf() {
    std::array<Cp850Entry, 128> entries{};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = {Cp850ToUnicode[0x80 + i], static_cast<unsigned char>(0x80 + i)};
    }
    std::sort(entries.begin(), entries.end(),
              [](const Cp850Entry& a, const Cp850Entry& b) { return a.codePoint < b.codePoint; });
    return entries;
}

constexpr std::array<Cp850Entry, 128> UpperHalf = BuildUpperHalf();

// A code point listed twice would make one of its bytes unreachable from the keyboard.
constexpr bool UpperHalfIsUnique() {
    for (std::size_t i = 1; i < UpperHalf.size(); ++i) {
        if (UpperHalf[i - 1].codePoint == UpperHalf[i].codePoint) return false;
    }
    return UpperHalf[0].codePoint >= 0xA0;
}
static_assert(UpperHalfIsUnique());

}  // namespace

int UnicodeToCp850(uint32_t codePoint) {
    if (codePoint >= 0x20 && codePoint < 0x7F) return static_cast<int>(codePoint);
    if (codePoint < 0xA0 || codePoint > 0xFFFF) return 0;
    auto it = std::lower_bound(UpperHalf.begin(), UpperHalf.end(), codePoint,
                               [](const Cp850Entry& e, uint32_t cp) { return e.codePoint < cp; });
    if (it == UpperHalf.end() || it->codePoint != codePoint) return 0;
    return it->byte;
}

int Utf8Continuations(int lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return -1;
}

int Utf8Character(const unsigned char* p, size_t n, int32_t* codePoint) {
    *codePoint = -1;
    if (n == 0) return 0;
    if (p[0] < 0x80) {
        *codePoint = p[0];
        return 1;
    }
    const int more = Utf8Continuations(p[0]);
    if (more < 0) return 1;
    uint32_t cp = p[0] & (0x3Fu >> more);
    for (int k = 1; k <= more; ++k) {
        if (static_cast<size_t>(k) >= n) return 0;
        if ((p[k] & 0xC0) != 0x80) return k;  // cut short: the bytes before the intruder go
        cp = (cp << 6) | (p[k] & 0x3Fu);
    }
    const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp >= least[more] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF))
        *codePoint = static_cast<int32_t>(cp);
    return more + 1;
}

int32_t NextUtf8(const char** text) {
    const auto* p = reinterpret_cast<const unsigned char*>(*text);
    int32_t cp = -1;
    const size_t n = strnlen(*text, 4);
    const int used = Utf8Character(p, n, &cp);
    // Cut short by the end of the text: all that is left goes.
    *text += used > 0 ? static_cast<size_t>(used) : n;
    return used > 0 ? cp : -1;
}

std::string Cp850ToUtf8(const char* text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const uint32_t c = b < 0x80 ? b : Cp850ToUnicode[b];
        // Control characters would move a terminal's cursor or ring its bell: never written.
        if (c < 0x20 || c == 0x7F) continue;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace umb::base
