// startup.h - the entry point: switches, game name, and the choice of compiling or playing.
#pragma once

#include <cstdint>
#include <string>

namespace umb::app {

enum RunModes { RunAuto = 0, RunCompile = 1, RunText = 2, RunBinary = 3 };

constexpr const char* VersionText = "U.M.B. 2.4.0";
constexpr size_t MaxPathLength = 255;  // the game name and both file names must fit

// The author's tools, run instead of playing or compiling.
enum AuthorTool {
    ToolNone = 0,
    ToolCheck = 1,
    ToolMap = 2,
    ToolTest = 3,
    ToolPictures = 4,
    ToolLsp = 5,      // --lsp: the language server, talking to an editor on standard input/output
    ToolExplore = 6,  // --explore: a random player looks for what the game never shows
    ToolKeysFrom = 7  // --keys-from TRANSCRIPT: the key script that plays a transcript again
};

constexpr int DefaultTestTimeoutSeconds = 10;

// --autosave and --no-autosave, the last one given: without either, a game is kept for resuming
// unless it plays a key script headless.
enum class AutosaveSwitch : int { Default = 0, On = 1, Off = 2 };

struct Startup {
    std::string GameName;
    int RunMode = RunAuto;
    int16_t DebugMode = 0;
    int Tool = ToolNone;    // --check, --map or --test; the last one given wins
    bool Png = false;       // --png: the map is also written as a PNG
    bool Bless = false;     // --bless: walkthrough transcripts are written from the current game
    bool Coverage = false;  // --coverage: walkthroughs count the script lines they reach
    int TimeoutSeconds = DefaultTestTimeoutSeconds;  // --timeout N: the limit of one walkthrough
    bool TimeoutGiven = false;
    bool Terminal = false;       // --tty or UMB_DRIVER=tty: played in the terminal
    bool Plain = false;          // --plain: the terminal's plain lines, for screen readers
    bool StatusTop = false;      // --status-top: the status line held on the terminal's top line
    bool NoPictures = false;     // --no-pictures
    std::string TranscriptPath;  // --transcript FILE: what is shown and typed is added to FILE
    bool Seeded = false;         // --seed N or UMB_SEED=N: the random numbers repeat run to run
    unsigned Seed = 0;
    AutosaveSwitch Autosave = AutosaveSwitch::Default;
    long ExploreSteps = 5000;  // --steps N: the commands --explore types
    bool StepsGiven = false;
    std::string KeysFromPath;  // --keys-from TRANSCRIPT
};

// The process's exit status: the run did what was asked; a file was missing, refused or not
// written, a source had errors (or warnings when compiling), or no window could be opened; the
// command line was wrong.
// ExitStopped: the player stopped a turn that would not end (Ctrl+C), as a shell reports SIGINT.
enum ExitStatus { ExitSuccess = 0, ExitFailure = 1, ExitUsage = 2, ExitStopped = 130 };

// What reading the command line ends with: go on and run; help or version was shown, so the run
// ends well; or a usage error, said on standard error.
enum class OptionResult : int { Go = 0, Shown = -1, Usage = -2 };

// Applies one argument (a switch's value joined with '='); returns Go to go on, Shown when help
// or version was shown, Usage for a usage error.
OptionResult ParseOption(Startup& s, const char* arg);

// Print the usage page, or the version, to standard output; the version also goes to a message
// box when one can be shown.
void ShowHelp();
void ShowVersion();

// Reads every argument (a switch's value may be the next one) and settles the game name from
// the first other argument, else from the program's own name, cut at the first point of its
// last path component. Returns Go, or Shown when help or version was shown, or Usage for a usage
// error: an unknown switch, a value missing or out of range, a switch without the one it
// belongs to, or an author's tool without a game named.
OptionResult ReadCommandLine(Startup& s, int argc, char** argv);

// Whether the game is to be played in the terminal (--tty, --plain, --status-top or
// UMB_DRIVER=tty): the program then needs no window system at all.
bool WantsTerminal(int argc, char** argv);

// Whether the run is the language server (--lsp), which opens no window.
bool WantsLanguageServer(int argc, char** argv);

// The whole run: returns an ExitStatus, or -1 when the text heap cannot be allocated.
int UmbMain(int argc, char** argv);

}  // namespace umb::app
