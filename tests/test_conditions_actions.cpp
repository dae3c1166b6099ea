// test_conditions_actions.cpp - condition lines, action lines and the message-area text operations.
#include "engine/engine.h"
#include "headless_streams.h"
#include "ui/window/screen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace umb::db;
using namespace umb::ui;
using namespace umb::engine;

namespace {

struct Slot {
    int code;  // negative for a negated statement
    int16_t a = 0;
    int16_t b = 0;
};

ScriptLine Line(char kind, const std::vector<Slot>& slots) {
    ScriptLine line = BlankScriptLine(kind);
    int i = 0;
    for (const Slot& s : slots) {
        line.ops[i] = static_cast<signed char>(s.code);
        line.operandA[i] = s.a;
        line.operandB[i] = s.b;
        ++i;
    }
    return line;
}

// Locations 0-9 (1 Hall: north to 2, east to 4; 3 and 4 dark; 6 overrides west to 4),
// objects 1 here, 2 carried, 3 worn, 4 at 5, 5 a lamp at 3, 6 nowhere; variables 1-3.
class Statements : public ::testing::Test {
  protected:
    void SetUp() override {
        io.Open();
        AllocateTextHeap(db);
        ResetDatabase(db);
        GrowLocations(db, 9);
        for (LocationRecord& l : db.Locations) l.light = Unset;  // as a new game leaves it
        db.Locations[1].name = Text("Hall");
        db.Locations[2].name = Text("Cellar");
        db.Locations[1].exits[0] = 2;
        db.Locations[1].exits[2] = 4;
        db.Locations[3].flags = LocDark;
        db.Locations[4].flags = LocDark;
        db.Locations[6].exits[3] = 9;
        db.Locations[6].exitOverrides[3] = 4;
        GrowObjects(db, 6);
        const int16_t places[] = {0, 1, Carried, Worn, 5, 3, 0};
        for (int i = 1; i <= 6; ++i) {
            db.Objects[static_cast<size_t>(i)].name = Text(("thing" + std::to_string(i)).c_str());
            db.Objects[static_cast<size_t>(i)].initialLocation = places[i];
        }
        db.Objects[5].attributes = AttrLight;
        for (const char* name : {"score", "door", "coins"}) AppendVar(db, name, std::strlen(name));
        GrowMessages(db, 3);
        db.Messages[2] = Text("Hello there");
        db.Sysmsg[8] = Text("Something is missing");
        GrowShows(db, 2);
        db.Shows[1] = ShowRecord{Text("A view"), Text("view.png")};
        db.Shows[2] = ShowRecord{Text("No picture"), NoText};
        g.Db = &db;
        g.Front = {&WindowFrontEnd, &screen};
        OpenGameScreen(g);
        g.CurrentLocation = 1;
        g.CarriedCount = 2;
    }
    void TearDown() override { io.Close(); }

    TextRef Text(const char* s) { return StoreText(db, s, std::strlen(s), false); }
    // The keys the next questions read; running out of them would end the process.
    void Keys(const char* k) { io.SetKeys(k); }
    // mode is a ScriptMode by its number: 0 normal, 1 begin, 2 continued.
    int Eval(const std::vector<Slot>& slots, int verb = 0, int noun = 0, int mode = 0) {
        return static_cast<int>(
            EvalCondition(g, Line(KindIf, slots), verb, noun, 0, 0, static_cast<ScriptMode>(mode)));
    }
    // Runs an action line and checks that CarriedCount still counts the named objects carried or
    // worn.
    ActResult Run(const std::vector<Slot>& slots) {
        const ActResult result = ExecActionLine(g, Line(KindAction, slots));
        int carried = 0;
        for (int i = 0; i <= db.LastObject; ++i) {
            const int16_t place = ObjectLocation(g, i);
            carried +=
                TextOf(db, ObjectAt(g, i).name) != nullptr && (place == Carried || place == Worn);
        }
        EXPECT_EQ(g.CarriedCount, carried);
        return result;
    }
    std::string Row(int area, int y) {
        char row[128];
        GfxTextRow(Areas[area].x1, Areas[area].x2, y, row, sizeof row);
        return row;
    }
    std::string BottomMessage() { return Row(AreaMessages, Areas[AreaMessages].y2 - LineHeight); }

    GameDatabase db;
    WindowState screen;
    Game g;
    HeadlessStreams io;
};

TEST_F(Statements, ConditionStatements) {
    SetVar(g, 1, 10);
    const struct {
        std::vector<Slot> slots;
        int verb, noun, mode, expected;
    } cases[] = {
        {{}, 0, 0, 0, 1},
        {{{'b'}}, 0, 0, 1, 1},
        {{{'b'}}, 0, 0, 0, 0},
        {{{'+'}}, 0, 0, 2, 1},
        {{{'+'}}, 0, 0, 1, 0},
        {{{'v', 0}}, 0, 0, 0, 1},  // the events run: no verb typed
        {{{'v', 14}, {'n', 3}}, 14, 3, 0, 1},
        {{{'v', 14}, {'n', 3}, {'c', 1}}, 14, 3, 0, -1},
        {{{-'v', 14}, {'n', 3}}, 14, 3, 0, -1},  // a negated match still counts
        {{{'v', 14}, {'c', 1}}, 14, 0, 0, 0},
        {{{'m', 0}}, 2, 0, 0, 1},
        {{{'m', 1}}, 2, 0, 0, 0},
        {{{'m', 2}}, 2, 0, 0, 1},
        {{{'m', 1}}, 1, 0, 0, 1},
        {{{'m', 0}}, 11, 0, 0, 0},
        {{{'m', 3}}, 1, 0, 0, 0},
        {{{'a', 1}, {-'a', 2}}, 0, 0, 0, 1},
        {{{'e', 1}, {-'e', 6}, {'i', 4, 5}, {'i', 2, Carried}}, 0, 0, 0, 1},
        {{{'c', 2}, {-'c', 3}, {'w', 3}, {-'w', 2}}, 0, 0, 0, 1},
        {{{'o', 2}, {'o', 3}, {-'o', 1}}, 0, 0, 0, 1},
        {{{'h', 1}, {-'h', 4}, {'p', 1}, {'p', 2}, {'p', 3}, {-'p', 4}}, 0, 0, 0, 1},
        {{{-'d'}, {'d', 4}, {-'d', 3}}, 0, 0, 0, 1},  // 3 is lit by the lamp
        {{{'=', 1, 10}, {'>', 1, 9}, {-'>', 1, 10}, {'<', 1, 11}, {'=', 2, 0}}, 0, 0, 0, 1},
        {{{'f'}}, 0, 0, 0, 1},
        {{{'r', 1, 1}}, 0, 0, 0, 1},
        {{{'r', 0, 5}}, 0, 0, 0, 0},
        {{{'r', 5, 0}}, 0, 0, 0, 0},
        {{{'r', 5, -3}}, 0, 0, 0, 0},
        {{{-'r', 5, 0}}, 0, 0, 0, 1},
        {{{127}, {0}}, 0, 0, 0, 1},  // codes that name no statement hold,
        {{{-128}}, 0, 0, 0, 0},      // so their negation fails
        // Numbers that name nothing read as blank records.
        {{{'c', 999}}, 0, 0, 0, 0},
        {{{-'c', 999}, {-'e', -5}, {'i', 32767, 0}, {-'h', -1}}, 0, 0, 0, 1},
        {{{'=', 99, 0}, {'=', -1, 0}, {-'>', 4, 0}}, 0, 0, 0, 1},
        {{{-'d', 999}, {-'d', -3}}, 0, 0, 0, 1},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(Eval(cases[i].slots, cases[i].verb, cases[i].noun, cases[i].mode),
                  cases[i].expected)
            << "case " << i;
    EXPECT_EQ(EvalCondition(g, Line(KindIf, {{'2', 7}, {'3', 8}, {'y', 8}}), 0, 0, 7, 8,
                            ScriptMode::Normal),
              CondResult::Holds);
    EXPECT_EQ(EvalCondition(g, Line(KindIf, {{'y', 5}}), 0, 1, 2, 3, ScriptMode::Normal),
              CondResult::Fails);
    EXPECT_EQ(EvalCondition(g, Line(KindIf, {{'2', 7}}), 0, 7, 0, 0, ScriptMode::Normal),
              CondResult::Fails);
    g.CarriedCount = 5;
    EXPECT_EQ(Eval({{'f'}}), 0);
}

TEST_F(Statements, EverySlotDrawsItsRandomNumber) {
    std::srand(7);
    EXPECT_EQ(Eval({{'c', 6}, {'r', 50, 100}}), 0);
    const int after = std::rand();
    std::srand(7);
    std::rand();
    EXPECT_EQ(std::rand(), after);
}

// A random source that gives one chosen number and counts how often it was asked.
int NextDraw = 0;
int Draws = 0;
int FixedDraw() {
    ++Draws;
    return NextDraw;
}

TEST_F(Statements, RandomChancesAtTheirEdges) {
    g.Random = FixedDraw;
    const int16_t high = 32767;
    // Whatever number comes: a chance of 0 (or less) never holds, a chance of b in b always does.
    for (int draw : {0, 1, 2, 99, 32766, 32767, RAND_MAX, -1, -32768}) {
        NextDraw = draw;
        for (int16_t b : {int16_t{1}, int16_t{2}, int16_t{7}, high}) {
            EXPECT_EQ(Eval({{'r', 0, b}}), 0) << draw << " in " << b;
            EXPECT_EQ(Eval({{'r', -5, b}}), 0) << draw << " in " << b;
            EXPECT_EQ(Eval({{'r', b, b}}), 1) << draw << " in " << b;
            EXPECT_EQ(Eval({{'r', high, b}}), 1) << draw << " in " << b;
        }
    }
    // Neither does a chance out of nothing; it asks for no number at all.
    Draws = 0;
    NextDraw = 0;
    EXPECT_EQ(Eval({{'r', 1, 0}}), 0);
    EXPECT_EQ(Eval({{'r', 5, -1}}), 0);
    EXPECT_EQ(Eval({{'r', high, -32768}}), 0);
    EXPECT_EQ(Draws, 0);
    // Every other test asks for one, a chance of 0 included.
    EXPECT_EQ(Eval({{'r', 0, 5}}), 0);
    EXPECT_EQ(Draws, 1);

    // The lowest number hits every chance above 0; the highest is taken modulo b.
    NextDraw = 0;
    EXPECT_EQ(Eval({{'r', 1, high}}), 1);
    NextDraw = RAND_MAX;
    const int rest = RAND_MAX % 32767;
    EXPECT_EQ(Eval({{'r', static_cast<int16_t>(rest), high}}), 0);
    EXPECT_EQ(Eval({{'r', static_cast<int16_t>(rest + 1), high}}), 1);
    NextDraw = 32766;  // the last value below b
    EXPECT_EQ(Eval({{'r', 32766, high}}), 0);
    // A source outside its range still gives a remainder from 0 to b - 1.
    NextDraw = -1;
    EXPECT_EQ(Eval({{'r', 1, 2}}), 0);
    EXPECT_EQ(Eval({{'r', 2, 3}}), 0);
    EXPECT_EQ(Eval({{'r', 3, 3}}), 1);

    // A game uses the standard generator unless given another source.
    EXPECT_EQ(Game{}.Random, &std::rand);
}

TEST_F(Statements, DarknessFollowsLightStateFlagsAndLamps) {
    EXPECT_EQ(IsDark(g, 4), 1);
    EXPECT_EQ(IsDark(g, 3), 0);  // the lamp lies there
    SetLight(g, 4, 1);
    EXPECT_EQ(IsDark(g, 4), 0);
    SetLight(g, 1, 0);
    EXPECT_EQ(IsDark(g, 1), 1);
    for (int16_t with : {Carried, Worn}) {
        MoveObject(g, 5, with);
        EXPECT_EQ(IsDark(g, 1), 0);
    }
}

TEST_F(Statements, ObjectMovesKeepTheCarriedCount) {
    EXPECT_EQ(Run({{'a', 7}, {'c', 3}, {'c', 4}}), ActResult::Normal);
    EXPECT_EQ(ObjectLocation(g, 3), 7);
    EXPECT_EQ(ObjectLocation(g, 4), 1);
    Run({{'g', 2}, {'g', 2}, {'w', 6}, {-'d', 6}});
    EXPECT_EQ(ObjectLocation(g, 6), Worn);
    EXPECT_EQ(g.CarriedCount, 2);
    Run({{'s', 2, 3}});
    EXPECT_EQ(ObjectLocation(g, 2), 7);
    EXPECT_EQ(ObjectLocation(g, 3), Carried);
    Run({{'p', 1, Carried}, {'p', 4, Carried}, {'v', Carried, 0}});
    EXPECT_EQ(ObjectLocation(g, 1), 0);
    EXPECT_EQ(ObjectLocation(g, 6), Worn);
    EXPECT_EQ(g.CarriedCount, 1);
    Run({{'p', 1, 1}, {'p', 4, 1}, {'v', 0, 8}, {'d', 5}});
    EXPECT_EQ(ObjectLocation(g, 1), 8);
    EXPECT_EQ(ObjectLocation(g, 4), 8);
    EXPECT_EQ(ObjectLocation(g, 5), 0);
    // After go the target is the new location; a location that names nothing is kept as given.
    Run({{'l', 5}, {'c', 2}});
    EXPECT_EQ(ObjectLocation(g, 2), 5);
    Run({{'l', 999}, {'c', 1}});
    EXPECT_EQ(g.CurrentLocation, 999);
    EXPECT_EQ(Eval({{'h', 1}, {-'m', 1}, {-'d'}}, 1), 1);
    // A missing object reads as lying nowhere, so its partner goes nowhere.
    Run({{'s', 999, 6}});
    EXPECT_EQ(ObjectLocation(g, 6), 0);
}

TEST_F(Statements, ExitsAndLight) {
    Run({{'t', 4, 0}});
    EXPECT_EQ(EffectiveExit(g, 1, 3), 0);
    EXPECT_EQ(EffectiveExit(g, 6, 4), 0);  // an override leading there too
    Run({{'e', 2, 7}, {'a', 2}, {'e', 2, 6}, {'e', 3, 8}});
    EXPECT_EQ(EffectiveExit(g, 1, 2), 7);
    EXPECT_EQ(EffectiveExit(g, 2, 2), 6);
    EXPECT_EQ(EffectiveExit(g, 1, 3), 8);  // at holds for one slot only
    Run({{'e', 1, 2}, {'a', 2}, {'e', 1, 1}, {'t', 0, 3}});
    EXPECT_EQ(EffectiveExit(g, 2, 1), 3);
    Run({{'a', 4}, {'i', 1}, {'i', 0, 3}, {'i', 0}});
    EXPECT_EQ(IsDark(g, 4), 0);
    EXPECT_EQ(LocationAt(g, 3).light, 0);
    EXPECT_EQ(IsDark(g, 1), 1);
}

TEST_F(Statements, VariablesWrapInSixteenBits) {
    Run({{'=', 1, 32767}, {'+', 1, 1}, {'=', 2, -32768}, {'-', 2, 1}, {'+', 3, 4}, {'-', 3, 1}});
    EXPECT_EQ(VarValue(g, 1), -32768);
    EXPECT_EQ(VarValue(g, 2), 32767);
    EXPECT_EQ(VarValue(g, 3), 3);
}

TEST_F(Statements, WritesToNumbersThatNameNothingAreIgnored) {
    const std::vector<ObjectRecord> objects = db.Objects;
    const std::vector<LocationRecord> locations = db.Locations;
    const std::vector<VarRecord> vars = db.Vars;
    const std::string before = BottomMessage();
    Run({{'c', 999},
         {'d', -1},
         {'g', 32767},
         {'w', -32768},
         {'p', 7, 1},
         {'s', 998, 999},
         {'e', 0, 5},
         {'e', 11, 5},
         {'a', 999},
         {'e', 1, 5},
         {'a', -1},
         {'i', 0},
         {'i', 0, 999},
         {'=', 99, 5},
         {'+', -1, 1},
         {'-', 4, 1}});
    Run({{'m', 999},
         {'m', -1},
         {'m', 1},
         {'y', 32},
         {'y', -1},
         {'b', 999},
         {'b', -1},
         {'b', 2},
         {'v', 77, 1},
         {'t', 55, 1}});
    EXPECT_EQ(std::memcmp(objects.data(), db.Objects.data(), objects.size() * sizeof objects[0]),
              0);
    EXPECT_EQ(
        std::memcmp(locations.data(), db.Locations.data(), locations.size() * sizeof locations[0]),
        0);
    EXPECT_EQ(std::memcmp(vars.data(), db.Vars.data(), vars.size() * sizeof vars[0]), 0);
    EXPECT_EQ(BottomMessage(), before);
}

TEST_F(Statements, LineResultsAndTexts) {
    EXPECT_EQ(Run({{'q'}, {'m', 2}}), ActResult::Quit);
    EXPECT_EQ(BottomMessage(), "Hello there");
    EXPECT_EQ(Run({{'h'}, {'o'}}), ActResult::Continue);
    EXPECT_EQ(Run({{'o'}, {'}'}}), ActResult::Break);
    EXPECT_EQ(Run({{'}'}, {'h'}}), ActResult::Halt);
    EXPECT_EQ(Run({{-'h'}, {-'q'}}), ActResult::Normal);
    PrintSysmsg(g, 8);
    EXPECT_EQ(BottomMessage(), "Something is missing");
    PrintMessage(g, 1);  // defined by nobody
    EXPECT_EQ(BottomMessage(), "Something is missing");
    ShowPicture(g, 1);
    EXPECT_EQ(BottomMessage(), "A view");
    Run({{'_'}});
    EXPECT_EQ(BottomMessage(), "");
    EXPECT_EQ(Row(AreaMessages, Areas[AreaMessages].y2 - 2 * LineHeight), "");
}

TEST_F(Statements, QuestionsStoreTheAnswer) {
    Keys("5x2{esc}xy");
    Run({{'9', 1, 3}, {'9', 2, 3}, {'2', 3}});
    EXPECT_EQ(VarValue(g, 1), 2);
    EXPECT_EQ(VarValue(g, 2), 0);
    EXPECT_EQ(VarValue(g, 3), 1);
    // A question whose answer goes nowhere is still asked.
    Keys("yn");
    Run({{'2', 99}, {'2', 1}});
    EXPECT_EQ(VarValue(g, 1), 0);
}

TEST_F(Statements, RedescribeShowsTheLocationAfterGo) {
    Run({{'l', 2}, {'r'}});
    EXPECT_NE(Row(AreaTitle, Areas[AreaTitle].y1).find("Cellar"), std::string::npos);
}

}  // namespace
