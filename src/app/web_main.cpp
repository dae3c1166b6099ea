// web_main.cpp - the browser player's entry: plays the compiled game the page named.
//
// The page puts the game file, its pictures and the saved games into the file system and calls
// main with the game's name and folder ("/game/cave" plays /game/cave.umb). A browser player
// only plays: no source, no compiler, no switches. The game is kept in its autosave after every
// turn, as the program keeps it, and offered again when the page is next opened; the page keeps
// the files' own times (the game's from the site, the saves' from the browser's storage), so
// that only an autosave newer than the game is offered.
#include "app/loadgame.h"
#include "app/startup.h"
#include "db/database.h"
#include "engine/engine.h"
#include "engine/savegame.h"
#include "ui/frontends.h"
#include "ui/gfx/gfx.h"
#include "ui/page/page_front.h"

#include <emscripten.h>

#include <cstdlib>
#include <ctime>
#include <string>

using namespace umb;

namespace {

// What the page's calls need of the game loaded: its table sizes, for a file brought in from
// elsewhere, and a buffer the page fills with the file's bytes. The page has one game.
struct PageGame {
    bool loaded = false;
    engine::SaveTables tables;
    std::string file;
};

PageGame& ThePageGame() {
    static PageGame game;
    return game;
}

// Returns an ExitStatus, as the program's own start-up does.
int PlayInBrowser(int argc, char** argv) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    const std::string gameName = argc >= 2 ? argv[1] : "";
    db::GameDatabase db;
    if (const std::string error = app::LoadCompiledGame(db, gameName); !error.empty()) {
        gfx::GfxMessageBox("Error", error.c_str());
        return app::ExitFailure;
    }
    ThePageGame().tables = engine::SaveTablesOf(db);
    ThePageGame().loaded = true;
    const ui::ChosenFronts fronts = ui::ChooseFrontEnds({});
    // The window draws the canvas; the page's text view is told the same through the page's
    // front end, which stands in front of it.
    ui::PageFront page;
    page.inner = fronts.front;
    engine::PlayView view;
    view.Front = engine::FrontHandle{&ui::PageFrontEnd, &page};
    view.Autosave = true;
    view.LoadedFrom = gameName + ".umb";
    const engine::PlayResult played = engine::PlayGames(db, gameName, false, nullptr, view);
    if (played == engine::PlayResult::Stopped) return app::ExitStopped;  // the page says so
    return played == engine::PlayResult::Ended ? app::ExitSuccess : app::ExitFailure;
}

}  // namespace

int main(int argc, char** argv) { return gfx::GfxRun(PlayInBrowser, argc, argv); }

// What the page calls to let a file the player chose into a slot.
extern "C" {

// Returns where the page puts the length bytes of a file to check, or null when no saved game is
// that long (the page then refuses it unread).
EMSCRIPTEN_KEEPALIVE char* umb_save_buffer(int length) {
    if (length < 0 || static_cast<size_t>(length) > engine::MaxSavedGameSize) return nullptr;
    std::string& file = ThePageGame().file;
    file.assign(static_cast<size_t>(length), '\0');
    return file.data();
}

// Returns what the bytes put at umb_save_buffer are to the game loaded: an engine::SaveFit, or
// NoGameLoaded.
EMSCRIPTEN_KEEPALIVE int umb_check_save() {
    constexpr int NoGameLoaded = -1;
    const PageGame& game = ThePageGame();
    if (!game.loaded) return NoGameLoaded;
    return static_cast<int>(engine::CheckSaveFit(game.tables, game.file));
}
}
