// test_base.cpp - the shared helpers: whole-file reads, durable whole-file writes (replaced
// whole or not at all, no files left over), little-endian numbers, case-insensitive comparison.
#include "base/fileio.h"
#include "base/littleendian.h"
#include "base/nocase.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace umb::base;

namespace fs = std::filesystem;

namespace {

class AtomicWrite : public ::testing::Test {
  protected:
    void SetUp() override { folder.Enter("umb-fileio"); }
    void TearDown() override { folder.Leave(); }

    static WriteResult Write(const std::string& path, const std::string& content) {
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
        const int res = static_cast<int>(Write(path, content));
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
        return res;
    }

    TempFolder folder;
};

TEST_F(AtomicWrite, CreatesAndReplacesFilesHereAndInFolders) {
    ASSERT_EQ(Write("plain.txt", "first"), WriteResult::Ok);
    EXPECT_EQ(Read("plain.txt"), "first");
    ASSERT_EQ(Write("plain.txt", "the second, longer"), WriteResult::Ok);
    EXPECT_EQ(Read("plain.txt"), "the second, longer");
    ASSERT_EQ(Write("plain.txt", ""), WriteResult::Ok);
    EXPECT_EQ(fs::file_size("plain.txt"), 0u);
    EXPECT_EQ(Names("."), std::vector<std::string>{"plain.txt"});

    fs::create_directories("a/b");
    const std::string binary("\0\1\2\n\r\xFF", 6);
    ASSERT_EQ(Write("a/b/data.bin", binary), WriteResult::Ok);
    EXPECT_EQ(Read("a/b/data.bin"), binary);
    const std::string absolute = (fs::current_path() / "a" / "abs.bin").string();
    ASSERT_EQ(Write(absolute, "whole path"), WriteResult::Ok);
    EXPECT_EQ(Read("a/abs.bin"), "whole path");
    EXPECT_EQ(Names("a"), (std::vector<std::string>{"abs.bin", "b"}));
    EXPECT_EQ(Names("a/b"), std::vector<std::string>{"data.bin"});
    EXPECT_EQ(Names("."), (std::vector<std::string>{"a", "plain.txt"}));

    EXPECT_EQ(WriteFileAtomically("", "x", 1), WriteResult::Failed);
    EXPECT_EQ(WriteFileAtomically("none.txt", nullptr, 1), WriteResult::Failed);
    EXPECT_FALSE(fs::exists("none.txt"));
}

TEST_F(AtomicWrite, FailuresKeepTheEarlierFileAndLeaveNoTemporaryFile) {
    ASSERT_EQ(Write("keep.txt", "earlier"), WriteResult::Ok);

    // The folder does not exist, or is a regular file: nothing can be created.
    EXPECT_EQ(Write("missing/keep.txt", "new"), WriteResult::Failed);
    EXPECT_FALSE(fs::exists("missing"));
    EXPECT_EQ(Write("keep.txt/inside.txt", "new"), WriteResult::Failed);
    EXPECT_EQ(Read("keep.txt"), "earlier");

    // The content cannot be written in full.
    const std::string big(100000, 'x');
    EXPECT_EQ(WriteLimited("keep.txt", big, 1000), static_cast<int>(WriteResult::Failed));
    EXPECT_EQ(Read("keep.txt"), "earlier");
    EXPECT_EQ(Names("."), std::vector<std::string>{"keep.txt"});

    // Everything is written, but the target is a folder and cannot be replaced.
    fs::create_directories("target.dat/inside");
    EXPECT_EQ(Write("target.dat", "new"), WriteResult::Failed);
    EXPECT_TRUE(fs::is_directory("target.dat/inside"));
    EXPECT_FALSE(fs::exists(TempPathFor("target.dat")));

    // A folder under the temporary name is not the writer's to remove.
    fs::create_directory(TempPathFor("keep.txt"));
    EXPECT_EQ(Write("keep.txt", "new"), WriteResult::Failed);
    EXPECT_EQ(Read("keep.txt"), "earlier");
    EXPECT_TRUE(fs::is_directory(TempPathFor("keep.txt")));
    fs::remove(TempPathFor("keep.txt"));

    ASSERT_EQ(Write("keep.txt", "later"), WriteResult::Ok);
    EXPECT_EQ(Read("keep.txt"), "later");
}

// The temporary name fits the file system's 255 bytes whenever the target's does, stays in the
// target's folder, and differs between long targets that share a beginning.
TEST_F(AtomicWrite, TemporaryNamesOfLongTargetsFit) {
    for (const size_t length : {size_t{200}, size_t{251}, size_t{252}, size_t{255}}) {
        const std::string name = "sub/" + std::string(length, 'n');
        const std::string tmp = TempPathFor(name);
        EXPECT_EQ(tmp.rfind("sub/", 0), 0u);
        EXPECT_LE(tmp.size() - 4, 255u) << length;
        EXPECT_NE(tmp, name);
        EXPECT_EQ(TempPathFor(name), tmp) << "one fixed name per target";
    }
    EXPECT_NE(TempPathFor(std::string(254, 'n') + "a"), TempPathFor(std::string(254, 'n') + "b"));
    fs::create_directory("sub");
    const std::string longest(255, 'n');
    ASSERT_EQ(Write("sub/" + longest, "whole"), WriteResult::Ok);
    EXPECT_EQ(Read("sub/" + longest), "whole");
    EXPECT_EQ(Names("sub"), std::vector<std::string>{longest});
}

TEST_F(AtomicWrite, LeftoversOfAnInterruptedWriteAreReplacedNotPiledUp) {
    // A run killed while writing left its temporary file, part written.
    ASSERT_EQ(Write("game.sv1", "saved"), WriteResult::Ok);
    std::ofstream(TempPathFor("game.sv1")) << "part of a longer saved game that never ended";
    for (int i = 0; i < 5; ++i) {
        const std::string content = "save " + std::to_string(i);
        ASSERT_EQ(Write("game.sv1", content), WriteResult::Ok);
        EXPECT_EQ(Read("game.sv1"), content);
        EXPECT_EQ(Names("."), std::vector<std::string>{"game.sv1"}) << "after write " << i;
    }

    // A link left under the temporary name is removed, never written through.
    std::ofstream("elsewhere.txt") << "not to be touched";
    fs::create_symlink("elsewhere.txt", TempPathFor("game.sv1"));
    ASSERT_EQ(Write("game.sv1", "after the link"), WriteResult::Ok);
    EXPECT_EQ(Read("elsewhere.txt"), "not to be touched");
    EXPECT_EQ(Read("game.sv1"), "after the link");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status("game.sv1")));
    EXPECT_EQ(Names("."), (std::vector<std::string>{"elsewhere.txt", "game.sv1"}));
}

// ----- Whole-file reads -----

class WholeRead : public ::testing::Test {
  protected:
    void SetUp() override { folder.Enter("umb-wholeread"); }
    void TearDown() override { folder.Leave(); }

    // Reads the file at path whole, from offset skip on, with the given limit.
    static ReadResult ReadFile(const std::string& path, std::string& out, size_t limit,
                               long skip = 0) {
        FILE* f = std::fopen(path.c_str(), "rb");
        if (f == nullptr) return ReadResult::CannotOpen;
        std::fseek(f, skip, SEEK_SET);
        const ReadResult res = ReadWholeFile(f, out, limit);
        std::fclose(f);
        return res;
    }
    // Reads content whole through a pipe, where the size is unknown until the end.
    static ReadResult ReadPiped(const std::string& content, std::string& out, size_t limit) {
        int fds[2];
        if (::pipe(fds) != 0) return ReadResult::CannotOpen;
        std::thread writer([&] {
            size_t done = 0;
            while (done < content.size()) {
                const ssize_t n = ::write(fds[1], content.data() + done, content.size() - done);
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
            ::close(fds[1]);
        });
        FILE* f = ::fdopen(fds[0], "rb");
        const ReadResult res = f != nullptr ? ReadWholeFile(f, out, limit) : ReadResult::CannotOpen;
        // Whatever the reader left unread must not keep the writer waiting.
        std::string rest;
        if (f != nullptr) ReadWholeFile(f, rest, SIZE_MAX - 1);
        writer.join();
        if (f != nullptr) std::fclose(f);
        return res;
    }
    static std::string Pattern(size_t n) {
        std::string s(n, '\0');
        for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
        return s;
    }

    TempFolder folder;
};

TEST_F(WholeRead, ReadsFromTheCurrentPositionToTheEndUpToTheLimit) {
    const std::string content = Pattern(100000);
    std::ofstream("data.bin", std::ios::binary) << content;
    std::ofstream("empty.bin", std::ios::binary).flush();
    std::string out = "stale";

    EXPECT_EQ(ReadFile("data.bin", out, content.size()), ReadResult::Ok);
    EXPECT_EQ(out, content);
    EXPECT_EQ(ReadFile("data.bin", out, 1u << 20, 99990), ReadResult::Ok);
    EXPECT_EQ(out, content.substr(99990));
    EXPECT_EQ(ReadFile("data.bin", out, content.size() - 1), ReadResult::BadContent);
    EXPECT_EQ(ReadFile("data.bin", out, 10, 99990), ReadResult::Ok);
    EXPECT_EQ(ReadFile("data.bin", out, 9, 99990), ReadResult::BadContent);

    out = "stale";
    EXPECT_EQ(ReadFile("empty.bin", out, 0), ReadResult::Ok);
    EXPECT_EQ(out, "");
    EXPECT_EQ(ReadFile("data.bin", out, 0, 99999), ReadResult::BadContent);
    EXPECT_EQ(ReadFile("data.bin", out, 0, 100000), ReadResult::Ok);
    EXPECT_EQ(out, "");
}

TEST_F(WholeRead, StreamsOfUnknownSizeGrowTheBufferToTheLimit) {
    // Far more than one first allocation, so the buffer has to grow several times.
    const std::string content = Pattern(300001);
    std::string out;
    EXPECT_EQ(ReadPiped(content, out, content.size()), ReadResult::Ok);
    EXPECT_EQ(out, content);
    EXPECT_EQ(ReadPiped(content, out, content.size() - 1), ReadResult::BadContent);
    EXPECT_EQ(ReadPiped("", out, 0), ReadResult::Ok);
    EXPECT_EQ(out, "");
    EXPECT_EQ(ReadPiped("x", out, 0), ReadResult::BadContent);
}

TEST_F(WholeRead, AFailedReadIsReported) {
    // A folder opens as a file but cannot be read.
    fs::create_directory("folder");
    std::string out;
    EXPECT_EQ(ReadFile("folder", out, 1000), ReadResult::NotFormat);
    EXPECT_EQ(out, "");
}

// ----- Little-endian numbers -----

TEST(LittleEndian, NumbersGoLowByteFirstIntoStringsAndByteVectors) {
    std::string text;
    AppendLe16(text, 0x1234);
    AppendLe32(text, 0x89ABCDEFu);
    AppendLeInt16(text, -2);
    EXPECT_EQ(text, std::string("\x34\x12\xEF\xCD\xAB\x89\xFE\xFF"));

    std::vector<unsigned char> bytes;
    AppendLe32(bytes, 0x01020304u);
    AppendLe16(bytes, 0xFF80);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{4, 3, 2, 1, 0x80, 0xFF}));

    // Bytes of 128 and above must not spread their sign into the higher bytes.
    EXPECT_EQ(LoadLe16(text.data()), 0x1234);
    EXPECT_EQ(LoadLe32(text.data() + 2), 0x89ABCDEFu);
    EXPECT_EQ(LoadLe16(text.data() + 6), 0xFFFE);
    EXPECT_EQ(LoadLe16(bytes.data() + 4), 0xFF80);
    const char high[4] = {'\x80', '\xFF', '\x7F', '\x81'};
    EXPECT_EQ(LoadLe32(high), 0x817FFF80u);
    EXPECT_EQ(LoadLe16(high + 1), 0x7FFF);
}

TEST(LittleEndian, EveryInt16ComesBackWithItsSign) {
    std::string text;
    for (int v = -32768; v <= 32767; ++v) AppendLeInt16(text, static_cast<int16_t>(v));
    ASSERT_EQ(text.size(), 2u * 65536u);
    for (int v = -32768; v <= 32767; ++v) {
        const auto at = 2 * static_cast<size_t>(v + 32768);
        ASSERT_EQ(LoadLeInt16(text.data() + at), v);
    }
    EXPECT_EQ(LoadLeInt16("\x81\xFF"), -127);
    EXPECT_EQ(LoadLeInt16("\x00\x80"), -32768);
    EXPECT_EQ(LoadLeInt16("\xFF\x7F"), 32767);
}

// ----- Case-insensitive comparison -----

TEST(NoCase, OnlyTheLettersAToZAreFolded) {
    EXPECT_EQ(CompareNoCase("Lamp", "lAMP"), 0);
    EXPECT_EQ(CompareNoCase("", ""), 0);
    EXPECT_EQ(FoldCase('A'), 'a');
    EXPECT_EQ(FoldCase('Z'), 'z');
    // The neighbours of A and Z, and the letters of code pages above 127, stay as they are.
    for (const char c : {'@', '[', '`', '{', '\x80', '\x90', '\xC9', '\xE9', '\xFF'})
        EXPECT_EQ(FoldCase(c), c) << static_cast<int>(static_cast<unsigned char>(c));
    EXPECT_NE(CompareNoCase("@", "`"), 0);
    EXPECT_NE(CompareNoCase("[", "{"), 0);
    EXPECT_NE(CompareNoCase("caf\x90", "caf\x82"), 0);  // code page 850 upper and lower e acute
    EXPECT_NE(CompareNoCase("\xC9t\xE9", "\xE9T\xC9"), 0);
}

TEST(NoCase, DifferencesAreSignedAndAShorterWordComesFirst) {
    EXPECT_LT(CompareNoCase("apple", "BANANA"), 0);
    EXPECT_GT(CompareNoCase("Banana", "apple"), 0);
    EXPECT_LT(CompareNoCase("lamp", "LAMPS"), 0);
    EXPECT_GT(CompareNoCase("lamps", "LAMP"), 0);
    // Bytes above 127 count as negative, so they sort before every letter.
    EXPECT_LT(CompareNoCase("\x80", "a"), 0);
    EXPECT_GT(CompareNoCase("a", "\xFF"), 0);
    EXPECT_EQ(CompareNoCase("\x80", "\xFF"), -128 - -1);
    EXPECT_EQ(CompareNoCase("B", "a"), 1);
}

TEST(NoCase, BoundedComparisonStopsAfterNCharacters) {
    EXPECT_EQ(CompareNoCaseN("north", "south", 0), 0);
    EXPECT_EQ(CompareNoCaseN("", "x", 0), 0);
    EXPECT_EQ(CompareNoCaseN("lanterns1", "LANTERNS2", 8), 0);
    EXPECT_NE(CompareNoCaseN("lanterns1", "LANTERNS2", 9), 0);
    EXPECT_EQ(CompareNoCaseN("Go", "gO", 8), 0);
    EXPECT_LT(CompareNoCaseN("go", "GONE", 8), 0);
    EXPECT_GT(CompareNoCaseN("gone", "GO", 3), 0);
    EXPECT_EQ(CompareNoCaseN("gone", "GO", 2), 0);
    EXPECT_NE(CompareNoCaseN("\xC9", "\xE9", 1), 0);
}

TEST(NoCase, WordKeysAgreeWithTheEightCharacterComparison) {
    const char* words[] = {"lamp",      "LAMP",    "Lamp1",      "lanterns",   "LANTERNSX",
                           "lanternsY", "lantern", "\xC9p\xE9t", "\xE9P\xC9T", "\xE9p\xC9t",
                           "",          "@",       "`",          "[x]",        "{X}"};
    for (const char* a : words)
        for (const char* b : words)
            EXPECT_EQ(WordKey(a) == WordKey(b), CompareNoCaseN(a, b, 8) == 0)
                << "\"" << a << "\" and \"" << b << "\"";
    EXPECT_EQ(WordKey("LANTERNSX"), WordKey("lanternsy"));
    EXPECT_NE(WordKey("lantern"), WordKey("lanterns"));
}

}  // namespace
