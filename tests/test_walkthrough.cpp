// test_walkthrough.cpp - umb --test: walkthroughs pass, fail with a diff, are blessed, are stopped
// at their time limit, and count the script lines they reach and run.
#include "app/walkthrough.h"
#include "app/workbench.h"
#include "ui/gfx/gfx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pthread.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const Source = "| A game for the walkthrough tests.\n"
                           "[System]\nStartLocation=1\n"
                           "[Sysmsg]\n#1,What?\n#23,Restore?\n#26,Again?\n"
                           "[Locations]\n#0,Dark,,0\n#1,Hall,,0\nA bare hall.\n"
                           "[Messages]\n#1,Hello.\n#2,Round.\n"
                           "[Verbs]\n#1,wave\n#2,spin\n#3,sing\n#4,hum\n"
                           "[Vars]\nn\n"
                           "[Events]\n"         // 22
                           "if begin\n"         // 23
                           "then message 1\n"   // 24
                           "\n"                 //
                           "[Actions]\n"        // 26
                           "if verb wave\n"     // 27
                           "then message 2\n"   // 28
                           "while verb spin\n"  // 29: a loop that never ends
                           "then add n 1\n"     // 30
                           "if verb sing\n"     // 31
                           "then message 2\n"   // 32
                           "if verb wave\n"     // 33: only hum gets here
                           "{\n"                // 34
                           "then message 1\n"   // 35: in a skipped block
                           "}\n"                // 36
                           "if verb hum\n"      // 37
                           "then message 2\n";  // 38

const char* const WaveTranscript = "Hello.\nRestore?n\n>\n>wave\nRound.\n";

class Walkthroughs : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("umb-walk-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "game");
        Write("game.adv", Source);
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir / "game" / name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Runs umb with args on the game in its folder, from the folder above it; returns the exit
    // status, out holding standard output;
    // game is the game's name as given (quoted for the shell where it must be), env variables
    // set for the run.
    int Run(const std::string& args, const std::string& game = "game/game",
            const std::string& env = "") {
        const std::string cmd = "cd '" + dir.string() + "' && " + env + " '" + UMB_BINARY + "' " +
                                args + " " + game + " >out.txt 2>err.txt";
        const int status = std::system(cmd.c_str());
        out = Read("out.txt");
        err = Read("err.txt");
        return WEXITSTATUS(status);
    }
    bool Says(const std::string& text) const { return out.find(text) != std::string::npos; }

    fs::path dir;
    std::string out;
    std::string err;
};

// A walkthrough whose transcript is out of date fails with the place where it parts; the other
// passes; blessing writes the transcript from the game, after which both pass; and nothing is
// left beside the game but the transcripts.
TEST_F(Walkthroughs, FailuresAreShownAndBlessingMakesThemPass) {
    Write("game-a.keys", "n\nwave\n");
    Write("game-b.keys", "n\nwave\nsing\n");
    ASSERT_EQ(Run("--test --bless"), 0) << out << err;
    ASSERT_TRUE(Says("2 passed, 0 failed\n")) << out;
    EXPECT_EQ(Read("game/game-a.txt").substr(0, std::string(WaveTranscript).size()),
              WaveTranscript);

    const std::string a = Read("game/game-b.txt");
    const size_t round = a.find("Round.\n>sing");
    ASSERT_NE(round, std::string::npos) << a;
    Write("game-b.txt", a.substr(0, round) + "Square.\n" + a.substr(round + 7));
    EXPECT_EQ(Run("--test"), 1);
    EXPECT_TRUE(Says("ok      game-a  ")) << out;
    EXPECT_TRUE(Says("FAILED  game-b  ")) << out;
    EXPECT_TRUE(Says("    the transcripts part at command 2\n"
                     "    --- game-b.txt\n"
                     "    +++ game-b (source)\n"
                     "    @@ -2,7 +2,7 @@\n"
                     "     Restore?n\n"
                     "     >\n"
                     "     >wave\n"
                     "    -Square.\n"
                     "    +Round.\n"
                     "     >sing\n"
                     "     Round.\n"
                     "     == screen ==\n"))
        << out;
    EXPECT_TRUE(Says("1 passed, 1 failed\n")) << out;
    EXPECT_EQ(err, "");

    EXPECT_EQ(Run("--test --bless"), 0);
    EXPECT_EQ(Run("--test"), 0) << out;
    EXPECT_TRUE(Says("2 passed, 0 failed\n")) << out;
    int files = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(dir / "game")) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 5);  // the source, two key scripts, two transcripts
}

// A walkthrough without its transcript fails and names the file; a source with warnings is
// named as one that cannot pass; one that cannot be compiled fails before anything is played.
TEST_F(Walkthroughs, MissingTranscriptsAndBrokenSourcesFail) {
    Write("game-a.keys", "n\nwave\n");
    EXPECT_EQ(Run("--test"), 1);
    EXPECT_TRUE(Says("cannot read game-a.txt (--bless writes it)")) << out;
    EXPECT_TRUE(Says("0 passed, 1 failed\n")) << out;

    Write("game.adv", std::string(Source) + "[System]\nColour=1\n");
    EXPECT_EQ(Run("--test"), 1);
    EXPECT_NE(err.find("game.adv: the source has warnings"), std::string::npos) << err;

    Write("game.adv", std::string(Source) + "[Nowhere]\n");
    EXPECT_EQ(Run("--test"), 1);
    EXPECT_NE(err.find("game.adv: the source cannot be compiled"), std::string::npos) << err;

    fs::remove(dir / "game" / "game-a.keys");
    EXPECT_EQ(Run("--test"), 1);
    EXPECT_NE(err.find("no walkthroughs"), std::string::npos) << err;
}

// An endless loop is stopped at the limit and reported with the command that started it; the
// walkthroughs after it still run.
TEST_F(Walkthroughs, AnEndlessLoopFailsAtItsLimit) {
    Write("game-a.keys", "n\nspin\n");
    Write("game-b.keys", "n\nwave\n");
    Write("game-b.txt", "");
    EXPECT_EQ(Run("--test --bless --timeout=1"), 1);
    EXPECT_TRUE(Says("FAILED  game-a  ")) << out;
    EXPECT_TRUE(Says("    source: over the time limit of 1 s after command 2: spin\n")) << out;
    EXPECT_TRUE(Says("ok      game-b  ")) << out;
    EXPECT_TRUE(Says("1 passed, 1 failed\n")) << out;
    EXPECT_FALSE(fs::exists(dir / "game" / "game-a.txt"));
}

// Counts summed over the walkthroughs from the source runs: a condition line by the walks that
// reached it outside a skipped block, an action line by the times it ran.
TEST_F(Walkthroughs, CoverageCountsEveryScriptLine) {
    Write("game-a.keys", "n\nwave\nwave\n");
    Write("game-b.keys", "n\nsing\nhum\n");
    ASSERT_EQ(Run("--test --bless --coverage"), 0) << out << err;
    EXPECT_TRUE(Says("Events: 2 of 2 lines run (100 %)\n"
                     "Actions: 9 of 12 lines run (75 %)\n"
                     "game/game.adv:30: note: never run: then add n 1\n"
                     "game/game.adv:35: note: never run: then message 1\n"
                     "game/game.adv:36: note: never run: }\n"))
        << out;
    const std::string listing = Read("game/game.coverage");
    EXPECT_NE(listing.find("        -:    0:Source:game.adv\n"
                           "        -:    1:| A game for the walkthrough tests.\n"),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find("        -:   22:[Events]\n"
                           "        6:   23:if begin\n"
                           "        2:   24:then message 1\n"
                           "        -:   25:\n"
                           "        -:   26:[Actions]\n"
                           "        4:   27:if verb wave\n"
                           "        2:   28:then message 2\n"
                           "        2:   29:while verb spin\n"
                           "    #####:   30:then add n 1\n"
                           "        2:   31:if verb sing\n"
                           "        1:   32:then message 2\n"
                           "        1:   33:if verb wave\n"
                           "        1:   34:{\n"
                           "    #####:   35:then message 1\n"
                           "    #####:   36:}\n"
                           "        1:   37:if verb hum\n"
                           "        1:   38:then message 2\n"),
              std::string::npos)
        << listing;
}

// Forks of this process, counted by a pthread_atfork handler registered once.
int forks = 0;
void CountFork() { ++forks; }
int ForksSoFar() {
    static const bool registered = ::pthread_atfork(CountFork, nullptr, nullptr) == 0;
    EXPECT_TRUE(registered);
    return forks;
}

// The walkthroughs play in the calling process, one after another on fresh state: no child is
// started; a loop past the time limit is stopped and the next walkthrough still runs; a key
// script that ends inside a script's pause ends that game and shows nothing after its last
// screen dump; and a second run in the same process gives the same transcripts again.
TEST_F(Walkthroughs, PlayInThisProcessWithoutAChild) {
    std::string source = Source;
    source.replace(source.find("#4,hum\n"), 7, "#4,hum\n#5,doze\n");
    Write("game.adv", source + "if verb doze\nthen pause 0\nthen message 2\n");
    Write("game-a.keys", "n\nspin\n");
    Write("game-b.keys", "n\nwave\n");
    Write("game-c.keys", "n\ndoze\n");
    umb::app::Startup s;
    s.GameName = (dir / "game" / "game").string();
    s.Tool = umb::app::ToolTest;
    s.Bless = true;
    s.TimeoutSeconds = 1;
    const int before = ForksSoFar();
    EXPECT_EQ(umb::app::RunWalkthroughs(s), umb::app::ExitFailure);
    EXPECT_FALSE(fs::exists(dir / "game" / "game-a.txt"));
    EXPECT_EQ(Read("game/game-b.txt").substr(0, std::string(WaveTranscript).size()),
              WaveTranscript);
    const std::string c = Read("game/game-c.txt");
    EXPECT_NE(c.find("-- messages --\nHello.\nRestore?n\n>\n>doze\n"), std::string::npos) << c;
    EXPECT_EQ(c.find("Round."), std::string::npos) << c;
    EXPECT_EQ(c.find("== screen =="), c.rfind("== screen ==")) << c;  // the last look only
    EXPECT_EQ(c.find("== end ==\n"), c.size() - 10) << c;  // and nothing after it

    fs::remove(dir / "game" / "game-a.keys");
    s.Bless = false;
    s.Coverage = true;
    EXPECT_EQ(umb::app::RunWalkthroughs(s), umb::app::ExitSuccess);
    EXPECT_EQ(ForksSoFar(), before);
    EXPECT_TRUE(fs::exists(dir / "game" / "game.coverage"));
}

// A game printing for ever in a play of this process is stopped when its transcript passes the
// limit, rather than filling the memory the transcript is kept in; nothing more is kept after.
TEST(HeadlessPlay, ATranscriptPastItsLimitStopsThePlay) {
    char* text = nullptr;
    size_t size = 0;
    FILE* out = ::open_memstream(&text, &size);
    FILE* keys = std::tmpfile();
    ASSERT_TRUE(out != nullptr && keys != nullptr);
    umb::gfx::GfxBeginHeadlessPlay(keys, out, 1000);
    int lines = 0;
    for (; lines < 1000 && !umb::gfx::GfxStopRequested(); ++lines)
        umb::gfx::GfxTranscript("Round and round.");
    const umb::gfx::HeadlessPlayEnd end = umb::gfx::GfxEndHeadlessPlay();
    std::fclose(out);
    EXPECT_TRUE(end.cut && end.stopped);
    EXPECT_EQ(lines, 1000 / 17 + 1);  // the line that passed the limit is not kept
    EXPECT_EQ(size, size_t{1000 / 17 * 17});
    std::free(text);
    std::fclose(keys);
}

// The first line names the source read: the game name is cut at its first point, so
// "the mill.v2" reads "the mill.adv". Without walkthroughs or source the error names it.
TEST_F(Walkthroughs, TheSourceReadIsNamedFirst) {
    Write("game-a.keys", "n\nwave\n");
    Write("the mill.adv", Source);
    Write("the mill.keys", "n\nwave\n");
    Write("the mill-b.keys", "n\nsing\n");
    const struct {
        const char* name;
        const char* first;
    } cases[] = {
        {"game/game", "game/game.adv: 1 walkthrough\n"},
        {"game/game.v2", "game/game.adv: 1 walkthrough\n"},
        {"./game/game.old.adv", "game/game.adv: 1 walkthrough\n"},
        {"'game/the mill.v2'", "game/the mill.adv: 2 walkthroughs\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run("--test --bless", c.name), 0) << c.name << "\n" << out << err;
        EXPECT_EQ(out.substr(0, std::string(c.first).size()), c.first) << c.name;
    }
    fs::remove(dir / "game" / "game-a.keys");
    EXPECT_EQ(Run("--test", "game/game.v2"), 1);
    EXPECT_EQ(err, "game/game.adv: no walkthroughs (game.keys or game-*.keys) beside it\n");
    fs::rename(dir / "game" / "the mill.adv", dir / "game" / "the mill.old");
    EXPECT_EQ(Run("--test", "'game/the mill.old'"), 1);
    EXPECT_EQ(err, "game/the mill.adv: cannot open the source\n");
}

// GAME.keys and GAME-*.keys are the game's walkthroughs; those of another game beside it are
// not, even when its name begins with this game's ("game2", or "game-b" with its own source).
TEST_F(Walkthroughs, OnlyTheGamesOwnWalkthroughsArePlayed) {
    Write("game.keys", "n\nwave\n");
    Write("game-a.keys", "n\nsing\n");
    Write("game2-a.keys", "n\nhum\n");
    Write("gamey.keys", "n\nhum\n");
    Write("game-b.adv", Source);
    Write("game-b.keys", "n\nhum\n");
    Write("game-b-c.keys", "n\nhum\n");
    ASSERT_EQ(Run("--test --bless"), 0) << out << err;
    EXPECT_EQ(out.rfind("game/game.adv: 2 walkthroughs\nok      game  ", 0), 0u) << out;
    EXPECT_TRUE(Says("\nok      game-a  ")) << out;
    EXPECT_TRUE(Says("\n2 passed, 0 failed\n")) << out;
    for (const char* other : {"game2-a", "gamey", "game-b", "game-b-c"})
        EXPECT_FALSE(fs::exists(dir / "game" / (std::string(other) + ".txt"))) << other;

    ASSERT_EQ(Run("--test --bless", "game/game-b"), 0) << out << err;
    EXPECT_EQ(out.rfind("game/game-b.adv: 2 walkthroughs\nok      game-b  ", 0), 0u) << out;
    EXPECT_TRUE(Says("\nok      game-b-c  ")) << out;
}

const char* const CoinSource = "| A coin for the walkthrough tests.\n"
                               "[System]\nStartLocation=1\n"
                               "[Sysmsg]\n#1,What?\n#23,Restore?\n#26,Again?\n"
                               "[Locations]\n#0,Dark,,0\n#1,Hall,,0\nA bare hall.\n"
                               "[Messages]\n#1,Heads.\n#2,Tails.\n"
                               "[Verbs]\n#1,toss\n"
                               "[Actions]\n"
                               "if verb toss random 1 2\nthen message 1\n"
                               "if verb toss\nthen message 2\n";

// A game that draws random numbers plays every walkthrough with the same ones, whatever
// UMB_SEED the author has set: blessing twice writes the same transcript, from the source and
// compiled alike, and it passes run after run.
TEST_F(Walkthroughs, AGameOfChanceRepeatsItsTranscript) {
    Write("game.adv", CoinSource);
    std::string keys = "n\n";
    for (int i = 0; i < 16; ++i) keys += "toss\n";
    Write("game-coin.keys", keys);
    ASSERT_EQ(Run("--test --bless", "game/game", "UMB_SEED=7"), 0) << out << err;
    const std::string blessed = Read("game/game-coin.txt");
    EXPECT_NE(blessed.find(">toss\nHeads."), std::string::npos) << blessed;
    EXPECT_NE(blessed.find(">toss\nTails."), std::string::npos) << blessed;
    ASSERT_EQ(Run("--test --bless", "game/game", "UMB_SEED=8"), 0) << out << err;
    EXPECT_EQ(Read("game/game-coin.txt"), blessed);
    for (const char* env : {"", "UMB_SEED=9", "", "UMB_SEED=4000000000", "", "", ""}) {
        EXPECT_EQ(Run("--test", "game/game", env), 0) << env << "\n" << out;
        EXPECT_TRUE(Says("\n1 passed, 0 failed\n")) << out;
    }
}

// A transcript that lost a line in one place and gained one in another shows just those two
// lines, each with the lines around it, never a kept line as removed and added again.
TEST_F(Walkthroughs, AFailureShowsOnlyTheLinesThatChanged) {
    Write("game-a.keys", "n\nwave\nsing\nhum\nwave\nsing\nhum\nwave\n");
    ASSERT_EQ(Run("--test --bless"), 0) << out << err;
    std::string text = Read("game/game-a.txt");
    const size_t lost = text.find(">wave\nRound.\n") + 6;
    text.erase(lost, 7);
    const size_t gained = text.find(">hum\nRound.\n", text.find(">hum") + 1) + 12;  // 2nd
    text.insert(gained, "Extra.\n");
    Write("game-a.txt", text);
    EXPECT_EQ(Run("--test"), 1);
    const size_t from = out.find("    the transcripts");
    ASSERT_NE(from, std::string::npos) << out;
    EXPECT_EQ(out.substr(from, out.find("0 passed, 1 failed") - from),
              "    the transcripts part at command 2\n"
              "    --- game-a.txt\n"
              "    +++ game-a (source)\n"
              "    @@ -2,6 +2,7 @@\n"
              "     Restore?n\n"
              "     >\n"
              "     >wave\n"
              "    +Round.\n"
              "     >sing\n"
              "     Round.\n"
              "     >hum\n"
              "    @@ -12,7 +13,6 @@\n"
              "     Round.\n"
              "     >hum\n"
              "     Round.\n"
              "    -Extra.\n"
              "     >wave\n"
              "     Round.\n"
              "     == screen ==\n");
}

}  // namespace

namespace {

// A transcript of distinct lines, so that each diff below has one shortest form.
const std::vector<std::string> Base = {"Hello.", ">look",  "A hall.", ">wave", "A wave.",
                                       ">sing",  "La la.", ">hum",    "Mm.",   ">jump",
                                       "Whee.",  ">quit",  "Bye."};

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Base with the lines at the given places taken out and others put in (in the order given,
// each place counted in the lines as they then are).
std::vector<std::string> Edited(std::vector<std::pair<int, std::string>> changes) {
    std::vector<std::string> lines = Base;
    for (const auto& [at, line] : changes) {
        if (line.empty())
            lines.erase(lines.begin() + at);
        else
            lines.insert(lines.begin() + at, line);
    }
    return lines;
}

std::string Diff(const std::string& want, const std::string& got) {
    std::string report;
    umb::app::DiffTranscripts(want, got, "want.txt", "got", ">", report);
    return report;
}

struct DiffCase {
    const char* what;
    std::vector<std::string> want;
    std::vector<std::string> got;
    const char* report;  // after the names of the two sides
};

// Each change shows only the lines that changed, with three kept lines around it; changes
// nearer than seven lines share a hunk; the command is the one whose lines first differ.
TEST(TranscriptDiff, ShowsOnlyWhatChanged) {
    const DiffCase cases[] = {
        {"a line changed", Base, Edited({{6, ""}, {6, "Lo lo."}}),
         "    the transcripts part at command 3\n@@ -4,7 +4,7 @@\n >wave\n A wave.\n >sing\n"
         "-La la.\n+Lo lo.\n >hum\n Mm.\n >jump\n"},
        {"a line added at the top", Base, Edited({{0, "Welcome."}}),
         "    the transcripts part at command 1\n@@ -1,3 +1,4 @@\n+Welcome.\n Hello.\n >look\n"
         " A hall.\n"},
        {"a line lost and one added far apart", Base, Edited({{4, ""}, {12, "Ha."}}),
         "    the transcripts part at command 2\n@@ -2,7 +2,6 @@\n >look\n A hall.\n >wave\n"
         "-A wave.\n >sing\n La la.\n >hum\n@@ -11,3 +10,4 @@\n Whee.\n >quit\n Bye.\n+Ha.\n"},
        {"two changes six lines apart", Base,
         Edited({{2, ""}, {2, "A big hall."}, {9, ""}, {9, ">leap"}}),
         "    the transcripts part at command 1\n@@ -1,13 +1,13 @@\n Hello.\n >look\n-A hall.\n"
         "+A big hall.\n >wave\n A wave.\n >sing\n La la.\n >hum\n Mm.\n->jump\n+>leap\n"
         " Whee.\n >quit\n Bye.\n"},
        {"a line added before a command", Base, Edited({{5, "Oops."}}),
         "    the transcripts part at command 2\n@@ -3,6 +3,7 @@\n A hall.\n >wave\n A wave.\n"
         "+Oops.\n >sing\n La la.\n >hum\n"},
        {"a changed command", Base, Edited({{5, ""}, {5, ">dance"}}),
         "    the transcripts part at command 3\n@@ -3,7 +3,7 @@\n A hall.\n >wave\n A wave.\n"
         "->sing\n+>dance\n La la.\n >hum\n Mm.\n"},
        {"an empty expected transcript",
         {},
         {"Hello.", ">look"},
         "    the transcripts part at command 1\n@@ -0,0 +1,2 @@\n+Hello.\n+>look\n"},
        {"the last lines lost",
         Base,
         {Base.begin(), Base.end() - 2},
         "    the transcripts part at command 6\n@@ -9,5 +9,3 @@\n Mm.\n >jump\n Whee.\n"
         "->quit\n-Bye.\n"},
    };
    for (const DiffCase& c : cases) {
        // The report indents every diff line by four blanks.
        std::string want = "    --- want.txt\n    +++ got\n";
        const std::string body = c.report;
        const size_t split = body.find('\n') + 1;
        for (size_t pos = split; pos < body.size();) {
            const size_t end = body.find('\n', pos) + 1;
            want += "    " + body.substr(pos, end - pos);
            pos = end;
        }
        EXPECT_EQ(Diff(Joined(c.want), Joined(c.got)), body.substr(0, split) + want) << c.what;
    }
    EXPECT_EQ(Diff("Hello.\n", "Hello."),
              "    the transcripts differ only in the line break at their end\n");
}

// A long change shows its first 30 lines; one too large to align says so.
TEST(TranscriptDiff, LongChangesAreCut) {
    for (const int lines : {40, 1200}) {
        std::vector<std::string> want, got;
        for (int i = 0; i < lines; ++i) {
            want.push_back("old " + std::to_string(i));
            got.push_back("new " + std::to_string(i));
        }
        const std::string report = Diff(Joined(want), Joined(got));
        EXPECT_NE(report.find("@@ -1," + std::to_string(lines) + " +1," + std::to_string(lines) +
                              " @@\n    -old 0\n    -old 1\n"),
                  std::string::npos)
            << report;
        EXPECT_NE(report.find("    -old 29\n    ...\n"), std::string::npos) << report;
        EXPECT_EQ(report.find("    +new"), std::string::npos) << report;
        EXPECT_EQ(report.find("    (over 1000 lines differ: every line from there is shown as "
                              "changed)\n") != std::string::npos,
                  lines > 1000)
            << report;
    }
}

// Applies the unified diff in a report to want; returns the text it makes, or "?" when the
// diff does not fit want.
std::string Patched(const std::string& want, const std::string& report) {
    std::vector<std::string> a;
    std::istringstream in(want), diff(report);
    for (std::string line; std::getline(in, line);) a.push_back(line);
    std::vector<std::string> b;
    size_t next = 0;  // the first line of want not yet copied
    for (std::string line; std::getline(diff, line);) {
        size_t start = 0, count = 0;
        if (std::sscanf(line.c_str(), "    @@ -%zu,%zu", &start, &count) == 2) {
            start -= count > 0 ? 1 : 0;  // an empty side is numbered by the line before it
            if (start < next || start > a.size()) return "?";
            b.insert(b.end(), a.begin() + static_cast<long>(next),
                     a.begin() + static_cast<long>(start));
            next = start;
        } else if (line.compare(0, 4, "    ") == 0 && line.size() > 4 &&
                   line.compare(0, 7, "    ---") != 0 && line.compare(0, 7, "    +++") != 0 &&
                   line.compare(0, 8, "    the ") != 0) {
            const char kind = line[4];
            const std::string text = line.substr(5);
            if (kind != '+' && (next >= a.size() || a[next] != text)) return "?";
            if (kind != '+') ++next;
            if (kind != '-') b.push_back(text);
        }
    }
    b.insert(b.end(), a.begin() + static_cast<long>(next), a.end());
    return Joined(b);
}

// The length of the longest common subsequence of two lists of lines.
size_t CommonLength(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    std::vector<std::vector<size_t>> n(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j)
            n[i][j] =
                a[i - 1] == b[j - 1] ? n[i - 1][j - 1] + 1 : std::max(n[i - 1][j], n[i][j - 1]);
    return n[a.size()][b.size()];
}

// Over many small transcripts of few, often repeated lines: the diff turns the expected one
// into the new one, and it removes and adds no more lines than it must.
TEST(TranscriptDiff, IsTheShortestOverManyTranscripts) {
    const char* const words[] = {">a", "b", "c", "d"};
    unsigned state = 12345;
    auto draw = [&state](unsigned n) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    };
    for (int round = 0; round < 500; ++round) {
        std::vector<std::string> want(draw(10)), got(draw(10));
        for (std::string& line : want) line = words[draw(4)];
        for (std::string& line : got) line = words[draw(4)];
        const std::string report = Diff(Joined(want), Joined(got));
        if (want == got) continue;
        EXPECT_EQ(Patched(Joined(want), report), Joined(got)) << report;
        size_t changed = 0;
        std::istringstream lines(report);
        for (std::string line; std::getline(lines, line);)
            changed += (line.compare(0, 5, "    -") == 0 || line.compare(0, 5, "    +") == 0) &&
                               line.compare(0, 7, "    ---") != 0 &&
                               line.compare(0, 7, "    +++") != 0
                           ? 1
                           : 0;
        EXPECT_EQ(changed, want.size() + got.size() - 2 * CommonLength(want, got)) << report;
    }
}

}  // namespace

namespace {

// The game plays in a copy of its folder with every subfolder and file but its pictures: a
// source included from a subfolder is found there, a picture of the folder is not needed (the
// walkthroughs show none), and the author's folder is left as it was.
TEST_F(Walkthroughs, TheCopiedFolderKeepsSubfoldersAndLeavesPicturesOut) {
    std::string source = Source;
    source.replace(source.find("[Actions]\n"), 10, "@lib/more.adv\n[Actions]\n");
    Write("game.adv", source);
    fs::create_directories(dir / "game" / "lib");
    fs::create_directories(dir / "game" / "pictures");
    Write("lib/more.adv", "[Messages]\n#3,Included.\n");
    Write("pictures/hall.PNG", "not read");
    Write("game-a.keys", "n\nwave\n");
    ASSERT_EQ(Run("--test --bless"), 0) << out << err;
    EXPECT_EQ(Run("--test"), 0) << out << err;
    EXPECT_TRUE(Says("1 passed, 0 failed\n")) << out;
    EXPECT_EQ(Read("game/pictures/hall.PNG"), "not read");
}

}  // namespace
