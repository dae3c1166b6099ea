// engine.h - the game engine: run-time state, scripts, parser, actions, saves and descriptions.
#pragma once

#include "base/fileio.h"
#include "db/database.h"
#include "ui/screen.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace umb::engine {

// Turn result codes.
constexpr int TurnQuit = -1;
constexpr int TurnScripts = 0;  // handled by script lines, or not recognised
constexpr int TurnBuiltin = 1;  // handled by a built-in command
constexpr int TurnNoTime = 2;   // took no game time: no events before the next input

// Action line results.
constexpr int ActNormal = 0;
constexpr int ActHalt = 1;
constexpr int ActContinue = 2;
constexpr int ActBreak = 3;
constexpr int ActQuit = -1;

constexpr int InputLineLength = 127;

// What a script runner passes to every condition test: the begin and continued tests hold only
// in their mode.
enum class ScriptMode {
    Normal = 0,     // the events after a turn; the actions until a continue
    Begin = 1,      // the events run that starts a game
    Continued = 2,  // the actions after a continue, until the next block closer
};

// The system messages (entries of the game's [Sysmsg]) that the engine prints itself; the other
// numbers are the author's, for the sysmsg action. The README's author's guide lists them.
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

// One game being played: the database, the screen, and the run-time state beside the tables.
struct Game {
    db::GameDatabase* Db = nullptr;
    ui::ScreenState* Screen = nullptr;
    std::string GameName;  // saved games are named from its file name, beside it
    bool DebugMode = false;
    int16_t CurrentLocation = 0;
    int16_t CarriedCount = 0;
    PlaceIndex ExitsTo;           // entries: location * 16 + direction - 1
    PlaceIndex ObjectsAt;         // entries: object numbers
    int (*Random)() = std::rand;  // the random condition's numbers, 0 to RAND_MAX
};

// Whether a location value means that the player has the object.
inline bool IsCarriedOrWorn(int16_t location) {
    return location == db::Carried || location == db::Worn;
}

// Run-time fields through checked accessors: a number that names nothing reads as a blank
// record (an object lying nowhere, a location without exits, a variable of 0) and a write to
// it is ignored, so no script operand reaches outside the tables.
const db::LocationRecord& LocationAt(const Game& g, int location);
const db::ObjectRecord& ObjectAt(const Game& g, int object);
int16_t ObjectLocation(const Game& g, int object);  // the effective location
// Moves an object, keeping CarriedCount equal to the named objects carried or worn.
void MoveObject(Game& g, int object, int16_t location);
// The named objects carried or worn, counted afresh from the table.
int16_t CountCarried(const Game& g);
int16_t EffectiveExit(const Game& g, int location, int direction);  // direction 1 to 10
void SetExitOverride(Game& g, int location, int direction, int16_t destination);
void SetLight(Game& g, int location, int16_t light);
// Every exit leading to from now leads to to; every object at from moves to to.
void SubstExits(Game& g, int16_t from, int16_t to);
void MoveAllObjects(Game& g, int16_t from, int16_t to);
// Drops both place indexes: call after writing the tables other than through the accessors.
void ForgetPlaces(Game& g);
int16_t VarValue(const Game& g, int var);
void SetVar(Game& g, int var, int16_t value);
// Texts by number; nullptr when absent or out of range.
const char* MessageText(const Game& g, int n);
const char* SysmsgText(const Game& g, int n);
const char* TextOrEmpty(const char* text);

// What the screen is handed: the game's texts with their marks expanded and its settings as plain
// values, so that the screen knows nothing of the game.
// Returns the length of text in out (WorkBufferSize bytes) with %name% turned to the value of the
// variable named on 8 characters (0 when there is none), %% to %, and an unclosed % and all after
// it dropped; what goes past WorkBufferSize - 1 characters is cut off.
size_t ExpandText(const db::GameDatabase& db, const char* text, char* out);
// Returns like PrintText, printing the author's text (none clears or prints nothing, as there)
// with its marks expanded.
int PrintGameText(Game& g, const char* text);
// Gives the screen the game's colours; the drawing colours follow at the next MakeUiColours.
void UseGameColours(Game& g);
// Opens the screen in the game's colours, with the game's title on the window.
void OpenGameScreen(Game& g);
// Returns like AskYesNo, asking with the author's prompt (marks expanded), or with "(y/n)? " in
// the game's letters when there is none.
int AskGameYesNo(Game& g, const char* prompt);
// Returns like AskChoice, asking with the author's prompt (marks expanded) or the default.
int AskGameChoice(Game& g, const char* prompt, int count);
// Returns like ReadLine, the game's prompt (marks expanded) before the line.
int ReadGameLine(Game& g, char* buffer, int maxLength);
// Returns like DisplayPicture, showing a picture text of the game under the game's image path.
int DisplayGamePicture(Game& g, db::TextRef picture);

// The game loop.
int PlayGames(db::GameDatabase& db, const std::string& gameName, bool debugMode);
void NewGame(Game& g);
int RunEvents(Game& g, ScriptMode mode);
int RunActions(Game& g, int verb, int noun, int noun2, int noun3);

// The input parser: returns the number of recognised words.
int ParseInput(const Game& g, char* line, int* verb, int* noun, int* noun2, int* noun3);

// Conditions: 1 true, 0 false, -1 false with a verb-and-noun match.
int EvalCondition(Game& g, const db::ScriptLine& line, int verb, int noun, int noun2, int noun3,
                  ScriptMode mode);
int IsDark(const Game& g, int location);

// Actions.
int ExecActionLine(Game& g, const db::ScriptLine& line);
void PrintMessage(Game& g, int n);
void PrintSysmsg(Game& g, int n);
void ShowPicture(Game& g, int n);
void ClearMessages(Game& g);

// Saved games: 0 done, -1 cancelled or failed.
std::string SaveFileName(const std::string& gameName, int slot);
int SaveGame(Game& g);
int RestoreGame(Game& g);
// The file image of the current state, and its restore from an image: ReadOk, ReadNotFormat when
// it is no saved game, ReadBadContent when it is short, long or corrupt; the state is then
// unchanged.
std::string BuildSavedGame(const Game& g);
int ApplySavedGame(Game& g, const std::string& image);

// Location description and listings.
int DescribeLocation(Game& g, int location);
void ListContents(Game& g, int location);
void ShowInventory(Game& g);
int ExamineObject(Game& g, int object);

// Debug mode: 1 when the line was a debug command.
int DebugCommand(Game& g, const char* line);

// Built-in commands.
int BuiltinCommand(Game& g, int verb, int noun);
int ConfirmQuit(Game& g);

}  // namespace umb::engine
