// pictures.cpp - lists the picture files a compiled game names, for publishing it.
#include "app/workbench.h"

#include "db/gamefile.h"
#include "engine/engine.h"
#include "ui/window/picture.h"

#include <cstdio>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace umb::db;

namespace umb::app {

namespace {

// Reads the game as playing it would: the source compiled in memory (nothing written, its
// diagnostics left to --check), else the compiled game file. Returns 0, or -1 said on stderr.
int LoadGame(const Startup& s, GameDatabase& db) {
    if (AllocateTextHeap(db) != DbResult::Ok) {
        std::fprintf(stderr, "Memory Allocation Error, Cannot Continue!\n");
        return -1;
    }
    ResetDatabase(db);
    const std::string sourcePath = s.GameName + ".adv";
    const std::string gamePath = s.GameName + ".umb";
    if (FILE* file = std::fopen(sourcePath.c_str(), "r"); file != nullptr) {
        compiler::Compiler c;
        compiler::BeginCompile(c, db);
        c.Out = nullptr;
        const compiler::CompileResult result =
            compiler::CompileSourceFile(c, file, sourcePath.c_str());
        std::fclose(file);
        if (result == compiler::CompileResult::Clean || result == compiler::CompileResult::Warnings)
            return 0;
        if (result != compiler::CompileResult::Unreadable) {
            std::fprintf(stderr, "%s has errors (umb --check lists them): no pictures listed\n",
                         sourcePath.c_str());
            return -1;
        }
        ResetDatabase(db);  // an unreadable source is passed over as the game passes it over
    }
    const base::ReadResult read = ReadGameFile(db, gamePath.c_str());
    if (read == base::ReadResult::Ok) return 0;
    if (read == base::ReadResult::CannotOpen)
        std::fprintf(stderr, "Cannot find file %s nor file %s\n", sourcePath.c_str(),
                     gamePath.c_str());
    else
        std::fprintf(stderr, "File %s is damaged or is not a game file\n", gamePath.c_str());
    return -1;
}

// The shows a script can present: the operand of every "show" statement of both scripts (a
// negated slot of an action line does nothing, so it shows nothing).
std::set<int> ShownShows(const GameDatabase& db) {
    std::set<int> shown;
    for (const std::vector<ScriptLine>* script : {&db.Events, &db.Actions})
        for (const ScriptLine& line : *script) {
            if (line.kind != KindAction) continue;
            for (int slot = 0; slot < ScriptSlots; ++slot)
                if (line.ops[slot] == CodeByte(ActionCode::Show)) shown.insert(line.operandA[slot]);
        }
    return shown;
}

// Every picture path the game can open, in the order the tables name them, each once: the
// pictures of the locations (location 0's too, shown in the dark), then those of the shows a
// script presents. A show no script presents is never seen, so its picture is no part of it.
std::vector<std::string> GamePictures(const GameDatabase& db) {
    std::vector<TextRef> names;
    for (int n = 0; n <= db.LastLocation && static_cast<size_t>(n) < db.Locations.size(); ++n)
        names.push_back(db.Locations[static_cast<size_t>(n)].picture);
    for (const int n : ShownShows(db))
        if (n >= 0 && n <= db.LastShow && static_cast<size_t>(n) < db.Shows.size())
            names.push_back(db.Shows[static_cast<size_t>(n)].picture);
    std::vector<std::string> paths;
    std::set<std::string> seen;
    for (const TextRef name : names) {
        std::string path = engine::GamePicturePath(db, TextOf(db, name));
        if (!path.empty() && seen.insert(path).second) paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace

int RunPictureList(const Startup& s) {
    GameDatabase db;
    if (LoadGame(s, db) != 0) return ExitFailure;
    int missing = 0;
    for (const std::string& path : GamePictures(db)) {
        std::printf("%s\n", path.c_str());
        struct stat info {};
        // The game opens no path longer than it takes, nor a folder.
        const char* why = path.size() > ui::MaxPicturePath ? "is longer than the game opens"
                          : stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ? "is missing"
                                                                                     : nullptr;
        if (why == nullptr) continue;
        std::fflush(stdout);
        std::fprintf(stderr, "Picture %s %s\n", path.c_str(), why);
        ++missing;
    }
    return missing == 0 ? ExitSuccess : ExitFailure;
}

}  // namespace umb::app
