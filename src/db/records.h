// records.h - the fixed-size records of the game database, laid out as the files store them.
#pragma once

#include "db/codes.h"

#include <bit>
#include <cstddef>
#include <cstdint>

namespace umb::db {

// The records are written to and read from files byte for byte; files are little-endian.
static_assert(std::endian::native == std::endian::little,
              "file records assume a little-endian host");

// A text in the text heap, named by its offset from the heap's start; 0 means no text.
using TextRef = uint32_t;
constexpr TextRef NoText = 0;

constexpr int16_t Unset = -127;  // run-time field not set yet: the compile-time value holds
constexpr int16_t Carried = -1;  // object location: carried by the player
constexpr int16_t Worn = -2;     // object location: worn by the player

constexpr int16_t LocDark = 1;
constexpr int16_t AttrTakeable = 1;
constexpr int16_t AttrWearable = 2;
constexpr int16_t AttrLight = 4;

constexpr int DirectionCount = 10;
constexpr int SysmsgCount = 32;
// Vocabulary words and variable names are significant on 8 characters.
constexpr int WordLength = 8;
constexpr int ScriptSlots = 16;

struct LocationRecord {
    TextRef name;
    TextRef picture;
    int16_t flags;
    int16_t exits[DirectionCount];
    int16_t exitOverrides[DirectionCount];
    int16_t light;
    TextRef description;
};
static_assert(sizeof(LocationRecord) == 56);
static_assert(offsetof(LocationRecord, flags) == 8);
static_assert(offsetof(LocationRecord, exits) == 10);
static_assert(offsetof(LocationRecord, exitOverrides) == 30);
static_assert(offsetof(LocationRecord, light) == 50);
static_assert(offsetof(LocationRecord, description) == 52);

struct ObjectRecord {
    TextRef name;
    int16_t initialLocation;
    int16_t attributes;
    int16_t noun;
    int16_t reserved1;
    TextRef description;
    int16_t location;
    int16_t reserved2;
};
static_assert(sizeof(ObjectRecord) == 20);
static_assert(offsetof(ObjectRecord, description) == 12);
static_assert(offsetof(ObjectRecord, location) == 16);

struct ShowRecord {
    TextRef text;
    TextRef picture;
};
static_assert(sizeof(ShowRecord) == 8);

// A vocabulary word or a variable: 8 characters, NUL-padded, not terminated when full.
struct WordRecord {
    char word[WordLength];
    int16_t number;
};
static_assert(sizeof(WordRecord) == 10);

struct VarRecord {
    char name[WordLength];
    int16_t value;
};
static_assert(sizeof(VarRecord) == 10);

// One compiled script line: a kind letter (LineKind) and up to 16 statements with two operands
// each: a ConditionCode or ActionCode, by the kind, or EmptySlot (codes.h).
struct ScriptLine {
    char kind;
    signed char ops[ScriptSlots];
    char reserved;
    int16_t operandA[ScriptSlots];
    int16_t operandB[ScriptSlots];
};
static_assert(sizeof(ScriptLine) == 82);
static_assert(offsetof(ScriptLine, ops) == 1);
static_assert(offsetof(ScriptLine, operandA) == 18);
static_assert(offsetof(ScriptLine, operandB) == 50);

// Blank records, as numbered tables hold them for numbers the source never defines.
LocationRecord BlankLocation();
ObjectRecord BlankObject();
ScriptLine BlankScriptLine(char kind);

// Saved games: "USF2", then the object locations, the variable values, the location states,
// the current location and the carried count, all little-endian int16 without padding.
constexpr char SaveMagic[4] = {'U', 'S', 'F', '2'};

// The state of one location in a saved game: its ten exit overrides, then its light.
struct SavedLocationState {
    int16_t exitOverrides[DirectionCount];
    int16_t light;
};
static_assert(sizeof(SavedLocationState) == 22);

// Bytes of a saved game for the highest object index n, variable count m and highest location
// index k it holds.
constexpr size_t SavedGameSize(long n, long m, long k) {
    return 4 + 2 + 2 * static_cast<size_t>(n + 1) + 2 + 2 * static_cast<size_t>(m) + 2 +
           sizeof(SavedLocationState) * static_cast<size_t>(k + 1) + 4;
}
static_assert(SavedGameSize(-1, 0, -1) == 14);

}  // namespace umb::db
