// test_picture_debug.cpp - debug mode names each picture that cannot be shown, with its reason,
// once each time it is asked for; normal play stays silent about them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A cellar whose picture is missing, an attic whose picture is no PNG, an introduction and a
// show whose pictures are missing, one of them with a "%" in its name.
const char* const Adventure = R"(| Pictures that cannot be shown.
[System]
Title=Pictures
StartLocation=1
BgColor=1

[Sysmsg]
#1,I don't understand.
#5,You can't go that way.
#19,Exits:
#23,Restore a saved game?
#24,Really quit?
#25,Save first?
#26,Play again?

[Directions]
#1,north
#2,south
#3,east
#4,west

[Intro]
#1,intro.png
Welcome.

[Shows]
#2,100%.png
A picture with a percent sign.

[Locations]
#0,Darkness,,0
It is too dark to see.
#1,Cellar,cellar.png,0,0,0,2
A cold cellar.
#2,Attic,attic.png,0,0,0,0,1
A dusty attic.

[Verbs]
#3,e,east
#4,w,west
#12,l,look
#23,quit
#30,show

[Events]
if begin
then show 1

[Actions]
if verb show
then show 2
)";

// Looking again keeps the picture, so nothing is named twice in a row; the show's picture
// replaces the attic's, which is therefore tried, and named, once more.
const char* const Keys = "nl\ne\nl\nshow\nw\nquit\nynn";

class PictureDebug : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("umb-picture-debug-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(dir / "pics.adv") << Adventure;
        std::ofstream(dir / "attic.png") << "not a picture";
        std::ofstream(dir / "keys") << Keys;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Plays the game headless with the switches given; returns the transcript before the first
    // screen dump.
    std::string Play(const std::string& switches) {
        const std::string cmd = "cd '" + dir.string() + "' && UMB_DRIVER=headless '" + UMB_BINARY +
                                "' " + switches + " pics <keys >out.txt 2>err.txt";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        std::ifstream in(dir / "out.txt", std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        const std::string out = ss.str();
        return out.substr(0, out.find("== screen =="));
    }

    fs::path dir;
};

TEST_F(PictureDebug, NamesEachFailedPictureWithItsReasonOnlyInDebugMode) {
    EXPECT_EQ(Play("-d"), "Welcome.\n"
                          "picture intro.png: file not found\n"
                          "Restore a saved game?n\n"
                          "picture cellar.png: file not found\n"
                          ">l\n"
                          ">e\n"
                          "picture attic.png: not a PNG file\n"
                          ">l\n"
                          ">show\n"
                          "A picture with a percent sign.\n"
                          "picture 100%.png: file not found\n"
                          "picture attic.png: not a PNG file\n"
                          ">w\n"
                          "picture cellar.png: file not found\n"
                          ">quit\n"
                          "Really quit?y\n"
                          "Save first?n\n");
    EXPECT_EQ(Play(""), "Welcome.\n"
                        "Restore a saved game?n\n"
                        ">l\n"
                        ">e\n"
                        ">l\n"
                        ">show\n"
                        "A picture with a percent sign.\n"
                        ">w\n"
                        ">quit\n"
                        "Really quit?y\n"
                        "Save first?n\n");
}

}  // namespace
