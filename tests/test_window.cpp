// test_window.cpp - the program in a real window on a virtual X server: keys typed into the
// window, the screenshot key, what the window shows, and how fast the game ends with its window.
#include "param_names.h"
#include "temp_folder.h"
#include "ui/gfx/gfx_internal.h"
#include "ui/window/picture.h"
#include "ui/window/screen.h"
#include "x_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace umb::gfx;
using namespace umb::ui;

namespace fs = std::filesystem;

namespace {

// The game the tests play: its folder (copied into the test's own folder, where the program runs
// and writes its screenshot), the game name, a command to type, and the picture file that its
// start location shows, relative to the folder.
struct WindowGame {
    std::string folder;
    std::string name;
    std::string command;
    std::string picture;
    std::vector<std::string> opening;  // keys that bring it to its first command prompt
    std::string prompt = ">";
};

// Another game is played by changing this line alone.
// The demo: a key ends the introduction's pause, then no to the question whether to restore.
const WindowGame Game{
    UMB_EXAMPLES "/beacon", "beacon", "look", "pictures/jetty.png", {"space", "n"}};

using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;

bool OnPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string file = dirs.substr(start, end - start) + "/" + tool;
        if (::access(file.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Polls ready every 10 ms until it holds or ms milliseconds have passed.
template <class Ready> bool WaitFor(int ms, Ready ready) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (ready()) return true;
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Milliseconds from now until end, at least 0.
int MsLeft(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    return static_cast<int>(std::max<long>(0, left.count()));
}

// How a child process is started: its folder and where its output goes (outFd -1: to the file
// outPath); keepFd stays open across exec. The environment is the test's.
struct LaunchOptions {
    std::string folder = ".";
    std::string outPath = "/dev/null";
    int outFd = -1;
    int keepFd = -1;
};

pid_t Launch(const std::vector<std::string>& args, const LaunchOptions& o) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    // The child: only async-signal-safe calls until exec.
    if (::chdir(o.folder.c_str()) != 0) ::_exit(126);
    const int out =
        o.outFd >= 0 ? o.outFd : ::open(o.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) ::_exit(126);
    ::dup2(out, 1);
    ::dup2(out, 2);
    const int null = ::open("/dev/null", O_RDONLY);
    if (null >= 0) ::dup2(null, 0);
    if (o.keepFd >= 0) ::fcntl(o.keepFd, F_SETFD, 0);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

// Waits up to ms milliseconds for the process to end; fills status when it did.
bool WaitEnd(pid_t pid, int ms, int* status) {
    return WaitFor(ms, [&] { return ::waitpid(pid, status, WNOHANG) == pid; });
}

void Stop(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
}

// Runs a tool to its end, at most ms milliseconds; returns its exit status (-1 when it was
// stopped) and what it printed.
int RunTool(const std::vector<std::string>& args, int ms, std::string* output = nullptr) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    LaunchOptions o;
    o.outFd = fds[1];
    pid_t pid = Launch(args, o);
    ::close(fds[1]);
    std::string text;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, MsLeft(end)) <= 0) break;
        char buffer[256];
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fds[0]);
    if (output != nullptr) *output = text;
    int status = 0;
    if (!WaitEnd(pid, MsLeft(end), &status)) {
        Stop(pid);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A screen image, top row first, each pixel as 0xRRGGBB.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

uint32_t Little(const Bytes& b, size_t at, int size) {
    uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<size_t>(i)];
    return v;
}

// Reads the screenshot: an 800 x 600 24-bit bitmap, bottom row first. Empty when it is not one.
Image ReadScreenshot(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const Bytes b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Image image;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || Little(b, 18, 4) != ScreenWidth ||
        Little(b, 22, 4) != ScreenHeight || Little(b, 28, 2) != 24 || Little(b, 30, 4) != 0)
        return image;
    const size_t offset = Little(b, 10, 4);
    if (b.size() != offset + size_t{ScreenWidth} * ScreenHeight * 3) return image;
    image.width = ScreenWidth;
    image.height = ScreenHeight;
    image.pixels.resize(size_t{ScreenWidth} * ScreenHeight);
    for (int y = 0; y < ScreenHeight; ++y)
        for (int x = 0; x < ScreenWidth; ++x) {
            const size_t at = offset + (static_cast<size_t>(ScreenHeight - 1 - y) * ScreenWidth +
                                        static_cast<size_t>(x)) *
                                           3;
            image.pixels[static_cast<size_t>(y) * ScreenWidth + static_cast<size_t>(x)] =
                uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 1]} << 8 | b[at];
        }
    return image;
}

uint32_t RgbOf(GfxColour c) {
    int red = 0, green = 0, blue = 0;
    GfxRgbOfColour(c, &red, &green, &blue);
    return static_cast<uint32_t>(red << 16 | green << 8 | blue);
}

// The picture as the program decodes it, drawn on a headless screen.
Image DecodedPicture(const std::string& path) {
    GfxUseHeadless(true);
    GfxOpenScreen();
    Image image;
    WindowState s;
    if (LoadPicture(s, path.c_str(), 0, 0) != umb::base::ReadResult::Ok) return image;
    image.width = PictureWidth;
    image.height = PictureHeight;
    GfxSelectSurface(nullptr);
    for (int y = 0; y < PictureHeight; ++y)
        for (int x = 0; x < PictureWidth; ++x) image.pixels.push_back(RgbOf(GfxReadPixel(x, y)));
    return image;
}

// The pixels of the rectangle x1,y1-x2,y2 (inclusive) that are not colour; at most a few listed.
std::string Differences(const Image& image, int x1, int y1, int x2, int y2, uint32_t colour) {
    std::string found;
    int count = 0;
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            if (image.At(x, y) != colour && ++count <= 3)
                found += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
    return count == 0 ? "" : std::to_string(count) + " pixels differ:" + found;
}

// Whether text stands in glyph cells from x, y as the font draws it, foreground on background.
bool ShowsText(const Image& image, int x, int y, const std::string& text, uint32_t fg,
               uint32_t bg) {
    for (size_t i = 0; i < text.size(); ++i)
        for (int row = 0; row < GlyphHeight; ++row) {
            const unsigned char bits = FontGlyphs[static_cast<unsigned char>(text[i])][row];
            for (int col = 0; col < GlyphWidth; ++col) {
                const uint32_t want = (bits & (0x80 >> col)) != 0 ? fg : bg;
                if (image.At(x + static_cast<int>(i) * GlyphWidth + col, y + row) != want)
                    return false;
            }
        }
    return true;
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool"})
            if (!OnPath(tool))
                GTEST_SKIP() << tool << " is not installed (Debian packages xvfb and xdotool): "
                             << "the window is not tested";
        folder.Enter("umb-window");
        entered = true;
        fs::copy(Game.folder, folder.dir, fs::copy_options::recursive);
        StartServer();
    }

    void TearDown() override {
        XLinkClose(x);
        Stop(game);
        Stop(server);
        if (entered) folder.Leave();
    }

    // Starts a virtual X server on a free display number, which it names on a pipe when ready.
    void StartServer() {
        int fds[2];
        ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        LaunchOptions o;
        o.outPath = (folder.dir / "xvfb.log").string();
        o.keepFd = fds[1];
        server = Launch({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                         "1024x768x24", "-nolisten", "tcp", "-noreset"},
                        o);
        ::close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (::poll(&p, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        // The game and the tools it starts find the server here, and the game opens a window.
        const std::string display = ":" + number;
        ::setenv("DISPLAY", display.c_str(), 1);
        ::unsetenv("UMB_DRIVER");
        // A window closed by the player ends the program through main, where a sanitized build
        // checks for leaks; the window system's libraries (SDL's X11 and D-Bus parts) keep
        // memory to the end, some in libraries SDL has unloaded, which no suppression can name.
        // The program that opens a window is checked for every memory error, but not for leaks.
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        x = XLinkOpen(display);
        ASSERT_NE(x, nullptr);
    }

    // Starts the game (another in the folder when named) in its window and waits until the
    // window is shown and has the keyboard.
    void StartGame(const std::string& name = Game.name) {
        LaunchOptions o;
        o.outPath = (folder.dir / "umb.log").string();
        game = Launch({UMB_BINARY, name}, o);
        std::string found;
        ASSERT_EQ(Xdo({"search", "--sync", "--onlyvisible", "--pid", std::to_string(game)}, &found),
                  0)
            << "no window appeared; the program said: " << Log();
        window = std::stoul(found);
        ASSERT_EQ(Xdo({"windowfocus", "--sync", std::to_string(window)}), 0);
    }

    int Xdo(std::vector<std::string> args, std::string* output = nullptr) {
        args.insert(args.begin(), "xdotool");
        return RunTool(args, 10000, output);
    }

    // Presses Ctrl+Print Screen and reads the bitmap once the program has written it whole.
    Image Screenshot() {
        fs::remove("scrshot.bmp");
        EXPECT_EQ(Xdo({"key", "ctrl+Print"}), 0);
        Image image;
        WaitFor(5000, [&] {
            image = ReadScreenshot("scrshot.bmp");
            return image.width != 0;
        });
        return image;
    }

    // Milliseconds the game took to end after now; status holds how it ended.
    long EndTime(int* status) {
        const auto start = Clock::now();
        if (!WaitEnd(game, 5000, status)) return -1;
        game = -1;
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    }

    std::string Log() {
        std::ifstream in(folder.dir / "umb.log");
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    TempFolder folder;
    bool entered = false;
    pid_t server = -1;
    pid_t game = -1;
    XLink* x = nullptr;
    unsigned long window = 0;
};

// The message area's bottom line, where the command line is edited.
constexpr int CommandLineX = 4;
constexpr int CommandLineY = 580;

TEST_F(WindowTest, TypedCommandPictureAndFramesShowAndClosingEndsTheGame) {
    const Image picture = DecodedPicture(Game.picture);
    ASSERT_EQ(picture.width, PictureWidth) << "cannot decode " << Game.picture;
    ASSERT_NO_FATAL_FAILURE(StartGame());

    // The way to the first prompt, then the command, not yet sent.
    for (const std::string& key : Game.opening) ASSERT_EQ(Xdo({"key", key}), 0);
    ASSERT_EQ(Xdo({"type", "--delay", "20", Game.command}), 0);
    const Image typed = Screenshot();
    ASSERT_EQ(typed.width, ScreenWidth) << "no screenshot; the program said: " << Log();

    int wrong = 0;
    for (int y = 0; y < PictureHeight; ++y)
        for (int px = 0; px < PictureWidth; ++px) wrong += typed.At(px, y) != picture.At(px, y);
    EXPECT_EQ(wrong, 0) << "pixels of the picture area that are not the picture's";

    // The frames in the text colour, the gaps inside them in the background colour; the picture
    // covers its frame's top and left lines.
    const uint32_t ink = typed.At(ScreenWidth - 1, ScreenHeight - 1);
    const uint32_t paper = typed.At(2, ScreenHeight - 3);
    ASSERT_NE(ink, paper);
    for (const auto& [x1, y1, x2, y2] :
         {std::array<int, 4>{0, 256, 384, 320}, {384, 0, 799, 320}, {0, 320, 799, 599}}) {
        const std::string box = std::to_string(x1) + "," + std::to_string(y1) + "-" +
                                std::to_string(x2) + "," + std::to_string(y2);
        EXPECT_EQ(Differences(typed, x1, y1, x2, y1, ink), "") << "top of " << box;
        EXPECT_EQ(Differences(typed, x1, y2, x2, y2, ink), "") << "bottom of " << box;
        EXPECT_EQ(Differences(typed, x1, y1, x1, y2, ink), "") << "left of " << box;
        EXPECT_EQ(Differences(typed, x2, y1, x2, y2, ink), "") << "right of " << box;
        EXPECT_EQ(Differences(typed, x1 + 1, y2 - 3, x2 - 1, y2 - 1, paper), "")
            << "inside the bottom of " << box;
    }
    EXPECT_EQ(Differences(typed, 384, 0, 384, 256, ink), "") << "right of the picture frame";
    EXPECT_EQ(Differences(typed, 0, 256, 384, 256, ink), "") << "bottom of the picture frame";

    const std::string line = Game.prompt + Game.command;
    EXPECT_TRUE(ShowsText(typed, CommandLineX, CommandLineY, line, ink, paper))
        << "the command line does not show " << line;

    // The window shows the screen as it is, once it has caught up.
    EXPECT_TRUE(WaitFor(3000, [&] {
        return XLinkWindowPixels(x, window, ScreenWidth, ScreenHeight) == typed.pixels;
    })) << "the window does not show the screen";

    // Sent, the command moves up into the message area and the command line is empty again.
    ASSERT_EQ(Xdo({"key", "Return"}), 0);
    const Image sent = Screenshot();
    ASSERT_EQ(sent.width, ScreenWidth) << "no second screenshot; the program said: " << Log();
    EXPECT_TRUE(ShowsText(sent, CommandLineX, CommandLineY, Game.prompt, ink, paper));
    EXPECT_EQ(Differences(sent, CommandLineX + GlyphWidth * static_cast<int>(line.size()),
                          CommandLineY, 796, CommandLineY + GlyphHeight - 1, paper),
              "")
        << "the command line is not empty after Enter";
    bool echoed = false;
    for (int y = CommandLineY - LineHeight; y >= 324 && !echoed; y -= LineHeight)
        echoed = ShowsText(sent, CommandLineX, y, line, ink, paper);
    EXPECT_TRUE(echoed) << "the message area does not show the command sent: " << line;

    XLinkAskToClose(x, window);
    int status = 0;
    const long ms = EndTime(&status);
    ASSERT_GE(ms, 0) << "the game did not end when its window was closed";
    EXPECT_LT(ms, 2000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

// Ctrl+Z asks to take back the last command: no "z" is typed and nothing is sent; the line
// moves up showing the word it stands for, the program says there is nothing to take back yet,
// and the half-typed line waits on the next command line.
TEST_F(WindowTest, CtrlZTypesNothingAndKeepsTheHalfTypedLine) {
    StartGame();
    for (const std::string& key : Game.opening) ASSERT_EQ(Xdo({"key", key}), 0);
    const std::string half = Game.prompt + Game.command.substr(0, 2);
    ASSERT_EQ(Xdo({"type", "--delay", "20", Game.command.substr(0, 2)}), 0);
    ASSERT_EQ(Xdo({"key", "ctrl+z"}), 0);
    const Image shown = Screenshot();
    ASSERT_EQ(shown.width, ScreenWidth) << "no screenshot; the program said: " << Log();
    const uint32_t ink = shown.At(ScreenWidth - 1, ScreenHeight - 1);
    const uint32_t paper = shown.At(2, ScreenHeight - 3);
    const int cursorEnd = CommandLineX + GlyphWidth * static_cast<int>(half.size() + 1);
    EXPECT_TRUE(ShowsText(shown, CommandLineX, CommandLineY, half + "_", ink, paper))
        << "the command line does not show " << half << " again";
    EXPECT_EQ(
        Differences(shown, cursorEnd, CommandLineY, 796, CommandLineY + GlyphHeight - 1, paper), "")
        << "a z was typed";
    const int above = CommandLineY - LineHeight;
    EXPECT_TRUE(ShowsText(shown, CommandLineX, above, "Nothing to undo. ", ink, paper));
    EXPECT_TRUE(
        ShowsText(shown, CommandLineX, above - LineHeight, Game.prompt + "undo ", ink, paper))
        << "the message area does not show Ctrl+Z as the word";
}

// Accented letters typed on the keyboard reach the line in the game's code page: "è" is 0x8A.
TEST_F(WindowTest, AccentedLettersAreTyped) {
    StartGame();
    for (const std::string& key : Game.opening) ASSERT_EQ(Xdo({"key", key}), 0);
    // "è" gets a key of its own first: typed through a passing change of the keyboard's map, it
    // may be read after the change was undone.
    ASSERT_TRUE(XLinkMapKey(x, "egrave"));
    ASSERT_EQ(Xdo({"key", "--delay", "20", "l", "egrave", "v", "e"}), 0);
    const Image shown = Screenshot();
    ASSERT_EQ(shown.width, ScreenWidth) << "no screenshot; the program said: " << Log();
    const uint32_t ink = shown.At(ScreenWidth - 1, ScreenHeight - 1);
    const uint32_t paper = shown.At(2, ScreenHeight - 3);
    EXPECT_TRUE(ShowsText(shown, CommandLineX, CommandLineY, Game.prompt + "l\x8Ave_ ", ink, paper))
        << "the command line does not show l\x8Ave";
}

// A command whose script loops for ever keeps the game thread busy, and one that pauses for
// half a minute keeps it waiting; either way the window closes and the game ends at once, as the
// player's own end does.
TEST_F(WindowTest, ClosingTheWindowEndsARunawayTurn) {
    for (const char* actions : {"while verb loop\nadd spins 1\n", "if verb loop\npause -30000\n"}) {
        SCOPED_TRACE(actions);
        std::ofstream("loop.adv") << "[System]\nStartLocation=1\n[Locations]\n#1,Room,,0\n"
                                     "[Verbs]\n#30,loop\n[Vars]\nspins\n[Actions]\n"
                                  << actions;
        ASSERT_NO_FATAL_FAILURE(StartGame("loop"));
        ASSERT_EQ(Xdo({"key", "n"}), 0);  // no saved game to restore
        ASSERT_EQ(Xdo({"type", "--delay", "20", "loop"}), 0);
        ASSERT_EQ(Xdo({"key", "Return"}), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        int status = 0;
        ASSERT_FALSE(WaitEnd(game, 0, &status)) << "the game ended before its window was closed";
        XLinkAskToClose(x, window);
        const long ms = EndTime(&status);
        ASSERT_GE(ms, 0) << "the game did not end when its window was closed";
        EXPECT_LT(ms, 2000);
        ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

// A window destroyed under the program, or its display connection cut, ends the game as well.
class WindowLost : public WindowTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(WindowLost, EndsTheGameAtOnce) {
    ASSERT_NO_FATAL_FAILURE(StartGame());
    ASSERT_EQ(Xdo({GetParam(), std::to_string(window)}), 0);
    int status = 0;
    const long ms = EndTime(&status);
    ASSERT_GE(ms, 0) << "the game did not end after " << GetParam();
    EXPECT_LT(ms, 2000);
    EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
}

INSTANTIATE_TEST_SUITE_P(Xdotool, WindowLost, ::testing::Values("windowclose", "windowkill"),
                         [](const ::testing::TestParamInfo<const char*>& c) {
                             return TestNameOf(c.param);
                         });

// With a display there, a run from a terminal says at the terminal what a box would show and
// goes on: nothing waits for a click, so a script or a build never hangs on one.
TEST_F(WindowTest, ARunFromATerminalNeverWaitsOnABox) {
    std::ofstream("boxed.adv") << "[Locations]\n#0,Dark,,0\n#1,Hall,,0\nA hall.\n";
    const std::string program = std::string("'") + UMB_BINARY + "'";
    std::string said;
    EXPECT_EQ(RunTool({"script", "-qec", program + " -c boxed", "/dev/null"}, 8000, &said), 0)
        << said;
    EXPECT_NE(said.find("Conversion complete"), std::string::npos) << said;
    EXPECT_TRUE(fs::exists("boxed.umb"));
    EXPECT_EQ(RunTool({"script", "-qec", program + " --version", "/dev/null"}, 8000, &said), 0);
    EXPECT_EQ(said.find("U.M.B. 2.4.0"), said.rfind("U.M.B. 2.4.0")) << "printed twice: " << said;
    // The author's tools show no box even without a terminal.
    EXPECT_EQ(RunTool({UMB_BINARY, "--check", "missing"}, 8000, &said), 1) << said;
}

}  // namespace
