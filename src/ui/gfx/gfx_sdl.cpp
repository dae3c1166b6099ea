// gfx_sdl.cpp - the window driver: an SDL2 window on the first thread, the game on its own.
#include "ui/gfx/gfx_internal.h"

#include <SDL.h>
#include <dlfcn.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace umb::gfx {

namespace {

// SDL2 is loaded when the window is first needed, so that headless runs and start-up do not
// pay for mapping the library and the fifty it depends on.
#define UMB_SDL_FUNCTIONS(X)                                                                       \
    X(SDL_CreateRenderer)                                                                          \
    X(SDL_CreateTexture)                                                                           \
    X(SDL_CreateWindow)                                                                            \
    X(SDL_DestroyRenderer)                                                                         \
    X(SDL_DestroyTexture)                                                                          \
    X(SDL_DestroyWindow)                                                                           \
    X(SDL_GetCurrentVideoDriver)                                                                   \
    X(SDL_GetError)                                                                                \
    X(SDL_GetNumVideoDrivers)                                                                      \
    X(SDL_GetVideoDriver)                                                                          \
    X(SDL_GetRendererOutputSize)                                                                   \
    X(SDL_GetWindowFlags)                                                                          \
    X(SDL_Init)                                                                                    \
    X(SDL_PollEvent)                                                                               \
    X(SDL_PushEvent)                                                                               \
    X(SDL_Quit)                                                                                    \
    X(SDL_RegisterEvents)                                                                          \
    X(SDL_RenderClear)                                                                             \
    X(SDL_RenderCopy)                                                                              \
    X(SDL_RenderPresent)                                                                           \
    X(SDL_SetHint)                                                                                 \
    X(SDL_SetRenderDrawColor)                                                                      \
    X(SDL_SetWindowFullscreen)                                                                     \
    X(SDL_SetWindowMinimumSize)                                                                    \
    X(SDL_SetWindowTitle)                                                                          \
    X(SDL_ShowSimpleMessageBox)                                                                    \
    X(SDL_StartTextInput)                                                                          \
    X(SDL_UpdateTexture)                                                                           \
    X(SDL_VideoInit)                                                                               \
    X(SDL_VideoQuit)                                                                               \
    X(SDL_WaitEventTimeout)

struct SdlApi {
#define UMB_SDL_MEMBER(name) decltype(&::name) name = nullptr;
    UMB_SDL_FUNCTIONS(UMB_SDL_MEMBER)
#undef UMB_SDL_MEMBER
};

SdlApi sdl;
std::string sdlLoadError;

// Returns true when every function is there; the first failure is kept in sdlLoadError.
bool LoadSdl() {
    static const bool loaded = [] {
        void* lib = nullptr;
        for (const char* name : {"libSDL2-2.0.so.0", "libSDL2.so"}) {
            lib = dlopen(name, RTLD_NOW | RTLD_LOCAL);
            if (lib != nullptr) break;
        }
        if (lib == nullptr) {
            const char* why = dlerror();
            sdlLoadError = why != nullptr ? why : "libSDL2-2.0.so.0 not found";
            return false;
        }
#define UMB_SDL_LOAD(name)                                                                         \
    sdl.name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name));                             \
    if (sdl.name == nullptr) {                                                                     \
        sdlLoadError = "libSDL2 lacks " #name;                                                     \
        return false;                                                                              \
    }
        UMB_SDL_FUNCTIONS(UMB_SDL_LOAD)
#undef UMB_SDL_LOAD
        return true;
    }();
    return loaded;
}

std::string videoError;  // why no real video driver could be started, when SDL gave no reason

// The reason the window could not be opened.
const char* SdlError() {
    if (!videoError.empty()) return videoError.c_str();
    return sdl.SDL_GetError != nullptr ? sdl.SDL_GetError() : sdlLoadError.c_str();
}

// Video drivers that open windows nobody can see.
bool IsInvisibleDriver(const char* name) {
    return std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0;
}

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Starts SDL's video; returns false when no window can be shown. Without a display SDL falls
// back to a driver that draws off screen, and the game would wait for keys that never come:
// unless the user asked for a driver by name (SDL_VIDEODRIVER), that counts as no window, with
// the reasons the real drivers gave.
bool InitVideo() {
    if (sdl.SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    const char* driver = sdl.SDL_GetCurrentVideoDriver();
    if (IsSet("SDL_VIDEODRIVER") || driver == nullptr || !IsInvisibleDriver(driver)) return true;
    sdl.SDL_Quit();
    std::string why;
    const int count = sdl.SDL_GetNumVideoDrivers();
    for (int i = 0; i < count; ++i) {
        const char* name = sdl.SDL_GetVideoDriver(i);
        if (name == nullptr || IsInvisibleDriver(name)) continue;
        if (sdl.SDL_VideoInit(name) == 0) {
            sdl.SDL_VideoQuit();
            continue;
        }
        if (!why.empty()) why += "; ";
        why += sdl.SDL_GetError();
    }
    if (why.empty()) why = "no video driver can show a window";
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY"))
        why += " (no display: DISPLAY and WAYLAND_DISPLAY are not set)";
    videoError = why;
    return false;
}

const char* const DefaultCaption = "U.M.B.";

enum class RequestKind { Open, Close, Title, MessageBox };

struct Request {
    RequestKind kind;
    std::string caption;
    std::string text;
    bool done = false;
    bool result = false;
};

// Ends the process at once: only for an exit() the window system's library makes under the game.
[[noreturn]] void EndNow(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

// True while the game thread runs. The window system's library calls exit() when the window is
// destroyed under it or the display connection breaks; destroying the driver then would wait
// forever for the game thread blocked on its condition variable, so such an exit ends at once.
std::atomic<bool> gameRunning{false};

void EndIfGameRunning() {
    if (gameRunning) EndNow(1);
}

class WindowDriver : public DisplayDriver {
  public:
    int Run(int (*entry)(int, char**), int argc, char** argv) override;
    bool Open(std::string& why) override { return Ask(RequestKind::Open, "", "", &why); }
    void Close() override { Ask(RequestKind::Close, "", ""); }
    void Present(int, int, int, int) override {
        if (window_ready_ && !present_pending_.exchange(true)) Wake();
    }
    int ReadKey(int ms) override;
    // A pause ends when the window is closed, so that the game ends at once.
    void Sleep(int ms) override {
        if (ms <= 0) return;
        std::unique_lock<std::mutex> hold(mutex_);
        changed_.wait_for(hold, std::chrono::milliseconds(ms), [this] { return closed_.load(); });
    }
    bool StopRequested() override { return closed_; }
    bool InputClosed() override { return closed_; }
    void SetTitle(const char* title) override { Ask(RequestKind::Title, title, ""); }
    bool MessageBox(const char* caption, const char* text) override {
        return Ask(RequestKind::MessageBox, caption, text);
    }
    void Transcript(const char*) override {}
    void ScreenDump() override {}

  private:
    // Game thread: hands a request to the window thread and waits until it is served.
    // The reason of a failure, when asked for, comes back in why.
    bool Ask(RequestKind kind, const std::string& caption, const std::string& text,
             std::string* why = nullptr);
    void Wake();
    // Window thread.
    void ServeRequests();
    bool OpenWindow();
    void CloseWindow();
    void Render();
    void HandleEvent(const SDL_Event& e);
    void PushKey(int key);
    void PushText(const char* utf8);
    void Shut();

    std::mutex mutex_;
    std::condition_variable changed_;  // requests, keys, the game's end
    std::deque<Request*> requests_;
    std::deque<int> keys_;
    bool game_done_ = false;
    int game_result_ = 0;

    std::atomic<bool> window_ready_{false};
    // The player closed the window: the game ends through its own path, main returning.
    std::atomic<bool> closed_{false};
    std::atomic<bool> present_pending_{false};
    Uint32 wake_event_ = 0;
    bool video_ = false;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
};

int WindowDriver::Run(int (*entry)(int, char**), int argc, char** argv) {
    // Registered after the driver was made, so it runs before the driver is destroyed.
    static const bool registered = std::atexit(EndIfGameRunning) == 0;
    (void)registered;
    gameRunning = true;
    std::thread game([this, entry, argc, argv] {
        const int result = entry(argc, argv);
        gameRunning = false;
        std::lock_guard<std::mutex> hold(mutex_);
        game_done_ = true;
        game_result_ = result;
        changed_.notify_all();
        if (window_ready_) Wake();
    });
    for (;;) {
        if (window_ready_) {
            SDL_Event e;
            if (sdl.SDL_WaitEventTimeout(&e, 250) != 0) {
                do {
                    HandleEvent(e);
                } while (sdl.SDL_PollEvent(&e) != 0);
            }
        } else {
            std::unique_lock<std::mutex> hold(mutex_);
            changed_.wait(hold, [this] { return !requests_.empty() || game_done_; });
        }
        ServeRequests();
        if (present_pending_.exchange(false)) Render();
        std::lock_guard<std::mutex> hold(mutex_);
        if (game_done_ && requests_.empty()) break;
    }
    game.join();
    CloseWindow();
    if (video_) sdl.SDL_Quit();
    return game_result_;
}

bool WindowDriver::Ask(RequestKind kind, const std::string& caption, const std::string& text,
                       std::string* why) {
    Request r{kind, caption, text};
    std::unique_lock<std::mutex> hold(mutex_);
    requests_.push_back(&r);
    changed_.notify_all();
    if (window_ready_) Wake();
    changed_.wait(hold, [&r] { return r.done; });
    if (why != nullptr) *why = r.text;
    return r.result;
}

void WindowDriver::Wake() {
    SDL_Event e{};
    e.type = wake_event_;
    sdl.SDL_PushEvent(&e);
}

void WindowDriver::ServeRequests() {
    for (;;) {
        Request* r = nullptr;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            if (requests_.empty()) return;
            r = requests_.front();
            requests_.pop_front();
        }
        bool result = true;
        switch (r->kind) {
        case RequestKind::Open:
            // The caller says so, or lets the terminal take over.
            result = OpenWindow();
            if (!result) r->text = SdlError();
            break;
        case RequestKind::Close: CloseWindow(); break;
        case RequestKind::Title:
            if (window_ != nullptr) sdl.SDL_SetWindowTitle(window_, r->caption.c_str());
            break;
        case RequestKind::MessageBox:
            result = LoadSdl() &&
                     sdl.SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, r->caption.c_str(),
                                                  r->text.c_str(), window_) == 0;
            break;
        }
        std::lock_guard<std::mutex> hold(mutex_);
        r->result = result;
        r->done = true;
        changed_.notify_all();
    }
}

bool WindowDriver::OpenWindow() {
    if (window_ != nullptr) return true;
    if (!video_) {
        if (!LoadSdl() || !InitVideo()) return false;
        video_ = true;
        wake_event_ = sdl.SDL_RegisterEvents(1);
    }
    sdl.SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    window_ = sdl.SDL_CreateWindow(DefaultCaption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   ScreenWidth, ScreenHeight, SDL_WINDOW_RESIZABLE);
    if (window_ == nullptr) return false;
    sdl.SDL_SetWindowMinimumSize(window_, ScreenWidth / 4, ScreenHeight / 4);
    renderer_ = sdl.SDL_CreateRenderer(window_, -1, 0);
    if (renderer_ == nullptr)
        renderer_ = sdl.SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ == nullptr) return false;
    texture_ = sdl.SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_XBGR8888,
                                     SDL_TEXTUREACCESS_STREAMING, ScreenWidth, ScreenHeight);
    if (texture_ == nullptr) return false;
    {
        // The screen the window shows is allocated here, before the game thread draws on it.
        std::lock_guard<std::mutex> hold(GfxScreen().lock);
        ScreenPixels(GfxScreen());
    }
    sdl.SDL_StartTextInput();
    window_ready_ = true;
    present_pending_ = true;
    return true;
}

void WindowDriver::CloseWindow() {
    window_ready_ = false;
    if (texture_ != nullptr) sdl.SDL_DestroyTexture(texture_);
    if (renderer_ != nullptr) sdl.SDL_DestroyRenderer(renderer_);
    if (window_ != nullptr) sdl.SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
}

// Shows the screen scaled with its aspect kept: by whole multiples when the window allows, so
// the font and pixel art stay crisp, else scaled down.
void WindowDriver::Render() {
    if (texture_ == nullptr) return;
    {
        std::lock_guard<std::mutex> hold(GfxScreen().lock);
        sdl.SDL_UpdateTexture(texture_, nullptr, ScreenPixels(GfxScreen()),
                              ScreenWidth * static_cast<int>(sizeof(GfxColour)));
    }
    int w = 0;
    int h = 0;
    sdl.SDL_GetRendererOutputSize(renderer_, &w, &h);
    double scale =
        std::min(static_cast<double>(w) / ScreenWidth, static_cast<double>(h) / ScreenHeight);
    if (scale >= 1.0) scale = static_cast<int>(scale);
    SDL_Rect dst;
    dst.w = static_cast<int>(ScreenWidth * scale);
    dst.h = static_cast<int>(ScreenHeight * scale);
    dst.x = (w - dst.w) / 2;
    dst.y = (h - dst.h) / 2;
    sdl.SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    sdl.SDL_RenderClear(renderer_);
    sdl.SDL_RenderCopy(renderer_, texture_, nullptr, &dst);
    sdl.SDL_RenderPresent(renderer_);
}

void WindowDriver::PushKey(int key) {
    std::lock_guard<std::mutex> hold(mutex_);
    keys_.push_back(key);
    changed_.notify_all();
}

// Typed text arrives as UTF-8; each character the code page has becomes its byte.
void WindowDriver::PushText(const char* utf8) {
    while (*utf8 != '\0') {
        const int32_t cp = NextUtf8(&utf8);
        if (cp < 0) continue;  // a broken sequence types nothing
        if (const int byte = UnicodeToCp850(static_cast<uint32_t>(cp)); byte != 0) PushKey(byte);
    }
}

void WindowDriver::HandleEvent(const SDL_Event& e) {
    switch (e.type) {
    case SDL_QUIT: Shut(); break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            Shut();
            break;
        }
        present_pending_ = true;
        break;
    case SDL_TEXTINPUT: PushText(e.text.text); break;
    case SDL_KEYDOWN: {
        const SDL_Keycode key = e.key.keysym.sym;
        const Uint16 mod = e.key.keysym.mod;
        const bool enter = key == SDLK_RETURN || key == SDLK_KP_ENTER;
        if (key == SDLK_F11 || (enter && (mod & KMOD_ALT) != 0)) {
            const bool full =
                (sdl.SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
            sdl.SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
            present_pending_ = true;
        } else if (enter) {
            PushKey(KeyEnter);
        } else if (key == SDLK_BACKSPACE) {
            PushKey(KeyBackspace);
        } else if (key == SDLK_ESCAPE) {
            PushKey(KeyEscape);
        } else if (key == SDLK_UP) {
            PushKey(KeyUp);
        } else if (key == SDLK_DOWN) {
            PushKey(KeyDown);
        } else if (key == SDLK_F12) {
            PushKey(KeyPictureToggle);
        } else if (key == SDLK_PRINTSCREEN && (mod & KMOD_CTRL) != 0) {
            PushKey(KeyScreenshot);
        } else if (key == SDLK_z && (mod & KMOD_CTRL) != 0) {
            PushKey(KeyUndo);  // SDL sends no text for a control key, so no "z" is typed
        }
        break;
    }
    default: break;
    }
}

// The window goes at once; the game, told by every key wait and its stop question, winds down
// on its own thread and the program ends when it returns.
void WindowDriver::Shut() {
    CloseWindow();
    std::lock_guard<std::mutex> hold(mutex_);
    closed_ = true;
    changed_.notify_all();
}

int WindowDriver::ReadKey(int ms) {
    std::unique_lock<std::mutex> hold(mutex_);
    auto ready = [this] { return !keys_.empty() || closed_; };
    if (ms < 0) {
        changed_.wait(hold, ready);
    } else if (!changed_.wait_for(hold, std::chrono::milliseconds(ms), ready)) {
        return 0;
    }
    if (keys_.empty()) return KeyEndOfInput;
    const int key = keys_.front();
    keys_.pop_front();
    return key;
}

}  // namespace

DisplayDriver* MakeWindowDriver() { return new WindowDriver; }

}  // namespace umb::gfx
