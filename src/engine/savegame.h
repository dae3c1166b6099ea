// savegame.h - saved games: their files beside the game, their image of the state.
#pragma once

#include "base/fileio.h"
#include "engine/state.h"

#include <string>

namespace umb::engine {

// Saved games.
// The file of a slot, beside the game: its folder, the first 8 characters of its file name,
// ".sv" and the slot digit.
std::string SaveFileName(const std::string& gameName, int slot);
// Ask for a slot and save the game there, or restore the game saved there. Return false when
// cancelled or failed (SysmsgCannotUseFile; the slot's earlier file, or the game, kept whole).
bool SaveGame(Game& g);
bool RestoreGame(Game& g);
// The file image of the current state, and its restore from an image: Ok, NotFormat when
// it is no saved game, BadContent when it is short, long or corrupt; the state is then
// unchanged.
std::string BuildSavedGame(const Game& g);
base::ReadResult ApplySavedGame(Game& g, const std::string& image);
// Whether an image is a whole saved game of tables exactly this game's sizes: one written by
// this game, not by another whose name begins with the same 8 characters.
bool SavedGameFits(const Game& g, const std::string& image);

// The largest file the three int16 counts of a saved game can describe: anything longer is no
// saved game, and is not read.
constexpr size_t MaxSavedGameSize = db::SavedGameSize(32767, 32767, 32767);
// The table sizes a game's own saved games carry: LastObject, VarCount and LastLocation.
struct SaveTables {
    int lastObject = -1;
    int varCount = 0;
    int lastLocation = -1;
};
SaveTables SaveTablesOf(const db::GameDatabase& db);
// What a file image is to a game of those tables, before it is let into a slot (a file brought
// from elsewhere): one of its saved games, or why not.
enum class SaveFit : int {
    Fits = 0,          // whole, of exactly these sizes
    NotSavedGame = 1,  // too short for a saved game, or without its magic
    Damaged = 2,       // its counts and its length do not agree
    OtherGame = 3,     // whole, but of tables of other sizes: another game's
};
SaveFit CheckSaveFit(const SaveTables& tables, const std::string& image);

}  // namespace umb::engine
