// test_game_text.cpp - the game's texts as the engine hands them to the screen: marks expanded.
#include "screen_fixture.h"

using GameText = ScreenTest;

TEST_F(GameText, ExpandsVariables) {
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"Score: %score%", "Score: -5"},
        {"%SCORE%/%treasure%", "-5/7"},
        {"%treasureHunt%", "7"},
        {"%treasur%", "0"},
        {"100%%", "100%"},
        {"%nosuch%!", "0!"},
        {"50% off", "50"},
        {"%%score%%", "%score%"},
    };
    char buf[WorkBufferSize];
    for (const auto& c : cases) {
        EXPECT_EQ(ExpandText(db, c.text, buf), std::strlen(c.shown)) << c.text;
        EXPECT_STREQ(buf, c.shown);
    }
    const std::string longText = std::string(2046, 'a') + "%score%tail";
    EXPECT_EQ(ExpandText(db, longText.c_str(), buf), 2047u);
    EXPECT_EQ(buf[2046], '-');
    Open();
    SelectArea(s, AreaMessages, ModeNewLine);
    PrintGameText(longText.c_str());
    PrintGameText("Score: %score%");
    EXPECT_EQ(MessageLine(0), "Score: -5");
}
