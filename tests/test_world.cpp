// test_world.cpp - what the author's tools see of a world without playing it.
#include "app/world.h"
#include "compile_fixture.h"

using namespace umb::app;

namespace {

class WorldTest : public CompileTest {};

// Reached: by exits from the start, by "go", by an exit a script makes (with and without "at"),
// by "subst"; never: a location only an unreachable one leads to, or only a script exit leads
// from. The darkness location 0 is no place to reach.
TEST_F(WorldTest, ReachesThroughExitsAndWhatScriptsDo) {
    ASSERT_EQ(Compile("[System]\nStartLocation=2\n"
                      "[Locations]\n#0,Dark,,0\n#1,Back,,0\n#2,Start,,0,3\n#3,Hall,,0,0,2\n"
                      "#4,Cave,,0\n#5,Pit,,0\n#6,Den,,0\n#7,Loft,,0\n#8,Island,,0,9\n"
                      "#9,Shore,,0\n#10,Attic,,0,0,0,0,1\n"
                      "[Actions]\nif at 3\nthen go 4\nat 4 exit 1 5\nexit 2 6\nsubst 9 7\n"),
              CompileResult::Clean)
        << out;
    WorldFacts w;
    AnalyseWorld(db, w);
    const std::vector<uint8_t> expected = {0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 0};
    EXPECT_EQ(w.reachable, expected);
    EXPECT_EQ(w.scriptDestinations, std::vector<int>{4});
    ASSERT_EQ(w.scriptExits.size(), 3u);
    EXPECT_EQ(w.scriptExits[0].location, 4);
    EXPECT_EQ(w.scriptExits[0].direction, 1);
    EXPECT_EQ(w.scriptExits[0].to, 5);
    EXPECT_EQ(w.scriptExits[1].location, -1);  // wherever the player is
    EXPECT_TRUE(w.scriptExits[2].subst);
    EXPECT_EQ(w.scriptExits[2].location, 9);
}

// An exit without "at" works on the player's location: the place the conditions of its line or
// of its blocks require, or where a "go" before it on the line sent the player. An "at" names
// the location of the next statement only; an "or" lets the line run anywhere.
TEST_F(WorldTest, ExitsWithoutAtWorkWhereThePlayerMustBe) {
    ASSERT_EQ(Compile("[Locations]\n#1,A,,0\n#2,B,,0\n#3,C,,0\n#4,D,,0\n"
                      "[Actions]\nif at 2\n{\nif at 3\nor at 4\nthen exit 1 1\n"
                      "then exit 2 1\n}\nexit 3 1\nif verb 0\nand at 3\nthen exit 4 1\n"
                      "at 4 exit 5 1 exit 6 1\ngo 3 exit 7 1 subst 0 1\n"),
              CompileResult::Clean)
        << out;
    WorldFacts w;
    AnalyseWorld(db, w);
    std::vector<std::pair<int, int>> made;  // direction, location
    for (const ScriptExit& e : w.scriptExits) made.push_back({e.direction, e.location});
    const std::vector<std::pair<int, int>> expected = {{1, 2}, {2, 2},  {3, -1}, {4, 3},
                                                       {5, 4}, {6, -1}, {7, 3},  {0, 3}};
    EXPECT_EQ(made, expected);
}

TEST_F(WorldTest, NumbersOutsideTheTableReachNothing) {
    ASSERT_EQ(Compile("[System]\nStartLocation=7\n[Locations]\n#1,Hall,,0,-1,32767\n"
                      "[Actions]\ngo 99\nexit 1 -5\n"),
              CompileResult::Clean)
        << out;
    WorldFacts w;
    AnalyseWorld(db, w);
    EXPECT_EQ(w.reachable, std::vector<uint8_t>({0, 0}));
    EXPECT_EQ(w.scriptDestinations, std::vector<int>{99});
}

}  // namespace
