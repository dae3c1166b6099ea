// test_picture.cpp - pictures: every accepted PNG form and row filter, chunk handling, scrambled
// data, refused and damaged files, and when DisplayPicture loads or blanks the picture area.
#include "ui/picture.h"
#include "ui/screen.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A picture as the reader sees it once unfiltered: rows of rowLength bytes, no filter bytes.
struct RawPicture {
    int colourType = 2;
    int depth = 8;
    size_t rowLength = 0;
    int rows = PictureHeight;
    Bytes data;     // rows * rowLength bytes
    Bytes palette;  // red, green, blue triples
};

// Data bytes of one row, as the reader counts them (byte triples for RGB at any depth).
size_t RowLengthOf(int colourType, int depth) {
    const size_t bytes = (static_cast<size_t>(depth) * PictureWidth + 7) / 8;
    return colourType == 2 ? bytes * 3 : bytes;
}

// A repeatable byte stream.
struct Noise {
    uint32_t state;
    unsigned char Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<unsigned char>(state >> 24);
    }
};

// Random rows, so that each filter meets every kind of neighbour, and a full random palette.
RawPicture NoisyPicture(int colourType, int depth, uint32_t seed, int rows = PictureHeight) {
    RawPicture p;
    p.colourType = colourType;
    p.depth = depth;
    p.rowLength = RowLengthOf(colourType, depth);
    p.rows = rows;
    Noise n{seed};
    p.data.resize(p.rowLength * static_cast<size_t>(rows));
    for (unsigned char& b : p.data) b = n.Next();
    if (colourType == 3) {
        p.palette.resize(256 * 3);
        for (unsigned char& b : p.palette) b = n.Next();
    }
    return p;
}

// The colour pixel x of row y should show: PNG's meaning of the bytes, with grey depth 8 kept
// to 128 levels; black where the picture has no such pixel or palette entry.
GfxColour Expected(const RawPicture& p, int x, int y) {
    if (y >= p.rows) return 0;
    const unsigned char* r = &p.data[static_cast<size_t>(y) * p.rowLength];
    const auto ux = static_cast<size_t>(x);
    if (p.colourType == 2) {
        if (3 * ux + 2 >= p.rowLength) return 0;
        return GfxColourFromRgb(r[3 * ux], r[3 * ux + 1], r[3 * ux + 2]);
    }
    const int perByte = 8 / p.depth;
    const size_t byte = ux / static_cast<size_t>(perByte);
    if (byte >= p.rowLength) return 0;
    const int shift = 8 - p.depth * (x % perByte + 1);
    const int value = (r[byte] >> shift) & ((1 << p.depth) - 1);
    if (p.colourType == 0) {
        int g;
        if (p.depth == 8) {
            g = (value >> 1) * 255 / 127;
        } else {
            const int levels = 1 << p.depth;
            g = value * 255 / (levels - 1);
        }
        return GfxColourFromRgb(g, g, g);
    }
    const auto at = static_cast<size_t>(value) * 3;
    if (at + 2 >= p.palette.size()) return 0;
    return GfxColourFromRgb(p.palette[at], p.palette[at + 1], p.palette[at + 2]);
}

// PNG's predictor, written from its definition.
int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Filters row y with filters[y % size], as a PNG writer does; an unknown type leaves it raw.
Bytes FilterRows(const RawPicture& p, const std::vector<int>& filters) {
    const size_t step = p.colourType == 2 ? 3 : 1;
    const Bytes zero(p.rowLength, 0);
    Bytes out;
    for (int y = 0; y < p.rows; ++y) {
        const unsigned char* cur = &p.data[static_cast<size_t>(y) * p.rowLength];
        const unsigned char* prev =
            y > 0 ? &p.data[static_cast<size_t>(y - 1) * p.rowLength] : zero.data();
        const int f = filters[static_cast<size_t>(y) % filters.size()];
        out.push_back(static_cast<unsigned char>(f));
        for (size_t i = 0; i < p.rowLength; ++i) {
            const int a = i >= step ? cur[i - step] : 0;
            const int b = prev[i];
            const int c = i >= step ? prev[i - step] : 0;
            const int predicted = f == 1   ? a
                                  : f == 2 ? b
                                  : f == 3 ? (a + b) / 2
                                  : f == 4 ? Paeth(a, b, c)
                                           : 0;
            out.push_back(static_cast<unsigned char>(cur[i] - predicted));
        }
    }
    return out;
}

// Compresses data as one zlib stream flushed at each cut, so that each part inflates to exactly
// the data before its cut; returns the parts.
std::vector<Bytes> DeflateParts(const Bytes& data, std::vector<size_t> cuts = {}) {
    z_stream z{};
    EXPECT_EQ(deflateInit(&z, 6), Z_OK);
    cuts.push_back(data.size());
    std::vector<Bytes> parts;
    size_t from = 0;
    static unsigned char out[1 << 16];
    for (size_t i = 0; i < cuts.size(); ++i) {
        const bool last = i + 1 == cuts.size();
        z.next_in = const_cast<unsigned char*>(data.data() + from);
        z.avail_in = static_cast<uInt>(cuts[i] - from);
        Bytes part;
        int result;
        do {
            z.next_out = out;
            z.avail_out = sizeof out;
            result = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
            part.insert(part.end(), out, out + (sizeof out - z.avail_out));
        } while (z.avail_out == 0 || (last && result != Z_STREAM_END));
        parts.push_back(part);
        from = cuts[i];
    }
    deflateEnd(&z);
    return parts;
}

// Appends v as 4 big-endian bytes.
void PutBigEndian(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

const unsigned char Signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

// A PNG file being written chunk by chunk.
struct Png {
    Bytes bytes = Bytes(std::begin(Signature), std::end(Signature));
    bool lowerCase = false;

    // Writes one chunk with its true length.
    void Chunk(const char* type, const Bytes& data) {
        ChunkClaiming(static_cast<uint32_t>(data.size()), type, data);
    }
    // Writes a chunk whose length field says length, whatever data follows.
    void ChunkClaiming(uint32_t length, const char* type, const Bytes& data) {
        PutBigEndian(bytes, length);
        const size_t typeAt = bytes.size();
        for (int i = 0; i < 4; ++i) {
            const char c = type[i];
            bytes.push_back(
                static_cast<unsigned char>(lowerCase && c >= 'A' && c <= 'Z' ? c + 32 : c));
        }
        bytes.insert(bytes.end(), data.begin(), data.end());
        PutBigEndian(bytes, static_cast<uint32_t>(crc32(0, &bytes[typeAt],
                                                        static_cast<uInt>(bytes.size() - typeAt))));
    }
    // Image data in chunks of at most size bytes (0: one chunk), each optionally scrambled.
    void ImageData(const Bytes& stream, size_t size, bool scramble) {
        unsigned char key[4];
        PictureScrambleKey(key);
        if (size == 0) size = stream.size() + 1;
        for (size_t at = 0; at < stream.size(); at += size) {
            Bytes part(stream.begin() + static_cast<long>(at),
                       stream.begin() + static_cast<long>(std::min(stream.size(), at + size)));
            if (scramble)
                for (size_t k = 0; k < part.size(); ++k) part[k] ^= key[k % 4];
            Chunk("IDAT", part);
        }
    }
};

// The 13 data bytes of a header chunk.
Bytes Header(int colourType, int depth, uint32_t width = PictureWidth,
             uint32_t height = PictureHeight, int compression = 0, int filterMethod = 0,
             int interlace = 0) {
    Bytes h;
    PutBigEndian(h, width);
    PutBigEndian(h, height);
    for (int v : {depth, colourType, compression, filterMethod, interlace})
        h.push_back(static_cast<unsigned char>(v));
    return h;
}

const Bytes Marker{'u', 'm', 'b', '?'};

// How EncodePng writes a file.
struct PngOptions {
    std::vector<int> filters{0, 1, 2, 3, 4, 5, 255};  // by row, repeating
    size_t idatSize = 0;                              // largest image data chunk; 0: one chunk
    bool lowerCase = false;
    bool scramble = false;  // marker chunk, and image data combined with the key
};

// A whole PNG file of p: header, marker, palette, image data, end.
Bytes EncodePng(const RawPicture& p, const PngOptions& o = {}) {
    Png png;
    png.lowerCase = o.lowerCase;
    png.Chunk("IHDR", Header(p.colourType, p.depth));
    if (o.scramble) png.Chunk("SrMB", Marker);
    if (!p.palette.empty()) png.Chunk("PLTE", p.palette);
    png.ImageData(DeflateParts(FilterRows(p, o.filters))[0], o.idatSize, o.scramble);
    png.Chunk("IEND", {});
    return png.bytes;
}

// Every pixel of the picture area as p should show it, row after row.
std::vector<GfxColour> ExpectedImage(const RawPicture& p) {
    std::vector<GfxColour> image;
    for (int y = 0; y < PictureHeight; ++y)
        for (int x = 0; x < PictureWidth; ++x) image.push_back(Expected(p, x, y));
    return image;
}

class PictureTest : public ::testing::Test {
  protected:
    GameDatabase db;
    ScreenState s;
    std::string dir;
    const GfxColour background = GfxColourFromRgb(32, 32, 136);  // colour 1
    const GfxColour text = GfxColourFromRgb(208, 208, 64);       // colour 14
    const GfxColour paint = GfxColourFromRgb(1, 2, 3);           // what was on the screen before

    void SetUp() override {
        GfxUseHeadless(true);
        GfxOpenScreen();
        ASSERT_EQ(AllocateTextHeap(db), 0);
        db.BgColor = 1;
        db.FgColor = 14;
        s.db = &db;
        s.BackgroundColour = background;
        s.TextColour = text;
        std::string pattern = (std::filesystem::temp_directory_path() / "umb-pic-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::string Save(const Bytes& bytes, const char* name = "picture.png") {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    int Load(const Bytes& bytes) { return LoadPicture(s, Save(bytes).c_str(), 0, 0); }
    TextRef Store(const std::string& t) { return StoreText(db, t.c_str(), t.size(), false); }
    void Paint() {
        GfxSelectSurface(nullptr);
        GfxClearScreen(paint);
    }

    // Rows of the picture area showing p, counted from the top; the rows below must be black.
    int ShownRows(const RawPicture& p) { return ShownRows(ExpectedImage(p)); }
    int ShownRows(const std::vector<GfxColour>& expected) {
        GfxSelectSurface(nullptr);
        int shown = 0;
        for (; shown < PictureHeight; ++shown) {
            const GfxColour* want = &expected[static_cast<size_t>(shown) * PictureWidth];
            int x = 0;
            while (x < PictureWidth && GfxReadPixel(x, shown) == want[x]) ++x;
            if (x < PictureWidth) break;
        }
        for (int y = shown; y < PictureHeight; ++y)
            for (int x = 0; x < PictureWidth; ++x)
                if (GfxReadPixel(x, y) != 0) {
                    ADD_FAILURE() << "row " << shown << " differs, yet pixel " << x << "," << y
                                  << " is not black";
                    return -1;
                }
        return shown;
    }
    // True when the picture area and its frame still hold what was painted.
    bool Untouched() {
        GfxSelectSurface(nullptr);
        for (int y = 0; y <= PictureHeight; y += 4)
            for (int x = 0; x <= PictureWidth; x += 4)
                if (GfxReadPixel(x, y) != paint) return false;
        return true;
    }
    void ExpectBlankAndFramed() {
        GfxSelectSurface(nullptr);
        int wrong = 0;
        for (int y = 0; y <= PictureHeight; ++y)
            for (int x = 0; x <= PictureWidth; ++x) {
                const bool edge = x == 0 || y == 0 || x == PictureWidth || y == PictureHeight;
                wrong += GfxReadPixel(x, y) != (edge ? text : background);
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(GfxReadPixel(PictureWidth + 1, 5), paint);
        EXPECT_EQ(GfxReadPixel(5, PictureHeight + 1), paint);
    }
};

TEST_F(PictureTest, DecodesEveryAcceptedColourTypeAndDepthWithMixedFilters) {
    const int forms[][2] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {2, 8}, {3, 1}, {3, 2}, {3, 4}, {3, 8}};
    for (const auto& form : forms) {
        SCOPED_TRACE("colour type " + std::to_string(form[0]) + " depth " +
                     std::to_string(form[1]));
        const RawPicture p = NoisyPicture(form[0], form[1], 7u + static_cast<uint32_t>(form[1]));
        ASSERT_EQ(Load(EncodePng(p)), 0);
        EXPECT_EQ(ShownRows(p), PictureHeight);
    }
}

TEST_F(PictureTest, GreyDepth8HasOnly128Levels) {
    RawPicture p = NoisyPicture(0, 8, 3);
    const unsigned char firstBytes[] = {255, 254, 0, 1, 128, 129};
    std::memcpy(p.data.data(), firstBytes, sizeof firstBytes);
    ASSERT_EQ(Load(EncodePng(p)), 0);
    const GfxColour white = GfxColourFromRgb(255, 255, 255);
    EXPECT_EQ(GfxReadPixel(0, 0), white);
    EXPECT_EQ(GfxReadPixel(1, 0), white);
    EXPECT_EQ(GfxReadPixel(2, 0), 0u);
    EXPECT_EQ(GfxReadPixel(3, 0), 0u);
    EXPECT_EQ(GfxReadPixel(4, 0), GfxReadPixel(5, 0));
}

TEST_F(PictureTest, EachFilterOnEveryRowIncludingTheFirst) {
    // The first row filters against a row of zeros; step 3 (RGB) and step 1 differ at the left.
    for (int form : {2, 3}) {
        const RawPicture p = NoisyPicture(form, 8, 11);
        for (int filter : {0, 1, 2, 3, 4, 5}) {
            SCOPED_TRACE("colour type " + std::to_string(form) + " filter " +
                         std::to_string(filter));
            PngOptions o;
            o.filters = {filter};
            ASSERT_EQ(Load(EncodePng(p, o)), 0);
            EXPECT_EQ(ShownRows(p), PictureHeight);
        }
    }
}

TEST_F(PictureTest, AcceptsSplitImageDataLowerCaseTypesAndSkipsOtherChunks) {
    const RawPicture small = NoisyPicture(3, 1, 19);
    const RawPicture p = NoisyPicture(2, 8, 21);
    // Chunks of one byte, of a few hundred, and larger than one input block.
    for (const RawPicture* q : {&small, &p}) {
        for (size_t size : {size_t{1}, size_t{997}, size_t{40000}}) {
            if (size == 1 && q != &small) continue;
            SCOPED_TRACE("image data chunks of " + std::to_string(size));
            PngOptions o;
            o.idatSize = size;
            o.lowerCase = size == 997;
            ASSERT_EQ(Load(EncodePng(*q, o)), 0);
            EXPECT_EQ(ShownRows(*q), PictureHeight);
        }
    }
    // Unknown chunks, an empty image data chunk and a second header change nothing.
    const Bytes stream = DeflateParts(FilterRows(p, {4}))[0];
    const size_t half = stream.size() / 2;
    Png png;
    png.Chunk("IHDR", Header(2, 8));
    png.Chunk("tEXt", {'a', 0, 'b'});
    png.Chunk("IDAT", Bytes(stream.begin(), stream.begin() + static_cast<long>(half)));
    png.Chunk("IDAT", {});
    png.Chunk("IHDR", Header(0, 8));
    png.Chunk("IDAT", Bytes(stream.begin() + static_cast<long>(half), stream.end()));
    png.Chunk("IEND", {});
    ASSERT_EQ(Load(png.bytes), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);
}

TEST_F(PictureTest, PictureCoversTheFramesTopAndLeftLinesOnly) {
    const RawPicture p = NoisyPicture(2, 8, 5);
    Paint();
    ASSERT_EQ(Load(EncodePng(p)), 0);
    EXPECT_EQ(GfxReadPixel(0, 0), Expected(p, 0, 0));
    EXPECT_EQ(GfxReadPixel(PictureWidth - 1, PictureHeight - 1),
              Expected(p, PictureWidth - 1, PictureHeight - 1));
    for (int i = 0; i <= PictureWidth; ++i) EXPECT_EQ(GfxReadPixel(i, PictureHeight), paint) << i;
    for (int i = 0; i <= PictureHeight; ++i) EXPECT_EQ(GfxReadPixel(PictureWidth, i), paint) << i;
}

TEST_F(PictureTest, ScrambledImageDataNeedsAGoodMarkerBeforeIt) {
    const RawPicture p = NoisyPicture(3, 4, 13);
    PngOptions o;
    o.scramble = true;
    o.idatSize = 5001;  // not a multiple of 4: the key starts again with every chunk
    ASSERT_EQ(Load(EncodePng(p, o)), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);
    o.lowerCase = true;
    ASSERT_EQ(Load(EncodePng(p, o)), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);

    const Bytes stream = DeflateParts(FilterRows(p, {1, 4}))[0];
    auto withMarkers = [&](const std::vector<std::pair<uint32_t, Bytes>>& markers) {
        Png png;
        png.Chunk("IHDR", Header(3, 4));
        for (const auto& m : markers) png.ChunkClaiming(m.first, "SrMB", m.second);
        png.Chunk("PLTE", p.palette);
        png.ImageData(stream, 0, true);
        png.Chunk("IEND", {});
        return png.bytes;
    };
    // A bad marker ends the picture before any image data: all black, yet drawn.
    const std::vector<std::vector<std::pair<uint32_t, Bytes>>> bad = {
        {{4, {'u', 'm', 'b', '!'}}},
        {{4, {'U', 'M', 'B', '?'}}},
        {{5, {'u', 'm', 'b', '?', 0}}},
        {{4, Marker}, {4, Marker}}};
    for (const auto& markers : bad) {
        Paint();
        ASSERT_EQ(Load(withMarkers(markers)), 0);
        EXPECT_EQ(ShownRows(p), 0);
    }
    // Scrambled data without a marker is not inflatable; the picture just stops.
    Png plain;
    plain.Chunk("IHDR", Header(3, 4));
    plain.Chunk("PLTE", p.palette);
    plain.ImageData(stream, 0, true);
    plain.Chunk("IEND", {});
    EXPECT_EQ(Load(plain.bytes), 0);
}

TEST_F(PictureTest, ASecondMarkerStopsThePictureAfterTheRowsBeforeIt) {
    const RawPicture p = NoisyPicture(2, 8, 17);
    const std::vector<Bytes> parts = DeflateParts(FilterRows(p, {2, 3}), {100 * (p.rowLength + 1)});
    Png png;
    png.Chunk("IHDR", Header(2, 8));
    png.Chunk("SrMB", Marker);
    png.ImageData(parts[0], 0, true);
    png.Chunk("SrMB", Marker);
    png.ImageData(parts[1], 0, true);
    png.Chunk("IEND", {});
    ASSERT_EQ(Load(png.bytes), 0);
    EXPECT_EQ(ShownRows(p), 100);

    // A first marker is too late once image data has begun.
    Png late;
    late.Chunk("IHDR", Header(2, 8));
    late.ImageData(parts[0], 0, false);
    late.Chunk("SrMB", Marker);
    late.ImageData(parts[1], 0, true);
    late.Chunk("IEND", {});
    ASSERT_EQ(Load(late.bytes), 0);
    EXPECT_EQ(ShownRows(p), 100);
}

TEST_F(PictureTest, RefusedFilesLeaveTheScreenAndDisplayBlanksTheFramedArea) {
    const RawPicture p = NoisyPicture(2, 8, 5);
    const Bytes stream = DeflateParts(FilterRows(p, {0}))[0];
    auto file = [&](const std::vector<std::pair<const char*, Bytes>>& chunks) {
        Png png;
        for (const auto& c : chunks) png.Chunk(c.first, c.second);
        png.Chunk("IDAT", stream);
        png.Chunk("IEND", {});
        return png.bytes;
    };
    const Bytes good = file({{"IHDR", Header(2, 8)}});
    Bytes badSignature = good;
    badSignature[3] = 'g';
    Png huge;
    huge.Chunk("IHDR", Header(2, 8));
    huge.Chunk("IDAT", Bytes(stream.begin(), stream.begin() + 100));
    huge.ChunkClaiming(0x80000000u, "tEXt", {1, 2, 3});
    Bytes longHeader = Header(2, 8);
    longHeader.push_back(0);
    struct Case {
        const char* what;
        Bytes bytes;
        int code;
    };
    const Case cases[] = {
        {"empty", {}, -2},
        {"cut signature", Bytes(good.begin(), good.begin() + 7), -2},
        {"wrong signature", badSignature, -2},
        {"385 wide", file({{"IHDR", Header(2, 8, 385)}}), -3},
        {"255 high", file({{"IHDR", Header(2, 8, 384, 255)}}), -3},
        {"16-bit", file({{"IHDR", Header(2, 16)}}), -3},
        {"depth 0", file({{"IHDR", Header(0, 0)}}), -3},
        {"grey and alpha", file({{"IHDR", Header(4, 8)}}), -3},
        {"RGB and alpha", file({{"IHDR", Header(6, 8)}}), -3},
        {"compression 1", file({{"IHDR", Header(2, 8, 384, 256, 1)}}), -3},
        {"filter method 1", file({{"IHDR", Header(2, 8, 384, 256, 0, 1)}}), -3},
        {"interlaced", file({{"IHDR", Header(2, 8, 384, 256, 0, 0, 1)}}), -3},
        {"header of 14 bytes", file({{"IHDR", longHeader}}), -3},
        {"header second", file({{"tEXt", {'x'}}, {"IHDR", Header(2, 8)}}), -3},
        {"marker before the header", file({{"SrMB", Marker}, {"IHDR", Header(2, 8)}}), -3},
        {"no header", file({}), -3},
        {"header cut short", Bytes(good.begin(), good.begin() + 30), -3},
        {"chunk length of 2^31", huge.bytes, -3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Paint();
        EXPECT_EQ(Load(c.bytes), c.code);
        EXPECT_TRUE(Untouched());
        EXPECT_EQ(DisplayPicture(s, Store(Save(c.bytes))), -1);
        ExpectBlankAndFramed();
    }
    Paint();
    EXPECT_EQ(LoadPicture(s, (dir + "/missing.png").c_str(), 0, 0), -1);
    EXPECT_EQ(LoadPicture(s, dir.c_str(), 0, 0), -2);  // a directory reads as nothing
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(DisplayPicture(s, Store(dir + "/missing.png")), -1);
    ExpectBlankAndFramed();
}

TEST_F(PictureTest, TruncatedFilesShowTheRowsReadSoFar) {
    // A regular picture compresses well, which keeps the number of cut points small.
    RawPicture p;
    p.colourType = 3;
    p.depth = 1;
    p.rowLength = RowLengthOf(3, 1);
    p.palette = {10, 20, 30, 200, 100, 50};
    for (int y = 0; y < PictureHeight; ++y)
        for (size_t i = 0; i < p.rowLength; ++i)
            p.data.push_back(static_cast<unsigned char>((i + static_cast<size_t>(y)) % 7 * 0x25 ^
                                                        (y & 64 ? 0xFF : 0)));
    PngOptions o;
    o.idatSize = 300;
    o.filters = {0, 2};
    o.scramble = true;
    const Bytes whole = EncodePng(p, o);
    ASSERT_LT(whole.size(), 2000u);
    const size_t headerEnd = 8 + 25;  // signature and header chunk
    const std::vector<GfxColour> expected = ExpectedImage(p);
    int before = 0;
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const int result = Load(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
        EXPECT_EQ(result, cut < 8 ? -2 : cut < headerEnd ? -3 : 0);
        if (result != 0) continue;
        const int rows = ShownRows(expected);
        ASSERT_GE(rows, before);
        before = rows;
    }
    EXPECT_EQ(before, PictureHeight);  // the file without "IEND" shows everything
}

TEST_F(PictureTest, DamagedImageDataEndsThePictureWithoutHanging) {
    const RawPicture p = NoisyPicture(2, 8, 29);
    const Bytes stream = DeflateParts(FilterRows(p, {0, 1, 2, 3, 4}))[0];
    auto picture = [&](const std::vector<Bytes>& idat) {
        Png png;
        png.Chunk("IHDR", Header(2, 8));
        for (const Bytes& d : idat) png.Chunk("IDAT", d);
        png.Chunk("IEND", {});
        return png.bytes;
    };
    Bytes broken = stream;
    broken[0] = 0x00;  // not a zlib header
    ASSERT_EQ(Load(picture({broken})), 0);
    EXPECT_EQ(ShownRows(p), 0);
    broken = stream;
    broken[1] = 0x20;  // asks for a preset dictionary, with a valid header check
    while ((broken[0] * 256 + broken[1]) % 31 != 0) ++broken[1];
    ASSERT_EQ(Load(picture({broken})), 0);
    EXPECT_EQ(ShownRows(p), 0);
    broken = stream;
    broken.back() ^= 0xFF;  // wrong check value: every row has arrived before it is noticed
    ASSERT_EQ(Load(picture({broken})), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);
    for (size_t at :
         {size_t{2}, size_t{3}, stream.size() / 3, stream.size() / 2, stream.size() - 9}) {
        broken = stream;
        for (size_t k = at; k < at + 4; ++k)
            broken[k] = static_cast<unsigned char>(broken[k] * 37 + 11);
        EXPECT_EQ(Load(picture({broken})), 0) << at;
    }
    // Data after the end of the stream is ignored, in its chunk and in later ones.
    Bytes tail = stream;
    tail.insert(tail.end(), {1, 2, 3, 4, 5});
    ASSERT_EQ(Load(picture({tail, {9, 9, 9}})), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);
}

TEST_F(PictureTest, RowsBeyondTheHeightAreIgnoredAndMissingRowsStayBlack) {
    // The same noise makes the same first rows, whatever the number of rows.
    const RawPicture full = NoisyPicture(0, 4, 31);
    for (int rows : {300, 100}) {
        const RawPicture p = NoisyPicture(0, 4, 31, rows);
        Png png;
        png.Chunk("IHDR", Header(0, 4));
        png.ImageData(DeflateParts(FilterRows(p, {4, 2}))[0], 0, false);
        png.Chunk("IEND", {});
        ASSERT_EQ(Load(png.bytes), 0);
        EXPECT_EQ(ShownRows(full), std::min(rows, PictureHeight));
    }
}

TEST_F(PictureTest, PaletteEntriesOutsideThePaletteAreBlack) {
    RawPicture p = NoisyPicture(3, 8, 37);
    p.palette.resize(300 * 3, 77);  // entries past 256 are read and dropped
    ASSERT_EQ(Load(EncodePng(p)), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);
    // A short palette must not borrow the colours of the picture before.
    p.palette.resize(4 * 3);
    ASSERT_EQ(Load(EncodePng(p)), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);
    p.palette.clear();
    Paint();
    ASSERT_EQ(Load(EncodePng(p)), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);  // every pixel black, none left as it was
}

TEST_F(PictureTest, UnusualDepthsPassTheHeaderAndStayInsideTheirRows) {
    // PNG has no such forms, but the header rules let them through; their rows are shorter.
    const int forms[][2] = {{2, 1}, {2, 4}, {2, 7}, {0, 3}, {0, 5}, {0, 7}, {3, 3}, {3, 6}};
    for (const auto& form : forms) {
        SCOPED_TRACE("colour type " + std::to_string(form[0]) + " depth " +
                     std::to_string(form[1]));
        const RawPicture p = NoisyPicture(form[0], form[1], 41);
        ASSERT_EQ(Load(EncodePng(p)), 0);
        EXPECT_EQ(ShownRows(p), PictureHeight);
    }
}

TEST_F(PictureTest, DisplayLoadsAPictureOncePerTextAndBlanksWithoutOne) {
    const RawPicture p = NoisyPicture(3, 2, 43);
    Save(EncodePng(p), "hall.png");
    if (dir.size() >= sizeof db.ImagePath)
        GTEST_SKIP() << "temporary directory too long for ImagePath";
    std::memcpy(db.ImagePath, dir.c_str(), dir.size() + 1);

    // No picture at the start is the same text as none asked for yet: nothing changes.
    Paint();
    EXPECT_EQ(DisplayPicture(s, NoText), 0);
    EXPECT_TRUE(Untouched());

    const TextRef hall = Store("hall.png");
    EXPECT_EQ(DisplayPicture(s, hall), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);
    Paint();
    EXPECT_EQ(DisplayPicture(s, hall), 0);
    EXPECT_TRUE(Untouched());
    // The same characters in another text count as a new picture.
    EXPECT_EQ(DisplayPicture(s, Store("hall.png")), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);

    Paint();
    EXPECT_EQ(DisplayPicture(s, Store("cellar.png")), -1);
    ExpectBlankAndFramed();
    Paint();
    EXPECT_EQ(DisplayPicture(s, Store("")), -1);
    ExpectBlankAndFramed();
    Paint();
    EXPECT_EQ(DisplayPicture(s, NoText), -1);
    ExpectBlankAndFramed();

    // Without an image path the name is the whole path; longer than 127 characters is refused.
    db.ImagePath[0] = '\0';
    EXPECT_EQ(DisplayPicture(s, Store(dir + "/hall.png")), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);
    const std::string deep = dir + "/" + std::string(130 - dir.size(), 'd');
    std::filesystem::create_directory(deep);
    std::filesystem::copy_file(dir + "/hall.png", deep + "/hall.png");
    Paint();
    EXPECT_EQ(DisplayPicture(s, Store(deep + "/hall.png")), -1);
    ExpectBlankAndFramed();
}

TEST_F(PictureTest, PicturesOffBlankTheAreaUntilAnotherTextIsAskedFor) {
    const RawPicture p = NoisyPicture(0, 2, 47);
    const std::string path = Save(EncodePng(p));
    s.PicturesEnabled = 0;
    Paint();
    EXPECT_EQ(LoadPicture(s, path.c_str(), 0, 0), -1);
    EXPECT_TRUE(Untouched());
    const TextRef first = Store(path);
    EXPECT_EQ(DisplayPicture(s, first), -1);
    ExpectBlankAndFramed();

    s.PicturesEnabled = 1;
    Paint();
    EXPECT_EQ(DisplayPicture(s, first), 0);
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(DisplayPicture(s, Store(path)), 0);
    EXPECT_EQ(ShownRows(p), PictureHeight);
}

}  // namespace
