// test_stop.cpp - a turn whose script never ends can be stopped: the walks ask the front end now
// and then, a stop ends the game loop without another question, and Ctrl+C in a terminal ends
// the program with status 130 and the terminal as it was.
#include "compiler/compiler.h"
#include "engine/engine.h"
#include "param_names.h"
#include "temp_folder.h"
#include "ui/window/screen.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

using namespace umb::db;
using namespace umb::compiler;
using namespace umb::gfx;
using namespace umb::ui;
using namespace umb::engine;

namespace {

// The front end the engine tests play through: the window's, whose busy entry answers "stop"
// at its StopAt-th call.
int BusyCalls = 0;
int StopAt = 0;
bool BusyUntilStop(void*) { return ++BusyCalls >= StopAt; }

FrontEnd Stopping() {
    FrontEnd f = WindowFrontEnd;
    f.busy = BusyUntilStop;
    return f;
}
const FrontEnd StoppingFrontEnd = Stopping();

const char* const Vocabulary = "[Sysmsg]\n#1,WHAT\n#23,RESTORE?\n#26,AGAIN?\n"
                               "[Messages]\n#1,m1\n[Locations]\n#1,Room,,0\n"
                               "[Verbs]\n#30,loop\n#31,stroll\n[Vars]\ncounter\n";

class Stop : public ::testing::Test {
  protected:
    void SetUp() override {
        BusyCalls = 0;
        StopAt = 3;
        out = open_memstream(&outText, &outSize);
        GfxUseHeadless(true);
        ASSERT_EQ(AllocateTextHeap(db), DbResult::Ok);
        ResetDatabase(db);
    }
    void TearDown() override {
        GfxSetHeadlessStreams(nullptr, nullptr);
        if (keys != nullptr) std::fclose(keys);
        std::fclose(out);
        std::free(outText);
    }
    void Compile(const std::string& scripts, const char* keyText = "") {
        keys = fmemopen(const_cast<char*>(keyText), std::strlen(keyText) + 1, "r");
        GfxSetHeadlessStreams(keys, out);
        const std::string source = Vocabulary + scripts;
        Compiler c;
        BeginCompile(c, db);
        c.Out = out;
        ASSERT_EQ(CompileSource(c, source.data(), source.size(), "t.adv"), CompileResult::Clean);
    }
    // The game in its first location, shown through the stopping front end.
    void Begin() {
        g.Db = &db;
        g.Front = {&StoppingFrontEnd, &screen};
        ASSERT_EQ(OpenGameScreen(g), OpenResult::Ready);
        g.CurrentLocation = 1;
    }
    std::string Shown() {
        std::fflush(out);
        return std::string(outText, outSize);
    }

    FILE* keys = nullptr;
    FILE* out = nullptr;
    char* outText = nullptr;
    size_t outSize = 0;
    GameDatabase db;
    WindowState screen;
    Game g;
};

struct RunawayCase {
    const char* name;
    const char* scripts;
    bool events;  // the events loop, else the command "loop"
};

class Runaway : public Stop, public ::testing::WithParamInterface<RunawayCase> {};

// The walk asks once every StopCheckLines lines, goes on while the answer is no and ends at the
// first yes, as a quit does: no built-in command, no "not understood".
TEST_P(Runaway, StopsAtTheFrontEndsAnswer) {
    Compile(GetParam().scripts);
    ASSERT_NO_FATAL_FAILURE(Begin());
    if (GetParam().events)
        EXPECT_EQ(RunEvents(g, ScriptMode::Normal), EventsResult::Quit);
    else
        EXPECT_EQ(RunActions(g, 30, 0, 0, 0), TurnResult::Quit);
    EXPECT_TRUE(g.Stopped);
    EXPECT_EQ(BusyCalls, StopAt);
    // Each round of the loop is two to four lines and adds 1: the walk ran for as many lines as
    // the questions say, no fewer (asked too often) and no more (not stopped at once).
    const int rounds = VarValue(g, 1);
    EXPECT_GT(rounds, (StopAt - 1) * static_cast<int>(StopCheckLines) / 4);
    EXPECT_LE(rounds, StopAt * static_cast<int>(StopCheckLines) / 2);
    EXPECT_EQ(Shown().find("WHAT"), std::string::npos);
    FrontClose(g);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, Runaway,
    ::testing::Values(RunawayCase{"a while line of the actions",
                                  "[Actions]\nwhile verb 30\n"
                                  "add counter 1\n",
                                  false},
                      RunawayCase{"a while around a block",
                                  "[Actions]\nwhile verb 30\nbegin\n"
                                  "add counter 1\nend\n",
                                  false},
                      RunawayCase{"a while line of the events",
                                  "[Events]\nwhile not begin\nadd counter 1\n", true}),
    [](const ::testing::TestParamInfo<RunawayCase>& c) { return TestNameOf(c.param.name); });

// A command that ends by itself never reaches a question: short walks cost only a count.
TEST_F(Stop, ShortCommandsAskNothing) {
    Compile("[Actions]\nif verb 31\nmessage 1\nwhile lt counter 100\nadd counter 1\n");
    ASSERT_NO_FATAL_FAILURE(Begin());
    for (int i = 0; i < 10; ++i) EXPECT_EQ(RunActions(g, 31, 0, 0, 0), TurnResult::Scripts);
    EXPECT_EQ(BusyCalls, 0);
    EXPECT_FALSE(g.Stopped);
    FrontClose(g);
}

// Stopped in the introduction or in a turn, the game loop ends at once: no restore question, no
// play-again question, and PlayGames says the game was stopped.
TEST_F(Stop, TheGameLoopEndsWithoutAnotherQuestion) {
    struct Case {
        const char* scripts;
        const char* keys;
    };
    for (const Case& c : {Case{"[Events]\nwhile begin\nadd counter 1\n", ""},
                          Case{"[Actions]\nwhile verb 30\nadd counter 1\n", "nloop\n"}}) {
        SCOPED_TRACE(c.scripts);
        BusyCalls = 0;
        if (keys != nullptr) std::fclose(keys);
        ResetDatabase(db);
        Compile(c.scripts, c.keys);
        const size_t before = outSize;
        PlayView view;
        WindowState window;
        view.Front = {&StoppingFrontEnd, &window};
        EXPECT_EQ(PlayGames(db, "t", false, nullptr, view), PlayResult::Stopped);
        const std::string shown = Shown().substr(before);
        EXPECT_EQ(shown.find("AGAIN?"), std::string::npos) << shown;
        EXPECT_EQ(c.keys[0] == '\0', shown.find("RESTORE?") == std::string::npos) << shown;
    }
}

// ----- Ctrl+C in the terminal: the program itself on a pseudo-terminal -----

const char* const LoopGame = "[System]\nStartLocation=1\n[Sysmsg]\n#1,What?\n"
                             "[Locations]\n#1,Room,,0\nA bare room.\n"
                             "[Verbs]\n#30,loop\n[Vars]\nspins\n"
                             "[Actions]\nwhile verb loop\nadd spins 1\n";

bool SameModes(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// Reads from fd until what came holds text or ms milliseconds have passed.
bool ReadUntil(int fd, const std::string& text, int ms, std::string& got) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (got.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char buf[512];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        got.append(buf, static_cast<size_t>(n));
    }
    return true;
}

struct InterruptCase {
    const char* name;
    const char* mode;     // --tty or --plain
    const char* no;       // the answer to the restore question
    const char* command;  // the runaway command, sent
    bool byKill;          // SIGINT sent to the program, else Ctrl+C typed
};

class Interrupt : public ::testing::TestWithParam<InterruptCase> {
  protected:
    void SetUp() override {
        folder.Enter("umb-stop");
        std::ofstream("loop.adv") << LoopGame;
        winsize ws{};
        ws.ws_col = 80;
        ws.ws_row = 24;
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, &ws), 0);
        ASSERT_EQ(tcgetattr(slave, &before), 0);
    }
    void TearDown() override {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        close(master);
        close(slave);
        folder.Leave();
    }
    // The program on the terminal as its controlling terminal, so that a typed Ctrl+C is a
    // signal wherever the terminal's modes make it one.
    void Start(const char* mode) {
        child = fork();
        ASSERT_GE(child, 0);
        if (child != 0) return;
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, 0);
        dup2(slave, 1);
        dup2(slave, 2);
        close(master);
        execl(UMB_BINARY, UMB_BINARY, mode, "loop", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Waits up to ms milliseconds for the program to end; returns its status, -1 if it did not.
    int WaitEnd(int ms) {
        for (int waited = 0;; waited += 10) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                child = -1;
                return status;
            }
            if (waited >= ms) return -1;
            std::string ignored;
            ReadUntil(master, "\x01", 10, ignored);  // keeps the terminal's output flowing
        }
    }

    TempFolder folder;
    int master = -1;
    int slave = -1;
    termios before{};
    pid_t child = -1;
};

TEST_P(Interrupt, EndsARunawayTurnWithStatus130AndTheTerminalPutBack) {
    const InterruptCase& c = GetParam();
    Start(c.mode);
    std::string got;
    ASSERT_TRUE(ReadUntil(master, "? ", 10000, got)) << got;
    ASSERT_EQ(write(master, c.no, std::strlen(c.no)), static_cast<ssize_t>(std::strlen(c.no)));
    ASSERT_TRUE(ReadUntil(master, ">", 10000, got)) << got;
    ASSERT_EQ(write(master, c.command, std::strlen(c.command)),
              static_cast<ssize_t>(std::strlen(c.command)));
    // The command is under way (its loop never ends by itself) when the player gives up.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(WaitEnd(0), -1) << "the program ended before it was stopped";
    if (c.byKill)
        kill(child, SIGINT);
    else
        ASSERT_EQ(write(master, "\x03", 1), 1);
    const int status = WaitEnd(5000);
    ASSERT_NE(status, -1) << "the runaway turn was not stopped";
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 130);
    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_TRUE(SameModes(before, after));
}

INSTANTIATE_TEST_SUITE_P(
    Terminal, Interrupt,
    ::testing::Values(
        InterruptCase{"Ctrl+C with the terminal's keys", "--tty", "n", "loop\r", false},
        InterruptCase{"SIGINT with the terminal's keys", "--tty", "n", "loop\r", true},
        InterruptCase{"Ctrl+C with plain lines", "--plain", "n\n", "loop\n", false}),
    [](const ::testing::TestParamInfo<InterruptCase>& c) { return TestNameOf(c.param.name); });

}  // namespace
