// test_undo.cpp - taking back commands: the state returns whole, the journal stays bounded, and
// the player asks by the word or by Ctrl+Z.
#include "compiler/compiler.h"
#include "engine/engine.h"
#include "headless_streams.h"
#include "ui/window/screen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

using namespace umb::base;
using namespace umb::db;
using namespace umb::compiler;
using namespace umb::engine;
using namespace umb::ui;

namespace {

// Three places and three objects, and a command for each kind of change the journal keeps:
// places of objects (get, drop, scatter, flip), exits (open, shut), lights (open, dim), variables
// (every turn, open) and the player's location (directions, flip).
const char* const Lab = R"([System]
StartLocation=1
MaxItems=5
[Sysmsg]
#1,What?
#10,Done.
#12,You carry:
#14,nothing.
#23,Restore?
#24,Really quit?
#25,Save first?
#26,Play again?
[Locations]
#0,Dark,,0
Too dark.
#1,Hall,,0,2,0,3
The hall.
#2,Study,,1,0,1
The study.
#3,Yard,,0,0,0,0,1
The yard.
[Objects]
#1,a coin,1,1
#2,a lamp,2,5
#3,a stone,3,1
[Verbs]
#1,n
#2,s
#3,e
#4,w
#11,i
#14,get
#15,drop
#20,open
#21,shut
#22,scatter
#23,quit
#24,flip
#25,dim
[Nouns]
#1,coin
#2,lamp
#3,stone
[Vars]
turns,flag
[Events]
if not begin
then add turns 1
[Actions]
if verb open
then exit 4 2 light 1 2 set flag 7
if verb shut
then subst 3 0
if verb scatter
then moveall -1 3
if verb flip
then swap 1 3 go 2
if verb dim
then light 0 2
)";

// Forty commands that change every kind of field, some more than once in a turn.
const char* const Commands[] = {
    "get coin", "n",         "get lamp",  "s",         "open",      "w",        "drop coin",
    "e",        "flip",      "s",         "e",         "get stone", "scatter",  "get coin",
    "shut",     "n",         "xyzzy",     "drop lamp", "s",         "dim",      "open",
    "get coin", "flip",      "n",         "get lamp",  "s",         "e",        "drop lamp",
    "w",        "get stone", "scatter",   "open",      "shut",      "get coin", "flip",
    "dim",      "n",         "drop coin", "s",         "get lamp",
};
static_assert(sizeof Commands / sizeof Commands[0] == 40);

class Undo : public ::testing::Test {
  protected:
    void SetUp() override {
        io.Open();
        ASSERT_EQ(AllocateTextHeap(db), DbResult::Ok);
        g.Db = &db;
        g.Front = {&WindowFrontEnd, &screen};
    }
    void TearDown() override { io.Close(); }

    void Compile(const std::string& source) {
        ResetDatabase(db);
        Compiler c;
        BeginCompile(c, db);
        c.Out = io.out;
        ASSERT_EQ(CompileSource(c, source.data(), source.size(), "lab.adv"), CompileResult::Clean)
            << io.Output();
        OpenGameScreen(g);
    }

    // A new game, declining to restore.
    void Start() {
        io.SetKeys("n");
        NewGame(g);
    }

    // One command line as the play loop takes it: the word "undo", or a step, the actions and
    // then the events of a turn that took time.
    void Play(const char* command) {
        char line[InputLineLength + 1];
        std::snprintf(line, sizeof line, "%s", command);
        if (IsUndoRequest(g, line) == 1) {
            UndoLastCommand(g);
            return;
        }
        int verb = 0, noun = 0, noun2 = 0, noun3 = 0;
        ParseInput(g, line, &verb, &noun, &noun2, &noun3);
        BeginUndoStep(g);
        if (RunActions(g, verb, noun, noun2, noun3) != TurnResult::NoTime)
            RunEvents(g, ScriptMode::Normal);
    }

    HeadlessStreams io;
    GameDatabase db;
    WindowState screen;
    Game g;
};

TEST_F(Undo, TakingAnObjectIsTakenBack) {
    Compile(Lab);
    Start();
    const std::string start = BuildSavedGame(g);
    Play("get coin");
    EXPECT_EQ(ObjectLocation(g, 1), Carried);
    EXPECT_EQ(g.CarriedCount, 1);
    Play("undo");
    EXPECT_EQ(ObjectLocation(g, 1), 1);
    EXPECT_EQ(g.CarriedCount, 0);
    EXPECT_EQ(CountCarried(g), 0);
    EXPECT_EQ(BuildSavedGame(g), start);  // the turn's event is taken back too
}

TEST_F(Undo, ThirtyThreeUndosAfterFortyCommandsReachTheSeventh) {
    Compile(Lab);
    Start();
    std::vector<std::string> after;  // the state after each command
    for (const char* command : Commands) {
        Play(command);
        after.push_back(BuildSavedGame(g));
    }
    // The commands changed every field at some point, so that the comparison means something.
    EXPECT_NE(after[6], after[39]);
    for (int k = 1; k <= 33; ++k) {
        Play(k % 2 == 0 ? "  UNDO " : "undo");
        ASSERT_EQ(BuildSavedGame(g), after[static_cast<size_t>(39 - k)]) << "undo " << k;
    }
    // The place indexes followed the values put back: moveall and subst still find them all.
    Play("scatter");
    Play("shut");
    EXPECT_EQ(CountCarried(g), 0);
    EXPECT_EQ(EffectiveExit(g, 1, 3), 0);
}

TEST_F(Undo, NothingToTakeBackChangesNothing) {
    Compile(Lab);
    Start();
    const std::string start = BuildSavedGame(g);
    Play("undo");
    EXPECT_FALSE(UndoLastCommand(g));
    EXPECT_EQ(BuildSavedGame(g), start);

    // Past the oldest kept step: 70 commands keep 64 steps; the 65th undo changes nothing.
    for (int i = 0; i < 70; ++i) Play(i % 2 == 0 ? "get coin" : "drop coin");
    std::string oldest;
    for (size_t i = 0; i < UndoStepLimit; ++i) ASSERT_TRUE(UndoLastCommand(g));
    oldest = BuildSavedGame(g);
    EXPECT_FALSE(UndoLastCommand(g));
    EXPECT_EQ(BuildSavedGame(g), oldest);
    EXPECT_EQ(VarValue(g, 1), 6);  // the six turns before the oldest kept step stay
}

TEST_F(Undo, NewGameAndRestoreCannotBeTakenBack) {
    Compile(Lab);
    Start();
    Play("get coin");
    const std::string saved = BuildSavedGame(g);
    Play("n");
    ASSERT_EQ(ApplySavedGame(g, saved), ReadResult::Ok);
    EXPECT_FALSE(UndoLastCommand(g));
    EXPECT_EQ(BuildSavedGame(g), saved);
    // A refused image is no restore: what could be taken back stays.
    Play("n");
    EXPECT_NE(ApplySavedGame(g, "not a saved game"), ReadResult::Ok);
    EXPECT_TRUE(UndoLastCommand(g));
    EXPECT_EQ(BuildSavedGame(g), saved);

    Play("drop coin");
    Start();
    EXPECT_FALSE(UndoLastCommand(g));
}

TEST_F(Undo, TheWordIsTheGamesOwnWhenItHasSuchAVerb) {
    Compile(std::string(Lab) + "[Verbs]\n#30,undo\n[Actions]\nif verb undo\nthen set flag 3\n");
    Start();
    Play("get coin");
    EXPECT_EQ(IsUndoRequest(g, "undo"), 0);
    Play("undo");
    EXPECT_EQ(ObjectLocation(g, 1), Carried);  // not rolled back
    EXPECT_EQ(VarValue(g, 2), 3);              // the game's action ran
    EXPECT_EQ(VarValue(g, 1), 2);              // and it was a turn

    // Without such a verb only the word alone, in any case, with blanks around, asks for undo.
    Compile(Lab);
    for (const char* yes : {"undo", "UnDo", "  undo\t", "undo\n"})
        EXPECT_EQ(IsUndoRequest(g, yes), 1) << yes;
    for (const char* no : {"", "und", "undoo", "undo it", "please undo", "un do"})
        EXPECT_EQ(IsUndoRequest(g, no), 0) << no;
}

TEST_F(Undo, JournalStaysBounded) {
    Compile(Lab);
    Start();
    for (int i = 0; i < 5000; ++i) Play(Commands[i % 40]);
    EXPECT_EQ(g.Undo.steps.size(), UndoStepLimit);
    // 64 steps of a few changes each, whatever the number of commands played.
    EXPECT_LE(UndoBytes(g), UndoStepLimit * (sizeof(UndoStep) + 8 * sizeof(UndoChange)));

    // The changes in all are capped too: the oldest steps go first ...
    ClearUndo(g);
    const size_t third = UndoChangeLimit / 3 + 1;
    for (int step = 0; step < 4; ++step) {
        BeginUndoStep(g);
        for (size_t i = 0; i < third; ++i) NoteUndoChange(g, UndoField::Var, 1, 0);
    }
    EXPECT_EQ(g.Undo.steps.size(), 2u);
    EXPECT_EQ(g.Undo.changes.size(), 2 * third);
    // ... and a command that alone changes more than the cap cannot be taken back.
    BeginUndoStep(g);
    for (size_t i = 0; i <= UndoChangeLimit; ++i) NoteUndoChange(g, UndoField::Var, 1, 0);
    EXPECT_EQ(UndoBytes(g), 0u);
    NoteUndoChange(g, UndoField::Var, 1, 0);  // the rest of that command is not kept
    EXPECT_FALSE(UndoLastCommand(g));

    // Switched off, nothing is kept.
    g.Undo.enabled = false;
    Play("get coin");
    EXPECT_EQ(UndoBytes(g), 0u);
    EXPECT_FALSE(UndoLastCommand(g));
}

// Whole games through the play loop, in debug mode so that "%1" prints where the coin is and the
// turn count ("Obj. 1 is L, Flag 1 = V") over its own echo.
// A file of its own for a transcript, removed after the test.
struct TempFile {
    std::string path = ::testing::TempDir() + "undo-" + std::to_string(::getpid()) + ".txt";
    TempFile() { std::remove(path.c_str()); }
    ~TempFile() { std::remove(path.c_str()); }
    std::string Read() const {
        std::ifstream in(path, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

class UndoPlay : public Undo {
  protected:
    // Plays keys to the end (they must quit and decline another game); returns the transcript.
    std::string PlayAll(const std::string& keys) {
        io.SetKeys(keys);
        WindowState window;
        PlayView view;
        view.Front = {&WindowFrontEnd, &window};
        PlayGames(db, "lab", true, nullptr, view);
        EXPECT_TRUE(io.AllKeysUsed());
        return io.Output();
    }
};

TEST_F(UndoPlay, CtrlZTakesBackTheLastCommand) {
    Compile(Lab);
    const std::string out = PlayAll("nget coin\n%1\n{undo}%1\nget co{undo}in\n%1\nquit\nynn");
    // The undo took no time: the turn count went back and stayed. Ctrl+Z shows as the word; a
    // half-typed line is not sent but waits on the next command line, to be finished there; with
    // nothing left to take back the program says so.
    EXPECT_NE(out.find("Obj. 1 is -1, Flag 1 = 1\n>undo\nObj. 1 is 1, Flag 1 = 0\n"
                       ">undo\nNothing to undo.\n>get coin\nDone.\nObj. 1 is -1, Flag 1 = 1\n"),
              std::string::npos)
        << out;
}

// At the start of a game nothing can be taken back, whether asked by the word or by Ctrl+Z; the
// program says so in its own words, which the transcript holds too, Ctrl+Z as the word.
TEST_F(UndoPlay, NothingToUndoIsSaid) {
    Compile(Lab);
    TempFile transcript;
    WindowState window;
    PlayView view;
    view.Front = {&WindowFrontEnd, &window};
    view.TranscriptPath = transcript.path;
    io.SetKeys("nundo\n{undo}get coin\nundo\nundo\nquit\nynn");
    EXPECT_EQ(PlayGames(db, "lab", false, nullptr, view), PlayResult::Ended);
    EXPECT_TRUE(io.AllKeysUsed());
    const std::string nothing = ">undo\nNothing to undo.\n";
    EXPECT_NE(io.Output().find(nothing + nothing + ">get coin\nDone.\n>undo\n" + nothing),
              std::string::npos)
        << io.Output();
    const std::string log = transcript.Read();
    const size_t got = log.find(nothing + nothing + ">get coin\nDone.\n");
    ASSERT_NE(got, std::string::npos) << log;
    EXPECT_NE(log.find(nothing, got + 2 * nothing.size()), std::string::npos) << log;
}

TEST_F(UndoPlay, TypedWordDescribesTheLocationAgain) {
    Compile(Lab);
    const std::string out = PlayAll("ne\n{screen}undo\n{screen}%1\nquit\nynn");
    const size_t east = out.find("-- title --\nYard");
    EXPECT_NE(east, std::string::npos) << out;
    EXPECT_NE(out.find("-- title --\nHall", east), std::string::npos) << out;
    EXPECT_NE(out.find(">undo\nObj. 1 is 1, Flag 1 = 0\n"), std::string::npos) << out;
}

}  // namespace
