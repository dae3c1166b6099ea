// test_fileio.cpp - durable whole-file writes: replaced whole or not at all, no files left over.
#include "db/fileio.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class AtomicWrite : public ::testing::Test {
  protected:
    void SetUp() override { folder.Enter("umb-fileio"); }
    void TearDown() override { folder.Leave(); }

    static int Write(const std::string& path, const std::string& content) {
        return WriteFileAtomically(path, content.data(), content.size());
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The names in a folder, in no particular order but sorted for comparing.
    static std::vector<std::string> Names(const fs::path& dir) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Writes with the process's file size limit set to limit bytes, so the write itself fails.
    static int WriteLimited(const std::string& path, const std::string& content, rlim_t limit) {
        rlimit old{};
        if (getrlimit(RLIMIT_FSIZE, &old) != 0) return -99;
        rlimit small = old;
        small.rlim_cur = limit;
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        if (setrlimit(RLIMIT_FSIZE, &small) != 0) return -99;
        const int res = Write(path, content);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
        return res;
    }

    TempFolder folder;
};

TEST_F(AtomicWrite, CreatesAndReplacesFilesHereAndInFolders) {
    ASSERT_EQ(Write("plain.txt", "first"), 0);
    EXPECT_EQ(Read("plain.txt"), "first");
    ASSERT_EQ(Write("plain.txt", "the second, longer"), 0);
    EXPECT_EQ(Read("plain.txt"), "the second, longer");
    ASSERT_EQ(Write("plain.txt", ""), 0);
    EXPECT_EQ(fs::file_size("plain.txt"), 0u);
    EXPECT_EQ(Names("."), std::vector<std::string>{"plain.txt"});

    fs::create_directories("a/b");
    const std::string binary("\0\1\2\n\r\xFF", 6);
    ASSERT_EQ(Write("a/b/data.bin", binary), 0);
    EXPECT_EQ(Read("a/b/data.bin"), binary);
    const std::string absolute = (fs::current_path() / "a" / "abs.bin").string();
    ASSERT_EQ(Write(absolute, "whole path"), 0);
    EXPECT_EQ(Read("a/abs.bin"), "whole path");
    EXPECT_EQ(Names("a"), (std::vector<std::string>{"abs.bin", "b"}));
    EXPECT_EQ(Names("a/b"), std::vector<std::string>{"data.bin"});
    EXPECT_EQ(Names("."), (std::vector<std::string>{"a", "plain.txt"}));

    EXPECT_EQ(WriteFileAtomically("", "x", 1), -1);
    EXPECT_EQ(WriteFileAtomically("none.txt", nullptr, 1), -1);
    EXPECT_FALSE(fs::exists("none.txt"));
}

TEST_F(AtomicWrite, FailuresKeepTheEarlierFileAndLeaveNoTemporaryFile) {
    ASSERT_EQ(Write("keep.txt", "earlier"), 0);

    // The folder does not exist, or is a regular file: nothing can be created.
    EXPECT_EQ(Write("missing/keep.txt", "new"), -1);
    EXPECT_FALSE(fs::exists("missing"));
    EXPECT_EQ(Write("keep.txt/inside.txt", "new"), -1);
    EXPECT_EQ(Read("keep.txt"), "earlier");

    // The content cannot be written in full.
    const std::string big(100000, 'x');
    EXPECT_EQ(WriteLimited("keep.txt", big, 1000), -1);
    EXPECT_EQ(Read("keep.txt"), "earlier");
    EXPECT_EQ(Names("."), std::vector<std::string>{"keep.txt"});

    // Everything is written, but the target is a folder and cannot be replaced.
    fs::create_directories("target.dat/inside");
    EXPECT_EQ(Write("target.dat", "new"), -1);
    EXPECT_TRUE(fs::is_directory("target.dat/inside"));
    EXPECT_FALSE(fs::exists(TempPathFor("target.dat")));

    // A folder under the temporary name is not the writer's to remove.
    fs::create_directory(TempPathFor("keep.txt"));
    EXPECT_EQ(Write("keep.txt", "new"), -1);
    EXPECT_EQ(Read("keep.txt"), "earlier");
    EXPECT_TRUE(fs::is_directory(TempPathFor("keep.txt")));
    fs::remove(TempPathFor("keep.txt"));

    ASSERT_EQ(Write("keep.txt", "later"), 0);
    EXPECT_EQ(Read("keep.txt"), "later");
}

TEST_F(AtomicWrite, LeftoversOfAnInterruptedWriteAreReplacedNotPiledUp) {
    // A run killed while writing left its temporary file, part written.
    ASSERT_EQ(Write("game.sv1", "saved"), 0);
    std::ofstream(TempPathFor("game.sv1")) << "part of a longer saved game that never ended";
    for (int i = 0; i < 5; ++i) {
        const std::string content = "save " + std::to_string(i);
        ASSERT_EQ(Write("game.sv1", content), 0);
        EXPECT_EQ(Read("game.sv1"), content);
        EXPECT_EQ(Names("."), std::vector<std::string>{"game.sv1"}) << "after write " << i;
    }

    // A link left under the temporary name is removed, never written through.
    std::ofstream("elsewhere.txt") << "not to be touched";
    fs::create_symlink("elsewhere.txt", TempPathFor("game.sv1"));
    ASSERT_EQ(Write("game.sv1", "after the link"), 0);
    EXPECT_EQ(Read("elsewhere.txt"), "not to be touched");
    EXPECT_EQ(Read("game.sv1"), "after the link");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status("game.sv1")));
    EXPECT_EQ(Names("."), (std::vector<std::string>{"elsewhere.txt", "game.sv1"}));
}

}  // namespace
