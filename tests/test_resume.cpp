// test_resume.cpp - the autosave: a game left by the end of its input or killed goes on where it
// was at the next start; a finished game, the author's tools and the switches leave none.
#include "file_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The commands played before the game is left: they move the player and count turns.
const char* const Commands = "n\nhello\nn\nw\nsearch pool\n";

class Resume : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("umb-resume-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::copy(fs::path(UMB_EXAMPLES) / "beacon", dir, fs::copy_options::recursive);
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    // Plays headless with a key script; returns what it printed.
    std::string Run(const std::string& args, const std::string& keys) {
        Write("keys.txt", keys);
        const std::string cmd = "cd '" + dir.string() + "' && UMB_DRIVER=headless '" + UMB_BINARY +
                                "' " + args + " <keys.txt >out.txt 2>err.txt";
        status = std::system(cmd.c_str());
        EXPECT_EQ(ReadText(dir / "err.txt"), "") << args;
        return ReadText(dir / "out.txt");
    }
    bool Autosaved() const { return fs::exists(dir / "beacon.sv0"); }

    fs::path dir;
    int status = 0;
};

// The title and description areas of the last screen dump: where the player is, the status line
// with the score and turns, and what is seen. The message area differs by the question asked.
std::string LastPlace(const std::string& out) {
    const size_t screen = out.rfind("== screen ==");
    const size_t messages = out.find("-- messages --", screen);
    if (screen == std::string::npos || messages == std::string::npos) return "";
    return out.substr(screen, messages - screen);
}

// Fills the nine slots with bytes no game writes, to see that nothing touches them.
void FillSlots(const fs::path& dir) {
    for (char slot = '1'; slot <= '9'; ++slot)
        std::ofstream(dir / (std::string("beacon.sv") + slot), std::ios::binary)
            << "slot " << slot << std::string(1, '\0') << "\xff kept";
}

void ExpectSlotsKept(const fs::path& dir) {
    for (char slot = '1'; slot <= '9'; ++slot)
        EXPECT_EQ(ReadText(dir / (std::string("beacon.sv") + slot)),
                  std::string("slot ") + slot + std::string(1, '\0') + "\xff kept")
            << slot;
}

// Starts the program headless in dir reading keys from a pipe that stays open, so that it waits
// for more once they are used up; returns its process id and the pipe's writing end.
pid_t StartWaiting(const fs::path& dir, const std::string& keys, int& keysOut) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[0], STDIN_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        if (::chdir(dir.c_str()) != 0) ::_exit(127);
        std::freopen("killed.txt", "w", stdout);
        ::setenv("UMB_DRIVER", "headless", 1);
        ::execl(UMB_BINARY, UMB_BINARY, "--autosave", "beacon", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[0]);
    keysOut = fds[1];
    if (::write(keysOut, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) return -1;
    return pid;
}

// Waits until the file at path holds want, for at most the test's own limit.
bool WaitForContent(const fs::path& path, const std::string& want) {
    for (int i = 0; i < 6000; ++i) {
        if (ReadText(path) == want) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Left by the end of its key script, the game goes on where it was: the same place, score and
// turns; the game's own restore question is not asked, the slots are not touched.
TEST_F(Resume, TheEndOfTheInputKeepsTheGameToResume) {
    FillSlots(dir);
    const std::string left = Run("--autosave beacon", Commands);
    ASSERT_TRUE(Autosaved());
    ASSERT_NE(LastPlace(left), "");
    const std::string resumed = Run("--autosave beacon", "y\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(LastPlace(resumed), LastPlace(left));
    EXPECT_NE(resumed.find("Continue where you left off? y"), std::string::npos) << resumed;
    EXPECT_EQ(resumed.find("Restore a saved game?"), std::string::npos) << resumed;
    EXPECT_TRUE(Autosaved());  // left by the end of the input again
    ExpectSlotsKept(dir);
}

// Killed while it waits for a key, the game goes on where it was at the next start.
TEST_F(Resume, AKilledGameResumesWhereItWas) {
    FillSlots(dir);
    // The same play left by the end of its input: the state to wait for and the screen to see.
    const std::string left = Run("--autosave beacon", Commands);
    const std::string state = ReadText(dir / "beacon.sv0");
    ASSERT_FALSE(state.empty());
    fs::remove(dir / "beacon.sv0");
    int keys = -1;
    const pid_t pid = StartWaiting(dir, Commands, keys);
    ASSERT_GT(pid, 0);
    const bool reached = WaitForContent(dir / "beacon.sv0", state);
    ::kill(pid, SIGKILL);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    ::close(keys);
    ASSERT_TRUE(reached);
    EXPECT_TRUE(WIFSIGNALED(wstatus));
    const std::string resumed = Run("--autosave beacon", "y\n");
    EXPECT_EQ(LastPlace(resumed), LastPlace(left));
    ExpectSlotsKept(dir);
}

// What an undo or a restore brings back is kept at once, though neither takes game time.
TEST_F(Resume, AnUndoOrARestoreIsKeptAtOnce) {
    Run("--autosave beacon", "n\nhello\nn\n");
    const std::string before = ReadText(dir / "beacon.sv0");
    ASSERT_FALSE(before.empty());
    fs::remove(dir / "beacon.sv0");
    Run("--autosave beacon", "n\nhello\nn\ne\nundo\n");
    EXPECT_EQ(ReadText(dir / "beacon.sv0"), before);
    fs::remove(dir / "beacon.sv0");
    Run("--autosave beacon", "n\nhello\nn\nsave\n1e\nrestore\n1");
    EXPECT_EQ(ReadText(dir / "beacon.sv0"), before);
    EXPECT_EQ(ReadText(dir / "beacon.sv1"), before);
}

// A game that ends, won, lost or quit, leaves no autosave; the slots stay as they were.
TEST_F(Resume, AFinishedGameLeavesNone) {
    for (const char* keys : {"beacon-win.keys", "beacon-lose.keys"}) {
        Write("beacon.sv0", "");
        Run("--autosave beacon", ReadText(dir / keys));
        EXPECT_FALSE(Autosaved()) << keys;
    }
    FillSlots(dir);  // the winning walkthrough saves in a slot
    Run("--autosave beacon", std::string(Commands) + "quit\nynn\n");
    EXPECT_FALSE(Autosaved());
    // Resumed and then quit: the autosave goes too.
    Run("--autosave beacon", Commands);
    ASSERT_TRUE(Autosaved());
    const std::string out = Run("--autosave beacon", "yquit\nynn\n");
    EXPECT_NE(out.find("Continue where you left off? y"), std::string::npos);
    EXPECT_FALSE(Autosaved());
    ExpectSlotsKept(dir);
}

// An autosave older than the game, damaged or another game's is not offered; the game's own
// question is asked. A damaged or foreign one is removed, an older one left to be replaced.
TEST_F(Resume, OnlyASoundNewerAutosaveIsOffered) {
    Run("--autosave beacon", Commands);
    const std::string state = ReadText(dir / "beacon.sv0");
    ASSERT_FALSE(state.empty());
    const auto later = fs::last_write_time(dir / "beacon.sv0") + std::chrono::seconds(10);
    fs::last_write_time(dir / "beacon.adv", later);
    std::string out = Run("--autosave beacon", "n\n");
    EXPECT_EQ(out.find("Continue"), std::string::npos) << out;
    EXPECT_NE(out.find("Restore a saved game? n"), std::string::npos) << out;
    EXPECT_EQ(ReadText(dir / "beacon.sv0"), state);

    struct Case {
        const char* what;
        std::string image;
    };
    std::string foreign = state;
    foreign[4] = static_cast<char>(foreign[4] - 1);  // one object fewer: another game's tables
    for (const Case& c : {Case{"damaged", state.substr(0, state.size() - 2)},
                          Case{"foreign", foreign}, Case{"no saved game", "USF1 not a save"}}) {
        Write("beacon.sv0", c.image);
        fs::last_write_time(dir / "beacon.sv0", later + std::chrono::seconds(10));
        out = Run("--autosave beacon", "n\n");
        EXPECT_EQ(out.find("Continue"), std::string::npos) << c.what;
        EXPECT_NE(out.find("Restore a saved game? n"), std::string::npos) << c.what;
        EXPECT_FALSE(Autosaved()) << c.what;
    }
}

// Answered no, the game starts anew with its own question, and the old state is given up.
TEST_F(Resume, NoStartsANewGame) {
    const std::string fresh = Run("--autosave beacon", "n\n");
    Run("--autosave beacon", Commands);
    const std::string out = Run("--autosave beacon", "nn\n");
    EXPECT_NE(out.find("Continue where you left off? n"), std::string::npos) << out;
    EXPECT_NE(out.find("Restore a saved game? n"), std::string::npos) << out;
    EXPECT_EQ(LastPlace(out), LastPlace(fresh));
    EXPECT_FALSE(Autosaved());
}

// Played headless, only --autosave keeps one; --no-autosave, the last switch given, keeps none.
TEST_F(Resume, TheSwitchesDecide) {
    struct Case {
        const char* args;
        bool kept;
    };
    for (const Case& c :
         {Case{"beacon", false}, Case{"--autosave beacon", true},
          Case{"--no-autosave beacon", false}, Case{"--autosave --no-autosave beacon", false},
          Case{"--no-autosave --AUTOSAVE beacon", true}, Case{"--plain beacon", false},
          Case{"--plain --autosave beacon", true}}) {
        fs::remove(dir / "beacon.sv0");
        Run(c.args, Commands);
        EXPECT_EQ(Autosaved(), c.kept) << c.args;
    }
    const std::string help = Run("-h", "");
    EXPECT_NE(help.find("  --autosave "), std::string::npos);
    EXPECT_NE(help.find("  --no-autosave "), std::string::npos);
}

// The author's walkthroughs never keep one, whatever the driver, and end as they always did.
TEST_F(Resume, WalkthroughsKeepNone) {
    for (const char* args : {"--test beacon", "--test --coverage beacon"}) {
        const std::string cmd = "cd '" + dir.string() + "' && env -u UMB_DRIVER '" + UMB_BINARY +
                                "' " + args + " >out.txt 2>&1 </dev/null";
        EXPECT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 0) << ReadText(dir / "out.txt");
        EXPECT_FALSE(Autosaved()) << args;
    }
}

}  // namespace
