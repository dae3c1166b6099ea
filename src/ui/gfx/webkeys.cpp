// webkeys.cpp - a browser's key presses as the game's key codes, the same as the window's.
#include "ui/gfx/gfx_internal.h"

#include <cstring>

namespace umb::gfx {

namespace {

struct DomKey {
    const char* name;
    int code;
};

// Older browsers name a few keys differently; both names are taken.
const DomKey DomKeys[] = {
    {"Enter", KeyEnter},    {"Backspace", KeyBackspace}, {"Escape", KeyEscape},
    {"Esc", KeyEscape},     {"ArrowUp", KeyUp},          {"Up", KeyUp},
    {"ArrowDown", KeyDown}, {"Down", KeyDown},           {"F12", KeyPictureToggle},
};

bool IsAsciiLetterOrDigit(int32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The character a key name stands for when it is exactly one character, else -1.
int32_t SingleCharacter(const char* key) {
    const char* p = key;
    const int32_t cp = NextUtf8(&p);
    return *p == '\0' ? cp : -1;
}

// The code page 850 byte of a typed character, or WebKeyNone. Every character the font draws from
// the space on can be typed, the house of byte 127 among them, which the conversion of text
// leaves out (it takes that byte for ASCII's delete); the graphic characters of the control
// bytes would be keys in disguise.
int TypedByte(int32_t ch) {
    constexpr int House = 0x7F;
    if (ch == Cp850ToUnicode[House]) return House;
    const int byte = UnicodeToCp850(static_cast<uint32_t>(ch));
    return byte >= ' ' ? byte : WebKeyNone;
}

}  // namespace

int WebKeyFromDom(const char* key, bool ctrl, bool alt, bool meta) {
    if (key == nullptr || key[0] == '\0') return WebKeyNone;
    if (std::strcmp(key, "F11") == 0 || (alt && !ctrl && std::strcmp(key, "Enter") == 0))
        return WebKeyFullScreen;
    if (ctrl && std::strcmp(key, "PrintScreen") == 0) return KeyScreenshot;
    const int32_t ch = SingleCharacter(key);
    // Browsers keep Print Screen to themselves, so Ctrl+Alt+S takes the screenshot too.
    if (ctrl && alt && !meta && (ch == 's' || ch == 'S')) return KeyScreenshot;
    if (ctrl && !alt && !meta && (ch == 'z' || ch == 'Z')) return KeyUndo;
    if (ch < 0) {
        // As in the window, a named key counts whatever modifiers are held with it.
        for (const DomKey& k : DomKeys)
            if (std::strcmp(key, k.name) == 0) return k.code;
        return WebKeyNone;
    }
    // A character is typed without modifiers; with Option on a Mac (Alt) when the key gave a
    // character of its own; with AltGr, which browsers report as Ctrl+Alt, unless it is a plain
    // letter or digit (then Ctrl+Alt was meant as a shortcut). Other combinations are the
    // browser's.
    bool typed = !ctrl && !alt && !meta;
    if (alt && !ctrl && !meta) typed = ch >= 0x80;
    if (alt && ctrl && !meta) typed = !IsAsciiLetterOrDigit(ch);
    if (!typed) return WebKeyNone;
    return TypedByte(ch);
}

}  // namespace umb::gfx
