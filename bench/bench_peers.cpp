// bench_peers.cpp - this program against its peers, whole processes each: start-up with one
// command and each further command against dfrotz, loading a compiled game against gzip -dc of
// the same file, compiling against inform6, and the page faults of one start.
#include "maxsource.h"
#include "peergame.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int Rounds = 9;        // medians of interleaved rounds
constexpr int CommandRun = 101;  // commands of the long play that prices one command
constexpr double FaultTarget = 200;
constexpr const char* InformLibrary = "/usr/share/inform6/library";

struct Run {
    double ms = 0;
    long faults = 0;  // minor and major page faults of the child
    bool ok = false;
};

// A whole command, its standard input from a file, run in dir.
struct Command {
    std::vector<std::string> args;
    std::string input = "/dev/null";
    std::string output = "/dev/null";
};

std::string dir;  // the benchmark's scratch folder, set once in main

Run Spawn(const Command& c) {
    std::vector<std::string> env{"UMB_DRIVER=headless"};
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "UMB_DRIVER=", 11) != 0) env.emplace_back(*e);
    std::vector<char*> envp, argv;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = c.args;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addchdir_np(&fa, dir.c_str());
    posix_spawn_file_actions_addopen(&fa, STDIN_FILENO, c.input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, c.output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    Run r;
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    const int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return r;
    int status = 0;
    rusage use{};
    if (wait4(pid, &status, 0, &use) != pid) return r;
    r.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    r.faults = use.ru_minflt + use.ru_majflt;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Medians of a and b over interleaved rounds (a, b, a, b ...) after one warm-up each; false
// when a run failed.
bool Pair(const std::function<Run()>& a, const std::function<Run()>& b, double& aMs, double& bMs,
          long* aFaults = nullptr) {
    std::vector<double> as, bs, faults;
    if (!a().ok || !b().ok) return false;
    for (int i = 0; i < Rounds; ++i) {
        const Run ra = a();
        const Run rb = b();
        if (!ra.ok || !rb.ok) return false;
        as.push_back(ra.ms);
        bs.push_back(rb.ms);
        faults.push_back(static_cast<double>(ra.faults));
    }
    aMs = Median(as);
    bMs = Median(bs);
    if (aFaults != nullptr) *aFaults = static_cast<long>(Median(faults));
    return true;
}

void Report(const std::string& what, const char* peer, double ours, double theirs, double target) {
    const double ratio = theirs > 0 ? ours / theirs / target : 0;
    std::printf("%s: umb %.3f ms, %s %.3f ms, %.2fx (target <= %.2fx), ratio %.2f: %s\n",
                what.c_str(), ours, peer, theirs, ours / theirs, target, ratio,
                ratio <= 1.0 ? "OK" : "SLOW");
}

bool WriteFile(const std::string& name, const std::string& text) {
    FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

bool Executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

// The program on PATH (or in /usr/games, where Debian puts the interpreters); empty if absent.
std::string Find(const char* name) {
    std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    path += ":/usr/games";
    size_t from = 0;
    while (from <= path.size()) {
        const size_t to = std::min(path.find(':', from), path.size());
        const std::string candidate = path.substr(from, to - from) + "/" + name;
        if (to > from && Executable(candidate)) return candidate;
        from = to + 1;
    }
    return "";
}

// Keys for a play of count commands: the restore question's answer, then north and south.
std::string UmbKeys(int count) {
    std::string keys = "n\n";
    for (int i = 0; i < count; ++i) keys += i % 2 == 0 ? "north\n" : "south\n";
    return keys;
}

std::string PeerKeys(int count) {
    std::string keys;
    for (int i = 0; i < count; ++i) keys += i % 2 == 0 ? "north\n" : "south\n";
    return keys;
}

// UMB_BENCH_BINARY names another build of the program to measure, an older one for instance.
std::string UmbBinary() {
    const char* other = std::getenv("UMB_BENCH_BINARY");
    return other != nullptr && *other != '\0' ? other : UMB_BINARY;
}

struct Peers {
    std::string umb = UmbBinary();
    std::string dfrotz = Find("dfrotz");
    std::string inform = Find("inform6");
    std::string gzip = Find("gzip");
};

// Compiles both worlds of this size; false when either compile failed.
bool Compile(const Peers& p, const std::string& name) {
    if (!Spawn({{p.umb, "-c", name}}).ok) return false;
    return p.inform.empty() ||
           Spawn({{p.inform, "-q", std::string("+include_path=") + InformLibrary, name + ".inf",
                   name + ".z5"}})
               .ok;
}

// The terminal player as plain lines is this program's counterpart of dfrotz; headless, the
// window's screen is drawn as well.
Command UmbPlay(const Peers& p, const std::string& name, int commands, bool plain = true) {
    std::vector<std::string> args{p.umb, "-b", name};
    if (plain) args.insert(args.begin() + 1, "--plain");
    return {args, dir + "/umb-" + std::to_string(commands) + ".keys"};
}

Command PeerPlay(const Peers& p, const std::string& name, int commands) {
    return {{p.dfrotz, "-m", "-q", name + ".z5"},
            dir + "/peer-" + std::to_string(commands) + ".keys"};
}

// Start-up, page faults, commands and compiles at one world size.
void MeasureWorld(const Peers& p, int locations, bool faults) {
    const std::string name = "peer" + std::to_string(locations);
    const std::string size = std::to_string(locations) + " locations";
    if (!WriteFile(name + ".adv", GeneratePeerWorldAdv(locations)) ||
        !WriteFile(name + ".inf", GeneratePeerWorldInform(locations)) || !Compile(p, name)) {
        std::printf("%s: the worlds could not be compiled\n", size.c_str());
        return;
    }
    double ours = 0, theirs = 0;
    if (p.inform.empty()) {
        std::printf("inform6 is not installed (tools/install-deps.sh --bench): compile and play "
                    "figures skipped\n");
        return;
    }
    if (Pair(
            [&] {
                return Spawn({{p.umb, "-c", name}});
            },
            [&] {
                return Spawn({{p.inform, "-q", std::string("+include_path=") + InformLibrary,
                               name + ".inf", name + ".z5"}});
            },
            ours, theirs))
        Report("compile, " + size, "inform6", ours, theirs, 0.5);
    if (p.dfrotz.empty()) {
        std::printf("dfrotz is not installed (tools/install-deps.sh --bench): play figures "
                    "skipped\n");
        return;
    }
    long startFaults = 0;
    if (Pair([&] { return Spawn(UmbPlay(p, name, 1)); },
             [&] { return Spawn(PeerPlay(p, name, 1)); }, ours, theirs, &startFaults)) {
        Report("start-up with one command, " + size, "dfrotz", ours, theirs, 1.0);
        if (faults)
            std::printf("page faults of one start: %ld, ratio %.2f (target <= %.0f): %s\n",
                        startFaults, static_cast<double>(startFaults) / FaultTarget, FaultTarget,
                        static_cast<double>(startFaults) <= FaultTarget ? "OK" : "SLOW");
    }
    double headless = 0, again = 0;
    if (faults && Pair([&] { return Spawn(UmbPlay(p, name, 1, false)); },
                       [&] { return Spawn(PeerPlay(p, name, 1)); }, headless, again))
        std::printf("(for comparison, headless with the window's screen drawn: umb %.2f ms, "
                    "dfrotz %.2f ms, %.2fx)\n",
                    headless, again, headless / again);
    double oursLong = 0, theirsLong = 0;
    if (Pair([&] { return Spawn(UmbPlay(p, name, CommandRun)); },
             [&] { return Spawn(PeerPlay(p, name, CommandRun)); }, oursLong, theirsLong))
        Report("per command, " + size, "dfrotz", (oursLong - ours) / (CommandRun - 1),
               (theirsLong - theirs) / (CommandRun - 1), 0.5);
}

// Loading the largest compiled game against gzip -dc of the same file.
void MeasureLoad(const Peers& p) {
    if (!WriteFile("max.adv", GenerateMaxSource()) || !Spawn({{p.umb, "-c", "max"}}).ok) {
        std::printf("load: the largest game could not be compiled\n");
        return;
    }
    if (p.gzip.empty()) {
        std::printf("load: gzip is not installed: figure skipped\n");
        return;
    }
    double ours = 0, theirs = 0;
    if (Pair([&] { return Spawn(UmbPlay(p, "max", 0)); },
             [&] {
                 return Spawn({{p.gzip, "-dc", "max.umb"}});
             },
             ours, theirs))
        Report("load of the largest compiled game", "gzip -dc", ours, theirs, 1.0);
}

}  // namespace

int main() {
    char scratch[] = "/tmp/umb-bench-peers-XXXXXX";
    if (mkdtemp(scratch) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    dir = scratch;
    const Peers p;
    for (int n : {0, 1, CommandRun}) {
        if (!WriteFile("umb-" + std::to_string(n) + ".keys", UmbKeys(n)) ||
            !WriteFile("peer-" + std::to_string(n) + ".keys", PeerKeys(n)))
            return 1;
    }
    MeasureLoad(p);
    MeasureWorld(p, 100, true);
    MeasureWorld(p, 500, false);
    const std::string clean = "rm -rf '" + dir + "'";
    return std::system(clean.c_str()) == 0 ? 0 : 1;
}
