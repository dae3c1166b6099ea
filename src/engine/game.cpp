// game.cpp - the game loop.
#include "engine/game.h"

// The turn loop is not part of this build yet: a loaded game ends here.
int PlayGames(GameDatabase& db, const PlaySetup& setup) {
    (void)db;
    (void)setup;
    return 0;
}
