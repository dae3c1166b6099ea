// undo.h - taking back the player's last commands.
#pragma once

#include "engine/state.h"

namespace umb::engine {

// Undo: taking back the player's last commands.
// Starts the step of a command about to run: the state now is what UndoLastCommand goes back to.
// The oldest step goes past UndoStepLimit; nothing is kept while g.Undo.enabled is false.
void BeginUndoStep(Game& g);
// Keeps a field's value from before a change, while a step is open; the accessors call it when a
// value actually changes. Past UndoChangeLimit the oldest steps go, and the open one too when it
// alone holds that many (that command can then not be taken back).
void NoteUndoChange(Game& g, UndoField field, int32_t index, int16_t old);
// Puts the state back as it was before the newest step kept. Returns false when no step is
// kept (at the start of a game, or past the oldest step) and nothing changed.
bool UndoLastCommand(Game& g);
// Takes back the last command as the player asked (Ctrl+Z, or the word): the location is then
// described again, whole; with nothing to take back, the program says so and nothing changes.
void TakeBackCommand(Game& g);
// Forgets every step: a new game or a restored one starts with nothing to take back.
void ClearUndo(Game& g);
// Returns true when line asks for undo: the word "undo" alone, in any case, with blanks around it
// allowed, and no verb of that name in the game (its own verb wins).
bool IsUndoRequest(const Game& g, const char* line);
// The bytes the journal's steps and changes take up.
size_t UndoBytes(const Game& g);

}  // namespace umb::engine
