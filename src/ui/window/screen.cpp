// screen.cpp - the four framed output areas and word-wrapped printing.
#include "ui/window/screen.h"
#include "ui/print.h"

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

// The window's surface for printing: the screen's pixels, and its cells read back for the
// transcript.
struct WindowSurface {
    const WindowState& s;
    void BottomRowOut() { TranscriptBottomRow(); }
    void Clear(int x1, int y1, int x2, int y2) { GfxFillBox(x1, y1, x2, y2, s.BackgroundColour); }
    void ScrollUp(const AreaBox& a) {
        GfxCopyArea(nullptr, a.x1, a.y1, nullptr, a.x1, a.y1 + LineHeight, a.x2, a.y2);
    }
    void Draw(const char* text, int count, int x, int y) {
        GfxDrawText(text, count, x, y, s.TextStyle);
    }
};

int WrapAndPrint(WindowState& s, const char* text, const char* typed, int startX) {
    WindowSurface surface{s};
    return PrintInArea(surface, PrintPlace{s.CurrentArea, s.PrintMode, s.LineOffset}, text, typed,
                       startX);
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
    return WrapAndPrint(s, text, nullptr, startX);
}

int PrintTyped(WindowState& s, const char* text, const char* typed, int startX) {
    if (s.CurrentArea < 0 || s.CurrentArea > 3) return -1;
    return WrapAndPrint(s, text, typed, startX);
}

}  // namespace umb::ui
