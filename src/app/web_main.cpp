// web_main.cpp - the browser player's entry: plays the compiled game the page named.
//
// The page puts the game file, its pictures and the saved games into the file system and calls
// main with the game's name and folder ("/game/cave" plays /game/cave.umb). A browser player
// only plays: no source, no compiler, no switches.
#include "app/loadgame.h"
#include "app/startup.h"
#include "db/database.h"
#include "engine/engine.h"
#include "ui/frontends.h"
#include "ui/gfx/gfx.h"
#include "ui/page/page_front.h"

#include <cstdlib>
#include <ctime>
#include <string>

using namespace umb;

namespace {

// Returns an ExitStatus, as the program's own start-up does.
int PlayInBrowser(int argc, char** argv) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    const std::string gameName = argc >= 2 ? argv[1] : "";
    db::GameDatabase db;
    if (const std::string error = app::LoadCompiledGame(db, gameName); !error.empty()) {
        gfx::GfxMessageBox("Error", error.c_str());
        return app::ExitFailure;
    }
    const ui::ChosenFronts fronts = ui::ChooseFrontEnds({});
    // The window draws the canvas; the page's text view is told the same through the page's
    // front end, which stands in front of it.
    ui::PageFront page;
    page.inner = fronts.front;
    engine::PlayView view;
    view.Front = engine::FrontHandle{&ui::PageFrontEnd, &page};
    const engine::PlayResult played = engine::PlayGames(db, gameName, false, nullptr, view);
    if (played == engine::PlayResult::Stopped) return app::ExitStopped;  // the page says so
    return played == engine::PlayResult::Ended ? app::ExitSuccess : app::ExitFailure;
}

}  // namespace

int main(int argc, char** argv) { return gfx::GfxRun(PlayInBrowser, argc, argv); }
