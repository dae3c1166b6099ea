// bench_idle.cpp - shows that a program waiting for a key uses no CPU, in the window and headless.
//
// Usage: bench_idle [seconds]. The window driver needs a display (DISPLAY set, e.g. under Xvfb);
// without one only the headless driver is measured.
#include "ui/window/screen.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace umb::gfx;
using namespace umb::ui;

namespace {

// The child: opens the screen, prints a line and waits for a key that never comes.
int WaitForKey(int, char**) {
    WindowState s;
    ScreenOpen(s);
    SelectArea(s, AreaMessages, ModeNewLine);
    PrintText(s, "Waiting for a key");
    GfxReadKey();
    return 0;
}

// User plus system CPU time of a process, in milliseconds.
double CpuMs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoul(field);
        if (i == 15) stime = std::stoul(field);
    }
    return static_cast<double>(utime + stime) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Runs the waiting child with the given driver and reports the CPU it used while waiting.
void Measure(const char* driver, double seconds) {
    int keys[2];
    if (pipe(keys) != 0) return;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(keys[0], 0);
        close(keys[1]);
        setenv("UMB_DRIVER", driver, 1);
        char name[] = "bench_idle";
        char* argv[] = {name, nullptr};
        std::_Exit(GfxRun(WaitForKey, 1, argv));
    }
    close(keys[0]);
    usleep(1000000);  // let the window open and settle
    const double before = CpuMs(pid);
    usleep(static_cast<useconds_t>(seconds * 1e6));
    const double used = CpuMs(pid) - before;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(keys[1]);
    const double target = seconds * 1000.0 * 0.01;  // at most 1% of one core
    std::printf("%s: %.1f ms CPU while waiting %.1f s, ratio %.2f (target <= 1.00): %s\n", driver,
                used, seconds, used / target, used <= target ? "OK" : "TOO BUSY");
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    Measure("headless", seconds);
    if (std::getenv("DISPLAY") != nullptr)
        Measure("sdl", seconds);
    else
        std::printf("sdl: no DISPLAY, not measured (run under xvfb-run)\n");
    return 0;
}
