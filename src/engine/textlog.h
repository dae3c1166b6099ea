// textlog.h - the game as plain lines of UTF-8 text in reading order: the transcript a player
// sends to the author, and what the terminal's plain mode writes for screen readers.
#pragma once

#include "engine/frontend.h"

#include <cstdio>
#include <string>
#include <vector>

namespace umb::engine {

// What a text front end has shown of the location the player is at, so that a location is
// shown whole when the player arrives and later only what changed in it.
struct ShownLocation {
    bool any = false;  // a location was shown since the game began
    std::string name;
    std::vector<std::string> texts;
    std::string status;  // the status line shown last
};

// What of a location is to be shown.
struct LocationNews {
    bool anew = false;   // the name and every text: the player arrived, or asked again
    bool fresh[3] = {};  // which of the texts are to be shown
    bool statusChanged = false;
};

// Returns what of v is new against shown, which then holds v.
LocationNews TakeLocationNews(ShownLocation& shown, const LocationView& v);

// Where the lines go and what was written last, so that a location is written again only when
// what it shows changed.
struct TextLog {
    FILE* out = nullptr;
    bool ownsFile = false;  // opened by OpenTextLog, closed by CloseTextLog
    int width = 99;         // the characters a line holds: the window's message area by default
    ShownLocation shown;
    bool wroteAnything = false;
    std::string path;     // the file OpenTextLog opened, named when it cannot be written
    bool failed = false;  // a write failed (a full disk): the lines from there on may be lost
};

// Returns true with log writing to the end of the file at path (made when missing), false when
// it cannot be opened.
bool OpenTextLog(TextLog& log, const char* path);
// Flushes and, when the log opened it, closes the file.
// Whenever the log flushes its file, a failed write sets log.failed; for the file OpenTextLog
// opened, the first one is said on standard error as "Cannot write file PATH!".
void CloseTextLog(TextLog& log);
// Writes text (code page 850) as UTF-8 lines of at most log.width characters, wrapped at blanks;
// a backslash breaks the line unless literal. A blank line is written for an empty text.
void LogText(TextLog& log, const char* text, bool literal = false);
// Writes a location when it is another than the one written last, or v.again: a blank line, the
// name, then its texts; of the same location, only the texts that were not there before. Then
// the status line, when it changed.
void LogLocation(TextLog& log, const LocationView& v);
// Writes the prompt (the author's text) followed by what the player typed or the key answered,
// as typed, then flushes: a turn is never lost when the program is killed.
void LogAnswer(TextLog& log, const char* prompt, const char* typed);
// Writes out what the log holds: called before the game waits for the player, so that a turn is
// never lost when the program is killed.
void FlushTextLog(TextLog& log);

}  // namespace umb::engine
