// main.cpp - the program's entry: the graphics layer runs the start-up on the game thread.
#include "app/startup.h"
#include "ui/gfx/gfx.h"

int main(int argc, char** argv) {
    // A game played in the terminal needs no window thread: the start-up runs on this one, and
    // what would be a message box goes to standard error.
    // Nor does the language server, which an editor talks to through standard input/output.
    if (umb::app::WantsTerminal(argc, argv) || umb::app::WantsLanguageServer(argc, argv))
        umb::gfx::GfxUseHeadless(true);
    return umb::gfx::GfxRun(umb::app::UmbMain, argc, argv);
}
