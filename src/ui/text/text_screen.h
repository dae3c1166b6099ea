// text_screen.h - the window's areas kept as rows of text, played from a key script: the front
// end of the walkthrough tests, giving the transcript and screen dumps the window gives, from the
// front-end calls alone (no pixels drawn, no picture decoded).
#pragma once

#include "engine/frontend.h"
#include "ui/gfx/keyscript.h"
#include "ui/window/screen.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace umb::ui {

// One row of characters in an area, at the pixel row where the window draws their tops (an
// area's rows need not lie a line apart: the status line sits on the title's bottom line), by
// column from the area's left edge; a blank is no character.
struct TextRow {
    int y = 0;
    std::string cells;
};

// The rows of one area, in order from the top.
struct TextArea {
    std::vector<TextRow> rows;
};

struct TextScreen {
    // The keys: the key script, read as the headless driver reads it (its lines consumed say
    // where a stopped play had got to).
    gfx::KeyScript keys;

    // The transcript: every row leaving the message area's bottom line, and the screen dumps, a
    // line each. Past limit bytes of rows the play is stopped (cut) and nothing more is kept.
    std::string transcript;
    size_t limit = gfx::HeadlessPlayTranscriptLimit;
    size_t written = 0;  // bytes of rows so far
    bool cut = false;

    // The end of the play: the key script ran out (after a last screen dump); a key wait met the
    // end (the game is to end at once); nothing more is shown (either of the two, or cut).
    bool keysEnded = false;
    bool inputEnded = false;
    bool muted = false;
    // Set from any thread (a watchdog's) to stop the turn under way; stopped once the game saw it.
    std::atomic<bool> stopWanted{false};
    bool stopped = false;

    // The screen: the areas (by AreaTitle, AreaDescription, AreaMessages; the picture area
    // keeps no text) and the printing place, as the window keeps them.
    bool opened = false;
    TextArea areas[4];
    int area = AreaMessages;
    int mode = ModeFlow;
    int lineOffset = 0;

    // The player's side: the input history, the line Ctrl+Z kept for the next command line,
    // the picture asked for last (by key only: pictures are never read) and the F12 switch.
    InputHistory history;
    char keptLine[HistoryLineSize] = {};
    int lastPicture = NoPictureKey;
    bool picturesOn = true;
    bool noPictures = false;  // --no-pictures: every picture asked for blanks the area
};

// What each call of the front end does, on the text screen alone; each is the FrontEnd entry of
// the same name (frontend.h) with the same results.
// Starts the screen blank with its three areas; pictures are off with t.noPictures.
void TextScreenOpen(TextScreen& t);
// The last screen dump, unless the key script ran out (its dump was the last) or the play was cut.
void TextScreenClose(TextScreen& t);
void TextScreenNewGame(TextScreen& t);
void TextShowLocation(TextScreen& t, const engine::LocationView& v);
void TextShowMessage(TextScreen& t, const char* text);
void TextShowReply(TextScreen& t, const char* text);
void TextShowNote(TextScreen& t, const char* text);
void TextClearMessages(TextScreen& t);
// The three below and TextWaitKeyOrTime set t.inputEnded when the key script has run out.
bool TextAskYesNo(TextScreen& t, const char* prompt, char yesLetter, char noLetter);
int TextAskChoice(TextScreen& t, const char* prompt, int count);
LineResult TextReadLine(TextScreen& t, const char* prompt, char* buffer, int maxLength);
// A key for 0 ticks; time is not real here, so a timed pause ends at once, reading no key, and
// returns 0.
int TextWaitKeyOrTime(TextScreen& t, int ticks);
// Remembers the picture's key; returns Shown for the picture asked for last or a named picture,
// Blanked for none (path empty) or with pictures off, as the window would when it shows it.
engine::PictureResult TextShowPicture(TextScreen& t, int key, const char* path);
// Returns true, once the stop was asked for (t.stopWanted, or the transcript cut), marking the
// play stopped.
bool TextScreenBusy(TextScreen& t);
// Asks the turn under way to stop; safe from any thread.
void TextScreenStop(TextScreen& t);

// Hands each line of a screen dump of the areas to emit, in the window's format ("== screen ==",
// "-- title --", its rows, ..., "== end ==").
void ForEachTextDumpLine(const TextScreen& t, void (*emit)(const char* line, void* context),
                         void* context);

// The text screen as a front end; its state is a TextScreen.
extern const engine::FrontEnd TextScreenFrontEnd;

}  // namespace umb::ui
