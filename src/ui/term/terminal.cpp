// terminal.cpp - the terminal device: termios modes, signal-safe restoring, keys and UTF-8.
#include "ui/term/terminal.h"

#include "engine/textlog.h"
#include "ui/gfx/gfx.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

using namespace umb::gfx;

namespace umb::ui {

namespace {

// What the signal handlers and the exit handler need, kept where a handler may read it. Only
// one device owns the terminal at a time.
volatile sig_atomic_t gResized = 0;
volatile sig_atomic_t gInterrupted = 0;
volatile sig_atomic_t gOwned = 0;
int gInFd = -1;
int gOutFd = -1;
bool gHaveModes = false;
termios gSaved{};
termios gApplied{};  // the modes the device works in, put back after a stop
volatile sig_atomic_t gContinued = 0;
char gRestoreBytes[64] = {};
size_t gRestoreLen = 0;
TermDevice* gDevice = nullptr;
bool gExitHandlerSet = false;

// Signals that end the program: the terminal is put back, then the signal takes its default
// course, so the parent sees the status it expects (128 + signal for a shell).
constexpr int FatalSignals[] = {SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGSEGV,
                                SIGBUS,  SIGFPE, SIGILL,  SIGABRT};
constexpr int HandledCount = static_cast<int>(sizeof FatalSignals / sizeof FatalSignals[0]) + 4;
struct sigaction gOldActions[HandledCount];

// Async-signal-safe: fcntl, write and tcsetattr only; never waits on the terminal.
void PutBack(int when) {
    if (gRestoreLen > 0 && gOutFd >= 0) {
        // A terminal that takes no output (stopped, or its reader gone) must not keep the
        // program from ending: the bytes are offered once, without waiting.
        const int flags = fcntl(gOutFd, F_GETFL);
        if (flags >= 0) fcntl(gOutFd, F_SETFL, flags | O_NONBLOCK);
        const ssize_t written = write(gOutFd, gRestoreBytes, gRestoreLen);
        (void)written;
        if (flags >= 0) fcntl(gOutFd, F_SETFL, flags);
    }
    if (gHaveModes) tcsetattr(gInFd, when, &gSaved);
}

void RestoreNow(int when) {
    if (gOwned == 0) return;
    gOwned = 0;
    PutBack(when);
}

void OnFatalSignal(int sig) {
    const int saved = errno;
    RestoreNow(TCSANOW);
    errno = saved;
    // SA_RESETHAND has put the default action back; the signal is blocked until we return.
    raise(sig);
}

void OnContinue(int);

// Stopped from outside (Ctrl+Z cannot stop it in raw mode), the program leaves the terminal as it
// found it for the shell; continued, it takes its own modes again and shows its line anew.
void OnStop(int sig) {
    const int saved = errno;
    if (gOwned != 0) PutBack(TCSANOW);
    // The default action, put back by SA_RESETHAND, is the stop itself, taken here at once. The
    // system drops it where no shell could continue the program (an orphaned process group):
    // then the program goes on as it was, and must not go on in the shell's modes.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    OnContinue(SIGCONT);
    errno = saved;
}

void OnContinue(int) {
    if (gOwned == 0) return;
    const int saved = errno;
    if (gHaveModes) tcsetattr(gInFd, TCSANOW, &gApplied);
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = static_cast<int>(SA_RESETHAND);  // the flag is the sign bit
    sigaction(SIGTSTP, &sa, nullptr);
    gContinued = 1;
    gResized = 1;
    errno = saved;
}

void OnResize(int) { gResized = 1; }
void OnInterrupt(int) { gInterrupted = 1; }

void AtExit() {
    if (gDevice != nullptr) TermFlush(*gDevice);
    RestoreNow(TCSANOW);
}

void Install(int index, int sig, void (*handler)(int), unsigned flags) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = static_cast<int>(flags);  // SA_RESETHAND is the sign bit
    sigaction(sig, &sa, &gOldActions[index]);
}

void InstallHandlers() {
    int i = 0;
    for (const int sig : FatalSignals) Install(i++, sig, OnFatalSignal, SA_RESETHAND);
    Install(i++, SIGWINCH, OnResize, SA_RESTART);
    // No SA_RESTART: a read waiting for the player returns so that the quit question is asked.
    Install(i++, SIGINT, OnInterrupt, 0);
    Install(i++, SIGTSTP, OnStop, SA_RESETHAND);
    Install(i++, SIGCONT, OnContinue, SA_RESTART);
}

void RemoveHandlers() {
    int i = 0;
    for (const int sig : FatalSignals) sigaction(sig, &gOldActions[i++], nullptr);
    sigaction(SIGWINCH, &gOldActions[i++], nullptr);
    sigaction(SIGINT, &gOldActions[i++], nullptr);
    sigaction(SIGTSTP, &gOldActions[i++], nullptr);
    sigaction(SIGCONT, &gOldActions[i++], nullptr);
}

// Milliseconds left until deadline, -1 for no deadline.
int Remaining(int64_t deadline) {
    if (deadline < 0) return -1;
    const int64_t left = deadline - TermNowMs();
    return left <= 0 ? 0 : static_cast<int>(left > 1000000000 ? 1000000000 : left);
}

int64_t DeadlineOf(int timeoutMs) { return timeoutMs < 0 ? -1 : TermNowMs() + timeoutMs; }

// Returns 1 when input can be read, or TermNoKey, TermEnded, TermInterrupted.
int WaitReadable(TermDevice& d, int64_t deadline) {
    for (;;) {
        if (d.inPos < d.inLen) return 1;
        if (gInterrupted != 0) {
            gInterrupted = 0;
            return TermInterrupted;
        }
        TermFlush(d);
        pollfd p{d.in, POLLIN, 0};
        const int ready = poll(&p, 1, Remaining(deadline));
        if (ready > 0) return 1;
        if (ready == 0) return TermNoKey;
        if (errno == EINTR && gResized != 0 && d.wakeOnResize) return TermResize;
        if (errno != EINTR && errno != EAGAIN) return TermEnded;
    }
}

// Returns the next input byte, or TermNoKey, TermEnded, TermInterrupted.
int ReadByte(TermDevice& d, int64_t deadline) {
    for (;;) {
        const int ready = WaitReadable(d, deadline);
        if (ready != 1) return ready;
        if (d.inPos < d.inLen) return d.inBuf[d.inPos++];
        const ssize_t got = read(d.in, d.inBuf, sizeof d.inBuf);
        if (got > 0) {
            d.inPos = 0;
            d.inLen = static_cast<int>(got);
        } else if (got == 0) {
            return TermEnded;
        } else if (errno != EINTR && errno != EAGAIN) {
            return TermEnded;  // EIO: the terminal has hung up
        }
    }
}

// The rest of an escape sequence after ESC; returns the key it names, or 0 when it names none
// (swallowed whole, or cut short).
int ReadEscapeSequence(TermDevice& d, int introducer) {
    const int64_t lag = DeadlineOf(TermSequenceMs);
    if (introducer == 'O') {
        const int f = ReadByte(d, lag);
        return f == 'A' ? KeyUp : f == 'B' ? KeyDown : 0;
    }
    // CSI: parameter bytes, intermediate bytes, one final byte.
    char params[16];
    size_t n = 0;
    for (;;) {
        const int b = ReadByte(d, DeadlineOf(TermSequenceMs));
        if (b < 0) return 0;
        if (b >= 0x20 && b <= 0x3F) {
            if (n + 1 < sizeof params) params[n++] = static_cast<char>(b);
            continue;
        }
        params[n] = '\0';
        if (b == 'A') return KeyUp;
        if (b == 'B') return KeyDown;
        if (b == '~' && std::strcmp(params, "24") == 0) return KeyPictureToggle;
        if (b >= 0x40 && b <= 0x7E) return 0;
        // A byte that belongs to no sequence ends it; it is not a key of its own either.
        return 0;
    }
}

}  // namespace

int DecodeUtf8(const unsigned char* p, size_t n, int* cp850) {
    *cp850 = 0;
    int32_t cp = -1;
    const int used = Utf8Character(p, n, &cp);
    if (cp >= 0x20 && cp < 0x7F) {
        *cp850 = cp;
    } else if (cp >= 0x80) {
        // Only the upper half: a character that maps to a control byte would be a key in disguise.
        const int b = UnicodeToCp850(static_cast<uint32_t>(cp));
        if (b >= 0x80) *cp850 = b;
    }
    return used;
}

int TermOpen(TermDevice& d, int in, int out, bool raw) {
    if (gOwned != 0) return -1;
    d.in = in;
    d.out = out;
    d.raw = raw;
    d.inPos = d.inLen = 0;
    d.output.clear();
    d.outputBroken = false;
    d.sizeKnown = false;
    d.inIsTty = tcgetattr(in, &d.saved) == 0;
    gInFd = in;
    gOutFd = out;
    gHaveModes = d.inIsTty;
    gSaved = d.saved;
    gRestoreLen = 0;
    gResized = 0;
    gInterrupted = 0;
    gDevice = &d;
    gOwned = 1;
    InstallHandlers();
    if (!gExitHandlerSet) gExitHandlerSet = std::atexit(AtExit) == 0;
    if (d.inIsTty) {
        termios t = d.saved;
        if (raw) {
            // Every key as it is typed, Ctrl+C and Ctrl+Z among them; output keeps turning
            // line feeds into new lines.
            t.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
            t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN | ISIG);
            t.c_cc[VMIN] = 1;
            t.c_cc[VTIME] = 0;
        } else {
            t.c_iflag |= ICRNL;
            t.c_lflag |= ICANON | ECHO | ISIG;
        }
        gApplied = t;
        tcsetattr(in, TCSADRAIN, &t);
    }
    return 0;
}

void TermClose(TermDevice& d) {
    if (gDevice != &d) return;
    TermFlush(d);
    RestoreNow(TCSANOW);
    RemoveHandlers();
    gDevice = nullptr;
    gRestoreLen = 0;
}

int TermSetRestoreBytes(const char* bytes, size_t n) {
    if (n >= sizeof gRestoreBytes) return -1;
    // A handler may run in between: it sees either no bytes or the whole new set.
    gRestoreLen = 0;
    std::memcpy(gRestoreBytes, bytes, n);
    gRestoreLen = n;
    return 0;
}

int TermReadKey(TermDevice& d, int timeoutMs) {
    const int64_t deadline = DeadlineOf(timeoutMs);
    for (;;) {
        const int b = ReadByte(d, deadline);
        if (b < 0) return b;
        if (b == 27) {
            const int next = ReadByte(d, DeadlineOf(TermSequenceMs));
            if (next < 0) return KeyEscape;
            if (next == '[' || next == 'O') {
                const int key = ReadEscapeSequence(d, next);
                if (key != 0) return key;
                continue;
            }
            if (next == 27) {
                --d.inPos;  // two Escape keys
                return KeyEscape;
            }
            continue;  // Alt with a key: no key of the game
        }
        if (b == 127 || b == 8) return KeyBackspace;
        if (b == 13 || b == 10) return KeyEnter;
        if (b < 0x80) return b;
        unsigned char seq[4] = {static_cast<unsigned char>(b)};
        const int more = Utf8Continuations(b);
        if (more < 0) continue;
        int got = 1;
        while (got <= more) {
            const int c = ReadByte(d, DeadlineOf(TermSequenceMs));
            if (c < 0) break;
            if ((c & 0xC0) != 0x80) {  // no continuation byte
                --d.inPos;             // the start of the next key
                break;
            }
            seq[got++] = static_cast<unsigned char>(c);
        }
        if (got <= more) continue;
        int cp = 0;
        DecodeUtf8(seq, static_cast<size_t>(got), &cp);
        if (cp != 0) return cp;
    }
}

int TermReadLine(TermDevice& d, std::string& line) {
    std::string bytes;
    for (;;) {
        const int b = ReadByte(d, -1);
        if (b == TermInterrupted) return TermInterrupted;
        if (b < 0) {
            if (bytes.empty()) return TermEnded;
            break;
        }
        if (b == '\n' || b == '\r') break;
        bytes.push_back(static_cast<char>(b));
    }
    line.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t left = bytes.size();
    while (left > 0) {
        int cp = 0;
        const int used = DecodeUtf8(p, left, &cp);
        if (used == 0) break;
        if (cp != 0) line.push_back(static_cast<char>(cp));
        p += used;
        left -= static_cast<size_t>(used);
    }
    return 0;
}

int TermInputWaiting(TermDevice& d, int timeoutMs) {
    return WaitReadable(d, DeadlineOf(timeoutMs));
}

int TermPeekByte(TermDevice& d, int timeoutMs) {
    const int b = ReadByte(d, DeadlineOf(timeoutMs));
    if (b >= 0) --d.inPos;
    return b;
}

bool TermStopRequested(TermDevice& d) {
    if (gInterrupted != 0) return true;
    if (!d.raw) return false;
    constexpr unsigned char CtrlC = 3;
    if (d.inPos > 0) {
        std::memmove(d.inBuf, d.inBuf + d.inPos, static_cast<size_t>(d.inLen - d.inPos));
        d.inLen -= d.inPos;
        d.inPos = 0;
    }
    const auto waiting = [&d] { return static_cast<size_t>(d.inLen - d.inPos); };
    pollfd p{d.in, POLLIN, 0};
    while (std::memchr(d.inBuf + d.inPos, CtrlC, waiting()) == nullptr && poll(&p, 1, 0) > 0 &&
           (p.revents & POLLIN) != 0) {
        // Keys typed ahead are kept; once the buffer is full, the rest are only looked at, as
        // the game that does not read them is about to be stopped or lose them anyway.
        unsigned char spare[64];
        const bool full = d.inLen == static_cast<int>(sizeof d.inBuf);
        unsigned char* to = full ? spare : d.inBuf + d.inLen;
        const size_t room = full ? sizeof spare : sizeof d.inBuf - static_cast<size_t>(d.inLen);
        const ssize_t got = read(d.in, to, room);
        if (got <= 0) break;
        if (full) return std::memchr(spare, CtrlC, static_cast<size_t>(got)) != nullptr;
        d.inLen += static_cast<int>(got);
    }
    return std::memchr(d.inBuf + d.inPos, CtrlC, waiting()) != nullptr;
}

int TermSleep(TermDevice& d, int ms) {
    TermFlush(d);
    const int64_t deadline = DeadlineOf(ms < 0 ? 0 : ms);
    for (int left = Remaining(deadline); left > 0; left = Remaining(deadline)) {
        timespec ts{left / 1000, static_cast<long>(left % 1000) * 1000000L};
        nanosleep(&ts, nullptr);
    }
    return 0;
}

void TermWrite(TermDevice& d, const char* bytes, size_t n) {
    if (!d.outputBroken) d.output.append(bytes, n);
}

void TermWrite(TermDevice& d, const std::string& bytes) {
    TermWrite(d, bytes.data(), bytes.size());
}

void TermWriteText(TermDevice& d, const char* text, size_t n) {
    TermWrite(d, base::Cp850ToUtf8(text, n));
}

int TermFlush(TermDevice& d) {
    size_t done = 0;
    while (done < d.output.size() && !d.outputBroken) {
        const ssize_t w = write(d.out, d.output.data() + done, d.output.size() - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
        } else if (w < 0 && errno == EAGAIN) {
            pollfd p{d.out, POLLOUT, 0};
            poll(&p, 1, 100);
        } else if (w < 0 && errno == EINTR) {
            continue;
        } else {
            d.outputBroken = true;
        }
    }
    d.output.clear();
    return d.outputBroken ? -1 : 0;
}

namespace {

void ReadSize(TermDevice& d) {
    if (d.sizeKnown && gResized == 0) return;
    const bool wasKnown = d.sizeKnown;
    gResized = 0;
    winsize ws{};
    int width = 80, rows = 24;
    if ((ioctl(d.out, TIOCGWINSZ, &ws) == 0 || ioctl(d.in, TIOCGWINSZ, &ws) == 0) &&
        ws.ws_col > 0) {
        width = ws.ws_col;
        if (ws.ws_row > 0) rows = ws.ws_row;
    }
    // After a stop the shell may have scrolled the screen: redrawn as after a resize.
    if (wasKnown && (width != d.width || rows != d.rows || gContinued != 0)) d.resized = true;
    gContinued = 0;
    d.width = width;
    d.rows = rows;
    d.sizeKnown = true;
}

}  // namespace

int64_t TermNowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int TermWidth(TermDevice& d) {
    ReadSize(d);
    return d.width;
}

int TermRows(TermDevice& d) {
    ReadSize(d);
    return d.rows;
}

bool TermResized(TermDevice& d) {
    ReadSize(d);
    const bool r = d.resized;
    d.resized = false;
    return r;
}

}  // namespace umb::ui
