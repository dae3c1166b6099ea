// term_front.h - the terminal front end's own state, and its parts that tests reach directly.
#pragma once

#include "engine/frontend.h"
#include "engine/textlog.h"
#include "ui/frontends.h"
#include "ui/gfx/gfx.h"
#include "ui/window/screen.h"
#include "ui/term/terminal.h"

#include <string>
#include <vector>

namespace umb::ui {

// Widest a picture is drawn, in character cells.
constexpr int MaxPictureCells = 96;

// The terminal front end while it is open (TerminalState::Text).
struct TextFront {
    TermDevice dev;
    bool plain = false;           // plain lines only: no escape sequence is ever written
    bool statusTop = false;       // the status line held on the top line, the rest scrolling below
    bool pictures = false;        // 24-bit colour half blocks may be drawn
    engine::TextLog log;          // plain mode writes through it
    engine::ShownLocation shown;  // what the look with colours shows of the location
    // A location is held back until the picture that follows it is drawn, so that the picture
    // comes above the location's name; the next call of any other kind writes it.
    std::string held;
    bool holding = false;
    int endedReads = 0;    // reads in a row that found the input ended
    bool muted = false;    // the input ended for good: nothing more is written
    bool midLine = false;  // the last line written is not ended: a question waits after it
    // Plain lines: the status line of the location shown last, and which of its numbers counts
    // the turns (-1 while none is known), so that a turn going by is not read out every time.
    std::string statusSeen;
    int turnCounter = -1;
};

// The terminal front end's state (its self), from before it opens to after it closes.
struct TerminalState {
    FrontOptions Options;
    bool GameHasStatusVerb = false;  // the game's own "status" verb wins over the plain lines'
    TextFront* Text = nullptr;       // while open
    char FrontFailure[256] = {};     // why it could not be opened
    // The input ended for good (a second read in a row found it ended): the game ends, and
    // nothing more is written.
    bool InputEnded = false;
    InputHistory History;
    char KeptLine[HistoryLineSize] = {};  // the half-typed line Ctrl+Z left
    int LastPicture = engine::NoPictureKey;
    // Pictures are decoded as the window draws them, into the window's picture area.
    WindowState Pictures;
};

// The terminal: text in reading order, with colours and editing, or plain (--plain). Its state
// is a TerminalState.
extern const engine::FrontEnd TerminalFrontEnd;

// Returns 0 with the terminal front end working on in and out (the plain lines when
// s.Options.Plain), -1 with the reason in s.FrontFailure. TerminalFrontEnd.open uses 0 and 1.
int OpenTerminalOn(TerminalState& s, int in, int out);

// Returns the escape sequences and "▀" cells that draw the w x h pixels (row by row) at most
// cells characters wide and lines lines high, keeping the picture's shape: each cell shows two
// pixel rows of the scaled picture, the upper as its foreground and the lower as its
// background; attributes are reset after each row.
std::string RenderHalfBlocks(const gfx::GfxColour* pixels, int w, int h, int cells, int lines);

// Returns whether the status line now differs from the one written last (written) other than
// by the turn counter going up, learning the counter from the one seen last (seen): a number
// that went up by one while nothing else changed. counter is the number's index, -1 for none.
bool StatusNews(const std::string& seen, const std::string& written, const std::string& now,
                int& counter);

}  // namespace umb::ui
