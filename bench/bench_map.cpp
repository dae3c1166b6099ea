// bench_map.cpp - times the map of a 1,000-location world, compile to SVG, against 10 seconds.
#include "app/map.h"
#include "compiler/compiler.h"
#include "db/database.h"
#include "maxsource.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace umb::db;
using namespace umb::compiler;
using namespace umb::app;

namespace {

constexpr double TargetSeconds = 10.0;
constexpr int Width = 40;  // the generated world is a 40 x 25 grid

using Clock = std::chrono::steady_clock;

// A grid whose neighbours are joined both ways, with a diagonal now and then, one-way drops,
// dark places, an island no exit reaches and exits to numbers no location has, so that every
// kind of place and arrow the map draws is in it.
std::string GenerateWorld(int locations) {
    std::string s = "[System]\nStartLocation=1\n[Directions]\n#1,north\n#2,south\n#3,east\n"
                    "#4,west\n#5,up\n#6,down\n#7,northeast\n#8,northwest\n#9,southeast\n"
                    "#10,southwest\n[Locations]\n#0,Darkness,,0\n";
    for (int n = 1; n <= locations; ++n) {
        const int x = (n - 1) % Width;
        const int y = (n - 1) / Width;
        auto at = [&](int dx, int dy) {
            const int tx = x + dx;
            const int ty = y + dy;
            const int to = ty * Width + tx + 1;
            return tx < 0 || tx >= Width || ty < 0 || to > locations ? 0 : to;
        };
        const uint64_t r = Mix(static_cast<uint64_t>(n));
        int exits[10] = {at(0, -1), at(0, 1), at(1, 0), at(-1, 0), 0, 0, 0, 0, 0, 0};
        if (r % 7 == 0) exits[6] = at(1, -1);
        if (r % 11 == 0) exits[5] = static_cast<int>(r % static_cast<uint64_t>(locations)) + 1;
        if (r % 97 == 0) exits[4] = locations + 50;  // leads nowhere
        if (n > locations - 5) std::fill(std::begin(exits), std::end(exits), 0);
        s += "#" + std::to_string(n) + ",P" + Base36(n) + ",," + (r % 13 == 0 ? "1" : "0");
        for (const int e : exits) s += "," + std::to_string(e);
        s += "\n";
    }
    s += "[Actions]\nat 3 exit 5 9\nsubst 20 21\n";
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    int locations = 1000;
    if (argc == 3 && std::strcmp(argv[1], "--locations") == 0) locations = std::atoi(argv[2]);
    if (locations < 1 || locations > 32766) {
        std::fprintf(stderr, "usage: %s [--locations N]   (1 to 32766, default 1000)\n", argv[0]);
        return 1;
    }
    const std::string source = GenerateWorld(locations);
    const Clock::time_point start = Clock::now();
    GameDatabase db;
    if (AllocateTextHeap(db) != DbResult::Ok) {
        std::fprintf(stderr, "cannot allocate the text heap\n");
        return 1;
    }
    ResetDatabase(db);
    Compiler c;
    BeginCompile(c, db);
    c.Out = std::tmpfile();  // a larger world than the text heap holds says so line by line
    if (c.Out == nullptr) {
        std::perror("tmpfile");
        return 1;
    }
    const CompileResult compiled = CompileSource(c, source.data(), source.size(), "world.adv");
    std::fclose(c.Out);
    if (compiled != CompileResult::Clean) {
        std::printf("FAIL: the generated world does not compile cleanly\n");
        return 1;
    }
    MapImages images;
    if (RenderMap(db, false, images) != MapResult::Drawn) {
        std::printf("FAIL: no map was drawn\n");
        return 1;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double ratio = seconds / TargetSeconds;
    std::printf("map of %d locations: %.2f s, %zu bytes of SVG, ratio %.2f (target <= 1.00 of "
                "%.0f s): %s\n",
                locations, seconds, images.svg.size(), ratio, TargetSeconds,
                ratio <= 1.0 ? "OK" : "SLOW");
    return 0;
}
