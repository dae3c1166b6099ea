// pictures.cpp - lists the picture files a compiled game names, for publishing it.
#include "app/workbench.h"

#include <cstdio>

namespace umb::app {

int RunPictureList(const Startup& s) {
    std::fprintf(stderr, "Listing the pictures of %s is not there yet\n", s.GameName.c_str());
    return ExitFailure;
}

}  // namespace umb::app
