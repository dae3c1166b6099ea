// show.cpp - what the engine hands the front end: the game's texts with their marks expanded,
// and its letters, prompt, colours, title and pictures as plain values.
#include "engine/show.h"

#include "base/nocase.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace umb::base;
using namespace umb::db;

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

void ShowGameMessage(Game& g, const char* text) {
    char buffer[WorkBufferSize];
    FrontShowMessage(g, Expanded(g, text, buffer));
}

GameLook LookOf(const GameDatabase& db) {
    GameLook look;
    look.title = db.Title;
    look.background = ColourOf(db.BgColor, 0);
    look.foreground = ColourOf(db.FgColor, 15);
    look.hasStatusVerb = FindVerb(db, "status") != 0;
    return look;
}

OpenResult OpenGameScreen(Game& g, FrontHandle fallback) {
    char why[256] = "none was given";
    const GameLook look = LookOf(*g.Db);
    if (g.Front.table == nullptr) {
        g.Front = fallback;
        fallback = {};
    }
    if (g.Front.table == nullptr) {
        std::fprintf(stderr, "Cannot open the front end: %s\n", why);
        return OpenResult::Failed;
    }
    why[0] = '\0';
    if (g.Front.table->open(g.Front.self, look, why, sizeof why) == OpenResult::Ready)
        return OpenResult::Ready;
    char fallbackWhy[256] = "";
    if (fallback.table != nullptr &&
        fallback.table->open(fallback.self, look, fallbackWhy, sizeof fallbackWhy) ==
            OpenResult::Ready) {
        g.Front = fallback;
        return OpenResult::Ready;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "Cannot open the %s: %s\n", g.Front.table->name, why);
    std::fflush(stderr);
    return OpenResult::Failed;
}

bool AskGameYesNo(Game& g, const char* prompt) {
    const GameDatabase& db = *g.Db;
    char fallback[16];
    if (prompt == nullptr) {
        std::snprintf(fallback, sizeof fallback, "(%c/%c)? ", FoldCase(db.YesLetter),
                      FoldCase(db.NoLetter));
        prompt = fallback;  // marks and all, like any prompt: a letter may be a "%"
    }
    char buffer[WorkBufferSize];
    return FrontAskYesNo(g, Expanded(g, prompt, buffer), db.YesLetter, db.NoLetter);
}

int AskGameChoice(Game& g, const char* prompt, int count) {
    char buffer[WorkBufferSize];
    return FrontAskChoice(g, Expanded(g, prompt, buffer), count);
}

LineResult ReadGameLine(Game& g, char* buffer, int maxLength) {
    // Expanded once for the whole line: no variable changes while the player types.
    char prompt[WorkBufferSize];
    return FrontReadLine(g, Expanded(g, g.Db->Prompt, prompt), buffer, maxLength);
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

PictureResult DisplayGamePicture(Game& g, TextRef picture) {
    const char* name = TextOf(*g.Db, picture);
    const std::string path = GamePicturePath(*g.Db, name);
    return FrontShowPicture(g, PictureKey(picture), path.c_str(), name);
}

}  // namespace umb::engine
