// fuzz_turn.cpp - fuzzes typed lines: each line of the input is parsed and played as one turn.
#include "fuzz_common.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr int MaxTurns = 8;  // enough for a few moves in a row; more only slows each run

FuzzGame play;
Game& g = play.g;

// One turn as the game loop plays it: parse, the action runner (with the built-ins), events.
// Returns false when the turn ended the game.
bool PlayTurn(char* line) {
    int verb = -1, noun = -1, noun2 = -1, noun3 = -1;
    const int words = ParseInput(g, line, &verb, &noun, &noun2, &noun3);
    FuzzCheck(words >= 0 && words <= 4, "ParseInput counts at most four words");
    FuzzCheck(verb >= 0 && noun >= 0 && noun2 >= 0 && noun3 >= 0, "ParseInput sets every word");
    const TurnResult result = RunActions(g, verb, noun, noun2, noun3);
    FuzzCheck(g.CarriedCount == ExpectedCarried(g), "CarriedCount after the action runner");
    if (result == TurnResult::Quit) return false;
    const EventsResult events =
        result == TurnResult::NoTime ? EventsResult::FlagClear : RunEvents(g, ScriptMode::Normal);
    FuzzCheck(g.CarriedCount == ExpectedCarried(g), "CarriedCount after the event runner");
    if (events == EventsResult::Quit) return false;
    DescribeLocation(g, g.CurrentLocation);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzStartGame(play);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Saved games of earlier inputs would make this one depend on them.
    for (int slot = 1; slot <= 9; ++slot) std::remove(SaveFileName(g.GameName, slot).c_str());
    FuzzKeys("");
    NewGame(g);
    FuzzCheck(g.CarriedCount == ExpectedCarried(g), "CarriedCount after a new game");

    size_t at = 0;
    for (int turn = 0; turn < MaxTurns && at < size; ++turn) {
        const auto* start = reinterpret_cast<const char*>(data) + at;
        const auto* nl = static_cast<const char*>(std::memchr(start, '\n', size - at));
        const size_t len = nl != nullptr ? static_cast<size_t>(nl - start) : size - at;
        at += len + 1;
        // The line editor keeps at most InputLineLength characters; the parser sees no more.
        char line[InputLineLength + 1];
        const size_t kept = len < InputLineLength ? len : InputLineLength;
        std::memcpy(line, start, kept);
        line[kept] = '\0';
        if (line[0] == '\0') continue;
        if (!PlayTurn(line)) break;
    }
    return 0;
}
