// term_front.h - the terminal front end's own state, and its parts that tests reach directly.
#pragma once

#include "ui/frontend.h"
#include "ui/gfx/gfx.h"
#include "ui/term/terminal.h"
#include "ui/textlog.h"

#include <string>
#include <vector>

namespace umb::ui {

// Widest a picture is drawn, in character cells.
constexpr int MaxPictureCells = 96;

// The terminal front end while it is open (ScreenState::Text).
struct TextFront {
    TermDevice dev;
    bool plain = false;      // plain lines only: no escape sequence is ever written
    bool statusTop = false;  // the status line held on the top line, the rest scrolling below
    bool pictures = false;   // 24-bit colour half blocks may be drawn
    TextLog log;             // plain mode writes through it
    ShownLocation shown;     // what the look with colours shows of the location
    // A location is held back until the picture that follows it is drawn, so that the picture
    // comes above the location's name; the next call of any other kind writes it.
    std::string held;
    bool holding = false;
    int endedReads = 0;    // reads in a row that found the input ended
    bool midLine = false;  // the last line written is not ended: a question waits after it
    // Plain lines: the status line of the location shown last, and which of its numbers counts
    // the turns (-1 while none is known), so that a turn going by is not read out every time.
    std::string statusSeen;
    int turnCounter = -1;
};

// Returns 0 with the terminal front end working on in and out (the plain lines when
// s.Options.Plain), -1 with the reason in s.FrontFailure. TerminalFrontEnd.open uses 0 and 1.
int OpenTerminalOn(ScreenState& s, int in, int out);

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
