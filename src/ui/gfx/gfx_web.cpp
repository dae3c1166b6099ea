// gfx_web.cpp - the browser driver: the screen on the page's canvas, keys from the page.
//
// The game runs on the page's only thread. Where it waits for a key it yields to the browser
// (the build's asyncify lets PageNap return to the event loop and resume later), so key
// presses, drawing and everything else on the page go on meanwhile. The page (player.js)
// supplies Module.umbPage, which does the DOM side: the canvas, dialogs, downloads, storage.
#include "ui/gfx/gfx_internal.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <string>
#include <vector>

namespace umb::gfx {

namespace {

// clang-format off
// A part of the screen changed: the rectangle at x, y. The page puts it on the canvas as soon as
// the game has handed the page back to the browser (a microtask runs once the game's call has
// returned), all that changed by then in one piece: the game never waits for the canvas, and
// the canvas shows a key's echo before the next frame. The screen is whole while the game sleeps;
// umb_frame lays the rectangle out as the canvas takes it.
EM_JS(void, PageShow, (int x, int y, int width, int height), {
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
    queueMicrotask(function () {
        var d = Module.umbDue;
        Module.umbDue = null;
        var rgba = Module._umb_frame(d.x, d.y, d.w, d.h);
        Module.umbPage.show(HEAPU8.subarray(rgba, rgba + d.w * d.h * 4), d.x, d.y, d.w, d.h);
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
// Gives the page to the browser until ms milliseconds have passed (below 0: without end) or, with
// byKeys, until PageWake: the game sleeps without polling, costs nothing while the player thinks,
// and takes a key as soon as the page has it.
EM_ASYNC_JS(void, PageNap, (int ms, int byKeys), {
    await new Promise(function (resolve) {
        var timer = ms >= 0 ? setTimeout(wake, ms) : 0;
        function wake() {
            if (timer === null) return;
            clearTimeout(timer);
            timer = null;
            Module.umbWake = null;
            resolve();
        }
        if (byKeys) Module.umbWake = wake;
    });
});
// A key or a request came from the page: a nap by keys ends. The game goes on in a task of its
// own, once the event that brought the key has reached all its listeners.
EM_JS(void, PageWake, (), {
    if (Module.umbWake) setTimeout(Module.umbWake, 0);
});
// clang-format on

// A request queued with the keys: a screen dump when the game next asks for a key, as the
// headless driver's {screen}.
constexpr int DumpRequest = -2;

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
        Nap(ms, false);
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
            Nap(0, false);
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
    void Queue(int key) {
        keys_.push_back(key);
        PageWake();
    }
    void RequestDump() {
        // Once the game is over no key is asked for again: the dump is made at once.
        if (ended_)
            ScreenDump();
        else
            Queue(DumpRequest);
    }
    bool Asking() const { return asking_ && keys_.empty(); }
    // The page's Stop button, shown only during a long turn.
    void RequestStop() {
        if (offeringStop_) stop_ = true;
    }
    double ShowingMs() const { return showing_; }
    // The screen's rectangle as the canvas takes it: rows of red, green, blue and opaque alpha
    // bytes, one after the other. Valid until the next call.
    const unsigned char* Frame(int x, int y, int width, int height) {
        // Grown, never shrunk: a resize down and up again would clear what it adds, key after key.
        const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height);
        if (frame_.size() < size) frame_.resize(size);
        const GfxColour* screen = ScreenPixels(GfxScreen());
        GfxColour* out = frame_.data();
        // A colour value keeps red, green and blue in its low three bytes, the order the canvas
        // reads on this little-endian machine; the loop becomes vector instructions.
        for (int row = 0; row < height; ++row) {
            const GfxColour* from = screen + (y + row) * ScreenWidth + x;
            for (int i = 0; i < width; ++i) out[i] = from[i] | 0xFF000000u;
            out += width;
        }
        return reinterpret_cast<const unsigned char*>(frame_.data());
    }
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
        PageShow(dirtyX1_, dirtyY1_, width, height);
        showing_ += emscripten_get_now() - start;
        dirtyX1_ = dirtyY1_ = std::numeric_limits<int>::max();
        dirtyX2_ = dirtyY2_ = -1;
    }

    // Waits for a key as ReadKey does.
    int WaitForKey(int ms) {
        // Only a timed wait looks at the clock: a call out of the game costs, key after key.
        const double start = ms >= 0 ? emscripten_get_now() : 0;
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
            const double left = ms >= 0 ? ms - (emscripten_get_now() - start) : 0;
            if (ms >= 0 && slept && left <= 0) return 0;
            Show();
            // Only a wait without end asks the player: a pause goes by on its own.
            if (ms < 0 && !asking_) {
                asking_ = true;
                PageWaiting();
            }
            Nap(ms < 0 ? -1 : static_cast<int>(std::ceil(std::max(left, 0.0))), true);
        }
    }

    // The game waits again: the turn, if it was long, is over.
    void EndBusy() {
        if (offeringStop_) PageBusy(0);
        offeringStop_ = false;
    }

    // Hands the page to the browser for ms milliseconds (0: one turn of its event loop; below 0:
    // without end), or with byKeys until a key or a request comes from the page first.
    void Nap(int ms, bool byKeys) {
        napSince_ = emscripten_get_now();
        PageNap(ms, byKeys ? 1 : 0);
        napping_ += emscripten_get_now() - napSince_;
        napSince_ = 0;
    }

    std::deque<int> keys_;
    std::vector<GfxColour> frame_;  // the last rectangle handed to the canvas
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

// Returns the screen's rectangle at x, y as the canvas's RGBA bytes (the page's next frame);
// valid until the next call. The rectangle lies on the screen.
EMSCRIPTEN_KEEPALIVE const unsigned char* umb_frame(int x, int y, int width, int height) {
    return umb::gfx::active != nullptr ? umb::gfx::active->Frame(x, y, width, height) : nullptr;
}

// Returns the part of umb_busy_ms spent putting the screen on the canvas.
EMSCRIPTEN_KEEPALIVE double umb_showing_ms() {
    return umb::gfx::active != nullptr ? umb::gfx::active->ShowingMs() : 0.0;
}
}
