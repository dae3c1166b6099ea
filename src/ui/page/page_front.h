// page_front.h - the browser page's text view: what the window shows, told to the page as text.
//
// In the browser the window draws the canvas; beside it the page keeps a text view that a screen
// reader follows and a phone can type into. This front end stands in front of the window: every
// call goes on to the window unchanged, and what it shows (the location, its status line and
// picture, the messages, the questions and their answers) is also told to the page as events of
// UTF-8 text. The page builds its view from them alone, never from pixels.
#pragma once

#include "engine/frontend.h"
#include "engine/textlog.h"

#include <string>
#include <vector>

namespace umb::ui {

// What the page is told; the values are those the page (web/textview.js) reads.
enum class PageEventKind : int {
    Open = 0,     // the game begins to be shown; text: its title
    NewGame = 1,  // everything shown is blank again
    Place = 2,    // a location is shown anew; text: its name; Text events follow, then Shown
    Text = 3,     // one of the location's texts (description, objects, exits)
    Shown = 4,    // the location is whole
    Status = 5,   // the status line; text: empty when the game has none
    Picture = 6,  // the picture shown; text: its path, empty when the area is blank
    Message = 7,  // a new entry of the messages
    Reply = 8,    // a debug answer, in place of the line just typed
    Ask = 9,      // the game waits for the player; mode: a PageAsk; text: the prompt
    Answer = 10,  // what was typed or pressed for the question asked last (empty: nothing)
    Closed = 11,  // the game is over
};

// What a question takes.
enum class PageAsk : int {
    Line = 0,    // a command line, ended by Enter
    YesNo = 1,   // one of two letters
    Choice = 2,  // a digit, or Escape
    Key = 3,     // any key, to go on
};

struct PageEvent {
    PageEventKind kind = PageEventKind::Open;
    int mode = 0;  // the PageAsk of an Ask
    std::string text;
};

struct PageFront {
    engine::FrontHandle inner;  // the window, which shows everything as it always does
    // What the page has not yet been told. The browser build hands them over whenever the page
    // is about to have the player's attention; elsewhere they wait here to be read.
    std::vector<PageEvent> events;
    engine::ShownLocation shown;  // the location as last told, so that only changes are told
    int picture = engine::NoPictureKey;
};

// The front end; its state is a PageFront whose inner front end is set.
extern const engine::FrontEnd PageFrontEnd;

// Returns text, in code page 850 with backslash line breaks, as UTF-8 lines ended by '\n' but
// the last (marks: whether a backslash breaks the line, as in the game's own texts).
std::string PageText(const char* text, bool marks);

}  // namespace umb::ui
