// debug.cpp - debug mode's "%" commands, which report object locations and variable values.
#include "engine/play.h"
#include "engine/show.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace umb::engine {

// Answers a line beginning with "%" on the message area's last line; any other line is left to
// the parser.
bool DebugCommand(Game& g, const char* line) {
    if (line == nullptr || line[0] != '%') return false;
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
    FrontShowReply(g, reply);
    return true;
}

}  // namespace umb::engine
