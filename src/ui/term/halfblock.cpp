// halfblock.cpp - pictures in a terminal: two pixel rows per character cell in 24-bit colour.
#include "ui/term/term_front.h"

#include <cstdio>

using namespace umb::gfx;

namespace umb::ui {

namespace {

// The average colour of the pixels x0..x1-1, y0..y1-1 (a box filter: a shrunken picture keeps
// its thin lines as tints rather than losing them between samples).
GfxColour Average(const GfxColour* pixels, int w, int x0, int x1, int y0, int y1) {
    long sum[3] = {0, 0, 0};
    long count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            int rgb[3];
            GfxRgbOfColour(pixels[static_cast<long>(y) * w + x], &rgb[0], &rgb[1], &rgb[2]);
            for (int c = 0; c < 3; ++c) sum[c] += rgb[c];
            ++count;
        }
    }
    if (count == 0) return 0;
    return GfxColourFromRgb(static_cast<int>((sum[0] + count / 2) / count),
                            static_cast<int>((sum[1] + count / 2) / count),
                            static_cast<int>((sum[2] + count / 2) / count));
}

void AppendColour(std::string& out, int layer, GfxColour c) {
    int r, g, b;
    GfxRgbOfColour(c, &r, &g, &b);
    char code[24];
    std::snprintf(code, sizeof code, "%d;2;%d;%d;%d", layer, r, g, b);
    out += code;
}

}  // namespace

std::string RenderHalfBlocks(const GfxColour* pixels, int w, int h, int cells, int lines) {
    std::string out;
    if (pixels == nullptr || w <= 0 || h <= 0 || cells <= 0 || lines <= 0) return out;
    if (cells > w) cells = w;
    // Narrower where the lines would not hold it, so that its rows below stay within them.
    const long fits = static_cast<long>(lines) * 2 * w / h;
    if (cells > fits) cells = static_cast<int>(fits > 0 ? fits : 1);
    // Cells are about twice as tall as wide: two pixel rows per cell keep the picture's shape.
    int outRows = static_cast<int>(static_cast<long>(h) * cells / w);
    outRows += outRows % 2;
    if (outRows < 2) outRows = 2;
    if (outRows > 2 * lines) outRows = 2 * lines;  // a picture far taller than wide
    std::vector<GfxColour> scaled(static_cast<size_t>(outRows) * static_cast<size_t>(cells));
    for (int py = 0; py < outRows; ++py) {
        const int y0 = static_cast<int>(static_cast<long>(py) * h / outRows);
        int y1 = static_cast<int>(static_cast<long>(py + 1) * h / outRows);
        if (y1 <= y0) y1 = y0 + 1;
        for (int cx = 0; cx < cells; ++cx) {
            const int x0 = static_cast<int>(static_cast<long>(cx) * w / cells);
            int x1 = static_cast<int>(static_cast<long>(cx + 1) * w / cells);
            if (x1 <= x0) x1 = x0 + 1;
            scaled[static_cast<size_t>(py) * static_cast<size_t>(cells) + static_cast<size_t>(cx)] =
                Average(pixels, w, x0, x1, y0, y1 > h ? h : y1);
        }
    }
    out.reserve(static_cast<size_t>(outRows / 2) * static_cast<size_t>(cells) * 20);
    for (int py = 0; py < outRows; py += 2) {
        const GfxColour* upper = &scaled[static_cast<size_t>(py) * static_cast<size_t>(cells)];
        const GfxColour* lower = upper + cells;
        for (int cx = 0; cx < cells; ++cx) {
            // Colours are written only where they change from the cell before.
            const bool newUpper = cx == 0 || upper[cx] != upper[cx - 1];
            const bool newLower = cx == 0 || lower[cx] != lower[cx - 1];
            if (newUpper || newLower) {
                out += "\x1b[";
                if (newUpper) AppendColour(out, 38, upper[cx]);
                if (newUpper && newLower) out += ';';
                if (newLower) AppendColour(out, 48, lower[cx]);
                out += 'm';
            }
            out += "\xe2\x96\x80";  // U+2580 upper half block
        }
        out += "\x1b[0m\n";
    }
    return out;
}

}  // namespace umb::ui
