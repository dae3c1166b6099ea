// test_check.cpp - the author's checker: each kind of mistake found on its line, clean games clean.
#include "file_text.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Runs "umb --check" on a game in folder; returns the exit status, the output in out. The
// output file lies in the test's own folder, the current one, so parallel tests stay apart.
int Check(const fs::path& folder, const std::string& game, std::string& out) {
    const fs::path saved = fs::current_path() / "check-out.txt";
    const std::string cmd = "cd '" + folder.string() + "' && '" + std::string(UMB_BINARY) +
                            "' --check " + game + " >'" + saved.string() + "' 2>&1";
    const int status = std::system(cmd.c_str());
    out = ReadText(saved);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A game with one mistake of each kind the checker knows; every system message the engine
// prints is there but 29, so that only the planted findings come out.
const std::vector<std::string> Planted = {
    "[System]",
    "Title=Planted",
    "Colour=3",
    "StartLocation=1",
    "[Sysmsg]",
    "#1,What?",
    "#2,Not here.",
    "#3,You cannot.",
    "#4,Too much.",
    "#5,No way.",
    "#7,Nothing special.",
    "#8,Not quite.",
    "#10,Done.",
    "#11,You see:",
    "#12,You carry:",
    "#13,(worn)",
    "#14,nothing.",
    "#19,Exits:",
    "#21,Slot?",
    "#22,Slot?",
    "#23,Restore?",
    "#24,Really quit?",
    "#25,Save first?",
    "#26,Again?",
    "[Locations]",
    "#1,Hall,,0,2",
    "The score is %scroe%.",
    "#2,Yard,,0,0,1,0,0,0,0,0,0,0,5",
    "#3,Vault,,0",
    "[Objects]",
    "#1,lamp,1,1",
    "#2,key,3,1",
    "#3,box,9,0",
    "#4,rope,1,1,rop",
    "[Messages]",
    "#1,Hello.",
    "#2,Never printed.",
    "[Verbs]",
    "#24,open",
    "#25,push",
    "[Nouns]",
    "#1,lamp",
    "#2,door",
    "#3,key",
    "#4,box",
    "#5,rope",
    "[Vars]",
    "score,ghost,spare",
    "[Foo]",
    "[Actions]",
    "if verb open",
    "and noun dor",
    "then {",
    "mchoice score 3",
    "message 999",
    "go 77",
    "}",
    "if verb kick",
    "and noun open",
    "Then {",
    "message 1",
    "}",
    "else",
    "if eq ghost 1",
    "then set score 2",
    "{",
    "show 4",
    "sysmsg 30",
    "[Verbs]",
    "#26,kick",
};

int LineOf(const std::string& text) {
    for (size_t i = 0; i < Planted.size(); ++i)
        if (Planted[i] == text) return static_cast<int>(i) + 1;
    return 0;
}

class CheckTool : public ::testing::Test {
  protected:
    void SetUp() override { folder.Enter("umb-check"); }
    void TearDown() override { folder.Leave(); }
    TempFolder folder;
};

TEST_F(CheckTool, FindsEachPlantedMistakeOnItsLine) {
    std::ofstream source("planted.adv", std::ios::binary);
    for (const std::string& line : Planted) source << line << "\n";
    source.close();
    std::string out;
    EXPECT_EQ(Check(folder.dir, "planted", out), 1) << "the unknown header is an error";

    struct Expected {
        const char* line;  // the planted line, as written above
        std::string finding;
    };
    const std::string openAt = "planted.adv:" + std::to_string(LineOf("#24,open"));
    const Expected expected[] = {
        {"Colour=3", "warning: [System] key \"Colour=\" is not known [Warning 1]"},
        {"The score is %scroe%.", "warning: text names variable \"%scroe%\""},
        {"#2,Yard,,0,0,1,0,0,0,0,0,0,0,5", "warning: exit 10 leads to location 5, which is not"},
        {"#3,Vault,,0", "warning: location 3 cannot be reached"},
        {"#2,key,3,1", "warning: object 2 lies where the player never gets"},
        {"#3,box,9,0", "warning: the object's place names location 9, which is not defined"},
        {"#4,rope,1,1,rop", "warning: unknown word \"rop\" skipped; did you mean \"rope\"?"},
        {"#2,Never printed.", "note: message 2 is never printed"},
        {"#25,push", "note: verb \"push\" (25) is never tested"},
        {"score,ghost,spare", "warning: variable \"ghost\" is read but never set"},
        {"score,ghost,spare", "note: variable \"spare\" is never used"},
        {"[Foo]", "error: section header \"[Foo]\" is not known [Error 1]"},
        {"and noun dor", "warning: unknown word \"dor\" skipped; did you mean \"door\"?"},
        {"mchoice score 3",
         "warning: unknown word \"mchoice\" skipped; did you mean \"mchoiche\"?"},
        {"message 999", "warning: message names message 999, which is not defined"},
        {"go 77", "warning: go names location 77, which is not defined"},
        {"if verb kick",
         "warning: word \"kick\" is declared only after this line (at planted.adv:"},
        {"and noun open", "warning: \"open\" is a verb (at " + openAt +
                              "), which the statement does not take there; \"open\" skipped"},
        {"Then {", "warning: block word \"{\" inside a statement"},
        {"else", "warning: control word \"else\" is not known"},
        {"{", "warning: block opener without a closer"},
        {"show 4", "warning: show names show 4, which is not defined"},
        {"sysmsg 30", "warning: sysmsg names system message 30, which has no text"},
        {"[Sysmsg]", "warning: system message 29 is printed by the engine but the game leaves"},
    };
    for (const Expected& e : expected) {
        const std::string want = "planted.adv:" + std::to_string(LineOf(e.line)) + ": " + e.finding;
        EXPECT_NE(out.find(want), std::string::npos) << "wanted: " << want << "\nin:\n" << out;
    }
    // The closer after "Then {" closes no block: that opener was skipped.
    const int closers = LineOf("message 1") + 1;
    EXPECT_NE(out.find("planted.adv:" + std::to_string(closers) +
                       ": warning: block closer without an opener"),
              std::string::npos)
        << out;

    // Sorted by line, one finding a line, and the closing count.
    const std::vector<std::string> lines = Lines(out);
    ASSERT_FALSE(lines.empty());
    int last = 0, errors = 0, warnings = 0;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        ASSERT_EQ(lines[i].rfind("planted.adv:", 0), 0u) << lines[i];
        const int line = std::atoi(lines[i].c_str() + 12);
        EXPECT_GE(line, last) << lines[i];
        last = line;
        errors += lines[i].find(": error: ") != std::string::npos;
        warnings += lines[i].find(": warning: ") != std::string::npos;
    }
    EXPECT_EQ(lines.back(), std::to_string(errors) + " error" + (errors == 1 ? "" : "s") + ", " +
                                std::to_string(warnings) + " warnings");
}

// Pieces of an over-long line share its physical line, and an included file is named itself.
TEST_F(CheckTool, NamesPhysicalLinesAndIncludedFiles) {
    std::ofstream("part.adv", std::ios::binary) << "[Messages]\n#1,Hi %nobody%.\n";
    std::ofstream("long.adv", std::ios::binary)
        << "[System]\nTitle=" << std::string(600, 'x') << "\n@part.adv\nBogus=1\n";
    std::string out;
    EXPECT_EQ(Check(folder.dir, "long", out), 0) << out;
    EXPECT_NE(out.find("long.adv:4: warning: [System] key \"Bogus=\""), std::string::npos) << out;
    EXPECT_NE(out.find("part.adv:2: warning: text names variable \"%nobody%\""), std::string::npos)
        << out;
    EXPECT_EQ(out.find("note: the included file"), std::string::npos) << "part.adv only warns";
}

// Pictures the program's decoder would not show, each with the decoder's reason; the shows of
// [Intro] are checked as the locations' pictures are, under the game's ImagePath.
TEST_F(CheckTool, ReportsPicturesTheDecoderRefuses) {
    fs::create_directory("art");
    std::ofstream("art/text.png", std::ios::binary) << "not a picture";
    std::ofstream("art/cut.png", std::ios::binary) << "\x89PNG\r\n\x1a\n";
    std::ofstream("pics.adv", std::ios::binary)
        << "[System]\nImagePath=art\n[Intro]\n#1,gone.png\nHello\n[Locations]\n"
           "#1,Hall,text.png,0,2\n#2,Yard,cut.png,0,0,1\n[Actions]\nshow 1\n";
    std::string out;
    EXPECT_EQ(Check(folder.dir, "pics", out), 0) << out;
    EXPECT_NE(out.find("pics.adv:4: warning: picture art/gone.png: file not found"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("pics.adv:7: warning: picture art/text.png: not a PNG file"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("pics.adv:8: warning: picture art/cut.png: "), std::string::npos) << out;
}

// The compiler's numbered diagnostics keep their numbers and say in words what was refused.
TEST_F(CheckTool, SaysWhatEachDiagnosticRefused) {
    std::ofstream("words.adv", std::ios::binary)
        << "stray\n[System]\nBgColor=99\n[Locations]\n#1,Hall\n#40000,Far,,0\n"
           "[Messages]\nlost text\n[Verbs]\nkick\n@nothere.adv\n";
    std::string out;
    EXPECT_EQ(Check(folder.dir, "words", out), 1) << out;
    const char* const expected[] = {
        "words.adv:1: warning: a line before any section header [Warning 1]",
        "words.adv:3: warning: [System] value of \"BgColor=\" is refused [Warning 1]",
        "words.adv:5: warning: [Locations] the record line lacks a field [Warning 2]",
        "words.adv:6: warning: [Locations] the record number is out of range [Warning 1]",
        "words.adv:8: warning: [Messages] a text line with no record before it [Warning 1]",
        "words.adv:10: warning: [Verbs] a line that is not a record line",
        "words.adv:11: error: cannot include \"nothere.adv\" [Error 3]",
    };
    for (const char* want : expected)
        EXPECT_NE(out.find(want), std::string::npos) << want << "\n" << out;
}

TEST_F(CheckTool, DemoAndReadmeExampleHaveNoWarnings) {
    std::string out;
    EXPECT_EQ(Check(fs::path(UMB_EXAMPLES) / "beacon", "beacon", out), 0);
    EXPECT_EQ(out.find("warning:"), std::string::npos) << out;
    EXPECT_EQ(Lines(out).back(), "0 errors, 0 warnings") << out;

    const std::string readme = ReadText(UMB_README);
    const std::string open = "<!-- example shed.adv -->\n```\n";
    const size_t from = readme.find(open);
    ASSERT_NE(from, std::string::npos);
    const size_t to = readme.find("```\n<!-- end shed.adv -->", from);
    ASSERT_NE(to, std::string::npos);
    std::ofstream("shed.adv", std::ios::binary)
        << readme.substr(from + open.size(), to - from - open.size());
    EXPECT_EQ(Check(folder.dir, "shed", out), 0);
    EXPECT_EQ(out, "0 errors, 0 warnings\n");
}

}  // namespace
