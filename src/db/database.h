// database.h - the game database: settings, tables, the text heap and the vocabulary lookups.
//
// Field names, one rule for the whole program: the fields of its state structs (GameDatabase
// here, the engine's Game, the screen's ScreenState, the start-up's Startup and the compiler's
// Compiler) are capitalised words, as the game's own settings and tables are (CurrentLocation,
// GameName, DebugMode, Db, Screen, History, TextHeap, VerbIndex); the fields of file records
// (LocationRecord, ObjectRecord, ScriptLine, ...) and of small helper structs (PlaceIndex,
// InputHistory, WordIndex, AreaBox, ...) are lower camelCase (initialLocation, exitOverrides,
// operandA).
#pragma once

#include "db/records.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace umb::db {

constexpr uint32_t TextHeapSize = 262144;

// Maps a word, folded to lower case on its first 8 characters, to the first record that holds it,
// so lookups stay fast on large vocabularies and still find the first match in table order.
struct WordIndex {
    std::unordered_map<uint64_t, int32_t> first;
};

// The one in-memory model of an adventure. A test builds a fresh one; the program keeps one.
struct GameDatabase {
    // Settings.
    int16_t StartLocation = 1;
    int16_t MaxItems = 5;
    char YesLetter = 'y';
    char NoLetter = 'n';
    char Prompt[16] = ">";
    int16_t ShowExits = 1;
    char ImagePath[32] = "";
    char Title[64] = "";
    char StatusLine[64] = "";
    int16_t BgColor = 0;
    int16_t FgColor = 15;

    // Numbered tables hold records 0 to Last... (-1 when empty); list tables hold Count records.
    std::vector<LocationRecord> Locations;
    std::vector<ObjectRecord> Objects;
    std::vector<TextRef> Messages;
    std::vector<ShowRecord> Shows;
    std::vector<WordRecord> Verbs;
    std::vector<WordRecord> Nouns;
    std::vector<VarRecord> Vars;
    std::vector<ScriptLine> Events;
    std::vector<ScriptLine> Actions;
    TextRef Sysmsg[SysmsgCount] = {};
    TextRef Directions[DirectionCount] = {};

    int16_t LastLocation = -1;
    int16_t LastObject = -1;
    int16_t LastMessage = -1;
    int16_t LastShow = -1;
    int16_t VerbCount = 0;
    int16_t NounCount = 0;
    int16_t EventCount = 0;
    int16_t ActionCount = 0;
    int16_t VarCount = 0;

    // The text heap: TextHeapSize bytes once allocated; TextHeapNext is the first free offset.
    std::unique_ptr<char[]> TextHeap;
    uint32_t TextHeapNext = 1;

    WordIndex VerbIndex;
    WordIndex NounIndex;
    WordIndex VarIndex;
};

// What the database's own steps return: done, no memory for the text heap, or a word table that
// holds its most records already.
enum class DbResult : int { Ok = 0, NoMemory = -1, TableFull = -2 };

// Allocates the text heap; returns Ok, or NoMemory when memory is short.
DbResult AllocateTextHeap(GameDatabase& db);

// Puts the database into its empty state, every text reference absent (the heap's memory stays).
// Returns Ok.
DbResult ResetDatabase(GameDatabase& db);

// Stores a text of len bytes, or joins it to the text stored last; returns where the text begins,
// or NoText when it does not fit (the heap is then unchanged).
TextRef StoreText(GameDatabase& db, const char* text, size_t len, bool continuePrevious);

// The text a reference names, or nullptr when the reference is absent.
const char* TextOf(const GameDatabase& db, TextRef ref);

// Extend a numbered table with blank records so that it holds the given number.
void GrowLocations(GameDatabase& db, int number);
void GrowObjects(GameDatabase& db, int number);
void GrowMessages(GameDatabase& db, int number);
void GrowShows(GameDatabase& db, int number);

// Appends a word of up to 8 characters (longer words keep their first 8) to Verbs or Nouns,
// or a variable to Vars (the placeholder record 0 comes first). Return Ok, or TableFull.
DbResult AppendVerb(GameDatabase& db, const char* word, size_t len, int16_t number);
DbResult AppendNoun(GameDatabase& db, const char* word, size_t len, int16_t number);
DbResult AppendVar(GameDatabase& db, const char* name, size_t len);

constexpr int MaxListRecords = 32767;
extern const char VarPlaceholder[WordLength];

// Name lookups: the first matching record in table order; 0 when none matches.
int FindVerb(const GameDatabase& db, const char* word);
int FindNoun(const GameDatabase& db, const char* word);
int FindVariable(const GameDatabase& db, const char* name);

// Rebuilds the lookup indexes from the tables, after they were filled from a file.
void RebuildIndexes(GameDatabase& db);

}  // namespace umb::db
