// script.h - running the game's scripts: the parser, the condition tests, the action
// lines and the walks of the events and actions.
#pragma once

#include "engine/state.h"

namespace umb::engine {

// What running a command came to.
enum class TurnResult : int {
    Quit = -1,    // the game ends
    Scripts = 0,  // handled by script lines, or not recognised
    Builtin = 1,  // handled by a built-in command
    NoTime = 2,   // took no game time: no events before the next input
};

// How a walk of the events ended.
enum class EventsResult : int {
    Quit = -1,      // a quit action ended the game, or the player stopped the walk (g.Stopped)
    FlagClear = 0,  // the condition flag the walk ended with
    FlagSet = 1,
};

// Walks the events once: mode is Normal after a turn and Begin for the run that starts a game
// (Continued counts as Begin here).
EventsResult RunEvents(Game& g, ScriptMode mode);
// Runs one command: the actions for its words, then the built-in command when no action line
// ended the walk; prints SysmsgNotUnderstood or SysmsgNotQuite when nothing handled it. A walk
// the player stopped (g.Stopped) prints nothing more and returns Quit.
TurnResult RunActions(Game& g, int verb, int noun, int noun2, int noun3);

// Looks the words of line up, cutting it at its first line break: the first known verb, then up
// to three known nouns after it (0 where none). Returns the number of recognised words, 0 to 4.
int ParseInput(const Game& g, char* line, int* verb, int* noun, int* noun2, int* noun3);

// What a condition line comes to for the command's words and mode.
enum class CondResult : int {
    Holds = 1,
    Fails = 0,
    // It failed although its verb and noun matched: the actions then print SysmsgNotQuite.
    NearMiss = -1,
};
CondResult EvalCondition(Game& g, const db::ScriptLine& line, int verb, int noun, int noun2,
                         int noun3, ScriptMode mode);
// Returns true when the location is dark: unlit by its light state or flags, and no light-giving
// object lies there or is with the player.
bool IsDark(const Game& g, int location);

// What an action line asks of the walk that runs it.
enum class ActResult : int {
    Normal = 0,    // go on with the next line
    Halt = 1,      // end the walk
    Continue = 2,  // the actions go on after the block (continue)
    Break = 3,     // leave the block
    Quit = -1,     // the game ends
};
// Runs every slot of an action line; returns the last result a slot set, or Normal when none did.
ActResult ExecActionLine(Game& g, const db::ScriptLine& line);
// Prints message n, or system message n, on a new line of the message area (the area is
// selected even when it is undefined, and then prints nothing).
void PrintMessage(Game& g, int n);
void PrintSysmsg(Game& g, int n);
// Shows entry n of the shows: its text on a new line of the message area, then its picture; an
// entry without a picture shows nothing. In debug mode a picture not shown whole is reported.
void ShowPicture(Game& g, int n);
// Clears the whole message area.
void ClearMessages(Game& g);

}  // namespace umb::engine
