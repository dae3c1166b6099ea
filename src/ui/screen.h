// screen.h - the screen state, its four output areas, word-wrapped printing, prompts, pictures.
#pragma once

#include "db/database.h"
#include "ui/gfx/gfx.h"

#include <cstddef>

// Output areas.
constexpr int AreaPicture = 0;
constexpr int AreaTitle = 1;
constexpr int AreaDescription = 2;
constexpr int AreaMessages = 3;

// Printing modes (a bit set).
constexpr int ModeClearLine = 1;
constexpr int ModeClearArea = 2;
constexpr int ModeBottomLine = 4;
constexpr int ModeScroll = 8;

// The combinations in use, one name each (a single bit goes by its own name).
constexpr int ModeFlow = 0;  // flow on below what the area already shows
// A new line at the bottom of the area, which scrolls up one line for it: messages, prompts.
constexpr int ModeNewLine = ModeScroll | ModeBottomLine | ModeClearLine;
// The bottom line drawn again from a start offset: echoes, the line being edited, replies.
constexpr int ModeRedrawLine = ModeBottomLine | ModeClearLine;

constexpr int LineHeight = 16;
constexpr size_t WorkBufferSize = 2048;

struct AreaBox {
    int frameX1, frameY1, frameX2, frameY2;
    int x1, y1, x2, y2;  // the inner box, where text goes
};
extern const AreaBox Areas[4];

constexpr int HistorySlots = 16;
constexpr int HistoryLineSize = 128;

struct InputHistory {
    char slots[HistorySlots][HistoryLineSize] = {};
    int head = 0;    // the slot the next line goes to
    int cursor = 0;  // the slot shown by the last Up or Down
    int tail = 0;    // the oldest slot Up can reach
};

// The state of the screen and of the player's input; one per run, a fresh one per test.
struct ScreenState {
    const GameDatabase* db = nullptr;  // settings and variables that printing reads
    int CurrentArea = 0;
    int PrintMode = 0;
    int LineOffset = 0;
    GfxColour BackgroundColour = 0;
    GfxColour TextColour = 0;
    GfxTextStyle TextStyle{};
    InputHistory history;
    int PicturesEnabled = 1;
    TextRef LastPicture = NoText;  // the picture text asked for last; none at start
    // Why the picture DisplayPicture was last asked for is not shown whole, as
    // "picture NAME: reason"; empty when it was shown, or pictures are off.
    char PictureFailure[192] = {};
};

// Screen and text output.
void ScreenOpen(ScreenState& s);
void ScreenClose(ScreenState& s);
void DrawFrames(ScreenState& s);
void MakeUiColours(ScreenState& s, int rgbMode);
int PrintText(ScreenState& s, const char* text);
int PrintTextFrom(ScreenState& s, const char* text, int startX);
// Prints the author's text (its marks expanded) followed by what the player typed, shown exactly
// as typed; returns the end offset like PrintTextFrom.
int PrintTyped(ScreenState& s, const char* text, const char* typed, int startX);
// Expands %name% to variable values and %% to %; returns the expanded length (at most
// WorkBufferSize - 1).
size_t ExpandVariables(const ScreenState& s, const char* text, char* out);
// Selects an area and a mode for the next prints.
void SelectArea(ScreenState& s, int area, int mode);

// Prompts and line input.
int AskYesNo(ScreenState& s, const char* prompt);
int AskChoice(ScreenState& s, const char* prompt, int count);
int ReadLine(ScreenState& s, char* buffer, int maxLength);
int WaitKeyOrTime(ScreenState& s, int ticks);
void HistoryAdd(ScreenState& s, const char* line);
int HistoryBack(ScreenState& s, char* buffer);
int HistoryForward(ScreenState& s, char* buffer);
void HistoryClear(ScreenState& s);

// Pictures.
int DisplayPicture(ScreenState& s, TextRef name);
// why, when given, receives the reason a picture is not shown whole (whySize bytes at most).
int LoadPicture(ScreenState& s, const char* path, int x0, int y0, char* why = nullptr,
                size_t whySize = 0);
// Prints s.PictureFailure, when there is one, on a new line of the message area, once.
void ReportPictureFailure(ScreenState& s);

// Screenshot: "scrshot.bmp" in the current directory; 0 written, -1 not.
int SaveScreenshot();
int SaveScreenshotTo(const char* path);
