// loadgame.cpp - loading a compiled game for play, and what the player is told when it fails.
#include "app/loadgame.h"

#include "db/gamefile.h"

namespace umb::app {

std::string PrepareDatabase(db::GameDatabase& db) {
    if (db::AllocateTextHeap(db) != db::DbResult::Ok)
        return "Memory Allocation Error, Cannot Continue!";
    db::ResetDatabase(db);
    return "";
}

std::string GameFileError(base::ReadResult read, const std::string& gamePath) {
    switch (read) {
    case base::ReadResult::Ok: return "";
    case base::ReadResult::CannotOpen: return "File " + gamePath + " not found!";
    case base::ReadResult::NotFormat:
    case base::ReadResult::BadContent: break;
    }
    return "File " + gamePath + " is damaged or is not a game file!";
}

std::string LoadCompiledGame(db::GameDatabase& db, const std::string& gameName) {
    if (gameName.empty()) return "No game was named!";
    if (std::string error = PrepareDatabase(db); !error.empty()) return error;
    const std::string gamePath = gameName + ".umb";
    return GameFileError(db::ReadGameFile(db, gamePath.c_str()), gamePath);
}

}  // namespace umb::app
