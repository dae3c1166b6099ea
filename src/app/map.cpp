// map.cpp - the author's tool for drawing maps (not built yet: says so and fails).
#include "app/workbench.h"

#include <cstdio>

namespace umb::app {

int RunMap(const Startup& s) {
    std::fprintf(stderr, "%s: drawing maps is not available in this build\n", s.GameName.c_str());
    return ExitFailure;
}

}  // namespace umb::app
