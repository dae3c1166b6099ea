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
    EXPECT_EQ(lines.back(), "planted.adv: " + std::to_string(errors) + " error" +
                                (errors == 1 ? "" : "s") + ", " + std::to_string(warnings) +
                                " warnings");
}

// Pieces of an over-long line share its physical line, and an included file is named itself.
TEST_F(CheckTool, NamesPhysicalLinesAndIncludedFiles) {
    std::ofstream("part.adv", std::ios::binary) << "[Messages]\n#1,Hi %nobody%.\n";
    std::ofstream("long.adv", std::ios::binary)
        << "[System]\nTitle=" << std::string(600, 'x') << "\n@part.adv\nBogus=1\n"
        << "[Locations]\n#0,Dark,,0\n#1,Hall,,0\n";
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
    EXPECT_EQ(Lines(out).back(), "beacon.adv: 0 errors, 0 warnings") << out;

    const std::string readme = ReadText(UMB_README);
    const std::string open = "<!-- example shed.adv -->\n```\n";
    const size_t from = readme.find(open);
    ASSERT_NE(from, std::string::npos);
    const size_t to = readme.find("```\n<!-- end shed.adv -->", from);
    ASSERT_NE(to, std::string::npos);
    std::ofstream("shed.adv", std::ios::binary)
        << readme.substr(from + open.size(), to - from - open.size());
    EXPECT_EQ(Check(folder.dir, "shed", out), 0);
    EXPECT_EQ(out, "shed.adv: 0 errors, 0 warnings\n");
}

// Writes name.adv from lines, one a line, and checks it.
int CheckLines(const TempFolder& folder, const std::string& name,
               const std::vector<std::string>& lines, std::string& out) {
    std::ofstream source(name + ".adv", std::ios::binary);
    for (const std::string& line : lines) source << line << "\n";
    source.close();
    return Check(folder.dir, name, out);
}

// The lines every small game below starts with: a darkness location and a room.
const std::vector<std::string> Rooms = {"[Locations]", "#0,Dark,,0", "#1,Hall,,0"};

std::vector<std::string> WithRooms(const std::vector<std::string>& more) {
    std::vector<std::string> lines = Rooms;
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

// A misspelt or tab-joined condition word leaves its line testing nothing: an error, since the
// actions under it then run every time.
TEST_F(CheckTool, ConditionWithNoTestLeftIsAnError) {
    std::string out;
    EXPECT_EQ(CheckLines(folder, "lost",
                         WithRooms({"[Verbs]", "#30,help", "[Events]", "if carrid 1", "[Actions]",
                                    "if verb\thelp", "then redesc", "if verb help", "and carrid 1",
                                    "if verb hlep", "if carried 1 cls"}),
                         out),
              1);
    const char* const expected[] = {
        "lost.adv:7: error: the condition has no test left: the actions below run on every turn",
        "lost.adv:9: warning: a tab inside a script line: words are separated by blanks only, "
        "so \"verb<tab>help\" is read as one word",
        "lost.adv:9: error: the condition has no test left: the actions below run on every "
        "command",
        "lost.adv:12: error: the condition has no test left: this line adds nothing",
        // A swapped pair of letters is one slip.
        "lost.adv:13: warning: unknown word \"hlep\" skipped; did you mean \"help\"?",
    };
    for (const char* want : expected) EXPECT_NE(out.find(want), std::string::npos) << want << out;
    // The verb test stays (with verb 0), and an action word in a condition is skipped alone.
    EXPECT_EQ(out.find("lost.adv:13: error"), std::string::npos) << out;
    EXPECT_EQ(out.find("lost.adv:14: error"), std::string::npos) << out;
}

// Each mistake the compiler lets through quietly, found on its line.
TEST_F(CheckTool, FindsWhatTheCompilerLetsThrough) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::string want;  // a finding, after "NAME.adv:"
    };
    const std::string longText(1200, 'x');
    std::string words;
    for (int i = 0; i < 200; ++i) words += "word ";
    const Case cases[] = {
        {"boolean", WithRooms({"[System]", "Boolean=yes"}),
         "5: warning: Boolean= takes two letters, the yes letter then the no letter (\"yn\"): "
         "\"yes\" makes 'y' yes and 'e' no"},
        {"exit", WithRooms({"#2,Yard,,0,five"}),
         "4: warning: exit 1 \"five\" is not a number: it reads as 0"},
        {"record",
         {"[Locations]", "#0,Dark,,0", "#one,Hall,,0"},
         "3: warning: the record number \"one\" is not a number: it reads as 0"},
        {"place", WithRooms({"[Objects]", "#1,lamp,hall,1"}),
         "5: warning: the object's place \"hall\" is not a number: it reads as 0"},
        {"mark", WithRooms({"The score is %score."}),
         "4: warning: \"%score.\" has no closing \"%\": the text ends there"},
        {"verbs", WithRooms({"[Verbs]", "#30,open", "#31,push,open"}),
         "6: warning: the word \"open\" is already verb 30 (at verbs.adv:5), which the "
         "player's word finds first: it never gives verb 31"},
        {"nouns", WithRooms({"[Nouns]", "#1,lamp", "#2,lamp"}),
         "6: warning: the word \"lamp\" is already noun 1 (at nouns.adv:5)"},
        {"empty",
         {"[System]", "Title=Nothing"},
         "1: error: the game has no locations ([Locations] with #1,name,,0 and more): it cannot "
         "be played"},
        {"header", WithRooms({"[Object]", "#1,lamp,1,1", "text %nobody%", "[Messages]"}),
         "4: error: section header \"[Object]\" is not known (did you mean \"[Objects]\"?); "
         "the 2 lines below it are read as [Locations] lines [Error 1]"},
        {"long", WithRooms({words}),
         "3: warning: the description takes 20 lines of the description area's 19 and leaves no "
         "room for the object and exit lists: shorten it by 2 lines"},
    };
    for (const Case& c : cases) {
        std::string out;
        CheckLines(folder, c.name, c.lines, out);
        const std::string want = std::string(c.name) + ".adv:" + c.want;
        EXPECT_NE(out.find(want), std::string::npos) << want << "\n" << out;
    }
    // Lines under an unknown header are not reported one by one: not the unknown %nobody%.
    std::string out;
    CheckLines(folder, "header", cases[8].lines, out);
    EXPECT_EQ(out.find("nobody"), std::string::npos) << out;
    EXPECT_EQ(out.find("header.adv:5:"), std::string::npos) << out;
    // A description that leaves a line for the lists is fine.
    CheckLines(folder, "short", WithRooms({words.substr(0, 900)}), out);
    EXPECT_EQ(out.find("description takes"), std::string::npos) << out;
}

// Each statement that names a location, object, message, show, system message, direction or
// variable is checked for it, and the finding starts with the statement's keyword.
TEST_F(CheckTool, EachStatementNamesWhatItRefersTo) {
    const struct {
        const char* line;
        std::vector<std::string> findings;
    } cases[] = {
        {"if at 9", {"at names location 9, which is not defined"}},
        {"if dark 9", {"dark names location 9, which is not defined"}},
        {"if isin 7 8",
         {"isin names object 7, which is not defined", "isin names location 8, which is"}},
        {"if not carried 7", {"the test names object 7, which is not defined"}},
        {"if eq 5 1", {"variable 5 is not declared in [Vars]"}},
        {"then create 7", {"the action names object 7, which is not defined"}},
        {"then put 1 8", {"put names location 8, which is not defined"}},
        {"then swap 1 7", {"swap names object 7, which is not defined"}},
        {"then moveall 8 9",
         {"moveall names location 8, which is not", "moveall names location 9, which is not"}},
        {"then go 9", {"go names location 9, which is not defined"}},
        {"then at 9", {"at names location 9, which is not defined"}},
        {"then exit 11 9",
         {"exit names direction 11, which is not 1 to 10", "exit leads to location 9, which"}},
        {"then subst 8 9",
         {"subst names location 8, which is not", "subst names location 9, which is not"}},
        {"then light 1 9", {"light names location 9, which is not defined"}},
        {"then message 9", {"message names message 9, which is not defined"}},
        {"then sysmsg 30", {"sysmsg names system message 30, which has no text"}},
        {"then show 9", {"show names show 9, which is not defined"}},
        {"then set", {"the statement names no variable"}},
        // What names the game's own records, or nothing at all, is no finding.
        {"if at 1 dark 0 isin 1 -1 carried 1 eq score 1 random 1 2 move 3 free", {}},
        {"then exit 1 0 subst 0 1 light 0 0 put 1 -2 moveall 0 1 pause 5 cls redesc", {}},
    };
    std::vector<std::string> lines = WithRooms(
        {"[Objects]", "#1,lamp,1,1", "[Messages]", "#1,Hi.", "[Vars]", "score", "[Actions]"});
    const int first = static_cast<int>(lines.size()) + 1;
    for (const auto& c : cases) lines.push_back(c.line);
    std::string out;
    CheckLines(folder, "refer", lines, out);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string at = "refer.adv:" + std::to_string(first + static_cast<int>(i)) + ": ";
        for (const std::string& f : cases[i].findings)
            EXPECT_NE(out.find(at + "warning: " + f), std::string::npos) << cases[i].line << "\n"
                                                                         << out;
        size_t count = 0;
        for (size_t p = out.find(at); p != std::string::npos; p = out.find(at, p + 1)) ++count;
        EXPECT_EQ(count, cases[i].findings.size()) << cases[i].line << "\n" << out;
    }
}

TEST_F(CheckTool, WarnsOfAnUnnamedDarknessLocationAtItsHeader) {
    std::string out;
    CheckLines(folder, "nodark", {"[System]", "Title=x", "[Locations]", "#1,Hall,,0"}, out);
    EXPECT_NE(out.find("nodark.adv:3: warning: location 0 (the darkness location) has no name: "
                       "no location's description, objects or exits are shown"),
              std::string::npos)
        << out;
    CheckLines(folder, "dark", Rooms, out);
    EXPECT_EQ(out.find("location 0"), std::string::npos) << out;
}

// A compiled game or any binary file gives one finding, not one for each of its "lines".
TEST_F(CheckTool, ABinaryFileGivesOneFinding) {
    std::string bytes;
    for (int i = 0; i < 4000; ++i) bytes += static_cast<char>((i * 7919) % 256);
    std::ofstream("binary.adv", std::ios::binary) << "\x1f\x8b" << bytes;
    std::string out;
    EXPECT_EQ(Check(folder.dir, "binary", out), 1);
    EXPECT_EQ(out,
              "binary.adv:1: error: this does not look like an adventure source: it holds many "
              "control bytes (it reads like a compiled game)\nbinary.adv: 1 error, 0 warnings\n");
}

// The same finding many times shows three times and a count of the rest; the total counts all.
TEST_F(CheckTool, FoldsRepeatedFindings) {
    std::vector<std::string> lines = WithRooms({"[Messages]"});
    for (int i = 1; i <= 12; ++i) lines.push_back("#" + std::to_string(i) + ",100% sure");
    lines.push_back("[Actions]");
    for (int i = 1; i <= 12; ++i) lines.push_back("message " + std::to_string(i));
    lines.push_back("message 1 message 99");  // one more, different: not folded
    std::string out;
    CheckLines(folder, "fold", lines, out);
    const std::string mark = "has no closing";
    size_t shown = 0;
    for (const std::string& line : Lines(out)) shown += line.find(mark) != std::string::npos;
    EXPECT_EQ(shown, 3u) << out;
    EXPECT_NE(out.find("fold.adv:7: warning: \"% sure\" has no closing \"%\": the text ends "
                       "there (write %% for a percent sign)\n... and 9 more like this\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("message names message 99"), std::string::npos) << out;
    EXPECT_NE(out.find("fold.adv: 0 errors, 14 warnings\n"), std::string::npos) << out;
}

// A source saved as UTF-8: said when it lacks CharSet=u; with it, what code page 850 lacks.
TEST_F(CheckTool, SaysWhatBecomesOfUtf8Characters) {
    std::string out;
    CheckLines(folder, "plain", WithRooms({"Un caff\xC3\xA8."}), out);
    EXPECT_NE(out.find("plain.adv:4: warning: the file is saved as UTF-8 (\"\xC3\xA8\" (U+00E8) "
                       "here) but does not say CharSet=u"),
              std::string::npos)
        << out;
    CheckLines(folder, "marked",
               {"[System]", "CharSet=u", "[Locations]", "#0,Dark,,0", "#1,Caff\xC3\xA8,,0",
                "Costs 2\xE2\x82\xAC, or 3\xE2\x82\xAC, or \xFF."},
               out);
    EXPECT_NE(out.find("marked.adv:6: warning: \"\xE2\x82\xAC\" (U+20AC) is not in code page "
                       "850, the game's character set: it shows as \"?\" (2 more in this file do "
                       "too)"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("saved as UTF-8"), std::string::npos) << out;
    std::ofstream("bom.adv", std::ios::binary) << "\xEF\xBB\xBF[System]\nCharSet=u\n";
    Check(folder.dir, "bom", out);
    EXPECT_NE(out.find("bom.adv:1: warning: the file starts with a UTF-8 byte order mark"),
              std::string::npos)
        << out;
    // A file in code page 850 itself is no UTF-8.
    CheckLines(folder, "cp850", WithRooms({"Un caff\x8A."}), out);
    EXPECT_EQ(out.find("UTF-8"), std::string::npos) << out;
}

}  // namespace
