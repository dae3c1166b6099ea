// world.h - the game's world as its tables and scripts lay it out, seen without playing.
#pragma once

#include "db/database.h"

#include <cstdint>
#include <vector>

namespace umb::app {

// An exit a script makes: "exit" sets direction of location to to; "subst" makes every exit
// that leads to location lead to to (direction 0). Without "at" (or "subst 0") the location is
// the player's: the place the line's conditions, or those of its blocks, require, or the place
// an earlier "go" of the line sent the player; -1 when the script does not say.
struct ScriptExit {
    int location;
    int direction;
    int to;
    bool subst;
};

struct WorldFacts {
    // By location number, 0 to LastLocation: reachable from the start location through exits,
    // exits scripts make and the places scripts send the player.
    std::vector<uint8_t> reachable;
    std::vector<ScriptExit> scriptExits;
    std::vector<int> scriptDestinations;  // the places "go" sends the player
};

// Puts the facts about db's world in out. Numbers outside the location table are kept in
// scriptExits and scriptDestinations as written, and reach nothing.
void AnalyseWorld(const db::GameDatabase& db, WorldFacts& out);

}  // namespace umb::app
