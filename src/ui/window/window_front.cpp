// window_front.cpp - the window as a front end: the game's texts drawn into the four areas.
#include "ui/print.h"
#include "ui/window/screen.h"

#include <cstdio>
#include <cstring>

namespace umb::ui {

namespace {

WindowState& Of(void* self) { return *static_cast<WindowState*>(self); }

engine::OpenResult WindowOpen(void* self, const engine::GameLook& look, char* why, size_t whySize) {
    WindowState& s = Of(self);
    s.Background = look.background;
    s.Foreground = look.foreground;
    if (ScreenOpen(s) != 0) {
        std::snprintf(why, whySize, "%s", s.FrontFailure);
        return engine::OpenResult::Failed;
    }
    SetScreenTitle(s, look.title);
    if (s.NoPictures) s.PicturesEnabled = 0;
    return engine::OpenResult::Ready;
}

void WindowClose(void* self) { ScreenClose(Of(self)); }

void WindowNewGame(void* self) {
    WindowState& s = Of(self);
    DrawFrames(s);
    s.History = InputHistory{};
    s.KeptLine[0] = '\0';  // a line half-typed in the last game is not the new game's
}

// The window's areas as the shared show functions print into them.
struct WindowPrinter {
    WindowState& s;
    void Select(int area, int mode) { SelectArea(s, area, mode); }
    void Print(const char* text, const char* typed) {
        if (typed == nullptr)
            PrintText(s, text);
        else
            PrintTyped(s, text, typed, 0);
    }
};

void WindowShowLocation(void* self, const engine::LocationView& v) {
    WindowPrinter p{Of(self)};
    ShowLocationInAreas(p, v);
}

void WindowShowMessage(void* self, const char* text) {
    WindowPrinter p{Of(self)};
    ShowMessageInAreas(p, text);
}

void WindowShowReply(void* self, const char* text) {
    WindowPrinter p{Of(self)};
    ShowReplyInAreas(p, text);
}

void WindowShowNote(void* self, const char* text) {
    WindowPrinter p{Of(self)};
    ShowNoteInAreas(p, text);
}

void WindowClearMessages(void* self) {
    WindowPrinter p{Of(self)};
    ClearMessagesInAreas(p);
}

bool WindowAskYesNo(void* self, const char* prompt, char yesLetter, char noLetter) {
    return AskYesNo(Of(self), prompt, yesLetter, noLetter);
}

int WindowAskChoice(void* self, const char* prompt, int count) {
    return AskChoice(Of(self), prompt, count);
}

engine::LineResult WindowReadLine(void* self, const char* prompt, char* buffer, int maxLength) {
    return ReadLine(Of(self), prompt, buffer, maxLength);
}

int WindowWaitKeyOrTime(void* self, int ticks) { return WaitKeyOrTime(Of(self), ticks); }

engine::PictureResult WindowShowPicture(void* self, int key, const char* path, const char* name,
                                        char* why, size_t whySize) {
    return DisplayPicture(Of(self), key, path, name, why, whySize);
}

// The display driver knows: the browser's page offers a Stop button. A closed SDL window ends
// the program from the window thread at once, so it never needs to ask.
bool WindowBusy(void*) { return gfx::GfxStopRequested(); }

// A key script that ran out, or a window the player closed.
bool WindowInputEnded(void* self) { return Of(self).InputEnded || gfx::GfxInputClosed(); }

// A box where there is no terminal to read standard error, as the program's own failures are.
void WindowAlert(void*, const char* caption, const char* text) {
    gfx::GfxMessageBox(caption, text);
}

void WindowSavedGameWritten(void*, const char* path) {
    gfx::GfxFileWritten(path, gfx::FileSavedGame);
}

}  // namespace

const engine::FrontEnd WindowFrontEnd = {
    "window",
    WindowOpen,
    WindowClose,
    WindowNewGame,
    WindowShowLocation,
    WindowShowMessage,
    WindowShowReply,
    WindowShowNote,
    WindowClearMessages,
    WindowAskYesNo,
    WindowAskChoice,
    WindowReadLine,
    WindowWaitKeyOrTime,
    WindowShowPicture,
    WindowBusy,
    WindowInputEnded,
    WindowAlert,
    WindowSavedGameWritten,
};

}  // namespace umb::ui
