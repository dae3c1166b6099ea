// builtin.cpp - the commands every adventure gets for free, tied to fixed verb numbers.
#include "engine/describe.h"
#include "engine/play.h"
#include "engine/savegame.h"
#include "engine/show.h"

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
// place. Returns Scripts when no object has the noun.
TurnResult ObjectCommand(Game& g, int verb, int noun) {
    bool nounKnown = false;
    for (int i = 0; i <= g.Db->LastObject; ++i) {
        if (ObjectAt(g, i).noun != noun) continue;
        nounKnown = true;
        if (InPlaceFor(g, verb, ObjectLocation(g, i))) {
            ActOn(g, verb, i);
            return TurnResult::Builtin;
        }
    }
    if (!nounKnown) return TurnResult::Scripts;
    PrintSysmsg(g, verb == VerbWear || verb == VerbRemove ? SysmsgCannotDo : SysmsgNotAtHand);
    return TurnResult::Builtin;
}

}  // namespace

// Runs the built-in command for a verb and noun; returns Scripts when the pair is not a
// built-in command.
TurnResult BuiltinCommand(Game& g, int verb, int noun) {
    if (verb >= VerbExamine && verb <= VerbRemove)
        return noun != 0 ? ObjectCommand(g, verb, noun) : TurnResult::Scripts;
    if (noun != 0) return TurnResult::Scripts;
    if (verb >= 1 && verb <= DirectionCount) {
        const int16_t exit = EffectiveExit(g, g.CurrentLocation, verb);
        if (exit != 0) {
            g.CurrentLocation = exit;
            PrintSysmsg(g, SysmsgDone);
        } else {
            PrintSysmsg(g, SysmsgNoExit);
        }
        return TurnResult::Builtin;
    }
    switch (verb) {
    case VerbInventory: ShowInventory(g); return TurnResult::Builtin;
    case VerbLook: DescribeLocation(g, g.CurrentLocation, true); return TurnResult::Builtin;
    case VerbSysmsg9: PrintSysmsg(g, SysmsgVerb18); return TurnResult::Builtin;
    case VerbSave: SaveGame(g); return TurnResult::NoTime;
    case VerbRestore:
        RestoreGame(g);
        DescribeLocation(g, g.CurrentLocation);
        return TurnResult::NoTime;
    case VerbQuit: return ConfirmQuit(g) ? TurnResult::Quit : TurnResult::NoTime;
    default: return TurnResult::Scripts;
    }
}

// Asks whether to quit and, if so, whether to save first; returns true to quit. A save the
// player asked for that was not made (it failed, or no slot was chosen) keeps the game going, so
// that quitting never loses it.
bool ConfirmQuit(Game& g) {
    if (!AskGameYesNo(g, SysmsgText(g, SysmsgReallyQuit))) return false;
    if (AskGameYesNo(g, SysmsgText(g, SysmsgSaveFirst)) && !SaveGame(g)) return false;
    return true;
}

}  // namespace umb::engine
