// walkthrough.cpp - the author's tool for walkthrough tests (not built yet: says so and fails).
#include "app/workbench.h"

#include <cstdio>

namespace umb::app {

int RunWalkthroughs(const Startup& s) {
    std::fprintf(stderr, "%s: walkthrough tests is not available in this build\n",
                 s.GameName.c_str());
    return ExitFailure;
}

}  // namespace umb::app
