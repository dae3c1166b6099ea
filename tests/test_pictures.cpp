// test_pictures.cpp - umb --pictures: the picture files a game opens, for publishing exactly those.
#include "file_text.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class PictureList : public ::testing::Test {
  protected:
    void SetUp() override { folder.Enter("umb-pictures"); }
    void TearDown() override { folder.Leave(); }

    int Run(const std::string& game) {
        const std::string cmd =
            "'" UMB_BINARY "' --pictures '" + game + "' >out.txt 2>err.txt </dev/null";
        const int status = std::system(cmd.c_str());
        out = ReadText("out.txt");
        err = ReadText("err.txt");
        return WEXITSTATUS(status);
    }
    static void Touch(const std::string& path) {
        const fs::path p(path);
        if (p.has_parent_path()) fs::create_directories(p.parent_path());
        std::ofstream(path) << "a picture";
    }
    static std::string Lines(const std::vector<std::string>& lines) {
        std::string all;
        for (const std::string& l : lines) all += l + "\n";
        return all;
    }

    TempFolder folder;
    std::string out;
    std::string err;
};

// What is listed: every location's picture (the darkness's too), the pictures of the shows a
// "show" statement presents in either script, each path once, under ImagePath; never a show no
// script presents, a negated show, an empty name, nor another file of the folder.
TEST_F(PictureList, ListsWhatTheGameOpensOnce) {
    std::ofstream("game.adv") << "[System]\nImagePath=art\n"
                                 "[Intro]\n#1,intro.png\nWelcome.\n"
                                 "[Shows]\n#2,spoiler.png\nThe end.\n#3,win.png\nWon.\n"
                                 "#4,\nNo picture.\n#5,negated.png\nNever.\n"
                                 "[Locations]\n#0,Dark,dark.png,0\n#1,Hall,hall.png,0,2\n"
                                 "#2,Yard,,0,0,1\n#3,Cellar,hall.png,0\n"
                                 "[Events]\nif begin\nthen show 1 show 4\n"
                                 "[Actions]\nif at 2\nshow 3 not show 5\n";
    for (const char* name : {"art/intro.png", "art/spoiler.png", "art/win.png", "art/dark.png",
                             "art/hall.png", "art/negated.png", "art/author-map.png"})
        Touch(name);
    ASSERT_EQ(Run("game"), 0) << err;
    EXPECT_EQ(out, Lines({"art/dark.png", "art/hall.png", "art/intro.png", "art/win.png"}));
    EXPECT_EQ(err, "");
}

// A missing picture is named on standard error and fails the run; the list is still whole.
// A folder, or a path longer than the game opens, is no picture either.
TEST_F(PictureList, NamesWhatIsMissing) {
    const std::string longName(130, 'x');
    std::ofstream("game.adv") << "[Locations]\n#1,Hall,hall.png,0\n#2,Yard,yard.png,0\n"
                                 "#3,Shed,shed.png,0\n#4,Far," +
                                     longName + ",0\n";
    Touch("hall.png");
    fs::create_directory("shed.png");
    Touch(longName);
    EXPECT_EQ(Run("game"), 1);
    EXPECT_EQ(out, Lines({"hall.png", "yard.png", "shed.png", longName}));
    EXPECT_NE(err.find("yard.png is missing"), std::string::npos) << err;
    EXPECT_NE(err.find("shed.png is missing"), std::string::npos) << err;
    EXPECT_NE(err.find(longName + " is longer"), std::string::npos) << err;
    EXPECT_EQ(err.find("hall.png"), std::string::npos) << err;
}

// The game is read as playing reads it: the source when there is one (cut at the name's first
// point), else the compiled game file; what cannot be read is said.
TEST_F(PictureList, ReadsTheSourceElseTheCompiledGame) {
    std::ofstream("the mill.adv") << "[Locations]\n#1,Mill,mill.png,0\n";
    Touch("mill.png");
    ASSERT_EQ(Run("the mill.v2"), 0) << err;
    EXPECT_EQ(out, "mill.png\n");
    EXPECT_FALSE(fs::exists("the mill.umb"));  // nothing is written

    ASSERT_EQ(std::system("'" UMB_BINARY "' -c 'the mill' >/dev/null 2>&1 </dev/null"), 0);
    fs::remove("the mill.adv");
    ASSERT_EQ(Run("the mill"), 0) << err;
    EXPECT_EQ(out, "mill.png\n");

    std::ofstream("the mill.umb") << "not a game";
    EXPECT_EQ(Run("the mill"), 1);
    EXPECT_NE(err.find("the mill.umb is damaged"), std::string::npos) << err;
    EXPECT_EQ(out, "");

    EXPECT_EQ(Run("nothing"), 1);
    EXPECT_NE(err.find("nothing.adv"), std::string::npos) << err;
    EXPECT_NE(err.find("nothing.umb"), std::string::npos) << err;

    std::ofstream("broken.adv") << "[Locations]\n#1,Hall,hall.png,0\n[Nowhere]\n";
    EXPECT_EQ(Run("broken"), 1);
    EXPECT_NE(err.find("broken.adv has errors"), std::string::npos) << err;
    EXPECT_EQ(out, "");
}

// The demo names every picture of its folder, and they are all there.
TEST_F(PictureList, TheDemoHasAllItsPictures) {
    fs::copy(fs::path(UMB_EXAMPLES) / "beacon", folder.dir, fs::copy_options::recursive);
    ASSERT_EQ(Run("beacon"), 0) << err;
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator("pictures")) {
        ++files;
        const std::string path = "pictures/" + entry.path().filename().string();
        EXPECT_NE(out.find(path + "\n"), std::string::npos) << path;
    }
    EXPECT_EQ(static_cast<size_t>(std::count(out.begin(), out.end(), '\n')), files);
}

}  // namespace
