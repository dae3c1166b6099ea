// map.h - the world's locations and exits as a picture, laid out and drawn by Graphviz.
#pragma once

#include "db/database.h"

#include <string>

namespace umb::app {

// Above this many locations the map is laid out by the force-directed engine: the layered one
// took 17 s on a 200-place grid.
constexpr int LayeredMapLimit = 100;

// The PNG's resolution; the SVG is drawn in points, 72 an inch.
constexpr double PngDotsPerInch = 144;

struct MapImages {
    std::string svg;
    std::string png;  // drawn only when asked for
};

// The locations the map shows: every numbered one the source defines (not the darkness, 0).
int CountPlaces(const db::GameDatabase& db);

// Whether a map was drawn, or Graphviz could not lay it out or draw it.
enum class MapResult : int { Drawn = 0, Failed = -1 };

// Returns Drawn with the map of db's world in out (the PNG too when png is set); Failed when
// Graphviz could not lay it out or draw it, with its reason on standard error.
MapResult RenderMap(const db::GameDatabase& db, bool png, MapImages& out);

}  // namespace umb::app
