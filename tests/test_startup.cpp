// test_startup.cpp - switches, game names and what each run mode does with the files it finds.
#include "app/loadgame.h"
#include "app/startup.h"
#include "db/database.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace umb::app;

namespace fs = std::filesystem;

namespace {

Startup Parse(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    Startup s;
    EXPECT_EQ(ReadCommandLine(s, static_cast<int>(argv.size()), argv.data()), OptionResult::Go);
    return s;
}

TEST(CommandLine, GameNameComesFromArgumentOrProgramName) {
    EXPECT_EQ(Parse({"games\\castle.exe"}).GameName, "castle");
    EXPECT_EQ(Parse({"/opt/games/castle.exe"}).GameName, "castle");
    EXPECT_EQ(Parse({"umb", "one", "two"}).GameName, "one");
    EXPECT_EQ(Parse({"umb", "-", "-x", "--", "game"}).GameName, "game");
}

// Only the file's own name loses its extension; its folders are kept whole.
TEST(CommandLine, GameNameIsCutAtThePointOfItsLastComponent) {
    const std::pair<const char*, const char*> cases[] = {
        {"cave.adv", "cave"},
        {"cave", "cave"},
        {"./cave", "./cave"},
        {"../games/cave", "../games/cave"},
        {"my.games/cave", "my.games/cave"},
        {"my.games/cave.old.adv", "my.games/cave"},
        {"tales/cave.old.adv", "tales/cave"},
        {"/srv/a.b/c.d/cave.umb", "/srv/a.b/c.d/cave"},
    };
    for (const auto& [arg, name] : cases) EXPECT_EQ(Parse({"umb", arg}).GameName, name) << arg;
}

TEST(CommandLine, AuthorToolsAndTheirOptions) {
    const Startup s =
        Parse({"umb", "--check", "--TEST", "--bless", "--coverage", "--timeout=25", "cave"});
    EXPECT_EQ(s.Tool, ToolTest);
    EXPECT_TRUE(s.Bless && s.Coverage);
    EXPECT_EQ(s.TimeoutSeconds, 25);
    EXPECT_EQ(s.GameName, "cave");
    EXPECT_TRUE(Parse({"umb", "--map", "--png", "cave"}).Png);
    EXPECT_EQ(Parse({"umb", "--map", "cave"}).TimeoutSeconds, DefaultTestTimeoutSeconds);
}

// Every switch that takes a value takes it joined by '=' or as the next argument, which is then
// never the game's name.
TEST(CommandLine, ValuedSwitchesTakeTheirValueEitherWay) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"umb", "--test", "--timeout", "2", "--seed", "7", "--transcript", "t.txt", "cave"},
             {"umb", "--test", "--timeout=2", "--seed=7", "--transcript=t.txt", "cave"},
             {"umb", "--TEST", "--Timeout=2", "--SEED", "7", "--Transcript", "t.txt", "cave"}}) {
        const Startup s = Parse(args);
        EXPECT_EQ(s.TimeoutSeconds, 2);
        EXPECT_TRUE(s.Seeded);
        EXPECT_EQ(s.Seed, 7u);
        EXPECT_EQ(s.TranscriptPath, "t.txt");
        EXPECT_EQ(s.GameName, "cave");
    }
    EXPECT_EQ(Parse({"umb", "--seed", "4294967295", "cave"}).Seed, 4294967295u);
    EXPECT_FALSE(Parse({"umb", "cave"}).Seeded);
}

// A wrong command line ends the run with what was wrong and the usage line, before anything
// else happens: nothing is ignored while a game starts.
TEST(CommandLine, UsageErrorsSayWhatWasWrong) {
    const std::string usage = "\nUsage: umb [switches] [game name]   (umb -h lists them)\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus"}, "Unknown option --bogus"},
        {{"--debugx"}, "Unknown option --debugx"},
        {{"--compile=yes"}, "Unknown option --compile=yes"},
        {{"--test", "g", "--timeout=0"},
         "Option --timeout takes a number of seconds from 1 to 86400, not \"0\""},
        {{"--test", "g", "--timeout=5s"},
         "Option --timeout takes a number of seconds from 1 to 86400, not \"5s\""},
        {{"--test", "g", "--timeout", "86401"},
         "Option --timeout takes a number of seconds from 1 to 86400, not \"86401\""},
        {{"--test", "g", "--timeout=99999999999999999999"},
         "Option --timeout takes a number of seconds from 1 to 86400, not "
         "\"99999999999999999999\""},
        {{"g", "--seed=-1"}, "Option --seed takes a number from 0 to 4294967295, not \"-1\""},
        {{"g", "--seed", "4294967296"},
         "Option --seed takes a number from 0 to 4294967295, not \"4294967296\""},
        {{"--test", "g", "--timeout"}, "Option --timeout needs a value: --timeout N"},
        {{"g", "--transcript"}, "Option --transcript needs a value: --transcript FILE"},
        {{"g", "--transcript="}, "Option --transcript needs a file name"},
        {{"--bless", "g"}, "--bless needs --test"},
        {{"--coverage", "g"}, "--coverage needs --test"},
        {{"--timeout", "5", "g"}, "--timeout needs --test or --explore"},
        {{"--check", "--png", "g"}, "--png needs --map"},
        {{"--check"}, "No game named"},
        {{"--test", "--bless"}, "No game named"},
    };
    for (const auto& [args, said] : cases) {
        std::vector<std::string> all = {"umb"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        Startup s;
        testing::internal::CaptureStderr();
        EXPECT_EQ(ReadCommandLine(s, static_cast<int>(argv.size()), argv.data()),
                  OptionResult::Usage)
            << said;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), said + usage);
    }
}

TEST(CommandLine, LastModeWinsAndUnknownLettersAreIgnored) {
    EXPECT_EQ(Parse({"umb", "-ct"}).RunMode, RunText);
    EXPECT_EQ(Parse({"umb", "-c", "-b"}).RunMode, RunBinary);
    EXPECT_EQ(Parse({"umb", "--Compile"}).RunMode, RunCompile);
    EXPECT_EQ(Parse({"umb", "-H", "-C"}).RunMode, RunAuto);
    EXPECT_EQ(Parse({"umb", "-xd"}).DebugMode, 1);
    EXPECT_EQ(Parse({"umb", "--DEBUG"}).DebugMode, 1);
}

// Runs the program in its own folder and keeps what it printed.
class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("umb-startup-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Returns the exit status; out and err hold standard output and standard error.
    int Run(const std::string& args, const std::string& keys = "",
            const std::string& env = "UMB_DRIVER=headless") {
        Write("keys.txt", keys);
        const std::string cmd = "cd '" + dir.string() + "' && " + env + " '" + UMB_BINARY + "' " +
                                args + " <keys.txt >out.txt 2>err.txt";
        const int status = std::system(cmd.c_str());
        out = Read("out.txt");
        err = Read("err.txt");
        return WEXITSTATUS(status);
    }

    fs::path dir;
    std::string out;
    std::string err;
};

// How many times part occurs in text.
size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

const char* const CleanSource = "[Locations]\n#0,Dark,,0\n#1,Hall,,0\nA bare hall.\n";

TEST_F(Program, HelpAndVersion) {
    const std::string help = "U.M.B. 2.4.0\n"
                             "Graphic version\n"
                             "Options       -h, --help      : Display this page\n"
                             "              -v, --version   : Display version info\n"
                             "              -d, --debug     : Operate in debug mode\n"
                             "              -c, --compile   : Convert text to binary\n"
                             "              -t, --text      : Force text file\n"
                             "              -b, --binary    : Force binary file\n"
                             "See documentation for more info.\n";
    EXPECT_EQ(Run("-h"), 0);
    EXPECT_EQ(out.rfind(help, 0), 0u) << out;
    const std::string page = out;
    Run("--HELP game");
    EXPECT_EQ(out, page);
    Run("-hv");
    EXPECT_EQ(out, page);
    EXPECT_EQ(err, "");
    Run("-v");
    EXPECT_EQ(out, "U.M.B. 2.4.0\n");
    EXPECT_EQ(err, "");  // once, on standard output
}

// The help page keeps the lines a game always had and then lists every switch there is.
TEST_F(Program, HelpListsEverySwitch) {
    EXPECT_EQ(Run("-h"), 0);
    for (const char* name : {"-h, --help",
                             "-v, --version",
                             "-d, --debug",
                             "-c, --compile",
                             "-t, --text",
                             "-b, --binary",
                             "--tty",
                             "--plain",
                             "--status-top",
                             "--no-pictures",
                             "--transcript FILE",
                             "--seed N",
                             "--check",
                             "--map",
                             "--png",
                             "--test",
                             "--bless",
                             "--coverage",
                             "--timeout N",
                             "--explore",
                             "--steps N",
                             "--keys-from FILE",
                             "--pictures",
                             "--lsp"})
        EXPECT_NE(out.find(std::string("  ") + name + " "), std::string::npos) << name;
    EXPECT_EQ(out.rfind("See documentation for more info.\n\n"), out.find("See documentation"));
}

// The same seed gives the same game; the seed comes from the switch or the environment.
TEST_F(Program, ASeedRepeatsTheRandomNumbers) {
    Write("dice.adv", "[Vars]\nroll\n[Messages]\n#1,Heads.\n#2,Tails.\n[Locations]\n#0,Dark,,0\n"
                      "#1,Hall,,0\nA hall.\n[Events]\nif random 1 2\nmessage 1\n");
    std::string keys = "n";
    for (int i = 0; i < 40; ++i) keys += "z\n";
    ASSERT_EQ(Run("dice --seed 12345", keys), 0) << err;
    const std::string first = out;
    EXPECT_EQ(Run("dice --seed=12345", keys), 0);
    EXPECT_EQ(out, first);
    EXPECT_EQ(Run("dice", keys, "UMB_DRIVER=headless UMB_SEED=12345"), 0);
    EXPECT_EQ(out, first);
    EXPECT_GT(Occurrences(first, "Heads."), 5u);
    EXPECT_LT(Occurrences(first, "Heads."), 35u);
    Run("dice --seed 54321", keys);
    EXPECT_NE(out, first);
}

TEST_F(Program, MissingFilesAreNamedByMode) {
    EXPECT_EQ(Run("game"), 1);
    EXPECT_EQ(err, "Error: Cannot find file game.adv nor file game.umb!\n");
    EXPECT_EQ(Run("-c game"), 1);
    EXPECT_EQ(err, "Error: File game.adv not found!\n");
    EXPECT_EQ(Run("-t game"), 1);
    EXPECT_EQ(err, "Error: File game.adv not found!\n");
    Write("game.adv", CleanSource);
    EXPECT_EQ(Run("-b game"), 1);
    EXPECT_EQ(err, "Error: File game.umb not found!\n");
}

TEST_F(Program, UnknownLongOptionIsAUsageError) {
    EXPECT_EQ(Run("--bogus game"), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err,
              "Unknown option --bogus\nUsage: umb [switches] [game name]   (umb -h lists them)\n");
    EXPECT_EQ(Run("-xz --help"), 0);  // unknown letters in short switches stay ignored
}

// Games named with their folder, or through "./", are found and played there.
TEST_F(Program, GamesInFoldersArePlayedFromThere) {
    fs::create_directories(dir / "my.games");
    Write("my.games/cave.adv", CleanSource);
    for (const char* name : {"my.games/cave", "./my.games/cave.adv", "my.games/../my.games/cave"}) {
        EXPECT_EQ(Run(name, "n"), 0) << name;
        EXPECT_NE(out.find("A bare hall."), std::string::npos) << name << out;
    }
    Write("cave.adv", CleanSource);
    EXPECT_EQ(Run("-c ./cave"), 0);
    EXPECT_TRUE(fs::exists(dir / "cave.umb"));
}

// Without a display the window cannot open: the program says so and ends at once.
TEST_F(Program, NoDisplayEndsWithAMessageInsteadOfWaiting) {
    Write("game.adv", CleanSource);
    EXPECT_EQ(Run("game", "", "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 5"), 1);
    EXPECT_NE(err.find("Cannot open the window: "), std::string::npos) << err;
}

TEST_F(Program, CompileWritesOnlyCleanSources) {
    Write("game.adv", CleanSource);
    EXPECT_EQ(Run("-c game.adv"), 0);
    EXPECT_EQ(out, "game.adv: compiled into game.umb\n");  // the file read is named
    EXPECT_EQ(err, "U.M.B.: Conversion complete\n");
    ASSERT_TRUE(fs::exists(dir / "game.umb"));
    fs::remove(dir / "game.umb");

    Write("game.adv", std::string("stray\n") + CleanSource);
    EXPECT_EQ(Run("-c game"), 1);
    EXPECT_EQ(
        out, "Warning 1 at line 1 in file game.adv:\nstray\ngame.adv: warnings, nothing written\n");
    EXPECT_EQ(err, "");
    EXPECT_FALSE(fs::exists(dir / "game.umb"));

    Write("game.adv", std::string("[Object]\n") + CleanSource);
    EXPECT_EQ(Run("-c game"), 1);
    EXPECT_EQ(out,
              "Error 1 at line 1 in file game.adv:\n[Object]\ngame.adv: errors, nothing written\n");
    EXPECT_FALSE(fs::exists(dir / "game.umb"));
}

TEST_F(Program, PlayFallsBackToCompiledGameOnlyWithoutSource) {
    const std::string keys = "n%\n";  // no restore, then a debug command
    Write("game.adv", CleanSource);
    Run("-d game", keys);
    EXPECT_NE(out.find("Location 1, Objects 0 / 5"), std::string::npos) << out;
    Run("-c game");
    // With the source gone the compiled game file is played, never in debug mode.
    fs::rename(dir / "game.adv", dir / "kept.adv");
    EXPECT_EQ(Run("-d game", keys), 0);
    EXPECT_EQ(err, "");
    EXPECT_NE(out.find("A bare hall."), std::string::npos) << out;
    EXPECT_EQ(out.find("Location 1"), std::string::npos) << out;
    // A source with errors never falls back to the compiled game file.
    Write("game.adv", "[Bad]\n");
    EXPECT_EQ(Run("game", keys), 1);
    EXPECT_EQ(out, "Error 1 at line 1 in file game.adv:\n[Bad]\n");
    EXPECT_EQ(err, "");
    // Warnings only: the program waits for a key, then plays.
    Write("game.adv", std::string("stray\n") + CleanSource);
    EXPECT_EQ(Run("game", "x" + keys), 0);
    EXPECT_EQ(out.rfind("Warning 1 at line 1 in file game.adv:\nstray\n(y/n)? n\n", 0), 0u) << out;
    EXPECT_EQ(err, "");
}

// A compiled game file that is there but refused is named as damaged, never as missing.
TEST_F(Program, ForeignOrBrokenCompiledGameIsNamedDamaged) {
    const std::string damaged = "Error: File game.umb is damaged or is not a game file!\n";
    Write("game.umb", "NOTAGAME");
    EXPECT_EQ(Run("game"), 1);
    EXPECT_EQ(err, damaged);
    Write("game.umb", "UMBv23\x01");
    EXPECT_EQ(Run("-b game"), 1);
    EXPECT_EQ(err, damaged);

    Write("game.adv", CleanSource);
    ASSERT_EQ(Run("-c game"), 0);
    fs::remove(dir / "game.adv");
    const std::string good = Read("game.umb");
    std::string flipped = good;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x5A);
    for (const std::string& bad : {good.substr(0, good.size() / 2), flipped, std::string()}) {
        Write("game.umb", bad);
        EXPECT_EQ(Run("game", "n"), 1);
        EXPECT_EQ(err, damaged);
        EXPECT_EQ(out, "");
    }
    Write("game.umb", good);
    EXPECT_EQ(Run("game", "n"), 0);
    EXPECT_EQ(err, "");
}

// The browser player loads a compiled game through the same step as the program told to play
// the compiled game: the player reads the same words for a missing, a damaged and a good file.
TEST_F(Program, BrowserSaysWhatTheProgramSaysOfAGameFile) {
    Write("game.adv", CleanSource);
    ASSERT_EQ(Run("-c game"), 0);
    fs::remove(dir / "game.adv");
    const std::string good = Read("game.umb");
    const struct {
        const char* what;
        const char* content;  // nullptr: no file
    } cases[] = {
        {"missing", nullptr}, {"foreign", "NOTAGAME"}, {"cut short", "UMBv23\x01"}, {"good", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(dir / "game.umb");
        if (c.content != nullptr) Write("game.umb", *c.content != '\0' ? c.content : good);
        Run("-b game", "n");
        const fs::path before = fs::current_path();
        fs::current_path(dir);
        umb::db::GameDatabase db;
        const std::string browser = LoadCompiledGame(db, "game");
        fs::current_path(before);
        EXPECT_EQ(err, browser.empty() ? "" : "Error: " + browser + "\n");
        EXPECT_EQ(browser.empty(), c.content != nullptr && *c.content == '\0');
    }
    umb::db::GameDatabase db;
    EXPECT_EQ(LoadCompiledGame(db, ""), "No game was named!");
}

TEST_F(Program, FailedWriteKeepsEarlierFileAndSaysSo) {
    Write("game.adv", CleanSource);
    // A folder where the compiled game file should go cannot be replaced by it.
    fs::create_directory(dir / "game.umb");
    Write("game.umb/keep", "earlier");
    EXPECT_EQ(Run("-c game"), 1);
    EXPECT_EQ(err, "Error: Cannot write file game.umb!\n");
    EXPECT_EQ(Read("game.umb/keep"), "earlier");
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "game.adv" || name == "game.umb" || name == "out.txt" ||
                    name == "err.txt" || name == "keys.txt")
            << "left behind: " << name;
    }
}

TEST_F(Program, OverlongGameNameIsRefused) {
    const std::string name(300, 'a');
    EXPECT_EQ(Run("-c " + name), 1);
    EXPECT_EQ(err, "Error: Game name " + name + " is too long!\n");
}

// A name the file system takes is compiled, up to the longest: its temporary file fits too.
TEST_F(Program, LongestLegalGameNamesCompile) {
    for (const size_t length : {size_t{248}, size_t{251}}) {
        const std::string name(length, 'l');
        Write(name + ".adv", CleanSource);
        EXPECT_EQ(Run("-c " + name), 0) << length << ": " << err;
        EXPECT_TRUE(fs::exists(dir / (name + ".umb"))) << length;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5)
            << "a temporary file was left";  // keys, out, err, source, game
        fs::remove(dir / (name + ".adv"));
        fs::remove(dir / (name + ".umb"));
    }
}

}  // namespace

TEST(CommandLine, FrontEndChoicesAndTheTranscriptsFile) {
    Startup s = Parse({"umb", "--transcript", "cave", "game", "--plain", "--no-pictures"});
    EXPECT_EQ(s.TranscriptPath, "cave");  // the file after --transcript is never the game
    EXPECT_EQ(s.GameName, "game");
    EXPECT_TRUE(s.Terminal && s.Plain && s.NoPictures && !s.StatusTop);
    s = Parse({"umb", "--transcript=log.txt", "--status-top", "game"});
    EXPECT_EQ(s.TranscriptPath, "log.txt");
    EXPECT_TRUE(s.Terminal && s.StatusTop && !s.Plain);
    EXPECT_FALSE(Parse({"umb", "game"}).Terminal);

    std::string a0 = "umb", a1 = "--transcript";
    char* argv[] = {a0.data(), a1.data()};
    testing::internal::CaptureStderr();
    EXPECT_EQ(ReadCommandLine(s, 2, argv), OptionResult::Usage);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Option --transcript needs a value: --transcript FILE\n"
              "Usage: umb [switches] [game name]   (umb -h lists them)\n");
}

// The transcript holds what the headless driver's transcript holds, in the same order and form,
// and is added to rather than overwritten.
TEST_F(Program, TranscriptHoldsEveryMessageLineInReadingOrder) {
    const fs::path demo = fs::path(UMB_EXAMPLES) / "beacon";
    fs::copy(demo, dir, fs::copy_options::recursive);
    std::ifstream keysFile(dir / "beacon-win.keys");
    const std::string keys{std::istreambuf_iterator<char>(keysFile), {}};
    Write("t.txt", "an earlier session\n");
    EXPECT_EQ(Run("beacon --transcript t.txt", keys), 0);
    const std::string log = Read("t.txt");
    ASSERT_EQ(log.rfind("an earlier session\n", 0), 0u);
    std::istringstream headless(out);
    size_t at = 0;
    bool inDump = false;
    int lines = 0;
    for (std::string line; std::getline(headless, line);) {
        if (line == "== screen ==") inDump = true;
        if (!inDump) {
            const size_t found = log.find(line + "\n", at);
            ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line;
            at = found + line.size() + 1;
            ++lines;
        }
        if (line == "== end ==") inDump = false;
    }
    EXPECT_GT(lines, 100);
    EXPECT_NE(log.find("\nThe jetty\n"), std::string::npos);
    EXPECT_NE(log.find("\nScore: 0/50  Turns: 0  Ship: 70 mi\n"), std::string::npos);

    EXPECT_EQ(Run("beacon --transcript no/such/folder/t.txt", keys), 1);
    EXPECT_EQ(err, "Error: Cannot write file no/such/folder/t.txt!\n");
}

// Look describes the location whole again, as the window redraws it: text front ends and the
// transcript show it once more rather than nothing.
TEST_F(Program, LookShowsTheLocationWholeAgainInTheTranscript) {
    Write("game.adv", std::string(CleanSource) + "[Verbs]\n#12,look\n");
    EXPECT_EQ(Run("game --transcript t.txt", "n\nlook\nlook\n"), 0);
    const std::string log = Read("t.txt");
    EXPECT_EQ(Occurrences(log, "Hall\nA bare hall.\n"), 3u) << log;
}

// Every turn is in the transcript before the next command is read: a killed run loses nothing.
TEST_F(Program, TranscriptOfAKilledRunHoldsEveryTurnBeforeTheKill) {
    Write("game.adv", std::string(CleanSource) +
                          "[Verbs]\n#30,shout\n[Messages]\n#1,Echoes answer: turn %count%.\n"
                          "[Vars]\ncount\n[Actions]\nif verb shout\nthen add count 1 message 1\n");
    int keys[2];
    ASSERT_EQ(::pipe(keys), 0);
    const std::string transcript = (dir / "t.txt").string();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(keys[0], 0);
        ::close(keys[1]);
        ::chdir(dir.c_str());
        ::setenv("UMB_DRIVER", "headless", 1);
        ::freopen("/dev/null", "w", stdout);
        ::execl(UMB_BINARY, UMB_BINARY, "game", "--transcript", transcript.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(keys[0]);
    auto send = [&](const std::string& k) {
        ASSERT_EQ(::write(keys[1], k.data(), k.size()), static_cast<ssize_t>(k.size()));
    };
    // Waits until the transcript holds text: the program has read up to there.
    auto waitFor = [&](const std::string& text) {
        for (int i = 0; i < 500 && Read("t.txt").find(text) == std::string::npos; ++i)
            ::usleep(10000);
        return Read("t.txt").find(text) != std::string::npos;
    };
    send("n");
    for (int turn = 1; turn <= 5; ++turn) send("shout\n");
    // The game now waits for the sixth command: all five turns must be in the file already.
    ASSERT_TRUE(waitFor("Echoes answer: turn 5."));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(keys[1]);
    const std::string log = Read("t.txt");
    for (int turn = 1; turn <= 5; ++turn)
        EXPECT_NE(log.find("Echoes answer: turn " + std::to_string(turn) + "."), std::string::npos)
            << log;
    EXPECT_TRUE(WIFSIGNALED(status));
}

// Two places alike in every word are still two places: arriving at the other one shows it whole.
TEST_F(Program, AMazeOfAlikeLocationsIsShownAtEveryMove) {
    Write("maze.adv", "[Directions]\n#3,east\n#4,west\n[Verbs]\n#3,e\n#4,w\n"
                      "[Locations]\n#0,Dark,,0\n#1,Maze,,0,0,0,2\nTwisty passages.\n"
                      "#2,Maze,,0,0,0,0,1\nTwisty passages.\n");
    EXPECT_EQ(Run("maze --transcript t.txt", "ne\nw\nw\n"), 0);
    const std::string log = Read("t.txt");
    // The start, east, west; walking into the wall shows nothing.
    EXPECT_EQ(Occurrences(log, "Maze\nTwisty"), 3u) << log;
}
