// engine.h - the game engine: run-time state, scripts, parser, actions, saves and descriptions.
#pragma once

#include "base/fileio.h"
#include "db/database.h"
#include "ui/frontend.h"
#include "ui/screen.h"

#include <cstdint>
#include <cstdlib>
#include <deque>
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

// What the screen is handed: the game's texts with their marks expanded and its settings as plain
// values, so that the screen knows nothing of the game.
// Returns the length of text in out (WorkBufferSize bytes) with %name% turned to the value of the
// variable named on 8 characters (0 when there is none), %% to %, and an unclosed % and all after
// it dropped; what goes past WorkBufferSize - 1 characters is cut off.
size_t ExpandText(const db::GameDatabase& db, const char* text, char* out);
// Returns like PrintText, printing the author's text (none clears or prints nothing, as there)
// with its marks expanded into the screen's current area.
int PrintGameText(Game& g, const char* text);
// Shows the author's text, its marks expanded, as a new message; none shows nothing.
void ShowGameMessage(Game& g, const char* text);
// Gives the screen the game's colours; the drawing colours follow at the next MakeUiColours.
void UseGameColours(Game& g);
// Opens the front end in the game's colours, with the game's title on the window. Returns 0, or
// -1 when no front end could be opened (said on standard error).
int OpenGameScreen(Game& g);
// Returns like AskYesNo, asking with the author's prompt (marks expanded), or with "(y/n)? " in
// the game's letters when there is none.
int AskGameYesNo(Game& g, const char* prompt);
// Returns like AskChoice, asking with the author's prompt (marks expanded) or the default.
int AskGameChoice(Game& g, const char* prompt, int count);
// Returns like ReadLine (LineTyped, LineUndo or LineQuit), the game's prompt (marks expanded)
// before the line.
int ReadGameLine(Game& g, char* buffer, int maxLength);
// Returns like DisplayPicture, showing a picture text of the game under the game's image path.
int DisplayGamePicture(Game& g, db::TextRef picture);
// The path the game opens for a picture name: under ImagePath when the game sets one; empty for
// no name or an empty one, which shows no picture.
std::string GamePicturePath(const db::GameDatabase& db, const char* name);

// How the player sees the game: the front end (none: the window), its options, and the file a
// transcript is added to (none when empty).
struct PlayView {
    const ui::FrontEnd* Front = nullptr;
    ui::FrontOptions Options;
    std::string TranscriptPath;
    ui::TextScreen* Cells = nullptr;  // the text screen's state, with ui::TextScreenFrontEnd
};

// What PlayGames returns.
constexpr int PlayEnded = 0;           // the player declined another game
constexpr int PlayNotOpened = -1;      // the front end or the transcript could not be opened
constexpr int PlayTranscriptLost = 1;  // played to the end, but the transcript was not written
// The player stopped a turn that would not end (a script looping forever): the game is left as
// it stands, nothing saved.
constexpr int PlayStopped = 2;

// The game loop.
// Opens the front end and plays the game in db until the player declines another; the saved
// games are named from gameName, and debugMode lets "%" lines through to DebugCommand; coverage,
// when given, is sized to the tables and counts the script lines reached and run. Returns one of
// the four above; each failure is said on standard error when it happens. A stopped turn asks
// no further question.
int PlayGames(db::GameDatabase& db, const std::string& gameName, bool debugMode,
              ScriptCoverage* coverage = nullptr, const PlayView& view = {});
// Resets the run-time state to the game's start, runs the events once in ScriptMode::Begin (the
// introduction) and offers to restore a saved game.
void NewGame(Game& g);
// Walks the events once: mode is Normal after a turn and Begin for the run that starts a game
// (Continued counts as Begin here). Returns -1 when a quit action ended the game or the player
// stopped the walk (g.Stopped), else the condition flag the walk ended with (1 or 0).
int RunEvents(Game& g, ScriptMode mode);
// Runs one command: the actions for its words, then the built-in command when no action line
// ended the walk; prints SysmsgNotUnderstood or SysmsgNotQuite when nothing handled it. Returns
// a turn result: TurnQuit, TurnScripts, TurnBuiltin or TurnNoTime. A walk the player stopped
// (g.Stopped) prints nothing more and returns TurnQuit.
int RunActions(Game& g, int verb, int noun, int noun2, int noun3);

// Looks the words of line up, cutting it at its first line break: the first known verb, then up
// to three known nouns after it (0 where none). Returns the number of recognised words, 0 to 4.
int ParseInput(const Game& g, char* line, int* verb, int* noun, int* noun2, int* noun3);

// Returns 1 when every slot of a condition line holds for the command's words and mode, else 0,
// or -1 when it failed although its verb and noun matched (the actions then print SysmsgNotQuite).
int EvalCondition(Game& g, const db::ScriptLine& line, int verb, int noun, int noun2, int noun3,
                  ScriptMode mode);
// Returns 1 when the location is dark: unlit by its light state or flags, and no light-giving
// object lies there or is with the player; else 0.
int IsDark(const Game& g, int location);

// Actions.
// Runs every slot of an action line; returns the last result a slot set (ActHalt, ActContinue,
// ActBreak or ActQuit), or ActNormal when none did.
int ExecActionLine(Game& g, const db::ScriptLine& line);
// Prints message n, or system message n, on a new line of the message area (the area is
// selected even when it is undefined, and then prints nothing).
void PrintMessage(Game& g, int n);
void PrintSysmsg(Game& g, int n);
// Shows entry n of the shows: its text on a new line of the message area, then its picture; an
// entry without a picture shows nothing. In debug mode a picture not shown whole is reported.
void ShowPicture(Game& g, int n);
// Clears the whole message area.
void ClearMessages(Game& g);

// Undo: taking back the player's last commands.
// Starts the step of a command about to run: the state now is what UndoLastCommand goes back to.
// The oldest step goes past UndoStepLimit; nothing is kept while g.Undo.enabled is false.
void BeginUndoStep(Game& g);
// Keeps a field's value from before a change, while a step is open; the accessors call it when a
// value actually changes. Past UndoChangeLimit the oldest steps go, and the open one too when it
// alone holds that many (that command can then not be taken back).
void NoteUndoChange(Game& g, UndoField field, int32_t index, int16_t old);
// Puts the state back as it was before the newest step kept. Returns 0, or -1 when no step is
// kept (at the start of a game, or past the oldest step) and nothing changed.
int UndoLastCommand(Game& g);
// Takes back the last command as the player asked (Ctrl+Z, or the word): the location is then
// described again, whole; with nothing to take back, the program says so and nothing changes.
void TakeBackCommand(Game& g);
// Forgets every step: a new game or a restored one starts with nothing to take back.
void ClearUndo(Game& g);
// Returns 1 when line asks for undo: the word "undo" alone, in any case, with blanks around it
// allowed, and no verb of that name in the game (its own verb wins); else 0.
int IsUndoRequest(const Game& g, const char* line);
// The bytes the journal's steps and changes take up.
size_t UndoBytes(const Game& g);

// Saved games.
// The file of a slot, beside the game: its folder, the first 8 characters of its file name,
// ".sv" and the slot digit.
std::string SaveFileName(const std::string& gameName, int slot);
// Ask for a slot and save the game there, or restore the game saved there. Return 0, or -1 when
// cancelled or failed (SysmsgCannotUseFile; the slot's earlier file, or the game, kept whole).
int SaveGame(Game& g);
int RestoreGame(Game& g);
// The file image of the current state, and its restore from an image: ReadOk, ReadNotFormat when
// it is no saved game, ReadBadContent when it is short, long or corrupt; the state is then
// unchanged.
std::string BuildSavedGame(const Game& g);
int ApplySavedGame(Game& g, const std::string& image);

// Location description and listings.
// Shows the name, status line, description, objects and exits and picture of a location, or of
// the darkness location while it is dark; again when the location is shown anew on purpose (a
// redescribe, an undo, a restore). Returns 0, or -1 (nothing shown) when the location has no name.
int DescribeLocation(Game& g, int location, bool again = false);
// Prints a location's description, its objects and its exits under the screen's current area and
// mode; while it is dark, the darkness location's description alone; nothing without a darkness
// name.
void ListContents(Game& g, int location);
// Prints the objects carried and worn as one text in the message area.
void ShowInventory(Game& g);
// Prints an object's description (SysmsgNoDescription when it has none) in the message area.
// Returns 0, or -1 (nothing printed) when the object has no name.
int ExamineObject(Game& g, int object);

// Answers a debug line (one beginning with "%") on the message area's last line and returns 1;
// returns 0 for any other line, which is left to the parser.
int DebugCommand(Game& g, const char* line);

// Runs the built-in command for a verb and noun. Returns TurnBuiltin when it was done,
// TurnNoTime for save, restore and a quit the player declined, TurnQuit for a confirmed quit, and
// TurnScripts when the pair is not a built-in command (or names no object it can act on).
int BuiltinCommand(Game& g, int verb, int noun);
// Asks whether to quit and, if so, whether to save first. Returns 1 to quit, 0 to stay (also when
// a save the player asked for was not made).
int ConfirmQuit(Game& g);

}  // namespace umb::engine
