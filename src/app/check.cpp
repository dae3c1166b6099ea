// check.cpp - the author's tool for checking (not built yet: says so and fails).
#include "app/workbench.h"

#include <cstdio>

namespace umb::app {

int RunCheck(const Startup& s) {
    std::fprintf(stderr, "%s: checking is not available in this build\n", s.GameName.c_str());
    return ExitFailure;
}

}  // namespace umb::app
