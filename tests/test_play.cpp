// test_play.cpp - whole games played headless from key scripts, from the source and compiled.
#include "db/records.h"
#include "param_names.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

using namespace umb::db;

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Walkthrough {
    const char* keys;
    const char* transcript;
    bool compiled;
};

class Play : public ::testing::TestWithParam<Walkthrough> {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("umb-play-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy_file(fs::path(UMB_TEST_DATA) / "hut.adv", dir / "hut.adv");
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the program headless with a key script; returns what it printed.
    std::string Run(const std::string& args, const fs::path& keys) {
        const std::string cmd = "cd '" + dir.string() + "' && UMB_DRIVER=headless '" + UMB_BINARY +
                                "' " + args + " <'" + keys.string() + "' >out.txt 2>err.txt";
        status = std::system(cmd.c_str());
        err = ReadFile(dir / "err.txt");
        return ReadFile(dir / "out.txt");
    }

    fs::path dir;
    std::string err;
    int status = 0;
};

TEST_P(Play, TranscriptAndScreenDumpsMatch) {
    const Walkthrough& w = GetParam();
    if (w.compiled) {
        Run("-c hut", "/dev/null");
        ASSERT_TRUE(fs::exists(dir / "hut.umb")) << err;
        fs::remove(dir / "hut.adv");
    }
    const std::string out = Run("hut", fs::path(UMB_TEST_DATA) / w.keys);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(out, ReadFile(fs::path(UMB_TEST_DATA) / w.transcript));
    if (std::string(w.keys) == "hut-save.keys") {
        // Objects 0 to 3, the placeholder and two variables, locations 0 to 3.
        EXPECT_EQ(fs::file_size(dir / "hut.sv3"), SavedGameSize(3, 3, 3));
    }
}

INSTANTIATE_TEST_SUITE_P(Hut, Play,
                         ::testing::Values(Walkthrough{"hut-win.keys", "hut-win.txt", false},
                                           Walkthrough{"hut-win.keys", "hut-win.txt", true},
                                           Walkthrough{"hut-save.keys", "hut-save.txt", false},
                                           Walkthrough{"hut-save.keys", "hut-save.txt", true}),
                         [](const ::testing::TestParamInfo<Walkthrough>& c) {
                             // hut_win_source, hut_win_compiled, ...: the key script, then how
                             // the game was loaded.
                             const std::string keys = c.param.keys;
                             return TestNameOf(keys.substr(0, keys.find('.'))) +
                                    (c.param.compiled ? "_compiled" : "_source");
                         });

}  // namespace
