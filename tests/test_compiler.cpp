// test_compiler.cpp - source reader, [System] settings, entity sections and the text heap limit.
#include "compile_fixture.h"
#include "compiler/reader.h"
#include "temp_folder.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string Marker = "\x15"
                           "crypt\x15";

std::string Rot13(std::string s) {
    for (char& ch : s) {
        const char base = (ch >= 'a' && ch <= 'z') ? 'a' : (ch >= 'A' && ch <= 'Z') ? 'A' : 0;
        if (base != 0) ch = static_cast<char>(base + (ch - base + 13) % 26);
    }
    return s;
}

TEST_F(CompileTest, DiagnosticsAreNumberedAndQuoteTheLine) {
    EXPECT_EQ(Compile("[System]\nTitle=Cave\n"), CompileResult::Clean);
    EXPECT_EQ(out, "");
    EXPECT_EQ(Compile("Title=x\n"        // 1: before any header
                      "[System]\n"       // 2
                      "| comment\n"      // 3
                      "\n"               // 4
                      "Bogus=1\r\n"      // 5: unknown key
                      "[Locations]\n"    // 6
                      "#3,Hall\n"        // 7: no picture
                      "[Object]\n"       // 8: not a header
                      "  [Objects]\n"),  // 9: indented, so a description of location 3
              CompileResult::Errors);
    EXPECT_EQ(out, Diag("Warning 1", 1, "Title=x") + Diag("Warning 1", 5, "Bogus=1") +
                       Diag("Warning 2", 7, "#3,Hall") + Diag("Error 1", 8, "[Object]"));
    EXPECT_EQ(Text(db.Locations[3].description), "  [Objects]");
}

TEST_F(CompileTest, LinesArePiecesCountedFromOne) {
    const std::string longText(600, 'x'), nul(1, '\0');
    // clang-format off: one source line per line, with its number
    EXPECT_EQ(Compile("[Messages]\n"  // 1
                      "#1," +
                      longText +
                      "\n"                 // 2, 3
                      "| comment\n \t \n"  // 4, 5
                      "[Oops]\n"           // 6
                      "#2," +
                      std::string(507, 'y') +
                      "\n"  // 7, and its line end is 8
                      "#3,ab" +
                      nul + "cd\n"  // 9: the NUL ends the text
                      + nul +
                      "[Nope]\n"     // 10: an empty line
                      "[Bad]|x\n"),  // 11
              CompileResult::Errors);
    // clang-format on
    EXPECT_EQ(out, Diag("Error 1", 6, "[Oops]") + Diag("Error 1", 11, "[Bad]"));
    EXPECT_EQ(Text(db.Messages[1]), longText);  // joined at the split marker, without a blank
    EXPECT_EQ(Text(db.Messages[2]), std::string(507, 'y') + "\xFF");
    EXPECT_EQ(Text(db.Messages[3]), "ab");
}

// A piece of exactly one buffer's length, so that the line goes on in the next piece.
std::string FullPiece(const std::string& start) {
    return start + std::string(510 - start.size(), ' ');
}

TEST_F(CompileTest, CommentRunsToTheEndOfALongLine) {
    // clang-format off: one source line per line, with its numbers
    EXPECT_EQ(Compile("[Actions]\n"  // 1
                      "| " +
                      std::string(600, '-') + " quit\n" +              // 2, 3
                      FullPiece("message 4 |") + FullPiece(" quit") +  // 4, 5
                      " quit\n" +                                      // 6
                      FullPiece("message 5") +
                      "quit | message 6\n"  // 7, 8
                      "[Oops]\n"            // 9
                      "[Messages]\n"        // 10
                      "#1," +
                      std::string(600, 'x') +
                      "\n"  // 11, 12
                      "#2,ab|" +
                      std::string(600, 'z') +
                      "\n"         // 13, 14
                      "[Bad]\n"),  // 15
              CompileResult::Errors);
    // clang-format on
    EXPECT_EQ(out, Diag("Error 1", 9, "[Oops]") + Diag("Error 1", 15, "[Bad]"));
    // The comments add nothing; a '|' in a later piece cuts only that piece.
    ASSERT_EQ(db.ActionCount, 3);
    const struct {
        char op;
        int operand;
    } actions[] = {{'m', 4}, {'m', 5}, {'q', 0}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(db.Actions[i].ops[0], actions[i].op);
        EXPECT_EQ(db.Actions[i].operandA[0], actions[i].operand);
        EXPECT_EQ(db.Actions[i].ops[1], EmptySlot);
    }
    EXPECT_EQ(Text(db.Messages[1]), std::string(600, 'x'));
    EXPECT_EQ(Text(db.Messages[2]), "ab");
}

TEST_F(CompileTest, ScrambledFileIsReadThroughRot13) {
    EXPECT_EQ(Rot13("[System]"), "[Flfgrz]");
    EXPECT_EQ(Compile("\x15"
                      "CRYPT\x15\n" +
                      Rot13("[System]\nTitle=Cave | the first game\nPrompt=#1@[]\nBogus=2\n")),
              CompileResult::Warnings);
    EXPECT_EQ(out, Diag("Warning 1", 4, "Bogus=2"));
    EXPECT_STREQ(db.Title, "Cave ");
    EXPECT_STREQ(db.Prompt, "#1@[]");
    // Only the first line can carry the marker.
    EXPECT_EQ(Compile("[System]\n" + Marker + "\n"), CompileResult::Warnings);
    EXPECT_EQ(out, Diag("Warning 1", 2, Marker));
}

TEST_F(CompileTest, EveryHeaderSelectsItsSection) {
    EXPECT_EQ(Compile("[system]\nTitle=T\n[SYSMSG]\n#1,s\n[Directions] of the compass\n#2,d\n"
                      "[Intro]\n#1,i.png\n[Shows]\n#2,s.png\n[Locations]\n#0,l,,0\n"
                      "[objects] old list\n#1,o,0,0\n[Messages]\n#1,m\n[Verbs]\n#1,v\n"
                      "[Nouns]\n#1,n\n[Vars]\nx\n[Events]\nquit\n[Actions]\nquit\nquit\n"
                      "[Messages\n#2,m\n"),
              CompileResult::Errors);
    EXPECT_EQ(out, Diag("Error 1", 28, "[Messages"));
    EXPECT_STREQ(db.Title, "T");
    EXPECT_EQ(Text(db.Sysmsg[1]) + Text(db.Directions[1]) + Text(db.Messages[1]), "sdm");
    EXPECT_EQ(Text(db.Shows[1].picture) + Text(db.Shows[2].picture), "i.pngs.png");
    EXPECT_EQ(db.LastLocation + db.LastObject + db.LastMessage, 2);
    EXPECT_EQ(db.VerbCount + db.NounCount + db.VarCount + db.EventCount, 5);
    EXPECT_EQ(db.ActionCount, 3);  // '#2,m' went on into [Actions]
}

std::string Setting(const GameDatabase& db, char which) {
    switch (which) {
    case 'S': return std::to_string(db.StartLocation);
    case 'M': return std::to_string(db.MaxItems);
    case 'B': return std::string{db.YesLetter, db.NoLetter};
    case 'P': return db.Prompt;
    case 'E': return std::to_string(db.ShowExits);
    case 'I': return db.ImagePath;
    case 'T': return db.Title;
    case 'L': return db.StatusLine;
    case 'b': return std::to_string(db.BgColor);
    default: return std::to_string(db.FgColor);
    }
}

TEST_F(CompileTest, EachSettingAcceptsOrRejectsItsValue) {
    const std::string p40(40, 'p'), t70(70, 't');
    const struct {
        std::string lines;
        int result;
        char setting;
        std::string value;
    } cases[] = {
        {"StartLocation=7", 0, 'S', "7"},
        {"startlocation= \t-12x", 0, 'S', "-12"},
        {"StartLocation=0", 1, 'S', "1"},
        {"StartLocation=abc", 1, 'S', "1"},
        {"StartLocation=65536", 1, 'S', "1"},
        {"StartLocation=9\nStartLocation=0", 1, 'S', "9"},
        {"MaxItems=+3", 0, 'M', "3"},
        {"MaxItems=0", 1, 'M', "5"},
        {"MaxItems=65541", 1, 'M', "5"},
        {"MaxItems=-99999999999999", 1, 'M', "5"},
        {"Boolean=sn", 0, 'B', "sn"},
        {"BOOLEAN=jaX", 0, 'B', "ja"},
        {"Boolean=s", 1, 'B', "yn"},
        {"Boolean=", 1, 'B', "yn"},
        {"Prompt=What now? Tell me>", 0, 'P', "What now? Tell "},
        {"Prompt=", 0, 'P', ""},
        {"ShowExits=no", 0, 'E', "0"},
        {"ShowExits=n\nShowExits=yes", 0, 'E', "1"},
        {"ShowExits=0\nShowExits=1", 0, 'E', "1"},
        {"ShowExits=0\nShowExits=No", 1, 'E', "0"},
        {"ShowExits=", 1, 'E', "1"},
        {"ImagePath=" + p40, 0, 'I', p40.substr(0, 31)},
        {"Title=" + t70, 0, 'T', t70.substr(0, 63)},
        {"Title=Cave | the game", 0, 'T', "Cave "},
        {"Title=A\ntitle=b", 0, 'T', "b"},
        {"Title = Cave", 1, 'T', ""},
        {" Title=Cave", 1, 'T', ""},
        {"  [Objects]", 1, 'T', ""},
        {"StatusLine=  Score: $1 ", 0, 'L', "  Score: $1 "},
        {"BgColor= +7", 0, 'b', "7"},
        {"BgColor=16", 1, 'b', "0"},
        {"BgColor=3\nBgColor=65539", 1, 'b', "3"},
        {"FgColor=0", 0, 'F', "0"},
        {"FgColor=-1", 1, 'F', "15"},
        {"FgColor=x", 0, 'F', "0"},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.lines);
        Restart();
        EXPECT_EQ(Compile("[System]\n" + t.lines + "\n"), static_cast<CompileResult>(t.result));
        EXPECT_EQ(Setting(db, t.setting), t.value);
    }
}

// Include lines name files relative to the current folder, so these tests run in a fresh one.
class IncludeTest : public CompileTest {
  protected:
    void SetUp() override {
        CompileTest::SetUp();
        folder.Enter("umb-include");
    }
    void TearDown() override { folder.Leave(); }
    static void Write(const std::string& name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }
    TempFolder folder;
};

TEST_F(IncludeTest, IncludedFileHasItsOwnLinesAndReportsOnItsIncludeLine) {
    Write("more.adv", "[Nouns]\n#1,lamp\n");
    Write("warn.adv", "| only warnings\nstray\n[Nouns]\n#2,key\n");
    Write("err.adv", "[Nouns]\n#3,box\n[Bad]\n");
    EXPECT_EQ(Compile("[Verbs]\n@warn.adv\n"
                      "@ more.adv\n"  // 3: the name begins with a blank
                      "@err.adv\n@\n"
                      "#2,go\n"),  // 6: still in [Verbs]
              CompileResult::Errors);
    EXPECT_EQ(out, Diag("Warning 1", 2, "stray", "warn.adv") + Diag("Warning 1", 2, "@warn.adv") +
                       Diag("Error 3", 3, "@ more.adv") + Diag("Error 1", 3, "[Bad]", "err.adv") +
                       Diag("Error 1", 4, "@err.adv") + Diag("Error 3", 5, "@"));
    EXPECT_EQ(FindNoun(db, "key") + FindNoun(db, "box") + FindNoun(db, "lamp"), 5);
    EXPECT_EQ(FindVerb(db, "go"), 2);

    c.AllowIncludes = false;
    EXPECT_EQ(Compile("@more.adv\n"), CompileResult::Errors);
    EXPECT_EQ(out, Diag("Error 3", 1, "@more.adv"));
}

TEST_F(IncludeTest, IncludedFileContinuesTextsAndKeepsItsOwnReaderState) {
    Write("more.adv",
          Marker + "\n" + Rot13("[Messages]\nworld\n[System]\nCharSet=w\n[Messages]\n#2,\xE0\n"));
    Write("plain.adv", "[Messages]\n#4,\xE0\n");
    EXPECT_EQ(Compile("[Messages]\n#1,Hello\n@more.adv\n#3,\xE0\n"
                      "[System]\nCharSet=w\n[Messages]\n@plain.adv\n"
                      "#5,\xE0\xE8\xEC\xF2\xF9\xE9\xE7\xB0\xA7\xA3\xE1\n"),
              CompileResult::Clean);
    EXPECT_EQ(out, "");
    EXPECT_EQ(Text(db.Messages[1]), "Hello world");
    EXPECT_EQ(Text(db.Messages[2]) + Text(db.Messages[3]) + Text(db.Messages[4]), "\x85\xE0\xE0");
    EXPECT_EQ(Text(db.Messages[5]), "\x85\x8A\x8D\x95\x97\x82\x87\xF8\xF5\x9C\xE1");
}

TEST_F(IncludeTest, SelfIncludeStopsAtTheDepthBound) {
    auto openFiles = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{});
    };
    Write("self.adv", "@self.adv\n");
    Write("go.adv", "[Verbs]\n#1,go\n");
    const auto before = openFiles();
    EXPECT_EQ(Compile("@self.adv\n@go.adv\n"), CompileResult::Errors);
    EXPECT_EQ(openFiles(), before);
    std::string expected = Diag("Error 3", 1, "@self.adv", "self.adv");
    for (int i = 1; i < MaxIncludeDepth; ++i)
        expected += Diag("Error 1", 1, "@self.adv", "self.adv");
    EXPECT_EQ(out, expected + Diag("Error 1", 1, "@self.adv"));
    EXPECT_EQ(FindVerb(db, "go"), 1);  // the nesting is back to the top after the chain
}

TEST_F(CompileTest, EntitySectionsFillTheirTables) {
    EXPECT_EQ(Compile("[Sysmsg]\n#7,Welcome, traveller\n#31,\n[Directions]\n#10,North, east\n"
                      "[Shows]\n#3,cellar.png,extra\nText one\ntext two\n#4,p\nFour\n"
                      "[Intro]\n#1,\n"
                      "[Locations]\n#10,Far,,0\n#3,Hall,h.png,0,5,6\n#3,Big hall,,0,4\n"
                      "#0,Darkness,,1\n#2, Yard,,0,1,2,3,4,5,6,7,8,9,10,11\n"
                      "#1,Cave,,0,99999\nLine one\\\nline two\n"
                      "[Objects]\n#10,lamp,3,1,lamp\n"  // no noun declared yet
                      "[Nouns]\n#9,lamp\n#4,\n"
                      "[Objects]\n#5,lamp,3,1\n#6,lamp,3,1,\n#7,lamp,-1,7,lamp\n"
                      "#8,box,-2,2,70000\nThe box\nis open.\n"
                      "[Messages]\n#4,It is dark.\\\nYou see nothing.\n#2,\nmore\n"
                      // A text line joins the text stored last, whichever record that was.
                      "[Objects]\n#9,door,1,0\nThe door\n[Messages]\n#1,hi\n[Objects]\nis shut.\n"),
              CompileResult::Clean);
    EXPECT_EQ(out, "");
    EXPECT_EQ(Text(db.Sysmsg[7]), "Welcome, traveller");
    EXPECT_EQ(Text(db.Sysmsg[31]), "");
    EXPECT_EQ(Text(db.Directions[9]), "North, east");

    ASSERT_EQ(db.LastShow, 4);
    EXPECT_EQ(Text(db.Shows[3].picture), "cellar.png");
    EXPECT_EQ(Text(db.Shows[3].text), "Text one text two");
    EXPECT_EQ(Text(db.Shows[4].text), "Four");
    EXPECT_EQ(Text(db.Shows[1].picture), "");  // stored even when empty
    EXPECT_EQ(Text(db.Shows[2].picture), "<absent>");

    ASSERT_EQ(db.Locations.size(), 11u);
    const LocationRecord& blank = db.Locations[4];
    EXPECT_TRUE(blank.name == NoText && blank.light == 1 && blank.exitOverrides[9] == Unset);
    const LocationRecord& hall = db.Locations[3];
    EXPECT_EQ(Text(hall.name) + "/" + Text(hall.picture), "Big hall/h.png");
    EXPECT_EQ(std::vector<int16_t>(hall.exits, hall.exits + 3), (std::vector<int16_t>{4, 6, 0}));
    EXPECT_EQ(Text(db.Locations[0].name), "Darkness");
    EXPECT_EQ(db.Locations[0].flags, LocDark);
    EXPECT_EQ(Text(db.Locations[2].name), " Yard");
    EXPECT_EQ(std::vector<int16_t>(db.Locations[2].exits, db.Locations[2].exits + 10),
              (std::vector<int16_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(db.Locations[1].exits[0], -31073);  // 99999 kept to its low 16 bits
    EXPECT_EQ(Text(db.Locations[1].description), "Line one\\line two");

    ASSERT_EQ(db.LastObject, 10);
    EXPECT_TRUE(db.Objects[0].name == NoText && db.Objects[0].location == Unset);
    const int16_t nouns[] = {5, 4, 9, 4464, 9, 0};  // objects 5 to 10; 70000 gives 4464
    for (size_t i = 5; i <= 10; ++i) EXPECT_EQ(db.Objects[i].noun, nouns[i - 5]) << i;
    EXPECT_EQ(db.Objects[7].initialLocation, Carried);
    EXPECT_EQ(db.Objects[7].attributes, 7);
    EXPECT_EQ(db.Objects[8].initialLocation, Worn);
    EXPECT_EQ(Text(db.Objects[8].description), "The box is open.");
    EXPECT_EQ(Text(db.Objects[9].description), "The door");

    EXPECT_EQ(Text(db.Messages[1]), "hi is shut.");
    EXPECT_EQ(Text(db.Messages[2]), " more");
    EXPECT_EQ(Text(db.Messages[3]), "<absent>");
    EXPECT_EQ(Text(db.Messages[4]), "It is dark.\\You see nothing.");
}

TEST_F(CompileTest, RecordFieldsKeepTheLow16BitsOfTheirNumbers) {
    EXPECT_EQ(Compile("[Nouns]\n#9,65536\n[Locations]\n"
                      "#1,Cave,,65537,65600,65535,32768,-32769,-65535,99999999999,"
                      "-99999999999,65536,+65599, 12abc\n"
                      "[Objects]\n#1,lamp,65535,65538\n#2,box,-65538,4294967297,65541\n"
                      "#3,key,1,0,65536\n#4,cup,-98304,123456789012345678901234567890,x\n"),
              CompileResult::Clean);
    EXPECT_EQ(out, "");
    const LocationRecord& cave = db.Locations[1];
    EXPECT_EQ(cave.flags, 1);
    EXPECT_EQ(std::vector<int16_t>(cave.exits, cave.exits + 10),
              (std::vector<int16_t>{64, -1, -32768, 32767, 1, -6145, 6145, 0, 63, 12}));
    const struct {
        int location, attributes, noun;
    } objects[] = {{Carried, 2, 1}, {Worn, 1, 5}, {1, 0, 0}, {-32768, 2770, 0}};
    for (size_t i = 1; i <= 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(db.Objects[i].initialLocation, objects[i - 1].location);
        EXPECT_EQ(db.Objects[i].attributes, objects[i - 1].attributes);
        // 65536 is a number, not the noun word "65536": it stores its 16 bits, 0.
        EXPECT_EQ(db.Objects[i].noun, objects[i - 1].noun);
    }

    // Settings and record numbers are still checked against the 16-bit range.
    EXPECT_EQ(Compile("[System]\nMaxItems=65537\n[Objects]\n#65537,x,0,0\n"),
              CompileResult::Warnings);
    EXPECT_EQ(out, Diag("Warning 1", 2, "MaxItems=65537") + Diag("Warning 1", 4, "#65537,x,0,0"));
}

TEST_F(CompileTest, WordsAndVariables) {
    EXPECT_EQ(Compile("[Verbs]\n#1,take,get,grab\n#1,examine\n#1,inventory\n#20,lanternlight\n"
                      "#21,Lamp\n#22,lamp\n[Vars]\nscore,lampOn,turns\nx\n^foobar^, y\n"),
              CompileResult::Clean);
    ASSERT_EQ(db.VerbCount, 8);
    EXPECT_EQ(Word(db.Verbs[4].word), "inventor");
    const struct {
        const char* word;
        int number;
    } verbs[] = {{"take", 1},     {"GRAB", 1},   {"Examine", 1},        {"inventory", 1},
                 {"INVENTOR", 1}, {"invent", 0}, {"lanternlights", 20}, {"lantern", 0},
                 {"lamp", 21},    {"", 0}};
    for (const auto& v : verbs) EXPECT_EQ(FindVerb(db, v.word), v.number) << v.word;

    ASSERT_EQ(db.VarCount, 7);
    EXPECT_EQ(Word(db.Vars[0].name), "^foobar^");
    const struct {
        const char* name;
        int number;
    } vars[] = {{"score", 1}, {"TURNS", 3}, {"x", 4}, {"^foobar^", 0}, {" y", 6}, {"y", 0}};
    for (const auto& v : vars) EXPECT_EQ(FindVariable(db, v.name), v.number) << v.name;
}

TEST_F(CompileTest, BadRecordLinesGiveTheirWarning) {
    const struct {
        const char* section;
        const char* line;
        int code;
    } cases[] = {
        {"Sysmsg", "Welcome", 1},
        {"Sysmsg", "#0,x", 1},
        {"Sysmsg", "#32,x", 1},
        {"Sysmsg", "#5", 2},
        {"Sysmsg", "#31,x", 0},
        {"Directions", "#11,x", 1},
        {"Directions", "#0,x", 1},
        {"Directions", "#3", 2},
        {"Directions", "#10,x", 0},
        {"Shows", "text", 1},
        {"Shows", "#0,p", 1},
        {"Shows", "#32768,p", 1},
        {"Shows", "#1", 2},
        {"Shows", "#32767,p", 0},
        {"Locations", "text", 1},
        {"Locations", "#-1,x,,0", 1},
        {"Locations", "#32767,x,,0", 1},
        {"Locations", "#1", 2},
        {"Locations", "#1,x", 2},
        {"Locations", "#1,x,", 2},
        {"Locations", "#1,x,,", 0},
        {"Locations", "#", 2},
        {"Objects", "text", 1},
        {"Objects", "#0,x,0,0", 1},
        {"Objects", "#32767,x,0,0", 1},
        {"Objects", "#65537,x,0,0", 1},
        {"Objects", "#1,x", 2},
        {"Objects", "#1,x,0", 2},
        {"Objects", "#1,x,0,0", 0},
        {"Messages", "text", 1},
        {"Messages", "#0,x", 1},
        {"Messages", "#32767,x", 1},
        {"Messages", "#65537,x", 1},
        {"Messages", "#12", 2},
        {"Messages", "#12,", 0},
        {"Verbs", "take", 1},
        {"Verbs", "#0,x", 1},
        {"Verbs", "#32767,x", 1},
        {"Verbs", "#1", 2},
        {"Verbs", "#1,", 0},
        {"Nouns", "#-3,x", 1},
        {"Nouns", "#1", 2},
        {"Vars", "#1", 0},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(std::string(t.section) + ": " + t.line);
        Restart();
        Compile("[" + std::string(t.section) + "]\n" + t.line + "\n");
        EXPECT_EQ(out, t.code == 0 ? "" : Diag(t.code == 1 ? "Warning 1" : "Warning 2", 2, t.line));
    }
}

TEST_F(CompileTest, RejectedRecordLeavesNoCurrentRecord) {
    EXPECT_EQ(Compile("[Objects]\n#1,a,0,0\n#0,x\nlost\n#2,b\nkept\n"
                      "[Messages]\n#1,m\n#12\nlost\n[Shows]\n#1,p\n#99999,p\nlost\n"
                      "[Locations]\n#1,l,,0\n#32767\nlost\n"),
              CompileResult::Warnings);
    EXPECT_EQ(out, Diag("Warning 1", 3, "#0,x") + Diag("Warning 1", 4, "lost") +
                       Diag("Warning 2", 5, "#2,b") + Diag("Warning 2", 9, "#12") +
                       Diag("Warning 1", 10, "lost") + Diag("Warning 1", 13, "#99999,p") +
                       Diag("Warning 1", 14, "lost") + Diag("Warning 1", 17, "#32767") +
                       Diag("Warning 1", 18, "lost"));
    EXPECT_EQ(Text(db.Objects[2].description), "kept");
    EXPECT_EQ(db.LastMessage, 12);
}

// Record lines holding count one-letter words for number 1, 200 to a line.
std::string WordLines(int count) {
    std::string s;
    for (int i = 0; i < count; i += 200) {
        s += "#1";
        for (int j = i; j < count && j < i + 200; ++j) s += ",a";
        s += "\n";
    }
    return s;
}

TEST_F(CompileTest, FullWordTablesRejectTheRestOfTheLine) {
    const std::string fill = WordLines(MaxListRecords - 1);
    const int n = (MaxListRecords - 1 + 199) / 200;  // lines of fill
    EXPECT_EQ(Compile("[Verbs]\n" + fill + "#2,x,y,z\n#3,w\n[Nouns]\n" + fill + "#4,u,v\n"),
              CompileResult::Errors);
    EXPECT_EQ(out, Diag("Error 1", n + 2, "#2,x,y,z") + Diag("Error 1", n + 3, "#3,w") +
                       Diag("Error 1", 2 * n + 5, "#4,u,v"));
    ASSERT_EQ(db.VerbCount, MaxListRecords);
    EXPECT_EQ(Word(db.Verbs.back().word), "x");
    ASSERT_EQ(db.NounCount, MaxListRecords);
    EXPECT_EQ(FindNoun(db, "u"), 4);

    // A full variable table ignores further names silently.
    EXPECT_EQ(Compile("[Vars]\n" + WordLines(MaxListRecords + 5)), CompileResult::Clean);
    EXPECT_EQ(out, "");
    EXPECT_EQ(db.VarCount, MaxListRecords);
}

TEST_F(CompileTest, TextThatDoesNotFitIsError2) {
    // Each message takes 501 bytes; 523 of them leave 120 bytes after the reserved first byte.
    std::string source = "[Messages]\n";
    for (int i = 1; i <= 523; ++i)
        source += "#" + std::to_string(i) + "," + std::string(500, 'm') + "\n";
    ASSERT_EQ(TextHeapSize - 1 - 523 * 501, 120u);
    const std::string name200(200, 'n'), name113(113, 'f');
    source += "[Locations]\n"  // 525
              "#3," +
              name200 +
              ",p.png,1,4\n"  // 526: the name does not fit
              "#4," +
              name113 +
              "\n"                    // 527: fills the heap exactly
              "#5,x,,0\n"             // 528
              "[Objects]\n#1\n"       // 530: no text, only Warning 2
              "[Shows]\n#1,\n"        // 532: not even an empty text fits
              "[Messages]\n#600,\n"   // 534
              "[Locations]\n#6,x\n";  // 536: Error 2 before Warning 2
    EXPECT_EQ(Compile(source), CompileResult::Errors);
    EXPECT_EQ(out, Diag("Error 2", 526, "#3," + name200 + ",p.png,1,4") +
                       Diag("Warning 2", 527, "#4," + name113) + Diag("Error 2", 528, "#5,x,,0") +
                       Diag("Warning 2", 530, "#1") + Diag("Error 2", 532, "#1,") +
                       Diag("Error 2", 534, "#600,") + Diag("Error 2", 536, "#6,x"));
    EXPECT_EQ(db.TextHeapNext, TextHeapSize);
    const LocationRecord& loc = db.Locations[3];
    EXPECT_EQ(loc.name, NoText);
    EXPECT_EQ(Text(loc.picture), "p.png");  // the rest of the line is still handled
    EXPECT_EQ(loc.flags + loc.exits[0], 5);
    EXPECT_EQ(Text(db.Locations[4].name), name113);
    EXPECT_EQ(db.Locations[5].name, NoText);
    EXPECT_EQ(db.Shows[1].picture, NoText);
    EXPECT_EQ(db.LastMessage, 600);
}

void ExpectConsistent(const GameDatabase& db) {
    EXPECT_EQ(db.Locations.size(), static_cast<size_t>(db.LastLocation + 1));
    EXPECT_EQ(db.Objects.size(), static_cast<size_t>(db.LastObject + 1));
    EXPECT_EQ(db.Messages.size(), static_cast<size_t>(db.LastMessage + 1));
    EXPECT_EQ(db.Shows.size(), static_cast<size_t>(db.LastShow + 1));
    EXPECT_EQ(db.Verbs.size() + db.Nouns.size() + db.Vars.size(),
              static_cast<size_t>(db.VerbCount + db.NounCount + db.VarCount));
    EXPECT_EQ(db.Events.size() + db.Actions.size(),
              static_cast<size_t>(db.EventCount + db.ActionCount));
    EXPECT_LE(db.TextHeapNext, TextHeapSize);
}

TEST_F(CompileTest, GarbageAndHugeLinesAreSurvived) {
    const char* pieces[] = {"[System]\n",  "[Locations]\n",
                            "[Objects]\n", "[Messages]\n",
                            "[Verbs]\n",   "[Vars]\n",
                            "[Events]\n",  "[Actions]\n",
                            "#",           ",",
                            "1",           "-40000",
                            " ",           "\t",
                            "\n",          "\r\n",
                            "|",           "@",
                            "not ",        "set ",
                            "if ",         "\xFF",
                            "\\",          "x"};
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        Restart();
        c.AllowIncludes = false;
        std::string source = round % 2 == 1 ? Marker + "\n" : "";
        while (source.size() < 8000) {
            if (rng() % 4 == 0)
                source += static_cast<char>(rng() % 256);
            else
                source += pieces[rng() % std::size(pieces)];
        }
        const CompileResult result = Compile(source);
        EXPECT_NE(result, CompileResult::Unreadable);
        ExpectConsistent(db);
    }

    const std::string huge(100000, 'a');
    std::string words;  // pieces of 256 words
    while (words.size() < 100000) words += "a ";
    for (const char* header : pieces) {
        if (header[0] != '[') continue;
        SCOPED_TRACE(header);
        Compile(std::string(header) + huge + "\n" + words + "\n[Bad]\n");
        // Each line of 100000 characters is read as 197 pieces.
        const std::string tail = Diag("Error 1", 2 + 197 + 197, "[Bad]");
        ASSERT_GE(out.size(), tail.size());
        EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
        ExpectConsistent(db);
    }
}

}  // namespace

// Each compiled script line knows the file it came from and its line as an editor counts it,
// whatever pieces, comments and included files came before it.
TEST_F(IncludeTest, ScriptLinesKeepTheirFileAndPhysicalLine) {
    Write("acts.adv", "\n[Actions]\nif at 1\n\nthen quit\n");
    CheckLog log;
    c.Check = &log;
    EXPECT_EQ(Compile("[Events]\n"        // 1
                      "| a comment\n"     // 2
                      "if begin\n"        // 3
                      "then message 1\n"  // 4
                      "@acts.adv\n"       // 5
                      "[Events]\n" +      // 6
                      FullPiece("then message 2 |") +
                      FullPiece(" x") +
                      "\n"                  // 7, in three pieces
                      "then message 3\n"),  // 8
              CompileResult::Clean);
    auto places = [&log](const std::vector<SourcePlace>& v) {
        std::string s;
        for (const SourcePlace& p : v)
            s += log.files.at(static_cast<size_t>(p.file)) + ":" + std::to_string(p.line) + " ";
        return s;
    };
    EXPECT_EQ(places(log.events), "game.adv:3 game.adv:4 game.adv:7 game.adv:8 ");
    EXPECT_EQ(places(log.actions), "acts.adv:3 acts.adv:5 ");
    EXPECT_EQ(log.events.size(), static_cast<size_t>(db.EventCount));
}

// CharSet=u: the lines after it are UTF-8, read into code page 850; what the code page lacks,
// and bytes that are no UTF-8, become '?'. A line split into pieces is never cut inside a
// character. The lines before the setting stay as they are.
TEST_F(CompileTest, Utf8SourceIsReadIntoCodePage850) {
    const std::string longLine = "#3," + std::string(506, 'a') + "\xC3\xA8\xC3\xA8";
    EXPECT_EQ(Compile("[Messages]\n#1,caff\xC3\xA8\n[System]\nCharSet=u\n[Messages]\n"
                      "#2,Caff\xC3\xA8 \xC2\xA3 \xC3\x87 \xE2\x82\xAC \xFF \xC3|\n" +
                      longLine + "\n"),
              CompileResult::Clean);
    EXPECT_EQ(out, "");
    EXPECT_EQ(Text(db.Messages[1]), "caff\xC3\xA8");
    EXPECT_EQ(Text(db.Messages[2]), "Caff\x8A \x9C \x80 ? ? ?");
    // The first piece ends before the first è, which its 510 bytes would cut.
    EXPECT_EQ(Text(db.Messages[3]), std::string(506, 'a') + "\x8A\x8A");
}

// Swapping two neighbouring letters is one slip; the distance stops early above its limit.
TEST(EditDistance, CountsASwapAsOneSlip) {
    struct Case {
        const char* a;
        const char* b;
        size_t limit, distance;
    } const cases[] = {
        {"hlep", "help", 2, 1},
        {"HELP", "help", 2, 0},
        {"mchoice", "mchoiche", 2, 1},
        {"ab", "ba", 2, 1},
        {"abc", "cab", 3, 2},
        {"take", "kate", 3, 2},
        {"lantern", "x", 2, 3},
        {"[Object]", "[Objects]", 2, 1},
        {"", "abc", 5, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EditDistance(c.a, c.b, c.limit), c.distance) << c.a << " " << c.b;
}
