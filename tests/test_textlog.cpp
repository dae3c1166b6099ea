// test_textlog.cpp - the game as plain lines: wrapping, code page 850 to UTF-8, and which parts of
// a location are written again.
#include "base/codepage.h"
#include "engine/textlog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace umb::engine;
using umb::base::Cp850ToUtf8;

namespace {

// A log writing into a temporary file; Text() returns what it holds so far.
struct Log {
    TextLog log;
    Log() { log.out = std::tmpfile(); }
    ~Log() {
        if (log.out != nullptr) std::fclose(log.out);
    }
    std::string Text() {
        std::fflush(log.out);
        std::string all;
        std::rewind(log.out);
        for (int c = std::fgetc(log.out); c != EOF; c = std::fgetc(log.out))
            all.push_back(static_cast<char>(c));
        return all;
    }
};

LocationView View(const char* name, std::initializer_list<const char*> texts,
                  const char* status = nullptr) {
    LocationView v;
    v.name = name;
    v.status = status;
    for (const char* t : texts) v.texts[v.textCount++] = t;
    return v;
}

}  // namespace

TEST(TextLog, WrapsAtTheWidthAndBreaksAtBackslashesOfAuthorTextOnly) {
    Log l;
    l.log.width = 10;
    LogText(l.log, "one two three four\\five");
    LogText(l.log, "a\\b", true);
    LogText(l.log, "abcdefghijklmnop qr");  // a word too long keeps what fits
    LogText(l.log, "");
    EXPECT_EQ(l.Text(), "one two\nthree four\nfive\na\\b\nabcdefghij\nqr\n\n");
}

TEST(TextLog, CodePage850BecomesUtf8AndControlsAreDropped) {
    const char text[] = "caf\x82 \x8A\x9C\x07\x1B[2J!";
    EXPECT_EQ(Cp850ToUtf8(text, sizeof text - 1), "caf\xC3\xA9 \xC3\xA8\xC2\xA3[2J!");
    EXPECT_EQ(Cp850ToUtf8("\xDB", 1), "\xE2\x96\x88");  // a full block, three bytes
}

TEST(TextLog, ALocationIsWrittenWholeOnceThenOnlyWhatChanged) {
    Log l;
    LogLocation(l.log, View("Hall", {"A bare hall.", "You see: lamp."}, "Score: 0"));
    LogLocation(l.log, View("Hall", {"A bare hall.", "You see: lamp."}, "Score: 0"));
    LogLocation(l.log, View("Hall", {"A bare hall."}, "Score: 1"));
    LogLocation(l.log, View("Hall", {"A bare hall.", "You see: coin."}, "Score: 1"));
    LocationView again = View("Hall", {"A bare hall."}, "Score: 1");
    again.again = true;
    LogLocation(l.log, again);
    LogLocation(l.log, View("Yard", {}));
    EXPECT_EQ(l.Text(), "Hall\nA bare hall.\nYou see: lamp.\nScore: 0\n"
                        "Score: 1\n"
                        "You see: coin.\n"
                        "\nHall\nA bare hall.\n"
                        "\nYard\n");
}

TEST(TextLog, AnAnswerFollowsItsPromptOnOneLine) {
    Log l;
    LogAnswer(l.log, "> ", "get lamp");
    LogAnswer(l.log, "Sure\\really? ", "y");  // the prompt is the author's, the answer literal
    LogAnswer(l.log, ">", "a\\b");
    EXPECT_EQ(l.Text(), "> get lamp\nSure\nreally? y\n>a\\b\n");
}

// A transcript on a full disk says so once on standard error, whatever is written after, and
// keeps that it failed; one that is written whole says nothing.
TEST(TextLog, AWriteThatFailsIsSaidOnce) {
    for (const bool full : {true, false}) {
        const std::string path = full ? "/dev/full" : ::testing::TempDir() + "textlog-ok.txt";
        TextLog log;
        ASSERT_TRUE(OpenTextLog(log, path.c_str()));
        testing::internal::CaptureStderr();
        LogText(log, "You are in a hall.");
        FlushTextLog(log);
        LogAnswer(log, ">", "get lamp");
        LogText(log, "Taken.");
        CloseTextLog(log);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  full ? "Cannot write file /dev/full!\n" : "")
            << path;
        EXPECT_EQ(log.failed, full) << path;
        if (!full) std::remove(path.c_str());
    }
}

// With its transcript on a full disk, a game says so once, plays on to the end and ends with
// status 1: when the player declines another game, and when the key script runs out first.
TEST(TextLog, AGameWhoseTranscriptCannotBeWrittenEndsWithStatusOne) {
    const std::string dir = ::testing::TempDir() + "textlog-full-" + std::to_string(::getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::copy(std::string(UMB_EXAMPLES) + "/beacon", dir,
                          std::filesystem::copy_options::recursive);
    auto read = [&](const std::string& name) {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    };
    // The walkthrough without its last key, the answer to "Play again?".
    std::string keys = read("beacon-win.keys");
    ASSERT_FALSE(keys.empty());
    keys.pop_back();
    std::ofstream(dir + "/cut.keys", std::ios::binary) << keys;
    for (const std::string script : {"beacon-win.keys", "cut.keys"}) {
        std::string played;
        for (const bool full : {true, false}) {
            const std::string cmd = "cd '" + dir + "' && UMB_DRIVER=headless '" + UMB_BINARY +
                                    "' beacon --transcript " + (full ? "/dev/full" : "t.txt") +
                                    " <" + script + " >out.txt 2>err.txt";
            const int status = std::system(cmd.c_str());
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (full ? 1 : 0))
                << script << " " << status;
            EXPECT_EQ(read("err.txt"), full ? "Cannot write file /dev/full!\n" : "") << script;
            // The game went on all the same.
            if (full)
                played = read("out.txt");
            else
                EXPECT_EQ(read("out.txt"), played) << script;
        }
    }
    // The terminal's plain lines end at the end of their input the same way.
    const std::string cmd = "cd '" + dir + "' && '" + UMB_BINARY +
                            "' --plain beacon --transcript /dev/full <cut.keys >out.txt 2>err.txt";
    const int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(read("err.txt"), "Cannot write file /dev/full!\n");
    std::filesystem::remove_all(dir);
}
