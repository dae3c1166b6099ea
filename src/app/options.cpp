// options.cpp - the command line: switches, their values, the help page and the game name.
#include "app/startup.h"

#include "base/nocase.h"
#include "ui/gfx/gfx.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace umb::base;

namespace umb::app {

namespace {

enum class Switch {
    Help,
    Version,
    Debug,
    Compile,
    Text,
    Binary,
    Check,
    Map,
    Test,
    Pictures,
    Png,
    Bless,
    Coverage,
    Timeout,
    Seed,
    Tty,
    Plain,
    StatusTop,
    NoPictures,
    Transcript,
    Autosave,
    NoAutosave,
    Lsp,
    Explore,
    Steps,
    KeysFrom
};

// One switch: its long name, its letter (0 for none), what its value is called (nullptr when
// it takes none) and its line on the help page.
struct SwitchInfo {
    Switch id;
    const char* name;
    char letter;
    const char* value;
    const char* help;
};

// In the order the help page lists them; the first six are the switches a game always had.
constexpr SwitchInfo Switches[] = {
    {Switch::Help, "--help", 'h', nullptr, "print this page"},
    {Switch::Version, "--version", 'v', nullptr, "print the version"},
    {Switch::Debug, "--debug", 'd', nullptr, "debug mode (games played from their source)"},
    {Switch::Compile, "--compile", 'c', nullptr, "compile GAME.adv into GAME.umb"},
    {Switch::Text, "--text", 't', nullptr, "play from the source GAME.adv only"},
    {Switch::Binary, "--binary", 'b', nullptr, "play from the compiled GAME.umb only"},
    {Switch::Tty, "--tty", 0, nullptr, "play in the terminal (also UMB_DRIVER=tty)"},
    {Switch::Plain, "--plain", 0, nullptr, "play in the terminal as plain lines"},
    {Switch::StatusTop, "--status-top", 0, nullptr, "in the terminal, the status line on top"},
    {Switch::NoPictures, "--no-pictures", 0, nullptr, "show no pictures"},
    {Switch::Transcript, "--transcript", 0, "FILE", "add what is shown and typed to FILE"},
    {Switch::NoAutosave, "--no-autosave", 0, nullptr, "keep no autosave to resume the game from"},
    {Switch::Autosave, "--autosave", 0, nullptr, "keep the autosave also when played headless"},
    {Switch::Seed, "--seed", 0, "N", "fixed random numbers, N 0 to 4294967295 (UMB_SEED=N)"},
    {Switch::Check, "--check", 0, nullptr, "report what would break the game; play nothing"},
    {Switch::Map, "--map", 0, nullptr, "draw the map of the locations as GAME-map.svg"},
    {Switch::Png, "--png", 0, nullptr, "with --map: also GAME-map.png"},
    {Switch::Test, "--test", 0, nullptr, "replay GAME.keys and GAME-*.keys, compare transcripts"},
    {Switch::Bless, "--bless", 0, nullptr, "with --test: write the transcripts anew"},
    {Switch::Coverage, "--coverage", 0, nullptr, "with --test: count the script lines run"},
    {Switch::Timeout, "--timeout", 0, "N",
     "with --test: seconds per walkthrough; with --explore: per turn (1 to 86400)"},
    {Switch::Explore, "--explore", 0, nullptr,
     "a random player looks for what the game never shows"},
    {Switch::Steps, "--steps", 0, "N", "with --explore: commands to type, 1 to 100000000"},
    {Switch::KeysFrom, "--keys-from", 0, "FILE", "print the key script that replays a transcript"},
    {Switch::Pictures, "--pictures", 0, nullptr, "list the picture files the game shows"},
    {Switch::Lsp, "--lsp", 0, nullptr, "language server for editors on standard input/output"},
};

constexpr const char* UsageLine = "Usage: umb [switches] [game name]   (umb -h lists them)";

// Says what was wrong with the command line on standard error, then the usage line. Returns
// Usage, the result of a usage error.
OptionResult UsageError(const std::string& what) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n%s\n", what.c_str(), UsageLine);
    return OptionResult::Usage;
}

// Reads a whole decimal number from low to high; returns whether text was one.
bool ReadWholeNumber(const char* text, unsigned long long low, unsigned long long high,
                     unsigned long long& value) {
    value = 0;
    const char* p = text;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > high) return false;
    }
    return p != text && *p == '\0' && value >= low;
}

// Applies a switch's value; returns Go, or Usage (said) when the value is not one it takes.
OptionResult ApplyValue(Startup& s, const SwitchInfo& sw, const char* value) {
    unsigned long long n = 0;
    switch (sw.id) {
    case Switch::Transcript:
        if (value[0] == '\0') return UsageError("Option --transcript needs a file name");
        s.TranscriptPath = value;
        return OptionResult::Go;
    case Switch::Timeout:
        if (!ReadWholeNumber(value, 1, 86400, n))
            return UsageError("Option --timeout takes a number of seconds from 1 to 86400, not \"" +
                              std::string(value) + "\"");
        s.TimeoutSeconds = static_cast<int>(n);
        s.TimeoutGiven = true;
        return OptionResult::Go;
    case Switch::Steps:
        if (!ReadWholeNumber(value, 1, 100000000, n))
            return UsageError("Option --steps takes a number from 1 to 100000000, not \"" +
                              std::string(value) + "\"");
        s.ExploreSteps = static_cast<long>(n);
        s.StepsGiven = true;
        return OptionResult::Go;
    case Switch::KeysFrom:
        if (value[0] == '\0') return UsageError("Option --keys-from needs a file name");
        s.KeysFromPath = value;
        s.Tool = ToolKeysFrom;
        return OptionResult::Go;
    case Switch::Seed:
        if (!ReadWholeNumber(value, 0, 0xFFFFFFFFull, n))
            return UsageError("Option --seed takes a number from 0 to 4294967295, not \"" +
                              std::string(value) + "\"");
        s.Seed = static_cast<unsigned>(n);
        s.Seeded = true;
        return OptionResult::Go;
    default: return OptionResult::Go;
    }
}

// Applies a switch without a value; returns Go, or Shown when help or version was shown.
OptionResult ApplyFlag(Startup& s, Switch id) {
    switch (id) {
    case Switch::Help: ShowHelp(); return OptionResult::Shown;
    case Switch::Version: ShowVersion(); return OptionResult::Shown;
    case Switch::Debug: s.DebugMode = 1; break;
    case Switch::Compile: s.RunMode = RunCompile; break;
    case Switch::Text: s.RunMode = RunText; break;
    case Switch::Binary: s.RunMode = RunBinary; break;
    case Switch::Check: s.Tool = ToolCheck; break;
    case Switch::Map: s.Tool = ToolMap; break;
    case Switch::Test: s.Tool = ToolTest; break;
    case Switch::Pictures: s.Tool = ToolPictures; break;
    case Switch::Lsp: s.Tool = ToolLsp; break;
    case Switch::Explore: s.Tool = ToolExplore; break;
    case Switch::Png: s.Png = true; break;
    case Switch::Bless: s.Bless = true; break;
    case Switch::Coverage: s.Coverage = true; break;
    case Switch::Tty: s.Terminal = true; break;
    case Switch::Plain: s.Terminal = s.Plain = true; break;
    case Switch::StatusTop: s.Terminal = s.StatusTop = true; break;
    case Switch::NoPictures: s.NoPictures = true; break;
    case Switch::Autosave: s.Autosave = AutosaveSwitch::On; break;
    case Switch::NoAutosave: s.Autosave = AutosaveSwitch::Off; break;
    default: break;
    }
    return OptionResult::Go;
}

// The switch a long argument names, in any case, with its value after '=' when written so.
const SwitchInfo* FindLong(const char* arg, const char** value) {
    *value = nullptr;
    const char* equals = std::strchr(arg, '=');
    const size_t length = equals != nullptr ? static_cast<size_t>(equals - arg) : std::strlen(arg);
    for (const SwitchInfo& sw : Switches) {
        if (std::strlen(sw.name) != length || CompareNoCaseN(arg, sw.name, length) != 0) continue;
        if (equals != nullptr) *value = equals + 1;
        return &sw;
    }
    return nullptr;
}

// Letters after one dash: known ones apply, others are skipped.
OptionResult ApplyLetters(Startup& s, const char* letters) {
    for (const char* p = letters; *p != '\0'; ++p)
        for (const SwitchInfo& sw : Switches)
            if (sw.letter == *p) {
                if (const OptionResult res = ApplyFlag(s, sw.id); res != OptionResult::Go)
                    return res;
                break;
            }
    return OptionResult::Go;
}

// Applies argv[i], taking its value from argv[i + 1] when a switch needs one that was not
// written after '='; i then moves past it. Returns Go, Shown (help or version) or Usage.
OptionResult ApplyArgument(Startup& s, int argc, char** argv, int& i) {
    const char* arg = argv[i];
    if (arg[0] != '-') return OptionResult::Go;
    if (arg[1] != '-') return ApplyLetters(s, arg + 1);
    if (arg[2] == '\0') return OptionResult::Go;  // "--" alone
    const char* value = nullptr;
    const SwitchInfo* sw = FindLong(arg, &value);
    if (sw == nullptr || (sw->value == nullptr && value != nullptr)) {
        std::fflush(stdout);
        std::fprintf(stderr, "Unknown option %s\n%s\n", arg, UsageLine);
        return OptionResult::Usage;
    }
    if (sw->value == nullptr) return ApplyFlag(s, sw->id);
    if (value == nullptr) {
        if (i + 1 >= argc)
            return UsageError(std::string("Option ") + sw->name + " needs a value: " + sw->name +
                              " " + sw->value);
        value = argv[++i];
    }
    return ApplyValue(s, *sw, value);
}

// A switch that only means something beside another one is refused without it, rather than
// ignored while a game starts.
OptionResult CheckCompanions(const Startup& s) {
    if (s.Bless && s.Tool != ToolTest) return UsageError("--bless needs --test");
    if (s.Coverage && s.Tool != ToolTest) return UsageError("--coverage needs --test");
    if (s.TimeoutGiven && s.Tool != ToolTest && s.Tool != ToolExplore)
        return UsageError("--timeout needs --test or --explore");
    if (s.StepsGiven && s.Tool != ToolExplore) return UsageError("--steps needs --explore");
    if (s.Png && s.Tool != ToolMap) return UsageError("--png needs --map");
    return OptionResult::Go;
}

// The game's name without the extension of its file's own name: "./cave" and "my.games/cave"
// keep their folders.
void CutExtension(std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    const size_t point = name.find('.', base);
    if (point != std::string::npos) name.resize(point);
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
    std::printf("\n%s\nEvery switch:\n", UsageLine);
    for (const SwitchInfo& sw : Switches) {
        std::string left = sw.letter != 0 ? std::string("-") + sw.letter + ", " : "    ";
        left += sw.name;
        if (sw.value != nullptr) left += std::string(" ") + sw.value;
        std::printf("  %-22s %s\n", left.c_str(), sw.help);
    }
    std::printf("A switch's value may follow it or be joined to it: --seed 7 or --seed=7.\n");
}

void ShowVersion() {
    std::printf("%s\n", VersionText);
    // Started from a file manager, the version is seen in a box; from a terminal, once.
    gfx::GfxShowBox("U.M.B.", VersionText);
}

OptionResult ParseOption(Startup& s, const char* arg) {
    char* argv[] = {const_cast<char*>(arg)};
    int i = 0;
    return ApplyArgument(s, 1, argv, i);
}

OptionResult ReadCommandLine(Startup& s, int argc, char** argv) {
    if (const char* driver = std::getenv("UMB_DRIVER");
        driver != nullptr && std::strcmp(driver, "tty") == 0)
        s.Terminal = true;
    bool named = false;
    for (int i = 1; i < argc; ++i) {
        const bool option = argv[i][0] == '-';
        if (const OptionResult res = ApplyArgument(s, argc, argv, i); res != OptionResult::Go)
            return res;
        if (!named && !option) {
            s.GameName = argv[i];
            named = true;
        }
    }
    if (const OptionResult res = CheckCompanions(s); res != OptionResult::Go) return res;
    // The language server learns its games from the editor.
    if (!named && s.Tool != ToolNone && s.Tool != ToolLsp && s.Tool != ToolKeysFrom)
        return UsageError("No game named");
    if (!named) {
        // The program's own file name, without its directory, names the game.
        const std::string self = argc > 0 && argv[0] != nullptr ? argv[0] : "";
        size_t cut = self.rfind('/');
        if (cut == std::string::npos) cut = self.rfind('\\');
        s.GameName = cut == std::string::npos ? self : self.substr(cut + 1);
    }
    CutExtension(s.GameName);
    return OptionResult::Go;
}

}  // namespace umb::app
