// output.cpp - what the engine hands the screen: the game's texts with their marks expanded, and
// its letters, prompt, colours, title and pictures as plain values.
#include "engine/engine.h"

#include "base/nocase.h"
#include "ui/frontend.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace umb::base;
using namespace umb::db;
using namespace umb::ui;

namespace umb::engine {

namespace {

// The colours the game's colour numbers name; 7 is darker than 8.
const RgbColour ColourTable[16] = {
    {0, 0, 0},       {32, 32, 136},  {32, 136, 32},  {32, 136, 136},
    {136, 32, 32},   {136, 32, 136}, {136, 136, 32}, {112, 112, 112},
    {176, 176, 176}, {64, 64, 208},  {64, 208, 64},  {64, 208, 208},
    {208, 64, 64},   {208, 64, 208}, {208, 208, 64}, {240, 240, 240},
};

// A compiled game file may carry any colour number; those outside the table take the default.
RgbColour ColourOf(int number, int fallback) {
    return ColourTable[number >= 0 && number < 16 ? number : fallback];
}

// A text's offset tells it apart from every other text, even one with the same characters; no
// text is the key of no picture.
static_assert(NoText == static_cast<TextRef>(NoPictureKey));
int PictureKey(TextRef picture) { return static_cast<int>(picture); }

// The text with its marks expanded into buffer (WorkBufferSize bytes); none stays none.
const char* Expanded(const Game& g, const char* text, char* buffer) {
    if (text == nullptr) return nullptr;
    ExpandText(*g.Db, text, buffer);
    return buffer;
}

}  // namespace

size_t ExpandText(const GameDatabase& db, const char* text, char* out) {
    size_t o = 0;
    auto put = [&](char c) {
        if (o < WorkBufferSize - 1) out[o++] = c;
    };
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p != '%') {
            put(*p);
            continue;
        }
        if (p[1] == '%') {
            put('%');
            ++p;
            continue;
        }
        const char* close = std::strchr(p + 1, '%');
        if (close == nullptr) break;  // an unclosed mark drops the rest
        char name[WordLength + 1] = {};
        const size_t len = static_cast<size_t>(close - (p + 1));
        std::memcpy(name, p + 1, len < WordLength ? len : WordLength);
        int value = 0;
        const int var = FindVariable(db, name);
        if (var > 0 && static_cast<size_t>(var) < db.Vars.size())
            value = db.Vars[static_cast<size_t>(var)].value;
        char number[16];
        std::snprintf(number, sizeof number, "%d", value);
        for (const char* d = number; *d != '\0'; ++d) put(*d);
        p = close;
    }
    out[o] = '\0';
    return o;
}

int PrintGameText(Game& g, const char* text) {
    char buffer[WorkBufferSize];
    return PrintText(*g.Screen, Expanded(g, text, buffer));
}

void ShowGameMessage(Game& g, const char* text) {
    char buffer[WorkBufferSize];
    FrontShowMessage(*g.Screen, Expanded(g, text, buffer));
}

void UseGameColours(Game& g) {
    g.Screen->Background = ColourOf(g.Db->BgColor, 0);
    g.Screen->Foreground = ColourOf(g.Db->FgColor, 15);
}

int OpenGameScreen(Game& g) {
    UseGameColours(g);
    g.Screen->GameHasStatusVerb = FindVerb(*g.Db, "status") != 0;
    return FrontOpen(*g.Screen, g.Db->Title);
}

int AskGameYesNo(Game& g, const char* prompt) {
    const GameDatabase& db = *g.Db;
    char fallback[16];
    if (prompt == nullptr) {
        std::snprintf(fallback, sizeof fallback, "(%c/%c)? ", FoldCase(db.YesLetter),
                      FoldCase(db.NoLetter));
        prompt = fallback;  // marks and all, like any prompt: a letter may be a "%"
    }
    char buffer[WorkBufferSize];
    return FrontAskYesNo(*g.Screen, Expanded(g, prompt, buffer), db.YesLetter, db.NoLetter);
}

int AskGameChoice(Game& g, const char* prompt, int count) {
    char buffer[WorkBufferSize];
    return FrontAskChoice(*g.Screen, Expanded(g, prompt, buffer), count);
}

int ReadGameLine(Game& g, char* buffer, int maxLength) {
    // Expanded once for the whole line: no variable changes while the player types.
    char prompt[WorkBufferSize];
    return FrontReadLine(*g.Screen, Expanded(g, g.Db->Prompt, prompt), buffer, maxLength);
}

std::string GamePicturePath(const GameDatabase& db, const char* name) {
    std::string path;
    if (name != nullptr && name[0] != '\0') {
        // Under the game's image path, or where the name alone says when it has none.
        const size_t folder = strnlen(db.ImagePath, sizeof db.ImagePath);
        if (folder > 0) path.assign(db.ImagePath, folder).push_back('/');
        path += name;
    }
    return path;
}

int DisplayGamePicture(Game& g, TextRef picture) {
    const char* name = TextOf(*g.Db, picture);
    const std::string path = GamePicturePath(*g.Db, name);
    return FrontShowPicture(*g.Screen, PictureKey(picture), path.c_str(), name);
}

}  // namespace umb::engine
