// print.h - printing a text into one of the four areas under a printing mode, for every surface
// that keeps the areas (the window's pixels, the text screen's rows), so that both break, scroll
// and clear alike.
#pragma once

#include "base/wrap.h"
#include "engine/frontend.h"
#include "ui/window/screen.h"

#include <cstring>

namespace umb::ui {

// The cursor of printing: the area, the mode and where flowing text goes on.
struct PrintPlace {
    int area;
    int mode;
    int& lineOffset;
};

// Prints text (may be null: only the clearing is done), then typed exactly as typed, into the
// place's area on surface, which offers, in pixels of the screen:
//   BottomRowOut()            the message area's bottom row leaves the screen (the transcript)
//   Clear(x1, y1, x2, y2)     blanks a box, corners included
//   ScrollUp(box)             moves the inner box up one line
//   Draw(text, count, x, y)   draws count characters from x, y
// Returns the end offset of the last line drawn from the area's left edge, 0 when none was.
template <typename Surface>
int PrintInArea(Surface& surface, PrintPlace p, const char* text, const char* typed, int startX) {
    const AreaBox& a = Areas[p.area];
    const bool messages = p.area == AreaMessages;
    if ((p.mode & ModeClearArea) != 0) {
        if (messages) surface.BottomRowOut();
        surface.Clear(a.x1, a.y1, a.x2, a.y2);
        p.lineOffset = 0;
    }
    if (text == nullptr) return 0;
    char buf[WorkBufferSize];
    int n = static_cast<int>(strnlen(text, WorkBufferSize - 1));
    std::memcpy(buf, text, static_cast<size_t>(n));
    const int marked = n;  // a backslash before this index breaks the line
    for (const char* t = typed; t != nullptr && *t != '\0' && n < int{WorkBufferSize} - 1; ++t)
        buf[n++] = *t;
    buf[n] = '\0';
    const bool bottom = (p.mode & ModeBottomLine) != 0;
    int result = 0;
    // Draws one line; returns its end offset, or 0 for a flowing line below the box.
    auto drawLine = [&](const char* line, int len) {
        if ((p.mode & ModeScroll) != 0) {
            if (messages) surface.BottomRowOut();
            surface.ScrollUp(a);
        }
        int y = a.y1 + p.lineOffset;
        if (bottom) {
            y = a.y2 - LineHeight;
            if ((p.mode & ModeClearLine) != 0) surface.Clear(a.x1 + startX, y, a.x2, a.y2);
        } else if (y >= a.y2) {
            return 0;
        }
        surface.Draw(line, len, a.x1 + startX, y);
        return startX + (len > 0 ? len * gfx::GlyphWidth : 0);
    };
    // Every glyph is GlyphWidth pixels wide, so the room of a line is counted in characters.
    const int width = a.x2 - a.x1;
    base::WrapText(buf, n, marked, (width - startX) / gfx::GlyphWidth, width / gfx::GlyphWidth,
                   [&](int from, int to, bool last) {
                       if (!last || a.y1 + p.lineOffset < a.y2 || bottom) {
                           result = drawLine(buf + from, to - from);
                           if (!bottom) p.lineOffset += LineHeight;
                       }
                       startX = 0;
                   });
    return result;
}

// What a front end that keeps the four areas shows for the seam's calls, through printer p,
// which offers Select(area, mode) and Print(text, typed) (typed shown exactly as typed).
template <typename Printer> void ShowLocationInAreas(Printer& p, const engine::LocationView& v) {
    p.Select(AreaTitle, ModeClearArea);
    p.Print(v.name, nullptr);
    if (v.status != nullptr) {
        p.Select(AreaTitle, ModeBottomLine);
        p.Print(v.status, nullptr);
    }
    p.Select(AreaDescription, ModeClearArea);
    p.Print(nullptr, nullptr);
    p.Select(AreaDescription, ModeFlow);
    for (int i = 0; i < v.textCount; ++i) p.Print(v.texts[i], nullptr);
}

// The area is selected even for no text, as an undefined message always did.
template <typename Printer> void ShowMessageInAreas(Printer& p, const char* text) {
    p.Select(AreaMessages, ModeNewLine);
    if (text != nullptr) p.Print(text, nullptr);
}

template <typename Printer> void ShowReplyInAreas(Printer& p, const char* text) {
    p.Select(AreaMessages, ModeRedrawLine);
    p.Print(text, nullptr);
}

// A note is shown exactly as given: its backslashes break nothing.
template <typename Printer> void ShowNoteInAreas(Printer& p, const char* text) {
    p.Select(AreaMessages, ModeNewLine);
    p.Print("", text);
}

template <typename Printer> void ClearMessagesInAreas(Printer& p) {
    p.Select(AreaMessages, ModeClearArea);
    p.Print(nullptr, nullptr);
}

}  // namespace umb::ui
