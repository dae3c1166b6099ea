// world.cpp - reachability and the exits scripts make, from the tables and the compiled scripts.
#include "app/world.h"

#include "db/codes.h"

#include <deque>

using namespace umb::db;

namespace umb::app {

namespace {

bool IsLocation(const GameDatabase& db, int n) { return n >= 1 && n <= db.LastLocation; }

// Collects what the action lines of one script do to the map. An "at" statement names the
// location the following statements of its line work on.
void ScanScript(const std::vector<ScriptLine>& script, WorldFacts& out) {
    for (const ScriptLine& line : script) {
        if (line.kind != KindAction) continue;
        int target = -1;
        for (int i = 0; i < ScriptSlots; ++i) {
            const int a = line.operandA[i];
            const int b = line.operandB[i];
            switch (static_cast<ActionCode>(line.ops[i])) {
            case ActionCode::At: target = a; break;
            case ActionCode::Go: out.scriptDestinations.push_back(a); break;
            case ActionCode::Exit: out.scriptExits.push_back({target, a, b, false}); break;
            case ActionCode::Subst: out.scriptExits.push_back({a, 0, b, true}); break;
            default: break;
            }
        }
    }
}

}  // namespace

int AnalyseWorld(const GameDatabase& db, WorldFacts& out) {
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
    return 0;
}

}  // namespace umb::app
