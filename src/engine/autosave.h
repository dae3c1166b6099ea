// autosave.h - the autosave: the game kept after every turn, offered again at the next start.
#pragma once

#include "engine/state.h"

#include <string>

namespace umb::engine {

// The program's own question at the start of a game with an autosave to go on with.
constexpr char ContinuePrompt[] = "Continue where you left off? ";

// Keeps the autosave of gameName (slot 0 beside the saved games) for g from now on; it is offered
// only when newer than loadedFrom, the file the game was loaded from (empty: whatever its age).
void StartAutosave(Game& g, const std::string& gameName, const std::string& loadedFrom);
// The state as it stands needs no writing: a new game's start is no place worth resuming.
void MarkAutosaved(Game& g);
// When an autosave of this game is there and newer than the game, asks whether to go on with it
// and, on yes, applies it and returns true (the location is described again). A no, or an
// autosave that is damaged or another game's, removes it; an older one is left to be replaced.
bool OfferAutosave(Game& g);
// Writes the state to the autosave, durably, when it changed since the file was last written.
// A failed write is said once and the autosave is given up for the run.
void KeepAutosave(Game& g);
// Removes the autosave: the game it kept has ended.
void RemoveAutosave(Game& g);

}  // namespace umb::engine
