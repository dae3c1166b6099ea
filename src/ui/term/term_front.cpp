// term_front.cpp - the terminal front end (being built): it cannot be opened yet.
#include "ui/frontend.h"

#include <cstdio>

namespace umb::ui {

namespace {

int TerminalOpen(ScreenState& s, const char*) {
    std::snprintf(s.FrontFailure, sizeof s.FrontFailure, "this build has no terminal front end");
    return -1;
}

}  // namespace

const FrontEnd TerminalFrontEnd = {
    "terminal", TerminalOpen, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr,    nullptr,      nullptr, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace umb::ui
