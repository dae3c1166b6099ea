// screenshot.cpp - saves the screen as a 24-bit bitmap, written whole or not at all.
#include "ui/window/screen.h"

#include "base/fileio.h"
#include "base/littleendian.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace umb::base;
using namespace umb::gfx;

namespace umb::ui {

namespace {

constexpr uint32_t HeaderSize = 54;
constexpr uint32_t RowBytes = ScreenWidth * 3;  // 2400: a multiple of 4, so rows need no padding
constexpr uint32_t PixelBytes = RowBytes * ScreenHeight;

}  // namespace

int SaveScreenshotTo(const char* path) {
    std::vector<unsigned char> file;
    file.reserve(HeaderSize + PixelBytes);
    file.push_back('B');
    file.push_back('M');
    AppendLe32(file, HeaderSize + PixelBytes);
    AppendLe32(file, 0);
    AppendLe32(file, HeaderSize);
    AppendLe32(file, 40);
    AppendLe32(file, ScreenWidth);
    AppendLe32(file, ScreenHeight);  // positive: the bottom row comes first
    AppendLe16(file, 1);
    AppendLe16(file, 24);
    AppendLe32(file, 0);
    AppendLe32(file, PixelBytes);
    AppendLe32(file, 3396);
    AppendLe32(file, 3396);
    AppendLe32(file, 0);
    AppendLe32(file, 0);
    GfxSelectSurface(nullptr);
    for (int y = ScreenHeight - 1; y >= 0; --y)
        for (int x = 0; x < ScreenWidth; ++x) {
            int red = 0, green = 0, blue = 0;
            GfxRgbOfColour(GfxReadPixel(x, y), &red, &green, &blue);
            file.push_back(static_cast<unsigned char>(blue));
            file.push_back(static_cast<unsigned char>(green));
            file.push_back(static_cast<unsigned char>(red));
        }

    // An earlier screenshot stays whole unless the new one is complete.
    if (WriteFileAtomically(path, file.data(), file.size()) != WriteResult::Ok) return -1;
    GfxFileWritten(path, FileScreenshot);
    return 0;
}

int SaveScreenshot() { return SaveScreenshotTo("scrshot.bmp"); }

}  // namespace umb::ui
