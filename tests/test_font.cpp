// test_font.cpp - the generated glyph table and the code page 850 conversions.
#include "ui/gfx/gfx_internal.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace umb::gfx;

namespace {

bool SameGlyph(unsigned char a, unsigned char b) {
    return std::memcmp(FontGlyphs[a], FontGlyphs[b], GlyphHeight) == 0;
}

bool GlyphIsFilledWith(unsigned char c, unsigned char row) {
    for (int i = 0; i < GlyphHeight; ++i)
        if (FontGlyphs[c][i] != row) return false;
    return true;
}

}  // namespace

// A table shifted by one glyph or taken from the wrong font shows up in these.
TEST(FontGlyphs, ShowTheCodePageCharacters) {
    EXPECT_FALSE(GlyphIsFilledWith('A', 0x00));
    EXPECT_FALSE(SameGlyph('A', 'B'));
    EXPECT_TRUE(GlyphIsFilledWith(' ', 0x00));
    EXPECT_TRUE(GlyphIsFilledWith(0xDB, 0xFF));  // full block
    EXPECT_FALSE(SameGlyph(0x8A, 'e'));          // è
    EXPECT_FALSE(GlyphIsFilledWith(0x8A, 0x00));
}

TEST(Cp850, TypedCharactersRoundTrip) {
    for (int b = 0x20; b <= 0xFF; ++b) {
        if (b == 0x7F) continue;  // the delete key's byte, never typed as a character
        EXPECT_EQ(UnicodeToCp850(Cp850ToUnicode[b]), b) << "byte " << b;
    }
    EXPECT_EQ(Cp850ToUnicode[0x8A], 0x00E8u);
    EXPECT_EQ(Cp850ToUnicode[0x9C], 0x00A3u);
    EXPECT_EQ(Cp850ToUnicode[0xF8], 0x00B0u);
    EXPECT_EQ(Cp850ToUnicode[0xFF], 0x00A0u);
}

TEST(Cp850, CharactersOutsideTheCodePageGiveZero) {
    EXPECT_EQ(UnicodeToCp850(0x20AC), 0);  // €
    EXPECT_EQ(UnicodeToCp850(0x4E00), 0);
    EXPECT_EQ(UnicodeToCp850(0x1F600), 0);
    // Control characters, and the graphic characters only the control bytes show.
    EXPECT_EQ(UnicodeToCp850(0x0A), 0);
    EXPECT_EQ(UnicodeToCp850(0x7F), 0);
    EXPECT_EQ(UnicodeToCp850(0x85), 0);
    EXPECT_EQ(UnicodeToCp850(0x263A), 0);  // ☺
    // ¶ and § are also shown by control bytes; typing them gives their printable bytes.
    EXPECT_EQ(UnicodeToCp850(0x00B6), 0xF4);
    EXPECT_EQ(UnicodeToCp850(0x00A7), 0xF5);
}

// Every front end decodes typed UTF-8 the same way: only well-formed characters count.
TEST(Utf8, OneDecoderRefusesWhatIsNoCharacter) {
    const char* text = "a\xC3\xA8\xA9z\xC0\xAF\xE2\x82";
    EXPECT_EQ(NextUtf8(&text), 'a');
    EXPECT_EQ(NextUtf8(&text), 0xE8);  // è
    EXPECT_EQ(NextUtf8(&text), -1);    // a stray continuation byte is no character
    EXPECT_EQ(NextUtf8(&text), 'z');
    EXPECT_EQ(NextUtf8(&text), -1);  // an overlong "/": a lead byte that starts nothing
    EXPECT_EQ(NextUtf8(&text), -1);
    EXPECT_EQ(NextUtf8(&text), -1);  // cut short by the end of the text
    EXPECT_EQ(*text, '\0');

    int32_t cp = 0;
    const unsigned char partial[] = {0xE2, 0x82};
    EXPECT_EQ(Utf8Character(partial, 2, &cp), 0);  // more bytes may yet come
    const unsigned char surrogate[] = {0xED, 0xA0, 0x80};
    EXPECT_EQ(Utf8Character(surrogate, 3, &cp), 3);
    EXPECT_EQ(cp, -1);
    const unsigned char euro[] = {0xE2, 0x82, 0xAC};
    EXPECT_EQ(Utf8Character(euro, 3, &cp), 3);
    EXPECT_EQ(cp, 0x20AC);
}
