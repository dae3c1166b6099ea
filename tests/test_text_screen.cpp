// test_text_screen.cpp - the text screen gives the transcripts and screen dumps the window gives
// with the headless driver: every walkthrough of the examples and the test data played both
// ways, and the cases the walkthroughs may miss (long words and descriptions, the line editor's
// keys, Escape at a choice, the end of the key script, the transcript's limit).
#include "compiler/compiler.h"
#include "engine/engine.h"
#include "ui/gfx/gfx.h"
#include "ui/page/page_front.h"
#include "ui/text/text_screen.h"
#include "ui/window/screen.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace umb;

// What a play wrote: the transcript and dumps, and the key script's lines consumed.
struct Played {
    std::string text;
    int lines = 0;
    std::string lastLine;
    int result = 0;
};

// A memory stream that hands its text over when closed.
struct MemoryOut {
    char* text = nullptr;
    size_t size = 0;
    FILE* file = ::open_memstream(&text, &size);
    std::string Close() {
        std::fclose(file);
        std::string s(text != nullptr ? text : "", size);
        std::free(text);
        return s;
    }
};

// Compiles game.adv from the working folder, what it says going to out; a source with warnings
// takes the first key, as umb -t does.
bool LoadGame(db::GameDatabase& db, const std::string& game, FILE* keys, FILE* out) {
    if (db::AllocateTextHeap(db) != db::DbResult::Ok || db::ResetDatabase(db) != db::DbResult::Ok)
        return false;
    FILE* file = std::fopen((game + ".adv").c_str(), "r");
    if (file == nullptr) return false;
    compiler::Compiler c;
    compiler::BeginCompile(c, db);
    c.Out = out;
    const compiler::CompileResult result =
        compiler::CompileSourceFile(c, file, (game + ".adv").c_str());
    std::fclose(file);
    if (result == compiler::CompileResult::Warnings) (void)std::fgetc(keys);
    return result == compiler::CompileResult::Clean || result == compiler::CompileResult::Warnings;
}

// Plays the walkthrough at keysPath of the game in a fresh copy of folder, on the window with the
// headless driver or on the text screen.
// With page, the text screen is shown through the page's front end, which tells page of it.
Played PlayWalkthrough(const fs::path& folder, const std::string& game, const fs::path& keysPath,
                       bool textScreen, ui::PageFront* page = nullptr) {
    const fs::path work =
        fs::temp_directory_path() / ("umb-textscreen-" + std::to_string(::getpid()) + "-" + game);
    fs::remove_all(work);
    fs::copy(folder, work, fs::copy_options::recursive);
    const fs::path before = fs::current_path();
    fs::current_path(work);
    FILE* keys = std::fopen(keysPath.c_str(), "rb");
    MemoryOut out;
    Played p;
    std::srand(1);
    ui::TextScreen screen;
    screen.keys.in = keys;
    if (!textScreen) gfx::GfxBeginHeadlessPlay(keys, out.file);
    {
        db::GameDatabase db;
        ui::WindowState window;
        engine::PlayView view;
        view.Front = textScreen ? engine::FrontHandle{&ui::TextScreenFrontEnd, &screen}
                                : engine::FrontHandle{&ui::WindowFrontEnd, &window};
        if (page != nullptr) {
            page->inner = view.Front;
            view.Front = engine::FrontHandle{&ui::PageFrontEnd, page};
        }
        p.result = LoadGame(db, game, keys, out.file)
                       ? static_cast<int>(engine::PlayGames(db, game, false, nullptr, view))
                       : -9;
    }
    if (textScreen) {
        p.lines = screen.keys.lines;
        p.lastLine = screen.keys.lastLine;
    } else {
        const gfx::HeadlessPlayEnd end = gfx::GfxEndHeadlessPlay();
        p.lines = end.lines;
        p.lastLine = end.lastLine;
    }
    p.text = out.Close() + screen.transcript;
    std::fclose(keys);
    fs::current_path(before);
    fs::remove_all(work);
    return p;
}

std::string ReadAll(const fs::path& path) {
    std::string text;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
    return text;
}

// Every walkthrough with a transcript, in the demo's folder and the test data: both ways give the
// blessed transcript, byte for byte, and consume the same lines of the key script.
TEST(TextScreen, PlaysEveryWalkthroughAsTheWindowDoes) {
    int played = 0;
    for (const fs::path& folder : {fs::path(UMB_EXAMPLES) / "beacon", fs::path(UMB_TEST_DATA)}) {
        for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
            fs::path blessed = e.path();
            blessed.replace_extension(".txt");
            if (e.path().extension() != ".keys" || !fs::exists(blessed)) continue;
            const std::string stem = e.path().stem().string();
            const std::string game = stem.substr(0, stem.find('-'));
            SCOPED_TRACE(stem);
            const Played window = PlayWalkthrough(folder, game, e.path(), false);
            const Played text = PlayWalkthrough(folder, game, e.path(), true);
            EXPECT_EQ(text.text, window.text);
            EXPECT_EQ(text.text, ReadAll(blessed));
            EXPECT_EQ(text.result, window.result);
            EXPECT_EQ(text.lines, window.lines);
            EXPECT_EQ(text.lastLine, window.lastLine);
            ++played;
        }
    }
    EXPECT_GE(played, 5);
}

// A run of front-end calls, recording what they answered.
using Scenario = void (*)(engine::Game& s, std::string& answers);

// Runs scenario on the window (headless driver) or the text screen with the given keys; returns
// the transcript and dumps, then the answers.
std::string RunScenario(Scenario scenario, const std::string& keyText, bool textScreen,
                        size_t limit = gfx::HeadlessPlayTranscriptLimit) {
    std::string keyCopy = keyText;
    FILE* keys = keyCopy.empty() ? std::fopen("/dev/null", "rb")
                                 : ::fmemopen(keyCopy.data(), keyCopy.size(), "rb");
    MemoryOut out;
    ui::TextScreen screen;
    screen.keys.in = keys;
    screen.limit = limit;
    ui::WindowState window;
    engine::Game s;
    if (textScreen) {
        s.Front = {&ui::TextScreenFrontEnd, &screen};
    } else {
        s.Front = {&ui::WindowFrontEnd, &window};
        gfx::GfxBeginHeadlessPlay(keys, out.file, limit);
    }
    std::string answers;
    engine::GameLook look;
    look.title = "test";
    char why[256];
    if (s.Front.table->open(s.Front.self, look, why, sizeof why) == engine::OpenResult::Ready) {
        engine::FrontNewGame(s);
        scenario(s, answers);
        engine::FrontClose(s);
    }
    if (!textScreen) (void)gfx::GfxEndHeadlessPlay();
    answers += engine::FrontInputEnded(s) ? " ended" : "";
    std::fclose(keys);
    return out.Close() + screen.transcript + "answers:" + answers;
}

void Say(std::string& answers, int n) { answers += " " + std::to_string(n); }

// A single word wider than every area, a status line over a name of several lines, and a
// description longer than its area.
void LongTexts(engine::Game& s, std::string& answers) {
    const std::string word(130, 'w');
    std::string description;
    for (int i = 0; i < 40; ++i) description += "line" + std::to_string(i) + " of a long text\\";
    const std::string name = word + " and a name of many words that takes two lines";
    engine::LocationView v;
    v.name = name.c_str();
    v.status = "Score: 10";
    v.texts[0] = description.c_str();
    v.texts[1] = word.c_str();
    v.textCount = 2;
    engine::FrontShowLocation(s, v);
    engine::FrontShowMessage(s, word.c_str());
    engine::FrontShowMessage(s, (word + " " + word).c_str());
    engine::FrontShowNote(s, "a note\\with a backslash");
    engine::FrontShowReply(s, "reply");
    char line[128];
    Say(answers, static_cast<int>(engine::FrontReadLine(s, "> ", line, 100)));
}

// The line editor: Backspace, the history with Up and Down, Ctrl+Z keeping the half-typed line
// for the next command line, and a line too long for the screen.
void Editing(engine::Game& s, std::string& answers) {
    char line[128];
    for (int i = 0; i < 7; ++i) {
        const int result = static_cast<int>(engine::FrontReadLine(s, ">", line, 120));
        answers += " " + std::to_string(result) + ":" + line;
    }
}

// A choice answered with Escape, one where Escape is not offered, a yes/no question past other
// keys, and a pause.
void Questions(engine::Game& s, std::string& answers) {
    Say(answers, engine::FrontAskChoice(s, "Which? ", 3));
    Say(answers, engine::FrontAskChoice(s, nullptr, -3));
    Say(answers, engine::FrontAskYesNo(s, "Sure? ", 'y', 'n'));
    // A timed pause that no key ended gives the time that passed, which the window counts on the
    // real clock even headless (a tick or two on a slow machine): only whether the pause took the
    // key waiting after it is compared.
    Say(answers, engine::FrontWaitKeyOrTime(s, 500) == 'k' ? 1 : 0);
    Say(answers, engine::FrontWaitKeyOrTime(s, 0));
    engine::FrontClearMessages(s);
    engine::FrontShowMessage(s, "after the clear");
    Say(answers, engine::FrontAskYesNo(s, nullptr, 'j', 'n'));
    Say(answers, engine::FrontAskChoice(s, nullptr, 2));
}

struct Case {
    const char* name;
    Scenario scenario;
    const char* keys;
    const char* expected;  // a part of the text screen's output
};

const Case Cases[] = {
    {"long texts", LongTexts, "look{screen}\n",
     "-- title --\nwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww\nand a name of many words"},
    {"editing", Editing,
     "abd{bs}c\ntake lamp{enter}{up}{up}{down}{down}{up}\nhalf{undo}{screen}{bs}{bs}ck\n"
     "{up}{up}{up}{up}{up}{up}\n"
     "012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012"
     "3"
     "456789\n{screen}",
     ">undo\n>half_\n== end ==\n>hack\n>abc\n== screen ==\n-- title --\n-- description --\n"
     "-- messages --\n>abc\n>take lamp\n>take lamp\n>undo\n>hack\n>abc\n>"
     "012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012"
     "3"
     "\n== end ==\nanswers: 0:abc 0:take lamp 0:take lamp 1: 0:hack 0:abc 0:0123456789"},
    {"questions", Questions, "x{esc}{esc}7{f12}2zYk{screen}1\n", "answers: 0 2 1 0 107 0 0 ended"},
    {"the end of the keys", Questions, "1", "answers: 1 0 0 0 65536 0 0 ended"},
};

TEST(TextScreen, ShowsAndAnswersAsTheWindow) {
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.name);
        const std::string window = RunScenario(c.scenario, c.keys, false);
        const std::string text = RunScenario(c.scenario, c.keys, true);
        EXPECT_EQ(text, window);
        EXPECT_NE(text.find(c.expected), std::string::npos) << text;
    }
}

void Flood(engine::Game& s, std::string& answers) {
    int lines = 0;
    for (; lines < 1000 && !engine::FrontBusy(s); ++lines)
        engine::FrontShowMessage(s, "Round and round.");
    Say(answers, lines);
}

// A game printing for ever is stopped once its transcript passes the limit, and nothing more is
// kept: not the row that passed it, nor the last screen dump.
TEST(TextScreen, StopsAPlayWhoseTranscriptPassesItsLimit) {
    const std::string window = RunScenario(Flood, "", false, 1000);
    const std::string text = RunScenario(Flood, "", true, 1000);
    EXPECT_EQ(text, window);
    // The first message sends no row out; the 60th sends out the row that passes the limit.
    EXPECT_NE(text.find("answers: " + std::to_string(1000 / 17 + 2)), std::string::npos) << text;
    ui::TextScreen screen;
    screen.limit = 1000;
    ui::TextScreenOpen(screen);
    int shown = 0;
    for (; shown < 1000 && !ui::TextScreenBusy(screen); ++shown)
        ui::TextShowMessage(screen, "Round and round.");
    EXPECT_TRUE(screen.cut && screen.stopped);
    EXPECT_EQ(screen.transcript.size(), size_t{1000 / 17 * 17});
    ui::TextScreenClose(screen);
    EXPECT_EQ(screen.transcript.size(), size_t{1000 / 17 * 17});
}

// The watchdog's stop, asked from another thread, is seen at the turn's next look.
TEST(TextScreen, AStopAskedFromOutsideIsSeenOnce) {
    ui::TextScreen screen;
    EXPECT_FALSE(ui::TextScreenBusy(screen));
    ui::TextScreenStop(screen);
    EXPECT_TRUE(ui::TextScreenBusy(screen));
    EXPECT_TRUE(screen.stopped);
}

}  // namespace

namespace {

// Reads every token of text, as the headless driver and the text screen read a key script; what
// is said on standard error meanwhile goes to said.
std::vector<int> Tokens(const std::string& text, gfx::KeyScript& k, std::string& said) {
    std::string copy = text;
    k.in = ::fmemopen(copy.data(), copy.size(), "rb");
    FILE* err = std::tmpfile();
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(::fileno(err), 2);
    std::vector<int> tokens;
    for (int t = 0; t != gfx::KeyTokenEnd && tokens.size() < 100;)
        tokens.push_back(t = gfx::NextKeyToken(k));
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::rewind(err);
    char buf[512];
    said.assign(buf, std::fread(buf, 1, sizeof buf, err));
    std::fclose(err);
    std::fclose(k.in);
    return tokens;
}

// Named keys, codes, {screen}, "{{", line breaks; an unknown name is said and only its "{" is
// skipped; the lines consumed are counted with the last of them.
// The page's log as the page builds it from what it is told: each message and each question a
// new entry, the answer added to its question, a debug reply in place of the line answered.
std::string PageLog(const std::vector<ui::PageEvent>& events) {
    std::vector<std::string> entries;
    size_t asked = SIZE_MAX;
    for (const ui::PageEvent& e : events) {
        if (e.kind == ui::PageEventKind::Message) entries.push_back(e.text);
        if (e.kind == ui::PageEventKind::Ask && e.mode != static_cast<int>(ui::PageAsk::Key)) {
            asked = entries.size();
            entries.push_back(e.text);
        }
        if (e.kind == ui::PageEventKind::Answer && asked < entries.size()) entries[asked] += e.text;
        if (e.kind == ui::PageEventKind::Reply && asked < entries.size()) entries[asked] = e.text;
    }
    std::string log;
    for (const std::string& entry : entries) log += entry + "\n";
    return log;
}

// Text without its blanks and line ends: the page's log keeps texts unwrapped.
std::string Unwrapped(const std::string& text) {
    std::string out;
    for (const char c : text)
        if (c != ' ' && c != '\n') out += c;
    return out;
}

// The lines of the section named title (e.g. "-- messages --") of the last screen dump.
std::string LastDumpSection(const std::string& transcript, const std::string& title) {
    const size_t dump = transcript.rfind("== screen ==");
    const size_t from = transcript.find(title + "\n", dump);
    if (dump == std::string::npos || from == std::string::npos) return "";
    const size_t start = from + title.size() + 1;
    size_t end = transcript.find("\n-- ", start);
    if (end == std::string::npos) end = transcript.find("\n== end ==", start);
    return transcript.substr(start, end == std::string::npos ? end : end - start + 1);
}

// The page's log of every walkthrough holds what the window's message area showed, in order:
// the rows that left it, then those still on it at the end.
TEST(PageFront, LogHoldsWhatTheMessagesShowed) {
    for (const char* walk : {"beacon-win", "beacon-lose", "beacon-late"}) {
        SCOPED_TRACE(walk);
        const fs::path folder = fs::path(UMB_EXAMPLES) / "beacon";
        ui::PageFront page;
        const Played p =
            PlayWalkthrough(folder, "beacon", folder / (std::string(walk) + ".keys"), true, &page);
        std::string rows;  // the transcript without its screen dumps
        bool inDump = false;
        for (size_t at = 0, end; at < p.text.size(); at = end + 1) {
            end = p.text.find('\n', at);
            if (end == std::string::npos) end = p.text.size();
            const std::string line = p.text.substr(at, end - at);
            if (line == "== screen ==") inDump = true;
            if (!inDump) rows += line + "\n";
            if (line == "== end ==") inDump = false;
        }
        const std::string log = Unwrapped(PageLog(page.events));
        const std::string left = Unwrapped(rows);
        ASSERT_EQ(log.substr(0, left.size()), left);
        const std::string onScreen = Unwrapped(LastDumpSection(p.text, "-- messages --"));
        ASSERT_FALSE(onScreen.empty());
        EXPECT_EQ(onScreen.substr(onScreen.size() - (log.size() - left.size())),
                  log.substr(left.size()));
    }
}

// A location is told when it changes, whole, and the last one told is the one on the screen.
TEST(PageFront, TellsTheLocationAsTheScreenShowsIt) {
    const fs::path folder = fs::path(UMB_EXAMPLES) / "beacon";
    ui::PageFront page;
    const Played p = PlayWalkthrough(folder, "beacon", folder / "beacon-win.keys", true, &page);
    std::string name, status, texts, picture;
    int places = 0, lines = 0;
    for (size_t i = 0; i < page.events.size(); ++i) {
        const ui::PageEvent& e = page.events[i];
        if (e.kind == ui::PageEventKind::Place) {
            ++places;
            name = e.text;
            texts.clear();
            for (++i; i < page.events.size() && page.events[i].kind == ui::PageEventKind::Text; ++i)
                texts += page.events[i].text + "\n";
            ASSERT_LT(i, page.events.size());
            EXPECT_EQ(page.events[i].kind, ui::PageEventKind::Shown);
        }
        if (e.kind == ui::PageEventKind::Status) status = e.text;
        if (e.kind == ui::PageEventKind::Picture) picture = e.text;
        if (e.kind == ui::PageEventKind::Ask && e.mode == static_cast<int>(ui::PageAsk::Line))
            ++lines;
    }
    EXPECT_EQ(LastDumpSection(p.text, "-- title --"), name + "\n" + status + "\n");
    EXPECT_EQ(Unwrapped(LastDumpSection(p.text, "-- description --")), Unwrapped(texts));
    EXPECT_EQ(picture, "pictures/dawn.png");  // the winning show
    // Waiting in one place, or taking an object, tells no location again.
    EXPECT_GT(places, 5);
    EXPECT_LT(places, lines);
}

TEST(KeyScript, ReadsKeysNamesAndLines) {
    const int E = gfx::KeyTokenEnd, S = gfx::KeyTokenScreen;
    struct {
        const char* text;
        std::vector<int> tokens;
        const char* said;
        int lines;
        const char* lastLine;
    } const cases[] = {
        {"a{enter}{bs}{esc}{up}{down}{f12}{shot}{undo}\r\nz",
         {'a', 13, 8, 27, 328, 336, 390, 370, 26, 13, 'z', E},
         "",
         1,
         "a{enter}{bs}{esc}{up}{down}{f12}{shot}{undo}"},
        {"{{{130}{screen}x\n\n", {'{', 130, S, 'x', 13, 13, E}, "", 2, ""},
        {"{bog}b",
         {'b', 'o', 'g', '}', 'b', E},
         "Unknown key {bog in the key script, skipped\n",
         0,
         ""},
        {"{70000}",
         {'7', '0', '0', '0', '0', '}', E},
         "Unknown key {70000 in the key script, skipped\n",
         0,
         ""},
        {"{ab", {'a', 'b', E}, "Unknown key {ab in the key script, skipped\n", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        gfx::KeyScript k;
        std::string said;
        EXPECT_EQ(Tokens(c.text, k, said), c.tokens);
        EXPECT_EQ(said, c.said);
        EXPECT_EQ(k.lines, c.lines);
        EXPECT_EQ(k.lastLine, c.lastLine);
    }
}

}  // namespace
