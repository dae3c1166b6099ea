// explore.h - the explorer: a random player that uses the game's own words to find rooms never
// reached, lines never run, turns that never end and the ways a game ends; and key scripts made
// from transcripts.
#pragma once

#include "compiler/compiler.h"
#include "db/database.h"
#include "engine/state.h"

#include <cstdint>
#include <string>
#include <vector>

namespace umb::app {

struct Startup;

constexpr long DefaultExploreSteps = 5000;
constexpr int DefaultTurnLimitMs = 1000;
// Turns over the time limit after which the explorer gives up: the game cannot be played on.
constexpr int MaxTurnsOverLimit = 10;
constexpr size_t SlowestTurnsKept = 5;

struct ExploreOptions {
    unsigned seed = 1;  // the explorer's draws, and the game's random numbers at each new game
    long steps = DefaultExploreSteps;  // commands typed in all, over as many games as they fill
    int turnLimitMs = DefaultTurnLimitMs;
};

// One command as the explorer typed it, where and when.
struct ExploreTurn {
    std::string command;
    int location = 0;  // where the player stood when it was typed
    int game = 0;      // counted from 1
    int number = 0;    // the command's number in its game, from 1
    double seconds = 0;
};

// How a game ended: the built-in quit the explorer confirmed, or a quit action of the scripts,
// told apart as won or lost by the last message shown before it when its words say so.
enum class EndKind : int { Won = 0, Lost = 1, Ended = 2, Quit = 3 };

// One thing the explorer typed: a command line, a yes (1) or no (0), a choice (0: Escape), a key.
enum class InputKind : uint8_t { Line, YesNo, Choice, Key };
struct ExploreInput {
    InputKind kind = InputKind::Line;
    int value = 0;
    std::string line;
};

// Commands the replays that cut an ending's play down may type in all, for each ending.
constexpr long ShrinkBudget = 200000;

// One way the game ends, with the shortest play found that reaches it, cut down to the
// commands it needs.
struct ExploreEnding {
    EndKind kind = EndKind::Ended;
    bool events = false;  // the quit action's table; line -1 for the built-in quit
    int line = -1;
    std::string lastMessage;
    std::vector<ExploreInput> inputs;  // the play
    std::string keys;  // the play as a key script, ending with "no" to the play-again question
    int commands = 0;  // command lines in keys
    int found = 0;     // command lines in the play as it was found, before it was cut down
    int game = 0;
    int times = 0;  // how often it was reached
};

struct ExploreReport {
    long commands = 0;
    int games = 0;
    double seconds = 0;
    bool gaveUp = false;           // stopped early: too many turns over the time limit
    std::vector<uint8_t> visited;  // by location number
    std::vector<uint8_t> taken;    // by object number: carried or worn at some time
    engine::ScriptCoverage coverage;
    std::vector<ExploreTurn> overLimit;
    std::vector<ExploreTurn> slowest;  // the slowest turns, slowest first
    std::vector<ExploreEnding> endings;
};

// Plays db (compiled, its run-time state free to change) for options.steps commands, saving
// games under scratch (a folder of the caller's); the report says what was seen.
void ExploreGame(db::GameDatabase& db, const std::string& scratch, const ExploreOptions& options,
                 ExploreReport& report);

// Makes a scratch folder for the explorer's saved games: in memory (/dev/shm) where there is one,
// since the durable write of every save would otherwise weigh on the run, else in /tmp. Returns
// its path, empty when none could be made.
std::string MakeExploreScratch();

// The file name an ending's key script is written to beside the game: GAME-explore-KIND.keys,
// KIND being won, lost, ended or quit, with -2, -3 ... for further endings of one kind.
std::string EndingKeysName(const std::string& game, const std::vector<ExploreEnding>& endings,
                           size_t index);

// Prints the report on standard output (the game's source places from log, its files named
// under folder); with times, the run's time and the slowest turns too. keysWritten names the
// file each ending was written to (empty: not written).
void PrintExploreReport(const db::GameDatabase& db, const compiler::CheckLog& log,
                        const std::string& folder, const ExploreReport& report,
                        const ExploreOptions& options, const std::vector<std::string>& keysWritten,
                        bool times);

// umb --explore GAME: compiles GAME.adv (its diagnostics printed as --check prints them when it
// has errors), explores it and prints the report, writing each ending's key script beside it.
// Returns ExitSuccess when the run completed, ExitFailure when the source cannot be compiled.
int RunExplore(const Startup& s);

// What making a key script from a transcript came to.
enum class KeysFromResult : int { Made = 0, NotTranscript = -1 };

// Turns a transcript (--transcript FILE, or the terminal's plain lines saved to a file) into a
// key script that types its commands and answers again; why says what is wrong otherwise.
KeysFromResult KeysFromTranscript(const std::string& transcript, std::string& keys,
                                  std::string& why);

// umb --keys-from TRANSCRIPT: the key script on standard output. Returns ExitSuccess, or
// ExitFailure with the reason on standard error.
int RunKeysFrom(const Startup& s);

}  // namespace umb::app
