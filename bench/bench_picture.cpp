// bench_picture.cpp - times showing a picture file against libpng reading the same file to pixels.
#include "ui/window/picture.h"
#include "ui/window/screen.h"

#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace umb::gfx;
using namespace umb::ui;

namespace {

constexpr double TargetRatio = 1.0;
constexpr int Runs = 100;

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

// Milliseconds from start until now.
double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A repeatable byte stream.
struct Noise {
    uint32_t state;
    int Next(int range) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 16) % static_cast<uint32_t>(range));
    }
};

// Camera-like content: smooth gradients with a little grain.
Bytes RgbPicture() {
    Bytes rows;
    Noise n{1};
    for (int y = 0; y < PictureHeight; ++y)
        for (int x = 0; x < PictureWidth; ++x) {
            const int base[3] = {x * 255 / (PictureWidth - 1), y, (x + 2 * y) / 4 + 40};
            for (int v : base)
                rows.push_back(static_cast<unsigned char>(std::clamp(v + n.Next(13) - 6, 0, 255)));
        }
    return rows;
}

// A 16-colour drawing: bands of colour with dithered edges, two pixels to a byte.
Bytes PalettePicture() {
    Bytes rows;
    Noise n{2};
    for (int y = 0; y < PictureHeight; ++y)
        for (int x = 0; x < PictureWidth; x += 2) {
            int pair = 0;
            for (int k = 0; k < 2; ++k) {
                const int band =
                    ((x + k) / 24 + y / 32 + (n.Next(4) == 0 ? n.Next(3) - 1 : 0)) & 15;
                pair = pair << 4 | band;
            }
            rows.push_back(static_cast<unsigned char>(pair));
        }
    return rows;
}

// The RGB picture with an alpha channel, as an image editor exports a cut-out: opaque inside an
// ellipse, clear outside it, with a soft edge between.
Bytes RgbaPicture() {
    const Bytes rgb = RgbPicture();
    Bytes rows;
    for (int y = 0; y < PictureHeight; ++y)
        for (int x = 0; x < PictureWidth; ++x) {
            const size_t at = (static_cast<size_t>(y) * PictureWidth + static_cast<size_t>(x)) * 3;
            rows.insert(rows.end(), rgb.begin() + static_cast<long>(at),
                        rgb.begin() + static_cast<long>(at + 3));
            const double dx = (x - PictureWidth / 2) / (PictureWidth * 0.45);
            const double dy = (y - PictureHeight / 2) / (PictureHeight * 0.45);
            const double edge = (1.0 - (dx * dx + dy * dy)) * 8.0;  // 1 and more: opaque
            rows.push_back(static_cast<unsigned char>(std::clamp(edge, 0.0, 1.0) * 255.0 + 0.5));
        }
    return rows;
}

// Appends v as 4 big-endian bytes.
void PutBigEndian(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

// Appends one chunk: length, type, data, CRC.
void AddChunk(Bytes& png, const char* type, const Bytes& data) {
    PutBigEndian(png, static_cast<uint32_t>(data.size()));
    const size_t typeAt = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBigEndian(
        png, static_cast<uint32_t>(crc32(0, &png[typeAt], static_cast<uInt>(png.size() - typeAt))));
}

// PNG's predictor.
int PaethOf(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Bytes of one pixel of the forms measured here (depth 8 or less), at least 1.
size_t PixelBytes(int colourType, int depth) {
    const int channels = colourType == 2 ? 3 : colourType == 6 ? 4 : 1;
    return std::max<size_t>(1, static_cast<size_t>(channels * depth / 8));
}

// The Adam7 passes: first column and row, column and row steps.
const int Adam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                         {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// Filters rows of width pixels the way common writers do: for RGB and RGBA each row takes the
// filter with the smallest sum of signed differences, palette rows stay unfiltered.
void FilterRows(const Bytes& raw, size_t rowLength, int rows, int colourType, int depth,
                Bytes& filtered) {
    const size_t step = PixelBytes(colourType, depth);
    const Bytes zero(rowLength, 0);
    const bool choose = colourType == 2 || colourType == 6;
    for (int y = 0; y < rows; ++y) {
        const unsigned char* cur = &raw[static_cast<size_t>(y) * rowLength];
        const unsigned char* prev = y > 0 ? cur - rowLength : zero.data();
        Bytes best;
        long bestSum = -1;
        for (int f = 0; f <= (choose ? 4 : 0); ++f) {
            Bytes row{static_cast<unsigned char>(f)};
            long sum = 0;
            for (size_t i = 0; i < rowLength; ++i) {
                const int a = i >= step ? cur[i - step] : 0, b = prev[i],
                          c = i >= step ? prev[i - step] : 0;
                const int predicted = f == 1   ? a
                                      : f == 2 ? b
                                      : f == 3 ? (a + b) / 2
                                      : f == 4 ? PaethOf(a, b, c)
                                               : 0;
                const auto v = static_cast<unsigned char>(cur[i] - predicted);
                row.push_back(v);
                sum += v < 128 ? v : 256 - v;
            }
            if (bestSum < 0 || sum < bestSum) best = row, bestSum = sum;
        }
        filtered.insert(filtered.end(), best.begin(), best.end());
    }
}

// Encodes rows as a PNG the way common writers do, interlaced or not; image data in 8 KiB chunks.
Bytes EncodePng(const Bytes& raw, int colourType, int depth, const Bytes& palette,
                bool interlaced = false) {
    const size_t bits = static_cast<size_t>(depth) * PixelBytes(colourType, 8);
    const auto rowBytes = [&](int width) { return (bits * static_cast<size_t>(width) + 7) / 8; };
    Bytes filtered;
    if (!interlaced) {
        FilterRows(raw, rowBytes(PictureWidth), PictureHeight, colourType, depth, filtered);
    } else {
        // Each pass is a small picture of its own pixels, packed and filtered on its own.
        const size_t fullRow = rowBytes(PictureWidth);
        for (const auto& p : Adam7) {
            const int width = (PictureWidth - p[0] + p[2] - 1) / p[2];
            const int rows = (PictureHeight - p[1] + p[3] - 1) / p[3];
            Bytes pass(rowBytes(width) * static_cast<size_t>(rows), 0);
            for (int r = 0; r < rows; ++r)
                for (int i = 0; i < width; ++i)
                    for (size_t bit = 0; bit < bits; ++bit) {
                        const size_t from = (static_cast<size_t>(p[1] + r * p[3])) * fullRow * 8 +
                                            static_cast<size_t>(p[0] + i * p[2]) * bits + bit;
                        const size_t to = static_cast<size_t>(r) * rowBytes(width) * 8 +
                                          static_cast<size_t>(i) * bits + bit;
                        if ((raw[from / 8] >> (7 - from % 8) & 1) != 0)
                            pass[to / 8] =
                                static_cast<unsigned char>(pass[to / 8] | 1 << (7 - to % 8));
                    }
            FilterRows(pass, rowBytes(width), rows, colourType, depth, filtered);
        }
    }
    uLongf size = compressBound(static_cast<uLong>(filtered.size()));
    Bytes stream(size);
    compress2(stream.data(), &size, filtered.data(), static_cast<uLong>(filtered.size()), 6);
    stream.resize(size);

    Bytes png{137, 80, 78, 71, 13, 10, 26, 10};
    Bytes header;
    PutBigEndian(header, PictureWidth);
    PutBigEndian(header, PictureHeight);
    for (int v : {depth, colourType, 0, 0, interlaced ? 1 : 0})
        header.push_back(static_cast<unsigned char>(v));
    AddChunk(png, "IHDR", header);
    if (!palette.empty()) AddChunk(png, "PLTE", palette);
    for (size_t at = 0; at < stream.size(); at += 8192)
        AddChunk(png, "IDAT",
                 Bytes(stream.begin() + static_cast<long>(at),
                       stream.begin() + static_cast<long>(std::min(stream.size(), at + 8192))));
    AddChunk(png, "IEND", {});
    return png;
}

// Writes bytes to path; false when that failed.
bool WriteWholeFile(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// libpng's simplified reader: the file to 8-bit RGB pixels in memory, or RGBA ones for a file
// with alpha (libpng is not asked to lay them over a background). Returns false on failure.
bool ReadWithLibpng(const char* path, Bytes& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path) == 0) return false;
    image.format = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    pixels.resize(PNG_IMAGE_SIZE(image));
    const bool ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

// Compares the picture area with libpng's pixels, RGBA ones laid over the background as the
// program does; returns the number of differing pixels.
int Differences(const WindowState& s, const Bytes& pixels) {
    GfxSelectSurface(nullptr);
    const bool alpha = pixels.size() == size_t{PictureWidth} * PictureHeight * 4;
    const size_t step = alpha ? 4 : 3;
    int bg[3];
    GfxRgbOfColour(s.BackgroundColour, &bg[0], &bg[1], &bg[2]);
    int wrong = 0;
    for (int y = 0; y < PictureHeight; ++y)
        for (int x = 0; x < PictureWidth; ++x) {
            const unsigned char* p =
                &pixels[(static_cast<size_t>(y) * PictureWidth + static_cast<size_t>(x)) * step];
            int c[3] = {p[0], p[1], p[2]};
            if (alpha)
                for (int k = 0; k < 3; ++k) c[k] = (c[k] * p[3] + bg[k] * (255 - p[3]) + 127) / 255;
            wrong += GfxReadPixel(x, y) != GfxColourFromRgb(c[0], c[1], c[2]);
        }
    return wrong;
}

// Times one picture file both ways, best of Runs, alternating; returns false when a run failed.
bool Measure(WindowState& s, const char* label, const std::string& path) {
    double ours = 1e30;
    double theirs = 1e30;
    Bytes pixels;
    for (int run = 0; run < Runs; ++run) {
        Clock::time_point start = Clock::now();
        const int result = static_cast<int>(LoadPicture(s, path.c_str(), 0, 0));
        ours = std::min(ours, MillisecondsSince(start));
        start = Clock::now();
        const bool ok = ReadWithLibpng(path.c_str(), pixels);
        theirs = std::min(theirs, MillisecondsSince(start));
        if (result != 0 || !ok) {
            std::fprintf(stderr, "%s: LoadPicture gave %d, libpng %s\n", label, result,
                         ok ? "read it" : "failed");
            return false;
        }
    }
    if (const int wrong = Differences(s, pixels); wrong != 0) {
        std::fprintf(stderr, "%s: %d pixels differ from libpng's\n", label, wrong);
        return false;
    }
    const double ratio = ours / theirs;
    std::printf("%s: umb %.3f ms, libpng %.3f ms, ratio %.2f (target <= %.2f): %s\n", label, ours,
                theirs, ratio, TargetRatio, ratio <= TargetRatio ? "OK" : "SLOW");
    return true;
}

}  // namespace

// Writes the pictures, times them both ways and prints one line each.
int main() {
    GfxUseHeadless(true);
    GfxOpenScreen();
    WindowState s;
    s.Background = {32, 32, 136};  // transparent pixels lie over a colour, not black

    const std::string base =
        (std::filesystem::temp_directory_path() / ("umb-bench-picture-" + std::to_string(getpid())))
            .string();
    Bytes palette;
    for (int i = 0; i < 16; ++i)
        for (int v : {i * 16, 255 - i * 12, (i * 97) & 255})
            palette.push_back(static_cast<unsigned char>(v));
    struct Picture {
        const char* label;
        Bytes png;
    };
    const Picture pictures[] = {
        {"rgb8", EncodePng(RgbPicture(), 2, 8, {})},
        {"pal4", EncodePng(PalettePicture(), 3, 4, palette)},
        {"rgba8", EncodePng(RgbaPicture(), 6, 8, {})},
        {"rgb8-adam7", EncodePng(RgbPicture(), 2, 8, {}, true)},
        {"pal4-adam7", EncodePng(PalettePicture(), 3, 4, palette, true)},
    };
    bool ok = true;
    for (const Picture& p : pictures) {
        const std::string path = base + "-" + p.label + ".png";
        if (!WriteWholeFile(path, p.png)) {
            std::fprintf(stderr, "cannot write the test picture %s\n", path.c_str());
            return 1;
        }
        ok = Measure(s, p.label, path) && ok;
        std::remove(path.c_str());
    }
    return ok ? 0 : 1;
}
