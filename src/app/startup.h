// startup.h - the entry point: switches, game name, and the choice of compiling or playing.
#pragma once

#include <cstdint>
#include <string>

enum RunModes { RunAuto = 0, RunCompile = 1, RunText = 2, RunBinary = 3 };

constexpr const char* VersionText = "U.M.B. 2.4.0";
constexpr size_t MaxPathLength = 255;  // the game name and both file names must fit

struct Startup {
    std::string gameName;
    int RunMode = RunAuto;
    int16_t DebugMode = 0;
};

// Applies one argument; returns 0 to go on, -1 when help or version was shown.
int ParseOption(Startup& s, const char* arg);

void ShowHelp();
void ShowVersion();

// Settles the game name from the first non-option argument, else from the program's own name,
// cut at its first point. Returns 0, or -1 after help or version was shown.
int ReadCommandLine(Startup& s, int argc, char** argv);

// The whole run: returns 0 on every ordinary end, -1 when the text heap cannot be allocated.
int UmbMain(int argc, char** argv);
