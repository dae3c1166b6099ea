// input.cpp - the window's yes/no question, numbered choice, line editor and pause; the history.
#include "ui/editor.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

using namespace umb::base;
using namespace umb::gfx;

namespace umb::ui {

namespace {

// The window's keys and bottom line, for the editors.
struct WindowIo {
    WindowState& s;
    int NewLine(const char* text) {
        SelectArea(s, AreaMessages, ModeNewLine);
        const int x = PrintText(s, text);
        s.PrintMode = ModeRedrawLine;
        return x;
    }
    int Typed(const char* text, const char* typed, int startX) {
        return PrintTyped(s, text, typed, startX);
    }
    int ReadKey() { return GfxReadKey(); }
    // The key script ran out: the engine ends the game.
    void EndInput() { s.InputEnded = true; }
    void Screenshot() { SaveScreenshot(); }
    void TogglePictures() { s.PicturesEnabled = 1 - s.PicturesEnabled; }
    InputHistory& History() { return s.History; }
    char* KeptLine() { return s.KeptLine; }
};

// Notes that the key script ran out, for the engine to end the game; returns result.
int EndInput(WindowState& s, int result) {
    s.InputEnded = true;
    return result;
}

}  // namespace

bool AskYesNo(WindowState& s, const char* prompt, char yesLetter, char noLetter) {
    WindowIo io{s};
    return EditYesNo(io, prompt, yesLetter, noLetter);
}

int AskChoice(WindowState& s, const char* prompt, int count) {
    WindowIo io{s};
    return EditChoice(io, prompt, count);
}

LineResult ReadLine(WindowState& s, const char* prompt, char* buffer, int maxLength) {
    WindowIo io{s};
    return EditLine(io, prompt, buffer, maxLength);
}

int WaitKeyOrTime(WindowState& s, int ticks) {
    if (ticks == 0) {
        const int key = GfxReadKey();
        return key == KeyEndOfInput ? EndInput(s, key) : key;
    }
    const uint64_t start = GfxTicks();
    if (ticks > 0) {
        const int key = GfxWaitKeyFor(ticks);
        if (key == KeyEndOfInput) return EndInput(s, key);
        if (key != 0) return key;
    } else {
        GfxSleep(ticks == INT32_MIN ? INT32_MAX : -ticks);
    }
    return static_cast<int>(GfxTicks() - start);
}

void HistoryAdd(InputHistory& h, const char* line) {
    CopyHistoryLine(h.slots[h.head], line);
    h.head = (h.head + 1) % HistorySlots;
    h.cursor = h.head;
    if (h.head == h.tail) h.tail = (h.head + 1) % HistorySlots;
}

int HistoryBack(InputHistory& h, char* buffer) {
    if (h.cursor != h.tail) h.cursor = (h.cursor + HistorySlots - 1) % HistorySlots;
    CopyHistoryLine(buffer, h.slots[h.cursor]);
    return static_cast<int>(std::strlen(buffer));
}

int HistoryForward(InputHistory& h, char* buffer) {
    if (h.cursor != h.head) h.cursor = (h.cursor + 1) % HistorySlots;
    if (h.cursor == h.head)
        buffer[0] = '\0';
    else
        CopyHistoryLine(buffer, h.slots[h.cursor]);
    return static_cast<int>(std::strlen(buffer));
}

}  // namespace umb::ui
