// fuzz_common.h - what the fuzz targets share: checks that abort, a private folder, a headless
// screen whose questions always get answered, a loaded adventure and the game state.
#pragma once

#include "compiler/compiler.h"
#include "db/gamefile.h"
#include "engine/engine.h"
#include "ui/window/screen.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

using namespace umb::db;
using namespace umb::compiler;
using namespace umb::gfx;
using namespace umb::ui;
using namespace umb::engine;

// A broken invariant is a finding like a crash: say which and abort, so libFuzzer keeps the input.
inline void FuzzCheck(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Goes into a fresh folder of its own, so the files a target writes (saved games, pictures,
// compiled games) stay out of the working tree and away from parallel runs.
// The folder goes when the run ends normally; after a finding it stays for a look.
inline void FuzzEnterTempFolder() {
    static char dir[] = "/tmp/umb-fuzz-XXXXXX";
    FuzzCheck(mkdtemp(dir) != nullptr && chdir(dir) == 0, "a temporary folder");
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    });
}

// The headless driver with transcripts thrown away. Once the keys of a call run out, every
// question is answered from a cycle of Escape, the no letter, Enter, "1" and the yes letter:
// whatever a prompt waits for comes round, so no call waits for ever or ends the process.
inline FILE* FuzzSink() {
    static FILE* sink = std::fopen("/dev/null", "w");
    return sink;
}

inline void FuzzHeadless(const GameDatabase& db) {
    GfxUseHeadless(true);
    GfxSetHeadlessStreams(nullptr, FuzzSink());
    const char answers[] = {KeyEscape, db.NoLetter, KeyEnter, '1', db.YesLetter};
    GfxSetHeadlessEndKeys(answers, sizeof answers);
}

// The keys the next calls read, before the answer cycle takes over.
inline void FuzzKeys(const std::string& keys) {
    static std::string held;
    static FILE* in = nullptr;
    if (in != nullptr) std::fclose(in);
    held = keys;
    in = held.empty() ? std::fopen("/dev/null", "rb") : fmemopen(held.data(), held.size(), "rb");
    FuzzCheck(in != nullptr, "a key stream");
    GfxSetHeadlessStreams(in, FuzzSink());
}

// Compiles one of the adventures under fuzz/data into db, which gets its heap here.
inline void FuzzLoadAdventure(GameDatabase& db, const char* name) {
    FuzzCheck(AllocateTextHeap(db) == DbResult::Ok, "the text heap");
    ResetDatabase(db);
    const std::string path = std::string(UMB_FUZZ_DATA) + "/" + name;
    FILE* f = std::fopen(path.c_str(), "rb");
    FuzzCheck(f != nullptr, "the adventure source");
    Compiler c;
    BeginCompile(c, db);
    const CompileResult result = CompileSourceFile(c, f, path.c_str());
    std::fclose(f);
    FuzzCheck(result == CompileResult::Clean, "the adventure compiles cleanly");
}

// Named objects 0 to LastObject whose effective location is carried or worn: what CarriedCount
// must be (a record without a name is no object), counted here apart from the engine.
inline int ExpectedCarried(const Game& g) {
    int n = 0;
    for (int i = 0; i <= g.Db->LastObject; ++i) {
        const int16_t where = ObjectLocation(g, i);
        if (TextOf(*g.Db, ObjectAt(g, i).name) != nullptr && (where == Carried || where == Worn))
            ++n;
    }
    return n;
}

// The whole game state: the database image (every table with its run-time fields, the settings,
// the texts) and the saved-game image (which adds the current location and the carried count).
inline std::string GameState(const Game& g) {
    const std::vector<uint8_t> image = BuildGameImage(*g.Db);
    return std::string(image.begin(), image.end()) + BuildSavedGame(g);
}

// The adventure the engine targets play, on the headless screen, in a folder of its own.
struct FuzzGame {
    GameDatabase db;
    WindowState screen;
    Game g;
};

inline void FuzzStartGame(FuzzGame& f) {
    FuzzEnterTempFolder();
    FuzzLoadAdventure(f.db, "play.adv");
    FuzzHeadless(f.db);
    f.g.Db = &f.db;
    f.g.Front = {&WindowFrontEnd, &f.screen};
    f.g.GameName = "fuzz";
    OpenGameScreen(f.g);
}
