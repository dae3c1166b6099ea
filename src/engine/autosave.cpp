// autosave.cpp - the autosave: the game kept after every turn, offered again at the next start.
#include "engine/autosave.h"
#include "engine/savegame.h"
#include "engine/show.h"

#include "base/fileio.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

using namespace umb::base;

namespace umb::engine {

namespace {

constexpr int AutosaveSlot = 0;  // beside the player's nine slots, never one of them

// What is found in the autosave's place.
enum class Found { Nothing, Older, Unusable, Usable };

// Whether the autosave was written after the game file last changed: a game compiled anew may
// have moved its objects and locations, and the state kept no longer means what it did.
bool NewerThanGame(const AutosaveState& a) {
    if (a.gameFile.empty()) return true;
    namespace fs = std::filesystem;
    std::error_code e1, e2;
    const fs::file_time_type saved = fs::last_write_time(a.path, e1);
    const fs::file_time_type game = fs::last_write_time(a.gameFile, e2);
    return !e1 && !e2 && saved > game;
}

// Reads the autosave into image and says what it is: usable only whole, of this game's tables
// and newer than the game.
Found ReadAutosave(const Game& g, std::string& image) {
    FILE* f = std::fopen(g.Autosave.path.c_str(), "rb");
    if (f == nullptr) return Found::Nothing;
    const db::GameDatabase& db = *g.Db;
    const ReadResult read =
        ReadWholeFile(f, image, db::SavedGameSize(db.LastObject, db.VarCount, db.LastLocation));
    std::fclose(f);
    if (read != ReadResult::Ok || !SavedGameFits(g, image)) return Found::Unusable;
    return NewerThanGame(g.Autosave) ? Found::Usable : Found::Older;
}

// Removes the autosave's file. The front end hears of it as of a write: it finds the file gone
// (the browser then drops its copy in the site's storage).
void RemoveFile(Game& g) {
    if (std::remove(g.Autosave.path.c_str()) == 0)
        FrontSavedGameWritten(g, g.Autosave.path.c_str());
}

}  // namespace

void StartAutosave(Game& g, const std::string& gameName, const std::string& loadedFrom) {
    g.Autosave = AutosaveState{};
    g.Autosave.path = SaveFileName(gameName, AutosaveSlot);
    g.Autosave.gameFile = loadedFrom;
}

void MarkAutosaved(Game& g) {
    if (!g.Autosave.path.empty()) g.Autosave.written = BuildSavedGame(g);
}

bool OfferAutosave(Game& g) {
    AutosaveState& a = g.Autosave;
    if (a.path.empty()) return false;
    std::string image;
    const Found found = ReadAutosave(g, image);
    if (found == Found::Unusable) RemoveFile(g);
    if (found != Found::Usable) return false;
    const db::GameDatabase& db = *g.Db;
    const bool yes = FrontAskYesNo(g, ContinuePrompt, db.YesLetter, db.NoLetter);
    // Nobody answered: the question comes again at the next start.
    if (FrontInputEnded(g)) return false;
    if (!yes || ApplySavedGame(g, image) != ReadResult::Ok) {
        RemoveFile(g);  // a new game: what the autosave kept is given up
        return false;
    }
    a.written = std::move(image);
    g.DescribeAgain = true;
    return true;
}

void KeepAutosave(Game& g) {
    AutosaveState& a = g.Autosave;
    if (a.path.empty() || a.failed) return;
    std::string image = BuildSavedGame(g);
    if (image == a.written) return;
    if (WriteFileAtomically(a.path, image.data(), image.size()) != WriteResult::Ok) {
        a.failed = true;
        const std::string text =
            "Cannot write file " + a.path + ": the game is not kept for later.";
        FrontShowNote(g, text.c_str());
        return;
    }
    a.written = std::move(image);
    FrontSavedGameWritten(g, a.path.c_str());
}

void RemoveAutosave(Game& g) {
    if (g.Autosave.path.empty()) return;
    RemoveFile(g);
    g.Autosave.written.clear();
}

}  // namespace umb::engine
