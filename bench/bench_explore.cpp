// bench_explore.cpp - commands a second the explorer plays on the demo, against its target.
#include "app/explore.h"
#include "compiler/compiler.h"
#include "db/database.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

using namespace umb::db;
using namespace umb::compiler;

namespace fs = std::filesystem;

namespace {

constexpr double TargetCommandsPerSecond = 20000;
constexpr long Steps = 100000;
constexpr int Runs = 3;

// Compiles the demo from its folder, where its included file is found. Returns whether it did.
bool CompileDemo(GameDatabase& db) {
    const fs::path before = fs::current_path();
    fs::current_path(UMB_DEMO);
    bool ok = false;
    if (FILE* file = std::fopen("beacon.adv", "r"); file != nullptr) {
        Compiler c;
        BeginCompile(c, db);
        c.Out = nullptr;
        ok = CompileSourceFile(c, file, "beacon.adv") == CompileResult::Clean;
        std::fclose(file);
    }
    fs::current_path(before);
    return ok;
}

}  // namespace

int main() {
    GameDatabase db;
    if (AllocateTextHeap(db) != DbResult::Ok || ResetDatabase(db) != DbResult::Ok ||
        !CompileDemo(db)) {
        std::printf("FAIL: the demo does not compile\n");
        return 1;
    }
    const std::string scratch = umb::app::MakeExploreScratch();
    if (scratch.empty()) {
        std::printf("FAIL: no scratch folder\n");
        return 1;
    }
    double best = 0;
    umb::app::ExploreReport report;
    for (int run = 0; run < Runs; ++run) {
        umb::app::ExploreOptions options;
        options.steps = Steps;
        const auto start = std::chrono::steady_clock::now();
        umb::app::ExploreGame(db, scratch, options, report);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::max(best, static_cast<double>(report.commands) / seconds);
    }
    fs::remove_all(scratch);
    const double ratio = best / TargetCommandsPerSecond;
    std::printf("umb --explore of the demo: %.0f commands/s over %ld commands in %d games (best of "
                "%d), ratio %.2f (target >= 1.00 at %.0f commands/s): %s\n",
                best, report.commands, report.games, Runs, ratio, TargetCommandsPerSecond,
                ratio >= 1 ? "OK" : "TOO SLOW");
    return 0;
}
