// world.cpp - reachability and the exits scripts make, from the tables and the compiled scripts.
#include "app/world.h"

#include "db/codes.h"

#include <deque>

using namespace umb::db;

namespace umb::app {

namespace {

bool IsLocation(const GameDatabase& db, int n) { return n >= 1 && n <= db.LastLocation; }

// The place a condition line requires the player to be at, or -1 when it does not say.
int RequiredPlace(const ScriptLine& line) {
    for (int i = 0; i < ScriptSlots; ++i)
        if (line.ops[i] == CodeByte(ConditionCode::At)) return line.operandA[i];
    return -1;
}

// Collects what the action lines of one script do to the map. A statement works on the player's
// location unless an "at" just before it names another; where the player is comes from the
// line's conditions or those of the blocks around it, and from a "go" earlier in the line.
void ScanScript(const std::vector<ScriptLine>& script, WorldFacts& out) {
    std::vector<int> blockPlace = {-1};  // by block depth
    int conditionPlace = -1;  // set by the condition lines before the next action line or block
    for (const ScriptLine& line : script) {
        switch (line.kind) {
        case KindIf:
        case KindWhile: conditionPlace = RequiredPlace(line); continue;
        case KindAnd:
            if (RequiredPlace(line) != -1) conditionPlace = RequiredPlace(line);
            continue;
        case KindOr: conditionPlace = -1; continue;  // true elsewhere too
        case KindBegin:
        case KindFBegin:
        case KindSBegin:
            blockPlace.push_back(conditionPlace != -1 ? conditionPlace : blockPlace.back());
            conditionPlace = -1;
            continue;
        case KindEnd:
            if (blockPlace.size() > 1) blockPlace.pop_back();
            conditionPlace = -1;
            continue;
        default: break;
        }
        if (line.kind != KindAction) continue;
        int player = conditionPlace != -1 ? conditionPlace : blockPlace.back();
        conditionPlace = -1;
        int target = player;
        for (int i = 0; i < ScriptSlots; ++i) {
            const int a = line.operandA[i];
            const int b = line.operandB[i];
            switch (static_cast<ActionCode>(line.ops[i])) {
            case ActionCode::At: target = a; continue;
            case ActionCode::Go:
                out.scriptDestinations.push_back(a);
                player = a;
                break;
            case ActionCode::Exit: out.scriptExits.push_back({target, a, b, false}); break;
            case ActionCode::Subst:
                out.scriptExits.push_back({a != 0 ? a : player, 0, b, true});
                break;
            default: break;
            }
            target = player;
        }
    }
}

}  // namespace

void AnalyseWorld(const GameDatabase& db, WorldFacts& out) {
    out = WorldFacts{};
    const size_t count = db.LastLocation >= 0 ? static_cast<size_t>(db.LastLocation) + 1 : 0;
    out.reachable.assign(count, 0);
    ScanScript(db.Events, out);
    ScanScript(db.Actions, out);

    // Where scripts can put the player or lead an exit counts as reached, whatever line runs it.
    std::deque<int> pending;
    auto reach = [&](int n) {
        if (!IsLocation(db, n) || out.reachable[static_cast<size_t>(n)] != 0) return;
        out.reachable[static_cast<size_t>(n)] = 1;
        pending.push_back(n);
    };
    reach(db.StartLocation);
    for (const int n : out.scriptDestinations) reach(n);
    for (const ScriptExit& e : out.scriptExits) reach(e.to);
    while (!pending.empty()) {
        const int n = pending.front();
        pending.pop_front();
        for (const int16_t to : db.Locations[static_cast<size_t>(n)].exits) reach(to);
    }
}

}  // namespace umb::app
