// bench_walkthroughs.cpp - umb --test on the demo, played in process, against a child per play.
//
// Usage: bench_walkthroughs [runs]. The walkthroughs once played each in a headless child
// program (UMB_DRIVER=headless, the key script on its standard input, from a fresh copy of the
// game's folder); umb --test now plays them all in its own process. The child-per-play way is
// rebuilt here from the same steps: the source compiled once, then for each walkthrough and each
// form (source, compiled) a copied folder and a fork and exec of umb. The best of the runs of each
// is compared; the target is a run at least three times as fast.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double TargetRatio = 3.0;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs umb with args in folder, stdin from keys (empty: /dev/null), stdout to outPath and the
// extra environment set; returns its exit status, or -1.
int RunUmb(const fs::path& folder, const std::vector<std::string>& args, const fs::path& keys,
           const fs::path& outPath, const std::vector<std::string>& env) {
    std::vector<std::string> store = {UMB_BINARY};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : store) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        if (!freopen(keys.empty() ? "/dev/null" : keys.c_str(), "rb", stdin)) _exit(127);
        if (!freopen(outPath.c_str(), "wb", stdout)) _exit(127);
        if (!freopen("/dev/null", "wb", stderr)) _exit(127);
        for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
        execv(UMB_BINARY, argv.data());
        _exit(127);
    }
    if (pid < 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Walk {
    std::string name;
    fs::path keys;
    std::string transcript;
};

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The demo's walkthroughs played as umb --test once did: a child program per play. Returns the
// milliseconds taken, or -1 when a play did not give its blessed transcript.
double ChildPerPlay(const fs::path& demo, const std::vector<Walk>& walks, const fs::path& work) {
    const auto start = std::chrono::steady_clock::now();
    const fs::path compiled = work / "compiled";
    fs::remove_all(compiled);
    fs::copy(demo, compiled, fs::copy_options::recursive);
    if (RunUmb(compiled, {"-c", "beacon"}, "", work / "compile.out", {}) != 0) return -1;
    const std::vector<std::string> env = {"UMB_DRIVER=headless", "UMB_SEED=1"};
    for (const Walk& w : walks) {
        for (const bool binary : {false, true}) {
            const fs::path copy = work / "game";
            fs::remove_all(copy);
            fs::copy(demo, copy, fs::copy_options::recursive);
            if (binary) fs::copy_file(compiled / "beacon.umb", copy / "beacon.umb");
            const fs::path out = work / "play.out";
            if (RunUmb(copy, {binary ? "-b" : "-t", "beacon"}, w.keys, out, env) != 0 ||
                ReadFile(out) != w.transcript) {
                std::printf("FAIL: %s (%s) did not give its transcript\n", w.name.c_str(),
                            binary ? "compiled" : "source");
                return -1;
            }
            fs::remove_all(copy);
        }
    }
    return Since(start);
}

// umb --test on the demo as it is now. Returns the milliseconds taken, or -1 when it failed.
double InProcess(const fs::path& demo, const fs::path& work) {
    const auto start = std::chrono::steady_clock::now();
    if (RunUmb(demo, {"--test", "beacon"}, "", work / "test.out", {}) != 0) {
        std::printf("FAIL: umb --test on the demo failed:\n%s", ReadFile(work / "test.out").c_str());
        return -1;
    }
    return Since(start);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path demo = UMB_DEMO;
    std::vector<Walk> walks;
    for (const fs::directory_entry& e : fs::directory_iterator(demo))
        if (e.path().extension() == ".keys") {
            fs::path txt = e.path();
            txt.replace_extension(".txt");
            walks.push_back({e.path().stem().string(), e.path(), ReadFile(txt)});
        }
    std::sort(walks.begin(), walks.end(),
              [](const Walk& a, const Walk& b) { return a.name < b.name; });
    char scratch[] = "/tmp/umb-bench-walk-XXXXXX";
    if (mkdtemp(scratch) == nullptr) return 1;
    const fs::path work = scratch;
    double bestChild = 1e300, bestInProcess = 1e300;
    bool ok = !walks.empty();
    // Interleaved, so that a change of machine load hits both alike.
    for (int i = 0; i < runs && ok; ++i) {
        const double child = ChildPerPlay(demo, walks, work);
        const double inProcess = InProcess(demo, work);
        ok = child >= 0 && inProcess >= 0;
        bestChild = std::min(bestChild, child);
        bestInProcess = std::min(bestInProcess, inProcess);
    }
    fs::remove_all(work);
    if (!ok) return 1;
    const double ratio = bestChild / bestInProcess;
    std::printf("umb --test of the demo (%zu walkthroughs, both forms): a child per play %.1f ms, "
                "in process %.1f ms (best of %d): %.2fx faster, ratio %.2f (target >= %.2f): %s\n",
                walks.size(), bestChild, bestInProcess, runs, ratio, ratio / TargetRatio,
                TargetRatio, ratio >= TargetRatio ? "OK" : "TOO SLOW");
    return 0;
}
