// game.h - the game loop: plays games one after another on a loaded game database.
#pragma once

#include "db/database.h"

#include <string>

// What the start-up hands to the game loop.
struct PlaySetup {
    std::string gameName;
    bool debugMode = false;
};

// Plays until the player declines another game; returns 0.
int PlayGames(GameDatabase& db, const PlaySetup& setup);
