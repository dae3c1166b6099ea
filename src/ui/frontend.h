// frontend.h - the front-end seam: what the engine shows and asks, at the level of texts.
//
// The engine hands over a location's name and status line, its description, messages, prompts,
// the keys or lines it wants and the pictures to show; it never learns who shows them. Two front
// ends take them: the window, which draws pixels into the four framed areas (shown by the SDL
// window or kept by the headless driver for tests), and the terminal, which writes text. Every
// call goes through the Front functions below, which also copy what is shown to a transcript.
#pragma once

#include "ui/screen.h"

namespace umb::ui {

// A location as the engine describes it; every text has its marks expanded.
struct LocationView {
    const char* name = nullptr;    // never null
    const char* status = nullptr;  // the status line, null when the game has none
    // The description, the objects line and the exits line, those present, in reading order.
    const char* texts[3] = {};
    int textCount = 0;
    // Described anew on purpose (a redescribe, an undo, a restore): a text front end shows it
    // whole again even when nothing in it changed.
    bool again = false;
};

// One front end: a flat table of what it does. The window's answers and the terminal's are the
// same for every call; only the look differs.
struct FrontEnd {
    const char* name;
    // Returns 0 when the front end is ready, -1 when it cannot be shown (the reason in
    // s.FrontFailure); the title names the game where the front end has a caption.
    int (*open)(ScreenState& s, const char* title);
    void (*close)(ScreenState& s);
    // A game begins: everything shown is blank again and the input history empty.
    void (*newGame)(ScreenState& s);
    void (*showLocation)(ScreenState& s, const LocationView& v);
    // A new line of messages; null shows nothing (an undefined message).
    void (*showMessage)(ScreenState& s, const char* text);
    // A debug answer, in place of the line just typed.
    void (*showReply)(ScreenState& s, const char* text);
    // A line of the program's own (a picture's failure), shown exactly as given: a backslash in it
    // breaks nothing.
    void (*showNote)(ScreenState& s, const char* text);
    void (*clearMessages)(ScreenState& s);
    // As AskYesNo, AskChoice, ReadLine and WaitKeyOrTime in screen.h.
    int (*askYesNo)(ScreenState& s, const char* prompt, char yesLetter, char noLetter);
    int (*askChoice)(ScreenState& s, const char* prompt, int count);
    int (*readLine)(ScreenState& s, const char* prompt, char* buffer, int maxLength);
    int (*waitKeyOrTime)(ScreenState& s, int ticks);
    // As DisplayPicture in screen.h.
    int (*showPicture)(ScreenState& s, int key, const char* path, const char* name);
    // A turn has been running a while (a script that may never end): returns true when the
    // player asks to stop it. Called every few thousand script lines, so it must be cheap; the
    // front end may use it to keep itself alive (the browser's page). Null: never asked.
    bool (*busy)(ScreenState& s);
};

// The window: pixels in the four areas (the SDL window, or the headless driver's memory).
extern const FrontEnd WindowFrontEnd;
// The terminal: text in reading order, with colours and editing, or plain (--plain).
extern const FrontEnd TerminalFrontEnd;

// What the engine calls. Each goes to s.Front (the window when none was chosen) and, when a
// transcript is kept, copies what is shown and typed to it.
// Returns 0 when the front end is ready. When the window cannot be opened and the player asked
// for no front end in particular, the terminal takes over if standard input and output are one;
// otherwise "Cannot open the window: " and the reason go to standard error and -1 is returned.
int FrontOpen(ScreenState& s, const char* title);
void FrontClose(ScreenState& s);
void FrontNewGame(ScreenState& s);
void FrontShowLocation(ScreenState& s, const LocationView& v);
void FrontShowMessage(ScreenState& s, const char* text);
void FrontShowReply(ScreenState& s, const char* text);
// A line of the program's own, not the game's ("Nothing to undo."), shown exactly as given.
void FrontShowNote(ScreenState& s, const char* text);
void FrontClearMessages(ScreenState& s);
int FrontAskYesNo(ScreenState& s, const char* prompt, char yesLetter, char noLetter);
int FrontAskChoice(ScreenState& s, const char* prompt, int count);
// Returns LineTyped with the line in buffer, LineUndo or LineQuit (buffer empty); the transcript
// has UndoWord after the prompt for Ctrl+Z, as if it had been typed.
int FrontReadLine(ScreenState& s, const char* prompt, char* buffer, int maxLength);
int FrontWaitKeyOrTime(ScreenState& s, int ticks);
int FrontShowPicture(ScreenState& s, int key, const char* path, const char* name);
// Returns true when the player asks to stop the turn under way (see FrontEnd::busy).
bool FrontBusy(ScreenState& s);
// Shows s.PictureFailure, when there is one, as a message, once.
void FrontReportPictureFailure(ScreenState& s);

}  // namespace umb::ui
