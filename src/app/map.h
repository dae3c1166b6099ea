// map.h - the world's locations and exits as a picture, laid out and drawn by Graphviz.
#pragma once

#include "db/database.h"

#include <string>

namespace umb::app {

// Above this many locations the map is laid out by the force-directed engine: the layered one
// took 17 s on a 200-place grid.
constexpr int LayeredMapLimit = 100;

struct MapImages {
    std::string svg;
    std::string png;  // drawn only when asked for
};

// Returns 0 with the map of db's world in out (the PNG too when png is set); -1 when Graphviz
// could not lay it out or draw it, with its reason on standard error.
int RenderMap(const db::GameDatabase& db, bool png, MapImages& out);

}  // namespace umb::app
