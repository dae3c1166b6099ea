// peergame.h - the same small world written for this program and as Inform 6 source, so that
// bench_peers compares like with like.
#pragma once

#include <string>

// A world of the given number of locations, each linked to the next by north and south, with
// one takeable object and a description in each location. Byte for byte the same on every call.
std::string GeneratePeerWorldAdv(int locations);
std::string GeneratePeerWorldInform(int locations);
