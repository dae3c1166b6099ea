// gfx_headless.cpp - the headless driver: keys from a key script, transcript and screen dumps out.
#include "ui/gfx/gfx_internal.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

namespace umb::gfx {

namespace {

FILE* keysIn = nullptr;
FILE* textOut = nullptr;
// Keys handed out in turn once the key script has ended; empty: the end of the script ends the
// program.
std::string endKeys;
size_t endKeyAt = 0;
int endStatus = 0;  // the program's status when the key script ends it

FILE* KeysIn() { return keysIn != nullptr ? keysIn : stdin; }

// UMB_KEYLOG names a file that receives each line of the key script as it is consumed, so that
// a run stopped from outside (a walkthrough over its time limit) tells its last command.
FILE* keyLog = nullptr;
std::string keyLogLine;

void LogKeyByte(int b) {
    if (keyLog == nullptr || b == EOF) return;
    if (b != '\n') {
        if (b != '\r') keyLogLine.push_back(static_cast<char>(b));
        return;
    }
    std::fprintf(keyLog, "%s\n", keyLogLine.c_str());
    std::fflush(keyLog);
    keyLogLine.clear();
}
FILE* TextOut() { return textOut != nullptr ? textOut : stdout; }

struct NamedKey {
    const char* name;
    int code;
};

const NamedKey NamedKeys[] = {
    {"enter", KeyEnter}, {"bs", KeyBackspace},      {"esc", KeyEscape},      {"up", KeyUp},
    {"down", KeyDown},   {"f12", KeyPictureToggle}, {"shot", KeyScreenshot}, {"undo", KeyUndo},
};

constexpr int ScreenToken = -2;  // {screen}: no key, a dump when the game asks for one
constexpr int EndOfInput = -1;
constexpr int UnknownName = -3;

class HeadlessDriver : public DisplayDriver {
  public:
    int Run(int (*entry)(int, char**), int argc, char** argv) override {
        if (const char* path = std::getenv("UMB_KEYLOG"); path != nullptr && path[0] != '\0')
            keyLog = std::fopen(path, "w");
        return entry(argc, argv);
    }
    bool Open(std::string&) override { return true; }
    void Close() override { WriteScreenDump(TextOut()); }
    void Present(int, int, int, int) override {}

    int ReadKey(int ms) override {
        if (ms >= 0) return 0;  // time is not real: a timed pause ends at once
        for (;;) {
            const int key = NextToken();
            if (key == ScreenToken) {
                WriteScreenDump(TextOut());
                continue;
            }
            if (key == EndOfInput && !endKeys.empty()) {
                const auto next = static_cast<unsigned char>(endKeys[endKeyAt++ % endKeys.size()]);
                return next;
            }
            if (key == EndOfInput) {
                // Like a closed window: the game ends here, after a last look at the screen.
                WriteScreenDump(TextOut());
                std::fflush(nullptr);
                std::exit(endStatus);
            }
            return key;
        }
    }

    void Sleep(int) override {}
    void SetTitle(const char*) override {}
    bool MessageBox(const char*, const char*) override { return false; }

    void Transcript(const char* line) override {
        std::fputs(line, TextOut());
        std::fputc('\n', TextOut());
    }

    void ScreenDump() override { WriteScreenDump(TextOut()); }

  private:
    std::deque<int> pending_;  // bytes read ahead while looking for a key name

    int NextByte() {
        if (!pending_.empty()) {
            const int b = pending_.front();
            pending_.pop_front();
            return b;
        }
        const int b = std::fgetc(KeysIn());
        LogKeyByte(b);
        return b;
    }

    // The next key of the script: a byte, or a key name in braces.
    int NextToken() {
        for (;;) {
            const int b = NextByte();
            if (b == EOF) return EndOfInput;
            if (b == '\r') continue;
            if (b == '\n') return KeyEnter;
            if (b != '{') return b;
            const int key = ReadKeyName();
            if (key != UnknownName) return key;
        }
    }

    // After a "{": reads the name up to "}" and returns its key, ScreenToken, or UnknownName (the
    // "{" is then skipped alone and what followed it is read as keys).
    int ReadKeyName() {
        std::string name;
        int b = NextByte();
        if (b == '{') return '{';
        while (b != EOF && b != '}' && name.size() < 16) {
            name.push_back(static_cast<char>(b));
            b = NextByte();
        }
        if (b == '}') {
            if (name == "screen") return ScreenToken;
            for (const NamedKey& k : NamedKeys)
                if (name == k.name) return k.code;
            if (!name.empty() && name.size() <= 5 &&
                name.find_first_not_of("0123456789") == std::string::npos) {
                const int code = std::atoi(name.c_str());
                if (code <= 65535) return code;
            }
        }
        std::fprintf(stderr, "Unknown key {%s in the key script, skipped\n", name.c_str());
        // Give back everything after the "{".
        if (b != EOF) pending_.push_front(b);
        for (auto it = name.rbegin(); it != name.rend(); ++it)
            pending_.push_front(static_cast<unsigned char>(*it));
        return UnknownName;
    }
};

}  // namespace

DisplayDriver* MakeHeadlessDriver() { return new HeadlessDriver; }

void GfxSetHeadlessStreams(FILE* in, FILE* out) {
    keysIn = in;
    textOut = out;
}

void GfxSetHeadlessEndStatus(int status) { endStatus = status; }

void GfxSetHeadlessEndKeys(const char* keys, size_t count) {
    endKeys.assign(keys != nullptr ? keys : "", keys != nullptr ? count : 0);
    endKeyAt = 0;
}

}  // namespace umb::gfx
