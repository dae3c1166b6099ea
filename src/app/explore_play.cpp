// explore_play.cpp - the explorer's games: commands drawn from the game's words, questions
// answered at random, every turn timed and stopped past its limit.
#include "app/explore.h"

#include "base/nocase.h"
#include "db/codes.h"
#include "engine/engine.h"
#include "ui/gfx/gfx.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

using namespace umb::db;
using namespace umb::engine;

namespace umb::app {

namespace {

using Clock = std::chrono::steady_clock;

// The explorer's own numbers (splitmix64): the same seed draws the same play on every machine,
// whatever the C library's rand does, which the game itself keeps using.
struct Draws {
    uint64_t state = 0;
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A number from 0 to n - 1 (n above 0).
    size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
    bool Percent(unsigned p) { return Below(100) < p; }
};

// The words a player can type: one word for each verb and noun number (its first synonym).
struct Vocabulary {
    std::string directions[DirectionCount + 1];  // by direction 1 to 10; empty: no word
    std::vector<int> directionsNamed;
    std::vector<std::string> verbs;  // the verbs that are not directions
    std::vector<std::string> nouns;  // by noun number; empty: no word
    std::vector<int> nounsNamed;
};

std::string WordText(const WordRecord& w) { return std::string(w.word, strnlen(w.word, 8)); }

void ReadVocabulary(const GameDatabase& db, Vocabulary& v) {
    std::set<int> verbsSeen;
    const size_t verbs =
        std::min(db.Verbs.size(), static_cast<size_t>(std::max<int>(db.VerbCount, 0)));
    for (size_t i = 0; i < verbs; ++i) {
        const WordRecord& w = db.Verbs[i];
        if (w.word[0] == '\0' || !verbsSeen.insert(w.number).second) continue;
        if (w.number >= 1 && w.number <= DirectionCount) {
            v.directions[w.number] = WordText(w);
            v.directionsNamed.push_back(w.number);
        } else {
            v.verbs.push_back(WordText(w));
        }
    }
    const size_t nouns =
        std::min(db.Nouns.size(), static_cast<size_t>(std::max<int>(db.NounCount, 0)));
    for (size_t i = 0; i < nouns; ++i) {
        const WordRecord& w = db.Nouns[i];
        if (w.word[0] == '\0' || w.number <= 0) continue;
        const size_t n = static_cast<size_t>(w.number);
        if (v.nouns.size() <= n) v.nouns.resize(n + 1);
        if (!v.nouns[n].empty()) continue;
        v.nouns[n] = WordText(w);
        v.nounsNamed.push_back(w.number);
    }
}

// A script line that can end the game, and how often it had run before the turn.
struct QuitLine {
    bool events;
    int line;
    uint32_t runs;
};

// Everything the explorer keeps while it plays: what the front end answers from, and the run's
// findings so far.
struct Explorer {
    GameDatabase* db = nullptr;
    Game g;
    Draws draws;
    Vocabulary words;
    ExploreOptions options;
    ExploreReport* report = nullptr;
    std::vector<ExploreInput> inputs;  // the game so far
    // A play replayed rather than drawn: its inputs are typed in order; a question it does not
    // answer there puts the game off its script, which then ends at once.
    const std::vector<ExploreInput>* script = nullptr;
    size_t next = 0;
    bool offScript = false;
    std::string lastMessage;
    int commandsThisGame = 0;
    Clock::time_point turnStart;
    Clock::duration limit{};
    std::vector<int> near;  // nouns of the objects here, carried or worn
    std::vector<QuitLine> quitLines;
    std::set<std::pair<int, std::string>> looping;  // commands that hit the limit, by location
    std::string scratch;                            // where the games are saved
    bool saved = false;  // a game was saved there since it was last emptied
};

Explorer& Of(void* self) { return *static_cast<Explorer*>(self); }

OpenResult XOpen(void*, const GameLook&, char*, size_t) { return OpenResult::Ready; }
void XNothing(void*) {}
void XShowLocation(void*, const LocationView&) {}
void XShowText(void*, const char*) {}
void XShowMessage(void* self, const char* text) {
    if (text != nullptr) Of(self).lastMessage.assign(text);
}

// Takes the next input of a replayed play when it is of kind; returns false when the play is
// drawn. Off its script, value is fallback.
bool Scripted(Explorer& x, InputKind kind, int& value, int fallback) {
    if (x.script == nullptr) return false;
    const std::vector<ExploreInput>& s = *x.script;
    if (x.next < s.size() && s[x.next].kind == kind)
        value = s[x.next++].value;
    else {
        x.offScript = true;
        value = fallback;
    }
    return true;
}

bool XAskYesNo(void* self, const char*, char, char) {
    Explorer& x = Of(self);
    int yes = 0;
    if (!Scripted(x, InputKind::YesNo, yes, 0)) yes = x.draws.Percent(50) ? 1 : 0;
    x.inputs.push_back({InputKind::YesNo, yes, {}});
    return yes == 1;
}

int XAskChoice(void* self, const char*, int count) {
    Explorer& x = Of(self);
    int answer = 0;
    if (!Scripted(x, InputKind::Choice, answer, 1)) {
        // Escape, where it is taken, as often as any one digit.
        const int limit = ChoiceLimit(count);
        answer = static_cast<int>(x.draws.Below(static_cast<size_t>(limit + 1)));
        if (answer == 0 && count < 0) answer = 1;
    }
    x.inputs.push_back({InputKind::Choice, answer, {}});
    return answer;
}

LineResult XReadLine(void*, const char*, char* buffer, int) {
    buffer[0] = '\0';
    return LineResult::Ended;  // the explorer types its commands itself
}

// A timed pause ends at once, as in the walkthroughs; a key wait takes Enter.
int XWaitKeyOrTime(void* self, int ticks) {
    if (ticks != 0) return 0;
    Explorer& x = Of(self);
    int ignored = 0;
    Scripted(x, InputKind::Key, ignored, 0);
    x.inputs.push_back({InputKind::Key, 0, {}});
    return gfx::KeyEnter;
}

PictureResult XShowPicture(void*, int, const char*, const char*, char* why, size_t whySize) {
    if (whySize > 0) why[0] = '\0';
    return PictureResult::Shown;
}

// The turn under way has run past its limit: the walk stops as at the player's Stop.
bool XBusy(void* self) {
    const Explorer& x = Of(self);
    return x.offScript || Clock::now() - x.turnStart > x.limit;
}

void XAlert(void*, const char*, const char*) {}

void XSavedGameWritten(void* self, const char*) { Of(self).saved = true; }

const FrontEnd ExplorerFrontEnd = {
    "explorer",     XOpen,        XNothing, XNothing,  XShowLocation, XShowMessage,
    XShowText,      XShowText,    XNothing, XAskYesNo, XAskChoice,    XReadLine,
    XWaitKeyOrTime, XShowPicture, XBusy,    nullptr,   XAlert,        XSavedGameWritten,
};

// Notes where the player is and what is in hand, and gathers the nouns of what is near.
void LookAround(Explorer& x) {
    Game& g = x.g;
    ExploreReport& r = *x.report;
    const int here = g.CurrentLocation;
    if (here >= 0 && static_cast<size_t>(here) < r.visited.size())
        r.visited[static_cast<size_t>(here)] = 1;
    x.near.clear();
    const int objects = std::min<int>(g.Db->LastObject, static_cast<int>(r.taken.size()) - 1);
    for (int i = 1; i <= objects; ++i) {
        const ObjectRecord& o = ObjectAt(g, i);
        if (o.name == NoText) continue;
        const int16_t at = ObjectLocation(g, i);
        if (IsCarriedOrWorn(at)) r.taken[static_cast<size_t>(i)] = 1;
        if (at != here && !IsCarriedOrWorn(at)) continue;
        if (o.noun > 0 && static_cast<size_t>(o.noun) < x.words.nouns.size() &&
            !x.words.nouns[static_cast<size_t>(o.noun)].empty())
            x.near.push_back(o.noun);
    }
}

// A noun word: most often one of an object at hand, else any.
const std::string& DrawNoun(Explorer& x) {
    const Vocabulary& v = x.words;
    if (!x.near.empty() && x.draws.Percent(70))
        return v.nouns[static_cast<size_t>(x.near[x.draws.Below(x.near.size())])];
    return v.nouns[static_cast<size_t>(v.nounsNamed[x.draws.Below(v.nounsNamed.size())])];
}

// A direction word: most often one that leads somewhere from here.
const std::string& DrawDirection(Explorer& x) {
    int open[DirectionCount];
    int count = 0;
    for (const int d : x.words.directionsNamed)
        if (EffectiveExit(x.g, x.g.CurrentLocation, d) != 0) open[count++] = d;
    const std::vector<int>& named = x.words.directionsNamed;
    const int d = count > 0 && x.draws.Percent(60) ? open[x.draws.Below(static_cast<size_t>(count))]
                                                   : named[x.draws.Below(named.size())];
    return x.words.directions[d];
}

// A command: a direction, a verb alone, or a verb with one noun (now and then two).
void DrawCommand(Explorer& x, std::string& command) {
    const Vocabulary& v = x.words;
    const size_t kind = x.draws.Below(100);
    command.clear();
    if ((kind < 30 || v.verbs.empty()) && !v.directionsNamed.empty()) {
        command = DrawDirection(x);
        return;
    }
    if (v.verbs.empty()) return;
    command = v.verbs[x.draws.Below(v.verbs.size())];
    if (kind < 45 || v.nounsNamed.empty()) return;
    command += ' ';
    command += DrawNoun(x);
    if (kind >= 92) {
        command += ' ';
        command += DrawNoun(x);
    }
}

// A command that looped at this place before is drawn again rather than typed: the run learns
// nothing from the same endless turn twice.
void NextCommand(Explorer& x, std::string& command) {
    for (int tries = 0; tries < 8; ++tries) {
        DrawCommand(x, command);
        if (x.looping.count({x.g.CurrentLocation, command}) == 0) return;
    }
}

void FindQuitLines(const std::vector<ScriptLine>& table, int16_t count, bool events,
                   std::vector<QuitLine>& out) {
    const int lines = std::min(static_cast<int>(count), static_cast<int>(table.size()));
    for (int i = 0; i < lines; ++i) {
        const ScriptLine& l = table[static_cast<size_t>(i)];
        if (l.kind != KindAction) continue;
        for (int s = 0; s < ScriptSlots; ++s)
            if (l.ops[s] == CodeByte(ActionCode::Quit)) {
                out.push_back({events, i, 0});
                break;
            }
    }
}

uint32_t RunsOf(const Explorer& x, const QuitLine& q) {
    const ScriptCoverage& c = x.report->coverage;
    const std::vector<uint32_t>& ran = q.events ? c.eventsRan : c.actionsRan;
    return static_cast<size_t>(q.line) < ran.size() ? ran[static_cast<size_t>(q.line)] : 0;
}

void NoteQuitRuns(Explorer& x) {
    for (QuitLine& q : x.quitLines) q.runs = RunsOf(x, q);
}

// The words that tell a won game from a lost one in its last message.
bool HasWord(const std::string& text, const char* const* words) {
    std::string folded = text;
    for (char& c : folded) c = base::FoldCase(c);
    for (const char* const* w = words; *w != nullptr; ++w) {
        for (size_t at = folded.find(*w); at != std::string::npos; at = folded.find(*w, at + 1)) {
            const size_t end = at + std::strlen(*w);
            const bool startOk =
                at == 0 || !std::isalpha(static_cast<unsigned char>(folded[at - 1]));
            const bool endOk =
                end >= folded.size() || !std::isalpha(static_cast<unsigned char>(folded[end]));
            if (startOk && endOk) return true;
        }
    }
    return false;
}

EndKind KindOfEnd(const std::string& message) {
    static const char* const lost[] = {"lost",      "lose",   "dead",     "die",
                                       "died",      "dies",   "killed",   "too late",
                                       "game over", "failed", "you fail", nullptr};
    static const char* const won[] = {"won",     "win",       "saved",      "congratulations",
                                      "victory", "well done", "you escape", "success",
                                      nullptr};
    if (HasWord(message, lost)) return EndKind::Lost;
    if (HasWord(message, won)) return EndKind::Won;
    return EndKind::Ended;
}

// Keeps the game that just ended as an ending, or as a shorter play of one already found.
void NoteEnding(Explorer& x, int game) {
    ExploreEnding e;
    for (const QuitLine& q : x.quitLines)
        if (RunsOf(x, q) != q.runs) {
            e.events = q.events;
            e.line = q.line;
            break;
        }
    e.kind = e.line < 0 ? EndKind::Quit : KindOfEnd(x.lastMessage);
    e.lastMessage = e.line < 0 ? "" : x.lastMessage;
    e.inputs = x.inputs;
    e.commands = e.found = x.commandsThisGame;
    e.game = game;
    std::vector<ExploreEnding>& all = x.report->endings;
    for (ExploreEnding& known : all)
        if (known.events == e.events && known.line == e.line && known.kind == e.kind) {
            const int times = known.times + 1;
            if (e.commands < known.commands) known = e;
            known.times = times;
            return;
        }
    e.times = 1;
    all.push_back(std::move(e));
}

void NoteTime(Explorer& x, const std::string& command, int location, int game, double seconds) {
    std::vector<ExploreTurn>& slow = x.report->slowest;
    if (slow.size() == SlowestTurnsKept && slow.back().seconds >= seconds) return;
    ExploreTurn t{command, location, game, x.commandsThisGame, seconds};
    auto at = std::upper_bound(
        slow.begin(), slow.end(), t,
        [](const ExploreTurn& a, const ExploreTurn& b) { return a.seconds > b.seconds; });
    slow.insert(at, std::move(t));
    if (slow.size() > SlowestTurnsKept) slow.pop_back();
}

void NoteOverLimit(Explorer& x, const std::string& command, int location, int game) {
    x.g.Stopped = false;
    if (x.script != nullptr) return;  // a replay off its script, or one that now loops
    const double seconds = std::chrono::duration<double>(Clock::now() - x.turnStart).count();
    x.report->overLimit.push_back({command, location, game, x.commandsThisGame, seconds});
    x.looping.insert({location, command});
    if (x.report->overLimit.size() >= static_cast<size_t>(MaxTurnsOverLimit))
        x.report->gaveUp = true;
}

// Each game starts with no saved game, as a walkthrough of it does: a restore then finds only
// what the same game saved, and its key script plays the same way again.
void ForgetSavedGames(Explorer& x) {
    if (!x.saved) return;
    x.saved = false;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(x.scratch, ec))
        std::filesystem::remove_all(e.path(), ec);
}

// What one typed command came to: its actions and, when it took time, the events after it.
TurnResult RunTurn(Explorer& x, std::string& command) {
    Game& g = x.g;
    char line[InputLineLength + 1];
    std::snprintf(line, sizeof line, "%s", command.c_str());
    int verb = 0, noun = 0, noun2 = 0, noun3 = 0;
    ParseInput(g, line, &verb, &noun, &noun2, &noun3);
    TurnResult r = RunActions(g, verb, noun, noun2, noun3);
    if (r != TurnResult::Quit && r != TurnResult::NoTime &&
        RunEvents(g, ScriptMode::Normal) == EventsResult::Quit)
        r = TurnResult::Quit;
    if (r != TurnResult::Quit && !g.Stopped) {
        DescribeLocation(g, g.CurrentLocation, g.DescribeAgain);
        g.DescribeAgain = false;
    }
    return r;
}

// Plays one game until it ends, a turn runs past the limit or the steps are spent.
void PlayOneGame(Explorer& x, int game) {
    Game& g = x.g;
    ExploreReport& r = *x.report;
    std::srand(x.options.seed);  // each game draws the game's numbers as a walkthrough does
    ForgetSavedGames(x);
    x.inputs.clear();
    x.commandsThisGame = 0;
    FrontNewGame(g);
    x.turnStart = Clock::now();
    NewGame(g);
    if (g.Stopped) return NoteOverLimit(x, "(the game's start)", g.CurrentLocation, game);
    DescribeLocation(g, g.CurrentLocation, false);
    std::string command;
    while (r.commands < x.options.steps) {
        LookAround(x);
        if (x.script == nullptr) {
            NextCommand(x, command);
        } else if (x.next < x.script->size() && (*x.script)[x.next].kind == InputKind::Line) {
            command = (*x.script)[x.next++].line;
        } else {
            x.offScript = true;
            return;
        }
        x.inputs.push_back({InputKind::Line, 0, command});
        ++x.commandsThisGame;
        ++r.commands;
        const int here = g.CurrentLocation;
        NoteQuitRuns(x);
        x.turnStart = Clock::now();
        const TurnResult result = RunTurn(x, command);
        if (g.Stopped) return NoteOverLimit(x, command, here, game);
        NoteTime(x, command, here, game,
                 std::chrono::duration<double>(Clock::now() - x.turnStart).count());
        if (result == TurnResult::Quit) {
            LookAround(x);
            return NoteEnding(x, game);
        }
    }
    LookAround(x);
}

}  // namespace

namespace {

// Sizes the report's tables to the game's.
void SizeReport(const GameDatabase& db, ExploreReport& report) {
    report.visited.assign(static_cast<size_t>(std::max<int>(db.LastLocation + 1, 0)), 0);
    report.taken.assign(static_cast<size_t>(std::max<int>(db.LastObject + 1, 0)), 0);
    report.coverage.eventsReached.assign(db.Events.size(), 0);
    report.coverage.eventsRan.assign(db.Events.size(), 0);
    report.coverage.actionsReached.assign(db.Actions.size(), 0);
    report.coverage.actionsRan.assign(db.Actions.size(), 0);
}

// Plays inputs in a new game, on a report of its own; returns whether they are all typed and
// end the game as want ends it, at their end. budget loses the commands typed.
bool Replays(Explorer& x, const std::vector<ExploreInput>& inputs, const ExploreEnding& want,
             long& budget) {
    ExploreReport own;
    SizeReport(*x.db, own);
    ExploreReport* const real = x.report;
    const long steps = x.options.steps;
    x.report = &own;
    x.g.Coverage = &own.coverage;
    x.options.steps = static_cast<long>(inputs.size()) + 1;
    x.script = &inputs;
    x.next = 0;
    x.offScript = false;
    PlayOneGame(x, want.game);
    const bool same = !x.offScript && x.next == inputs.size() && own.endings.size() == 1 &&
                      own.endings[0].line == want.line && own.endings[0].events == want.events &&
                      own.endings[0].kind == want.kind;
    budget -= own.commands;
    x.script = nullptr;
    x.report = real;
    x.g.Coverage = &real->coverage;
    x.options.steps = steps;
    return same;
}

// Where each command line begins among inputs: a turn runs from one to the next.
std::vector<size_t> TurnStarts(const std::vector<ExploreInput>& inputs) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < inputs.size(); ++i)
        if (inputs[i].kind == InputKind::Line) starts.push_back(i);
    return starts;
}

// Cuts an ending's play down: runs of turns, halving in length, are left out while the rest
// still ends the game the same way.
void Shrink(Explorer& x, ExploreEnding& e) {
    long budget = ShrinkBudget;
    if (!Replays(x, e.inputs, e, budget)) return;  // it does not play again the same way
    for (size_t chunk = std::max<size_t>(TurnStarts(e.inputs).size() / 2, 1);; chunk /= 2) {
        for (size_t t = 0; budget > 0;) {
            const std::vector<size_t> starts = TurnStarts(e.inputs);
            if (t >= starts.size()) break;
            const size_t to = t + chunk < starts.size() ? starts[t + chunk] : e.inputs.size();
            std::vector<ExploreInput> fewer(e.inputs.begin(),
                                            e.inputs.begin() + static_cast<long>(starts[t]));
            fewer.insert(fewer.end(), e.inputs.begin() + static_cast<long>(to), e.inputs.end());
            if (Replays(x, fewer, e, budget))
                e.inputs = std::move(fewer);
            else
                t += chunk;
        }
        if (chunk == 1 || budget <= 0) break;
    }
    e.commands = static_cast<int>(TurnStarts(e.inputs).size());
}

// The play as a key script: a line and Enter for each command, a letter for a yes or no, a digit
// or Escape for a choice, Enter for a key; then no to the play-again question.
std::string KeysOf(const std::vector<ExploreInput>& inputs, const GameDatabase& db) {
    std::string keys;
    for (const ExploreInput& in : inputs) {
        switch (in.kind) {
        case InputKind::Line:
            for (const char c : in.line) keys.append(c == '{' ? 2 : 1, c);  // "{{" types a brace
            keys += '\n';
            break;
        case InputKind::YesNo:
            keys += base::FoldCase(in.value != 0 ? db.YesLetter : db.NoLetter);
            break;
        case InputKind::Choice:
            keys += in.value == 0 ? std::string("{esc}")
                                  : std::string(1, static_cast<char>('0' + in.value));
            break;
        case InputKind::Key: keys += "{enter}"; break;
        }
    }
    return keys + base::FoldCase(db.NoLetter);
}

}  // namespace

void ExploreGame(GameDatabase& db, const std::string& scratch, const ExploreOptions& options,
                 ExploreReport& report) {
    auto x = std::make_unique<Explorer>();
    x->db = &db;
    x->options = options;
    x->report = &report;
    x->draws.state = options.seed;
    x->limit = std::chrono::milliseconds(options.turnLimitMs);
    ReadVocabulary(db, x->words);
    report = ExploreReport{};
    SizeReport(db, report);
    FindQuitLines(db.Events, db.EventCount, true, x->quitLines);
    FindQuitLines(db.Actions, db.ActionCount, false, x->quitLines);
    Game& g = x->g;
    g.Db = &db;
    g.Front = {&ExplorerFrontEnd, x.get()};
    x->scratch = scratch;
    g.GameName = scratch + "/explore";  // its saved games go to the scratch folder
    g.Coverage = &report.coverage;
    g.Undo.enabled = false;
    const auto start = Clock::now();
    if (OpenGameScreen(g) != OpenResult::Ready) return;
    while (report.commands < options.steps && !report.gaveUp) {
        ++report.games;
        PlayOneGame(*x, report.games);
    }
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (ExploreEnding& e : report.endings) {
        Shrink(*x, e);
        e.keys = KeysOf(e.inputs, db);
    }
    FrontClose(g);
}

}  // namespace umb::app
