// play.h - the game loop: games played one after another, the built-in commands and
// the debug lines.
#pragma once

#include "engine/script.h"

#include <string>

namespace umb::engine {

// How the player sees the game: the front end, the one that stands in when it cannot be opened,
// and the file a transcript is added to (none when empty).
struct PlayView {
    FrontHandle Front;     // who shows the game
    FrontHandle Fallback;  // who shows it when Front cannot be opened; none: nobody
    std::string TranscriptPath;
    // Keep the game's state after every turn in its autosave and offer it at the next start,
    // when it is newer than loadedFrom (the source or compiled game file played; empty: any).
    bool Autosave = false;
    std::string LoadedFrom;
};

// What PlayGames returns.
enum class PlayResult : int {
    Ended = 0,           // the player declined another game, or the input ended
    NotOpened = -1,      // the front end or the transcript could not be opened
    TranscriptLost = 1,  // played to the end, but the transcript was not written
    // The player stopped a turn that would not end (a script looping forever): the game is left
    // as it stands, nothing saved.
    Stopped = 2,
};

// The game loop.
// Opens the front end and plays the game in db until the player declines another; the saved
// games are named from gameName, and debugMode lets "%" lines through to DebugCommand; coverage,
// when given, is sized to the tables and counts the script lines reached and run. Each failure is
// said when it happens. A stopped turn asks no further question.
PlayResult PlayGames(db::GameDatabase& db, const std::string& gameName, bool debugMode,
                     ScriptCoverage* coverage = nullptr, const PlayView& view = {});
// Resets the run-time state to the game's start, runs the events once in ScriptMode::Begin (the
// introduction) and offers to restore a saved game.
void NewGame(Game& g);

// Answers a debug line (one beginning with "%") on the message area's last line and returns
// true; returns false for any other line, which is left to the parser.
bool DebugCommand(Game& g, const char* line);

// Runs the built-in command for a verb and noun. Returns Builtin when it was done,
// NoTime for save, restore and a quit the player declined, Quit for a confirmed quit, and
// Scripts when the pair is not a built-in command (or names no object it can act on).
TurnResult BuiltinCommand(Game& g, int verb, int noun);
// Asks whether to quit and, if so, whether to save first. Returns true to quit, false to stay
// (also when a save the player asked for was not made).
bool ConfirmQuit(Game& g);

}  // namespace umb::engine
