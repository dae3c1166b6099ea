// frontends.cpp - the front ends by name, made from the player's options.
#include "ui/frontends.h"

#include "ui/window/screen.h"
#include "ui/term/term_front.h"

#include <unistd.h>

namespace umb::ui {

namespace {

// Each front end: its table, and how its state is made for the player's options. A new front
// end is one line here and its own folder.
struct FrontEndKind {
    const engine::FrontEnd* table;
    std::shared_ptr<void> (*make)(const FrontOptions& o);
};

std::shared_ptr<void> MakeWindow(const FrontOptions& o) {
    auto s = std::make_shared<WindowState>();
    s->NoPictures = o.NoPictures;
    return s;
}

std::shared_ptr<void> MakeTerminal(const FrontOptions& o) {
    auto s = std::make_shared<TerminalState>();
    s->Options = o;
    return s;
}

const FrontEndKind Window = {&WindowFrontEnd, MakeWindow};
const FrontEndKind Terminal = {&TerminalFrontEnd, MakeTerminal};

void Make(const FrontEndKind& kind, const FrontOptions& o, engine::FrontHandle& handle,
          std::shared_ptr<void>& state) {
    state = kind.make(o);
    handle = {kind.table, state.get()};
}

}  // namespace

ChosenFronts ChooseFrontEnds(const FrontOptions& o) {
    ChosenFronts c;
    if (o.Terminal) {
        Make(Terminal, o, c.front, c.frontState);
        return c;
    }
    Make(Window, o, c.front, c.frontState);
    if (isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1)
        Make(Terminal, o, c.fallback, c.fallbackState);
    return c;
}

}  // namespace umb::ui
