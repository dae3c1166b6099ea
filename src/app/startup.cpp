// startup.cpp - switches, game name and file names, then compile, or load and play.
#include "app/startup.h"
#include "app/explore.h"
#include "app/loadgame.h"
#include "app/lsp/lsp_server.h"
#include "app/workbench.h"

#include "base/nocase.h"
#include "compiler/compiler.h"
#include "db/gamefile.h"
#include "engine/engine.h"
#include "ui/frontends.h"
#include "ui/gfx/gfx.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

using namespace umb::base;
using namespace umb::db;
using namespace umb::compiler;
using namespace umb::gfx;
using namespace umb::engine;

namespace umb::app {

namespace {

// Compiles the source when it can be opened and read; sets loaded when it was. Returns the compile
// result, Unreadable when there was no source to compile.
CompileResult CompileFromSource(GameDatabase& db, const Startup& s, const std::string& sourcePath,
                                bool& loaded) {
    FILE* file = std::fopen(sourcePath.c_str(), "r");
    if (file == nullptr) return CompileResult::Unreadable;
    Compiler c;
    BeginCompile(c, db);
    CompileResult result = CompileSourceFile(c, file, sourcePath.c_str());
    std::fclose(file);
    // Unreadable: handled like a missing source.
    if (result == CompileResult::Unreadable) return result;
    loaded = true;
    if (result == CompileResult::Warnings && s.RunMode != RunCompile) {
        // The user reads the warnings and presses a key before the game starts.
        std::fflush(stdout);
        (void)std::getchar();
        result = CompileResult::Clean;
    }
    return result;
}

// Says which file was wanted; a compiled game file that exists but was refused is named as
// damaged rather than missing, so the player knows the file itself is at fault.
void ShowMissing(const Startup& s, const std::string& sourcePath, const std::string& gamePath,
                 ReadResult readResult) {
    std::string text;
    const bool damaged =
        readResult == ReadResult::NotFormat || readResult == ReadResult::BadContent;
    if (damaged || s.RunMode == RunBinary)
        text = GameFileError(readResult, gamePath);
    else if (s.RunMode == RunAuto)
        text = "Cannot find file " + sourcePath + " nor file " + gamePath + "!";
    else
        text = "File " + sourcePath + " not found!";
    GfxMessageBox("Error", text.c_str());
}

// Reads UMB_SEED=N (0 to 4294967295); returns whether it named a seed.
bool SeedFromEnvironment(unsigned& seed) {
    const char* text = std::getenv("UMB_SEED");
    if (text == nullptr || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*end != '\0' || value > 0xFFFFFFFFull) return false;
    seed = static_cast<unsigned>(value);
    return true;
}

// Writes the compiled game file from a compile without errors or warnings; the last line on
// standard output names the source read, since the game name was cut at its first point.
int WriteCompiled(const GameDatabase& db, CompileResult result, const std::string& sourcePath,
                  const std::string& gamePath) {
    if (result != CompileResult::Clean) {
        std::printf("%s: %s, nothing written\n", sourcePath.c_str(),
                    result == CompileResult::Errors ? "errors" : "warnings");
        return ExitFailure;
    }
    if (WriteGameFile(db, gamePath.c_str()) != WriteResult::Ok) {
        std::printf("%s: nothing written\n", sourcePath.c_str());
        const std::string text = "Cannot write file " + gamePath + "!";
        GfxMessageBox("Error", text.c_str());
        return ExitFailure;
    }
    std::printf("%s: compiled into %s\n", sourcePath.c_str(), gamePath.c_str());
    GfxMessageBox("U.M.B.", "Conversion complete");
    return ExitSuccess;
}

// Whether a key script is played headless (UMB_DRIVER=headless, or a test's choice). main runs
// every terminal play on the headless driver, so there only the environment tells.
bool PlaysKeyScript(const Startup& s) {
    if (!s.Terminal) return GfxHeadlessChosen();
    const char* driver = std::getenv("UMB_DRIVER");
    return driver != nullptr && std::strcmp(driver, "headless") == 0;
}

// Whether the game is kept for resuming: unless switched off, and in a headless key-script run
// only when asked for, so that tests and tools leave no file behind.
bool AutosaveWanted(const Startup& s) {
    if (s.Autosave != AutosaveSwitch::Default) return s.Autosave == AutosaveSwitch::On;
    return !PlaysKeyScript(s);
}

// Plays the loaded game, read from loadedFrom, in the front end the switches chose.
int Play(GameDatabase& db, const Startup& s, const std::string& loadedFrom) {
    ui::FrontOptions options;
    options.Terminal = s.Terminal;
    options.Plain = s.Plain;
    options.StatusTop = s.StatusTop;
    options.NoPictures = s.NoPictures;
    const ui::ChosenFronts fronts = ui::ChooseFrontEnds(options);
    PlayView view;
    view.Front = fronts.front;
    view.Fallback = fronts.fallback;
    view.TranscriptPath = s.TranscriptPath;
    view.Autosave = AutosaveWanted(s);
    view.LoadedFrom = loadedFrom;
    const PlayResult played = PlayGames(db, s.GameName, s.DebugMode != 0, nullptr, view);
    if (played == PlayResult::Stopped) return ExitStopped;
    return played == PlayResult::Ended ? ExitSuccess : ExitFailure;
}

}  // namespace

bool WantsTerminal(int argc, char** argv) {
    const char* driver = std::getenv("UMB_DRIVER");
    if (driver != nullptr && std::strcmp(driver, "tty") == 0) return true;
    for (int i = 1; i < argc; ++i)
        for (const char* name : {"--tty", "--plain", "--status-top"})
            if (CompareNoCase(argv[i], name) == 0) return true;
    return false;
}

bool WantsLanguageServer(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (CompareNoCase(argv[i], "--lsp") == 0) return true;
    return false;
}

namespace {

// Compiles or reads the game and writes or plays it, as the run mode says; returns the
// ExitStatus, or -1 when the text heap cannot be allocated.
int LoadAndRun(Startup& s, const std::string& sourcePath, const std::string& gamePath) {
    GameDatabase db;
    if (const std::string error = PrepareDatabase(db); !error.empty()) {
        GfxMessageBox("Error", error.c_str());
        return -1;
    }

    CompileResult result = CompileResult::Unreadable;
    bool loaded = false;
    ReadResult readResult = ReadResult::CannotOpen;
    if (s.RunMode != RunBinary) result = CompileFromSource(db, s, sourcePath, loaded);
    const std::string loadedFrom = loaded ? sourcePath : gamePath;
    if (!loaded && (s.RunMode == RunAuto || s.RunMode == RunBinary)) {
        readResult = ReadGameFile(db, gamePath.c_str());
        if (readResult == ReadResult::Ok) {
            loaded = true;
            result = CompileResult::Clean;
            s.DebugMode = 0;  // debug mode never applies to a compiled game
        }
    }
    if (!loaded) {
        ShowMissing(s, sourcePath, gamePath, readResult);
        return ExitFailure;
    }
    if (s.RunMode == RunCompile) return WriteCompiled(db, result, sourcePath, gamePath);
    // Errors: nothing is played.
    if (result != CompileResult::Clean) return ExitFailure;
    return Play(db, s, loadedFrom);
}

}  // namespace

int UmbMain(int argc, char** argv) {
    Startup s;
    s.Seeded = SeedFromEnvironment(s.Seed);
    if (const OptionResult res = ReadCommandLine(s, argc, argv); res != OptionResult::Go)
        return res == OptionResult::Usage ? ExitUsage : ExitSuccess;
    // A fixed seed makes a game that draws random numbers play the same way every time.
    std::srand(s.Seeded ? s.Seed : static_cast<unsigned>(std::time(nullptr)));
    // The author's tools run from terminals and scripts: they never wait on a message box.
    if (s.Tool != ToolNone) GfxAllowBoxes(false);
    const std::string sourcePath = s.GameName + ".adv";
    const std::string gamePath = s.GameName + ".umb";
    if (sourcePath.size() > MaxPathLength) {
        const std::string text = "Game name " + s.GameName + " is too long!";
        GfxMessageBox("Error", text.c_str());
        return ExitFailure;
    }
    switch (s.Tool) {
    case ToolLsp: return lsp::RunLanguageServer(0, 1);
    case ToolCheck: return RunCheck(s);
    case ToolMap: return RunMap(s);
    case ToolTest: return RunWalkthroughs(s);
    case ToolPictures: return RunPictureList(s);
    case ToolExplore: return RunExplore(s);
    case ToolKeysFrom: return RunKeysFrom(s);
    default: return LoadAndRun(s, sourcePath, gamePath);
    }
}

}  // namespace umb::app
