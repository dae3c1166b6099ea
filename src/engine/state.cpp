// state.cpp - checked access to the run-time fields: numbers that name nothing see blank records.
#include "engine/engine.h"

namespace {

bool IsCarriedOrWorn(int16_t location) { return location == Carried || location == Worn; }

template <typename T> bool InTable(const std::vector<T>& table, int index) {
    return index >= 0 && static_cast<size_t>(index) < table.size();
}

} // namespace

const LocationRecord& LocationAt(const Game& g, int location) {
    static const LocationRecord blank = BlankLocation();
    if (!InTable(g.db->Locations, location) || location > g.db->LastLocation) return blank;
    return g.db->Locations[static_cast<size_t>(location)];
}

const ObjectRecord& ObjectAt(const Game& g, int object) {
    static const ObjectRecord blank = BlankObject();
    if (!InTable(g.db->Objects, object) || object > g.db->LastObject) return blank;
    return g.db->Objects[static_cast<size_t>(object)];
}

int16_t ObjectLocation(const Game& g, int object) {
    const ObjectRecord& o = ObjectAt(g, object);
    return o.location == Unset ? o.initialLocation : o.location;
}

// Only named objects count, as a new game and a restore count them: a number without a name is
// no object the player can see, drop or list, so it must not fill the player's hands either.
void MoveObject(Game& g, int object, int16_t location) {
    if (!InTable(g.db->Objects, object) || object > g.db->LastObject) return;
    ObjectRecord& o = g.db->Objects[static_cast<size_t>(object)];
    const bool named = TextOf(*g.db, o.name) != nullptr;
    if (named && IsCarriedOrWorn(ObjectLocation(g, object))) --g.CarriedCount;
    o.location = location;
    if (named && IsCarriedOrWorn(location)) ++g.CarriedCount;
}

int16_t EffectiveExit(const Game& g, int location, int direction) {
    if (direction < 1 || direction > DirectionCount) return 0;
    const LocationRecord& l = LocationAt(g, location);
    const int16_t over = l.exitOverrides[direction - 1];
    return over == Unset ? l.exits[direction - 1] : over;
}

void SetExitOverride(Game& g, int location, int direction, int16_t destination) {
    if (direction < 1 || direction > DirectionCount) return;
    if (!InTable(g.db->Locations, location) || location > g.db->LastLocation) return;
    g.db->Locations[static_cast<size_t>(location)].exitOverrides[direction - 1] = destination;
}

void SetLight(Game& g, int location, int16_t light) {
    if (!InTable(g.db->Locations, location) || location > g.db->LastLocation) return;
    g.db->Locations[static_cast<size_t>(location)].light = light;
}

int16_t VarValue(const Game& g, int var) {
    if (!InTable(g.db->Vars, var) || var >= g.db->VarCount) return 0;
    return g.db->Vars[static_cast<size_t>(var)].value;
}

void SetVar(Game& g, int var, int16_t value) {
    if (!InTable(g.db->Vars, var) || var >= g.db->VarCount) return;
    g.db->Vars[static_cast<size_t>(var)].value = value;
}

const char* MessageText(const Game& g, int n) {
    if (!InTable(g.db->Messages, n) || n > g.db->LastMessage) return nullptr;
    return TextOf(*g.db, g.db->Messages[static_cast<size_t>(n)]);
}

const char* SysmsgText(const Game& g, int n) {
    if (n < 0 || n >= SysmsgCount) return nullptr;
    return TextOf(*g.db, g.db->Sysmsg[n]);
}

const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }
