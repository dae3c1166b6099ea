// frontends.h - the front ends a player can choose, and the choosing.
#pragma once

#include "engine/frontend.h"

#include <memory>

namespace umb::ui {

// How the player asked to see the game: the command line's choices.
struct FrontOptions {
    bool Terminal = false;    // --tty or UMB_DRIVER=tty: the terminal, never the window
    bool Plain = false;       // --plain: the terminal's plain lines, for screen readers
    bool StatusTop = false;   // --status-top: the status line held on the terminal's top line
    bool NoPictures = false;  // --no-pictures
};

// The front ends made for one run: the one chosen and the one that stands in when it cannot be
// opened, with their states, which live as long as this does.
struct ChosenFronts {
    engine::FrontHandle front;
    engine::FrontHandle fallback;
    std::shared_ptr<void> frontState, fallbackState;
};

// Makes the front ends the options ask for: the terminal for o.Terminal; else the window, with
// the terminal standing in when standing input and output are both a terminal (over SSH, or on
// a console, there is no window but the player sits at a terminal).
ChosenFronts ChooseFrontEnds(const FrontOptions& o);

}  // namespace umb::ui
