// fuzz_restore.cpp - fuzzes restoring a saved game: the bytes are the slot file the player picks.
#include "fuzz_common.h"

#include <cstddef>
#include <cstdint>

namespace {

FuzzGame play;
Game& g = play.g;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzStartGame(play);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(SaveFileName(g.GameName, 1).c_str(), "wb");
    FuzzCheck(f != nullptr, "the slot file opens");
    FuzzCheck(std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0, "the slot file");

    FuzzKeys("");
    NewGame(g);  // the answer cycle declines its offer of a restore
    FuzzCheck(g.CarriedCount == ExpectedCarried(g), "CarriedCount after a new game");
    const std::string before = GameState(g);

    FuzzKeys("1");
    if (!RestoreGame(g)) {
        FuzzCheck(GameState(g) == before, "a refused saved game leaves the state unchanged");
        return 0;
    }
    FuzzCheck(g.CarriedCount == ExpectedCarried(g), "CarriedCount after a restore");
    // What was restored saves and restores to itself.
    const std::string after = GameState(g);
    FuzzCheck(ApplySavedGame(g, BuildSavedGame(g)) == umb::base::ReadResult::Ok,
              "a saved state restores");
    FuzzCheck(GameState(g) == after, "save and restore give the same state back");
    return 0;
}
