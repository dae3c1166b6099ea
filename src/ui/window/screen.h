// screen.h - the screen state, its four output areas, word-wrapped printing, prompts, pictures.
// The screen knows no game: it is handed texts ready to show and settings as plain values.
#pragma once

#include "base/fileio.h"
#include "engine/frontend.h"
#include "ui/gfx/gfx.h"

#include <cstddef>

namespace umb::ui {

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
using engine::WorkBufferSize;

struct AreaBox {
    int frameX1, frameY1, frameX2, frameY2;
    int x1, y1, x2, y2;  // the inner box, where text goes
};
extern const AreaBox Areas[4];

using engine::NoPictureKey;
using engine::RgbColour;

constexpr int HistorySlots = 16;
constexpr int HistoryLineSize = 128;

struct InputHistory {
    char slots[HistorySlots][HistoryLineSize] = {};
    int head = 0;    // the slot the next line goes to
    int cursor = 0;  // the slot shown by the last Up or Down
    int tail = 0;    // the oldest slot Up can reach
};

using engine::LineResult;
using engine::UndoWord;

// The characters the player can type into a line or answer a question with: every character
// of code page 850 the font draws, accented letters among them; the codes below are keys.
constexpr bool IsTypedCharacter(int key) { return key >= 32 && key <= 255; }

// The window's state: its four areas, the colours it draws in, the player's input; one per
// run, a fresh one per test.
struct WindowState {
    bool NoPictures = false;      // --no-pictures: the picture area stays blank
    char FrontFailure[256] = {};  // why the window could not be opened
    // A key wait met the end of a key script played in process: the game is to end at once
    // (the yes/no question has answered no, the choice Escape, the pause a key).
    bool InputEnded = false;
    int CurrentArea = 0;
    int PrintMode = 0;
    int LineOffset = 0;
    // The colours asked for; MakeUiColours turns them into the drawing colours below. Without a
    // game's own, near-white on black.
    RgbColour Background{0, 0, 0};
    RgbColour Foreground{240, 240, 240};
    gfx::GfxColour BackgroundColour = 0;
    gfx::GfxColour TextColour = 0;
    gfx::GfxTextStyle TextStyle{};
    InputHistory History;
    // The half-typed line Ctrl+Z left: the next command line starts with it.
    char KeptLine[HistoryLineSize] = {};
    int PicturesEnabled = 1;
    int LastPicture = NoPictureKey;  // the key of the picture asked for last
};

// The window as a front end: the game's texts drawn into the four framed areas, shown by the
// SDL window, the browser's canvas or the headless driver's memory. Its state is a WindowState.
extern const engine::FrontEnd WindowFrontEnd;

// Screen and text output.
// Opens the screen in s's colours and draws the empty frames. Returns 0, or -1 when the window
// cannot be opened (the reason in s.FrontFailure).
int ScreenOpen(WindowState& s);
// Puts title on the window; an empty or absent title keeps the window's own caption.
void SetScreenTitle(WindowState& s, const char* title);
// Closes the screen after the last game.
void ScreenClose(WindowState& s);
// Clears the screen and draws the four frames.
void DrawFrames(WindowState& s);
// Remakes the drawing colours from s.Background and s.Foreground. The screen is true colour,
// whatever form of picture is shown.
void MakeUiColours(WindowState& s);
// Prints text, as given, into the current area under the current mode; a backslash breaks the
// line and only the first WorkBufferSize - 1 characters count. Returns the end offset of the last
// line drawn, 0 when none was, -1 when the current area is none.
int PrintText(WindowState& s, const char* text);
// Like PrintText, the first line starting startX pixels right of the area's left edge.
int PrintTextFrom(WindowState& s, const char* text, int startX);
// Like PrintTextFrom with text followed by what the player typed, shown exactly as typed (its
// backslashes break nothing).
int PrintTyped(WindowState& s, const char* text, const char* typed, int startX);
// Selects an area and a mode for the next prints.
void SelectArea(WindowState& s, int area, int mode);

// Prompts and line input; every prompt is shown as given.
// Returns true when the key typed is yesLetter, false when it is noLetter, either case; asks
// with prompt on a new line of the message area and echoes the key.
bool AskYesNo(WindowState& s, const char* prompt, char yesLetter, char noLetter);
// Returns the digit typed, 1 to count (at most 9), or 0 for Escape unless count is negative;
// asks with prompt, "(1:count): " when there is none.
int AskChoice(WindowState& s, const char* prompt, int count);
using engine::ChoiceLimit;
using engine::ChoicePrompt;
// Reads the line the player types after prompt into buffer (maxLength characters at most),
// starting with s.KeptLine. Returns Typed, or Undo for Ctrl+Z with buffer empty, the line then
// showing UndoWord and what was typed kept in s.KeptLine; the window never returns Quit.
LineResult ReadLine(WindowState& s, const char* prompt, char* buffer, int maxLength);
// Returns the key read, or the ticks passed: waits for a key (0), for a key or ticks
// milliseconds (above 0), or -ticks milliseconds without reading keys (below 0).
int WaitKeyOrTime(WindowState& s, int ticks);
// Adds a line to the input history, dropping the oldest when it is full.
void HistoryAdd(InputHistory& h, const char* line);
// Returns the length of the earlier history line copied into buffer.
int HistoryBack(InputHistory& h, char* buffer);
// Returns the length of the later history line copied into buffer, 0 past the newest.
int HistoryForward(InputHistory& h, char* buffer);

// Pictures.
// Returns Shown when the picture at path is shown or key names the picture asked for last
// (nothing changes), Blanked when the picture area was blanked: the path is absent or empty, or
// the picture cannot be shown. Why it is not shown whole goes to why as "picture NAME: reason"
// (emptied otherwise).
engine::PictureResult DisplayPicture(WindowState& s, int key, const char* path, const char* name,
                                     char* why, size_t whySize);
// Returns 0 when the picture at path is drawn at x0, y0, -1 when pictures are off, the file cannot
// be read or memory runs out, -2 when it is no PNG, -3 when its header is missing or refused. why,
// when given, receives the reason a picture is not shown whole (whySize bytes at most).
base::ReadResult LoadPicture(WindowState& s, const char* path, int x0, int y0, char* why = nullptr,
                             size_t whySize = 0);

// Screenshot: "scrshot.bmp" in the current directory; 0 written, -1 not.
int SaveScreenshot();
int SaveScreenshotTo(const char* path);

}  // namespace umb::ui
