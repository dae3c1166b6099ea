// test_explore.cpp - umb --explore finds planted faults in small games, the same seed gives the
// same report, and umb --keys-from turns a transcript back into the keys that play it.
#include "file_text.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

// Runs the program in the test's folder; returns its exit status, what it wrote in out and err.
int RunUmb(const std::string& args, std::string& out, std::string* err = nullptr) {
    const std::string input = args.find('<') == std::string::npos ? " </dev/null" : "";
    const std::string cmd =
        "UMB_DRIVER=headless '" UMB_BINARY "' " + args + " >out.txt 2>err.txt" + input;
    const int status = std::system(cmd.c_str());
    out = ReadText("out.txt");
    if (err != nullptr) *err = ReadText("err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The report without what depends on the machine's speed: the run's time and the slowest turns.
std::string WithoutTimes(const std::string& report) {
    std::string r = report.substr(0, report.find("Slowest turns:"));
    const size_t open = r.find(" ("), close = r.find('\n');
    if (open < close) r.erase(open, close - open);
    return r;
}

class Explore : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.Enter("umb-explore");
        for (const char* name : {"common", "puzzle", "loop", "win"})
            fs::copy_file(fs::path(UMB_TEST_DATA) / "explore" / (std::string(name) + ".adv"),
                          std::string(name) + ".adv");
    }
    void TearDown() override { folder.Leave(); }
    TempFolder folder;
};

// Each planted fault is found within the default steps; with too few steps the vault behind
// the lever is named as a puzzle left unsolved, and the attic no exit leads to is always named.
TEST_F(Explore, FindsPlantedFaults) {
    struct Case {
        const char* args;
        std::vector<std::string> want, unwanted;
    };
    const Case cases[] = {
        {"--explore puzzle",
         {"Locations: 2 of 3 reached", "warning: location 3 (Attic) never reached: no exit",
          "note: object 2 (a feather) never taken", "Actions: 4 of 4 lines run"},
         {"location 2 (Vault) never reached", "object 1 (a coin) never taken"}},
        {"--explore --steps 1 puzzle",
         {"puzzle.adv:12: note: location 2 (Vault) never reached, though the exits lead there"},
         {}},
        {"--explore --timeout 1 loop",
         {"loop.adv:10: warning: \"pull rope\" at location 1 (Belfry) never ended and was stopped",
          "explored 5000 commands"},
         {"gave up"}},
        {"--explore win",
         {"win.adv:43: note: won in 3 commands, cut down from ", "win.adv:45: note: lost in ",
          "wrote win-explore-won.keys", "\"The machine hums. You have won!\""},
         {"never printed"}},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(RunUmb(c.args, out), 0) << c.args;
        for (const std::string& w : c.want)
            EXPECT_TRUE(Has(out, w)) << c.args << ": " << w << "\n" << out;
        for (const std::string& u : c.unwanted) EXPECT_FALSE(Has(out, u)) << c.args << ": " << u;
    }
    // The winning play, cut down to the three commands it needs, is a walkthrough as it stands:
    // replayed, it wins.
    std::string out;
    ASSERT_EQ(RunUmb("--test --bless win", out), 0) << out;
    EXPECT_TRUE(Has(ReadText("win-explore-won.txt"), "You have won!"));
    EXPECT_TRUE(Has(ReadText("win-explore-lost.txt"), "You are dead."));
}

TEST_F(Explore, SameSeedSameReport) {
    std::string first, second, other;
    ASSERT_EQ(RunUmb("--explore --seed 7 --steps 2000 win", first), 0);
    const std::string keys = ReadText("win-explore-won.keys");
    ASSERT_EQ(RunUmb("--explore --seed=7 --steps=2000 win", second), 0);
    EXPECT_EQ(WithoutTimes(first), WithoutTimes(second));
    EXPECT_EQ(keys, ReadText("win-explore-won.keys"));
    ASSERT_EQ(RunUmb("--explore --seed 8 --steps 2000 win", other), 0);
    EXPECT_NE(WithoutTimes(first), WithoutTimes(other));
}

// A transcript of the demo's winning walkthrough gives keys whose replay writes the same
// transcript again.
TEST_F(Explore, KeysFromTranscriptRoundTrip) {
    const fs::path demo = fs::path(UMB_EXAMPLES) / "beacon";
    for (const char* name : {"beacon.adv", "words.adv", "beacon-win.keys"})
        fs::copy_file(demo / name, name);
    std::string out;
    const std::string play = "--seed 1 --no-autosave --transcript ";
    ASSERT_EQ(RunUmb(play + "first.txt beacon <beacon-win.keys", out), 0);
    ASSERT_EQ(RunUmb("--keys-from first.txt", out), 0);
    WriteText("again.keys", out);
    ASSERT_EQ(RunUmb(play + "second.txt beacon <again.keys", out), 0);
    const std::string first = ReadText("first.txt");
    EXPECT_TRUE(Has(first, "You have saved the ship!"));
    EXPECT_EQ(first, ReadText("second.txt"));
}

TEST_F(Explore, BadInputFailsClearly) {
    WriteText("notes.txt", "Buy milk.\nNote: eggs\n");
    struct Case {
        const char* args;
        int status;
        const char* said;
    };
    const Case cases[] = {
        {"--keys-from missing.txt", 1, "Cannot read file missing.txt!"},
        {"--keys-from notes.txt", 1, "notes.txt: no command follows the question"},
        {"--keys-from puzzle.adv", 1, "no command follows"},
        {"--explore nosuch", 1, "Cannot read file nosuch.adv!"},
        {"--steps 5 puzzle", 2, "--steps needs --explore"},
        {"--explore --steps=0 puzzle", 2, "Option --steps takes a number"},
    };
    for (const Case& c : cases) {
        std::string out, err;
        EXPECT_EQ(RunUmb(c.args, out, &err), c.status) << c.args;
        EXPECT_TRUE(Has(err, c.said)) << c.args << ": " << err;
        EXPECT_EQ(out, "") << c.args;
    }
    // A source with errors is not explored: its findings are printed as --check prints them
    // from the game's folder, where its included files are found.
    fs::create_directory("sub");
    fs::copy_file("common.adv", "sub/shared.adv");
    WriteText("sub/broken.adv", "@shared.adv\n[Locations]\n#1,Room,,0\nA room.\n@nosuch.adv\n");
    std::string out;
    EXPECT_EQ(RunUmb("--explore sub/broken", out), 1);
    EXPECT_TRUE(Has(out, "broken.adv:5: error: cannot include \"nosuch.adv\"")) << out;
    EXPECT_FALSE(Has(out, "cannot include \"shared.adv\"")) << out;
    EXPECT_FALSE(Has(out, "explored"));
}

}  // namespace
