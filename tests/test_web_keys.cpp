// test_web_keys.cpp - the browser player's keys: a page's key presses become the codes the window
// sends, typed characters code page 850, and the browser keeps its own shortcuts.
#include "ui/gfx/gfx_internal.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

using namespace umb::gfx;

namespace {

int Plain(const char* key) { return WebKeyFromDom(key, false, false, false); }
int Ctrl(const char* key) { return WebKeyFromDom(key, true, false, false); }
int CtrlAlt(const char* key) { return WebKeyFromDom(key, true, true, false); }
int Alt(const char* key) { return WebKeyFromDom(key, false, true, false); }

TEST(WebKeys, NamedKeysAsTheWindowSendsThem) {
    EXPECT_EQ(Plain("Enter"), KeyEnter);
    EXPECT_EQ(Plain("Backspace"), KeyBackspace);
    EXPECT_EQ(Plain("Escape"), KeyEscape);
    EXPECT_EQ(Plain("Esc"), KeyEscape);
    EXPECT_EQ(Plain("ArrowUp"), KeyUp);
    EXPECT_EQ(Plain("ArrowDown"), KeyDown);
    EXPECT_EQ(Plain("F12"), KeyPictureToggle);
    // As in the window, Ctrl does not stop Enter or Backspace.
    EXPECT_EQ(Ctrl("Enter"), KeyEnter);
    EXPECT_EQ(Ctrl("Backspace"), KeyBackspace);
}

TEST(WebKeys, ShortcutsOfThePlayer) {
    EXPECT_EQ(Ctrl("z"), KeyUndo);
    EXPECT_EQ(Ctrl("Z"), KeyUndo);  // with Shift
    EXPECT_EQ(Ctrl("PrintScreen"), KeyScreenshot);
    EXPECT_EQ(CtrlAlt("s"), KeyScreenshot);
    EXPECT_EQ(CtrlAlt("S"), KeyScreenshot);
    EXPECT_EQ(Plain("F11"), WebKeyFullScreen);
    EXPECT_EQ(Alt("Enter"), WebKeyFullScreen);
    // Print Screen alone belongs to the system, as in the window.
    EXPECT_EQ(Plain("PrintScreen"), WebKeyNone);
}

TEST(WebKeys, TypedCharactersInTheCodePage) {
    EXPECT_EQ(Plain("a"), 'a');
    EXPECT_EQ(Plain("Z"), 'Z');
    EXPECT_EQ(Plain(" "), ' ');
    EXPECT_EQ(Plain("{"), '{');
    EXPECT_EQ(Plain("\xC3\xA9"), 0x82);  // é
    EXPECT_EQ(Plain("\xC3\x9F"), 0xE1);  // ß
    // AltGr arrives as Ctrl+Alt: what it types counts, unless it is a plain letter or digit.
    EXPECT_EQ(CtrlAlt("@"), '@');
    EXPECT_EQ(CtrlAlt("\xC2\xA3"), 0x9C);  // £
    EXPECT_EQ(CtrlAlt("q"), WebKeyNone);
    // Option on a Mac gives characters of its own; Alt with a plain letter is a menu key.
    EXPECT_EQ(Alt("\xC3\xB8"), 0x9B);  // ø
    EXPECT_EQ(Alt("f"), WebKeyNone);
}

// The UTF-8 of a code page 850 character, as a browser names the key that types it.
std::string KeyOf(int byte) {
    const uint32_t cp = Cp850ToUnicode[byte];
    std::string key;
    if (cp < 0x80) {
        key += static_cast<char>(cp);
    } else if (cp < 0x800) {
        key += static_cast<char>(0xC0 | (cp >> 6));
        key += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        key += static_cast<char>(0xE0 | (cp >> 12));
        key += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        key += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return key;
}

// Every character the font draws from the space on reaches the game as its own byte, whether
// typed plainly, with AltGr (Ctrl+Alt) or with a Mac's Option (Alt); the plain letters and
// digits with a modifier stay the browser's shortcuts.
TEST(WebKeys, EveryCharacterOfTheFontCanBeTyped) {
    for (int byte = ' '; byte <= 0xFF; ++byte) {
        const std::string key = KeyOf(byte);
        SCOPED_TRACE("byte " + std::to_string(byte) + " \"" + key + "\"");
        EXPECT_EQ(Plain(key.c_str()), byte);
        const bool shortcut = byte < 0x80 && std::isalnum(byte) != 0;
        const bool screenshot = byte == 's' || byte == 'S';
        EXPECT_EQ(CtrlAlt(key.c_str()), screenshot ? KeyScreenshot : shortcut ? WebKeyNone : byte);
        if (byte >= 0x80) {
            EXPECT_EQ(Alt(key.c_str()), byte);
        }
    }
    // The graphic characters of the control bytes never type those bytes (¶ and §, which the
    // code page has twice, type their upper-half bytes).
    for (int byte = 1; byte < ' '; ++byte) EXPECT_NE(Plain(KeyOf(byte).c_str()), byte);
}

TEST(WebKeys, TheBrowserKeepsWhatThePlayerDoesNotUse) {
    EXPECT_EQ(Ctrl("r"), WebKeyNone);
    EXPECT_EQ(Ctrl("c"), WebKeyNone);
    EXPECT_EQ(WebKeyFromDom("v", false, false, true), WebKeyNone);  // Cmd+V
    EXPECT_EQ(Plain("F5"), WebKeyNone);
    EXPECT_EQ(Plain("Tab"), WebKeyNone);
    EXPECT_EQ(Plain("Shift"), WebKeyNone);
    EXPECT_EQ(Plain("Dead"), WebKeyNone);          // the first half of a composed character
    EXPECT_EQ(Plain("\xE2\x82\xAC"), WebKeyNone);  // € is not in the code page
    EXPECT_EQ(Plain("\xF0\x9F\x98\x80"), WebKeyNone);
    EXPECT_EQ(Plain(""), WebKeyNone);
    EXPECT_EQ(WebKeyFromDom(nullptr, false, false, false), WebKeyNone);
    // Broken UTF-8 types nothing.
    EXPECT_EQ(Plain("\xC3"), WebKeyNone);
    EXPECT_EQ(Plain("\xC3("), WebKeyNone);
}

}  // namespace
