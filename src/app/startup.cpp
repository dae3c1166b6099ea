// startup.cpp - switches, game name and file names, then compile, or load and play.
#include "app/startup.h"
#include "app/workbench.h"

#include "base/nocase.h"
#include "compiler/compiler.h"
#include "db/gamefile.h"
#include "engine/engine.h"
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

// Takes a walkthrough time limit of 1 to 86400 whole seconds; returns 0, or -1 for anything else.
int ReadSeconds(const char* text, Startup& s) {
    long value = 0;
    const char* p = text;
    for (; *p >= '0' && *p <= '9' && value <= 86400; ++p) value = value * 10 + (*p - '0');
    if (p == text || *p != '\0' || value < 1 || value > 86400) return -1;
    s.TimeoutSeconds = static_cast<int>(value);
    return 0;
}

}  // namespace

void ShowHelp() {
    std::printf("%s\n", VersionText);
    std::printf("Graphic version\n");
    std::printf("Options       -h, --help      : Display this page\n");
    std::printf("              -v, --version   : Display version info\n");
    std::printf("              -d, --debug     : Operate in debug mode\n");
    std::printf("              -c, --compile   : Convert text to binary\n");
    std::printf("              -t, --text      : Force text file\n");
    std::printf("              -b, --binary    : Force binary file\n");
    std::printf("See documentation for more info.\n");
}

void ShowVersion() {
    std::printf("%s\n", VersionText);
    GfxMessageBox("U.M.B.", VersionText);
}

int ParseOption(Startup& s, const char* arg) {
    if (CompareNoCase(arg, "--help") == 0) {
        ShowHelp();
        return -1;
    }
    if (CompareNoCase(arg, "--version") == 0) {
        ShowVersion();
        return -1;
    }
    if (arg[0] == '-' && arg[1] == '-') {
        if (CompareNoCase(arg, "--debug") == 0) {
            s.DebugMode = 1;
        } else if (CompareNoCase(arg, "--compile") == 0) {
            s.RunMode = RunCompile;
        } else if (CompareNoCase(arg, "--text") == 0) {
            s.RunMode = RunText;
        } else if (CompareNoCase(arg, "--binary") == 0) {
            s.RunMode = RunBinary;
        } else if (CompareNoCase(arg, "--check") == 0) {
            s.Tool = ToolCheck;
        } else if (CompareNoCase(arg, "--map") == 0) {
            s.Tool = ToolMap;
        } else if (CompareNoCase(arg, "--test") == 0) {
            s.Tool = ToolTest;
        } else if (CompareNoCase(arg, "--pictures") == 0) {
            s.Tool = ToolPictures;
        } else if (CompareNoCase(arg, "--png") == 0) {
            s.Png = true;
        } else if (CompareNoCase(arg, "--bless") == 0) {
            s.Bless = true;
        } else if (CompareNoCase(arg, "--coverage") == 0) {
            s.Coverage = true;
        } else if (CompareNoCaseN(arg, "--timeout=", 10) == 0 && ReadSeconds(arg + 10, s) == 0) {
            // taken
        } else if (CompareNoCase(arg, "--tty") == 0) {
            s.Terminal = true;
        } else if (CompareNoCase(arg, "--plain") == 0) {
            s.Terminal = s.Plain = true;
        } else if (CompareNoCase(arg, "--status-top") == 0) {
            s.Terminal = s.StatusTop = true;
        } else if (CompareNoCase(arg, "--no-pictures") == 0) {
            s.NoPictures = true;
        } else if (CompareNoCaseN(arg, "--transcript=", 13) == 0 && arg[13] != '\0') {
            s.TranscriptPath = arg + 13;
        } else if (arg[2] != '\0') {
            // A mistyped long option must not be taken for something else and run on.
            std::fflush(stdout);
            std::fprintf(stderr, "Unknown option %s\n%s\n", arg, VersionText);
            return -2;
        }
        return 0;
    }
    if (arg[0] != '-') return 0;
    for (const char* p = arg + 1; *p != '\0'; ++p) {
        switch (*p) {
        case 'h': ShowHelp(); return -1;
        case 'v': ShowVersion(); return -1;
        case 'd': s.DebugMode = 1; break;
        case 'c': s.RunMode = RunCompile; break;
        case 't': s.RunMode = RunText; break;
        case 'b': s.RunMode = RunBinary; break;
        default: break;
        }
    }
    return 0;
}

int ReadCommandLine(Startup& s, int argc, char** argv) {
    bool named = false;
    if (const char* driver = std::getenv("UMB_DRIVER");
        driver != nullptr && std::strcmp(driver, "tty") == 0)
        s.Terminal = true;
    for (int i = 1; i < argc; ++i) {
        // The transcript's file may follow as the next argument; it is never the game's name.
        if (CompareNoCase(argv[i], "--transcript") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fflush(stdout);
                std::fprintf(stderr, "Option --transcript needs a file name\n%s\n", VersionText);
                return -2;
            }
            s.TranscriptPath = argv[++i];
            continue;
        }
        if (const int res = ParseOption(s, argv[i]); res != 0) return res;
        if (!named && argv[i][0] != '-') {
            s.GameName = argv[i];
            named = true;
        }
    }
    if (!named) {
        // The program's own file name, without its directory, names the game.
        const std::string self = argc > 0 && argv[0] != nullptr ? argv[0] : "";
        size_t cut = self.rfind('/');
        if (cut == std::string::npos) cut = self.rfind('\\');
        s.GameName = cut == std::string::npos ? self : self.substr(cut + 1);
    }
    // The extension is cut from the file's own name only: "./cave" and "my.games/cave" keep
    // their folders.
    const size_t slash = s.GameName.find_last_of("/\\");
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    const size_t point = s.GameName.find('.', base);
    if (point != std::string::npos) s.GameName.resize(point);
    return 0;
}

namespace {

// Compiles the source when it can be opened; sets loaded when it was. Returns the compile result.
int CompileFromSource(GameDatabase& db, const Startup& s, const std::string& sourcePath,
                      bool& loaded) {
    FILE* file = std::fopen(sourcePath.c_str(), "r");
    if (file == nullptr) return 1;
    Compiler c;
    BeginCompile(c, db);
    int result = CompileSourceFile(c, file, sourcePath.c_str());
    std::fclose(file);
    if (result == ReadNotFormat) return 1;  // unreadable: handled like a missing source
    loaded = true;
    if (result > 0 && s.RunMode != RunCompile) {
        // The user reads the warnings and presses a key before the game starts.
        std::fflush(stdout);
        (void)std::getchar();
        result = 0;
    }
    return result;
}

// Says which file was wanted; a compiled game file that exists but was refused is named as
// damaged rather than missing, so the player knows the file itself is at fault.
void ShowMissing(const Startup& s, const std::string& sourcePath, const std::string& gamePath,
                 int readResult) {
    std::string text;
    if (readResult == ReadNotFormat || readResult == ReadBadContent)
        text = "File " + gamePath + " is damaged or is not a game file!";
    else if (s.RunMode == RunAuto)
        text = "Cannot find file " + sourcePath + " nor file " + gamePath + "!";
    else if (s.RunMode == RunBinary)
        text = "File " + gamePath + " not found!";
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

}  // namespace

bool WantsTerminal(int argc, char** argv) {
    const char* driver = std::getenv("UMB_DRIVER");
    if (driver != nullptr && std::strcmp(driver, "tty") == 0) return true;
    for (int i = 1; i < argc; ++i)
        for (const char* name : {"--tty", "--plain", "--status-top"})
            if (CompareNoCase(argv[i], name) == 0) return true;
    return false;
}

int UmbMain(int argc, char** argv) {
    Startup s;
    s.Seeded = SeedFromEnvironment(s.Seed);
    if (const int res = ReadCommandLine(s, argc, argv); res != 0)
        return res == -2 ? ExitUsage : ExitSuccess;
    // A fixed seed makes a game that draws random numbers play the same way every time.
    std::srand(s.Seeded ? s.Seed : static_cast<unsigned>(std::time(nullptr)));
    const std::string sourcePath = s.GameName + ".adv";
    const std::string gamePath = s.GameName + ".umb";
    if (sourcePath.size() > MaxPathLength) {
        const std::string text = "Game name " + s.GameName + " is too long!";
        GfxMessageBox("Error", text.c_str());
        return ExitFailure;
    }
    // The author's tools need no window and show no message box.
    switch (s.Tool) {
    case ToolCheck: return RunCheck(s);
    case ToolMap: return RunMap(s);
    case ToolTest: return RunWalkthroughs(s);
    case ToolPictures: return RunPictureList(s);
    default: break;
    }

    GameDatabase db;
    if (AllocateTextHeap(db) != 0) {
        GfxMessageBox("Error", "Memory Allocation Error, Cannot Continue!");
        return -1;
    }
    ResetDatabase(db);

    int result = 1;
    bool loaded = false;
    int readResult = ReadCannotOpen;
    if (s.RunMode != RunBinary) result = CompileFromSource(db, s, sourcePath, loaded);
    if (!loaded && (s.RunMode == RunAuto || s.RunMode == RunBinary)) {
        readResult = ReadGameFile(db, gamePath.c_str());
        if (readResult == 0) {
            loaded = true;
            result = 0;
            s.DebugMode = 0;  // debug mode never applies to a compiled game
        }
    }
    if (!loaded) {
        ShowMissing(s, sourcePath, gamePath, readResult);
        return ExitFailure;
    }
    // Errors, or warnings when compiling: nothing is written or played.
    if (result != 0) return ExitFailure;
    if (s.RunMode == RunCompile) {
        if (WriteGameFile(db, gamePath.c_str()) != 0) {
            const std::string text = "Cannot write file " + gamePath + "!";
            GfxMessageBox("Error", text.c_str());
            return ExitFailure;
        }
        GfxMessageBox("U.M.B.", "Conversion complete");
        return ExitSuccess;
    }
    PlayView view;
    if (s.Terminal) view.Front = &ui::TerminalFrontEnd;
    view.Options.Terminal = s.Terminal;
    view.Options.Plain = s.Plain;
    view.Options.StatusTop = s.StatusTop;
    view.Options.NoPictures = s.NoPictures;
    view.TranscriptPath = s.TranscriptPath;
    const int played = PlayGames(db, s.GameName, s.DebugMode != 0, CoverageFromEnvironment(), view);
    if (played == PlayStopped) return ExitStopped;
    return played == 0 ? ExitSuccess : ExitFailure;
}

}  // namespace umb::app
