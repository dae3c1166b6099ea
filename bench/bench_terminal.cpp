// bench_terminal.cpp - the cost of a command in the terminal front end against the headless
// driver: the same game and commands, typed into a pseudo-terminal or read from a pipe.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double TargetFactor = 1.5;  // the terminal may cost this many headless commands
constexpr int Rooms = 12;
constexpr int Runs = 3;

const char* const Things[] = {"lamp", "key", "rope", "book", "coin", "apple", "cloak", "map"};

// A ring of rooms with things to carry, a status line and a turn counter.
std::string GameSource() {
    std::string src = "[System]\nStartLocation=1\nMaxItems=5\n"
                      "StatusLine=Score: %score%  Turns: %turns%\n"
                      "[Sysmsg]\n#1,I don't follow that.\n#2,You see no such thing here.\n"
                      "#3,That won't work.\n#4,Your hands are full.\n#5,You can't go that way.\n"
                      "#10,OK.\n#11,You can see:\n#12,You are carrying:\n#14,nothing.\n"
                      "#19,Ways out:\n#23,Restore a saved game? \n#24,Really quit? \n"
                      "#25,Save first? \n#26,Play again? \n"
                      "[Directions]\n#1,north\n#2,south\n#3,east\n#4,west\n"
                      "[Vars]\nscore,turns\n"
                      "[Verbs]\n#1,n,north\n#2,s,south\n#3,e,east\n#4,w,west\n#11,i,inventory\n"
                      "#12,l,look\n#13,x,examine\n#14,get,take\n#15,drop\n#23,quit\n#30,read\n"
                      "[Nouns]\n";
    for (int i = 0; i < 8; ++i) src += "#" + std::to_string(i + 1) + "," + Things[i] + "\n";
    src += "[Locations]\n";
    for (int r = 1; r <= Rooms; ++r) {
        const int next = r % Rooms + 1, previous = (r + Rooms - 2) % Rooms + 1;
        src += "#" + std::to_string(r) + ",Room " + std::to_string(r) + ",,0," +
               std::to_string(next) + "," + std::to_string(previous) + "," +
               std::to_string(r % 3 == 0 ? next : 0) + ",0\n";
        src += "A plain room with whitewashed walls, numbered " + std::to_string(r) +
               " over the door. A draught comes from somewhere you cannot see, and the floor "
               "creaks as you cross it.\n";
    }
    src += "[Objects]\n";
    for (int i = 0; i < 8; ++i) {
        src += "#" + std::to_string(i + 1) + ",a " + Things[i] + "," + std::to_string(i + 1) +
               ",1," + std::to_string(i + 1) + "\nAn ordinary " + Things[i] + ".\n";
    }
    src += "[Events]\nadd turns 1\n[Actions]\nif verb read noun book\nthen add score 1 message 1\n"
           "[Messages]\n#1,The book tells of a lighthouse on a rock.\n";
    return src;
}

// The commands, the same on every run: moves, looks, taking and dropping, nonsense.
std::vector<std::string> Commands(size_t count) {
    const char* const simple[] = {"n", "s", "e", "w", "l", "i", "xyzzy", "read book"};
    const char* const verbs[] = {"get", "drop", "x"};
    std::vector<std::string> commands;
    uint64_t state = 12345;
    while (commands.size() < count) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const unsigned roll = static_cast<unsigned>(state >> 33);
        if (roll % 3 == 0)
            commands.push_back(std::string(verbs[(roll / 3) % 3]) + " " + Things[(roll / 9) % 8]);
        else
            commands.push_back(simple[(roll / 3) % 8]);
    }
    return commands;
}

// The restore question's key, the commands, then quitting without saving or playing again.
std::string Keys(const std::vector<std::string>& commands, size_t count) {
    std::string keys = "n";
    for (size_t i = 0; i < count; ++i) keys += commands[i] + "\r";
    return keys + "quit\rynn";
}

// How many commands a play's output shows prompted: a play cut short gives itself away.
size_t Prompts(const std::string& shown) {
    size_t n = 0;
    for (size_t at = shown.find("\n>"); at != std::string::npos; at = shown.find("\n>", at + 1))
        ++n;
    return n;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Runs umb with args in dir, its input and output the given descriptors; returns its status.
pid_t Spawn(const char* umb, const std::vector<const char*>& args, const char* dir, int in, int out,
            bool headless) {
    const pid_t child = fork();
    if (child != 0) return child;
    setsid();
    if (chdir(dir) != 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    if (headless)
        setenv("UMB_DRIVER", "headless", 1);
    else
        unsetenv("UMB_DRIVER");
    unsetenv("COLORTERM");
    std::vector<char*> argv{const_cast<char*>(umb)};
    for (const char* a : args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    execv(umb, argv.data());
    _exit(127);
}

// Seconds for one headless play of the keys, or -1; shown receives its transcript.
double PlayHeadless(const char* umb, const char* dir, const std::string& keys, std::string& shown) {
    const std::string keyFile = std::string(dir) + "/keys.txt";
    FILE* f = std::fopen(keyFile.c_str(), "w");
    if (f == nullptr) return -1;
    std::string lines = keys;
    std::replace(lines.begin(), lines.end(), '\r', '\n');
    std::fwrite(lines.data(), 1, lines.size(), f);
    std::fclose(f);
    const int in = open(keyFile.c_str(), O_RDONLY);
    const std::string outFile = std::string(dir) + "/shown.txt";
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    static char buf[65536];
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = Spawn(umb, {"game"}, dir, in, out, true);
    int status = 0;
    waitpid(child, &status, 0);
    const double seconds = Seconds(start);
    close(in);
    close(out);
    shown.clear();
    if (FILE* g = std::fopen(outFile.c_str(), "r")) {
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, g)) > 0;) shown.append(buf, n);
        std::fclose(g);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// Seconds for one play in the terminal look: keys typed into a pseudo-terminal as fast as it
// takes them, everything it shows read back into shown; or -1.
double PlayTerminal(const char* umb, const char* dir, const std::string& keys, std::string& shown) {
    shown.clear();
    int master = -1, slave = -1;
    winsize ws{};
    ws.ws_col = 100;
    ws.ws_row = 40;
    if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0) return -1;
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = Spawn(umb, {"--tty", "game"}, dir, slave, slave, false);
    close(slave);
    size_t sent = 0;
    char buf[65536];
    for (;;) {
        pollfd p{master, static_cast<short>(POLLIN | (sent < keys.size() ? POLLOUT : 0)), 0};
        if (poll(&p, 1, 10000) <= 0) break;
        if ((p.revents & POLLOUT) != 0) {
            // Small pieces, so the terminal's input buffer never overflows.
            const size_t piece = std::min<size_t>(keys.size() - sent, 256);
            const ssize_t w = write(master, keys.data() + sent, piece);
            if (w > 0) sent += static_cast<size_t>(w);
        }
        if ((p.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t r = read(master, buf, sizeof buf);
            if (r > 0) shown.append(buf, static_cast<size_t>(r));
            if (r <= 0 && errno != EAGAIN) break;  // EIO: the program has ended
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    const double seconds = Seconds(start);
    close(master);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// Microseconds per command: the longer play less the shorter, so start-up and the end cancel.
template <typename Play>
double PerCommandUs(Play play, const char* umb, const char* dir,
                    const std::vector<std::string>& commands, size_t n) {
    double best = -1;
    for (int run = 0; run < Runs; ++run) {
        std::string shown;
        const double shortPlay = play(umb, dir, Keys(commands, n), shown);
        if (Prompts(shown) < n) return -1;
        const double longPlay = play(umb, dir, Keys(commands, 2 * n), shown);
        if (shortPlay < 0 || longPlay < 0 || Prompts(shown) < 2 * n) return -1;
        const double us = (longPlay - shortPlay) * 1e6 / static_cast<double>(n);
        if (const char* dump = std::getenv("UMB_BENCH_DUMP")) {
            if (FILE* d = std::fopen(dump, "w")) {
                std::fwrite(shown.data(), 1, shown.size(), d);
                std::fclose(d);
            }
        }
        if (std::getenv("UMB_BENCH_VERBOSE") != nullptr)
            std::printf("  %.4f s for %zu commands, %.4f s for %zu\n", shortPlay, n, longPlay,
                        2 * n);
        if (best < 0 || us < best) best = us;
    }
    return std::max(best, 0.001);
}

}  // namespace

int main() {
    char dir[] = "/tmp/umb-bench-terminal.XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        std::printf("FAIL: no work folder\n");
        return 1;
    }
    const std::string source = std::string(dir) + "/game.adv";
    FILE* f = std::fopen(source.c_str(), "w");
    if (f == nullptr) return 1;
    const std::string src = GameSource();
    std::fwrite(src.data(), 1, src.size(), f);
    std::fclose(f);

    const size_t n = 1000;
    const std::vector<std::string> commands = Commands(2 * n);
    const double headless = PerCommandUs(PlayHeadless, UMB_BINARY, dir, commands, n);
    const double terminal = PerCommandUs(PlayTerminal, UMB_BINARY, dir, commands, n);
    std::system((std::string("rm -rf ") + dir).c_str());
    if (headless < 0 || terminal < 0) {
        std::printf("FAIL: a play did not end cleanly (headless %.1f, terminal %.1f)\n", headless,
                    terminal);
        return 1;
    }
    const double ratio = terminal / (TargetFactor * headless);
    std::printf("terminal: %.1f us/command against headless %.1f us, ratio %.2f (target <= 1.00 "
                "of %.1f x headless): %s\n",
                terminal, headless, ratio, TargetFactor, ratio <= 1.0 ? "OK" : "SLOW");
    return 0;
}
