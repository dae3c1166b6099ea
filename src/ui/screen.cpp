// screen.cpp - the four framed output areas and word-wrapped printing.
#include "ui/screen.h"
#include "base/wrap.h"

#include <cstring>

using namespace umb::gfx;

namespace umb::ui {

const AreaBox Areas[4] = {
    {0, 0, 384, 256, 4, 4, 380, 252},      // picture
    {0, 256, 384, 320, 4, 260, 380, 316},  // title
    {384, 0, 799, 320, 388, 4, 796, 316},  // description
    {0, 320, 799, 599, 4, 324, 796, 596},  // messages
};

namespace {

// The message area's bottom row goes to the transcript as it leaves the bottom line.
void TranscriptBottomRow() {
    const AreaBox& a = Areas[AreaMessages];
    char row[ScreenWidth / GlyphWidth + 2];
    GfxTextRow(a.x1, a.x2, a.y2 - LineHeight, row, static_cast<int>(sizeof row));
    if (row[0] != '\0') GfxTranscript(row);
}

// Draws one line of a printed text; returns its end offset from the box's left edge, or 0 for
// a flowing line below the box.
int DrawTextLine(WindowState& s, const AreaBox& a, const char* line, int len, int startX) {
    if ((s.PrintMode & ModeScroll) != 0) {
        if (s.CurrentArea == AreaMessages) TranscriptBottomRow();
        GfxCopyArea(nullptr, a.x1, a.y1, nullptr, a.x1, a.y1 + LineHeight, a.x2, a.y2);
    }
    int y = 0;
    if ((s.PrintMode & ModeBottomLine) != 0) {
        y = a.y2 - LineHeight;
        if ((s.PrintMode & ModeClearLine) != 0)
            GfxFillBox(a.x1 + startX, a.y2 - LineHeight, a.x2, a.y2, s.BackgroundColour);
    } else {
        y = a.y1 + s.LineOffset;
        if (y >= a.y2) return 0;
    }
    GfxDrawText(line, len, a.x1 + startX, y, s.TextStyle);
    return startX + GfxTextWidth(line, len);
}

// Word-wraps text into the area: breaks at blanks and backslashes, a backslash starting a new
// line; a word too wide for its line keeps what fits and loses the rest. Typed text (may be
// null) follows the text as typed, its backslashes plain.
int WrapAndPrint(WindowState& s, const char* text, const char* typed, int startX,
                 const AreaBox& a) {
    if ((s.PrintMode & ModeClearArea) != 0) {
        if (s.CurrentArea == AreaMessages) TranscriptBottomRow();
        GfxFillBox(a.x1, a.y1, a.x2, a.y2, s.BackgroundColour);
        s.LineOffset = 0;
    }
    if (text == nullptr) return 0;
    char buf[WorkBufferSize];
    int n = static_cast<int>(strnlen(text, WorkBufferSize - 1));
    std::memcpy(buf, text, static_cast<size_t>(n));
    const int marked = n;  // a backslash before this index breaks the line
    for (const char* t = typed; t != nullptr && *t != '\0' && n < int{WorkBufferSize} - 1; ++t)
        buf[n++] = *t;
    buf[n] = '\0';
    const bool bottom = (s.PrintMode & ModeBottomLine) != 0;
    int result = 0;
    // Every glyph is GlyphWidth pixels wide, so the room of a line is counted in characters.
    const int width = a.x2 - a.x1;
    base::WrapText(buf, n, marked, (width - startX) / GlyphWidth, width / GlyphWidth,
                   [&](int from, int to, bool last) {
                       if (!last || a.y1 + s.LineOffset < a.y2 || bottom) {
                           result = DrawTextLine(s, a, buf + from, to - from, startX);
                           if (!bottom) s.LineOffset += LineHeight;
                       }
                       startX = 0;
                   });
    return result;
}

}  // namespace

void SelectArea(WindowState& s, int area, int mode) {
    s.CurrentArea = area;
    s.PrintMode = mode;
}

void MakeUiColours(WindowState& s) {
    s.BackgroundColour = GfxColourFromRgb(s.Background.red, s.Background.green, s.Background.blue);
    s.TextColour = GfxColourFromRgb(s.Foreground.red, s.Foreground.green, s.Foreground.blue);
    s.TextStyle = GfxTextStyle{s.TextColour, s.BackgroundColour};
}

void DrawFrames(WindowState& s) {
    TranscriptBottomRow();
    GfxClearScreen(s.BackgroundColour);
    for (const AreaBox& a : Areas)
        GfxFrameBox(a.frameX1, a.frameY1, a.frameX2, a.frameY2, s.TextColour);
}

int ScreenOpen(WindowState& s) {
    if (GfxOpenScreen(s.FrontFailure, sizeof s.FrontFailure) != 0) return -1;
    MakeUiColours(s);
    s.TextStyle = GfxTextStyle{s.TextColour, s.BackgroundColour};
    const GfxTextArea areas[] = {
        {"title", Areas[AreaTitle].x1, Areas[AreaTitle].y1, Areas[AreaTitle].x2,
         Areas[AreaTitle].y2},
        {"description", Areas[AreaDescription].x1, Areas[AreaDescription].y1,
         Areas[AreaDescription].x2, Areas[AreaDescription].y2},
        {"messages", Areas[AreaMessages].x1, Areas[AreaMessages].y1, Areas[AreaMessages].x2,
         Areas[AreaMessages].y2},
    };
    GfxSetTextAreas(areas, 3);
    DrawFrames(s);
    return 0;
}

void SetScreenTitle(WindowState& s, const char* title) {
    (void)s;
    if (title != nullptr && title[0] != '\0') GfxSetWindowTitle(title);
}

void ScreenClose(WindowState& s) {
    (void)s;
    GfxCloseScreen();
}

int PrintText(WindowState& s, const char* text) { return PrintTextFrom(s, text, 0); }

int PrintTextFrom(WindowState& s, const char* text, int startX) {
    if (s.CurrentArea < 0 || s.CurrentArea > 3) return -1;
    return WrapAndPrint(s, text, nullptr, startX, Areas[s.CurrentArea]);
}

int PrintTyped(WindowState& s, const char* text, const char* typed, int startX) {
    if (s.CurrentArea < 0 || s.CurrentArea > 3) return -1;
    return WrapAndPrint(s, text, typed, startX, Areas[s.CurrentArea]);
}

}  // namespace umb::ui
