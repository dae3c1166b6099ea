// test_runner.cpp - how the action and event walks go on, end and loop.
#include "compiler/compiler.h"
#include "engine/engine.h"
#include "param_names.h"
#include "ui/window/screen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace umb::db;
using namespace umb::compiler;
using namespace umb::gfx;
using namespace umb::ui;
using namespace umb::engine;

namespace {

// Compiles a source whose texts name themselves, and plays commands against it headless.
class Runner : public ::testing::Test {
  protected:
    void SetUp() override {
        keys = fmemopen(keyText, sizeof keyText - 1, "r");
        out = open_memstream(&outText, &outSize);
        GfxUseHeadless(true);
        GfxSetHeadlessStreams(keys, out);
        ASSERT_EQ(AllocateTextHeap(db), DbResult::Ok);
        ResetDatabase(db);
        g.Db = &db;
        g.Front = {&WindowFrontEnd, &screen};
    }
    void TearDown() override {
        GfxSetHeadlessStreams(nullptr, nullptr);
        std::fclose(keys);
        std::fclose(out);
        std::free(outText);
    }

    void Compile(const std::string& scripts) {
        const std::string source = "[Sysmsg]\n#1,WHAT\n#8,NOT YET\n#9,BUILTIN\n"
                                   "[Messages]\n#1,m1\n#2,m2\n#3,m3\n#4,m4\n#9,m9\n"
                                   "[Locations]\n#1,Room,,0\n[Vars]\ncounter\n" +
                                   scripts;
        Compiler c;
        BeginCompile(c, db);
        c.Out = out;
        ASSERT_EQ(CompileSource(c, source.data(), source.size(), "t.adv"), CompileResult::Clean);
        OpenGameScreen(g);
        g.CurrentLocation = 1;
        printed.clear();
    }

    // Runs one command; returns the message-area lines it printed, joined by blanks.
    std::string Command(int verb, int noun = 0) {
        std::fflush(out);
        const size_t before = outSize;
        result = RunActions(g, verb, noun, 0, 0);
        // Scroll the printed lines out of the area so the transcript holds them.
        SelectArea(screen, AreaMessages, ModeClearArea);
        PrintText(screen, nullptr);
        std::fflush(out);
        std::string lines(outText + before, outSize - before);
        for (char& ch : lines)
            if (ch == '\n') ch = ' ';
        if (!lines.empty()) lines.pop_back();
        return lines;
    }

    char keyText[2] = "n";
    FILE* keys = nullptr;
    FILE* out = nullptr;
    char* outText = nullptr;
    size_t outSize = 0;
    GameDatabase db;
    WindowState screen;
    Game g;
    TurnResult result = TurnResult::Scripts;
    std::string printed;
};

// An Actions table of nine lines: a begin block for verb 20 noun 7, then verb 20 alone.
const char* const NineLines = "[Actions]\n"
                              "if verb 20 noun 7\n"
                              "begin\n"
                              "if carried 3\n"
                              "then message 1\n"
                              "if not carried 3\n"
                              "then message 2\n"
                              "end\n"
                              "if verb 20\n"
                              "then message 9\n"
                              "[Objects]\n#3,coin,-1,1\n";

TEST_F(Runner, NineLineExample) {
    Compile(NineLines);
    g.CarriedCount = 1;
    EXPECT_EQ(Command(20, 7), "m1");
    EXPECT_EQ(result, TurnResult::Scripts);
    EXPECT_EQ(Command(20, 8), "m9");
    EXPECT_EQ(Command(18), "BUILTIN");  // the end of the table: built-in commands
    EXPECT_EQ(result, TurnResult::Builtin);
}

struct WalkCase {
    const char* name;
    const char* actions;
    const char* printed;
    int result;
};

class WalkEnds : public Runner, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(WalkEnds, AsTheBlockKindSays) {
    Compile(std::string("[Actions]\n") + GetParam().actions);
    EXPECT_EQ(Command(18), GetParam().printed) << GetParam().name;
    EXPECT_EQ(static_cast<int>(result), GetParam().result) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, WalkEnds,
    ::testing::Values(
        WalkCase{"top level line ends", "message 1\nmessage 2\n", "m1", 0},
        WalkCase{"sbegin block ends", "sbegin\nmessage 1\nmessage 2\nend\nmessage 3\n", "m1", 0},
        WalkCase{"begin block goes on", "begin\nmessage 1\nmessage 2\nend\nmessage 3\n", "m1 m2",
                 0},
        WalkCase{"fbegin goes on inside", "fbegin\nmessage 1\nmessage 2\nend\nmessage 3\n", "m1 m2",
                 0},
        WalkCase{"entered fbegin without actions ends",
                 "if verb 18\nfbegin\nif verb 1\n"
                 "message 1\nend\nmessage 3\n",
                 "WHAT", 0},
        WalkCase{"skipped block goes on", "if verb 1\nfbegin\nmessage 1\nend\nmessage 3\n", "m3",
                 0},
        WalkCase{"continue tries the built-ins", "message 1 continue\n", "m1 BUILTIN", 1},
        WalkCase{"continued holds until a closer", "message 1 continue\nif continued\nmessage 2\n",
                 "m1 m2", 0},
        WalkCase{"halt ends without built-ins", "halt\nmessage 1\n", "", 0},
        WalkCase{"quit ends the game", "message 4 quit\nmessage 1\n", "m4", -1},
        WalkCase{"break leaves the block", "begin\nmessage 1\nbreak\nmessage 2\nend\nmessage 3\n",
                 "m1 m3", 0},
        WalkCase{"end of table", "if verb 1\nmessage 1\n", "BUILTIN", 1},
        WalkCase{"while loops until an if line",
                 "while lt counter 3\nadd counter 1 message 1\n"
                 "if eq counter 3\nmessage 2\n",
                 "m1 m1 m1 m2", 0}),
    [](const ::testing::TestParamInfo<WalkCase>& c) { return TestNameOf(c.param.name); });

TEST_F(Runner, UnknownCommandsAndPartialMatches) {
    Compile("[Actions]\nif verb 20 noun 7 carried 5\nmessage 1\n");
    EXPECT_EQ(Command(0, 0), "WHAT");
    EXPECT_EQ(Command(20, 7), "NOT YET");  // verb and noun matched, something else missing
    EXPECT_EQ(Command(20, 6), "WHAT");
    EXPECT_EQ(Command(0, 7), "WHAT");  // a noun without a verb still walks the table
}

TEST_F(Runner, EventsKeepBeginThroughTheirRunAndLoop) {
    Compile("[Events]\nif begin\nbegin\nmessage 1\nend\nif begin\nmessage 2\n"
            "while lt counter 2\nadd counter 1\nif eq counter 2\nmessage 3 quit\nmessage 4\n");
    EXPECT_EQ(RunEvents(g, ScriptMode::Begin), EventsResult::Quit);
    SelectArea(screen, AreaMessages, ModeClearArea);
    PrintText(screen, nullptr);
    std::fflush(out);
    EXPECT_NE(std::string(outText, outSize).find("m1\nm2\nm3\n"), std::string::npos);
    EXPECT_EQ(std::string(outText, outSize).find("m4"), std::string::npos);
    EXPECT_EQ(VarValue(g, 1), 2);
}

// A play handed no front end says so and plays nothing, rather than reach through a null table;
// a front end that cannot open lets the fallback stand in.
TEST_F(Runner, APlayWithoutAFrontEndIsRefused) {
    Compile("[Actions]\nif verb 20\nmessage 1\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(PlayGames(db, "t", false), PlayResult::NotOpened);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Cannot open the front end: none was given\n");

    FrontEnd refusing = WindowFrontEnd;
    refusing.open = [](void*, const GameLook&, char* why, size_t size) {
        std::snprintf(why, size, "no display");
        return OpenResult::Failed;
    };
    Game other;
    other.Db = &db;
    WindowState window;
    other.Front = {&refusing, &window};
    WindowState standIn;
    EXPECT_EQ(OpenGameScreen(other, {&WindowFrontEnd, &standIn}), OpenResult::Ready);
    EXPECT_EQ(other.Front.self, &standIn);
    FrontClose(other);
}

}  // namespace
