// mkpictures.cpp - draws the pictures of the demo adventure and writes them as PNG files.
//
// Usage: mkpictures OUTPUT_FOLDER
//
// Every picture is painted in RGB with a few shape and noise helpers, then stored in the form
// its table entry names (grey, palette or RGB, 1 to 8 bits), so the demo shows every kind of
// picture the program reads. Integer arithmetic only: the files come out byte for byte the same
// on every run, which the build checks against the committed copies.
#include "pngchunk.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int Width = 384;
constexpr int Height = 256;

struct Rgb {
    int r, g, b;
};

struct Canvas {
    std::vector<Rgb> px = std::vector<Rgb>(Width * Height, Rgb{0, 0, 0});
    Rgb& At(int x, int y) { return px[static_cast<size_t>(y) * Width + static_cast<size_t>(x)]; }
};

bool Inside(int x, int y) { return x >= 0 && y >= 0 && x < Width && y < Height; }

// A repeatable hash of a position and a seed, 0..255.
int Hash(int x, int y, int seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<int>((h ^ (h >> 16)) & 255u);
}

// Smooth 1-D noise, 0..255, with features about period pixels apart.
int Noise1(int x, int period, int seed) {
    const int cell = x >= 0 ? x / period : (x - period + 1) / period;
    const int t = x - cell * period;
    const int a = Hash(cell, 0, seed);
    const int b = Hash(cell + 1, 0, seed);
    return a + (b - a) * t / period;
}

Rgb Mix(Rgb a, Rgb b, int t, int range) {
    return {a.r + (b.r - a.r) * t / range, a.g + (b.g - a.g) * t / range,
            a.b + (b.b - a.b) * t / range};
}

void Plot(Canvas& c, int x, int y, Rgb col) {
    if (Inside(x, y)) c.At(x, y) = col;
}

void Rect(Canvas& c, int x0, int y0, int x1, int y1, Rgb col) {
    for (int y = std::max(y0, 0); y <= std::min(y1, Height - 1); ++y)
        for (int x = std::max(x0, 0); x <= std::min(x1, Width - 1); ++x) c.At(x, y) = col;
}

// A vertical gradient from top colour at y0 to bottom colour at y1.
void Gradient(Canvas& c, int y0, int y1, Rgb top, Rgb bottom) {
    for (int y = std::max(y0, 0); y <= std::min(y1, Height - 1); ++y)
        Rect(c, 0, y, Width - 1, y, Mix(top, bottom, y - y0, std::max(y1 - y0, 1)));
}

void Disc(Canvas& c, int cx, int cy, int r, Rgb col) {
    for (int y = cy - r; y <= cy + r; ++y)
        for (int x = cx - r; x <= cx + r; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) Plot(c, x, y, col);
}

// A filled triangle: the points on the inner side of all three edges.
void Triangle(Canvas& c, int x0, int y0, int x1, int y1, int x2, int y2, Rgb col) {
    const auto edge = [](int ax, int ay, int bx, int by, int px, int py) {
        return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    };
    const int area = edge(x0, y0, x1, y1, x2, y2);
    if (area == 0) return;
    for (int y = std::min({y0, y1, y2}); y <= std::max({y0, y1, y2}); ++y)
        for (int x = std::min({x0, x1, x2}); x <= std::max({x0, x1, x2}); ++x) {
            const int w0 = edge(x1, y1, x2, y2, x, y);
            const int w1 = edge(x2, y2, x0, y0, x, y);
            const int w2 = edge(x0, y0, x1, y1, x, y);
            if (area > 0 ? (w0 >= 0 && w1 >= 0 && w2 >= 0) : (w0 <= 0 && w1 <= 0 && w2 <= 0))
                Plot(c, x, y, col);
        }
}

void Quad(Canvas& c, int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3, Rgb col) {
    Triangle(c, x0, y0, x1, y1, x2, y2, col);
    Triangle(c, x0, y0, x2, y2, x3, y3, col);
}

void Line(Canvas& c, int x0, int y0, int x1, int y1, Rgb col) {
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i)
        Plot(c, x0 + (x1 - x0) * i / std::max(steps, 1), y0 + (y1 - y0) * i / std::max(steps, 1),
             col);
}

// Land or rock below a wandering ridge line between yTop and yTop + rise.
void Ridge(Canvas& c, int yTop, int rise, int period, int seed, Rgb col, Rgb shade) {
    for (int x = 0; x < Width; ++x) {
        const int top = yTop + Noise1(x, period, seed) * rise / 255;
        for (int y = std::max(top, 0); y < Height; ++y)
            c.At(x, y) = Mix(col, shade, std::min(y - top, 60), 60);
    }
}

// Sea from y0 down: bands of swell that darken towards the viewer, with flecks of foam.
void Sea(Canvas& c, int y0, Rgb far, Rgb near, Rgb foam, int seed) {
    for (int y = y0; y < Height; ++y) {
        const int depth = y - y0 + 1;
        for (int x = 0; x < Width; ++x) {
            const int swell = Noise1(x + Hash(y / 3, 1, seed) / 4, 12 + depth / 2, seed + y / 5);
            Rgb col = Mix(far, near, std::min(depth, 120), 120);
            col = Mix(col, foam, swell / 8, 255);
            if (Hash(x, y, seed) > 252 - depth / 40) col = foam;
            c.At(x, y) = col;
        }
    }
}

// Streaks of rain slanting down to the left.
void Rain(Canvas& c, Rgb col, int count, int seed) {
    for (int i = 0; i < count; ++i) {
        const int x = Hash(i, 7, seed) * Width / 256 + Hash(i, 8, seed) % 3;
        const int y = Hash(i, 9, seed) * Height / 256;
        Line(c, x, y, x - 4, y + 10, col);
    }
}

void Speckle(Canvas& c, int x0, int y0, int x1, int y1, Rgb col, int density, int seed) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (Hash(x, y, seed) < density) Plot(c, x, y, col);
}

// A lighthouse standing on baseY, its centre at cx, tapering upwards.
void Lighthouse(Canvas& c, int cx, int baseY, int h, int w, bool lit, Rgb body, Rgb band) {
    const int topW = w * 2 / 3;
    Quad(c, cx - w / 2, baseY, cx + w / 2, baseY, cx + topW / 2, baseY - h, cx - topW / 2,
         baseY - h, body);
    for (int k = 1; k <= 2; ++k) {  // bands, as wide as the tapering body
        const int y = baseY - h * k / 3;
        const int half = (w / 2) - (w / 2 - topW / 2) * (h * k / 3) / h;
        Rect(c, cx - half, y - h / 14, cx + half, y, band);
    }
    const int lampY = baseY - h;
    Rect(c, cx - topW / 2 - 2, lampY - 2, cx + topW / 2 + 2, lampY, band);
    Rect(c, cx - topW / 3, lampY - h / 6, cx + topW / 3, lampY - 3,
         lit ? Rgb{255, 230, 120} : Rgb{40, 44, 52});
    Triangle(c, cx - topW / 2, lampY - h / 6, cx + topW / 2, lampY - h / 6, cx,
             lampY - h / 6 - h / 10, band);
}

// A ship seen side on: hull, two masts and a lit window.
void Ship(Canvas& c, int x, int y, int size, Rgb hull, Rgb sail) {
    Quad(c, x - size, y - size / 3, x + size, y - size / 3, x + size * 3 / 4, y, x - size * 3 / 4,
         y, hull);
    Triangle(c, x - size / 2, y - size / 3, x - size / 2, y - size * 3 / 2, x + size / 5,
             y - size / 3, sail);
    Triangle(c, x + size / 3, y - size / 3, x + size / 3, y - size * 6 / 5, x + size, y - size / 3,
             sail);
    Plot(c, x, y - size / 5, Rgb{255, 220, 90});
}

// --- The pictures -------------------------------------------------------------------------

void DrawIntro(Canvas& c) {
    Gradient(c, 0, 170, {22, 24, 40}, {92, 70, 96});
    for (int y = 0; y < 120; ++y)  // heavy clouds
        for (int x = 0; x < Width; ++x)
            if (Noise1(x, 40, 3) + Noise1(x + y * 2, 23, 4) / 2 > 200 + y)
                c.At(x, y) = Mix(c.At(x, y), {10, 10, 16}, 2, 3);
    Sea(c, 170, {40, 48, 66}, {14, 18, 30}, {150, 160, 170}, 5);
    for (int x = 230; x < Width; ++x) {  // the island on the right
        const int top = 158 + Noise1(x, 30, 6) / 24 + std::max(0, 250 - x) / 2;
        Rect(c, x, top, x, Height - 1, Mix({36, 34, 38}, {8, 8, 10}, x % 7, 14));
    }
    Lighthouse(c, 312, 160, 110, 26, false, {70, 70, 78}, {40, 30, 34});
    Ship(c, 70, 176, 14, {12, 10, 12}, {60, 56, 64});
    Rain(c, {120, 130, 150}, 260, 7);
}

void DrawDawn(Canvas& c) {
    Gradient(c, 0, 90, {120, 160, 210}, {240, 190, 150});
    Gradient(c, 90, 160, {240, 190, 150}, {250, 150, 90});
    Disc(c, 110, 160, 26, {255, 236, 180});
    Sea(c, 160, {200, 150, 120}, {40, 60, 90}, {255, 230, 190}, 11);
    for (int x = 230; x < Width; ++x) {
        const int top = 150 + std::max(0, 260 - x) / 2 + Noise1(x, 25, 12) / 30;
        Rect(c, x, top, x, Height - 1, {60, 50, 56});
    }
    Triangle(c, 312, 52, 0, 20, 0, 84, {255, 110, 90});  // the red beam
    Lighthouse(c, 312, 152, 110, 26, true, {236, 232, 226}, {190, 50, 50});
    Ship(c, 40, 166, 8, {40, 30, 40}, {230, 220, 210});
}

void DrawDark(Canvas& c) {
    Speckle(c, 0, 0, Width - 1, Height - 1, {40, 40, 40}, 2, 21);
    for (int y = 200; y < Height; ++y)  // a faint gleam of water underfoot
        for (int x = 0; x < Width; ++x)
            if (Noise1(x, 16, y / 4) > 230 && Hash(x, y, 22) < 90) c.At(x, y) = {160, 160, 160};
}

void DrawJetty(Canvas& c) {
    Gradient(c, 0, 110, {70, 80, 100}, {150, 156, 160});
    Sea(c, 110, {90, 100, 110}, {30, 50, 70}, {200, 210, 210}, 31);
    Rect(c, 300, 104, 303, 109, {30, 30, 30});  // the supply boat, far off
    Quad(c, 150, Height, 330, Height, 210, 130, 178, 130, {120, 88, 56});  // the planks
    for (int k = 0; k < 14; ++k) {
        const int y = 132 + k * k * 124 / 169;
        const int half = 16 + (y - 130) * 74 / 126;
        const int cx = 194 + (y - 130) * 46 / 126;
        Line(c, cx - half, y, cx + half, y, {70, 50, 34});
    }
    for (int k = 0; k < 4; ++k) {  // posts
        const int y = 150 + k * 30;
        const int half = 16 + (y - 130) * 74 / 126;
        const int cx = 194 + (y - 130) * 46 / 126;
        Rect(c, cx - half - 4, y - 20 - k * 4, cx - half, y + 8, {60, 42, 30});
        Rect(c, cx + half, y - 20 - k * 4, cx + half + 4, y + 8, {60, 42, 30});
    }
}

void DrawBeach(Canvas& c) {
    Gradient(c, 0, 70, {80, 90, 110}, {170, 170, 170});
    Sea(c, 70, {120, 130, 140}, {60, 80, 90}, {220, 220, 220}, 41);
    Ridge(c, 100, 60, 60, 42, {150, 146, 138}, {90, 88, 84});
    for (int y = 100; y < Height; ++y)  // pebbles
        for (int x = 0; x < Width; ++x)
            if (c.At(x, y).r < 160 && Hash(x / 3, y / 2, 43) > 200)
                c.At(x, y) = Mix(c.At(x, y), {210, 204, 196}, Hash(x, y, 44) / 4, 255);
    Rect(c, 40, 60, 120, 100, {210, 206, 196});  // the cottage
    Triangle(c, 32, 60, 128, 60, 80, 30, {100, 70, 50});
    Rect(c, 72, 80, 86, 100, {70, 50, 40});
    Rect(c, 104, 72, 114, 82, {250, 220, 120});
    Rect(c, 290, 70, 350, 106, {120, 100, 80});  // the storehouse
    Triangle(c, 284, 70, 356, 70, 320, 50, {80, 60, 50});
    Disc(c, 200, 200, 30, {70, 66, 64});  // boulders around the cave slot
    Disc(c, 250, 206, 34, {80, 76, 72});
    Rect(c, 222, 196, 230, 236, {10, 10, 12});
}

void DrawKitchen(Canvas& c) {
    Gradient(c, 0, 200, {110, 80, 60}, {70, 50, 40});
    Rect(c, 0, 200, Width - 1, Height - 1, {90, 70, 56});
    for (int y = 206; y < Height; y += 12) Line(c, 0, y, Width - 1, y, {70, 52, 42});
    Rect(c, 30, 90, 130, 200, {60, 56, 54});  // the hearth and its fire
    Rect(c, 44, 120, 116, 200, {20, 14, 12});
    Triangle(c, 52, 200, 108, 200, 78, 140, {230, 110, 40});
    Triangle(c, 62, 200, 98, 200, 84, 160, {255, 210, 90});
    Rect(c, 50, 196, 110, 200, {60, 30, 20});
    Rect(c, 200, 40, 270, 100, {40, 60, 90});  // a window on the storm
    Rect(c, 233, 40, 237, 100, {80, 60, 40});
    Rect(c, 200, 68, 270, 72, {80, 60, 40});
    Rect(c, 160, 160, 300, 170, {140, 100, 60});  // the table, the log and the lantern
    Rect(c, 170, 170, 178, 230, {110, 80, 50});
    Rect(c, 282, 170, 290, 230, {110, 80, 50});
    Rect(c, 190, 150, 226, 159, {60, 30, 24});
    Rect(c, 252, 138, 266, 159, {180, 150, 60});
    Disc(c, 259, 146, 4, {255, 230, 130});
    for (int y = 20; y < 240; y += 18)  // the ladder to the loft
        Line(c, 330, y, 362, y, {150, 120, 80});
    Line(c, 330, 0, 330, 240, {150, 120, 80});
    Line(c, 362, 0, 362, 240, {150, 120, 80});
}

void DrawLoft(Canvas& c) {
    Gradient(c, 0, Height - 1, {50, 36, 28}, {100, 76, 52});
    for (int k = 0; k < 6; ++k) {  // rafters under the thatch
        const int x = 20 + k * 70;
        Quad(c, x, 0, x + 12, 0, 192 + (x - 192) / 3 + 6, 100, 192 + (x - 192) / 3, 100,
             {70, 50, 34});
    }
    for (int y = 40; y < 150; y += 8)  // a hanging net
        Line(c, 40, y, 150, y + 10, {170, 150, 110});
    for (int x = 40; x < 150; x += 8) Line(c, x, 40, x + 6, 160, {170, 150, 110});
    Rect(c, 210, 170, 330, 230, {110, 70, 40});  // a sea chest with the coat over it
    Rect(c, 210, 186, 330, 190, {60, 40, 30});
    Quad(c, 230, 150, 300, 150, 320, 230, 250, 230, {230, 200, 40});
    Disc(c, 80, 210, 14, {200, 60, 40});  // floats
    Disc(c, 112, 220, 12, {220, 220, 210});
}

void DrawCliff(Canvas& c) {
    Gradient(c, 0, 120, {90, 110, 140}, {190, 200, 210});
    Sea(c, 120, {90, 110, 140}, {30, 50, 80}, {230, 230, 230}, 51);
    for (int x = 0; x < Width; ++x) {  // the cliff drops away to the left
        const int edge = 90 + x / 4 + Noise1(x, 20, 52) / 12;
        if (x > 60) Rect(c, x, edge, x, Height - 1, {60, 120, 50});
    }
    for (int y = 160; y < Height; ++y)  // the path
        Rect(c, 200 + (y - 160) / 3, y, 230 + (y - 160) / 2, y, {180, 160, 120});
    Lighthouse(c, 300, 118, 70, 16, false, {240, 240, 240}, {160, 40, 40});
}

void DrawTower(Canvas& c) {
    Gradient(c, 0, 200, {60, 70, 100}, {150, 150, 170});
    Ridge(c, 196, 12, 40, 61, {60, 110, 50}, {30, 70, 30});
    Lighthouse(c, 192, 214, 190, 96, false, {236, 236, 230}, {170, 40, 40});
    Rect(c, 176, 176, 208, 214, {80, 50, 30});  // the door
    Disc(c, 200, 196, 2, {200, 170, 60});
    Rain(c, {200, 200, 220}, 140, 62);
}

void DrawStair(Canvas& c) {
    for (int k = 0; k < 14; ++k) {  // steps spiralling up into the dark
        const int shade = 200 - k * 14;
        const int y = 240 - k * 17;
        const int x = 192 + ((k % 4 == 0)   ? -90
                             : (k % 4 == 1) ? -30
                             : (k % 4 == 2) ? 30
                                            : 90) *
                                (14 - k) / 14;
        Quad(c, 192, y - 6, x - 40, y, x + 40, y + 10, 192, y + 4, {shade, shade, shade});
    }
    Rect(c, 186, 0, 198, Height - 1, {90, 90, 90});  // the newel post
}

void DrawLampRoom(Canvas& c) {
    Gradient(c, 0, Height - 1, {20, 26, 44}, {50, 50, 64});
    for (int k = 0; k < 5; ++k)  // salt-crusted window panes
        Rect(c, 8 + k * 76, 20, 74 + k * 76, 170, Mix({60, 70, 90}, {170, 170, 160}, k % 2, 3));
    Rect(c, 100, 190, 284, 250, {120, 90, 40});  // the clockwork case and its handle
    Disc(c, 300, 214, 10, {200, 170, 70});
    Line(c, 300, 214, 320, 200, {200, 170, 70});
    Rect(c, 140, 60, 244, 190, {180, 150, 60});  // the brass cage and prisms
    for (int k = 0; k < 6; ++k)
        Triangle(c, 146 + k * 16, 70, 162 + k * 16, 70, 154 + k * 16, 180,
                 Mix({200, 230, 240}, {120, 160, 190}, k, 6));
    Disc(c, 192, 126, 10, {60, 50, 40});  // the cold wicks
    Rect(c, 138, 56, 246, 60, {220, 190, 90});
}

void DrawGallery(Canvas& c) {
    for (int y = 0; y < Height; ++y)  // night sky over a sea of swell lines
        for (int x = 0; x < Width; ++x)
            c.At(x, y) = y > 120 && y % 5 == 0 && Noise1(x, 18, y) > 150 - (y - 120) / 2
                             ? Rgb{200, 210, 230}
                             : Rgb{20, 30, 60};
    Speckle(c, 0, 0, Width - 1, 110, {200, 210, 230}, 2, 71);
    Rect(c, 0, 190, Width - 1, 196, {200, 210, 230});  // the rail
    for (int x = 6; x < Width; x += 24) Rect(c, x, 196, x + 3, Height - 1, {200, 210, 230});
    Rect(c, 0, 230, Width - 1, 233, {200, 210, 230});
    Ship(c, 90, 130, 10, {200, 210, 230}, {200, 210, 230});
}

void DrawCave(Canvas& c) {
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const int dx = x - 192, dy = y - 120;
            const int d = (dx * dx) / 4 + dy * dy;  // a ragged oval of light at the mouth
            c.At(x, y) = d < 2600 + Noise1(x + y, 14, 81) * 8 ? Rgb{70, 80, 90} : Rgb{16, 16, 18};
        }
    Ridge(c, 190, 40, 30, 82, {60, 66, 70}, {10, 12, 14});
    for (int y = 200; y < Height; y += 5)  // water on the floor
        Line(c, 60 + Hash(y, 0, 83) % 40, y, 320 - Hash(y, 1, 83) % 40, y, {110, 120, 130});
    Speckle(c, 0, 0, Width - 1, 100, {90, 90, 96}, 6, 84);  // drips
}

void DrawPool(Canvas& c) {
    Gradient(c, 0, 60, {90, 100, 120}, {170, 170, 170});
    Sea(c, 60, {110, 120, 130}, {70, 90, 100}, {220, 220, 220}, 91);
    Ridge(c, 80, 70, 40, 92, {90, 84, 80}, {40, 38, 36});  // rocks
    for (int y = 150; y < 236; ++y)                        // the pool
        for (int x = 80; x < 310; ++x) {
            const int dx = x - 195, dy = y - 193;
            if (dx * dx * 4 / 9 + dy * dy * 4 < 6400)
                c.At(x, y) = Noise1(x, 9, y / 3) > 180 ? Rgb{40, 110, 60} : Rgb{50, 100, 120};
        }
    Disc(c, 214, 204, 3, {250, 220, 100});  // the glint of the key
}

void DrawStore(Canvas& c) {
    Gradient(c, 0, Height - 1, {90, 80, 70}, {50, 44, 40});
    for (int k = 0; k < 4; ++k) {  // shelves with jars
        const int y = 40 + k * 40;
        Rect(c, 200, y, 370, y + 4, {150, 130, 100});
        for (int j = 0; j < 7; ++j)
            Rect(c, 206 + j * 24, y - 18 + Hash(j, k, 101) % 6, 220 + j * 24, y - 1,
                 Mix({200, 200, 190}, {90, 110, 70}, Hash(j, k, 102), 255));
    }
    for (int k = 0; k < 3; ++k) {  // barrels
        const int x = 30 + k * 56;
        Rect(c, x, 150, x + 44, 240, {130, 90, 50});
        Rect(c, x, 164, x + 44, 168, {60, 60, 60});
        Rect(c, x, 222, x + 44, 226, {60, 60, 60});
    }
    for (int k = 0; k < 3; ++k)  // a coil of rope
        Disc(c, 290, 220, 26 - k * 8, k % 2 == 0 ? Rgb{190, 170, 120} : Rgb{120, 100, 70});
}

void DrawHeadland(Canvas& c) {
    Gradient(c, 0, 130, {40, 44, 60}, {120, 110, 120});
    for (int y = 0; y < 90; ++y)  // the storm front
        for (int x = 0; x < Width; ++x)
            if (Noise1(x, 60, 111) + Noise1(x * 2 + y, 30, 112) / 3 > 120 + y * 2)
                c.At(x, y) = {24, 24, 34};
    Sea(c, 130, {70, 80, 100}, {24, 40, 60}, {190, 200, 210}, 113);
    for (int x = 0; x < Width; ++x) {  // grass running out to the point
        const int top = 200 + (Width - x) / 10 - Noise1(x, 24, 114) / 20;
        Rect(c, x, top, x, Height - 1, Mix({70, 120, 60}, {30, 60, 30}, Hash(x, 0, 115), 255));
    }
    Ship(c, 260, 132, 9, {20, 20, 24}, {90, 90, 100});
    Rain(c, {150, 160, 180}, 120, 116);
}

// --- Storing ------------------------------------------------------------------------------

enum class Kind { Grey, Palette, Rgb };

struct Picture {
    const char* file;
    void (*draw)(Canvas&);
    Kind kind;
    int depth;
    std::vector<Rgb> palette;  // for palette pictures; empty: the 256-colour palette below
};

// 6 x 6 x 6 colour cube and 40 greys: room for any scene.
std::vector<Rgb> GeneralPalette() {
    std::vector<Rgb> p;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) p.push_back({r * 51, g * 51, b * 51});
    for (int k = 0; k < 40; ++k) p.push_back({k * 255 / 39, k * 255 / 39, k * 255 / 39});
    return p;
}

// Ordered dithering threshold, 0..15.
int Bayer(int x, int y) {
    static const int m[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return m[y & 3][x & 3];
}

int Clamp(int v) { return std::clamp(v, 0, 255); }

int Nearest(const std::vector<Rgb>& palette, Rgb col) {
    int best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
        const long dr = palette[i].r - col.r, dg = palette[i].g - col.g, db = palette[i].b - col.b;
        const long d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

// The sample values of one row: grey levels, palette indexes, or red, green, blue bytes.
std::vector<int> Samples(Canvas& c, const Picture& p, int y) {
    std::vector<int> out;
    const int levels = 1 << p.depth;
    const int spread =
        p.kind == Kind::Palette ? std::min(512 / static_cast<int>(p.palette.size()) + 8, 96) : 0;
    for (int x = 0; x < Width; ++x) {
        const Rgb col = c.At(x, y);
        if (p.kind == Kind::Rgb) {
            out.push_back(Clamp(col.r));
            out.push_back(Clamp(col.g));
            out.push_back(Clamp(col.b));
        } else if (p.kind == Kind::Grey) {
            const int lum = Clamp((col.r * 77 + col.g * 150 + col.b * 29) >> 8);
            const int level = (lum * (levels - 1) * 16 + Bayer(x, y) * 255) / (255 * 16);
            out.push_back(std::min(level, levels - 1));
        } else {
            const int d = (Bayer(x, y) * 2 - 15) * spread / 32;
            out.push_back(
                Nearest(p.palette, {Clamp(col.r + d), Clamp(col.g + d), Clamp(col.b + d)}));
        }
    }
    return out;
}

// Packs samples into bytes, the first sample in the highest bits.
std::vector<unsigned char> Pack(const std::vector<int>& samples, int depth) {
    std::vector<unsigned char> row((samples.size() * static_cast<size_t>(depth) + 7) / 8, 0);
    for (size_t i = 0; i < samples.size(); ++i) {
        const size_t bit = i * static_cast<size_t>(depth);
        const int shift = 8 - depth - static_cast<int>(bit % 8);
        row[bit / 8] = static_cast<unsigned char>(row[bit / 8] | (samples[i] << shift));
    }
    return row;
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Filters one row with each of the five filters and keeps the one whose bytes, read as signed
// values, add up smallest: the usual choice, and it exercises every filter of the reader.
std::vector<unsigned char> FilterRow(const std::vector<unsigned char>& row,
                                     const std::vector<unsigned char>& prev, size_t step) {
    std::vector<unsigned char> best;
    long bestSum = -1;
    for (int f = 0; f < 5; ++f) {
        std::vector<unsigned char> out{static_cast<unsigned char>(f)};
        long sum = 0;
        for (size_t i = 0; i < row.size(); ++i) {
            const int a = i >= step ? row[i - step] : 0;
            const int b = prev[i];
            const int c = i >= step ? prev[i - step] : 0;
            const int predictor = f == 0   ? 0
                                  : f == 1 ? a
                                  : f == 2 ? b
                                  : f == 3 ? (a + b) / 2
                                           : Paeth(a, b, c);
            const auto v = static_cast<unsigned char>(row[i] - predictor);
            out.push_back(v);
            sum += v < 128 ? v : 256 - v;
        }
        if (bestSum < 0 || sum < bestSum) {
            bestSum = sum;
            best = std::move(out);
        }
    }
    return best;
}

bool WritePicture(const Picture& p, const std::string& folder) {
    Canvas c;
    p.draw(c);
    const int colourType = p.kind == Kind::Grey ? 0 : p.kind == Kind::Rgb ? 2 : 3;
    const size_t step = p.kind == Kind::Rgb ? 3 : 1;

    std::vector<unsigned char> raw;
    std::vector<unsigned char> prev;
    for (int y = 0; y < Height; ++y) {
        const std::vector<unsigned char> row = Pack(Samples(c, p, y), p.depth);
        if (prev.empty()) prev.assign(row.size(), 0);
        const std::vector<unsigned char> filtered = FilterRow(row, prev, step);
        raw.insert(raw.end(), filtered.begin(), filtered.end());
        prev = row;
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) !=
        Z_OK)
        return false;
    packed.resize(packedSize);

    std::vector<unsigned char> png{137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<unsigned char> header;
    PngPutBig32(header, Width);
    PngPutBig32(header, Height);
    header.insert(header.end(), {static_cast<unsigned char>(p.depth),
                                 static_cast<unsigned char>(colourType), 0, 0, 0});
    PngPutChunk(png, "IHDR", header.data(), header.size());
    if (p.kind == Kind::Palette) {
        std::vector<unsigned char> plte;
        for (const Rgb& col : p.palette)
            plte.insert(plte.end(),
                        {static_cast<unsigned char>(col.r), static_cast<unsigned char>(col.g),
                         static_cast<unsigned char>(col.b)});
        PngPutChunk(png, "PLTE", plte.data(), plte.size());
    }
    // Image data in several chunks, as larger files have it.
    constexpr size_t ChunkSize = 8192;
    for (size_t at = 0; at < packed.size(); at += ChunkSize)
        PngPutChunk(png, "IDAT", packed.data() + at, std::min(ChunkSize, packed.size() - at));
    PngPutChunk(png, "IEND", nullptr, 0);

    const std::string path = folder + "/" + p.file;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::vector<Rgb> general = GeneralPalette();
    const std::vector<Picture> pictures = {
        {"intro.png", DrawIntro, Kind::Rgb, 8, {}},
        {"dawn.png", DrawDawn, Kind::Rgb, 8, {}},
        {"dark.png", DrawDark, Kind::Grey, 1, {}},
        {"jetty.png",
         DrawJetty,
         Kind::Palette,
         4,
         {{70, 80, 100},
          {110, 118, 130},
          {150, 156, 160},
          {90, 100, 110},
          {60, 76, 90},
          {30, 50, 70},
          {200, 210, 210},
          {120, 88, 56},
          {70, 50, 34},
          {60, 42, 30},
          {30, 30, 30},
          {45, 62, 80},
          {130, 138, 146},
          {98, 72, 46},
          {170, 176, 180},
          {16, 30, 44}}},
        {"beach.png", DrawBeach, Kind::Palette, 8, general},
        {"kitchen.png", DrawKitchen, Kind::Rgb, 8, {}},
        // Drawn plain; the build scrambles it into loft.png for the game.
        {"loft-plain.png",
         DrawLoft,
         Kind::Palette,
         4,
         {{50, 36, 28},
          {66, 48, 36},
          {82, 62, 44},
          {100, 76, 52},
          {70, 50, 34},
          {170, 150, 110},
          {130, 110, 80},
          {110, 70, 40},
          {60, 40, 30},
          {230, 200, 40},
          {200, 60, 40},
          {220, 220, 210},
          {150, 120, 30},
          {30, 22, 18},
          {190, 170, 130},
          {140, 90, 60}}},
        {"cliff.png",
         DrawCliff,
         Kind::Palette,
         2,
         {{50, 70, 110}, {180, 190, 205}, {60, 120, 50}, {170, 40, 40}}},
        {"tower.png", DrawTower, Kind::Palette, 8, general},
        {"stair.png", DrawStair, Kind::Grey, 2, {}},
        {"lamproom.png", DrawLampRoom, Kind::Rgb, 8, {}},
        {"gallery.png", DrawGallery, Kind::Palette, 1, {{20, 30, 60}, {200, 210, 230}}},
        {"cave.png", DrawCave, Kind::Grey, 4, {}},
        {"pool.png",
         DrawPool,
         Kind::Palette,
         4,
         {{90, 100, 120},
          {130, 135, 145},
          {170, 170, 170},
          {110, 120, 130},
          {70, 90, 100},
          {220, 220, 220},
          {90, 84, 80},
          {65, 60, 58},
          {40, 38, 36},
          {40, 110, 60},
          {50, 100, 120},
          {250, 220, 100},
          {120, 112, 104},
          {30, 60, 80},
          {150, 150, 150},
          {20, 20, 20}}},
        {"store.png", DrawStore, Kind::Grey, 8, {}},
        {"headland.png", DrawHeadland, Kind::Palette, 8, general},
    };
    int failures = 0;
    for (const Picture& p : pictures)
        if (!WritePicture(p, argv[1])) {
            std::fprintf(stderr, "mkpictures: cannot write %s/%s\n", argv[1], p.file);
            ++failures;
        }
    return failures == 0 ? 0 : 1;
}
