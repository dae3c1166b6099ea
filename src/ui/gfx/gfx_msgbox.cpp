// gfx_msgbox.cpp - message boxes; without a window system they are written to standard error.
#include "ui/gfx/gfx.h"

#include <cstdio>

void GfxMessageBox(const char* caption, const char* text) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}
