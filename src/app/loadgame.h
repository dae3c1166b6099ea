// loadgame.h - loading a compiled game for play, and what the player is told when it fails.
//
// The program and the browser player both load compiled games; they share these steps so that
// a player reads the same words in either.
#pragma once

#include "base/fileio.h"

#include <string>

namespace umb::db {
struct GameDatabase;
}

namespace umb::app {

// Allocates the text heap of db and empties the database. Returns an empty text, or the error
// the player is shown when there is no memory for the heap.
std::string PrepareDatabase(db::GameDatabase& db);

// The error the player is shown for a compiled game file that was not read (read as
// ReadGameFile returned it): missing, or damaged or of another kind. Empty for Ok.
std::string GameFileError(base::ReadResult read, const std::string& gamePath);

// Loads GAME.umb for gameName "GAME" into db, as the program does when told to play the compiled
// game: allocates the text heap and reads the file. Returns an empty text when the game is
// loaded, else the error the player is shown (also when no game is named).
std::string LoadCompiledGame(db::GameDatabase& db, const std::string& gameName);

}  // namespace umb::app
