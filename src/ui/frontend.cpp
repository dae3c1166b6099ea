// frontend.cpp - the window front end's table, and the calls every front end is reached by.
#include "ui/frontend.h"

#include "base/nocase.h"
#include "ui/textlog.h"

#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace umb::ui {

namespace {

// The window: the game's texts drawn into the four framed areas, as they always were.

int WindowOpen(ScreenState& s, const char* title) {
    if (ScreenOpen(s) != 0) return -1;
    SetScreenTitle(s, title);
    if (s.Options.NoPictures) s.PicturesEnabled = 0;
    return 0;
}

void WindowNewGame(ScreenState& s) {
    DrawFrames(s);
    HistoryClear(s);
}

void WindowShowLocation(ScreenState& s, const LocationView& v) {
    SelectArea(s, AreaTitle, ModeClearArea);
    PrintText(s, v.name);
    if (v.status != nullptr) {
        SelectArea(s, AreaTitle, ModeBottomLine);
        PrintText(s, v.status);
    }
    SelectArea(s, AreaDescription, ModeClearArea);
    PrintText(s, nullptr);
    SelectArea(s, AreaDescription, ModeFlow);
    for (int i = 0; i < v.textCount; ++i) PrintText(s, v.texts[i]);
}

// The area is selected even for no text, as an undefined message always did.
void WindowShowMessage(ScreenState& s, const char* text) {
    SelectArea(s, AreaMessages, ModeNewLine);
    if (text != nullptr) PrintText(s, text);
}

void WindowShowReply(ScreenState& s, const char* text) {
    SelectArea(s, AreaMessages, ModeRedrawLine);
    PrintText(s, text);
}

void WindowShowNote(ScreenState& s, const char* text) {
    SelectArea(s, AreaMessages, ModeNewLine);
    PrintTyped(s, "", text, 0);
}

void WindowClearMessages(ScreenState& s) {
    SelectArea(s, AreaMessages, ModeClearArea);
    PrintText(s, nullptr);
}

// The display driver knows: the browser's page offers a Stop button. A closed SDL window ends
// the program from the window thread at once, so it never needs to ask.
bool WindowBusy(ScreenState&) { return gfx::GfxStopRequested(); }

bool LogOn(const ScreenState& s) { return s.Transcript != nullptr; }

// Before the game waits for the player, what the turn showed goes to the transcript's file.
void FlushLog(ScreenState& s) {
    if (LogOn(s)) FlushTextLog(*s.Transcript);
}

}  // namespace

const FrontEnd WindowFrontEnd = {
    "window",          WindowOpen,      ScreenClose,    WindowNewGame,       WindowShowLocation,
    WindowShowMessage, WindowShowReply, WindowShowNote, WindowClearMessages, AskYesNo,
    AskChoice,         ReadLine,        WaitKeyOrTime,  DisplayPicture,      WindowBusy,
};

namespace {

// A screen that was never given a front end shows the window, as tests that draw directly do.
const FrontEnd& Of(const ScreenState& s) { return s.Front != nullptr ? *s.Front : WindowFrontEnd; }

}  // namespace

int FrontOpen(ScreenState& s, const char* title) {
    if (s.Front == nullptr) s.Front = &WindowFrontEnd;
    if (Of(s).open(s, title) == 0) return 0;
    // Over SSH or on a console there is no window, but the player sits at a terminal.
    if (s.Front == &WindowFrontEnd && isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1) {
        char windowFailure[sizeof s.FrontFailure];
        std::memcpy(windowFailure, s.FrontFailure, sizeof windowFailure);
        s.Front = &TerminalFrontEnd;
        if (Of(s).open(s, title) == 0) return 0;
        s.Front = &WindowFrontEnd;
        std::memcpy(s.FrontFailure, windowFailure, sizeof windowFailure);
    }
    std::fflush(stdout);
    std::fprintf(stderr, "Cannot open the %s: %s\n", Of(s).name, s.FrontFailure);
    std::fflush(stderr);
    return -1;
}

void FrontClose(ScreenState& s) {
    Of(s).close(s);
    if (LogOn(s)) CloseTextLog(*s.Transcript);
}

void FrontNewGame(ScreenState& s) {
    Of(s).newGame(s);
    s.KeptLine[0] = '\0';  // a line half-typed in the last game is not the new game's
    if (LogOn(s)) {
        // The first location of the new game is written whole, even when it is the last one seen.
        s.Transcript->shown = ShownLocation{};
    }
}

void FrontShowLocation(ScreenState& s, const LocationView& v) {
    Of(s).showLocation(s, v);
    if (LogOn(s)) LogLocation(*s.Transcript, v);
}

void FrontShowMessage(ScreenState& s, const char* text) {
    Of(s).showMessage(s, text);
    if (LogOn(s) && text != nullptr) LogText(*s.Transcript, text);
}

void FrontShowReply(ScreenState& s, const char* text) {
    Of(s).showReply(s, text);
    if (LogOn(s)) LogText(*s.Transcript, text, true);
}

void FrontShowNote(ScreenState& s, const char* text) {
    Of(s).showNote(s, text);
    if (LogOn(s)) LogText(*s.Transcript, text, true);
}

void FrontClearMessages(ScreenState& s) { Of(s).clearMessages(s); }

int FrontAskYesNo(ScreenState& s, const char* prompt, char yesLetter, char noLetter) {
    FlushLog(s);
    const int answer = Of(s).askYesNo(s, prompt, yesLetter, noLetter);
    if (LogOn(s)) {
        const char typed[2] = {base::FoldCase(answer == 1 ? yesLetter : noLetter), '\0'};
        LogAnswer(*s.Transcript, prompt, typed);
    }
    return answer;
}

int FrontAskChoice(ScreenState& s, const char* prompt, int count) {
    FlushLog(s);
    const int answer = Of(s).askChoice(s, prompt, count);
    if (LogOn(s)) {
        const char typed[2] = {answer > 0 ? static_cast<char>('0' + answer) : '\0', '\0'};
        char fallback[16];
        LogAnswer(*s.Transcript, ChoicePrompt(prompt, count, fallback, sizeof fallback), typed);
    }
    return answer;
}

int FrontReadLine(ScreenState& s, const char* prompt, char* buffer, int maxLength) {
    FlushLog(s);
    const int result = Of(s).readLine(s, prompt, buffer, maxLength);
    if (LogOn(s)) {
        const char* typed = result == LineTyped ? buffer : result == LineUndo ? UndoWord : "";
        LogAnswer(*s.Transcript, prompt, typed);
    }
    return result;
}

int FrontWaitKeyOrTime(ScreenState& s, int ticks) {
    FlushLog(s);
    return Of(s).waitKeyOrTime(s, ticks);
}

int FrontShowPicture(ScreenState& s, int key, const char* path, const char* name) {
    return Of(s).showPicture(s, key, path, name);
}

bool FrontBusy(ScreenState& s) { return Of(s).busy != nullptr && Of(s).busy(s); }

void FrontReportPictureFailure(ScreenState& s) {
    if (s.PictureFailure[0] == '\0') return;
    FrontShowNote(s, s.PictureFailure);
    s.PictureFailure[0] = '\0';
}

}  // namespace umb::ui
