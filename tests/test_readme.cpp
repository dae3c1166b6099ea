// test_readme.cpp - the README's example adventure compiles without a diagnostic and plays its
// walkthrough to the win, from the source and compiled, as the README shows it.
#include "file_text.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

// The code block the README holds between "<!-- example NAME -->" and "<!-- end NAME -->",
// or nothing when the markers or the fences around the block are gone.
std::string Example(const std::string& readme, const std::string& name) {
    const std::string open = "<!-- example " + name + " -->\n```\n";
    const std::string close = "```\n<!-- end " + name + " -->";
    const size_t from = readme.find(open);
    if (from == std::string::npos) return "";
    const size_t body = from + open.size();
    const size_t to = readme.find(close, body);
    if (to == std::string::npos) return "";
    return readme.substr(body, to - body);
}

// Works in a folder of its own, where a newcomer would save the example's files.
class ReadmeExample : public ::testing::Test {
  protected:
    void SetUp() override {
        readme = ReadText(UMB_README);
        folder.Enter("umb-readme");
    }
    void TearDown() override { folder.Leave(); }

    // Runs the program headless with keys from a file; returns its exit status.
    int Run(const std::string& args, const std::string& keys) {
        const std::string cmd = "UMB_DRIVER=headless '" + std::string(UMB_BINARY) + "' " + args +
                                " <" + keys + " >out.txt 2>err.txt";
        const int status = std::system(cmd.c_str());
        out = ReadText("out.txt");
        err = ReadText("err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string readme;
    TempFolder folder;
    std::string out;
    std::string err;
};

TEST_F(ReadmeExample, CompilesCleanlyAndPlaysToItsWin) {
    const std::string source = Example(readme, "shed.adv");
    const std::string keys = Example(readme, "shed.keys");
    const std::string shown = Example(readme, "shed.txt");
    ASSERT_NE(source, "") << "no example adventure between its markers in " << UMB_README;
    ASSERT_NE(keys, "") << "no walkthrough between its markers";
    ASSERT_NE(shown, "") << "no transcript between its markers";
    std::ofstream("shed.adv", std::ios::binary) << source;
    std::ofstream("shed.keys", std::ios::binary) << keys;

    EXPECT_EQ(Run("-c shed", "/dev/null"), 0);
    EXPECT_EQ(out, "shed.adv: compiled into shed.umb\n")
        << "the example must compile without a diagnostic";
    EXPECT_EQ(err, "U.M.B.: Conversion complete\n");
    ASSERT_TRUE(fs::exists("shed.umb"));

    // The transcript begins as the README shows it; the game ends with its win and the player
    // declining another game, not with the keys running out at a prompt.
    const std::string won = "You have won with 15 points!\n";
    const std::string declined = "Play again? n\n== end ==\n";
    EXPECT_EQ(Run("shed", "shed.keys"), 0);
    EXPECT_EQ(err, "");
    const std::string fromSource = out;
    EXPECT_EQ(fromSource.rfind(shown, 0), 0u) << fromSource;
    EXPECT_NE(fromSource.find(">w\nOK.\nYou carry the coin out into the sunlight. " + won),
              std::string::npos)
        << fromSource;
    ASSERT_GE(fromSource.size(), declined.size());
    EXPECT_EQ(fromSource.substr(fromSource.size() - declined.size()), declined) << fromSource;

    // The compiled game, with the source gone, plays the same game.
    fs::remove("shed.adv");
    EXPECT_EQ(Run("shed", "shed.keys"), 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(out, fromSource);
}

}  // namespace
