// state.h - one game being played: the run-time state beside the tables, and its accessors.
#pragma once

#include "db/database.h"
#include "engine/frontend.h"

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

namespace umb::engine {

struct TextLog;

constexpr int InputLineLength = 127;

// A walk asks the front end whether to stop once every so many script lines: rarely enough to
// cost nothing, often enough to answer within a fraction of a second.
constexpr uint32_t StopCheckLines = 4096;

// What a script runner passes to every condition test: the begin and continued tests hold only
// in their mode.
enum class ScriptMode {
    Normal = 0,     // the events after a turn; the actions until a continue
    Begin = 1,      // the events run that starts a game
    Continued = 2,  // the actions after a continue, until the next block closer
};

// The system messages (entries of the game's [Sysmsg]) that the engine prints itself; the other
// numbers are the author's, for the sysmsg action. docs/language.md lists them.
enum SystemMessage : int {
    SysmsgNotUnderstood = 1,      // no known word, or nothing handled the command
    SysmsgNotAtHand = 2,          // the noun's object is not where the command needs it
    SysmsgCannotDo = 3,           // not takeable or wearable, or not carried or worn as needed
    SysmsgCarryingTooMuch = 4,    // get with MaxItems objects carried and worn
    SysmsgNoExit = 5,             // no exit that way
    SysmsgNoDescription = 7,      // examine of an object without a description
    SysmsgNotQuite = 8,           // a line's verb and noun matched but another condition failed
    SysmsgVerb18 = 9,             // the built-in verb 18
    SysmsgDone = 10,              // a built-in move, get, drop, wear or remove succeeded
    SysmsgObjectsHeading = 11,    // before the objects at a location
    SysmsgInventoryHeading = 12,  // before the objects carried and worn
    SysmsgWorn = 13,              // after a worn object's name in the inventory
    SysmsgCarryingNothing = 14,   // the inventory when nothing is carried
    SysmsgExitsHeading = 19,      // before the exits of a location
    SysmsgSaveSlot = 21,          // the slot question of save
    SysmsgRestoreSlot = 22,       // the slot question of restore
    SysmsgRestoreAtStart = 23,    // "Restore a saved game?" at the start of every game
    SysmsgReallyQuit = 24,        // the built-in quit's question
    SysmsgSaveFirst = 25,         // then whether to save first
    SysmsgPlayAgain = 26,         // asked when a game ends
    SysmsgCannotUseFile = 29,     // a saved game cannot be written or read
};

// Where exits lead or objects lie, listed by place, so that subst and moveall touch only what
// they change rather than scanning whole tables. An entry may be stale (the exit or object has
// moved on since); users check it before acting, and every move adds the new place, so a list
// misses nothing while valid. Rebuilt from the tables when first needed, after a new game or a
// restore, and when stale entries pile up.
struct PlaceIndex {
    std::vector<std::vector<int32_t>> byPlace;  // one list per 16-bit place value
    size_t additions = 0;
    bool valid = false;
};

// How often a walk reached each line of the events and actions outside a skipped block, and how
// often each action line ran; one entry per line of the table.
struct ScriptCoverage {
    std::vector<uint32_t> eventsReached, eventsRan, actionsReached, actionsRan;
};

// The run-time fields the undo journal puts back value by value; the player's location and the
// carried count are kept whole with each step instead, as the runner and the actions set them.
enum class UndoField : uint8_t {
    ObjectPlace,   // index: the object
    ExitOverride,  // index: location * 16 + direction - 1
    Light,         // index: the location
    Var,           // index: the variable
};

// One value as it was before a change made during a step.
struct UndoChange {
    int32_t index = 0;
    int16_t old = 0;
    UndoField field = UndoField::ObjectPlace;
};

// One command taken back whole: how many changes of the journal are its own, and the two fields
// kept whole as they were before it.
struct UndoStep {
    size_t changes = 0;
    int16_t location = 0;
    int16_t carried = 0;
};

constexpr size_t UndoStepLimit = 64;         // commands the player can take back
constexpr size_t UndoChangeLimit = 1000000;  // changes kept in all, whatever the steps

// What changed during the last commands, newest at the back, so that each can be taken back.
// Only changed values are kept, so a turn costs what it changes rather than the game's size.
struct UndoJournal {
    std::deque<UndoChange> changes;
    std::deque<UndoStep> steps;
    bool open = false;    // a step is being recorded: the accessors note what they change
    bool enabled = true;  // off only to measure what the bookkeeping costs
};

// The autosave: the state kept beside the saved games after every turn, so that a game left by
// the input running out, or a program killed, goes on where it was at the next start.
struct AutosaveState {
    std::string path;      // the file; empty: no autosave is kept or offered
    std::string gameFile;  // what the game was loaded from: an older autosave is not offered
    std::string written;   // the image the file holds: a turn that changed nothing writes nothing
    bool failed = false;   // a write failed and was said: no more are tried
};

// One game being played: the database, the screen, and the run-time state beside the tables.
struct Game {
    db::GameDatabase* Db = nullptr;
    FrontHandle Front;              // who shows the game
    TextLog* Transcript = nullptr;  // --transcript: what is shown and typed, copied as text
    // Why the picture asked for last is not shown whole, as "picture NAME: reason"; empty when
    // it was shown. Debug mode reports it.
    char PictureFailure[192] = {};
    std::string GameName;  // saved games are named from its file name, beside it
    bool DebugMode = false;
    int16_t CurrentLocation = 0;
    int16_t CarriedCount = 0;
    PlaceIndex ExitsTo;           // entries: location * 16 + direction - 1
    PlaceIndex ObjectsAt;         // entries: object numbers
    int (*Random)() = std::rand;  // the random condition's numbers, 0 to RAND_MAX
    // Null unless the walkthrough tests count lines: then sized to the tables by PlayGames.
    ScriptCoverage* Coverage = nullptr;
    // The next description is whole even in a text front end: the state was replaced at once.
    bool DescribeAgain = false;
    // The location described last (0 while dark, -1 before any): arriving at another one shows
    // it whole, even when its name and texts are those of the last (a maze).
    int ShownLocation = -1;
    UndoJournal Undo;  // the commands the player can take back
    // Script lines left before the walk next asks the front end whether to stop.
    uint32_t LinesToStopCheck = StopCheckLines;
    // The player stopped a turn: the walk under way ended, and so does the game loop.
    bool Stopped = false;
    AutosaveState Autosave;
};

// Whether a location value means that the player has the object.
inline bool IsCarriedOrWorn(int16_t location) {
    return location == db::Carried || location == db::Worn;
}

// Run-time fields through checked accessors: a number that names nothing reads as a blank
// record (an object lying nowhere, a location without exits, a variable of 0) and a write to
// it is ignored, so no script operand reaches outside the tables.
// The record of a location or object; a number outside the table gives a blank record.
const db::LocationRecord& LocationAt(const Game& g, int location);
const db::ObjectRecord& ObjectAt(const Game& g, int object);
// Where an object lies now (Carried, Worn or a location): where it was moved, else where it began.
int16_t ObjectLocation(const Game& g, int object);
// Moves an object, keeping CarriedCount equal to the named objects carried or worn.
void MoveObject(Game& g, int object, int16_t location);
// The named objects carried or worn, counted afresh from the table.
int16_t CountCarried(const Game& g);
// Where an exit leads now, its override before its compiled value; 0 for no exit, or for a
// direction outside 1 to 10.
int16_t EffectiveExit(const Game& g, int location, int direction);
// Makes an exit (direction 1 to 10) lead to destination from now on; ignored out of range.
void SetExitOverride(Game& g, int location, int direction, int16_t destination);
// Sets a location's light state, which overrides its flags for IsDark; ignored out of range.
void SetLight(Game& g, int location, int16_t light);
// Every exit leading to from now leads to to; every object at from moves to to.
void SubstExits(Game& g, int16_t from, int16_t to);
void MoveAllObjects(Game& g, int16_t from, int16_t to);
// Drops both place indexes: call after writing the tables other than through the accessors.
void ForgetPlaces(Game& g);
// The value of a variable, 0 out of range; a write out of range is ignored.
int16_t VarValue(const Game& g, int var);
void SetVar(Game& g, int var, int16_t value);
// Texts by number; nullptr when absent or out of range.
const char* MessageText(const Game& g, int n);
const char* SysmsgText(const Game& g, int n);
// The text itself, or "" for an absent one.
const char* TextOrEmpty(const char* text);

}  // namespace umb::engine
