// screen_fixture.h - a headless screen with a key script, its transcript and its screen dumps.
#pragma once

#include "engine/engine.h"
#include "headless_streams.h"
#include "ui/window/screen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

using namespace umb::db;
using namespace umb::ui;
using namespace umb::engine;

using Lines = std::vector<std::string>;

class ScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(AllocateTextHeap(db), DbResult::Ok);
        ResetDatabase(db);
        AddVar("score", -5);
        AddVar("treasures", 7);  // kept as "treasure": names count on 8 letters
        game.Db = &db;
        game.Front = {&WindowFrontEnd, &s};
    }

    void TearDown() override { io.Close(); }

    void AddVar(const char* name, int16_t value) {
        ASSERT_EQ(AppendVar(db, name, std::strlen(name)), DbResult::Ok);
        db.Vars.back().value = value;
    }

    // Opens the screen as a game opens it; keys is the key script the game reads from.
    void Open(const std::string& keys = "") {
        ASSERT_EQ(io.out, nullptr);
        io.Open();
        io.SetKeys(keys);
        ASSERT_NE(io.keys, nullptr);
        ASSERT_NE(io.out, nullptr);
        OpenGameScreen(game);
    }

    // Everything written so far: transcript lines and screen dumps.
    std::string Output() { return io.Output(); }

    // The rows one area shows in a fresh screen dump ("title", "description" or "messages").
    Lines Rows(const std::string& area) {
        const size_t before = Output().size();
        GfxScreenDump();
        return Section(Output().substr(before), area);
    }

    // The rows of one area in the n-th screen dump held in text.
    static Lines Section(const std::string& text, const std::string& area, int n = 0) {
        Lines rows;
        std::istringstream lines(text);
        std::string line;
        int dump = -1;
        bool inside = false;
        while (std::getline(lines, line)) {
            if (line == "== screen ==") ++dump;
            if (line.rfind("-- ", 0) == 0 || line.rfind("== ", 0) == 0)
                inside = dump == n && line == "-- " + area + " --";
            else if (inside)
                rows.push_back(line);
        }
        return rows;
    }

    static int DumpCount(const std::string& text) {
        int count = 0;
        for (size_t at = text.find("== screen =="); at != std::string::npos;
             at = text.find("== screen ==", at + 1))
            ++count;
        return count;
    }

    // The text on the message area's line k counted from the bottom (0 = bottom line).
    static std::string MessageLine(int k) {
        const AreaBox& a = Areas[AreaMessages];
        char row[128];
        GfxTextRow(a.x1, a.x2, a.y2 - LineHeight * (k + 1), row, static_cast<int>(sizeof row));
        return row;
    }

    // Gives the screen the game's colours, as the window takes them when it opens.
    void UseGameColours() {
        const GameLook look = LookOf(db);
        s.Background = look.background;
        s.Foreground = look.foreground;
    }

    // Prints the author's text, its marks expanded as the game expands them, into the current
    // area under the current mode.
    int PrintGameText(const char* text) {
        char buffer[WorkBufferSize];
        ExpandText(db, text, buffer);
        return PrintText(s, buffer);
    }

    void Print(int area, int mode, const char* text) {
        SelectArea(s, area, mode);
        PrintText(s, text);
    }

    GameDatabase db;
    WindowState s;
    Game game;  // the game that hands the screen its texts and settings
    HeadlessStreams io;
};
