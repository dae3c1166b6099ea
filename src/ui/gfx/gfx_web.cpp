// gfx_web.cpp - the browser driver: the screen on the page's canvas, keys from the page.
//
// The game runs on the page's only thread. Where it waits for a key it yields to the browser
// (the build's asyncify lets emscripten_sleep return to the event loop and resume later), so
// key presses, drawing and everything else on the page go on meanwhile. The page (player.js)
// supplies Module.umbPage, which does the DOM side: the canvas, dialogs, downloads, storage.
#include "ui/gfx/gfx_internal.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <string>
#include <vector>

namespace umb::gfx {

namespace {

// clang-format off
// A part of the screen changed: the rectangle at x, y of the 800-pixel-wide screen whose colour
// values (red, green, blue bytes and one unused) start at screen. The page takes it when the
// browser next draws a frame, all that changed by then in one piece: the game never waits for
// the canvas, and a run of quick waits costs one copy, not one each.
EM_JS(void, PageShow, (const void* screen, int x, int y, int width, int height), {
    var due = Module.umbDue;
    if (due) {
        var right = Math.max(due.x + due.w, x + width), bottom = Math.max(due.y + due.h, y + height);
        due.x = Math.min(due.x, x);
        due.y = Math.min(due.y, y);
        due.w = right - due.x;
        due.h = bottom - due.y;
        return;
    }
    Module.umbDue = {x: x, y: y, w: width, h: height};
    requestAnimationFrame(function () {
        var d = Module.umbDue;
        Module.umbDue = null;
        var rgba = new Uint8ClampedArray(d.w * d.h * 4);
        for (var row = 0; row < d.h; ++row) {
            var from = screen + ((d.y + row) * 800 + d.x) * 4;
            rgba.set(HEAPU8.subarray(from, from + d.w * 4), row * d.w * 4);
        }
        for (var i = 3; i < rgba.length; i += 4) rgba[i] = 255;
        Module.umbPage.show(rgba, d.x, d.y, d.w, d.h);
    });
});
EM_JS(void, PageTranscript, (const char16_t* line), {
    Module.umbPage.transcript(UTF16ToString(line));
});
EM_JS(void, PageTitle, (const char16_t* title), { Module.umbPage.title(UTF16ToString(title)); });
EM_JS(void, PageAlert, (const char16_t* caption, const char16_t* text), {
    Module.umbPage.alert(UTF16ToString(caption), UTF16ToString(text));
});
EM_JS(void, PageFileWritten, (const char* path, int kind), {
    Module.umbPage.fileWritten(UTF8ToString(path), kind);
});
EM_JS(void, PageWaiting, (), { Module.umbPage.waiting(); });
EM_JS(void, PageEnded, (int stopped), { Module.umbPage.ended(stopped !== 0); });
EM_JS(void, PageBusy, (int busy), { Module.umbPage.busy(busy !== 0); });
EM_JS(void, PageFullScreen, (), { Module.umbPage.fullScreen(); });
// clang-format on

// A request queued with the keys: a screen dump when the game next asks for a key, as the
// headless driver's {screen}.
constexpr int DumpRequest = -2;

// How long the game sleeps between looks at the keys while it waits: short enough that a key
// shows at once, long enough to cost nothing while the page is idle.
constexpr int PollMs = 10;

// A turn that has kept the page this long without a wait is offered a Stop button.
constexpr double BusyStopMs = 2000;
// How often a busy turn hands the page to the browser, so that it draws, takes clicks and is not
// reported as hanging.
constexpr double BusyYieldMs = 50;

// Texts on the screen are code page 850; the page speaks Unicode.
std::u16string ToUtf16(const char* text) {
    std::u16string out;
    for (const char* p = text; *p != '\0'; ++p) {
        const auto b = static_cast<unsigned char>(*p);
        out.push_back(static_cast<char16_t>(b < 0x80 ? b : Cp850ToUnicode[b]));
    }
    return out;
}

class WebDriver;
WebDriver* active = nullptr;  // the page's one driver, for the calls from the page

class WebDriver : public DisplayDriver {
  public:
    WebDriver() { active = this; }
    ~WebDriver() override {
        if (active == this) active = nullptr;
    }

    int Run(int (*entry)(int, char**), int argc, char** argv) override { return entry(argc, argv); }

    bool Open(std::string&) override {
        if (!listening_) {
            emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, 1, OnKeyDown);
            listening_ = true;
        }
        Present(0, 0, ScreenWidth - 1, ScreenHeight - 1);
        return true;
    }

    // The game is over: the page shows the last screen and, as the headless driver, the
    // transcript ends with a dump of it.
    void Close() override {
        Show();
        ScreenDump();
        ended_ = true;
        // The keys are the page's own again.
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, 1, nullptr);
        listening_ = false;
        if (offeringStop_) PageBusy(0);
        offeringStop_ = false;
        PageEnded(stop_ ? 1 : 0);
    }

    void Present(int x1, int y1, int x2, int y2) override {
        dirtyX1_ = std::min(dirtyX1_, x1);
        dirtyY1_ = std::min(dirtyY1_, y1);
        dirtyX2_ = std::max(dirtyX2_, x2);
        dirtyY2_ = std::max(dirtyY2_, y2);
    }

    int ReadKey(int ms) override {
        EndBusy();
        const int key = WaitForKey(ms);
        busySince_ = lastYield_ = emscripten_get_now();  // what follows the key is the turn
        return key;
    }

    void Sleep(int ms) override {
        EndBusy();
        Show();
        Nap(ms);
        busySince_ = lastYield_ = emscripten_get_now();
    }

    // Called every few thousand script lines of a turn. The page would freeze while the turn
    // runs: now and then it is given to the browser, and after a while it offers to stop.
    bool StopRequested() override {
        const double now = emscripten_get_now();
        if (now - lastYield_ >= BusyYieldMs) {
            if (!offeringStop_ && now - busySince_ >= BusyStopMs) {
                offeringStop_ = true;
                PageBusy(1);
            }
            Show();
            Nap(0);
            lastYield_ = emscripten_get_now();
        }
        return stop_;
    }

    void SetTitle(const char* title) override { PageTitle(ToUtf16(title).c_str()); }

    bool MessageBox(const char* caption, const char* text) override {
        Show();
        PageAlert(ToUtf16(caption).c_str(), ToUtf16(text).c_str());
        return true;
    }

    void Transcript(const char* line) override { PageTranscript(ToUtf16(line).c_str()); }

    void ScreenDump() override {
        ForEachScreenDumpLine(
            [](const char* line, void* self) { static_cast<WebDriver*>(self)->Transcript(line); },
            this);
    }

    void FileWritten(const char* path, int kind) override { PageFileWritten(path, kind); }

    // From the page.
    void Queue(int key) { keys_.push_back(key); }
    void RequestDump() {
        // Once the game is over no key is asked for again: the dump is made at once.
        if (ended_)
            ScreenDump();
        else
            keys_.push_back(DumpRequest);
    }
    bool Asking() const { return asking_ && keys_.empty(); }
    // The page's Stop button, shown only during a long turn.
    void RequestStop() {
        if (offeringStop_) stop_ = true;
    }
    double ShowingMs() const { return showing_; }
    double BusyMs() const {
        // A nap under way is not work either.
        return (napSince_ > 0 ? napSince_ : emscripten_get_now()) - started_ - napping_;
    }

  private:
    static EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* e, void* self) {
        const int code = WebKeyFromDom(e->key, e->ctrlKey != 0, e->altKey != 0, e->metaKey != 0);
        if (code == WebKeyNone) return EM_FALSE;
        // Asked for while the key is being pressed: browsers allow full screen only then.
        if (code == WebKeyFullScreen)
            PageFullScreen();
        else
            static_cast<WebDriver*>(self)->Queue(code);
        return EM_TRUE;  // the browser does nothing else with the key
    }

    // What changed on the screen goes to the page only when the game is about to wait, in one
    // piece; the page puts it on the canvas at its next frame.
    void Show() {
        if (dirtyX1_ > dirtyX2_ || dirtyY1_ > dirtyY2_) return;
        const double start = emscripten_get_now();
        const int width = dirtyX2_ - dirtyX1_ + 1;
        const int height = dirtyY2_ - dirtyY1_ + 1;
        PageShow(GfxScreen().pixels.data(), dirtyX1_, dirtyY1_, width, height);
        showing_ += emscripten_get_now() - start;
        dirtyX1_ = dirtyY1_ = std::numeric_limits<int>::max();
        dirtyX2_ = dirtyY2_ = -1;
    }

    // Waits for a key as ReadKey does.
    int WaitForKey(int ms) {
        const double start = emscripten_get_now();
        // A timed wait yields at least once, so that even a game polling the keys leaves the
        // page alive.
        for (bool slept = false;; slept = true) {
            while (!keys_.empty()) {
                const int key = keys_.front();
                keys_.pop_front();
                if (key == DumpRequest) {
                    ScreenDump();
                    continue;
                }
                asking_ = false;
                return key;
            }
            if (ms >= 0 && slept && emscripten_get_now() - start >= ms) return 0;
            Show();
            // Only a wait without end asks the player: a pause goes by on its own.
            if (ms < 0 && !asking_) {
                asking_ = true;
                PageWaiting();
            }
            Nap(ms < 0 ? PollMs : std::min(ms, PollMs));
        }
    }

    // The game waits again: the turn, if it was long, is over.
    void EndBusy() {
        if (offeringStop_) PageBusy(0);
        offeringStop_ = false;
    }

    // Hands the page to the browser for ms milliseconds (0: one turn of its event loop).
    void Nap(int ms) {
        napSince_ = emscripten_get_now();
        emscripten_sleep(ms > 0 ? static_cast<unsigned>(ms) : 0);
        napping_ += emscripten_get_now() - napSince_;
        napSince_ = 0;
    }

    std::deque<int> keys_;
    bool listening_ = false;
    // What changed on the screen since it was last shown; empty when x1 > x2.
    int dirtyX1_ = std::numeric_limits<int>::max();
    int dirtyY1_ = std::numeric_limits<int>::max();
    int dirtyX2_ = -1;
    int dirtyY2_ = -1;
    bool ended_ = false;
    bool asking_ = false;  // waiting for a key without end: the game asks the player
    const double started_ = emscripten_get_now();
    double napping_ = 0;           // the time given to the browser while waiting or pausing
    double napSince_ = 0;          // when the nap under way began; 0: none is
    double showing_ = 0;           // the part of the work spent showing the screen
    double busySince_ = started_;  // when the turn under way began: the last wait ended
    double lastYield_ = started_;  // when the game last gave the page to the browser
    bool offeringStop_ = false;    // the page shows its Stop button
    bool stop_ = false;            // the player pressed it
};

}  // namespace

DisplayDriver* MakeWindowDriver() { return new WebDriver; }

}  // namespace umb::gfx

// What the page calls.
extern "C" {

// Asks for a screen dump in the transcript when the game next asks for a key.
EMSCRIPTEN_KEEPALIVE void umb_screen_dump() {
    if (umb::gfx::active != nullptr) umb::gfx::active->RequestDump();
}

// Hands the game a key code, as pressing the key would (the page's own buttons).
EMSCRIPTEN_KEEPALIVE void umb_press_key(int code) {
    if (umb::gfx::active != nullptr && code > 0) umb::gfx::active->Queue(code);
}

// The page's Stop button: stops the turn under way (offered only once it has run a while).
EMSCRIPTEN_KEEPALIVE void umb_stop() {
    if (umb::gfx::active != nullptr) umb::gfx::active->RequestStop();
}

// Returns 1 while the game waits for the player's key, none being queued, else 0 (also during
// a timed pause).
EMSCRIPTEN_KEEPALIVE int umb_waiting() {
    return umb::gfx::active != nullptr && umb::gfx::active->Asking() ? 1 : 0;
}

// Returns the milliseconds the game has spent working, rather than waiting or pausing.
EMSCRIPTEN_KEEPALIVE double umb_busy_ms() {
    return umb::gfx::active != nullptr ? umb::gfx::active->BusyMs() : 0.0;
}

// Returns the part of umb_busy_ms spent putting the screen on the canvas.
EMSCRIPTEN_KEEPALIVE double umb_showing_ms() {
    return umb::gfx::active != nullptr ? umb::gfx::active->ShowingMs() : 0.0;
}
}
