// test_terminal.cpp - the terminal front end on pseudo-terminals and pipes: keys, output, the line
// editor, plain lines, pictures in half blocks, and the terminal's modes put back on every exit.
#include "ui/term/term_front.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

using namespace umb::ui;
using namespace umb::engine;
using namespace umb::gfx;

namespace {

void WriteAll(int fd, const std::string& bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Everything fd offers until it stays quiet for quietMs.
std::string Drain(int fd, int quietMs = 40) {
    std::string got;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, quietMs) <= 0) return got;
        char buf[4096];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) return got;
        got.append(buf, static_cast<size_t>(n));
    }
}

// The text with escape sequences and carriage returns taken out.
std::string Visible(const std::string& out) {
    std::string text;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\r') continue;
        if (out[i] != '\x1b') {
            text.push_back(out[i]);
            continue;
        }
        if (i + 1 < out.size() && out[i + 1] == '[') {
            i += 2;
            while (i < out.size() && !(out[i] >= 0x40 && out[i] <= 0x7E)) ++i;
        } else {
            ++i;  // ESC 7, ESC 8
        }
    }
    return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Waits for the child to change as options say (waitpid's), at most two seconds; a child still
// running then is killed, so that a test fails rather than hangs.
bool WaitChild(pid_t child, int& status, int options = 0) {
    for (int i = 0; i < 200; ++i) {
        const pid_t got = waitpid(child, &status, options | WNOHANG);
        if (got == child) return true;
        if (got < 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return false;
}

// How many times part occurs in text.
size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool SameModes(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// --- The device on pipes: keys as bytes arrive
// ----------------------------------------------------

// Keys typed into one pipe, what is shown read from another.
class PipeTest : public ::testing::Test {
  protected:
    int keys[2] = {-1, -1};
    int shown[2] = {-1, -1};
    void SetUp() override {
        ASSERT_EQ(pipe(keys), 0);
        ASSERT_EQ(pipe(shown), 0);
    }
    void TearDown() override {
        for (int fd : {keys[0], keys[1], shown[0], shown[1]})
            if (fd >= 0) close(fd);
    }
};

class KeyTest : public PipeTest {
  protected:
    TermDevice dev;
    void SetUp() override {
        PipeTest::SetUp();
        ASSERT_EQ(TermOpen(dev, keys[0], shown[1], true), 0);
    }
    void TearDown() override {
        TermClose(dev);
        PipeTest::TearDown();
    }
};

TEST_F(KeyTest, BytesBecomeTheGameKeys) {
    WriteAll(keys[1], "\xc3\xa8"                  // è, code page 850's 0x8A
                      "\x1b[A\x1b[B\x1bOA\x1bOB"  // arrows, in both the CSI and SS3 forms
                      "\x7f\x08\r\n"              // both backspaces, both line ends
                      "\x1b[1;5C"                 // Ctrl+Right: nothing the game knows
                      "\x1b[200~"                 // the start of a paste, swallowed whole
                      "\x03\x1a\x04"              // Ctrl+C, Ctrl+Z, Ctrl+D as bytes
                      "\xe2\x82\xac"              // the euro sign: not in the code page
                      "\xff\x80\xc3("             // bytes that start no character, a cut one
                      "\xed\xa0\x80"              // a UTF-16 surrogate written as UTF-8
                      "\xc0\xaf"                  // an overlong slash
                      "z");
    const int expected[] = {0x8A,     KeyUp,    KeyDown, KeyUp, KeyDown, KeyBackspace, KeyBackspace,
                            KeyEnter, KeyEnter, 3,       26,    4,       '(',          'z'};
    for (const int key : expected) EXPECT_EQ(TermReadKey(dev, 200), key);
    EXPECT_EQ(TermReadKey(dev, 20), TermNoKey);
}

TEST_F(KeyTest, EscapeAloneIsTheEscapeKeyAndTheEndIsReported) {
    WriteAll(keys[1], "\x1b");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TermReadKey(dev, 1000), KeyEscape);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    WriteAll(keys[1], "\x1b\x1b");  // Escape twice
    EXPECT_EQ(TermReadKey(dev, 200), KeyEscape);
    EXPECT_EQ(TermReadKey(dev, 200), KeyEscape);
    WriteAll(keys[1], "\x1b"
                      "a");  // Alt+A: no key of the game
    EXPECT_EQ(TermReadKey(dev, 100), TermNoKey);
    close(keys[1]);
    keys[1] = -1;
    EXPECT_EQ(TermReadKey(dev, 200), TermEnded);
    EXPECT_EQ(TermReadKey(dev, 200), TermEnded);
}

TEST_F(KeyTest, TextIsWrittenAsUtf8WithoutControlBytes) {
    TermWriteText(dev, "caf\x82 \x8A\x1b\x07", 8);
    EXPECT_EQ(TermFlush(dev), 0);
    const std::string out = Drain(shown[0]);
    EXPECT_EQ(out.substr(0, 8), "caf\xc3\xa9 \xc3\xa8");
    EXPECT_EQ(out.find('\x1b'), std::string::npos);  // a game's byte 27 is no escape
    EXPECT_EQ(out.find('\x07'), std::string::npos);
}

TEST_F(KeyTest, LinesAreReadWholeAndTurnedToTheCodePage) {
    std::string line;
    WriteAll(keys[1], "prends la cl\xc3\xa9\t\x1b\n\nlast");
    EXPECT_EQ(TermReadLine(dev, line), 0);
    EXPECT_EQ(line, "prends la cl\x82");
    EXPECT_EQ(TermReadLine(dev, line), 0);
    EXPECT_EQ(line, "");
    close(keys[1]);
    keys[1] = -1;
    EXPECT_EQ(TermReadLine(dev, line), 0);  // a last line without its line feed still counts
    EXPECT_EQ(line, "last");
    EXPECT_EQ(TermReadLine(dev, line), TermEnded);
}

// --- The front end on a pseudo-terminal
// ------------------------------------------------------------

class PtyTest : public ::testing::Test {
  protected:
    int master = -1;
    int slave = -1;
    TerminalState s;
    termios before{};

    void SetUp() override {
        winsize ws{};
        ws.ws_col = 40;
        ws.ws_row = 12;
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, &ws), 0);
        ASSERT_EQ(tcgetattr(slave, &before), 0);
    }
    void TearDown() override {
        TerminalFrontEnd.close(&s);
        close(master);
        close(slave);
    }
    void Open() { ASSERT_EQ(OpenTerminalOn(s, slave, slave), 0) << s.FrontFailure; }
    void Resize(int cols, int rows = 12) {
        winsize ws{};
        ws.ws_col = static_cast<unsigned short>(cols);
        ws.ws_row = static_cast<unsigned short>(rows);
        ASSERT_EQ(ioctl(master, TIOCSWINSZ, &ws), 0);
        raise(SIGWINCH);  // the terminal's own signal goes to its foreground group, not to us
    }
    // What the terminal shows so far: the front end's output is collected until it waits for a
    // key, so it is written out first.
    std::string Shown() {
        std::thread writer;
        if (s.Text != nullptr) {
            TermWrite(s.Text->dev, s.Text->held);  // what waits for a picture that may follow
            s.Text->held.clear();
            // Written while read: a picture is more than the terminal's buffer holds.
            writer = std::thread([this] {
                TermFlush(s.Text->dev);
                if (s.Text->log.out != nullptr) std::fflush(s.Text->log.out);
            });
        }
        std::string got = Drain(master);
        if (writer.joinable()) writer.join();
        return got + Drain(master, 5);
    }
    // Returns the pid of a child process that opens the terminal on the slave end and plays. As
    // a shell starts a job, the child has a process group of its own (unless ownGroup is false):
    // the system stops it on SIGTSTP even where the tests themselves run without a controlling
    // terminal (under setsid), whose process group no shell could continue.
    template <typename Play> pid_t Player(Play play, bool ownGroup = true) {
        const pid_t child = fork();
        if (child > 0 && ownGroup) setpgid(child, child);  // set on both sides: no race
        if (child != 0) return child;
        if (ownGroup) setpgid(0, 0);
        TerminalState own;
        if (OpenTerminalOn(own, slave, slave) != 0) _exit(3);
        play(own);
        _exit(4);
    }
    LineResult ReadLine(std::string& typed) {
        char buffer[128];
        const LineResult r = TerminalFrontEnd.readLine(&s, ">", buffer, 127);
        typed = buffer;
        return r;
    }
};

TEST_F(PtyTest, TextWrapsAtTheWidthAndFollowsAResize) {
    Open();
    const char* text = "The lighthouse keeper left his logbook open on the desk by the "
                       "window, its last page smudged with salt.";
    TerminalFrontEnd.showMessage(&s, text);
    std::vector<std::string> lines = SplitLines(Visible(Shown()));
    ASSERT_GE(lines.size(), 3u);
    for (const std::string& l : lines) EXPECT_LE(l.size(), 40u) << l;
    EXPECT_EQ(lines[0], "The lighthouse keeper left his logbook");

    Resize(60);
    TerminalFrontEnd.showMessage(&s, text);
    lines = SplitLines(Visible(Shown()));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "The lighthouse keeper left his logbook open on the desk by");

    TerminalFrontEnd.showMessage(&s, "one\\two");  // an author's backslash breaks the line
    TerminalFrontEnd.showNote(&s, "picture a\\b.png: not a PNG file");  // a note's does not
    EXPECT_EQ(SplitLines(Visible(Shown())),
              (std::vector<std::string>{"one", "two", "picture a\\b.png: not a PNG file"}));
}

TEST_F(PtyTest, ALocationIsShownWholeOnceThenOnlyWhatChanged) {
    Open();
    LocationView v;
    v.name = "Lamp Room";
    v.status = "Score: 0";
    v.texts[0] = "Glass all round.";
    v.texts[1] = "You can see: a lamp.";
    v.texts[2] = "Exits: down.";
    v.textCount = 3;
    TerminalFrontEnd.showLocation(&s, v);
    const std::string first = Shown();
    EXPECT_NE(first.find("\x1b[1mLamp Room\x1b[0m"), std::string::npos);  // the name in bold
    EXPECT_NE(first.find("\x1b[7mScore: 0\x1b[0m"), std::string::npos);   // the status reversed
    EXPECT_EQ(SplitLines(Visible(first)),
              (std::vector<std::string>{"", "Lamp Room", "Glass all round.", "You can see: a lamp.",
                                        "Exits: down.", "Score: 0"}));
    v.texts[1] = "Exits: down.";  // the lamp was taken: nothing new to show
    v.textCount = 2;
    TerminalFrontEnd.showLocation(&s, v);
    EXPECT_EQ(Visible(Shown()), "");
    v.texts[1] = "You can see: a coat.";
    v.texts[2] = "Exits: down.";
    v.textCount = 3;
    TerminalFrontEnd.showLocation(&s, v);
    EXPECT_EQ(Visible(Shown()), "You can see: a coat.\n");
    v.again = true;
    TerminalFrontEnd.showLocation(&s, v);
    EXPECT_EQ(SplitLines(Visible(Shown())).size(), 5u);  // the status line is the same
    v.again = false;
    v.status = "Score: 5";
    TerminalFrontEnd.showLocation(&s, v);
    EXPECT_EQ(Visible(Shown()), "Score: 5\n");
}

TEST_F(PtyTest, TheLineEditorKeepsHistoryAndTakesTheControlKeys) {
    Open();
    std::string typed;
    WriteAll(master, "get l\xc3\xa8mp\r");
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(typed, "get l\x8Amp");
    WriteAll(master, "north\rxyz\x7f\x7f\x7fsouth\r");
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(typed, "north");
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(typed, "south");
    WriteAll(master, "\x1b[A\x1b[A\r");  // two back: north
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(typed, "north");
    WriteAll(master, "\x1b[A\x1b[A\x1b[B\r");  // back two, forward one
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(typed, "north");
    WriteAll(master, "wrong words\x15right\r");  // Ctrl+U clears
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(typed, "right");
    Shown();
    WriteAll(master, "hal\x1a");  // Ctrl+Z: undo, whatever was typed
    EXPECT_EQ(ReadLine(typed), LineResult::Undo);
    EXPECT_EQ(typed, "");
    WriteAll(master, "l\r");  // the half-typed line is kept to finish
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(typed, "hall");
    WriteAll(master, "hal\x03");  // Ctrl+C: quit
    EXPECT_EQ(ReadLine(typed), LineResult::Quit);
    EXPECT_EQ(typed, "");
    WriteAll(master, "x\x04\x7f\x04");  // Ctrl+D counts only on an empty line
    EXPECT_EQ(ReadLine(typed), LineResult::Quit);
    WriteAll(master, "\x1b[A\r");  // undone and quit lines are no history
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(typed, "hall");
    TerminalFrontEnd.newGame(&s);
    WriteAll(master, "\x1b[A\r");
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(typed, "");

    // What the player typed is echoed as typed, in UTF-8.
    Shown();
    WriteAll(master, "caf\xc3\xa9\r");
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(Visible(Shown()), ">caf\xc3\xa9\n");
}

TEST_F(PtyTest, ALineLongerThanTheTerminalScrollsAndIsLeftWhole) {
    Open();
    std::string typed;
    const std::string words = "say the quick brown fox jumps over the lazy dog again and again";
    WriteAll(master, words + "\r");
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(typed, words);
    const std::string out = Shown();
    // While typing, every redraw fits on the one line a carriage return goes back to.
    const size_t end = out.rfind("\r\x1b[K");
    ASSERT_NE(end, std::string::npos);
    size_t from = 0;
    for (size_t cr; (cr = out.find('\r', from)) != std::string::npos && cr < end; from = cr + 1)
        EXPECT_LE(Visible(out.substr(from, cr - from)).size(), 40u);
    // Then the whole line is left, wrapped, for the scrollback.
    EXPECT_EQ(SplitLines(Visible(out.substr(end))),
              (std::vector<std::string>{">say the quick brown fox jumps over the",
                                        "lazy dog again and again"}));
}

// A resize while the player types redraws the line at once, for the new width.
TEST_F(PtyTest, AResizeRedrawsTheLineBeingTyped) {
    Open();
    WriteAll(master, "open the door");
    const pthread_t reader = pthread_self();
    std::string redrawn;
    std::thread player([&] {
        Drain(master, 100);  // the prompt and the echo
        winsize ws{};
        ws.ws_col = 10;
        ws.ws_row = 12;
        ioctl(master, TIOCSWINSZ, &ws);
        pthread_kill(reader, SIGWINCH);  // to the thread that waits for the key
        redrawn = Drain(master, 100);
        WriteAll(master, "\r");
    });
    std::string typed;
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    player.join();
    EXPECT_EQ(typed, "open the door");
    EXPECT_EQ(redrawn, "\r>the door\x1b[K");  // the end that fits 10 columns with the cursor
}

TEST_F(PtyTest, QuestionsTakeOneKeyAndEchoIt) {
    Open();
    WriteAll(master, "xq\x1b[AN");
    EXPECT_EQ(TerminalFrontEnd.askYesNo(&s, "Really quit? ", 'y', 'n'), 0);
    EXPECT_EQ(Visible(Shown()), "Really quit? N\n");
    // Escape is refused when the count is negative; the 2 comes later, or the Escape before it
    // would be Alt+2.
    WriteAll(master, "0a4\x1b");
    std::thread later([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        WriteAll(master, "2");
    });
    EXPECT_EQ(TerminalFrontEnd.askChoice(&s, nullptr, -3), 2);
    later.join();
    EXPECT_EQ(Visible(Shown()), "(1:3): 2\n");
    WriteAll(master, "\x1b");
    EXPECT_EQ(TerminalFrontEnd.askChoice(&s, "Which slot? ", 9), 0);
}

TEST_F(PtyTest, PausesEndOnAKeyOrTheirTime) {
    Open();
    const int waited = TerminalFrontEnd.waitKeyOrTime(&s, 60);
    EXPECT_GE(waited, 60);
    EXPECT_LT(waited, 1000);
    WriteAll(master, "k");
    EXPECT_EQ(TerminalFrontEnd.waitKeyOrTime(&s, 5000), 'k');
    WriteAll(master, "m");
    EXPECT_GE(TerminalFrontEnd.waitKeyOrTime(&s, -50), 50);  // keys wait for the next read
    EXPECT_EQ(TerminalFrontEnd.waitKeyOrTime(&s, 0), 'm');
}

TEST_F(PtyTest, TheModesArePutBackOnClose) {
    Open();
    termios during{};
    ASSERT_EQ(tcgetattr(slave, &during), 0);
    EXPECT_EQ(during.c_lflag & (ICANON | ECHO | ISIG), 0u);
    TerminalFrontEnd.close(&s);
    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_TRUE(SameModes(before, after));
}

TEST_F(PtyTest, TheStatusLineHeldOnTopIsUndoneOnClose) {
    s.Options.StatusTop = true;
    Open();
    LocationView v;
    v.name = "Quay";
    v.status = "Moves: 3";
    TerminalFrontEnd.showLocation(&s, v);
    std::string out = Shown();
    EXPECT_NE(out.find("\x1b[2;12r"), std::string::npos);  // the rest scrolls below the top line
    EXPECT_NE(out.find("\x1b[1;1H\x1b[7mMoves: 3"), std::string::npos);
    TerminalFrontEnd.close(&s);
    out = Shown();
    EXPECT_NE(out.find("\x1b[r"), std::string::npos);
}

// A signal that ends the program leaves the terminal as it was found, and the program's end
// still tells which signal it was.
TEST_F(PtyTest, SignalsThatEndTheProgramPutTheModesBackFirst) {
    for (const int sig : {SIGTERM, SIGHUP, SIGSEGV, SIGABRT}) {
        const pid_t child = Player([sig](TerminalState&) { raise(sig); });
        ASSERT_GE(child, 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << sig << " " << status;
        EXPECT_EQ(WTERMSIG(status), sig);
        termios after{};
        ASSERT_EQ(tcgetattr(slave, &after), 0);
        EXPECT_TRUE(SameModes(before, after)) << sig;
    }
}

// A terminal that takes no more output must not keep SIGTERM from ending the program.
TEST_F(PtyTest, SIGTERMEndsTheProgramWhileTheTerminalTakesNoOutput) {
    const pid_t child = Player([](TerminalState& own) {
        TermWrite(own.Text->dev, std::string(1 << 20, 'x'));  // nobody reads the other end
        TermFlush(own.Text->dev);
    });
    ASSERT_GE(child, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(child, SIGTERM);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 200 && ended == 0; ++i) {
        ended = waitpid(child, &status, WNOHANG);
        if (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ended == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "still running two seconds after SIGTERM";
    }
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_TRUE(SameModes(before, after));
}

// Stopped from outside, the program hands the terminal back as it was; continued, it takes its
// own modes again.
TEST_F(PtyTest, AStopHandsTheTerminalBackAndAContinueTakesItAgain) {
    const pid_t child = Player([](TerminalState& own) {
        char buffer[128];
        TerminalFrontEnd.readLine(&own, ">", buffer, 127);
    });
    ASSERT_GE(child, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(child, SIGTSTP);
    int status = 0;
    ASSERT_TRUE(WaitChild(child, status, WUNTRACED)) << "not stopped by SIGTSTP";
    EXPECT_TRUE(WIFSTOPPED(status));
    termios modes{};
    ASSERT_EQ(tcgetattr(slave, &modes), 0);
    EXPECT_TRUE(SameModes(before, modes));
    kill(child, SIGCONT);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(tcgetattr(slave, &modes), 0);
    EXPECT_EQ(modes.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_NE(Drain(master).find("\r>\x1b[K"), std::string::npos);  // the line shown anew
    kill(child, SIGTERM);
    ASSERT_TRUE(WaitChild(child, status));
    ASSERT_EQ(tcgetattr(slave, &modes), 0);
    EXPECT_TRUE(SameModes(before, modes));
}

// Where no shell could continue the program (its process group orphaned), the system drops the
// stop: the program goes on, in its own modes again, and a later stop is handled as well.
TEST_F(PtyTest, AStopTheSystemDropsLeavesTheGameItsModes) {
    const pid_t child = Player(
        [](TerminalState& own) {
            if (setsid() < 0) _exit(20);  // a session of its own: nobody to continue it
            for (int i = 0; i < 2; ++i) {
                raise(SIGTSTP);
                termios now{};
                if (tcgetattr(own.Text->dev.in, &now) != 0) _exit(21);
                if ((now.c_lflag & (ICANON | ECHO | ISIG)) != 0) _exit(22 + i);
            }
            _exit(0);
        },
        false);
    ASSERT_GE(child, 0);
    int status = 0;
    ASSERT_TRUE(WaitChild(child, status));
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(TerminalOpen, RefusesWhatIsNoTerminalUnlessPlain) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    TerminalState s;
    EXPECT_EQ(OpenTerminalOn(s, fds[0], fds[1]), -1);
    EXPECT_STREQ(s.FrontFailure, "standard input is not a terminal");
    EXPECT_EQ(s.Text, nullptr);
    s.Options.Plain = true;
    EXPECT_EQ(OpenTerminalOn(s, fds[0], fds[1]), 0);
    TerminalFrontEnd.close(&s);
    close(fds[0]);
    close(fds[1]);
}

// --- Plain lines ---------------------------------------------------------------------------------

TEST_F(PtyTest, PlainLinesHoldNoEscapeSequence) {
    s.Options.Plain = true;
    s.Options.StatusTop = true;  // ignored: plain lines never move the cursor
    Open();
    termios during{};
    ASSERT_EQ(tcgetattr(slave, &during), 0);
    EXPECT_NE(during.c_lflag & ICANON, 0u);  // the terminal's own line editing
    LocationView v;
    v.name = "Lamp Room";
    v.status = "Score: 1";
    v.texts[0] = "Glass all round.";
    v.textCount = 1;
    TerminalFrontEnd.showLocation(&s, v);
    TerminalFrontEnd.showMessage(&s, "A gull cries.\\It is late.");
    WriteAll(master, "maybe\ny\n");
    EXPECT_EQ(TerminalFrontEnd.askYesNo(&s, "Light the lamp? ", 'y', 'n'), 1);
    WriteAll(master, "2\n");
    EXPECT_EQ(TerminalFrontEnd.askChoice(&s, "Slot? ", 3), 2);
    WriteAll(master, "take l\xc3\xa8mp\n");
    std::string typed;
    EXPECT_EQ(ReadLine(typed), LineResult::Typed);
    EXPECT_EQ(typed, "take l\x8Amp");
    const std::string out = Shown();
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
    EXPECT_NE(out.find("Lamp Room\r\nGlass all round.\r\nScore: 1\r\nA gull cries.\r\nIt is late."),
              std::string::npos)
        << out;
    // The question says which keys answer it, and is asked again after a line that does not.
    const size_t asked = out.find("Light the lamp? [y/n] ");
    ASSERT_NE(asked, std::string::npos) << out;
    EXPECT_NE(out.find("Light the lamp? [y/n] ", asked + 1), std::string::npos) << out;
    EXPECT_NE(out.find("Slot? (1-3, 0 for none) "), std::string::npos) << out;
    TerminalFrontEnd.close(&s);
    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_TRUE(SameModes(before, after));
}

// Plain lines from a pipe: what is typed is written too, and the end of the input is a quit the
// first time and the end of the game when the game asks again: the question answers no, and
// every read after it finds the input ended.
void PlayUntilTheInputEnds() {
    int keys[2], shown[2];
    if (pipe(keys) != 0 || pipe(shown) != 0) _exit(5);
    TerminalState s;
    s.Options.Plain = true;
    if (OpenTerminalOn(s, keys[0], shown[1]) != 0) _exit(6);
    if (write(keys[1], "look\n", 5) != 5) _exit(7);
    close(keys[1]);
    char buffer[128];
    if (TerminalFrontEnd.readLine(&s, ">", buffer, 127) != LineResult::Typed) _exit(8);
    if (std::strcmp(buffer, "look") != 0) _exit(9);
    if (TerminalFrontEnd.readLine(&s, ">", buffer, 127) != LineResult::Quit) _exit(10);
    if (TerminalFrontEnd.askYesNo(&s, "Really quit? ", 'y', 'n')) _exit(11);
    if (!TerminalFrontEnd.inputEnded(&s)) _exit(12);
    if (TerminalFrontEnd.readLine(&s, ">", buffer, 127) != LineResult::Ended) _exit(13);
    TerminalFrontEnd.close(&s);
    _exit(0);
}

TEST(PlainPipe, TheEndOfInputQuitsThenEnds) {
    EXPECT_EXIT(PlayUntilTheInputEnds(), testing::ExitedWithCode(0), "");
}

// Plain lines on pipes, as a screen reader's user plays with the input typed ahead.
class PlainTest : public PipeTest {
  protected:
    TerminalState s;
    void SetUp() override {
        PipeTest::SetUp();
        s.Options.Plain = true;
        ASSERT_EQ(OpenTerminalOn(s, keys[0], shown[1]), 0) << s.FrontFailure;
    }
    void TearDown() override {
        TerminalFrontEnd.close(&s);
        PipeTest::TearDown();
    }
    std::string Output() {
        std::fflush(s.Text->log.out);
        return Drain(shown[0], 5);
    }
    std::string ReadLine() {
        char buffer[128];
        EXPECT_EQ(TerminalFrontEnd.readLine(&s, ">", buffer, 127), LineResult::Typed);
        return buffer;
    }
};

// A pause ends on Enter alone, which it takes; a line typed ahead ends it but is left for the
// command it was typed for.
TEST_F(PlainTest, APauseLeavesALineTypedAheadToThePrompt) {
    // The lines after "east" only keep a pause that took too much from waiting for ever.
    WriteAll(keys[1], "north\n\n\neast\nspare\nspare\n");
    TerminalFrontEnd.waitKeyOrTime(&s, 5000);
    TerminalFrontEnd.waitKeyOrTime(&s, 0);
    EXPECT_EQ(ReadLine(), "north");
    EXPECT_EQ(TerminalFrontEnd.waitKeyOrTime(&s, 0), KeyEnter);
    EXPECT_EQ(TerminalFrontEnd.waitKeyOrTime(&s, 5000), KeyEnter);
    EXPECT_EQ(ReadLine(), "east");
}

// The keys a question takes are said once, after the game's own text, in the same words.
TEST_F(PlainTest, AQuestionSaysItsKeysOnce) {
    struct Case {
        const char* prompt;
        int count;  // 0: a yes/no question
        const char* asked;
    };
    const Case cases[] = {
        {nullptr, 3, "(1-3, 0 for none) "},  // in place of the window's "(1:3): "
        {"Which glass? ", 3, "Which glass? (1-3, 0 for none) "},
        {"Slot?", -4, "Slot? (1-4) "},  // no 0 where Escape is refused
        {"Play again? ", 0, "Play again? [y/n] "},
        {"(y/n)? ", 0, "(y/n)? "},  // the game's own default says it already
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        const char* answer = c.count == 0 ? "y" : "1";
        WriteAll(keys[1], std::string(answer) + "\n");
        if (c.count == 0)
            EXPECT_EQ(TerminalFrontEnd.askYesNo(&s, c.prompt, 'y', 'n'), 1);
        else
            EXPECT_EQ(TerminalFrontEnd.askChoice(&s, c.prompt, c.count), 1);
        EXPECT_EQ(Output(), std::string(c.asked) + answer + "\n");  // the answer's echo
    }
}

// The status line is read out when it changes other than by the turn counter alone, and on
// the word "status" unless the game has a verb of that name.
TEST_F(PlainTest, TheStatusLineIsReadWhenItHasNews) {
    struct Step {
        const char* status;
        bool read;
    };
    const Step steps[] = {
        {"Score: 0  Turns: 0", true},
        {"Score: 0  Turns: 1", false},
        {"Score: 0  Turns: 2", false},
        {"Score: 0  Turns: 2", false},
        {"Score: 5  Turns: 3", true},
        {"Score: 5  Turns: 4", false},
        {"Score: 5  Turns: 2", true},  // taken back, or restored: the counter starts again
        {"Score: 5  Turns: 3", false},
        {"Score: 5  Turns: 4  Lamp: lit", true},
        {"Score: 5  Turns: 5  Lamp: lit", false},
    };
    LocationView v;
    v.name = "Lamp Room";
    for (const Step& step : steps) {
        SCOPED_TRACE(step.status);
        v.status = step.status;
        TerminalFrontEnd.showLocation(&s, v);
        const std::string out = Output();
        EXPECT_EQ(out.find(step.status) != std::string::npos, step.read) << out;
    }
    WriteAll(keys[1], " Status \nlook\nstatus\n");
    EXPECT_EQ(ReadLine(), "look");
    std::string out = Output();
    EXPECT_EQ(Occurrences(out, "Score: 5  Turns: 5  Lamp: lit\n"), 1u) << out;
    EXPECT_LT(out.find("Lamp: lit"), out.find("look")) << out;
    s.GameHasStatusVerb = true;  // the game's own "status" comes first
    EXPECT_EQ(ReadLine(), "status");
    TerminalFrontEnd.newGame(&s);
    v.status = "Score: 0  Turns: 1";
    TerminalFrontEnd.showLocation(&s, v);
    EXPECT_NE(Output().find("Score: 0  Turns: 1"), std::string::npos);  // a new game reads it
}

// At the end of the input the question waiting is asked once, and the output ends its line.
TEST(PlainPipe, TheEndOfInputAsksTheLastQuestionOnce) {
    int keys[2], shown[2];
    ASSERT_EQ(pipe(keys), 0);
    ASSERT_EQ(pipe(shown), 0);
    std::fflush(stdout);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(keys[1]);
        close(shown[0]);
        TerminalState s;
        s.Options.Plain = true;
        if (OpenTerminalOn(s, keys[0], shown[1]) != 0) _exit(5);
        if (TerminalFrontEnd.askYesNo(&s, "Play again? ", 'y', 'n')) _exit(6);
        if (!TerminalFrontEnd.inputEnded(&s)) _exit(7);
        TerminalFrontEnd.close(&s);
        _exit(0);
    }
    close(keys[0]);
    close(shown[1]);
    close(keys[1]);  // nothing is typed at all
    std::string out;
    char buf[256];
    for (ssize_t n; (n = read(shown[0], buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<size_t>(n));
    close(shown[0]);
    int status = 0;
    ASSERT_TRUE(WaitChild(child, status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(out, "Play again? [y/n] \n");
}

// --- Pictures ------------------------------------------------------------------------------------

// A location's picture comes above its name; a picture asked for again draws nothing, and one
// that cannot be shown is named for debug mode.
TEST_F(PtyTest, PicturesComeAboveTheLocationAndFailuresAreNamed) {
    setenv("COLORTERM", "truecolor", 1);
    Open();
    unsetenv("COLORTERM");
    const std::string picture = std::string(UMB_EXAMPLES) + "/beacon/pictures/jetty.png";
    LocationView v;
    v.name = "Jetty";
    TerminalFrontEnd.showLocation(&s, v);
    char why[192] = "unchanged";
    EXPECT_EQ(TerminalFrontEnd.showPicture(&s, 7, picture.c_str(), "jetty.png", why, sizeof why),
              PictureResult::Shown);
    EXPECT_STREQ(why, "");
    const std::string out = Shown();
    const size_t block = out.find("\xe2\x96\x80"), name = out.find("Jetty");
    ASSERT_NE(block, std::string::npos);
    EXPECT_LT(block, name);
    EXPECT_EQ(out.substr(0, 2), "\r\n");  // the blank line that opens the location
    // 40 x 12: a third of the rows, 4 lines of two pixel rows, 12 cells wide for the shape.
    EXPECT_EQ(SplitLines(Visible(out)).size(), 1u + 4u + 1u);
    EXPECT_EQ(TerminalFrontEnd.showPicture(&s, 7, picture.c_str(), "jetty.png", why, sizeof why),
              PictureResult::Shown);
    EXPECT_EQ(Shown(), "");
    EXPECT_EQ(TerminalFrontEnd.showPicture(&s, 8, UMB_README, "readme", why, sizeof why),
              PictureResult::Blanked);
    EXPECT_STREQ(why, "picture readme: not a PNG file");
    EXPECT_EQ(Shown(), "");
}

// A picture takes at most a third of the terminal's rows and fits its width, so that the
// location it comes with and the prompt after it stay on the screen.
TEST_F(PtyTest, APictureLeavesRoomForItsLocation) {
    struct Size {
        int cols, rows, lines, cells;
    };
    // 384 x 256 pixels: two pixel rows a line, cells as wide as keeps the shape, 96 at most.
    const Size sizes[] = {{80, 24, 8, 24}, {100, 32, 10, 30}, {200, 100, 32, 96}, {20, 60, 7, 20}};
    const std::string picture = std::string(UMB_EXAMPLES) + "/beacon/pictures/jetty.png";
    for (const Size& size : sizes) {
        SCOPED_TRACE(std::to_string(size.cols) + " x " + std::to_string(size.rows));
        Resize(size.cols, size.rows);
        setenv("COLORTERM", "truecolor", 1);
        Open();
        unsetenv("COLORTERM");
        LocationView v;
        v.name = "Jetty";
        v.status = "Score: 0";
        v.texts[0] = "Planks over black water. The lighthouse stands at the end of the jetty, "
                     "its door ajar.";
        v.texts[1] = "You can see: a rope.";
        v.texts[2] = "Exits: north.";
        v.textCount = 3;
        TerminalFrontEnd.showLocation(&s, v);
        char why[192];
        ASSERT_EQ(
            TerminalFrontEnd.showPicture(&s, 7, picture.c_str(), "jetty.png", why, sizeof why),
            PictureResult::Shown);
        std::string out = Shown();  // more than the terminal holds before it is read
        WriteAll(master, "\r");
        std::string typed;
        ReadLine(typed);
        out += Shown();
        const std::vector<std::string> lines = SplitLines(Visible(out));
        int drawn = 0;
        for (const std::string& line : lines) {
            if (line.find("\xe2\x96\x80") == std::string::npos) continue;
            ++drawn;
            EXPECT_EQ(line.size(), static_cast<size_t>(size.cells) * 3);
        }
        EXPECT_EQ(drawn, size.lines);
        EXPECT_LE(lines.size(), static_cast<size_t>(size.rows));  // the prompt's line ended
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), ">");
        TerminalFrontEnd.close(&s);
        s = TerminalState{};
    }
}

TEST(HalfBlocks, UpperRowIsTheForegroundLowerTheBackground) {
    const GfxColour red = GfxColourFromRgb(255, 0, 0), blue = GfxColourFromRgb(0, 0, 255);
    const GfxColour tiny[] = {red, red, blue, blue};  // 2 x 2: a red row over a blue one
    EXPECT_EQ(RenderHalfBlocks(tiny, 2, 2, 2, 1),
              "\x1b[38;2;255;0;0;48;2;0;0;255m\xe2\x96\x80\xe2\x96\x80\x1b[0m\n");

    // 4 x 4 into 2 cells: each cell averages a 2 x 2 box of the pixels.
    const GfxColour white = GfxColourFromRgb(255, 255, 255), black = 0;
    const GfxColour checks[] = {white, black, red,  red,  black, white, red,  red,
                                blue,  blue,  blue, blue, blue,  blue,  blue, blue};
    EXPECT_EQ(RenderHalfBlocks(checks, 4, 4, 2, 1),
              "\x1b[38;2;128;128;128;48;2;0;0;255m\xe2\x96\x80"
              "\x1b[38;2;255;0;0m\xe2\x96\x80\x1b[0m\n");
}

}  // namespace
