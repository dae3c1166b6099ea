// screenshot.cpp - saves the screen as a 24-bit bitmap, written whole or not at all.
#include "ui/screen.h"

#include "db/fileio.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr uint32_t HeaderSize = 54;
constexpr uint32_t RowBytes = ScreenWidth * 3;  // 2400: a multiple of 4, so rows need no padding
constexpr uint32_t PixelBytes = RowBytes * ScreenHeight;

void Put16(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back(static_cast<unsigned char>(v & 255));
    out.push_back(static_cast<unsigned char>((v >> 8) & 255));
}

void Put32(std::vector<unsigned char>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

int SaveScreenshotTo(const char* path) {
    std::vector<unsigned char> file;
    file.reserve(HeaderSize + PixelBytes);
    file.push_back('B');
    file.push_back('M');
    Put32(file, HeaderSize + PixelBytes);
    Put32(file, 0);
    Put32(file, HeaderSize);
    Put32(file, 40);
    Put32(file, ScreenWidth);
    Put32(file, ScreenHeight);  // positive: the bottom row comes first
    Put16(file, 1);
    Put16(file, 24);
    Put32(file, 0);
    Put32(file, PixelBytes);
    Put32(file, 3396);
    Put32(file, 3396);
    Put32(file, 0);
    Put32(file, 0);
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
    return WriteFileAtomically(path, file.data(), file.size());
}

int SaveScreenshot() { return SaveScreenshotTo("scrshot.bmp"); }
