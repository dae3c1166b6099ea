// text_screen.cpp - the window's areas as rows of text: printing, the questions, the key script,
// the transcript and the screen dumps, exactly as the window and the headless driver give them.
#include "ui/text/text_screen.h"

#include "ui/editor.h"
#include "ui/print.h"

#include <algorithm>
#include <cstring>

namespace umb::ui {

using gfx::GlyphHeight;
using gfx::GlyphWidth;

namespace {

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The row at pixel row y, made when there is none, the rows kept in order.
TextRow& RowAt(TextArea& area, int y) {
    auto it = std::lower_bound(area.rows.begin(), area.rows.end(), y,
                               [](const TextRow& r, int at) { return r.y < at; });
    if (it == area.rows.end() || it->y != y) it = area.rows.insert(it, TextRow{y, {}});
    return *it;
}

// Drops the blanks ending each row, and the rows left empty.
void Tidy(TextArea& area) {
    for (TextRow& r : area.rows) {
        const size_t end = r.cells.find_last_not_of(' ');
        r.cells.resize(end == std::string::npos ? 0 : end + 1);
    }
    std::erase_if(area.rows, [](const TextRow& r) { return r.cells.empty(); });
}

// Forgets the characters whose glyph cells overlap the pixel box x1,y1-x2,y2 of the screen, as
// the window forgets those it paints over: a glyph is GlyphHeight rows high, so a line drawn on
// the title's bottom line takes away what it covers of the two flowing lines it overlaps.
void Remove(TextArea& area, const AreaBox& a, int x1, int y1, int x2, int y2) {
    const int first = std::max(0, FloorDiv(x1 - a.x1, GlyphWidth));
    const int last = FloorDiv(x2 - a.x1, GlyphWidth);
    for (TextRow& r : area.rows) {
        if (r.y < y1 - (GlyphHeight - 1) || r.y > y2) continue;
        const int end = std::min(last, static_cast<int>(r.cells.size()) - 1);
        for (int c = first; c <= end; ++c) r.cells[static_cast<size_t>(c)] = ' ';
    }
    Tidy(area);
}

// Writes count characters at column col of the row at y, over what was there.
void Put(TextArea& area, int y, int col, const char* text, int count) {
    std::string& cells = RowAt(area, y).cells;
    const auto end = static_cast<size_t>(col + count);
    if (cells.size() < end) cells.resize(end, ' ');
    for (int i = 0; i < count; ++i)
        cells[static_cast<size_t>(col + i)] = text[i] != '\0' ? text[i] : ' ';
}

// The characters of the row at y, blanks at its end dropped; empty when it has none.
std::string RowText(const TextArea& area, int y) {
    for (const TextRow& r : area.rows)
        if (r.y == y) return r.cells;
    return {};
}

// The transcript's sink: a row past the limit stops the play and nothing more is kept.
void Transcribe(TextScreen& t, const std::string& line) {
    if (t.muted) return;
    t.written += line.size() + 1;
    if (t.written > t.limit) {
        t.cut = true;
        t.muted = true;
        t.stopWanted = true;
        return;
    }
    t.transcript += line;
    t.transcript += '\n';
}

void Dump(TextScreen& t) {
    if (t.muted) return;
    ForEachTextDumpLine(
        t,
        [](const char* line, void* context) {
            std::string& out = *static_cast<std::string*>(context);
            out += line;
            out += '\n';
        },
        &t.transcript);
}

// The message area's bottom row goes to the transcript as it leaves the bottom line.
void BottomRowOut(TextScreen& t) {
    const std::string row = RowText(t.areas[AreaMessages], Areas[AreaMessages].y2 - LineHeight);
    if (!row.empty()) Transcribe(t, row);
}

// The text screen as a surface to print on (print.h).
struct TextSurface {
    TextScreen& t;
    TextArea& area = t.areas[t.area];
    const AreaBox& box = Areas[t.area];
    void BottomRowOut() { ui::BottomRowOut(t); }
    void Clear(int x1, int y1, int x2, int y2) { Remove(area, box, x1, y1, x2, y2); }
    void ScrollUp(const AreaBox& a);
    void Draw(const char* text, int count, int x, int y) {
        if (count <= 0) return;
        Remove(area, box, x, y, x + count * GlyphWidth - 1, y + GlyphHeight - 1);
        Put(area, y, (x - box.x1) / GlyphWidth, text, count);
        Tidy(area);
    }
};

// Moves the characters whose cells lie wholly below the box's top line up one line; what was on
// the top line, and any character left behind, is gone.
void TextSurface::ScrollUp(const AreaBox& a) {
    const auto whole = static_cast<size_t>((a.x2 - (GlyphWidth - 1) - a.x1) / GlyphWidth + 1);
    std::vector<TextRow> moved;
    for (TextRow& r : area.rows) {
        if (r.y < a.y1 + LineHeight || r.y + GlyphHeight - 1 > a.y2) continue;
        const size_t count = std::min(whole, r.cells.size());
        moved.push_back({r.y - LineHeight, r.cells.substr(0, count)});
        std::fill_n(r.cells.begin(), count, ' ');
    }
    Remove(area, a, a.x1, a.y1, a.x2, a.y2 - LineHeight);
    for (const TextRow& m : moved)
        Put(area, m.y, 0, m.cells.data(), static_cast<int>(m.cells.size()));
    Tidy(area);
}

void Select(TextScreen& t, int area, int mode) {
    t.area = area;
    t.mode = mode;
}

int Print(TextScreen& t, const char* text, const char* typed = nullptr, int startX = 0) {
    TextSurface surface{t};
    return PrintInArea(surface, PrintPlace{t.area, t.mode, t.lineOffset}, text, typed, startX);
}

// The next key of the script: {screen} dumps the screen; at the end of the script the screen is
// dumped a last time and every later wait gets KeyEndOfInput, the game ending there.
int ReadKey(TextScreen& t) {
    if (t.muted) return gfx::KeyEndOfInput;
    for (;;) {
        const int key = gfx::NextKeyToken(t.keys);
        if (key == gfx::KeyTokenScreen) {
            Dump(t);
            continue;
        }
        if (key != gfx::KeyTokenEnd) return key;
        Dump(t);
        t.keysEnded = true;
        t.muted = true;
        return gfx::KeyEndOfInput;
    }
}

// The text screen's keys and bottom line, for the editors (editor.h).
struct TextIo {
    TextScreen& t;
    int NewLine(const char* text) {
        Select(t, AreaMessages, ModeNewLine);
        const int x = Print(t, text);
        t.mode = ModeRedrawLine;
        return x;
    }
    int Typed(const char* text, const char* typed, int startX) {
        return Print(t, text, typed, startX);
    }
    int ReadKey() { return ui::ReadKey(t); }
    void EndInput() { t.inputEnded = true; }
    void Screenshot() {}  // no pixels to save
    void TogglePictures() { t.picturesOn = !t.picturesOn; }
    InputHistory& History() { return t.history; }
    char* KeptLine() { return t.keptLine; }
};

// A blank screen: what the message area's bottom line showed goes to the transcript first.
void Blank(TextScreen& t) {
    BottomRowOut(t);
    for (TextArea& area : t.areas) area.rows.clear();
}

}  // namespace

void ForEachTextDumpLine(const TextScreen& t, void (*emit)(const char* line, void* context),
                         void* context) {
    emit("== screen ==", context);
    static const char* const names[] = {"title", "description", "messages"};
    for (int area = AreaTitle; area <= AreaMessages && t.opened; ++area) {
        const std::string heading = std::string("-- ") + names[area - AreaTitle] + " --";
        emit(heading.c_str(), context);
        for (const TextRow& r : t.areas[area].rows)
            if (r.y >= Areas[area].y1 && r.y <= Areas[area].y2) emit(r.cells.c_str(), context);
    }
    emit("== end ==", context);
}

void TextScreenOpen(TextScreen& t) {
    for (TextArea& area : t.areas) area.rows.clear();
    t.opened = true;
    t.picturesOn = !t.noPictures;
}

void TextScreenClose(TextScreen& t) { Dump(t); }

void TextScreenNewGame(TextScreen& t) {
    Blank(t);
    t.history = InputHistory{};
    t.keptLine[0] = '\0';  // a line half-typed in the last game is not the new game's
    t.lastPicture = NoPictureKey;
}

// The text screen's areas as the shared show functions print into them.
struct TextPrinter {
    TextScreen& t;
    void Select(int area, int mode) { ui::Select(t, area, mode); }
    void Print(const char* text, const char* typed) { ui::Print(t, text, typed); }
};

void TextShowLocation(TextScreen& t, const engine::LocationView& v) {
    TextPrinter p{t};
    ShowLocationInAreas(p, v);
}

void TextShowMessage(TextScreen& t, const char* text) {
    TextPrinter p{t};
    ShowMessageInAreas(p, text);
}

void TextShowReply(TextScreen& t, const char* text) {
    TextPrinter p{t};
    ShowReplyInAreas(p, text);
}

void TextShowNote(TextScreen& t, const char* text) {
    TextPrinter p{t};
    ShowNoteInAreas(p, text);
}

void TextClearMessages(TextScreen& t) {
    TextPrinter p{t};
    ClearMessagesInAreas(p);
}

bool TextAskYesNo(TextScreen& t, const char* prompt, char yesLetter, char noLetter) {
    TextIo io{t};
    return EditYesNo(io, prompt, yesLetter, noLetter);
}

int TextAskChoice(TextScreen& t, const char* prompt, int count) {
    TextIo io{t};
    return EditChoice(io, prompt, count);
}

LineResult TextReadLine(TextScreen& t, const char* prompt, char* buffer, int maxLength) {
    TextIo io{t};
    return EditLine(io, prompt, buffer, maxLength);
}

int TextWaitKeyOrTime(TextScreen& t, int ticks) {
    if (ticks != 0) return 0;
    const int key = ReadKey(t);
    if (key == gfx::KeyEndOfInput) t.inputEnded = true;
    return key;
}

engine::PictureResult TextShowPicture(TextScreen& t, int key, const char* path) {
    if (key == t.lastPicture) return engine::PictureResult::Shown;
    t.lastPicture = key;
    return path != nullptr && path[0] != '\0' && t.picturesOn ? engine::PictureResult::Shown
                                                              : engine::PictureResult::Blanked;
}

bool TextScreenBusy(TextScreen& t) {
    if (!t.stopWanted.load(std::memory_order_relaxed)) return false;
    t.stopped = true;
    return true;
}

void TextScreenStop(TextScreen& t) { t.stopWanted = true; }

}  // namespace umb::ui
