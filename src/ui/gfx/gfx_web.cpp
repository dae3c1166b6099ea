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
#include <deque>
#include <string>
#include <vector>

namespace umb::gfx {

namespace {

// clang-format off
EM_JS(void, PageShow, (const void* rgba, int width, int height), {
    Module.umbPage.show(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height);
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
EM_JS(void, PageEnded, (), { Module.umbPage.ended(); });
EM_JS(void, PageFullScreen, (), { Module.umbPage.fullScreen(); });
// clang-format on

// A request queued with the keys: a screen dump when the game next asks for a key, as the
// headless driver's {screen}.
constexpr int DumpRequest = -2;

// How long the game sleeps between looks at the keys while it waits: short enough that a key
// shows at once, long enough to cost nothing while the page is idle.
constexpr int PollMs = 10;

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
        dirty_ = true;
        return true;
    }

    // The game is over: the page shows the last screen and, as the headless driver, the
    // transcript ends with a dump of it.
    void Close() override {
        Show();
        ScreenDump();
        ended_ = true;
        PageEnded();
    }

    void Present() override { dirty_ = true; }

    int ReadKey(int ms) override {
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
                Busy();
                return key;
            }
            if (ms >= 0 && slept && emscripten_get_now() - start >= ms) return 0;
            Idle();
            emscripten_sleep(ms < 0 ? PollMs : static_cast<unsigned>(std::min(ms, PollMs)));
        }
    }

    void Sleep(int ms) override {
        Show();
        emscripten_sleep(ms > 0 ? static_cast<unsigned>(ms) : 0);
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
    bool Waiting() const { return waiting_ && keys_.empty(); }
    double BusyMs() const { return busyMs_ + (waiting_ ? 0.0 : emscripten_get_now() - busySince_); }

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

    // The screen goes to the canvas only when the game is about to wait, in one piece.
    void Show() {
        if (!dirty_) return;
        dirty_ = false;
        const auto& pixels = GfxScreen().pixels;
        rgba_.resize(pixels.size());
        // The canvas wants red, green, blue and an opaque alpha, byte by byte: the colour values
        // lack only the alpha.
        for (size_t i = 0; i < pixels.size(); ++i) rgba_[i] = pixels[i] | 0xFF000000u;
        PageShow(rgba_.data(), ScreenWidth, ScreenHeight);
    }

    // The game has done all it can and waits for the player.
    void Idle() {
        Show();
        if (waiting_) return;
        waiting_ = true;
        busyMs_ += emscripten_get_now() - busySince_;
        PageWaiting();
    }

    void Busy() {
        if (!waiting_) return;
        waiting_ = false;
        busySince_ = emscripten_get_now();
    }

    std::deque<int> keys_;
    std::vector<uint32_t> rgba_;
    bool listening_ = false;
    bool dirty_ = false;
    bool ended_ = false;
    bool waiting_ = false;
    double busySince_ = emscripten_get_now();
    double busyMs_ = 0;
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

// Returns 1 while the game waits for a key with none queued, else 0.
EMSCRIPTEN_KEEPALIVE int umb_waiting() {
    return umb::gfx::active != nullptr && umb::gfx::active->Waiting() ? 1 : 0;
}

// Returns the milliseconds the game has spent working rather than waiting for keys.
EMSCRIPTEN_KEEPALIVE double umb_busy_ms() {
    return umb::gfx::active != nullptr ? umb::gfx::active->BusyMs() : 0.0;
}
}
