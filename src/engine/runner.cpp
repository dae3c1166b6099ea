// runner.cpp - the game loop, the new-game reset and the two script runners.
#include "engine/autosave.h"
#include "engine/describe.h"
#include "engine/play.h"
#include "engine/savegame.h"
#include "engine/show.h"
#include "engine/textlog.h"
#include "engine/undo.h"

#include <algorithm>
#include <optional>

using namespace umb::db;

namespace umb::engine {

namespace {

constexpr int MaxDepth = 15;  // block levels the runners follow

// The state of one walk of a script table.
struct Walk {
    int cond = 1;
    int depth = 0;
    int skip[MaxDepth + 1] = {};
    int loopStart[MaxDepth + 1];
    char opener[MaxDepth + 1] = {};
    bool running = true;
    ScriptMode mode = ScriptMode::Normal;
    bool executed = false;
    bool partial = false;

    Walk() { std::fill(std::begin(loopStart), std::end(loopStart), -1); }
};

bool IsConditionKind(char kind) {
    return kind == KindIf || kind == KindAnd || kind == KindOr || kind == KindWhile;
}

bool IsOpenerKind(char kind) {
    return kind == KindBegin || kind == KindFBegin || kind == KindSBegin;
}

// An if or while line sets the flag from its test, an and line can only clear it, an or line
// can only set it.
void ConditionLine(Walk& w, const ScriptLine& line, int index, int f) {
    if (f > 0 && line.kind != KindAnd) w.cond = 1;
    if (f <= 0 && line.kind != KindOr) w.cond = 0;
    if (line.kind == KindWhile) w.loopStart[w.depth] = index;
    if (line.kind == KindIf) w.loopStart[w.depth] = -1;
    if (f == -1) w.partial = true;
}

void OpenBlock(Walk& w, char kind) {
    if (w.depth >= MaxDepth) return;  // too deep: its closer closes the enclosing level
    ++w.depth;
    w.skip[w.depth] = (w.cond == 0 || w.skip[w.depth - 1] != 0) ? 1 : 0;
    w.opener[w.depth] = kind;
}

// Closes the innermost block; returns the line to go on at.
int CloseBlock(Walk& w, int next, bool actions) {
    if (w.depth == 0) return next;
    if (actions) {
        // A level-1 block that was entered ends the command when it is an fbegin block, or when
        // an action line has run.
        if (w.depth == 1 && w.mode == ScriptMode::Normal && w.skip[1] == 0 &&
            (w.opener[1] == KindFBegin || w.executed))
            w.running = false;
        w.mode = ScriptMode::Normal;
    }
    --w.depth;
    w.cond = 1;
    if (w.skip[w.depth + 1] == 0 && w.loopStart[w.depth] >= 0) {
        if (actions) w.running = true;
        return w.loopStart[w.depth];
    }
    return next;
}

// Whether the game is to end at once: the player stopped the turn, or a key wait met the end of
// a key script played in process (which then ends the game as a stop does, asking nothing).
bool GameHalted(Game& g) {
    if (FrontInputEnded(g)) g.Stopped = true;
    return g.Stopped;
}

// What both runners do first with an action line. A line whose condition failed, or that lies
// in a skipped block, does not run and sets the flag again: a condition governs only the next
// action line or block. A line that runs sets executed (which only the Actions runner reads); a
// quit or halt in it ends the walk. Returns the result of a line that ran and left the walk
// going, else nothing.
std::optional<ActResult> RunActionLine(Game& g, Walk& w, const ScriptLine& line) {
    if (w.cond == 0 || w.skip[w.depth] != 0) {
        w.cond = 1;
        return std::nullopt;
    }
    w.executed = true;
    const ActResult r = ExecActionLine(g, line);
    if (r == ActResult::Quit || GameHalted(g)) {
        w.cond = -1;
        w.running = false;
        return std::nullopt;
    }
    if (r == ActResult::Halt) {
        w.running = false;
        return std::nullopt;
    }
    return r;
}

// Runs an action line of the events; returns the line to go on at.
int EventAction(Game& g, Walk& w, const ScriptLine& line, int next) {
    const std::optional<ActResult> ran = RunActionLine(g, w, line);
    if (!ran) return next;
    if (*ran == ActResult::Break && w.depth > 0) {
        w.skip[w.depth] = 1;
    } else {
        if (w.loopStart[w.depth] >= 0) next = w.loopStart[w.depth];
        w.cond = 1;
    }
    return next;
}

// Runs an action line of the actions; returns the line to go on at.
int CommandAction(Game& g, Walk& w, const ScriptLine& line, int next) {
    const std::optional<ActResult> ran = RunActionLine(g, w, line);
    if (!ran) return next;
    const ActResult r = *ran;
    if (r == ActResult::Normal && (w.depth == 0 || w.opener[w.depth] == KindSBegin))
        w.running = false;
    if (r == ActResult::Continue) {
        w.mode = ScriptMode::Continued;
        w.running = true;
    }
    if (r == ActResult::Break && w.depth > 0) w.skip[w.depth] = 1;
    if (w.loopStart[w.depth] >= 0) {
        next = w.loopStart[w.depth];
        w.running = true;
    }
    w.cond = 1;
    return next;
}

// Asks the front end whether the player wants the turn stopped (a loop that never ends would
// otherwise keep the game, and the browser's page, frozen); the walk asks every StopCheckLines
// lines. A stop ends the walk as a quit does, and the game loop after it.
bool StopRequested(Game& g, Walk& w) {
    if (!FrontBusy(g)) return false;
    g.Stopped = true;
    w.cond = -1;
    w.running = false;
    return true;
}

// Walks a script table; actions selects the rules of the Actions runner. reached and ran, when
// given, count each line the walk arrives at and each action line that runs (no less long than
// the table: PlayGames sizes them).
void WalkTable(Game& g, Walk& w, const std::vector<ScriptLine>& table, int16_t count, bool actions,
               const int words[4], uint32_t* reached, uint32_t* ran) {
    const int lines = std::min(static_cast<int>(count), static_cast<int>(table.size()));
    // Counted here rather than in g, so that the count stays in a register: it costs nothing.
    uint32_t toStopCheck = g.LinesToStopCheck;
    for (int i = 0; i < lines && w.running;) {
        if (--toStopCheck == 0) {
            toStopCheck = StopCheckLines;
            if (StopRequested(g, w)) break;
        }
        const ScriptLine& line = table[static_cast<size_t>(i)];
        int next = i + 1;
        // A line in a skipped block is passed over, not reached. RunActionLine makes the same
        // test before the line can change the flag.
        if (reached != nullptr && w.skip[w.depth] == 0) {
            ++reached[i];
            if (line.kind == KindAction && w.cond != 0) ++ran[i];
        }
        if (IsConditionKind(line.kind)) {
            if (w.skip[w.depth] == 0) {
                // The walk's flag keeps the three outcomes as the numbers -1, 0 and 1.
                const int f = static_cast<int>(
                    EvalCondition(g, line, words[0], words[1], words[2], words[3], w.mode));
                ConditionLine(w, line, i, f);
            }
        } else if (IsOpenerKind(line.kind)) {
            OpenBlock(w, line.kind);
        } else if (line.kind == KindEnd) {
            next = CloseBlock(w, next, actions);
        } else if (line.kind == KindAction) {
            next = actions ? CommandAction(g, w, line, next) : EventAction(g, w, line, next);
        }
        i = next;
    }
    g.LinesToStopCheck = toStopCheck;
}

}  // namespace

EventsResult RunEvents(Game& g, ScriptMode mode) {
    Walk w;
    w.mode = mode > ScriptMode::Begin ? ScriptMode::Begin : mode;  // the events know no continue
    const int words[4] = {0, 0, 0, 0};
    ScriptCoverage* c = g.Coverage;
    WalkTable(g, w, g.Db->Events, g.Db->EventCount, false, words,
              c != nullptr ? c->eventsReached.data() : nullptr,
              c != nullptr ? c->eventsRan.data() : nullptr);
    return w.cond < 0    ? EventsResult::Quit
           : w.cond == 0 ? EventsResult::FlagClear
                         : EventsResult::FlagSet;
}

TurnResult RunActions(Game& g, int verb, int noun, int noun2, int noun3) {
    if (verb == 0 && noun == 0) {
        PrintSysmsg(g, SysmsgNotUnderstood);
        return TurnResult::Scripts;
    }
    Walk w;
    const int words[4] = {verb, noun, noun2, noun3};
    ScriptCoverage* c = g.Coverage;
    WalkTable(g, w, g.Db->Actions, g.Db->ActionCount, true, words,
              c != nullptr ? c->actionsReached.data() : nullptr,
              c != nullptr ? c->actionsRan.data() : nullptr);
    if (g.Stopped) return TurnResult::Quit;
    TurnResult result = TurnResult::Scripts;
    if (w.running)
        result = BuiltinCommand(g, verb, noun);
    else
        result = w.cond == -1 ? TurnResult::Quit : TurnResult::Scripts;
    if (result == TurnResult::Scripts && !w.executed)
        PrintSysmsg(g, w.partial ? SysmsgNotQuite : SysmsgNotUnderstood);
    return result;
}

void NewGame(Game& g) {
    GameDatabase& db = *g.Db;
    ClearUndo(g);
    g.ShownLocation = -1;
    g.CurrentLocation = db.StartLocation;
    ForgetPlaces(g);
    const int objects =
        std::min(static_cast<int>(db.LastObject) + 1, static_cast<int>(db.Objects.size()));
    for (int i = 0; i < objects; ++i) {
        ObjectRecord& o = db.Objects[static_cast<size_t>(i)];
        if (o.name == NoText) {
            o.location = Unset;
            continue;
        }
        o.location = o.initialLocation;
    }
    const int vars = std::min(static_cast<int>(db.VarCount), static_cast<int>(db.Vars.size()));
    for (int i = 0; i < vars; ++i) db.Vars[static_cast<size_t>(i)].value = 0;
    const int locations =
        std::min(static_cast<int>(db.LastLocation) + 1, static_cast<int>(db.Locations.size()));
    for (int i = 0; i < locations; ++i) {
        LocationRecord& l = db.Locations[static_cast<size_t>(i)];
        std::fill(std::begin(l.exitOverrides), std::end(l.exitOverrides), Unset);
        l.light = Unset;
    }
    g.CarriedCount = CountCarried(g);
    RunEvents(g, ScriptMode::Begin);  // the introduction; a quit here does not end the game
    if (GameHalted(g)) return;
    MarkAutosaved(g);
    // A game left unfinished goes on instead of the game's own restore question.
    if (OfferAutosave(g) || GameHalted(g)) return;
    if (AskGameYesNo(g, SysmsgText(g, SysmsgRestoreAtStart))) RestoreGame(g);
}

// Reads and runs one command line; returns what the turn came to, Quit when the game ends.
static TurnResult PlayCommand(Game& g, char* line) {
    const LineResult read = ReadGameLine(g, line, InputLineLength);
    if (GameHalted(g) || read == LineResult::Ended) return TurnResult::Quit;
    if (read == LineResult::Quit)
        return ConfirmQuit(g) || GameHalted(g) ? TurnResult::Quit : TurnResult::NoTime;
    if (read == LineResult::Undo || IsUndoRequest(g, line)) {
        TakeBackCommand(g);  // takes no time: no events
        return TurnResult::NoTime;
    }
    if ((g.DebugMode && DebugCommand(g, line)) || line[0] == '\0') return TurnResult::NoTime;
    int verb = 0, noun = 0, noun2 = 0, noun3 = 0;
    ParseInput(g, line, &verb, &noun, &noun2, &noun3);
    BeginUndoStep(g);
    return RunActions(g, verb, noun, noun2, noun3);
}

// Plays turns until the game ends.
static void PlayOneGame(Game& g) {
    FrontNewGame(g);
    NewGame(g);
    if (GameHalted(g)) return;
    TurnResult result = TurnResult::NoTime;
    char line[InputLineLength + 1];
    for (;;) {
        if (GameHalted(g)) return;  // a built-in command's question met the end of the keys
        if (result != TurnResult::NoTime && RunEvents(g, ScriptMode::Normal) == EventsResult::Quit)
            return;
        KeepAutosave(g);  // the turn, its events, an undo or a restore: whatever changed
        DescribeLocation(g, g.CurrentLocation, g.DescribeAgain);
        g.DescribeAgain = false;
        result = PlayCommand(g, line);
        if (result == TurnResult::Quit) return;
    }
}

PlayResult PlayGames(GameDatabase& db, const std::string& gameName, bool debugMode,
                     ScriptCoverage* coverage, const PlayView& view) {
    Game g;
    g.Db = &db;
    g.Front = view.Front;
    g.GameName = gameName;
    g.DebugMode = debugMode;
    TextLog transcript;
    if (!view.TranscriptPath.empty()) {
        if (!OpenTextLog(transcript, view.TranscriptPath.c_str())) {
            const std::string text = "Cannot write file " + view.TranscriptPath + "!";
            FrontAlert(g, "Error", text.c_str());
            return PlayResult::NotOpened;
        }
        g.Transcript = &transcript;
    }
    if (coverage != nullptr) {
        coverage->eventsReached.resize(db.Events.size());
        coverage->eventsRan.resize(db.Events.size());
        coverage->actionsReached.resize(db.Actions.size());
        coverage->actionsRan.resize(db.Actions.size());
        g.Coverage = coverage;
    }
    if (OpenGameScreen(g, view.Fallback) != OpenResult::Ready) {
        CloseTextLog(transcript);
        return PlayResult::NotOpened;
    }
    if (view.Autosave) StartAutosave(g, gameName, view.LoadedFrom);
    do {
        PlayOneGame(g);
        // A game that ended is not resumed; one the input or a stop left is.
        if (!GameHalted(g)) RemoveAutosave(g);
    } while (!GameHalted(g) && AskGameYesNo(g, SysmsgText(g, SysmsgPlayAgain)));
    FrontClose(g);
    // The input that ran out ends the game as the player's own end would.
    if (g.Stopped && !FrontInputEnded(g)) return PlayResult::Stopped;
    return transcript.failed ? PlayResult::TranscriptLost : PlayResult::Ended;
}

}  // namespace umb::engine
