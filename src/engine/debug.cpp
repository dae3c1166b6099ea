// debug.cpp - debug mode's "%" commands, which report object locations and variable values.
#include "engine/engine.h"

#include "ui/frontend.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

using namespace umb::ui;

namespace umb::engine {

// Answers a line beginning with "%" on the message area's last line and returns 1; returns 0
// for any other line, which is left to the parser.
int DebugCommand(Game& g, const char* line) {
    if (line == nullptr || line[0] != '%') return 0;
    // Reads like the standard decimal conversion; a number beyond int is taken at int's limit.
    const long number = std::strtol(line + 1, nullptr, 10);
    const int n = number > INT_MAX   ? INT_MAX
                  : number < INT_MIN ? INT_MIN
                                     : static_cast<int>(number);

    char reply[96];
    if (n != 0)
        std::snprintf(reply, sizeof reply, "Obj. %d is %d, Flag %d = %d", n, ObjectLocation(g, n),
                      n, VarValue(g, n));
    else
        std::snprintf(reply, sizeof reply, "Location %d, Objects %d / %d", g.CurrentLocation,
                      g.CarriedCount, g.Db->MaxItems);
    FrontShowReply(*g.Screen, reply);
    return 1;
}

}  // namespace umb::engine
