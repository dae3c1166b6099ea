// builtin.cpp - the commands every adventure gets for free, tied to fixed verb numbers.
#include "engine/engine.h"

using namespace umb::db;

namespace umb::engine {

namespace {

// Built-in verb numbers; 1 to 10 are the directions.
constexpr int VerbInventory = 11;
constexpr int VerbLook = 12;
constexpr int VerbExamine = 13;
constexpr int VerbGet = 14;
constexpr int VerbDrop = 15;
constexpr int VerbWear = 16;
constexpr int VerbRemove = 17;
constexpr int VerbSysmsg9 = 18;
constexpr int VerbSave = 21;
constexpr int VerbRestore = 22;
constexpr int VerbQuit = 23;

// Whether an object lies where the command acts on it.
bool InPlaceFor(const Game& g, int verb, int16_t where) {
    switch (verb) {
    case VerbExamine: return where == g.CurrentLocation || IsCarriedOrWorn(where);
    case VerbGet: return where == g.CurrentLocation;
    case VerbDrop: return IsCarriedOrWorn(where);
    case VerbWear: return where == Carried;
    case VerbRemove: return where == Worn;
    default: return false;
    }
}

// Carries out an object command on an object that is in its place.
void ActOn(Game& g, int verb, int object) {
    const int16_t attributes = ObjectAt(g, object).attributes;
    const bool takeable = (attributes & AttrTakeable) != 0;
    const bool wearable = (attributes & AttrWearable) != 0;
    switch (verb) {
    case VerbExamine: ExamineObject(g, object); return;
    case VerbGet:
        if (!takeable) {
            PrintSysmsg(g, SysmsgCannotDo);
        } else if (g.CarriedCount >= g.Db->MaxItems) {
            PrintSysmsg(g, SysmsgCarryingTooMuch);
        } else {
            MoveObject(g, object, Carried);
            PrintSysmsg(g, SysmsgDone);
        }
        return;
    case VerbDrop:
        if (!takeable) {
            PrintSysmsg(g, SysmsgCannotDo);
        } else {
            MoveObject(g, object, g.CurrentLocation);
            PrintSysmsg(g, SysmsgDone);
        }
        return;
    default:  // wear and remove
        if (!wearable) {
            PrintSysmsg(g, SysmsgCannotDo);
        } else {
            MoveObject(g, object, verb == VerbWear ? Worn : Carried);
            PrintSysmsg(g, SysmsgDone);
        }
        return;
    }
}

// Examine, get, drop, wear and remove: acts on the first object with the noun that is in its
// place. Returns 0 when no object has the noun.
int ObjectCommand(Game& g, int verb, int noun) {
    bool nounKnown = false;
    for (int i = 0; i <= g.Db->LastObject; ++i) {
        if (ObjectAt(g, i).noun != noun) continue;
        nounKnown = true;
        if (InPlaceFor(g, verb, ObjectLocation(g, i))) {
            ActOn(g, verb, i);
            return TurnBuiltin;
        }
    }
    if (!nounKnown) return TurnScripts;
    PrintSysmsg(g, verb == VerbWear || verb == VerbRemove ? SysmsgCannotDo : SysmsgNotAtHand);
    return TurnBuiltin;
}

}  // namespace

// Runs the built-in command for a verb and noun; returns a turn result code, 0 when the pair is
// not a built-in command.
int BuiltinCommand(Game& g, int verb, int noun) {
    if (verb >= VerbExamine && verb <= VerbRemove)
        return noun != 0 ? ObjectCommand(g, verb, noun) : TurnScripts;
    if (noun != 0) return TurnScripts;
    if (verb >= 1 && verb <= DirectionCount) {
        const int16_t exit = EffectiveExit(g, g.CurrentLocation, verb);
        if (exit != 0) {
            g.CurrentLocation = exit;
            PrintSysmsg(g, SysmsgDone);
        } else {
            PrintSysmsg(g, SysmsgNoExit);
        }
        return TurnBuiltin;
    }
    switch (verb) {
    case VerbInventory: ShowInventory(g); return TurnBuiltin;
    case VerbLook: DescribeLocation(g, g.CurrentLocation, true); return TurnBuiltin;
    case VerbSysmsg9: PrintSysmsg(g, SysmsgVerb18); return TurnBuiltin;
    case VerbSave: SaveGame(g); return TurnNoTime;
    case VerbRestore:
        RestoreGame(g);
        DescribeLocation(g, g.CurrentLocation);
        return TurnNoTime;
    case VerbQuit: return ConfirmQuit(g) != 0 ? TurnQuit : TurnNoTime;
    default: return TurnScripts;
    }
}

// Asks whether to quit and, if so, whether to save first; returns 1 to quit, 0 to stay. A save
// the player asked for that was not made (it failed, or no slot was chosen) keeps the game going,
// so that quitting never loses it.
int ConfirmQuit(Game& g) {
    if (AskGameYesNo(g, SysmsgText(g, SysmsgReallyQuit)) == 0) return 0;
    if (AskGameYesNo(g, SysmsgText(g, SysmsgSaveFirst)) != 0 && SaveGame(g) != 0) return 0;
    return 1;
}

}  // namespace umb::engine
