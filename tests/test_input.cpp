// test_input.cpp - the key script, prompts, the line editor with its history and the pause.
#include "compiler/compiler.h"
#include "screen_fixture.h"

TEST_F(ScreenTest, KeyScriptReadsBytesAndNamedKeys) {
    Open("{{{65}{enter}{bs}{esc}{up}{down}{f12}{shot}{370}{foo}x\r\n");
    const int keys[] = {'{', 65, 13, 8, 27, 328, 336, 390, 370, 370, 'f', 'o', 'o', '}', 'x', 13};
    testing::internal::CaptureStderr();
    for (const int key : keys) EXPECT_EQ(GfxReadKey(), key);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");  // {foo} is reported
    EXPECT_EQ(Output(), "");
}

// Each {screen} shows the screen as it is when the game next asks for a key; the end of the
// keys shows it once more and ends the play: every key wait after it ends at once, showing
// nothing more.
TEST_F(ScreenTest, ScreenDumpsComeWhenTheGameAsksForAKey) {
    Open("a{screen}{screen}");
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    GfxSetHeadlessStreams(io.keys, file);
    EXPECT_EQ(GfxReadKey(), 'a');
    Print(AreaMessages, ModeNewLine, "last words");
    EXPECT_EQ(GfxReadKey(), KeyEndOfInput);
    EXPECT_EQ(GfxReadKey(), KeyEndOfInput);
    std::rewind(file);
    std::string written;
    for (int c; (c = std::fgetc(file)) != EOF;) written.push_back(static_cast<char>(c));
    std::fclose(file);
    EXPECT_EQ(DumpCount(written), 3);
    for (int n = 0; n < 3; ++n) EXPECT_EQ(Section(written, "messages", n), Lines{"last words"});
    EXPECT_EQ(written.substr(written.size() - 10), "== end ==\n");
}

TEST_F(ScreenTest, TimedPausesEndAtOnceWithoutReadingKeys) {
    Open("ab");
    EXPECT_LT(WaitKeyOrTime(s, 60000), 50);
    EXPECT_LT(WaitKeyOrTime(s, -60000), 50);
    EXPECT_EQ(WaitKeyOrTime(s, 0), 'a');
    EXPECT_EQ(WaitKeyOrTime(s, 0), 'b');
}

TEST_F(ScreenTest, AskYesNoTakesEitherCaseAndEchoesTheKey) {
    db.YesLetter = 'S';
    db.NoLetter = 'N';
    Open("xyS{up}qNsnJ");  // keys that are no answer are passed over
    const struct {
        const char* prompt;
        int answer;
        const char* shown;
    } cases[] = {{nullptr, 1, "(s/n)? S"},
                 {nullptr, 0, "(s/n)? N"},
                 {nullptr, 1, "(s/n)? s"},
                 {"Sure? ", 0, "Sure? n"}};
    for (const auto& c : cases) {
        EXPECT_EQ(AskGameYesNo(game, c.prompt), c.answer) << c.shown;
        EXPECT_EQ(MessageLine(0), c.shown);
    }
    db.YesLetter = db.NoLetter = 'j';
    EXPECT_EQ(AskGameYesNo(game, nullptr), 1);
    EXPECT_EQ(MessageLine(0), "(j/j)? J");
}

TEST_F(ScreenTest, AskChoiceLimitsTheDigitsAndEscape) {
    Open("032{esc}:9{esc}43{esc}{esc}95");  // keys out of range are passed over
    const struct {
        const char* prompt;
        int count, answer;
        const char* shown;
    } cases[] = {{nullptr, 1, 2, "(1:2): 2"},  {nullptr, 1, 0, "(1:2):"},
                 {nullptr, 12, 9, "(1:9): 9"}, {nullptr, -3, 3, "(1:3): 3"},
                 {nullptr, 0, 0, "(1:2):"},    {nullptr, -20, 9, "(1:9): 9"},
                 {"Slot? ", 9, 5, "Slot? 5"}};
    for (const auto& c : cases) {
        EXPECT_EQ(AskChoice(s, c.prompt, c.count), c.answer) << c.count;
        EXPECT_EQ(MessageLine(0), c.shown) << c.count;
    }
}

TEST_F(ScreenTest, HistoryReachesFifteenLinesBackAndEndsEmptyForward) {
    char buf[HistoryLineSize];
    EXPECT_EQ(HistoryBack(s.History, buf), 0);
    EXPECT_STREQ(buf, "");
    for (int i = 1; i <= 16; ++i) HistoryAdd(s.History, ("line " + std::to_string(i)).c_str());
    for (int i = 16; i >= 2; --i) {
        HistoryBack(s.History, buf);
        EXPECT_EQ(std::string(buf), "line " + std::to_string(i));
    }
    EXPECT_EQ(HistoryBack(s.History, buf), 6);
    EXPECT_STREQ(buf, "line 2");
    for (int i = 3; i <= 16; ++i) {
        HistoryForward(s.History, buf);
        EXPECT_EQ(std::string(buf), "line " + std::to_string(i));
    }
    EXPECT_EQ(HistoryForward(s.History, buf), 0);
    EXPECT_EQ(HistoryForward(s.History, buf), 0);
    HistoryAdd(s.History, std::string(200, 'z').c_str());
    EXPECT_EQ(HistoryBack(s.History, buf), 127);
    s.History = InputHistory{};
    EXPECT_EQ(HistoryBack(s.History, buf), 0);
}

TEST_F(ScreenTest, ReadLineEditsWithinTheWidthOfTheLine) {
    Open("abc{bs}d\n{bs}x{esc}{329}\n" + std::string(100, 'a') + "\n" + std::string(100, 'b') +
         "\n");
    char line[128];
    EXPECT_EQ(ReadGameLine(game, line, 127), LineResult::Typed);
    EXPECT_STREQ(line, "abd");
    ReadGameLine(game, line, 127);
    EXPECT_STREQ(line, "x");
    ReadGameLine(game, line, 127);
    EXPECT_EQ(std::string(line), std::string(94, 'a'));
    std::strcpy(db.Prompt, "What now? ");
    ReadGameLine(game, line, 127);
    EXPECT_EQ(std::string(line), std::string(85, 'b'));
    EXPECT_EQ(MessageLine(0), "What now? " + std::string(85, 'b'));
}

// What the player types is shown as typed: no variable is expanded, no backslash breaks the
// line; only the author's prompt keeps its marks.
TEST_F(ScreenTest, ReadLineShowsTheLineExactlyAsTyped) {
    AddVar("turns", 7);
    std::strcpy(db.Prompt, "%turns%> ");
    Open("go{screen}%turns%{screen}\\x{screen}\n{up}{screen}\n");
    char line[128];
    ReadGameLine(game, line, 127);
    EXPECT_STREQ(line, "go%turns%\\x");
    EXPECT_EQ(DumpCount(Output()), 3);
    EXPECT_EQ(Section(Output(), "messages", 0), Lines{"7> go_"});
    EXPECT_EQ(Section(Output(), "messages", 1), Lines{"7> go%turns%_"});
    EXPECT_EQ(Section(Output(), "messages", 2), Lines{"7> go%turns%\\x_"});
    EXPECT_EQ(MessageLine(0), "7> go%turns%\\x");  // the echo once Enter is pressed
    // A line brought back from the history is shown as typed too.
    ReadGameLine(game, line, 127);
    EXPECT_STREQ(line, "go%turns%\\x");
    EXPECT_EQ(Section(Output(), "messages", 3).back(), "7> go%turns%\\x_");
    // An answer key is echoed as typed as well.
    db.YesLetter = '%';
    io.SetKeys("%");
    EXPECT_EQ(AskGameYesNo(game, "Sure? "), 1);
    EXPECT_EQ(MessageLine(0), "Sure? %");
}

// Ctrl+Z asks to take back the last command: nothing is sent, the line shows the word it
// stands for, and the half-typed line stays out of the history but waits on the next command
// line, where it can be finished; a new game starts with an empty line again.
TEST_F(ScreenTest, ReadLineHandsUpCtrlZ) {
    Open("get co{undo}in\n{up}{up}\n\x1alook{undo}");
    char line[128];
    EXPECT_EQ(ReadGameLine(game, line, 127), LineResult::Undo);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(MessageLine(0), ">undo");
    EXPECT_EQ(ReadGameLine(game, line, 127), LineResult::Typed);
    EXPECT_STREQ(line, "get coin");
    EXPECT_EQ(MessageLine(0), ">get coin");
    EXPECT_EQ(ReadGameLine(game, line, 127), LineResult::Typed);
    EXPECT_STREQ(line, "get coin");  // the oldest line of the history
    EXPECT_EQ(ReadGameLine(game, line, 127),
              LineResult::Undo);   // the key's own code in a key script
    EXPECT_STREQ(s.KeptLine, "");  // nothing half typed: nothing kept
    EXPECT_EQ(ReadGameLine(game, line, 127), LineResult::Undo);
    EXPECT_STREQ(s.KeptLine, "look");
    FrontNewGame(game);
    EXPECT_STREQ(s.KeptLine, "");
}

TEST_F(ScreenTest, ReadLineWalksTheHistoryAndFlipsPictures) {
    Open("north\nsouth\n{up}{up}{down}\n{up}{down}{down}\n{f12}\n{f12}\n");
    const struct {
        const char* line;
        int pictures;
    } expected[] = {{"north", 1}, {"south", 1}, {"south", 1}, {"", 1}, {"", 0}, {"", 1}};
    char line[128];
    for (const auto& e : expected) {
        ReadGameLine(game, line, 127);
        EXPECT_STREQ(line, e.line);
        EXPECT_EQ(s.PicturesEnabled, e.pictures);
    }
    // Each finished line stays on screen without the cursor until the next prompt scrolls it.
    EXPECT_EQ(Output(), ">north\n>south\n>south\n>\n>\n");
    EXPECT_EQ(MessageLine(0), ">");
}

// Every character of the code page the font draws can be typed: accented letters from a key
// script by their byte or by their code, and the sign at 127; keys beyond stay keys.
TEST_F(ScreenTest, ReadLineTakesEveryCharacterOfTheCodePage) {
    const struct {
        std::string keys, line;
    } cases[] = {{"l{138}ve", "l\x8Ave"},
                 {"\x82t\x82", "\x82t\x82"},
                 {"{255}{127}{32}{128}", "\xFF\x7F \x80"},
                 {"{256}{390}{65535}x", "x"}};
    std::string keys;
    for (const auto& c : cases) keys += c.keys + "\n";
    Open(keys);
    char line[128];
    for (const auto& c : cases) {
        EXPECT_EQ(ReadGameLine(game, line, 127), LineResult::Typed);
        EXPECT_EQ(std::string(line), c.line) << c.keys;
        EXPECT_EQ(MessageLine(0), ">" + c.line) << c.keys;
    }
}

// A yes/no question in a game whose letters are accented (Boolean= with CharSet=w).
TEST_F(ScreenTest, AskYesNoTakesAccentedLetters) {
    db.YesLetter = '\x82';  // é
    db.NoLetter = '\x8A';   // è
    Open("e\x90{130}{138}");
    EXPECT_EQ(AskGameYesNo(game, nullptr), 1);
    EXPECT_EQ(MessageLine(0), "(\x82/\x8A)? \x82");
    EXPECT_EQ(AskGameYesNo(game, nullptr), 0);
    EXPECT_EQ(MessageLine(0), "(\x82/\x8A)? \x8A");
}

// A game written in Windows code page 1252 whose winning verb is accented ("lève", code page 850
// 0x8A once compiled) is won from a key script, with the letter as its byte or by its code.
TEST_F(ScreenTest, GameWithAnAccentedVerbIsWonFromAKeyScript) {
    // Any other command ends the game lost, so that the keys that follow are still answers.
    const std::string source = "[System]\nCharSet=w\n[Locations]\n#0,Dark,,0\n#1,Hall,,0\n"
                               "A bare hall.\n[Messages]\n#1,The anchor rises: you have won!\n"
                               "#2,Lost.\n[Verbs]\n#30,l\xE8ve\n[Nouns]\n#1,anchor\n[Events]\n"
                               "if not begin\nthen message 2 quit\n[Actions]\n"
                               "if verb l\xE8ve noun anchor\nthen message 1 quit\n";
    for (const char* keys : {"nl\x8Ave anchor\nn", "nl{138}ve anchor\nn"}) {
        ResetDatabase(db);
        umb::compiler::Compiler c;
        umb::compiler::BeginCompile(c, db);
        io.Open();
        c.Out = io.out;
        EXPECT_EQ(umb::compiler::CompileSource(c, source.data(), source.size(), "game.adv"),
                  umb::compiler::CompileResult::Clean);
        io.SetKeys(keys);
        WindowState window;
        PlayView view;
        view.Front = {&WindowFrontEnd, &window};
        EXPECT_EQ(PlayGames(db, "game", false, nullptr, view), PlayResult::Ended);
        EXPECT_TRUE(io.AllKeysUsed());
        EXPECT_NE(Output().find(">l\x8Ave anchor\nThe anchor rises: you have won!\n"),
                  std::string::npos)
            << keys << "\n"
            << Output();
        io.Close();
    }
}
