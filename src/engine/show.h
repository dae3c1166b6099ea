// show.h - what the engine shows and asks: the game's texts with their marks expanded, handed
// to the front end through the seam and copied to the transcript.
#pragma once

#include "engine/frontend.h"
#include "engine/state.h"

#include <string>

namespace umb::engine {

// Returns the length of text in out (WorkBufferSize bytes) with %name% turned to the value of the
// variable named on 8 characters (0 when there is none), %% to %, and an unclosed % and all after
// it dropped; what goes past WorkBufferSize - 1 characters is cut off.
size_t ExpandText(const db::GameDatabase& db, const char* text, char* out);
// The game's look as a front end opens with it: its title, its colours (near-white on black
// without its own) and whether it has a "status" verb.
GameLook LookOf(const db::GameDatabase& db);
// Opens g.Front with the game's look, or when it cannot be opened the fallback (given: it then
// becomes g.Front). Returns Ready, or Failed with "Cannot open the NAME: reason" of g.Front said
// on standard error.
OpenResult OpenGameScreen(Game& g, FrontHandle fallback = {});
// Shows the author's text, its marks expanded, as a new message; none shows nothing.
void ShowGameMessage(Game& g, const char* text);
// Asks with the author's prompt (marks expanded), or with "(y/n)? " in the game's letters when
// there is none; returns true for the yes letter.
bool AskGameYesNo(Game& g, const char* prompt);
// Returns like FrontEnd::askChoice, asking with the author's prompt (marks expanded) or the
// default.
int AskGameChoice(Game& g, const char* prompt, int count);
// Reads a command line after the game's prompt (marks expanded).
LineResult ReadGameLine(Game& g, char* buffer, int maxLength);
// Shows a picture text of the game under the game's image path.
PictureResult DisplayGamePicture(Game& g, db::TextRef picture);
// The path the game opens for a picture name: under ImagePath when the game sets one; empty for
// no name or an empty one, which shows no picture.
std::string GamePicturePath(const db::GameDatabase& db, const char* name);

// The seam's calls: each goes to g.Front and, when a transcript is kept, copies what is shown
// and typed to it. See FrontEnd in frontend.h for what each does.
void FrontClose(Game& g);
void FrontNewGame(Game& g);
void FrontShowLocation(Game& g, const LocationView& v);
void FrontShowMessage(Game& g, const char* text);
void FrontShowReply(Game& g, const char* text);
// A line of the program's own, not the game's ("Nothing to undo."), shown exactly as given.
void FrontShowNote(Game& g, const char* text);
void FrontClearMessages(Game& g);
bool FrontAskYesNo(Game& g, const char* prompt, char yesLetter, char noLetter);
int FrontAskChoice(Game& g, const char* prompt, int count);
// The transcript has UndoWord after the prompt for Ctrl+Z, as if it had been typed.
LineResult FrontReadLine(Game& g, const char* prompt, char* buffer, int maxLength);
int FrontWaitKeyOrTime(Game& g, int ticks);
// Records why the picture is not shown whole in g.PictureFailure.
PictureResult FrontShowPicture(Game& g, int key, const char* path, const char* name);
// Returns true when the player asks to stop the turn under way (see FrontEnd::busy).
bool FrontBusy(Game& g);
// Returns true once a question met the end of the input (see FrontEnd::inputEnded).
bool FrontInputEnded(Game& g);
// Tells of a failure outside the game through the front end, or on standard error.
void FrontAlert(Game& g, const char* caption, const char* text);
// A saved game's file was written at path, or the autosave removed from there.
void FrontSavedGameWritten(Game& g, const char* path);
// Shows g.PictureFailure, when there is one, as a note, once.
void FrontReportPictureFailure(Game& g);

}  // namespace umb::engine
