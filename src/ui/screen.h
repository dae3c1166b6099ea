// screen.h - the screen state, its four output areas, word-wrapped printing, prompts, pictures.
// The screen knows no game: it is handed texts ready to show and settings as plain values.
#pragma once

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
constexpr size_t WorkBufferSize = 2048;

struct AreaBox {
    int frameX1, frameY1, frameX2, frameY2;
    int x1, y1, x2, y2;  // the inner box, where text goes
};
extern const AreaBox Areas[4];

// A colour by its red, green and blue parts, 0 to 255 each.
struct RgbColour {
    int red = 0, green = 0, blue = 0;
};

// The key of no picture, which counts as the picture asked for last before any was.
constexpr int NoPictureKey = 0;

constexpr int HistorySlots = 16;
constexpr int HistoryLineSize = 128;

struct InputHistory {
    char slots[HistorySlots][HistoryLineSize] = {};
    int head = 0;    // the slot the next line goes to
    int cursor = 0;  // the slot shown by the last Up or Down
    int tail = 0;    // the oldest slot Up can reach
};

// What ReadLine returns: a line was typed; the player asked to take back the last command
// (Ctrl+Z); the player asked to quit (Ctrl+C, or the end of input, in a terminal).
constexpr int LineTyped = 0;
constexpr int LineUndo = 1;
constexpr int LineQuit = 2;
// The key script of a play in process ran out (gfx::KeyEndOfInput): the game ends there.
constexpr int LineEnded = 3;

// What a command line shows and the transcript writes for Ctrl+Z: the word that asks the same.
constexpr char UndoWord[] = "undo";

// The characters the player can type into a line or answer a question with: every character
// of code page 850 the font draws, accented letters among them; the codes below are keys.
constexpr bool IsTypedCharacter(int key) { return key >= 32 && key <= 255; }

struct FrontEnd;
struct TextFront;
struct TextScreen;
struct TextLog;

// How the player asked to see the game: the command line's choices.
struct FrontOptions {
    bool Terminal = false;    // --tty or UMB_DRIVER=tty: the terminal, never the window
    bool Plain = false;       // --plain: the terminal's plain lines, for screen readers
    bool StatusTop = false;   // --status-top: the status line held on the terminal's top line
    bool NoPictures = false;  // --no-pictures
};

// The state of the screen and of the player's input; one per run, a fresh one per test.
struct ScreenState {
    const FrontEnd* Front = nullptr;  // who shows the game; none: the window
    FrontOptions Options;
    // The game has a verb "status" of its own: the plain lines leave the word to it.
    bool GameHasStatusVerb = false;
    TextFront* Text = nullptr;      // the terminal front end's own state while it is open
    TextScreen* Cells = nullptr;    // the text screen's state (the walkthroughs' front end)
    TextLog* Transcript = nullptr;  // --transcript: what is shown and typed, copied as text
    char FrontFailure[256] = {};    // why the front end could not be opened
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
    // Why the picture DisplayPicture was last asked for is not shown whole, as
    // "picture NAME: reason"; empty when it was shown, or pictures are off.
    char PictureFailure[192] = {};
};

// Screen and text output.
// Opens the screen in s's colours and draws the empty frames. Returns 0, or -1 when the window
// cannot be opened (the reason in s.FrontFailure).
int ScreenOpen(ScreenState& s);
// Puts title on the window; an empty or absent title keeps the window's own caption.
void SetScreenTitle(ScreenState& s, const char* title);
// Closes the screen after the last game.
void ScreenClose(ScreenState& s);
// Clears the screen and draws the four frames.
void DrawFrames(ScreenState& s);
// Remakes the drawing colours from s.Background and s.Foreground. The screen is true colour,
// whatever form of picture is shown.
void MakeUiColours(ScreenState& s);
// Prints text, as given, into the current area under the current mode; a backslash breaks the
// line and only the first WorkBufferSize - 1 characters count. Returns the end offset of the last
// line drawn, 0 when none was, -1 when the current area is none.
int PrintText(ScreenState& s, const char* text);
// Like PrintText, the first line starting startX pixels right of the area's left edge.
int PrintTextFrom(ScreenState& s, const char* text, int startX);
// Like PrintTextFrom with text followed by what the player typed, shown exactly as typed (its
// backslashes break nothing).
int PrintTyped(ScreenState& s, const char* text, const char* typed, int startX);
// Selects an area and a mode for the next prints.
void SelectArea(ScreenState& s, int area, int mode);

// Prompts and line input; every prompt is shown as given.
// Returns 1 when the key typed is yesLetter, else 0 when it is noLetter, either case; asks with
// prompt on a new line of the message area and echoes the key.
int AskYesNo(ScreenState& s, const char* prompt, char yesLetter, char noLetter);
// Returns the digit typed, 1 to count (at most 9), or 0 for Escape unless count is negative;
// asks with prompt, "(1:count): " when there is none.
int AskChoice(ScreenState& s, const char* prompt, int count);
// Returns the highest digit a choice of count takes: 2 to 9 (a negative count: no Escape).
int ChoiceLimit(int count);
// Returns prompt, or when there is none the default "(1:N): " for count written into fallback.
const char* ChoicePrompt(const char* prompt, int count, char* fallback, size_t size);
// Reads the line the player types after prompt into buffer (maxLength characters at most),
// starting with s.KeptLine. Returns LineTyped, or LineUndo for Ctrl+Z with buffer empty, the line
// then showing UndoWord and what was typed kept in s.KeptLine; the window never returns LineQuit.
int ReadLine(ScreenState& s, const char* prompt, char* buffer, int maxLength);
// Returns the key read, or the ticks passed: waits for a key (0), for a key or ticks
// milliseconds (above 0), or -ticks milliseconds without reading keys (below 0).
int WaitKeyOrTime(ScreenState& s, int ticks);
// Adds a line to the input history, dropping the oldest when it is full.
void HistoryAdd(ScreenState& s, const char* line);
// Returns the length of the earlier history line copied into buffer.
int HistoryBack(ScreenState& s, char* buffer);
// Returns the length of the later history line copied into buffer, 0 past the newest.
int HistoryForward(ScreenState& s, char* buffer);
// Empties the input history.
void HistoryClear(ScreenState& s);

// Pictures.
// Returns 0 when the picture at path is shown or key names the picture asked for last (nothing
// changes), -1 when the picture area was blanked: the path is absent or empty, or the picture
// cannot be shown. name is what s.PictureFailure calls the picture.
int DisplayPicture(ScreenState& s, int key, const char* path, const char* name);
// Returns 0 when the picture at path is drawn at x0, y0, -1 when pictures are off, the file cannot
// be read or memory runs out, -2 when it is no PNG, -3 when its header is missing or refused. why,
// when given, receives the reason a picture is not shown whole (whySize bytes at most).
int LoadPicture(ScreenState& s, const char* path, int x0, int y0, char* why = nullptr,
                size_t whySize = 0);

// Screenshot: "scrshot.bmp" in the current directory; 0 written, -1 not.
int SaveScreenshot();
int SaveScreenshotTo(const char* path);

}  // namespace umb::ui
