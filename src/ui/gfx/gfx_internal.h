// gfx_internal.h - what the graphics layer's core shares with its two drivers.
#pragma once

#include "ui/gfx/gfx.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <sys/mman.h>

namespace umb::gfx {

struct GfxSurface {
    int width = 0;
    int height = 0;
    std::vector<GfxColour> pixels;
};

// The display-driver seam: the window driver shows the screen and delivers keys from a window
// (natively an SDL window, in a browser the page's canvas); the headless driver reads keys from
// a stream and writes transcripts and screen dumps.
class DisplayDriver {
  public:
    virtual ~DisplayDriver() = default;
    // Runs the entry: the native window driver on a game thread, the others directly.
    virtual int Run(int (*entry)(int, char**), int argc, char** argv) = 0;
    // Returns false when no window can be shown, the reason in why.
    virtual bool Open(std::string& why) = 0;
    virtual void Close() = 0;
    // The screen changed inside x1,y1-x2,y2 (corners included, on the screen); the caller does
    // not hold the screen lock.
    virtual void Present(int x1, int y1, int x2, int y2) = 0;
    // Waits for a key: ms < 0 without end; returns the code, or 0 when the time passed first.
    virtual int ReadKey(int ms) = 0;
    virtual void Sleep(int ms) = 0;
    virtual void SetTitle(const char* title) = 0;
    // Returns false when no box could be shown.
    virtual bool MessageBox(const char* caption, const char* text) = 0;
    virtual void Transcript(const char* line) = 0;
    virtual void ScreenDump() = 0;
    // A file of the player's was written (FileScreenshot, FileSavedGame); only the browser
    // driver has anything to do then.
    virtual void FileWritten(const char* path, int kind) {
        (void)path;
        (void)kind;
    }
    // The game is busy with a turn: returns true when the player asked to stop it. Only the
    // browser offers a way; the other drivers never stop a turn (a closed window ends the
    // program at once).
    virtual bool StopRequested() { return false; }
    // The player closed the window: every key wait ends at once, and the game with it.
    virtual bool InputClosed() { return false; }
};

DisplayDriver* MakeHeadlessDriver();
// The headless driver of a play in process (GfxBeginHeadlessPlay), which then stands in for the
// program's own driver; nullptr outside one.
DisplayDriver* HeadlessPlayDriver();
// The window: an SDL window natively, the page's canvas in a browser.
DisplayDriver* MakeWindowDriver();

// What a browser key press asks for besides the game's key codes.
constexpr int WebKeyNone = 0;         // nothing: the browser keeps the key
constexpr int WebKeyFullScreen = -1;  // F11 or Alt+Enter: full screen on or off
// Returns the game's key code for a browser's key press, given its DOM key name ("Enter", "a",
// "é") and modifiers, as the window maps the same keys, or one of the two values above.
int WebKeyFromDom(const char* key, bool ctrl, bool alt, bool meta);

// A character drawn on the screen: the x of its glyph cell's top-left corner and its code.
struct GfxCell {
    int16_t x;
    unsigned char ch;
};

// Memory for the screen's pixels in 2 MiB-aligned blocks, offered to the kernel as huge pages:
// the screen then costs one page fault at start-up instead of hundreds. The blocks are fresh
// anonymous memory, which the kernel hands out zeroed: elements made without a value are left
// as they are, so a new screen is black without being written over once more.
template <typename T> struct ScreenAllocator {
    using value_type = T;
    static constexpr size_t Block = size_t{2} << 20;
    ScreenAllocator() = default;
    template <typename U> ScreenAllocator(const ScreenAllocator<U>&) {}
    static size_t Rounded(size_t n) { return (n * sizeof(T) + Block - 1) / Block * Block; }
    T* allocate(size_t n) {
        const size_t size = Rounded(n);
#ifdef __EMSCRIPTEN__
        // The browser's memory has no pages to map: zeroed by hand.
        void* block = std::aligned_alloc(Block, size);
        if (block == nullptr) throw std::bad_alloc();
        return static_cast<T*>(std::memset(block, 0, size));
#endif
        // Mapped one block larger, and cut down to the aligned part.
        void* p =
            mmap(nullptr, size + Block, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        const auto start = reinterpret_cast<uintptr_t>(p);
        const uintptr_t aligned = (start + Block - 1) / Block * Block;
        if (aligned > start) munmap(p, aligned - start);
        if (const uintptr_t end = start + size + Block; end > aligned + size)
            munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
        madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
        return reinterpret_cast<T*>(aligned);
    }
    void deallocate(T* p, size_t n) {
#ifdef __EMSCRIPTEN__
        (void)n;
        std::free(p);
#else
        munmap(p, Rounded(n));
#endif
    }
    template <typename U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <typename U, typename... A> void construct(U* p, A&&... a) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
    bool operator==(const ScreenAllocator&) const { return true; }
};

// The screen in memory. The window thread reads pixels under the lock while the game draws.
struct GfxScreenState {
    // Empty until the screen is first drawn on or shown (ScreenPixels): a run that never draws
    // (the terminal, the language server, the author's tools) neither allocates nor clears it.
    // Empty reads as black.
    std::vector<GfxColour, ScreenAllocator<GfxColour>> pixels;
    // The characters on the screen, by the pixel row of their glyph cell's top-left corner.
    // Rows are short lists, so scrolling and clearing touch only the characters there are.
    std::vector<std::vector<GfxCell>> cellRows = std::vector<std::vector<GfxCell>>(ScreenHeight);
    std::mutex lock;
    std::vector<GfxTextArea> areas;
};

GfxScreenState& GfxScreen();
// The screen's pixels, allocated black when first asked for; the caller holds the lock where
// the window thread may be reading.
GfxColour* ScreenPixels(GfxScreenState& screen);
// Turns the screen black: one never drawn on already is.
void BlankScreen(GfxScreenState& screen);

// Hands each line of the screen dump of the registered areas to emit, in order.
void ForEachScreenDumpLine(void (*emit)(const char* line, void* context), void* context);
// Writes the screen dump of the registered areas to out.
void WriteScreenDump(FILE* out);

// The 8 x 14 glyphs of code page 850, one byte per row, the leftmost pixel in the high bit.
extern const unsigned char FontGlyphs[256][GlyphHeight];

}  // namespace umb::gfx
