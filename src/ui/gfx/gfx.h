// gfx.h - the graphics layer: the only code that reaches the window system.
//
// The screen is 800 x 600 true-colour pixels kept in memory; a driver shows it (a real window)
// or only keeps it (headless, for tests and for authors who play from a key script). The rest of
// the program sees nothing but these functions.
#pragma once

#include "base/codepage.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace umb::gfx {

// A colour value: red in bits 0-7, green in 8-15, blue in 16-23.
using GfxColour = uint32_t;

constexpr int ScreenWidth = 800;
constexpr int ScreenHeight = 600;
constexpr int GlyphWidth = 8;
constexpr int GlyphHeight = 14;

// Key codes: characters arrive in code page 850; other keys as 256 + the PC extended code.
constexpr int KeyBackspace = 8;
constexpr int KeyEnter = 13;
constexpr int KeyUndo = 26;  // Ctrl+Z: take back the last command
constexpr int KeyEscape = 27;
constexpr int KeyUp = 328;
constexpr int KeyDown = 336;
constexpr int KeyScreenshot = 370;
constexpr int KeyPictureToggle = 390;

// Code page 850 and UTF-8 (base/codepage.h): one table and one decoder for every front end.
using base::Cp850ToUnicode;
using base::NextUtf8;
using base::UnicodeToCp850;
using base::Utf8Character;
using base::Utf8Continuations;

struct GfxSurface;

// The text record: glyph cells are drawn opaque in the two colours.
struct GfxTextStyle {
    GfxColour foreground;
    GfxColour background;
};

// A named text area, so that a screen dump can tell which characters belong to which area.
struct GfxTextArea {
    const char* name;
    int x1, y1, x2, y2;
};

// Runs the program's entry: with the window driver on a game thread while the first thread
// serves the window; headless, and in a browser, on the calling thread. Returns the entry's
// result.
int GfxRun(int (*entry)(int, char**), int argc, char** argv);

// Opens the 800 x 600 screen (and the window, with the window driver), or closes it. Returns 0,
// or -1 when the window cannot be opened, the reason in why (whySize bytes at most).
int GfxOpenScreen(char* why = nullptr, size_t whySize = 0);
void GfxCloseScreen();

GfxColour GfxColourFromRgb(int red, int green, int blue);
void GfxRgbOfColour(GfxColour c, int* red, int* green, int* blue);

// Off-screen surfaces, black when made; nullptr when memory is short.
GfxSurface* GfxCreateSurface(int width, int height);
void GfxDestroySurface(GfxSurface* s);
// Selects the target of later drawing and pixel reads; nullptr selects the screen.
void GfxSelectSurface(GfxSurface* s);

void GfxClearSurface(GfxColour c);
void GfxClearScreen(GfxColour c);
// Rectangles are two corners, both inclusive, clipped to the current surface.
void GfxFillBox(int x1, int y1, int x2, int y2, GfxColour c);
void GfxFrameBox(int x1, int y1, int x2, int y2, GfxColour c);
void GfxPlotPixel(int x, int y, GfxColour c);
// Plots count pixels from x, y rightwards, like GfxPlotPixel for each (outside ignored), in one go.
void GfxPlotRow(int x, int y, const GfxColour* colours, int count);
GfxColour GfxReadPixel(int x, int y);
// Copies the rectangle x1,y1-x2,y2 of src to x,y of dst (nullptr: the current surface);
// overlapping rectangles behave as a move.
void GfxCopyArea(GfxSurface* dst, int x, int y, GfxSurface* src, int x1, int y1, int x2, int y2);

// Draws count characters as 8 x 14 glyph cells from the top-left corner x, y.
void GfxDrawText(const char* text, int count, int x, int y, const GfxTextStyle& style);
int GfxTextWidth(const char* text, int count);

// Blocks until a key arrives and returns its code.
int GfxReadKey();
// Waits up to ms milliseconds for a key: returns its code, or 0 when the time passed first
// (headless: at once, reading no key). Uses no CPU while it waits.
int GfxWaitKeyFor(int ms);
// Waits ms milliseconds without looking at keys (headless: returns at once).
void GfxSleep(int ms);
// Milliseconds of a steady clock.
uint64_t GfxTicks();

void GfxSetWindowTitle(const char* title);

// Shows a modal message box with one OK button and returns when it is closed; where no box can
// be shown, or boxes are not wanted, the text goes to standard error as "Caption: text".
void GfxMessageBox(const char* caption, const char* text);
// Shows the box only: returns whether it was shown (and closed). Nothing goes elsewhere.
bool GfxShowBox(const char* caption, const char* text);
// Boxes are wanted only by a program with no terminal at all (started from a file manager): a
// box must never hold up a script or a user at a terminal. The author's tools turn them off.
void GfxAllowBoxes(bool allowed);

// The characters on the screen, kept by cell for transcripts and screen dumps.
// Registers the areas a screen dump lists, in order.
void GfxSetTextAreas(const GfxTextArea* areas, int count);
// The text of the cells whose top-left corner lies at row y between x1 and x2, placed at column
// (x - x1) / 8, trailing blanks removed; writes at most size - 1 characters and a NUL.
void GfxTextRow(int x1, int x2, int y, char* out, int size);
// Headless: writes a transcript line to standard output; the browser keeps it in the page. The
// window driver ignores it.
void GfxTranscript(const char* line);
// Headless: writes a screen dump of the registered areas (the browser: to the page's transcript).
void GfxScreenDump();

// The files the program writes for the player: a driver may hand them on (the browser offers a
// screenshot as a download and keeps saved games across visits to the page).
constexpr int FileScreenshot = 1;
constexpr int FileSavedGame = 2;
// Tells the driver that the file at path, of one of the kinds above, was just written whole (a
// saved game's may also have been removed: the autosave of a game that ended).
void GfxFileWritten(const char* path, int kind);

// A turn has been busy a while: returns true when the player asked the driver to stop it (the
// browser's Stop button). The browser driver also lets the page live on meanwhile.
bool GfxStopRequested();
// Returns true once the player closed the window: the game is to end, as at the end of a key
// script (every key wait returns KeyEndOfInput, and a turn under way is stopped).
bool GfxInputClosed();

// Headless streams, for tests: keys are read from in, transcripts and dumps go to out.
void GfxSetHeadlessStreams(FILE* in, FILE* out);
// Headless: once the key script has ended, hands out these keys in turn, over and over, instead
// of ending the program, so that a caller in the same process gets every question answered and
// carries on (the fuzz targets). No keys (count 0) restores the end of the program.
void GfxSetHeadlessEndKeys(const char* keys, size_t count);
// A play's transcript is cut at this size: a runaway game that prints for ever is stopped there.
constexpr size_t HeadlessPlayTranscriptLimit = size_t{16} << 20;
// A key script played in this process on the window (the tests that hold the text screen to
// the window; umb --test plays on the text screen): from GfxBeginHeadlessPlay to
// GfxEndHeadlessPlay the headless driver serves the game whatever driver the program runs
// under, reading keys from keys and writing the transcript to out, on a screen as a new
// program's. The end of the key script does not end the program: after the last screen dump the
// driver shows nothing more and every key wait returns KeyEndOfInput at once, and the game ends.
constexpr int KeyEndOfInput = 0x10000;  // past every key a script can name
// A transcript that passes transcriptLimit bytes stops the play (HeadlessPlayEnd::cut).
void GfxBeginHeadlessPlay(FILE* keys, FILE* out,
                          size_t transcriptLimit = HeadlessPlayTranscriptLimit);
// How the play ended: whether the key script ran out, whether a stop was handed to the game,
// and the key script's lines consumed, the last of them without its line break.
struct HeadlessPlayEnd {
    bool inputEnded = false;
    bool stopped = false;
    bool cut = false;  // the transcript reached HeadlessPlayTranscriptLimit: the play was stopped
    int lines = 0;
    std::string lastLine;
};
HeadlessPlayEnd GfxEndHeadlessPlay();
// Asks the game played by GfxBeginHeadlessPlay to stop its turn as Ctrl+C does; safe to call from
// any thread (a watchdog's).
void GfxStopHeadlessPlay();
// Selects the driver before anything is drawn; tests use it instead of UMB_DRIVER.
void GfxUseHeadless(bool headless);
// Whether the headless driver is chosen (GfxUseHeadless, else UMB_DRIVER=headless): the program
// plays a key script, for tests and tools.
bool GfxHeadlessChosen();

}  // namespace umb::gfx
