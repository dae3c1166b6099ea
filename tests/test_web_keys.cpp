// test_web_keys.cpp - the browser player's keys: a page's key presses become the codes the window
// sends, typed characters code page 850, and the browser keeps its own shortcuts.
#include "ui/gfx/gfx_internal.h"

#include <gtest/gtest.h>

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
