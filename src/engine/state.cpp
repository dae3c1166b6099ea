// state.cpp - checked access to the run-time fields: numbers that name nothing see blank records.
#include "engine/state.h"
#include "engine/undo.h"

#include <algorithm>

using namespace umb::db;

namespace umb::engine {

namespace {

constexpr size_t PlaceCount = 65536;

size_t PlaceSlot(int16_t place) { return static_cast<size_t>(place + 32768); }

int LiveLocations(const GameDatabase& db) {
    return std::min(static_cast<int>(db.LastLocation) + 1, static_cast<int>(db.Locations.size()));
}

int LiveObjects(const GameDatabase& db) {
    return std::min(static_cast<int>(db.LastObject) + 1, static_cast<int>(db.Objects.size()));
}

int16_t ExitOf(const LocationRecord& r, int d) {
    return r.exitOverrides[d] == Unset ? r.exits[d] : r.exitOverrides[d];
}

void ClearIndex(PlaceIndex& x) {
    if (x.byPlace.empty()) x.byPlace.resize(PlaceCount);
    for (std::vector<int32_t>& list : x.byPlace) list.clear();
    x.additions = 0;
    x.valid = true;
}

// Stale entries are bounded: past this many additions the index is rebuilt.
bool Overgrown(const PlaceIndex& x, int entries) {
    return x.additions > 2 * static_cast<size_t>(entries) + 4096;
}

void AddPlace(PlaceIndex& x, int16_t place, int32_t entry) {
    if (!x.valid) return;
    x.byPlace[PlaceSlot(place)].push_back(entry);
    ++x.additions;
}

void IndexExits(Game& g) {
    const int count = LiveLocations(*g.Db);
    if (g.ExitsTo.valid && !Overgrown(g.ExitsTo, count * DirectionCount)) return;
    ClearIndex(g.ExitsTo);
    for (int l = 0; l < count; ++l)
        for (int d = 0; d < DirectionCount; ++d)
            g.ExitsTo.byPlace[PlaceSlot(ExitOf(g.Db->Locations[static_cast<size_t>(l)], d))]
                .push_back(l * 16 + d);
}

void IndexObjects(Game& g) {
    const int count = LiveObjects(*g.Db);
    if (g.ObjectsAt.valid && !Overgrown(g.ObjectsAt, count)) return;
    ClearIndex(g.ObjectsAt);
    for (int i = 0; i < count; ++i)
        g.ObjectsAt.byPlace[PlaceSlot(ObjectLocation(g, i))].push_back(i);
}

// Takes the list of a place out of its index, leaving an empty list that keeps growing.
std::vector<int32_t> TakePlace(PlaceIndex& x, int16_t place) {
    std::vector<int32_t> list;
    list.swap(x.byPlace[PlaceSlot(place)]);
    return list;
}

// Keeps the value before a change for undo; an unchanged value is no change.
void Note(Game& g, UndoField field, int32_t index, int16_t old, int16_t now) {
    if (old != now && g.Undo.open) NoteUndoChange(g, field, index, old);
}

template <typename T> bool InTable(const std::vector<T>& table, int index) {
    return index >= 0 && static_cast<size_t>(index) < table.size();
}

}  // namespace

const LocationRecord& LocationAt(const Game& g, int location) {
    static const LocationRecord blank = BlankLocation();
    if (!InTable(g.Db->Locations, location) || location > g.Db->LastLocation) return blank;
    return g.Db->Locations[static_cast<size_t>(location)];
}

const ObjectRecord& ObjectAt(const Game& g, int object) {
    static const ObjectRecord blank = BlankObject();
    if (!InTable(g.Db->Objects, object) || object > g.Db->LastObject) return blank;
    return g.Db->Objects[static_cast<size_t>(object)];
}

int16_t ObjectLocation(const Game& g, int object) {
    const ObjectRecord& o = ObjectAt(g, object);
    return o.location == Unset ? o.initialLocation : o.location;
}

namespace {

// Only named objects count: a number without a name is no object the player can see, drop or
// list, so it must not fill the player's hands either. The place is the effective one: a
// location of "not set" puts the object back where it started.
bool CountsAsCarried(const Game& g, int object) {
    return TextOf(*g.Db, ObjectAt(g, object).name) != nullptr &&
           IsCarriedOrWorn(ObjectLocation(g, object));
}

}  // namespace

int16_t CountCarried(const Game& g) {
    int16_t carried = 0;
    for (int i = 0; i < LiveObjects(*g.Db); ++i) carried += CountsAsCarried(g, i);
    return carried;
}

void MoveObject(Game& g, int object, int16_t location) {
    if (!InTable(g.Db->Objects, object) || object > g.Db->LastObject) return;
    if (CountsAsCarried(g, object)) --g.CarriedCount;
    int16_t& place = g.Db->Objects[static_cast<size_t>(object)].location;
    Note(g, UndoField::ObjectPlace, object, place, location);
    place = location;
    if (CountsAsCarried(g, object)) ++g.CarriedCount;
    AddPlace(g.ObjectsAt, ObjectLocation(g, object), object);
}

int16_t EffectiveExit(const Game& g, int location, int direction) {
    if (direction < 1 || direction > DirectionCount) return 0;
    return ExitOf(LocationAt(g, location), direction - 1);
}

void SetExitOverride(Game& g, int location, int direction, int16_t destination) {
    if (direction < 1 || direction > DirectionCount) return;
    if (!InTable(g.Db->Locations, location) || location > g.Db->LastLocation) return;
    int16_t& exit = g.Db->Locations[static_cast<size_t>(location)].exitOverrides[direction - 1];
    Note(g, UndoField::ExitOverride, location * 16 + direction - 1, exit, destination);
    exit = destination;
    AddPlace(g.ExitsTo, EffectiveExit(g, location, direction), location * 16 + direction - 1);
}

void SubstExits(Game& g, int16_t from, int16_t to) {
    IndexExits(g);
    const std::vector<int32_t> list = TakePlace(g.ExitsTo, from);
    for (const int32_t entry : list) {
        LocationRecord& r = g.Db->Locations[static_cast<size_t>(entry / 16)];
        const int d = entry % 16;
        if (ExitOf(r, d) != from) continue;  // stale: this exit has moved on
        Note(g, UndoField::ExitOverride, entry, r.exitOverrides[d], to);
        r.exitOverrides[d] = to;
        AddPlace(g.ExitsTo, ExitOf(r, d), entry);
    }
}

void MoveAllObjects(Game& g, int16_t from, int16_t to) {
    IndexObjects(g);
    const std::vector<int32_t> list = TakePlace(g.ObjectsAt, from);
    for (const int32_t object : list)
        if (ObjectLocation(g, object) == from) MoveObject(g, object, to);
}

void ForgetPlaces(Game& g) {
    g.ExitsTo.valid = false;
    g.ObjectsAt.valid = false;
}

void SetLight(Game& g, int location, int16_t light) {
    if (!InTable(g.Db->Locations, location) || location > g.Db->LastLocation) return;
    int16_t& now = g.Db->Locations[static_cast<size_t>(location)].light;
    Note(g, UndoField::Light, location, now, light);
    now = light;
}

int16_t VarValue(const Game& g, int var) {
    if (!InTable(g.Db->Vars, var) || var >= g.Db->VarCount) return 0;
    return g.Db->Vars[static_cast<size_t>(var)].value;
}

void SetVar(Game& g, int var, int16_t value) {
    if (!InTable(g.Db->Vars, var) || var >= g.Db->VarCount) return;
    int16_t& now = g.Db->Vars[static_cast<size_t>(var)].value;
    Note(g, UndoField::Var, var, now, value);
    now = value;
}

const char* MessageText(const Game& g, int n) {
    if (!InTable(g.Db->Messages, n) || n > g.Db->LastMessage) return nullptr;
    return TextOf(*g.Db, g.Db->Messages[static_cast<size_t>(n)]);
}

const char* SysmsgText(const Game& g, int n) {
    if (n < 0 || n >= SysmsgCount) return nullptr;
    return TextOf(*g.Db, g.Db->Sysmsg[n]);
}

const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace umb::engine
