// test_walkthrough.cpp - umb --test: walkthroughs pass, fail with a diff, are blessed, are stopped
// at their time limit, and count the script lines they reach and run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

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
    // status, out holding standard output.
    int Run(const std::string& args) {
        const std::string cmd = "cd '" + dir.string() + "' && '" + UMB_BINARY + "' " + args +
                                " game/game >out.txt 2>err.txt";
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

}  // namespace
