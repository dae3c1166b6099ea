// bench_compile.cpp - times compile + write of the maximum-size source against gzip -6, and the
// author's check of it against its plain compile.
#include "app/workbench.h"
#include "compiler/compiler.h"
#include "db/database.h"
#include "db/gamefile.h"
#include "maxsource.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

using namespace umb::db;
using namespace umb::compiler;

extern char** environ;

namespace {

constexpr double TargetRatio = 2.0;
constexpr double CheckTargetRatio = 3.0;  // --check against the plain compile

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

long FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

struct CompileTiming {
    double compileMs = 0;
    double writeMs = 0;
    CompileResult result = CompileResult::Clean;  // what CompileSourceFile returned
    umb::base::WriteResult writeResult = umb::base::WriteResult::Ok;  // what WriteGameFile returned
};

// One run as the program's compile mode does it: reset, compile the file, write the game file.
CompileTiming CompileAndWrite(GameDatabase& db, const std::string& advPath,
                              const std::string& umbPath, FILE* diagnostics) {
    CompileTiming t;
    Clock::time_point start = Clock::now();
    ResetDatabase(db);
    Compiler c;
    BeginCompile(c, db);
    c.Out = diagnostics;
    FILE* f = std::fopen(advPath.c_str(), "r");
    if (f == nullptr) {
        t.result = CompileResult::Unreadable;
        return t;
    }
    t.result = CompileSourceFile(c, f, "max.adv");
    std::fclose(f);
    t.compileMs = MillisecondsSince(start);
    Clock::time_point written = Clock::now();
    t.writeResult = WriteGameFile(db, umbPath.c_str());
    t.writeMs = MillisecondsSince(written);
    return t;
}

// Runs gzip -6 -c on the image with its output thrown away; returns the wall time of the whole
// child, or a negative value when gzip could not be run or failed.
double TimeGzip(const std::string& imgPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string arg0 = "gzip", arg1 = "-6", arg2 = "-c", arg3 = imgPath;
    char* argv[] = {arg0.data(), arg1.data(), arg2.data(), arg3.data(), nullptr};

    Clock::time_point start = Clock::now();
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, "gzip", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    double ms = MillisecondsSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return ms;
}

// Shows the start of what the compiler reported, so a broken source is easy to diagnose.
void ShowDiagnostics(FILE* diagnostics, int maxLines) {
    std::fflush(diagnostics);
    std::rewind(diagnostics);
    char line[600];
    int shown = 0;
    while (shown < maxLines && std::fgets(line, sizeof line, diagnostics) != nullptr) {
        std::fputs(line, stdout);
        ++shown;
    }
    if (shown == maxLines) std::printf("...\n");
}

struct ScriptCensus {
    long statements = 0;
    long unresolved = 0;  // name operands that compiled to 0
};

// Whether the first operand of a statement may be a verb, noun or variable name.
bool TakesName(int code, bool condition) {
    using C = ConditionCode;
    using A = ActionCode;
    if (condition) {
        for (C c :
             {C::Verb, C::Noun, C::Noun2, C::Noun3, C::AnyNoun, C::Equal, C::Less, C::Greater})
            if (code == CodeByte(c)) return true;
        return false;
    }
    for (A a : {A::Set, A::Add, A::Sub, A::MultipleChoice, A::YesNoChoice})
        if (code == CodeByte(a)) return true;
    return false;
}

// Every verb, noun and variable that the generated scripts name is declared before them, so a
// name operand of 0 means a lookup went wrong.
void CountStatements(const std::vector<ScriptLine>& table, int count, ScriptCensus& census) {
    for (int i = 0; i < count; ++i) {
        const ScriptLine& line = table[static_cast<size_t>(i)];
        bool condition = line.kind == KindIf || line.kind == KindAnd || line.kind == KindOr ||
                         line.kind == KindWhile;
        for (int slot = 0; slot < ScriptSlots; ++slot) {
            int code = line.ops[slot];
            if (code == EmptySlot) continue;
            ++census.statements;
            if (code < 0) code = -code;
            if (TakesName(code, condition) && line.operandA[slot] == 0) ++census.unresolved;
        }
    }
}

void RemoveTemporaries(const std::string& dir, const std::vector<std::string>& files) {
    for (const std::string& f : files) std::remove(f.c_str());
    rmdir(dir.c_str());
}

void Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--runs N] [--keep]\n", program);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
            if (runs < 1) runs = 1;
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            Usage(argv[0]);
            return 2;
        }
    }

    char dirTemplate[] = "/tmp/umb-bench-XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = dirTemplate;
    const std::string advPath = dir + "/max.adv";
    const std::string umbPath = dir + "/max.umb";
    const std::string imgPath = dir + "/max.img";
    const std::vector<std::string> temporaries = {advPath, umbPath, imgPath};

    Clock::time_point genStart = Clock::now();
    MaxSourceStats expected;
    const std::string source = GenerateMaxSource(&expected);
    const double genMs = MillisecondsSince(genStart);
    if (!WriteWholeFile(advPath, source.data(), source.size())) {
        std::fprintf(stderr, "cannot write %s\n", advPath.c_str());
        RemoveTemporaries(dir, temporaries);
        return 1;
    }
    std::printf("max source: %zu bytes, %zu lines, generated in %.1f ms (%s)\n", source.size(),
                expected.lines, genMs, advPath.c_str());

    GameDatabase db;
    if (AllocateTextHeap(db) != DbResult::Ok) {
        std::fprintf(stderr, "cannot allocate the text heap\n");
        RemoveTemporaries(dir, temporaries);
        return 1;
    }
    FILE* diagnostics = std::tmpfile();
    if (diagnostics == nullptr) {
        std::perror("tmpfile");
        RemoveTemporaries(dir, temporaries);
        return 1;
    }

    // Compile + write, best of N. Every run must be clean: a diagnostic means the source is not
    // the maximal clean source this benchmark is about.
    CompileTiming best;
    double bestTotal = 0;
    for (int run = 0; run < runs; ++run) {
        CompileTiming t = CompileAndWrite(db, advPath, umbPath, diagnostics);
        if (t.result != CompileResult::Clean) {
            std::printf("FAIL: the compile returned %d; the compiler reported:\n",
                        static_cast<int>(t.result));
            ShowDiagnostics(diagnostics, 40);
            std::fclose(diagnostics);
            if (!keep) RemoveTemporaries(dir, temporaries);
            return 1;
        }
        if (t.writeResult != umb::base::WriteResult::Ok) {
            std::printf("FAIL: WriteGameFile returned %d for %s\n", static_cast<int>(t.writeResult),
                        umbPath.c_str());
            std::fclose(diagnostics);
            if (!keep) RemoveTemporaries(dir, temporaries);
            return 1;
        }
        double total = t.compileMs + t.writeMs;
        if (run == 0 || total < bestTotal) {
            best = t;
            bestTotal = total;
        }
    }
    std::fclose(diagnostics);

    // The database of the last run shows that the source is maximal.
    const int shows = db.LastShow;  // record 0 is never defined, so the count is LastShow
    std::printf("locations %d, objects %d, messages %d, shows %d, verb words %d, noun words %d, "
                "vars %d (placeholder included), events %d, actions %d\n",
                db.LastLocation + 1, db.LastObject, db.LastMessage, shows, db.VerbCount,
                db.NounCount, db.VarCount, db.EventCount, db.ActionCount);
    std::printf("text heap: %u of %u bytes used (%.1f%%)\n", db.TextHeapNext, TextHeapSize,
                100.0 * db.TextHeapNext / TextHeapSize);
    ScriptCensus census;
    CountStatements(db.Events, db.EventCount, census);
    CountStatements(db.Actions, db.ActionCount, census);
    std::printf("script statements: %ld, unresolved names: %ld\n", census.statements,
                census.unresolved);
    bool matches = census.unresolved == 0 && db.LastLocation + 1 == expected.locations &&
                   db.LastObject == expected.objects && db.LastMessage == expected.messages &&
                   shows == expected.shows && db.VerbCount == expected.verbWords &&
                   db.NounCount == expected.nounWords && db.VarCount == expected.variables + 1 &&
                   db.EventCount == expected.events && db.ActionCount == expected.actions &&
                   db.TextHeapNext == expected.heapNext;
    if (!matches) {
        std::printf("FAIL: expected no unresolved names, locations %d, objects %d, messages %d, "
                    "shows %d, verb words %d, noun words %d, vars %d, events %d, actions %d, "
                    "text heap %u\n",
                    expected.locations, expected.objects, expected.messages, expected.shows,
                    expected.verbWords, expected.nounWords, expected.variables + 1, expected.events,
                    expected.actions, expected.heapNext);
        if (!keep) RemoveTemporaries(dir, temporaries);
        return 1;
    }

    // gzip -6 on the same uncompressed image, best of N.
    const std::vector<uint8_t> image = BuildGameImage(db);
    if (!WriteWholeFile(imgPath, image.data(), image.size())) {
        std::fprintf(stderr, "cannot write %s\n", imgPath.c_str());
        if (!keep) RemoveTemporaries(dir, temporaries);
        return 1;
    }
    double bestGzip = -1;
    for (int run = 0; run < runs; ++run) {
        double ms = TimeGzip(imgPath);
        if (ms < 0) {
            std::printf("FAIL: could not run gzip -6 -c %s\n", imgPath.c_str());
            if (!keep) RemoveTemporaries(dir, temporaries);
            return 1;
        }
        if (bestGzip < 0 || ms < bestGzip) bestGzip = ms;
    }
    std::printf("image: %zu bytes uncompressed, max.umb %ld bytes\n", image.size(),
                FileSize(umbPath));

    const double ratio = bestTotal / bestGzip;
    std::printf("compile+write %.1f ms (compile %.1f + write %.1f), gzip -6 %.1f ms, "
                "ratio %.2f (target <= %.2f): %s\n",
                bestTotal, best.compileMs, best.writeMs, bestGzip, ratio, TargetRatio,
                ratio <= TargetRatio ? "OK" : "SLOW");

    // The check compiles with its findings recorded, then checks the world; best of N.
    double bestCheck = -1;
    size_t findings = 0;
    for (int run = 0; run < runs; ++run) {
        Clock::time_point start = Clock::now();
        CheckLog log;
        if (umb::app::CheckGame(advPath, log) != umb::app::CheckGameResult::Checked) {
            std::printf("FAIL: the check could not read %s\n", advPath.c_str());
            if (!keep) RemoveTemporaries(dir, temporaries);
            return 1;
        }
        const double ms = MillisecondsSince(start);
        findings = log.findings.size();
        if (bestCheck < 0 || ms < bestCheck) bestCheck = ms;
    }
    const double checkRatio = bestCheck / best.compileMs;
    std::printf("check %.1f ms (%zu findings), compile %.1f ms, ratio %.2f (target <= %.2f): %s\n",
                bestCheck, findings, best.compileMs, checkRatio, CheckTargetRatio,
                checkRatio <= CheckTargetRatio ? "OK" : "SLOW");

    if (keep)
        std::printf("files kept in %s\n", dir.c_str());
    else
        RemoveTemporaries(dir, temporaries);
    return 0;
}
