// gfx_headless.cpp - the headless driver: keys from a key script, transcript and screen dumps out.
#include "ui/gfx/gfx_internal.h"
#include "ui/gfx/keyscript.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace umb::gfx {

namespace {

FILE* keysIn = nullptr;
FILE* textOut = nullptr;
// Keys handed out in turn once the key script has ended; empty: the end of the script ends the
// program.
std::string endKeys;
size_t endKeyAt = 0;
// The key script of the program's own play ran out: the game ends, showing nothing more.
bool scriptEnded = false;

FILE* KeysIn() { return keysIn != nullptr ? keysIn : stdin; }

// A play in the caller's process (GfxBeginHeadlessPlay): the end of the key script ends the game
// instead of the program, and another thread may ask for the turn to be stopped.
struct InProcessPlay {
    HeadlessPlayEnd end;
    bool ended = false;  // the key script ran out: nothing more is shown
    size_t written = 0;  // bytes of transcript so far
    size_t limit = HeadlessPlayTranscriptLimit;
};
std::unique_ptr<InProcessPlay> play;
std::atomic<bool> stopWanted{false};

// Once an in-process play's key script has ended, the program would have ended there: what the
// game still shows while it winds down goes nowhere.
bool Muted() { return play ? play->ended : scriptEnded; }
FILE* TextOut() { return textOut != nullptr ? textOut : stdout; }

class HeadlessDriver : public DisplayDriver {
  public:
    int Run(int (*entry)(int, char**), int argc, char** argv) override { return entry(argc, argv); }
    bool Open(std::string&) override { return true; }
    void Close() override {
        if (!Muted()) WriteScreenDump(TextOut());
    }
    void Present(int, int, int, int) override {}

    int ReadKey(int ms) override {
        if (ms >= 0) return 0;  // time is not real: a timed pause ends at once
        if (Muted()) return KeyEndOfInput;
        for (;;) {
            keys_.in = KeysIn();
            const int key = NextKeyToken(keys_);
            if (key == KeyTokenScreen) {
                WriteScreenDump(TextOut());
                continue;
            }
            if (key == KeyTokenEnd && !endKeys.empty()) {
                const auto next = static_cast<unsigned char>(endKeys[endKeyAt++ % endKeys.size()]);
                return next;
            }
            if (key == KeyTokenEnd) {
                // Like a closed window: the game ends here, after a last look at the screen.
                WriteScreenDump(TextOut());
                std::fflush(nullptr);
                if (!play) {
                    scriptEnded = true;
                    return KeyEndOfInput;
                }
                play->ended = true;
                play->end.inputEnded = true;
                return KeyEndOfInput;
            }
            return key;
        }
    }

    void Sleep(int) override {}
    void SetTitle(const char*) override {}
    bool MessageBox(const char*, const char*) override { return false; }

    void Transcript(const char* line) override {
        if (Muted()) return;
        if (play) {
            // A game printing for ever must not fill the memory the transcript is kept in.
            play->written += std::strlen(line) + 1;
            if (play->written > play->limit) {
                play->end.cut = true;
                play->ended = true;
                stopWanted = true;
                return;
            }
        }
        std::fputs(line, TextOut());
        std::fputc('\n', TextOut());
    }

    void ScreenDump() override {
        if (!Muted()) WriteScreenDump(TextOut());
    }

    bool StopRequested() override {
        if (!play || !stopWanted.load(std::memory_order_relaxed)) return false;
        play->end.stopped = true;
        return true;
    }

    // The key script read so far: its lines consumed tell where a play was stopped.
    const KeyScript& Keys() const { return keys_; }

  private:
    KeyScript keys_;
};

}  // namespace

DisplayDriver* MakeHeadlessDriver() { return new HeadlessDriver; }

namespace {
std::unique_ptr<HeadlessDriver> playDriver;  // a new one each play: no key read ahead is kept
}  // namespace

DisplayDriver* HeadlessPlayDriver() { return playDriver.get(); }

void GfxBeginHeadlessPlay(FILE* keys, FILE* out, size_t transcriptLimit) {
    play = std::make_unique<InProcessPlay>();
    play->limit = transcriptLimit;
    playDriver = std::make_unique<HeadlessDriver>();
    stopWanted = false;
    keysIn = keys;
    textOut = out;
    // The screen starts as a new program's does: not yet drawn on (black), with no characters
    // and no areas; the pixels of an earlier play are given back until this one draws.
    GfxScreenState& screen = GfxScreen();
    std::lock_guard<std::mutex> hold(screen.lock);
    decltype(screen.pixels)().swap(screen.pixels);
    for (std::vector<GfxCell>& row : screen.cellRows) row.clear();
    screen.areas.clear();
}

HeadlessPlayEnd GfxEndHeadlessPlay() {
    HeadlessPlayEnd end;
    if (play) end = std::move(play->end);
    if (playDriver) {
        end.lines = playDriver->Keys().lines;
        end.lastLine = playDriver->Keys().lastLine;
    }
    play.reset();
    playDriver.reset();
    keysIn = nullptr;
    textOut = nullptr;
    return end;
}

void GfxStopHeadlessPlay() { stopWanted = true; }

void GfxSetHeadlessStreams(FILE* in, FILE* out) {
    keysIn = in;
    textOut = out;
    scriptEnded = false;  // a new key script
}

void GfxSetHeadlessEndKeys(const char* keys, size_t count) {
    endKeys.assign(keys != nullptr ? keys : "", keys != nullptr ? count : 0);
    endKeyAt = 0;
}

}  // namespace umb::gfx
