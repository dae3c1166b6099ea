// test_screen.cpp - the framed areas, word-wrapped printing, the transcript and the screenshot.
#include "screen_fixture.h"
#include "ui/gfx/gfx_internal.h"

#include <array>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::array<int, 3> Rgb(GfxColour c) {
    std::array<int, 3> rgb{};
    GfxRgbOfColour(c, &rgb[0], &rgb[1], &rgb[2]);
    return rgb;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

uint32_t Le(const std::string& f, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(f[at + static_cast<size_t>(i)]);
    return v;
}

// Runs a test inside a fresh directory of its own.
class TempDir {
  public:
    TempDir() : old_(fs::current_path()) {
        char name[] = "/tmp/umb-screen-XXXXXX";
        path_ = ::mkdtemp(name);
        fs::current_path(path_);
    }
    ~TempDir() {
        fs::current_path(old_);
        fs::remove_all(path_);
    }

  private:
    fs::path old_, path_;
};

}  // namespace

TEST_F(ScreenTest, DumpListsTheTextAreasRowByRow) {
    Open();
    Print(AreaTitle, ModeClearArea, "Hall");
    SelectArea(s, AreaTitle, ModeBottomLine);  // the status line, as the game prints it
    PrintGameText("Score: %score%");
    EXPECT_EQ(s.LineOffset, 16);
    char row[64];
    GfxTextRow(4, 380, 300, row, sizeof row);
    EXPECT_STREQ(row, "Score: -5");
    Print(AreaDescription, ModeClearArea, "A hall.\\\\Exits: north");
    Print(AreaMessages, ModeNewLine, "Hi");
    SelectArea(s, AreaMessages, ModeRedrawLine);
    PrintTextFrom(s, "x", 24);
    GfxScreenDump();
    const std::string dump = "== screen ==\n-- title --\nHall\nScore: -5\n-- description --\n"
                             "A hall.\nExits: north\n-- messages --\nHi x\n== end ==\n";
    EXPECT_EQ(Output(), dump);
    ScreenClose(s);  // the end of play shows the screen once more
    EXPECT_EQ(Output(), dump + dump);
}

TEST_F(ScreenTest, WrapsAtTheWidthOfEachArea) {
    Open();
    const struct {
        int area;
        const char* name;
        size_t width;
    } cases[] = {{AreaTitle, "title", 47},
                 {AreaDescription, "description", 51},
                 {AreaMessages, "messages", 99}};
    for (const auto& c : cases) {
        const std::string fits = std::string(c.width - 6, 'a') + " bcdef";
        Print(c.area, ModeClearArea, fits.c_str());
        EXPECT_EQ(Rows(c.name), Lines{fits}) << c.name;
        const std::string over = std::string(c.width - 5, 'a') + " bcdef";
        Print(c.area, ModeClearArea, over.c_str());
        EXPECT_EQ(Rows(c.name), (Lines{std::string(c.width - 5, 'a'), "bcdef"})) << c.name;
    }
}

TEST_F(ScreenTest, WordWiderThanALineKeepsWhatFitsAndTheRestGoesOn) {
    Open();
    const std::string x(120, 'x');
    Print(AreaMessages, ModeClearArea, ("go " + x + " on and on\\" + x + "y z").c_str());
    EXPECT_EQ(Rows("messages"),
              (Lines{"go", std::string(98, 'x'), "on and on", std::string(98, 'x'), "z"}));
    Print(AreaDescription, ModeClearArea, (x + " a b").c_str());
    EXPECT_EQ(Rows("description"), (Lines{std::string(51, 'x'), "a b"}));
    // A word is measured with the blank before it, so a word as wide as a line loses a letter.
    Print(AreaTitle, ModeClearArea, ("a " + std::string(47, 'w')).c_str());
    EXPECT_EQ(Rows("title"), (Lines{"a", std::string(46, 'w')}));
    // The first line's room is what the start offset leaves.
    SelectArea(s, AreaDescription, ModeClearArea);
    PrintTextFrom(s, "abc de", 49 * 8);
    EXPECT_EQ(Rows("description"), (Lines{std::string(49, ' ') + "ab", "d"}));
    EXPECT_EQ(s.LineOffset, 32);
}

TEST_F(ScreenTest, FlowingLinesGrowTheOffsetAndStopAtTheBottomOfTheBox) {
    Open();
    Print(AreaDescription, ModeClearArea, "a\\b");
    EXPECT_EQ(s.LineOffset, 32);
    Print(AreaDescription, ModeFlow, "c\\");  // c, then an empty line
    EXPECT_EQ(s.LineOffset, 64);
    Print(AreaDescription, ModeFlow, "d");
    EXPECT_EQ(PrintText(s, ""), 0);
    EXPECT_EQ(PrintText(s, nullptr), 0);
    EXPECT_EQ(s.LineOffset, 80);
    char row[64];
    GfxTextRow(388, 796, 4 + 4 * LineHeight, row, sizeof row);
    EXPECT_STREQ(row, "d");
    EXPECT_EQ(Rows("description"), (Lines{"a", "b", "c", "d"}));

    std::string text;
    for (int i = 1; i <= 22; ++i) text += std::to_string(i) + (i < 22 ? "\\" : "");
    Print(AreaDescription, ModeClearArea, text.c_str());
    Print(AreaDescription, ModeFlow, "more");
    const Lines rows = Rows("description");
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows.back(), "20");
    GfxTextRow(388, 796, 308, row, sizeof row);
    EXPECT_STREQ(row, "20");
    EXPECT_EQ(s.LineOffset, 21 * LineHeight);  // a line below the box still counts
    Print(AreaDescription, ModeClearArea, nullptr);
    EXPECT_EQ(s.LineOffset, 0);
    EXPECT_TRUE(Rows("description").empty());
}

// Marks are the game's business: the screen shows a text as it is handed, up to its work buffer.
TEST_F(ScreenTest, ShowsTextsAsGiven) {
    Open();
    Print(AreaMessages, ModeNewLine, "100%% of %score%, 50% off");
    EXPECT_EQ(MessageLine(0), "100%% of %score%, 50% off");
    Print(AreaMessages, ModeNewLine, (std::string(WorkBufferSize - 3, 'a') + " bcd").c_str());
    EXPECT_EQ(MessageLine(1), std::string(99, 'a'));  // a word too wide keeps what fits
    EXPECT_EQ(MessageLine(0), "b");
}

TEST_F(ScreenTest, MessagesScrollPerLineAndEditingRedrawsTheBottomLine) {
    Open();
    const std::string a(60, 'a'), b(60, 'b');
    Print(AreaMessages, ModeNewLine, "first");
    Print(AreaMessages, ModeNewLine, (a + " " + b).c_str());
    EXPECT_EQ(MessageLine(2), "first");
    EXPECT_EQ(MessageLine(1), a);
    EXPECT_EQ(MessageLine(0), b);
    EXPECT_EQ(Output(), "first\n" + a + "\n");  // rows that left the bottom line
    Print(AreaMessages, ModeNewLine, "hello");
    SelectArea(s, AreaMessages, ModeRedrawLine);
    EXPECT_EQ(PrintTextFrom(s, "X", 16), 24);
    EXPECT_EQ(MessageLine(0), "heX");
    EXPECT_EQ(MessageLine(1), b);
    SelectArea(s, 4, ModeNewLine);
    EXPECT_EQ(PrintText(s, "nowhere"), -1);
}

TEST_F(ScreenTest, TranscriptTakesRowsAsTheyLeaveTheBottomLine) {
    Open();
    Print(AreaMessages, ModeNewLine, "one   ");
    Print(AreaMessages, ModeNewLine, "two\\");  // two, then an empty row that is not written
    Print(AreaMessages, ModeNewLine, "three");
    Print(AreaMessages, ModeClearArea, nullptr);  // cls
    EXPECT_EQ(MessageLine(0), "");
    EXPECT_EQ(MessageLine(2), "");
    Print(AreaMessages, ModeNewLine, "four");
    Print(AreaDescription, ModeClearArea, "not a message");
    DrawFrames(s);
    EXPECT_EQ(Output(), "one\ntwo\nthree\nfour\n");
}

TEST_F(ScreenTest, FramesAndTextTakeTheGameColours) {
    db.BgColor = 1;
    db.FgColor = 14;
    Open();
    const std::array<int, 3> fg{208, 208, 64}, bg{32, 32, 136};
    for (const auto& [x, y] : {std::pair{0, 0}, {384, 100}, {400, 320}, {799, 599}, {200, 256}})
        EXPECT_EQ(Rgb(GfxReadPixel(x, y)), fg) << x << "," << y;
    EXPECT_EQ(Rgb(GfxReadPixel(2, 400)), bg);
    Print(AreaDescription, ModeClearArea, "\xDB");  // a full block
    EXPECT_EQ(Rgb(GfxReadPixel(388, 4)), fg);
    EXPECT_EQ(Rgb(GfxReadPixel(395, 17)), fg);
    EXPECT_EQ(Rgb(GfxReadPixel(396, 4)), bg);
    Print(AreaDescription, ModeClearArea, nullptr);
    EXPECT_EQ(Rgb(GfxReadPixel(388, 4)), bg);

    db.FgColor = 7;  // the darker grey
    db.BgColor = 8;
    UseGameColours();
    MakeUiColours(s);
    EXPECT_EQ(Rgb(s.TextColour), (std::array{112, 112, 112}));
    EXPECT_EQ(Rgb(s.BackgroundColour), (std::array{176, 176, 176}));
    db.FgColor = 99;  // numbers outside the table keep the defaults, 15 and 0
    db.BgColor = -1;
    UseGameColours();
    MakeUiColours(s);
    EXPECT_EQ(Rgb(s.TextColour), (std::array{240, 240, 240}));
    EXPECT_EQ(Rgb(s.BackgroundColour), (std::array{0, 0, 0}));
}

TEST_F(ScreenTest, CtrlPrintScreenSavesTheTrueColourScreen) {
    db.BgColor = 1;
    db.FgColor = 14;
    TempDir dir;
    Open("{shot}ok\n");
    GfxPlotPixel(0, 599, GfxColourFromRgb(1, 2, 3));
    GfxPlotPixel(799, 0, GfxColourFromRgb(4, 5, 6));
    char line[128];
    ReadGameLine(game, line, 127);
    EXPECT_STREQ(line, "ok");
    const std::string f = ReadFile("scrshot.bmp");
    ASSERT_EQ(f.size(), 1440054u);
    EXPECT_EQ(f.substr(0, 2), "BM");
    const struct {
        size_t at;
        int bytes;
        uint32_t value;
    } fields[] = {{2, 4, 1440054}, {6, 4, 0},  {10, 4, 54}, {14, 4, 40}, {18, 4, 800},
                  {22, 4, 600},    {26, 2, 1}, {28, 2, 24}, {30, 4, 0}};
    for (const auto& field : fields)
        EXPECT_EQ(Le(f, field.at, field.bytes), field.value) << field.at;
    // Blue, green, red; the bottom row first.
    EXPECT_EQ(f.substr(54, 3), "\x03\x02\x01");
    EXPECT_EQ(f.substr(f.size() - 3), "\x06\x05\x04");
    auto pixel = [&](int x, int y) {
        return f.substr(54 + (static_cast<size_t>(599 - y) * 800 + static_cast<size_t>(x)) * 3, 3);
    };
    EXPECT_EQ(pixel(5, 320), "\x40\xD0\xD0");  // the message area's frame in colour 14
    EXPECT_EQ(pixel(2, 400), "\x88\x20\x20");  // the background in colour 1
}

TEST_F(ScreenTest, FailedScreenshotLeavesTheEarlierOneWhole) {
    TempDir dir;
    Open();
    ASSERT_EQ(SaveScreenshot(), 0);
    const std::string first = ReadFile("scrshot.bmp");
    Print(AreaMessages, ModeNewLine, "changed");

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1000000;  // too small for a screenshot
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int failed = SaveScreenshot();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);

    EXPECT_EQ(failed, -1);
    EXPECT_EQ(ReadFile("scrshot.bmp"), first);
    EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 1);
    ASSERT_EQ(SaveScreenshot(), 0);
    EXPECT_NE(ReadFile("scrshot.bmp"), first);
    EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 1);
    EXPECT_EQ(SaveScreenshotTo("missing/scrshot.bmp"), -1);
    EXPECT_FALSE(fs::exists("missing"));

    // What a screenshot cut short by the end of the program left is replaced, not added to.
    std::ofstream("scrshot.bmp.tmp") << "cut short";
    ASSERT_EQ(SaveScreenshot(), 0);
    ASSERT_EQ(SaveScreenshot(), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 1);
    EXPECT_EQ(fs::file_size("scrshot.bmp"), first.size());
}

// The screen's pixels are allocated when a play first draws, not when it opens the screen: a
// run that never draws costs no screen, and one not yet drawn on reads black.
TEST(ScreenPixels, AllocatedWhenFirstDrawn) {
    using namespace umb::gfx;
    FILE* keys = std::tmpfile();
    FILE* out = std::tmpfile();
    ASSERT_TRUE(keys != nullptr && out != nullptr);
    for (int play = 0; play < 2; ++play) {  // the second play starts without the first's pixels
        GfxBeginHeadlessPlay(keys, out);
        char why[128] = "";
        ASSERT_EQ(GfxOpenScreen(why, sizeof why), 0) << why;
        EXPECT_TRUE(GfxScreen().pixels.empty()) << "play " << play;
        EXPECT_EQ(GfxReadPixel(ScreenWidth - 1, ScreenHeight - 1), GfxColour{0});
        const GfxColour red = GfxColourFromRgb(255, 0, 0);
        GfxFillBox(1, 1, 3, 3, red);
        EXPECT_EQ(GfxReadPixel(2, 2), red);
        EXPECT_EQ(GfxReadPixel(4, 4), GfxColour{0});
        EXPECT_EQ(GfxScreen().pixels.size(), size_t{ScreenWidth} * ScreenHeight);
        GfxCloseScreen();
        GfxEndHeadlessPlay();
    }
    std::fclose(keys);
    std::fclose(out);
}
