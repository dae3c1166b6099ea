// explore.cpp - umb --explore: the game compiled, explored, and what was never seen reported in
// the form editors read; each way the game ends written as a key script beside it.
#include "app/explore.h"

#include "app/startup.h"
#include "app/walkthrough.h"
#include "app/workbench.h"
#include "app/world.h"
#include "base/fileio.h"
#include "db/codes.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <unistd.h>

using namespace umb::db;
using namespace umb::compiler;

namespace umb::app {

namespace fs = std::filesystem;

namespace {

const char* KindName(EndKind k) {
    static const char* const names[] = {"won", "lost", "ended", "quit"};
    return names[static_cast<int>(k)];
}

// "FOLDER/FILE:LINE: " for a place in the sources, "" for none.
std::string Where(const CheckLog& log, const std::string& folder, const SourcePlace& p) {
    if (p.file < 0 || static_cast<size_t>(p.file) >= log.files.size()) return "";
    const fs::path file = (fs::path(folder) / log.files[static_cast<size_t>(p.file)]);
    return file.lexically_normal().string() + ":" + std::to_string(p.line) + ": ";
}

SourcePlace PlaceOf(const std::vector<SourcePlace>& places, int n) {
    return n >= 0 && static_cast<size_t>(n) < places.size() ? places[static_cast<size_t>(n)]
                                                            : SourcePlace{};
}

std::string LocationName(const GameDatabase& db, int n) {
    const char* name = n >= 0 && static_cast<size_t>(n) < db.Locations.size()
                           ? TextOf(db, db.Locations[static_cast<size_t>(n)].name)
                           : nullptr;
    return "location " + std::to_string(n) +
           (name != nullptr ? std::string(" (") + name + ")" : "");
}

void PrintLocations(const GameDatabase& db, const CheckLog& log, const std::string& folder,
                    const ExploreReport& r) {
    WorldFacts world;
    AnalyseWorld(db, world);
    int places = 0, reached = 0;
    for (size_t n = 1; n < db.Locations.size() && n < r.visited.size(); ++n)
        if (TextOf(db, db.Locations[n].name) != nullptr) {
            ++places;
            reached += r.visited[n];
        }
    std::printf("Locations: %d of %d reached\n", reached, places);
    for (size_t n = 1; n < db.Locations.size() && n < r.visited.size(); ++n) {
        if (r.visited[n] != 0 || TextOf(db, db.Locations[n].name) == nullptr) continue;
        const int i = static_cast<int>(n);
        const std::string at = Where(log, folder, PlaceOf(log.locations, i));
        if (n < world.reachable.size() && world.reachable[n] != 0)
            std::printf("%snote: %s never reached, though the exits lead there from the start "
                        "(a puzzle left unsolved?)\n",
                        at.c_str(), LocationName(db, i).c_str());
        else
            std::printf("%swarning: %s never reached: no exit leads there\n", at.c_str(),
                        LocationName(db, i).c_str());
    }
}

void PrintObjects(const GameDatabase& db, const CheckLog& log, const std::string& folder,
                  const ExploreReport& r) {
    std::vector<size_t> missed;
    size_t takeable = 0;
    for (size_t n = 1; n < db.Objects.size() && n < r.taken.size(); ++n) {
        const ObjectRecord& o = db.Objects[n];
        if (o.name == NoText || (o.attributes & AttrTakeable) == 0) continue;
        ++takeable;
        if (r.taken[n] == 0) missed.push_back(n);
    }
    std::printf("Objects: %zu of %zu that can be taken were taken\n", takeable - missed.size(),
                takeable);
    for (const size_t n : missed)
        std::printf("%snote: object %zu (%s) never taken\n",
                    Where(log, folder, PlaceOf(log.objects, static_cast<int>(n))).c_str(), n,
                    TextOf(db, db.Objects[n].name));
}

// Marks the messages printed by the action lines that ran.
void MarkPrinted(const std::vector<ScriptLine>& table, const std::vector<uint32_t>& ran,
                 std::vector<uint8_t>& printed) {
    for (size_t i = 0; i < table.size() && i < ran.size(); ++i) {
        if (ran[i] == 0 || table[i].kind != KindAction) continue;
        for (int s = 0; s < ScriptSlots; ++s) {
            const int n = table[i].operandA[s];
            if (table[i].ops[s] == CodeByte(ActionCode::Message) && n >= 0 &&
                static_cast<size_t>(n) < printed.size())
                printed[static_cast<size_t>(n)] = 1;
        }
    }
}

void PrintMessages(const GameDatabase& db, const CheckLog& log, const std::string& folder,
                   const ExploreReport& r) {
    std::vector<uint8_t> printed(db.Messages.size(), 0);
    MarkPrinted(db.Events, r.coverage.eventsRan, printed);
    MarkPrinted(db.Actions, r.coverage.actionsRan, printed);
    std::vector<size_t> missed;
    size_t defined = 0;
    for (size_t n = 0; n < db.Messages.size(); ++n) {
        if (TextOf(db, db.Messages[n]) == nullptr) continue;
        ++defined;
        if (printed[n] == 0) missed.push_back(n);
    }
    std::printf("Messages: %zu of %zu printed\n", defined - missed.size(), defined);
    for (const size_t n : missed)
        std::printf("%snote: message %zu never printed\n",
                    Where(log, folder, PlaceOf(log.messages, static_cast<int>(n))).c_str(), n);
}

void PrintCoverage(const GameDatabase& db, const CheckLog& log, const std::string& folder,
                   const ExploreReport& r) {
    LineCounts events, actions;
    CountSection(db.Events, log.events, log.files, r.coverage.eventsReached, r.coverage.eventsRan,
                 events);
    CountSection(db.Actions, log.actions, log.files, r.coverage.actionsReached,
                 r.coverage.actionsRan, actions);
    std::map<std::string, std::vector<std::string>> sources;
    ReportSection("Events", events, folder, sources);
    ReportSection("Actions", actions, folder, sources);
}

void PrintOverLimit(const GameDatabase& db, const CheckLog& log, const std::string& folder,
                    const ExploreReport& r, const ExploreOptions& o) {
    std::printf("Turns over the time limit of %d ms: %zu%s\n", o.turnLimitMs, r.overLimit.size(),
                r.gaveUp ? " (the explorer gave up there)" : "");
    for (const ExploreTurn& t : r.overLimit)
        std::printf("%swarning: \"%s\" at %s never ended and was stopped (game %d, command %d; "
                    "--seed %u)\n",
                    Where(log, folder, PlaceOf(log.locations, t.location)).c_str(),
                    t.command.c_str(), LocationName(db, t.location).c_str(), t.game, t.number,
                    o.seed);
}

// The source's own name: the built-in quit has no line of its own.
std::string SourceName(const CheckLog& log, const std::string& folder) {
    const fs::path source = fs::path(folder) / (log.files.empty() ? "" : log.files[0]);
    return source.lexically_normal().string();
}

void PrintEndings(const CheckLog& log, const std::string& folder, const ExploreReport& r,
                  const std::vector<std::string>& keysWritten) {
    std::printf("Game ends: %zu\n", r.endings.size());
    for (size_t i = 0; i < r.endings.size(); ++i) {
        const ExploreEnding& e = r.endings[i];
        const std::string at =
            e.line < 0 ? SourceName(log, folder) + ": "
                       : Where(log, folder, PlaceOf(e.events ? log.events : log.actions, e.line));
        std::printf("%snote: %s in %d command%s", at.c_str(), KindName(e.kind), e.commands,
                    e.commands == 1 ? "" : "s");
        if (e.found != e.commands) std::printf(", cut down from %d", e.found);
        std::printf(" (game %d; reached %d time%s)", e.game, e.times, e.times == 1 ? "" : "s");
        if (!e.lastMessage.empty()) std::printf(": \"%s\"", e.lastMessage.c_str());
        if (i < keysWritten.size() && !keysWritten[i].empty())
            std::printf("; wrote %s", keysWritten[i].c_str());
        std::printf("\n");
    }
}

void PrintSlowest(const GameDatabase& db, const ExploreReport& r) {
    std::printf("Slowest turns:\n");
    for (const ExploreTurn& t : r.slowest)
        std::printf("  %8.3f ms  \"%s\" at %s (game %d, command %d)\n", t.seconds * 1000,
                    t.command.c_str(), LocationName(db, t.location).c_str(), t.game, t.number);
}

}  // namespace

std::string EndingKeysName(const std::string& game, const std::vector<ExploreEnding>& endings,
                           size_t index) {
    int same = 0;
    for (size_t i = 0; i <= index && i < endings.size(); ++i)
        same += endings[i].kind == endings[index].kind ? 1 : 0;
    std::string name = game + "-explore-" + KindName(endings[index].kind);
    if (same > 1) name += "-" + std::to_string(same);
    return name + ".keys";
}

void PrintExploreReport(const GameDatabase& db, const CheckLog& log, const std::string& folder,
                        const ExploreReport& r, const ExploreOptions& o,
                        const std::vector<std::string>& keysWritten, bool times) {
    std::printf("%s: explored %ld command%s in %d game%s, seed %u", SourceName(log, folder).c_str(),
                r.commands, r.commands == 1 ? "" : "s", r.games, r.games == 1 ? "" : "s", o.seed);
    if (times && r.seconds > 0)
        std::printf(" (%.2f s, %.0f commands/s)", r.seconds,
                    static_cast<double>(r.commands) / r.seconds);
    std::printf("\n");
    PrintLocations(db, log, folder, r);
    PrintObjects(db, log, folder, r);
    PrintMessages(db, log, folder, r);
    PrintCoverage(db, log, folder, r);
    PrintOverLimit(db, log, folder, r, o);
    PrintEndings(log, folder, r, keysWritten);
    if (times) PrintSlowest(db, r);
}

namespace {

// Compiles the source from within its folder, where included files are found, noting where each
// thing was written. Returns the compile's result.
CompileResult CompileForExplore(GameDatabase& db, const fs::path& folder, const std::string& game,
                                CheckLog& log) {
    const fs::path before = fs::current_path();
    std::error_code ec;
    fs::current_path(folder, ec);
    if (ec) return CompileResult::Unreadable;
    CompileResult result = CompileResult::Unreadable;
    const std::string source = game + ".adv";
    if (FILE* file = std::fopen(source.c_str(), "r"); file != nullptr) {
        Compiler c;
        BeginCompile(c, db);
        c.Out = nullptr;  // --check says it in words when the source has errors
        c.Check = &log;
        result = CompileSourceFile(c, file, source.c_str());
        std::fclose(file);
    }
    fs::current_path(before, ec);
    return result;
}

// Writes each ending's key script beside the game; returns the names written ("" where not).
std::vector<std::string> WriteEndings(const ExploreReport& r, const fs::path& folder,
                                      const std::string& game) {
    std::vector<std::string> written;
    for (size_t i = 0; i < r.endings.size(); ++i) {
        const fs::path path = folder / EndingKeysName(game, r.endings, i);
        const std::string& keys = r.endings[i].keys;
        if (base::WriteFileAtomically(path.string(), keys.data(), keys.size()) ==
            base::WriteResult::Ok) {
            written.push_back(path.lexically_normal().string());
        } else {
            std::fprintf(stderr, "Cannot write file %s!\n", path.c_str());
            written.emplace_back();
        }
    }
    return written;
}

}  // namespace

std::string MakeExploreScratch() {
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string pattern = std::string(base) + "/umb-explore-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) return pattern;
    }
    return "";
}

int RunExplore(const Startup& s) {
    const fs::path name(s.GameName);
    const fs::path folder = name.has_parent_path() ? name.parent_path() : fs::path(".");
    const std::string game = name.filename().string();
    GameDatabase db;
    if (AllocateTextHeap(db) != DbResult::Ok || ResetDatabase(db) != DbResult::Ok) {
        std::fprintf(stderr, "Error: Memory Allocation Error, Cannot Continue!\n");
        return ExitFailure;
    }
    CheckLog log;
    const CompileResult compiled = CompileForExplore(db, folder, game, log);
    if (compiled == CompileResult::Unreadable) {
        std::fprintf(stderr, "Cannot read file %s.adv!\n", s.GameName.c_str());
        return ExitFailure;
    }
    if (compiled == CompileResult::Errors) {
        // The diagnostics as --check prints them run from the game's folder, where the explorer
        // compiled it and its included files are found.
        Startup inFolder = s;
        inFolder.GameName = game;
        const fs::path before = fs::current_path();
        std::error_code ec;
        fs::current_path(folder, ec);
        RunCheck(inFolder);
        fs::current_path(before, ec);
        return ExitFailure;
    }
    const std::string work = MakeExploreScratch();
    if (work.empty()) {
        std::fprintf(stderr, "cannot make a scratch folder in /tmp\n");
        return ExitFailure;
    }
    ExploreOptions o;
    o.seed = s.Seeded ? s.Seed : 1;
    o.steps = s.ExploreSteps;
    if (s.TimeoutGiven) o.turnLimitMs = s.TimeoutSeconds * 1000;
    ExploreReport r;
    ExploreGame(db, work, o, r);
    std::error_code ec;
    fs::remove_all(work, ec);
    const std::vector<std::string> written = WriteEndings(r, folder, game);
    PrintExploreReport(db, log, folder.string(), r, o, written, true);
    return ExitSuccess;
}

}  // namespace umb::app
