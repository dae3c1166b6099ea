// gfx_core.cpp - the screen in memory: surfaces, boxes, pixels, copies, text and its cells.
#include "ui/gfx/gfx_internal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace umb::gfx {

namespace {

std::unique_ptr<DisplayDriver> driver;
int forcedHeadless = -1;  // -1: the environment decides
int boxesAllowed = -1;    // -1: whether the program has a terminal decides
GfxSurface* current = nullptr;

// Whether the headless driver is chosen: by a test, else by UMB_DRIVER=headless.
bool HeadlessChosen() {
    if (forcedHeadless >= 0) return forcedHeadless == 1;
    const char* name = std::getenv("UMB_DRIVER");
    return name != nullptr && std::strcmp(name, "headless") == 0;
}

DisplayDriver& Driver() {
    if (DisplayDriver* inProcess = HeadlessPlayDriver(); inProcess != nullptr) return *inProcess;
    if (!driver) driver.reset(HeadlessChosen() ? MakeHeadlessDriver() : MakeWindowDriver());
    return *driver;
}

// A drawing target: an off-screen surface, or the screen with its cells.
struct Target {
    GfxColour* pixels;
    int width;
    int height;
    bool screen;
};

Target TargetOf(GfxSurface* s) {
    if (s == nullptr) return {ScreenPixels(GfxScreen()), ScreenWidth, ScreenHeight, true};
    return {s->pixels.data(), s->width, s->height, false};
}

// Holds the screen lock while drawing on the screen, and tells the driver afterwards which part
// of the screen the drawing may have changed: the rectangle x1,y1-x2,y2, corners in any order,
// cut to the screen (nothing, when it lies outside).
class ScreenGuard {
  public:
    ScreenGuard(bool screen, int x1, int y1, int x2, int y2)
        : screen_(screen), x1_(std::max(std::min(x1, x2), 0)), y1_(std::max(std::min(y1, y2), 0)),
          x2_(std::min(std::max(x1, x2), ScreenWidth - 1)),
          y2_(std::min(std::max(y1, y2), ScreenHeight - 1)) {
        if (screen_) GfxScreen().lock.lock();
    }
    ~ScreenGuard() {
        if (!screen_) return;
        GfxScreen().lock.unlock();
        if (x1_ <= x2_ && y1_ <= y2_) Driver().Present(x1_, y1_, x2_, y2_);
    }
    ScreenGuard(const ScreenGuard&) = delete;
    ScreenGuard& operator=(const ScreenGuard&) = delete;

  private:
    bool screen_;
    int x1_, y1_, x2_, y2_;
};

// Clips a rectangle to a target; false when nothing of it is left.
bool Clip(const Target& t, int& x1, int& y1, int& x2, int& y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, t.width - 1);
    y2 = std::min(y2, t.height - 1);
    return x1 <= x2 && y1 <= y2;
}

// Forgets the characters whose glyph cells overlap the rectangle.
void RemoveCells(int x1, int y1, int x2, int y2) {
    auto& rows = GfxScreen().cellRows;
    const int left = x1 - (GlyphWidth - 1);
    for (int y = std::max(y1 - (GlyphHeight - 1), 0); y <= std::min(y2, ScreenHeight - 1); ++y) {
        auto& row = rows[static_cast<size_t>(y)];
        if (row.empty()) continue;
        std::erase_if(row, [&](const GfxCell& c) { return c.x >= left && c.x <= x2; });
    }
}

void ClearCells() {
    for (auto& row : GfxScreen().cellRows) row.clear();
}

void Fill(const Target& t, int x1, int y1, int x2, int y2, GfxColour c) {
    if (!Clip(t, x1, y1, x2, y2)) return;
    for (int y = y1; y <= y2; ++y) std::fill_n(t.pixels + y * t.width + x1, x2 - x1 + 1, c);
}

void Copy(GfxSurface* dstSurface, int x, int y, GfxSurface* srcSurface, int x1, int y1, int x2,
          int y2) {
    const Target dst = TargetOf(dstSurface);
    const Target src = TargetOf(srcSurface);
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    // Clip the source to its surface, then the destination to its own, moving both together.
    const int left = std::max({0, -x1, -(x + 0)});
    const int top = std::max({0, -y1, -(y + 0)});
    x1 += left, x += left, y1 += top, y += top;
    x2 = std::min({x2, src.width - 1, x1 + (dst.width - 1 - x)});
    y2 = std::min({y2, src.height - 1, y1 + (dst.height - 1 - y)});
    if (x1 > x2 || y1 > y2) return;
    const int w = x2 - x1 + 1;
    const int h = y2 - y1 + 1;
    // A copy from the screen to a surface reads the screen under the lock and changes none of
    // it: its rectangle then lies off the screen.
    const bool changes = dst.screen;
    ScreenGuard guard(dst.screen || src.screen, changes ? x : -1, changes ? y : -1,
                      changes ? x + w - 1 : -1, changes ? y + h - 1 : -1);
    // memmove row by row in the right order keeps overlapping copies a move.
    const bool upward = dst.pixels == src.pixels && y > y1;
    for (int i = 0; i < h; ++i) {
        const int row = upward ? h - 1 - i : i;
        std::memmove(dst.pixels + (y + row) * dst.width + x,
                     src.pixels + (y1 + row) * src.width + x1,
                     static_cast<size_t>(w) * sizeof(GfxColour));
    }
    if (!dst.screen) return;
    auto& rows = GfxScreen().cellRows;
    struct Moved {
        int x, y;
        unsigned char ch;
    };
    std::vector<Moved> moved;
    if (src.screen) {
        // The characters whose whole cell lies inside the source move with it.
        for (int cy = y1; cy + GlyphHeight - 1 <= y2; ++cy) {
            auto& row = rows[static_cast<size_t>(cy)];
            if (row.empty()) continue;
            std::erase_if(row, [&](const GfxCell& c) {
                if (c.x < x1 || c.x + GlyphWidth - 1 > x2) return false;
                moved.push_back({c.x - x1 + x, cy - y1 + y, c.ch});
                return true;
            });
        }
    }
    RemoveCells(x, y, x + w - 1, y + h - 1);
    for (const Moved& m : moved)
        rows[static_cast<size_t>(m.y)].push_back({static_cast<int16_t>(m.x), m.ch});
}

}  // namespace

GfxScreenState& GfxScreen() {
    static GfxScreenState state;
    return state;
}

GfxColour* ScreenPixels(GfxScreenState& screen) {
    if (screen.pixels.empty()) screen.pixels.resize(size_t{ScreenWidth} * ScreenHeight);
    return screen.pixels.data();
}

void BlankScreen(GfxScreenState& screen) {
    std::fill(screen.pixels.begin(), screen.pixels.end(), GfxColour{0});
}

void GfxUseHeadless(bool headless) {
    forcedHeadless = headless ? 1 : 0;
    driver.reset();
}

bool GfxHeadlessChosen() { return HeadlessChosen(); }

int GfxRun(int (*entry)(int, char**), int argc, char** argv) {
    return Driver().Run(entry, argc, argv);
}

int GfxOpenScreen(char* why, size_t whySize) {
    {
        std::lock_guard<std::mutex> hold(GfxScreen().lock);
        BlankScreen(GfxScreen());
        ClearCells();
    }
    current = nullptr;
    std::string reason;
    if (Driver().Open(reason)) return 0;
    if (why != nullptr && whySize > 0) std::snprintf(why, whySize, "%s", reason.c_str());
    return -1;
}

void GfxCloseScreen() { Driver().Close(); }

GfxColour GfxColourFromRgb(int red, int green, int blue) {
    return static_cast<GfxColour>(red & 255) | static_cast<GfxColour>(green & 255) << 8 |
           static_cast<GfxColour>(blue & 255) << 16;
}

void GfxRgbOfColour(GfxColour c, int* red, int* green, int* blue) {
    *red = static_cast<int>(c & 255);
    *green = static_cast<int>((c >> 8) & 255);
    *blue = static_cast<int>((c >> 16) & 255);
}

GfxSurface* GfxCreateSurface(int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    auto* s = new (std::nothrow) GfxSurface;
    if (s == nullptr) return nullptr;
    s->width = width;
    s->height = height;
    s->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    return s;
}

void GfxDestroySurface(GfxSurface* s) {
    if (current == s) current = nullptr;
    delete s;
}

void GfxSelectSurface(GfxSurface* s) { current = s; }

void GfxClearSurface(GfxColour c) {
    // Black on a screen not yet drawn on is what it reads as already: it stays unallocated.
    const bool blank = current == nullptr && c == 0 && GfxScreen().pixels.empty();
    const Target t = blank ? Target{nullptr, ScreenWidth, ScreenHeight, true} : TargetOf(current);
    ScreenGuard guard(t.screen, 0, 0, t.width - 1, t.height - 1);
    if (!blank) std::fill_n(t.pixels, t.width * t.height, c);
    if (t.screen) ClearCells();
}

void GfxClearScreen(GfxColour c) {
    GfxSurface* keep = current;
    current = nullptr;
    GfxClearSurface(c);
    current = keep;
}

void GfxFillBox(int x1, int y1, int x2, int y2, GfxColour c) {
    const Target t = TargetOf(current);
    ScreenGuard guard(t.screen, x1, y1, x2, y2);
    Fill(t, x1, y1, x2, y2, c);
    if (t.screen)
        RemoveCells(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
}

void GfxFrameBox(int x1, int y1, int x2, int y2, GfxColour c) {
    const Target t = TargetOf(current);
    ScreenGuard guard(t.screen, x1, y1, x2, y2);
    Fill(t, x1, y1, x2, y1, c);
    Fill(t, x1, y2, x2, y2, c);
    Fill(t, x1, y1, x1, y2, c);
    Fill(t, x2, y1, x2, y2, c);
}

void GfxPlotPixel(int x, int y, GfxColour c) {
    const Target t = TargetOf(current);
    if (x < 0 || y < 0 || x >= t.width || y >= t.height) return;
    if (t.screen) {
        ScreenGuard guard(true, x, y, x, y);
        t.pixels[y * t.width + x] = c;
    } else {
        t.pixels[y * t.width + x] = c;
    }
}

void GfxPlotRow(int x, int y, const GfxColour* colours, int count) {
    const Target t = TargetOf(current);
    if (y < 0 || y >= t.height || count <= 0) return;
    // 64-bit bounds, so that no x or count can overflow the clipping sums.
    const long long first = x < 0 ? -static_cast<long long>(x) : 0;
    const long long end = std::min<long long>(count, static_cast<long long>(t.width) - x);
    if (first >= end) return;
    const long long at = static_cast<long long>(y) * t.width + x + first;
    ScreenGuard guard(t.screen, static_cast<int>(x + first), y, static_cast<int>(x + end - 1), y);
    std::memcpy(t.pixels + at, colours + first,
                static_cast<size_t>(end - first) * sizeof(GfxColour));
}

GfxColour GfxReadPixel(int x, int y) {
    const Target t = TargetOf(current);
    if (x < 0 || y < 0 || x >= t.width || y >= t.height) return 0;
    return t.pixels[y * t.width + x];
}

void GfxCopyArea(GfxSurface* dst, int x, int y, GfxSurface* src, int x1, int y1, int x2, int y2) {
    Copy(dst != nullptr ? dst : current, x, y, src != nullptr ? src : current, x1, y1, x2, y2);
}

void GfxDrawText(const char* text, int count, int x, int y, const GfxTextStyle& style) {
    if (count <= 0) return;
    const Target t = TargetOf(current);
    ScreenGuard guard(t.screen, x, y, x + count * GlyphWidth - 1, y + GlyphHeight - 1);
    if (t.screen) RemoveCells(x, y, x + count * GlyphWidth - 1, y + GlyphHeight - 1);
    // Text lies inside its surface nearly always: then no pixel needs its own bounds check.
    const bool inside =
        x >= 0 && y >= 0 && x + count * GlyphWidth <= t.width && y + GlyphHeight <= t.height;
    const GfxColour colours[2] = {style.background, style.foreground};
    for (int i = 0; i < count; ++i) {
        const auto ch = static_cast<unsigned char>(text[i]);
        const int gx = x + i * GlyphWidth;
        for (int row = 0; row < GlyphHeight; ++row) {
            const int py = y + row;
            if (!inside && (py < 0 || py >= t.height)) continue;
            const unsigned bits = FontGlyphs[ch][row];
            GfxColour* line = t.pixels + py * t.width;
            if (inside) {
                for (int col = 0; col < GlyphWidth; ++col)
                    line[gx + col] = colours[(bits >> (GlyphWidth - 1 - col)) & 1u];
                continue;
            }
            for (int col = 0; col < GlyphWidth; ++col) {
                const int px = gx + col;
                if (px < 0 || px >= t.width) continue;
                line[px] = colours[(bits >> (GlyphWidth - 1 - col)) & 1u];
            }
        }
        if (t.screen && gx >= 0 && gx < ScreenWidth && y >= 0 && y < ScreenHeight)
            GfxScreen().cellRows[static_cast<size_t>(y)].push_back(
                {static_cast<int16_t>(gx), ch != 0 ? ch : static_cast<unsigned char>(' ')});
    }
}

int GfxTextWidth(const char* text, int count) {
    (void)text;
    return count > 0 ? count * GlyphWidth : 0;
}

int GfxReadKey() { return Driver().ReadKey(-1); }
int GfxWaitKeyFor(int ms) { return Driver().ReadKey(ms < 0 ? 0 : ms); }
void GfxSleep(int ms) { Driver().Sleep(ms); }

uint64_t GfxTicks() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void GfxSetWindowTitle(const char* title) { Driver().SetTitle(title); }

void GfxAllowBoxes(bool allowed) { boxesAllowed = allowed ? 1 : 0; }

bool GfxShowBox(const char* caption, const char* text) {
    if (boxesAllowed < 0) {
#ifdef __EMSCRIPTEN__
        boxesAllowed = 1;  // the page's dialogs
#else
        boxesAllowed = !isatty(STDIN_FILENO) && !isatty(STDOUT_FILENO) && !isatty(STDERR_FILENO);
#endif
    }
    // What was printed before the box (the version, diagnostics) shows before it, not after.
    std::fflush(stdout);
    return boxesAllowed == 1 && Driver().MessageBox(caption, text);
}

void GfxMessageBox(const char* caption, const char* text) {
    if (GfxShowBox(caption, text)) return;
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

void GfxSetTextAreas(const GfxTextArea* areas, int count) {
    GfxScreen().areas.assign(areas, areas + count);
}

void GfxTextRow(int x1, int x2, int y, char* out, int size) {
    if (size <= 0) return;
    int len = 0;
    if (y >= 0 && y < ScreenHeight) {
        for (const GfxCell& c : GfxScreen().cellRows[static_cast<size_t>(y)]) {
            if (c.x < x1 || c.x > x2) continue;
            const int col = (c.x - x1) / GlyphWidth;
            if (col >= size - 1) continue;
            while (len <= col) out[len++] = ' ';
            out[col] = static_cast<char>(c.ch);
        }
    }
    while (len > 0 && out[len - 1] == ' ') --len;
    out[len] = '\0';
}

void GfxTranscript(const char* line) { Driver().Transcript(line); }
void GfxScreenDump() { Driver().ScreenDump(); }
void GfxFileWritten(const char* path, int kind) { Driver().FileWritten(path, kind); }

bool GfxStopRequested() { return Driver().StopRequested(); }
bool GfxInputClosed() { return Driver().InputClosed(); }

void ForEachScreenDumpLine(void (*emit)(const char* line, void* context), void* context) {
    emit("== screen ==", context);
    char row[ScreenWidth / GlyphWidth + 2];
    std::string heading;
    for (const GfxTextArea& a : GfxScreen().areas) {
        heading = std::string("-- ") + a.name + " --";
        emit(heading.c_str(), context);
        for (int y = a.y1; y <= a.y2; ++y) {
            GfxTextRow(a.x1, a.x2, y, row, static_cast<int>(sizeof row));
            if (row[0] != '\0') emit(row, context);
        }
    }
    emit("== end ==", context);
}

void WriteScreenDump(FILE* out) {
    ForEachScreenDumpLine(
        [](const char* line, void* context) {
            std::fprintf(static_cast<FILE*>(context), "%s\n", line);
        },
        out);
    std::fflush(out);
}

}  // namespace umb::gfx
