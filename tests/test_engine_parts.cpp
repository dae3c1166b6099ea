// test_engine_parts.cpp - the parser, location displays, built-in and debug commands, saved games.
#include "base/fileio.h"
#include "engine/autosave.h"
#include "engine/engine.h"
#include "headless_streams.h"
#include "temp_folder.h"
#include "ui/window/screen.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

using namespace umb::base;
using namespace umb::db;
using namespace umb::ui;
using namespace umb::engine;

namespace fs = std::filesystem;

namespace {

Game PlayerGame(GameDatabase* db, WindowState* screen, int16_t location, int16_t carried) {
    Game g;
    g.Db = db;
    g.Front = {&WindowFrontEnd, screen};
    g.GameName = "castle";
    g.CurrentLocation = location;
    g.CarriedCount = carried;
    return g;
}

// A small adventure on a headless screen: the hall (1) north of the yard (2), a darkness
// location, a few objects and the system messages the engine prints.
class Engine : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(AllocateTextHeap(db), DbResult::Ok);
        io.Open();
        g = PlayerGame(&db, &screen, 1, 2);
        OpenGameScreen(g);

        const char* dirs[] = {"north", "south", "east", "west"};
        for (int d = 0; d < 4; ++d) db.Directions[d] = Text(dirs[d]);
        const std::pair<int, const char*> sys[] = {
            {2, "Not here."},   {3, "You can't."},  {4, "Hands full."}, {5, "No exit."},
            {7, "Plain."},      {9, "Nine."},       {10, "Done."},      {11, "You see:"},
            {12, "You carry:"}, {13, " (worn)"},    {14, "nothing."},   {19, "Exits:"},
            {21, "Save slot?"}, {22, "Load slot?"}, {24, "Quit?"},      {25, "Save first?"},
            {29, "Bad file."}};
        for (const auto& [n, text] : sys) db.Sysmsg[n] = Text(text);
        const char* places[][2] = {
            {"Darkness", "It is pitch dark."}, {"Hall", "A big hall."}, {"Yard", "A yard."}};
        GrowLocations(db, 2);
        for (size_t l = 0; l < 3; ++l) {
            db.Locations[l].name = Text(places[l][0]);
            db.Locations[l].description = Text(places[l][1]);
        }
        db.Locations[1].exits[0] = 2;
        db.Locations[2].exits[1] = 1;
        AddObject(1, "lamp", 1, AttrTakeable, 3);
        AddObject(2, "statue", 1, 0, 7);
        AddObject(3, "cloak", Carried, AttrTakeable | AttrWearable, 8);
        AddObject(4, "coin", 2, AttrTakeable, 9);
        AddObject(5, "coin", 1, AttrTakeable, 9);
        AddObject(6, "ring", Worn, AttrWearable, 10);
        AppendVar(db, "score", 5);
        AppendVar(db, "moves", 5);
    }
    void TearDown() override { io.Close(); }
    // A fresh adventure and screen, as at the start of a test.
    void Reset() {
        TearDown();
        db = GameDatabase{};
        screen = WindowState{};
        SetUp();
    }

    TextRef Text(const char* s) { return StoreText(db, s, std::strlen(s), false); }
    void AddObject(int n, const char* name, int16_t where, int16_t attributes, int16_t noun) {
        GrowObjects(db, n);
        db.Objects[static_cast<size_t>(n)] = {Text(name), where,  attributes, noun,
                                              0,          NoText, Unset,      0};
    }
    // The keys the next prompts read; AllKeysUsed tells whether they were all read.
    void Keys(const std::string& k) { io.SetKeys(k); }
    bool AllKeysUsed() const { return io.AllKeysUsed(); }
    // A text row of an area: row 0 is the top line, -1 the bottom line.
    static std::string Row(int area, int row) {
        const AreaBox& a = Areas[area];
        char text[128];
        GfxTextRow(a.x1, a.x2, (row >= 0 ? a.y1 : a.y2) + row * LineHeight, text, sizeof text);
        return text;
    }
    static std::string LastMessage() { return Row(AreaMessages, -1); }

    GameDatabase db;
    WindowState screen;
    Game g;
    HeadlessStreams io;
};

TEST_F(Engine, ParserTakesTheFirstVerbThenUpToThreeNouns) {
    AppendVerb(db, "take", 4, 14);
    AppendVerb(db, "get", 3, 14);
    AppendVerb(db, "inventory", 9, 11);
    AppendVerb(db, "light", 5, 30);
    const char* nouns[] = {"lamp", "key", "door", "light"};
    for (int i = 0; i < 4; ++i)
        AppendNoun(db, nouns[i], std::strlen(nouns[i]), static_cast<int16_t>(i + 3));
    struct Case {
        const char* line;
        std::array<int, 5> want;  // count, verb, noun, noun2, noun3
    } cases[] = {
        {"take the red lamp", {2, 14, 3, 0, 0}},
        {"lamp take", {1, 14, 0, 0, 0}},
        {"GeT LaMp", {2, 14, 3, 0, 0}},
        {"get lamp key door light lamp", {4, 14, 3, 4, 5}},
        {"inventorying", {1, 11, 0, 0, 0}},
        {"take lam lamps", {1, 14, 0, 0, 0}},
        {"   ", {0, 0, 0, 0, 0}},
        {"", {0, 0, 0, 0, 0}},
        {"  take'lamp''  key ", {3, 14, 3, 4, 0}},
        {"light light", {2, 30, 6, 0, 0}},
        {"take lamp\nkey", {2, 14, 3, 0, 0}},
        {"look around", {0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        char line[128];
        std::snprintf(line, sizeof line, "%s", c.line);
        std::array<int, 5> got{};
        got[0] = ParseInput(g, line, &got[1], &got[2], &got[3], &got[4]);
        EXPECT_EQ(got, c.want) << c.line;
    }
    char cut[] = "take lamp\r\nkey";
    int v, n, n2, n3;
    ParseInput(g, cut, &v, &n, &n2, &n3);
    EXPECT_STREQ(cut, "take lamp");
}

TEST_F(Engine, DescriptionShowsObjectsAndOpenExitsInOrder) {
    std::snprintf(db.StatusLine, sizeof db.StatusLine, "Score 0");
    db.Objects[0].initialLocation = 1;  // record 0 is never listed
    db.Objects[0].name = Text("ghost");
    db.Locations[1].exits[3] = 2;
    SetExitOverride(g, 1, 4, 0);  // closed by the game
    SetExitOverride(g, 1, 2, 1);  // opened by the game
    EXPECT_TRUE(DescribeLocation(g, 1));
    EXPECT_EQ(Row(AreaTitle, 0), "Hall");
    EXPECT_EQ(Row(AreaTitle, -1), "Score 0");
    EXPECT_EQ(Row(AreaDescription, 0), "A big hall.");
    EXPECT_EQ(Row(AreaDescription, 1), "You see: lamp, statue, coin.");
    EXPECT_EQ(Row(AreaDescription, 2), "Exits: north, south.");

    // No objects, no exit list, no headings; undefined headings are empty.
    db.ShowExits = 0;
    EXPECT_TRUE(DescribeLocation(g, 2));
    EXPECT_EQ(Row(AreaDescription, 1), "You see: coin.");
    EXPECT_EQ(Row(AreaDescription, 2), "");
    MoveObject(g, 4, 0);
    db.ShowExits = 1;
    db.Sysmsg[19] = NoText;
    EXPECT_TRUE(DescribeLocation(g, 2));
    EXPECT_EQ(Row(AreaDescription, 1), " south.");
    EXPECT_EQ(Row(AreaDescription, 2), "");

    // A location without a name draws nothing.
    GrowLocations(db, 3);
    EXPECT_FALSE(DescribeLocation(g, 3));
    EXPECT_EQ(Row(AreaTitle, 0), "Yard");
}

TEST_F(Engine, DarkLocationShowsTheDarknessLocationUnlessALightIsWithThePlayer) {
    SetLight(g, 1, Unset);
    db.Locations[1].flags = LocDark;
    EXPECT_TRUE(DescribeLocation(g, 1));
    EXPECT_EQ(Row(AreaTitle, 0), "Darkness");
    EXPECT_EQ(Row(AreaDescription, 0), "It is pitch dark.");
    EXPECT_EQ(Row(AreaDescription, 1), "");

    db.Objects[3].attributes |= AttrLight;  // the cloak, carried
    EXPECT_TRUE(DescribeLocation(g, 1));
    EXPECT_EQ(Row(AreaTitle, 0), "Hall");
    EXPECT_EQ(Row(AreaDescription, 1), "You see: lamp, statue, coin.");

    // A game without a named darkness location lists nothing, lit or dark.
    db.Locations[0].name = NoText;
    for (const int16_t attributes : {int16_t{0}, AttrLight}) {
        db.Objects[3].attributes = attributes;
        DescribeLocation(g, 1, true);
        EXPECT_EQ(Row(AreaDescription, 0), "");
    }
}

TEST_F(Engine, InventoryAndExamineTexts) {
    ShowInventory(g);
    EXPECT_EQ(LastMessage(), "You carry: cloak, ring (worn).");
    MoveObject(g, 3, 0);
    MoveObject(g, 6, 0);
    ShowInventory(g);
    EXPECT_EQ(LastMessage(), "You carry: nothing.");
    db.Sysmsg[14] = NoText;
    ShowInventory(g);
    EXPECT_EQ(LastMessage(), "You carry:");

    db.Objects[1].description = Text("A brass lamp.");
    EXPECT_TRUE(ExamineObject(g, 1));
    EXPECT_EQ(LastMessage(), "A brass lamp.");
    EXPECT_TRUE(ExamineObject(g, 2));
    EXPECT_EQ(LastMessage(), "Plain.");
    EXPECT_FALSE(ExamineObject(g, 0));
    EXPECT_FALSE(ExamineObject(g, 500));

    // A list longer than its buffer is cut.
    std::string full = "You carry: ";
    for (int i = 7; i < 67; ++i) {
        const std::string name = "thing" + std::to_string(i) + std::string(14, 'x');
        AddObject(i, name.c_str(), Carried, 0, 0);
        full += (i > 7 ? ", " : "") + name;
    }
    ShowInventory(g);
    const std::string cut = full.substr(0, 1023);
    ASSERT_GT(LastMessage().size(), 0u);
    EXPECT_EQ(cut.substr(cut.size() - LastMessage().size()), LastMessage());
}

TEST_F(Engine, BuiltinObjectCommandsAndMoves) {
    struct Case {
        const char* what;
        std::function<void(Game&)> setup;
        int verb, noun, result;
        const char* message;
        int object;
        int16_t where, carried, here;
    } cases[] = {
        {"get", nullptr, 14, 3, 1, "Done.", 1, Carried, 3, 1},
        {"get fixed", nullptr, 14, 7, 1, "You can't.", 2, 1, 2, 1},
        {"get full", [](Game& x) { x.Db->MaxItems = 2; }, 14, 3, 1, "Hands full.", 1, 1, 2, 1},
        {"get carried", nullptr, 14, 8, 1, "Not here.", 3, Carried, 2, 1},
        {"get second coin", nullptr, 14, 9, 1, "Done.", 5, Carried, 3, 1},
        {"get in the dark", [](Game& x) { SetLight(x, 1, 0); }, 14, 3, 1, "Done.", 1, Carried, 3,
         1},
        {"drop worn", [](Game& x) { MoveObject(x, 3, Worn); }, 15, 8, 1, "Done.", 3, 1, 1, 1},
        {"drop untakeable", nullptr, 15, 10, 1, "You can't.", 6, Worn, 2, 1},
        {"drop absent", nullptr, 15, 3, 1, "Not here.", 1, 1, 2, 1},
        {"wear lying here", nullptr, 16, 3, 1, "You can't.", 1, 1, 2, 1},
        {"wear", nullptr, 16, 8, 1, "Done.", 3, Worn, 2, 1},
        {"remove", nullptr, 17, 10, 1, "Done.", 6, Carried, 2, 1},
        {"remove carried", nullptr, 17, 8, 1, "You can't.", 3, Carried, 2, 1},
        {"examine elsewhere", nullptr, 13, 9, 1, "Plain.", 5, 1, 2, 1},
        {"examine unknown", nullptr, 13, 99, 0, "", 1, 1, 2, 1},
        {"get no noun", nullptr, 14, 0, 0, "", 1, 1, 2, 1},
        {"north", nullptr, 1, 0, 1, "Done.", 1, 1, 2, 2},
        {"south", nullptr, 2, 0, 1, "No exit.", 1, 1, 2, 1},
        {"north door", nullptr, 1, 5, 0, "", 1, 1, 2, 1},
        {"verb 18", nullptr, 18, 0, 1, "Nine.", 1, 1, 2, 1},
        {"verb 19", nullptr, 19, 0, 0, "", 1, 1, 2, 1},
        {"inventory lamp", nullptr, 11, 3, 0, "", 1, 1, 2, 1}};
    for (const Case& c : cases) {
        Reset();
        if (c.setup) c.setup(g);
        EXPECT_EQ(static_cast<int>(BuiltinCommand(g, c.verb, c.noun)), c.result) << c.what;
        EXPECT_EQ(LastMessage(), c.message) << c.what;
        EXPECT_EQ(ObjectLocation(g, c.object), c.where) << c.what;
        EXPECT_EQ(g.CarriedCount, c.carried) << c.what;
        EXPECT_EQ(g.CurrentLocation, c.here) << c.what;
    }
}

TEST_F(Engine, QuitAndRestorePrompts) {
    Keys("xn");
    EXPECT_EQ(BuiltinCommand(g, 23, 0), TurnResult::NoTime);
    Keys("yn");
    EXPECT_EQ(BuiltinCommand(g, 23, 0), TurnResult::Quit);
    EXPECT_EQ(LastMessage(), "Save first?n");
    // A save asked for and not made keeps the game: no slot chosen, or a save that failed.
    Keys("yy{esc}");
    EXPECT_EQ(BuiltinCommand(g, 23, 0), TurnResult::NoTime);
    EXPECT_EQ(LastMessage(), "Save slot?");
    g.GameName = "no/such/folder/castle";
    Keys("yy5");
    EXPECT_EQ(BuiltinCommand(g, 23, 0), TurnResult::NoTime);
    EXPECT_EQ(LastMessage(), "Bad file.");
    EXPECT_TRUE(AllKeysUsed());

    Keys("{esc}");  // a cancelled restore still redraws the location
    EXPECT_EQ(BuiltinCommand(g, 22, 0), TurnResult::NoTime);
    EXPECT_EQ(Row(AreaTitle, 0), "Hall");
    EXPECT_TRUE(AllKeysUsed());
}

TEST_F(Engine, DebugRepliesReplaceTheEchoedCommand) {
    MoveObject(g, 2, Carried);
    SetVar(g, 2, 7);
    g.CurrentLocation = 3;
    struct Case {
        const char* line;
        const char* reply;
    } cases[] = {
        {"%", "Location 3, Objects 3 / 5"},
        {"%2", "Obj. 2 is -1, Flag 2 = 7"},
        {"% 4", "Obj. 4 is 2, Flag 4 = 0"},
        {"%x", "Location 3, Objects 3 / 5"},
        {"%0", "Location 3, Objects 3 / 5"},
        {"%1", "Obj. 1 is 1, Flag 1 = 0"},
        {"%999", "Obj. 999 is 0, Flag 999 = 0"},
        {"%-3", "Obj. -3 is 0, Flag -3 = 0"},
        {"%99999999999", "Obj. 2147483647 is 0, Flag 2147483647 = 0"},
    };
    for (const Case& c : cases) {
        SelectArea(screen, AreaMessages, ModeNewLine);
        PrintText(screen, std::string(90, '.').c_str());  // the echoed command
        EXPECT_EQ(DebugCommand(g, c.line), 1) << c.line;
        EXPECT_EQ(LastMessage(), c.reply) << c.line;
    }
    EXPECT_EQ(DebugCommand(g, "look %"), 0);
}

// The bytes of a list of int16 values, little-endian.
std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s.push_back(static_cast<char>(v & 0xFF));
        s.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
    return s;
}

// An image with the int16 at offset at replaced.
std::string Patched(std::string image, size_t at, int value) {
    return image.replace(at, 2, Bytes({value}));
}

TEST_F(Engine, SavedGameLayout) {
    GameDatabase small;
    ASSERT_EQ(AllocateTextHeap(small), DbResult::Ok);
    GrowObjects(small, 2);
    small.Objects[1].location = Carried;
    AppendVar(small, "score", 5);
    small.Vars[1].value = 300;
    GrowLocations(small, 1);
    small.Locations[0].light = Unset;
    small.Locations[1].exitOverrides[2] = 5;
    small.Locations[1].light = 0;
    Game s = PlayerGame(&small, &screen, 1, 1);
    const int U = Unset;
    const std::string expected = std::string("USF2") + Bytes({2, U, -1, U}) + Bytes({2, 0, 300}) +
                                 Bytes({1, U, U, U, U, U, U, U, U, U, U, U}) +
                                 Bytes({U, U, 5, U, U, U, U, U, U, U, 0}) + Bytes({1, 1});
    EXPECT_EQ(BuildSavedGame(s), expected);
    EXPECT_EQ(expected.size(), SavedGameSize(2, 2, 1));

    EXPECT_EQ(SaveFileName("castle", 3), "castle.sv3");
    EXPECT_EQ(SaveFileName("adventure1", 1), "adventur.sv1");
    // Saved games lie beside their game, named from its file name alone.
    EXPECT_EQ(SaveFileName("tales/cave", 2), "tales/cave.sv2");
    EXPECT_EQ(SaveFileName("games/old/clock", 4), "games/old/clock.sv4");
    EXPECT_EQ(SaveFileName("games/adventure1", 9), "games/adventur.sv9");
    EXPECT_EQ(SaveFileName("games\\adventure1", 9), "games\\adventur.sv9");
    EXPECT_EQ(SaveFileName("/castle", 5), "/castle.sv5");
    EXPECT_EQ(SaveFileName("verylonggame", 1), "verylong.sv1");
}

TEST_F(Engine, RestoreReconcilesDifferentSizes) {
    // A file from a game with fewer objects, variables and locations.
    GameDatabase small;
    ASSERT_EQ(AllocateTextHeap(small), DbResult::Ok);
    GrowObjects(small, 1);
    small.Objects[1].name = StoreText(small, "lamp", 4, false);
    small.Objects[1].location = 2;
    AppendVar(small, "score", 5);
    small.Vars[1].value = 11;
    GrowLocations(small, 0);
    small.Locations[0].light = 0;
    Game s = PlayerGame(&small, &screen, 2, 9);

    GrowObjects(db, 7);
    db.Objects[7].initialLocation = Carried;  // no name: not counted as carried
    for (int i = 0; i <= 6; ++i) MoveObject(g, i, 2);
    SetVar(g, 2, 44);
    SetExitOverride(g, 2, 2, 0);
    SetLight(g, 2, 0);
    ASSERT_EQ(ApplySavedGame(g, BuildSavedGame(s)), ReadResult::Ok);
    EXPECT_EQ(ObjectLocation(g, 1), 2);
    for (int i = 2; i <= 7; ++i) EXPECT_EQ(db.Objects[static_cast<size_t>(i)].location, Unset) << i;
    EXPECT_EQ(VarValue(g, 1), 11);
    EXPECT_EQ(VarValue(g, 2), 0);
    EXPECT_EQ(db.Locations[0].light, 0);
    EXPECT_EQ(db.Locations[2].light, Unset);
    EXPECT_EQ(EffectiveExit(g, 2, 2), 1);
    EXPECT_EQ(g.CurrentLocation, 2);
    EXPECT_EQ(g.CarriedCount, 2);  // cloak and ring again, not the stored 9

    // And the other way: what this game cannot hold is dropped.
    MoveObject(g, 1, Carried);
    SetLight(g, 0, 5);
    ASSERT_EQ(ApplySavedGame(s, BuildSavedGame(g)), ReadResult::Ok);
    EXPECT_EQ(small.Objects[1].location, Carried);
    EXPECT_EQ(small.Locations[0].light, 5);
    EXPECT_EQ(s.CarriedCount, 1);
}

// Records without a name are no objects: moving one, by a statement or by a restored saved game,
// never changes what the player's hands hold. (A saved game that put such a record in the
// inventory used to leave CarriedCount one short of the count the moves had kept.)
TEST_F(Engine, UnnamedRecordsNeverCountAsCarried) {
    GrowObjects(db, 8);
    const int16_t named = g.CarriedCount;
    MoveObject(g, 7, Carried);
    MoveObject(g, 8, Worn);
    EXPECT_EQ(g.CarriedCount, named);
    MoveObject(g, 7, 1);
    EXPECT_EQ(g.CarriedCount, named);
    const std::string saved = BuildSavedGame(g);
    ASSERT_EQ(ApplySavedGame(g, saved), ReadResult::Ok);
    EXPECT_EQ(g.CarriedCount, named);
    EXPECT_EQ(ObjectLocation(g, 8), Worn);
    MoveObject(g, 8, 0);
    EXPECT_EQ(g.CarriedCount, named);
}

TEST_F(Engine, CorruptImagesChangeNothing) {
    const std::string good = BuildSavedGame(g);
    MoveObject(g, 1, Carried);
    SetVar(g, 1, 3);
    const std::string before = BuildSavedGame(g);
    const struct {
        const char* what;
        std::string image;
        ReadResult refusal;
    } cases[] = {{"empty", "", ReadResult::NotFormat},
                 {"short", good.substr(0, good.size() - 1), ReadResult::BadContent},
                 {"long", good + '\0', ReadResult::BadContent},
                 {"magic", "USF1" + good.substr(4), ReadResult::NotFormat},
                 {"n below -1", Patched(good, 4, -2), ReadResult::BadContent},
                 {"n too large", Patched(good, 4, 30000), ReadResult::BadContent},
                 {"m negative", Patched(good, 6 + 14, -1), ReadResult::BadContent},
                 {"m negative, length to match", "USF2" + Bytes({0, Unset, -1, 1, 0}),
                  ReadResult::BadContent},
                 {"k below -1", Patched(good, 6 + 14 + 2 + 6, -2), ReadResult::BadContent},
                 {"k one more", Patched(good, 6 + 14 + 2 + 6, 3), ReadResult::BadContent}};
    for (const auto& [what, image, refusal] : cases) {
        EXPECT_EQ(ApplySavedGame(g, image), refusal) << what;
        EXPECT_EQ(BuildSavedGame(g), before) << what;
        EXPECT_EQ(g.CarriedCount, 3) << what;
    }
    EXPECT_EQ(ApplySavedGame(g, good), ReadResult::Ok);
    EXPECT_EQ(ObjectLocation(g, 1), 1);
}

TEST_F(Engine, FilesBroughtFromElsewhereAreCheckedAgainstTheGamesTables) {
    const std::string own = BuildSavedGame(g);
    const SaveTables tables = SaveTablesOf(db);
    EXPECT_EQ(tables.lastObject, db.LastObject);
    EXPECT_EQ(tables.varCount, db.VarCount);
    EXPECT_EQ(tables.lastLocation, db.LastLocation);
    SaveTables moreObjects = tables, fewerVars = tables, moreLocations = tables;
    ++moreObjects.lastObject;
    --fewerVars.varCount;
    ++moreLocations.lastLocation;
    const struct {
        const char* what;
        SaveTables tables;
        std::string image;
        SaveFit fit;
    } cases[] = {{"its own", tables, own, SaveFit::Fits},
                 {"one object more", moreObjects, own, SaveFit::OtherGame},
                 {"one variable fewer", fewerVars, own, SaveFit::OtherGame},
                 {"one location more", moreLocations, own, SaveFit::OtherGame},
                 {"empty", tables, "", SaveFit::NotSavedGame},
                 {"shorter than any", tables, own.substr(0, 13), SaveFit::NotSavedGame},
                 {"no magic", tables, "USF1" + own.substr(4), SaveFit::NotSavedGame},
                 {"cut short", tables, own.substr(0, own.size() - 1), SaveFit::Damaged},
                 {"a byte more", tables, own + '\0', SaveFit::Damaged},
                 {"counts that do not add up", tables, Patched(own, 4, 30000), SaveFit::Damaged}};
    for (const auto& [what, sizes, image, fit] : cases) {
        EXPECT_EQ(CheckSaveFit(sizes, image), fit) << what;
        // The game's own check says the same of an image against its own tables.
        const bool itsOwn = sizes.lastObject == tables.lastObject &&
                            sizes.varCount == tables.varCount &&
                            sizes.lastLocation == tables.lastLocation;
        if (itsOwn) {
            EXPECT_EQ(SavedGameFits(g, image), fit == SaveFit::Fits) << what;
        }
    }
}

// Saves and restores through slot files in a folder of their own.
class SaveFiles : public Engine {
  protected:
    void SetUp() override {
        Engine::SetUp();
        folder.Enter("umb-save");
    }
    void TearDown() override {
        folder.Leave();
        Engine::TearDown();
    }
    static std::string Read(const char* name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    TempFolder folder;
};

// What the front end was told of saved games: each path, and whether the file was there then.
using HeardSaves = std::vector<std::pair<std::string, bool>>;
HeardSaves heardSaves;
void HearSavedGame(void*, const char* path) { heardSaves.emplace_back(path, fs::exists(path)); }

TEST_F(SaveFiles, TheFrontEndHearsOfEachSavedGameWrittenOrRemoved) {
    FrontEnd hearing = WindowFrontEnd;
    hearing.savedGameWritten = HearSavedGame;
    g.Front.table = &hearing;
    heardSaves.clear();
    StartAutosave(g, "castle", "");
    MarkAutosaved(g);
    KeepAutosave(g);  // nothing changed since the start: nothing written
    MoveObject(g, 1, Carried);
    KeepAutosave(g);
    KeepAutosave(g);  // written already
    Keys("2");
    ASSERT_TRUE(SaveGame(g));
    RemoveAutosave(g);
    RemoveAutosave(g);  // nothing left to remove: nothing told
    EXPECT_EQ(heardSaves,
              (HeardSaves{{"castle.sv0", true}, {"castle.sv2", true}, {"castle.sv0", false}}));

    // An autosave given up at the start, declined or unusable, is told of as removed.
    heardSaves.clear();
    KeepAutosave(g);
    Keys("n");
    EXPECT_FALSE(OfferAutosave(g));
    std::ofstream("castle.sv0", std::ios::binary) << "not a saved game";
    EXPECT_FALSE(OfferAutosave(g));
    EXPECT_EQ(heardSaves,
              (HeardSaves{{"castle.sv0", true}, {"castle.sv0", false}, {"castle.sv0", false}}));
    EXPECT_TRUE(AllKeysUsed());
    EXPECT_FALSE(fs::exists("castle.sv0"));
}

TEST_F(SaveFiles, SaveThenRestoreBringsTheStateBack) {
    MoveObject(g, 1, Carried);
    SetVar(g, 2, 12);
    SetLight(g, 2, 0);
    const std::string saved = BuildSavedGame(g);
    Keys("3{esc}23");
    EXPECT_TRUE(SaveGame(g));
    EXPECT_EQ(Read("castle.sv3"), saved);
    EXPECT_FALSE(SaveGame(g));  // Escape: nothing written
    MoveObject(g, 1, 2);
    SetVar(g, 2, 0);
    g.CurrentLocation = 2;
    EXPECT_FALSE(RestoreGame(g));  // slot 2 was never saved
    EXPECT_EQ(LastMessage(), "Bad file.");
    EXPECT_EQ(g.CurrentLocation, 2);
    EXPECT_TRUE(RestoreGame(g));
    EXPECT_EQ(BuildSavedGame(g), saved);
    EXPECT_EQ(g.CarriedCount, 3);
    EXPECT_TRUE(AllKeysUsed());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.dir), fs::directory_iterator()), 1);
}

TEST_F(SaveFiles, SavedGamesLieBesideAGameInAFolder) {
    fs::create_directories("tales/deep");
    g.GameName = "tales/deep/cavern1";
    MoveObject(g, 1, Carried);
    SetVar(g, 2, 7);
    const std::string saved = BuildSavedGame(g);
    // A temporary file left by a save that was cut short is replaced, not added to.
    std::ofstream("tales/deep/cavern1.sv4.tmp") << "cut short";
    Keys("44");
    ASSERT_TRUE(SaveGame(g));
    EXPECT_EQ(Read("tales/deep/cavern1.sv4"), saved);
    ASSERT_TRUE(SaveGame(g));
    const auto entries = [](const char* dir) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
        return names;
    };
    EXPECT_EQ(entries("tales/deep"), std::vector<std::string>{"cavern1.sv4"});
    EXPECT_EQ(entries("tales"), std::vector<std::string>{"deep"});

    MoveObject(g, 1, 2);
    SetVar(g, 2, 0);
    Keys("4");
    ASSERT_TRUE(RestoreGame(g));
    EXPECT_EQ(BuildSavedGame(g), saved);
    EXPECT_TRUE(AllKeysUsed());
}

TEST_F(SaveFiles, FailedSaveKeepsTheEarlierFileAndBadFilesAreRefused) {
    Keys("1111");
    ASSERT_TRUE(SaveGame(g));
    const std::string earlier = Read("castle.sv1");
    MoveObject(g, 1, Carried);
    fs::create_directory(TempPathFor("castle.sv1"));  // the temporary file cannot be made
    EXPECT_FALSE(SaveGame(g));
    EXPECT_EQ(LastMessage(), "Bad file.");
    EXPECT_EQ(Read("castle.sv1"), earlier);

    std::ofstream("castle.sv1", std::ios::binary) << earlier.substr(0, earlier.size() - 2);
    const std::string now = BuildSavedGame(g);
    EXPECT_FALSE(RestoreGame(g));
    EXPECT_EQ(LastMessage(), "Bad file.");
    EXPECT_EQ(BuildSavedGame(g), now);
    fs::remove("castle.sv1");
    fs::create_directory("castle.sv1");  // a slot that cannot be read
    EXPECT_FALSE(RestoreGame(g));
    EXPECT_EQ(BuildSavedGame(g), now);
    EXPECT_TRUE(AllKeysUsed());
}

}  // namespace
