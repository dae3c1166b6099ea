// bench_picture.cpp - times showing a picture file against libpng reading the same file to pixels.
#include "ui/picture.h"
#include "ui/screen.h"

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

// Encodes rows as a PNG the way common writers do: for RGB each row takes the filter with the
// smallest sum of signed differences, palette rows stay unfiltered; image data in 8 KiB chunks.
Bytes EncodePng(const Bytes& raw, int colourType, int depth, const Bytes& palette) {
    const size_t rowLength =
        (static_cast<size_t>(depth) * PictureWidth + 7) / 8 * (colourType == 2 ? 3 : 1);
    const size_t step = colourType == 2 ? 3 : 1;
    const Bytes zero(rowLength, 0);
    Bytes filtered;
    for (int y = 0; y < PictureHeight; ++y) {
        const unsigned char* cur = &raw[static_cast<size_t>(y) * rowLength];
        const unsigned char* prev = y > 0 ? cur - rowLength : zero.data();
        Bytes best;
        long bestSum = -1;
        for (int f = 0; f <= (colourType == 2 ? 4 : 0); ++f) {
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
    uLongf size = compressBound(static_cast<uLong>(filtered.size()));
    Bytes stream(size);
    compress2(stream.data(), &size, filtered.data(), static_cast<uLong>(filtered.size()), 6);
    stream.resize(size);

    Bytes png{137, 80, 78, 71, 13, 10, 26, 10};
    Bytes header;
    PutBigEndian(header, PictureWidth);
    PutBigEndian(header, PictureHeight);
    for (int v : {depth, colourType, 0, 0, 0}) header.push_back(static_cast<unsigned char>(v));
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

// libpng's simplified reader: the file to 8-bit RGB pixels in memory. Returns false on failure.
bool ReadWithLibpng(const char* path, Bytes& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path) == 0) return false;
    image.format = PNG_FORMAT_RGB;
    pixels.resize(PNG_IMAGE_SIZE(image));
    const bool ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

// Compares the picture area with libpng's pixels; returns the number of differing pixels.
int Differences(const Bytes& rgb) {
    GfxSelectSurface(nullptr);
    int wrong = 0;
    for (int y = 0; y < PictureHeight; ++y)
        for (int x = 0; x < PictureWidth; ++x) {
            const size_t at = (static_cast<size_t>(y) * PictureWidth + static_cast<size_t>(x)) * 3;
            wrong += GfxReadPixel(x, y) != GfxColourFromRgb(rgb[at], rgb[at + 1], rgb[at + 2]);
        }
    return wrong;
}

// Times one picture file both ways, best of Runs, alternating; returns false when a run failed.
bool Measure(ScreenState& s, const char* label, const std::string& path) {
    double ours = 1e30;
    double theirs = 1e30;
    Bytes pixels;
    for (int run = 0; run < Runs; ++run) {
        Clock::time_point start = Clock::now();
        const int result = LoadPicture(s, path.c_str(), 0, 0);
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
    if (const int wrong = Differences(pixels); wrong != 0) {
        std::fprintf(stderr, "%s: %d pixels differ from libpng's\n", label, wrong);
        return false;
    }
    const double ratio = ours / theirs;
    std::printf("%s: umb %.3f ms, libpng %.3f ms, ratio %.2f (target <= %.2f): %s\n", label, ours,
                theirs, ratio, TargetRatio, ratio <= TargetRatio ? "OK" : "SLOW");
    return true;
}

}  // namespace

// Writes the two pictures, times them both ways and prints one line each.
int main() {
    GfxUseHeadless(true);
    GfxOpenScreen();
    GameDatabase db;
    ScreenState s;
    s.db = &db;

    const std::string base =
        (std::filesystem::temp_directory_path() / ("umb-bench-picture-" + std::to_string(getpid())))
            .string();
    const std::string rgbPath = base + "-rgb8.png";
    const std::string palettePath = base + "-pal4.png";
    Bytes palette;
    for (int i = 0; i < 16; ++i)
        for (int v : {i * 16, 255 - i * 12, (i * 97) & 255})
            palette.push_back(static_cast<unsigned char>(v));
    if (!WriteWholeFile(rgbPath, EncodePng(RgbPicture(), 2, 8, {})) ||
        !WriteWholeFile(palettePath, EncodePng(PalettePicture(), 3, 4, palette))) {
        std::fprintf(stderr, "cannot write the test pictures under %s\n", base.c_str());
        return 1;
    }
    const bool ok = Measure(s, "rgb8", rgbPath) && Measure(s, "pal4", palettePath);
    std::remove(rgbPath.c_str());
    std::remove(palettePath.c_str());
    return ok ? 0 : 1;
}
