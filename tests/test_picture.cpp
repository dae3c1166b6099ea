// test_picture.cpp - pictures: every accepted PNG form and row filter, chunk handling, scrambled
// data, refused and damaged files, and when DisplayPicture loads or blanks the picture area.
#include "engine/engine.h"
#include "ui/window/picture.h"
#include "ui/window/screen.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace umb::db;
using namespace umb::gfx;
using namespace umb::ui;
using namespace umb::engine;

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

// Samples per pixel of a colour type.
size_t ChannelsOf(int colourType) {
    return colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
}

// Data bytes of one row, as the reader counts them (byte triples for RGB at any depth up to 8).
size_t RowLengthOf(int colourType, int depth, int width = PictureWidth) {
    if (colourType == 2 && depth <= 8)
        return (static_cast<size_t>(depth) * static_cast<size_t>(width) + 7) / 8 * 3;
    return (static_cast<size_t>(depth) * ChannelsOf(colourType) * static_cast<size_t>(width) + 7) /
           8;
}

// Bytes of one complete pixel, as the filters step back (3 for RGB up to 8 bits), at least 1.
size_t FilterStepOf(int colourType, int depth) {
    if (colourType == 2 && depth <= 8) return 3;
    return std::max<size_t>(1, static_cast<size_t>(depth) * ChannelsOf(colourType) / 8);
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
    const size_t step = FilterStepOf(p.colourType, p.depth);
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

// The Adam7 passes: first column and row, column and row steps.
const int Adam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                         {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// Filters p interlaced: each pass a small picture of its own pixels, packed and filtered on its
// own as PNG writers do. passEnds, when given, receives where each pass ends in the result.
Bytes InterlacedRows(const RawPicture& p, const std::vector<int>& filters,
                     std::vector<size_t>* passEnds = nullptr) {
    const size_t bits = static_cast<size_t>(p.depth) * ChannelsOf(p.colourType);
    Bytes out;
    for (const auto& pass : Adam7) {
        RawPicture q;
        q.colourType = p.colourType;
        q.depth = p.depth;
        const int width = (PictureWidth - pass[0] + pass[2] - 1) / pass[2];
        q.rows = (p.rows - pass[1] + pass[3] - 1) / pass[3];
        q.rowLength = RowLengthOf(p.colourType, p.depth, width);
        q.data.assign(q.rowLength * static_cast<size_t>(q.rows), 0);
        for (int r = 0; r < q.rows; ++r)
            for (int i = 0; i < width; ++i)
                for (size_t bit = 0; bit < bits; ++bit) {
                    const size_t from =
                        static_cast<size_t>(pass[1] + r * pass[3]) * p.rowLength * 8 +
                        static_cast<size_t>(pass[0] + i * pass[2]) * bits + bit;
                    const size_t to = static_cast<size_t>(r) * q.rowLength * 8 +
                                      static_cast<size_t>(i) * bits + bit;
                    if ((p.data[from / 8] >> (7 - from % 8) & 1) != 0)
                        q.data[to / 8] =
                            static_cast<unsigned char>(q.data[to / 8] | 1 << (7 - to % 8));
                }
        const Bytes rows = FilterRows(q, filters);
        out.insert(out.end(), rows.begin(), rows.end());
        if (passEnds != nullptr) passEnds->push_back(out.size());
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
    bool interlaced = false;
};

// A whole PNG file of p: header, marker, palette, image data, end.
Bytes EncodePng(const RawPicture& p, const PngOptions& o = {}) {
    Png png;
    png.lowerCase = o.lowerCase;
    png.Chunk("IHDR", Header(p.colourType, p.depth, PictureWidth, PictureHeight, 0, 0,
                             o.interlaced ? 1 : 0));
    if (o.scramble) png.Chunk("SrMB", Marker);
    if (!p.palette.empty()) png.Chunk("PLTE", p.palette);
    const Bytes rows = o.interlaced ? InterlacedRows(p, o.filters) : FilterRows(p, o.filters);
    png.ImageData(DeflateParts(rows)[0], o.idatSize, o.scramble);
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
    WindowState s;
    Game g;  // the game whose picture texts and image path DisplayGamePicture resolves
    std::string dir;
    const GfxColour background = GfxColourFromRgb(32, 32, 136);  // colour 1
    const GfxColour text = GfxColourFromRgb(208, 208, 64);       // colour 14
    const GfxColour paint = GfxColourFromRgb(1, 2, 3);           // what was on the screen before

    // Gives the screen the game's colours, as the window takes them when it opens.
    void UseGameColours() {
        const GameLook look = LookOf(db);
        s.Background = look.background;
        s.Foreground = look.foreground;
    }

    void SetUp() override {
        GfxUseHeadless(true);
        GfxOpenScreen();
        ASSERT_EQ(AllocateTextHeap(db), DbResult::Ok);
        db.BgColor = 1;
        db.FgColor = 14;
        g.Db = &db;
        g.Front = {&WindowFrontEnd, &s};
        UseGameColours();
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
    // The reader's result as its number: the tables below name the codes by value.
    int Load(const Bytes& bytes) {
        return static_cast<int>(LoadPicture(s, Save(bytes).c_str(), 0, 0));
    }
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
        const char* why;  // the reason debug mode names
    };
    const Case cases[] = {
        {"empty", {}, -2, "not a PNG file"},
        {"cut signature", Bytes(good.begin(), good.begin() + 7), -2, "not a PNG file"},
        {"wrong signature", badSignature, -2, "not a PNG file"},
        {"385 wide", file({{"IHDR", Header(2, 8, 385)}}), -3, "not 384 x 256 but 385 x 256"},
        {"255 high", file({{"IHDR", Header(2, 8, 384, 255)}}), -3, "not 384 x 256 but 384 x 255"},
        {"16-bit palette", file({{"IHDR", Header(3, 16)}}), -3,
         "unsupported bit depth 16 for palette"},
        {"depth 0", file({{"IHDR", Header(0, 0)}}), -3, "unsupported bit depth 0 for grey"},
        {"12-bit RGB", file({{"IHDR", Header(2, 12)}}), -3, "unsupported bit depth 12 for RGB"},
        {"4-bit grey and alpha", file({{"IHDR", Header(4, 4)}}), -3,
         "unsupported bit depth 4 for grey and alpha"},
        {"2-bit RGBA", file({{"IHDR", Header(6, 2)}}), -3, "unsupported bit depth 2 for RGBA"},
        {"colour type 5", file({{"IHDR", Header(5, 8)}}), -3, "unsupported colour type 5"},
        {"compression 1", file({{"IHDR", Header(2, 8, 384, 256, 1)}}), -3,
         "unsupported compression method 1"},
        {"filter method 1", file({{"IHDR", Header(2, 8, 384, 256, 0, 1)}}), -3,
         "unsupported filter method 1"},
        {"interlace method 2", file({{"IHDR", Header(2, 8, 384, 256, 0, 0, 2)}}), -3,
         "unsupported interlace method 2"},
        {"header of 14 bytes", file({{"IHDR", longHeader}}), -3, "header missing"},
        {"header second", file({{"tEXt", {'x'}}, {"IHDR", Header(2, 8)}}), -3, "header missing"},
        {"marker before the header", file({{"SrMB", Marker}, {"IHDR", Header(2, 8)}}), -3,
         "header missing"},
        {"no header", file({}), -3, "header missing"},
        {"header cut short", Bytes(good.begin(), good.begin() + 30), -3, "truncated"},
        {"chunk length of 2^31", huge.bytes, -3, "bad chunk length"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Paint();
        char why[80] = "unchanged";
        EXPECT_EQ(static_cast<int>(LoadPicture(s, Save(c.bytes).c_str(), 0, 0, why, sizeof why)),
                  c.code);
        EXPECT_STREQ(why, c.why);
        EXPECT_TRUE(Untouched());
        const std::string name = Save(c.bytes);
        EXPECT_EQ(DisplayGamePicture(g, Store(name)), PictureResult::Blanked);
        EXPECT_EQ(std::string(g.PictureFailure), "picture " + name + ": " + c.why);
        ExpectBlankAndFramed();
    }
    Paint();
    char why[80];
    EXPECT_EQ(LoadPicture(s, (dir + "/missing.png").c_str(), 0, 0, why, sizeof why),
              umb::base::ReadResult::CannotOpen);
    EXPECT_STREQ(why, "file not found");
    EXPECT_EQ(LoadPicture(s, dir.c_str(), 0, 0),
              umb::base::ReadResult::NotFormat);  // a directory reads as nothing
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(DisplayGamePicture(g, Store(dir + "/missing.png")), PictureResult::Blanked);
    EXPECT_EQ(std::string(g.PictureFailure), "picture " + dir + "/missing.png: file not found");
    ExpectBlankAndFramed();
    // A short reason buffer gets what fits.
    char shortWhy[5];
    EXPECT_EQ(LoadPicture(s, Save(badSignature).c_str(), 0, 0, shortWhy, sizeof shortWhy),
              umb::base::ReadResult::NotFormat);
    EXPECT_STREQ(shortWhy, "not ");
}

TEST_F(PictureTest, FilesUpTo64MiBAreReadAndLargerOnesRefused) {
    const RawPicture p = NoisyPicture(2, 8, 3);
    const std::string path = Save(EncodePng(p));
    constexpr uintmax_t Cap = uintmax_t{64} << 20;
    // Zeros after the end chunk are never decoded; the file is sparse, so it costs no disk.
    std::filesystem::resize_file(path, Cap);
    Paint();
    char why[80] = "unchanged";
    EXPECT_EQ(LoadPicture(s, path.c_str(), 0, 0, why, sizeof why), umb::base::ReadResult::Ok);
    EXPECT_STREQ(why, "");
    EXPECT_EQ(ShownRows(p), PictureHeight);

    std::filesystem::resize_file(path, Cap + 1);
    Paint();
    EXPECT_EQ(LoadPicture(s, path.c_str(), 0, 0, why, sizeof why),
              umb::base::ReadResult::CannotOpen);
    EXPECT_STREQ(why, "file too large");
    EXPECT_TRUE(Untouched());
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
    EXPECT_EQ(DisplayGamePicture(g, NoText), PictureResult::Shown);
    EXPECT_TRUE(Untouched());

    const TextRef hall = Store("hall.png");
    EXPECT_EQ(DisplayGamePicture(g, hall), PictureResult::Shown);
    EXPECT_EQ(ShownRows(p), PictureHeight);
    Paint();
    EXPECT_EQ(DisplayGamePicture(g, hall), PictureResult::Shown);
    EXPECT_TRUE(Untouched());
    // The same characters in another text count as a new picture.
    EXPECT_EQ(DisplayGamePicture(g, Store("hall.png")), PictureResult::Shown);
    EXPECT_EQ(ShownRows(p), PictureHeight);

    EXPECT_STREQ(g.PictureFailure, "");
    Paint();
    const TextRef cellar = Store("cellar.png");
    EXPECT_EQ(DisplayGamePicture(g, cellar), PictureResult::Blanked);
    EXPECT_STREQ(g.PictureFailure, "picture cellar.png: file not found");
    ExpectBlankAndFramed();
    // Asked for again, the failed picture is neither tried nor named again.
    EXPECT_EQ(DisplayGamePicture(g, cellar), PictureResult::Shown);
    EXPECT_STREQ(g.PictureFailure, "");
    Paint();
    EXPECT_EQ(DisplayGamePicture(g, Store("")), PictureResult::Blanked);
    EXPECT_STREQ(g.PictureFailure, "");  // no picture is no failure
    ExpectBlankAndFramed();
    Paint();
    EXPECT_EQ(DisplayGamePicture(g, NoText), PictureResult::Blanked);
    ExpectBlankAndFramed();

    // Without an image path the name is the whole path; longer than 127 characters is refused.
    db.ImagePath[0] = '\0';
    EXPECT_EQ(DisplayGamePicture(g, Store(dir + "/hall.png")), PictureResult::Shown);
    EXPECT_EQ(ShownRows(p), PictureHeight);
    const std::string deep = dir + "/" + std::string(130 - dir.size(), 'd');
    std::filesystem::create_directory(deep);
    std::filesystem::copy_file(dir + "/hall.png", deep + "/hall.png");
    Paint();
    EXPECT_EQ(DisplayGamePicture(g, Store(deep + "/hall.png")), PictureResult::Blanked);
    EXPECT_EQ(std::string(g.PictureFailure),
              "picture " + deep + "/hall.png: path longer than 127 characters");
    ExpectBlankAndFramed();
}

TEST_F(PictureTest, PicturesOffBlankTheAreaUntilAnotherTextIsAskedFor) {
    const RawPicture p = NoisyPicture(0, 2, 47);
    const std::string path = Save(EncodePng(p));
    s.PicturesEnabled = 0;
    Paint();
    EXPECT_EQ(LoadPicture(s, path.c_str(), 0, 0), umb::base::ReadResult::CannotOpen);
    EXPECT_TRUE(Untouched());
    const TextRef first = Store(path);
    EXPECT_EQ(DisplayGamePicture(g, first), PictureResult::Blanked);
    EXPECT_STREQ(g.PictureFailure, "");  // switched off by the player: nothing to report
    ExpectBlankAndFramed();

    s.PicturesEnabled = 1;
    Paint();
    EXPECT_EQ(DisplayGamePicture(g, first), PictureResult::Shown);
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(DisplayGamePicture(g, Store(path)), PictureResult::Shown);
    EXPECT_EQ(ShownRows(p), PictureHeight);
}

// libpng's reading of a PNG file as 8-bit RGBA: 16-bit samples cut to their high byte, palette
// and grey below 8 bits expanded, interlacing undone. Empty when libpng refuses the file.
Bytes LibpngRgba(const Bytes& file) {
    struct Source {
        const Bytes* bytes;
        size_t at;
    } source{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    // Made before the jump point, so that a longjmp leaves nothing half built.
    Bytes pixels(size_t{PictureWidth} * PictureHeight * 4);
    std::vector<png_bytep> rows;
    for (int y = 0; y < PictureHeight; ++y)
        rows.push_back(&pixels[static_cast<size_t>(y) * PictureWidth * 4]);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        return {};
    }
    png_set_read_fn(png, &source, [](png_structp p, png_bytep out, size_t n) {
        auto* from = static_cast<Source*>(png_get_io_ptr(p));
        if (from->bytes->size() - from->at < n) png_error(p, "end of file");
        std::memcpy(out, from->bytes->data() + from->at, n);
        from->at += n;
    });
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    return pixels;
}

// A sample c with alpha a laid over the background's sample bg, as pictures are composited:
// out = (c * a + bg * (255 - a) + 127) / 255, the exact blend rounded to the nearest integer.
int Over(int c, int a, int bg) { return (c * a + bg * (255 - a) + 127) / 255; }

// What the picture area should show for file (of the form of p): libpng's pixels, laid over
// background by Over, and 8-bit grey without alpha kept to 128 levels.
std::vector<GfxColour> ReferenceImage(const Bytes& file, const RawPicture& p,
                                      GfxColour background) {
    const Bytes rgba = LibpngRgba(file);
    EXPECT_FALSE(rgba.empty()) << "libpng refused the file";
    if (rgba.empty()) return {};
    int bg[3];
    GfxRgbOfColour(background, &bg[0], &bg[1], &bg[2]);
    std::vector<GfxColour> image;
    for (size_t at = 0; at < rgba.size(); at += 4) {
        int c[3] = {rgba[at], rgba[at + 1], rgba[at + 2]};
        for (int k = 0; k < 3; ++k) {
            if (p.colourType == 0 && p.depth == 8) c[k] = (c[k] >> 1) * 255 / 127;
            c[k] = Over(c[k], rgba[at + 3], bg[k]);
        }
        image.push_back(GfxColourFromRgb(c[0], c[1], c[2]));
    }
    return image;
}

// Noise with every fourth pixel opaque and every fourth clear, so that both ends of the alpha
// range meet every filter as well as the values between.
RawPicture NoisyAlphaPicture(int colourType, int depth, uint32_t seed) {
    RawPicture p = NoisyPicture(colourType, depth, seed);
    const size_t sample = static_cast<size_t>(depth) / 8;
    const size_t pixel = sample * ChannelsOf(colourType);
    if (colourType == 4 || colourType == 6)
        for (size_t at = 0; at < p.data.size(); at += pixel) {
            unsigned char& alpha = p.data[at + pixel - sample];  // its high byte
            const size_t x = at / pixel;
            if (x % 4 == 0) alpha = 255;
            if (x % 4 == 1) alpha = 0;
        }
    return p;
}

// Bytes of few values, so that the Paeth predictor often meets ties between its neighbours.
RawPicture FlatPicture(int colourType, int depth, uint32_t seed) {
    RawPicture p = NoisyPicture(colourType, depth, seed);
    for (unsigned char& b : p.data) b &= 0x81;
    return p;
}

const PngOptions LibpngFilters = {{0, 1, 2, 3, 4}};

TEST_F(PictureTest, AlphaAndSixteenBitFormsDecodeAsLibpngReadsThem) {
    const int forms[][2] = {{4, 8}, {4, 16}, {6, 8}, {6, 16}, {2, 16}, {0, 16}};
    for (const auto& form : forms) {
        for (bool flat : {false, true}) {
            SCOPED_TRACE("colour type " + std::to_string(form[0]) + " depth " +
                         std::to_string(form[1]) + (flat ? " flat" : " noisy"));
            const auto seed = static_cast<uint32_t>(form[0] * 100 + form[1]);
            const RawPicture p = flat ? FlatPicture(form[0], form[1], seed)
                                      : NoisyAlphaPicture(form[0], form[1], seed);
            for (int filter : {0, 1, 2, 3, 4}) {
                SCOPED_TRACE("filter " + std::to_string(filter));
                PngOptions o;
                o.filters = {filter};
                const Bytes file = EncodePng(p, o);
                char why[80] = "unchanged";
                ASSERT_EQ(LoadPicture(s, Save(file).c_str(), 0, 0, why, sizeof why),
                          umb::base::ReadResult::Ok);
                EXPECT_STREQ(why, "");
                EXPECT_EQ(ShownRows(ReferenceImage(file, p, background)), PictureHeight);
            }
        }
    }
}

TEST_F(PictureTest, AlphaIsLaidOverTheGamesBackgroundColourRoundedToTheNearest) {
    // Pixel x of the first row: (200, 100, 50) with alpha x, and grey 90 with alpha x.
    std::vector<int> alphas;
    for (int a = 0; a < 256; ++a) alphas.push_back(a);
    RawPicture rgba = NoisyPicture(6, 8, 7);
    RawPicture greyAlpha = NoisyPicture(4, 8, 7);
    for (size_t i = 0; i < alphas.size(); ++i) {
        const unsigned char pixel[4] = {200, 100, 50, static_cast<unsigned char>(alphas[i])};
        std::memcpy(&rgba.data[4 * i], pixel, 4);
        greyAlpha.data[2 * i] = 90;
        greyAlpha.data[2 * i + 1] = static_cast<unsigned char>(alphas[i]);
    }
    // Colour 1 is (32, 32, 136); colour 12 is (208, 64, 64).
    for (int colour : {1, 12, 0}) {
        SCOPED_TRACE("background colour " + std::to_string(colour));
        db.BgColor = static_cast<int16_t>(colour);
        UseGameColours();
        ASSERT_EQ(Load(EncodePng(rgba)), 0);
        int bg[3];
        GfxRgbOfColour(s.BackgroundColour, &bg[0], &bg[1], &bg[2]);
        for (size_t i = 0; i < alphas.size(); ++i) {
            const int a = alphas[i];
            EXPECT_EQ(
                GfxReadPixel(static_cast<int>(i), 0),
                GfxColourFromRgb(Over(200, a, bg[0]), Over(100, a, bg[1]), Over(50, a, bg[2])))
                << "alpha " << a;
        }
        if (colour == 1) {
            // Worked by hand: red (200 * 128 + 32 * 127 + 127) / 255 = 29791 / 255 = 116.
            EXPECT_EQ(GfxReadPixel(128, 0), GfxColourFromRgb(116, 66, 93));
            EXPECT_EQ(GfxReadPixel(0, 0), GfxColourFromRgb(32, 32, 136));
            EXPECT_EQ(GfxReadPixel(255, 0), GfxColourFromRgb(200, 100, 50));
        }
        ASSERT_EQ(Load(EncodePng(greyAlpha)), 0);
        for (size_t i = 0; i < alphas.size(); ++i) {
            const int a = alphas[i];
            EXPECT_EQ(GfxReadPixel(static_cast<int>(i), 0),
                      GfxColourFromRgb(Over(90, a, bg[0]), Over(90, a, bg[1]), Over(90, a, bg[2])))
                << "alpha " << a;
        }
    }
}

TEST_F(PictureTest, InterlacedPicturesOfEveryFormDecodeAsLibpngReadsThem) {
    // Sub-byte depths give passes whose rows end inside a byte.
    const int forms[][2] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                            {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    for (const auto& form : forms) {
        SCOPED_TRACE("colour type " + std::to_string(form[0]) + " depth " +
                     std::to_string(form[1]));
        const RawPicture p =
            NoisyAlphaPicture(form[0], form[1], 53u + static_cast<uint32_t>(form[1]));
        PngOptions o = LibpngFilters;
        o.interlaced = true;
        o.idatSize = 3001;
        o.scramble = form[0] == 3;
        const Bytes file = EncodePng(p, o);
        char why[80] = "unchanged";
        ASSERT_EQ(LoadPicture(s, Save(file).c_str(), 0, 0, why, sizeof why),
                  umb::base::ReadResult::Ok);
        EXPECT_STREQ(why, "");
        o.scramble = false;
        EXPECT_EQ(ShownRows(ReferenceImage(EncodePng(p, o), p, background)), PictureHeight);
    }
}

TEST_F(PictureTest, TruncatedInterlacedPicturesShowTheirFinishedRows) {
    // Stopped right after a pass: exactly the pixels of the passes before show.
    const RawPicture p = NoisyPicture(3, 2, 59);
    std::vector<size_t> passEnds;
    const Bytes rows = InterlacedRows(p, {0, 1, 2, 3, 4}, &passEnds);
    passEnds.pop_back();
    const std::vector<Bytes> parts = DeflateParts(rows, passEnds);
    const std::vector<GfxColour> expected = ExpectedImage(p);
    Png png;
    png.Chunk("IHDR", Header(3, 2, PictureWidth, PictureHeight, 0, 0, 1));
    png.Chunk("PLTE", p.palette);
    for (size_t pass = 0; pass < parts.size(); ++pass) {
        SCOPED_TRACE("passes " + std::to_string(pass + 1));
        png.Chunk("IDAT", parts[pass]);
        char why[80];
        ASSERT_EQ(LoadPicture(s, Save(png.bytes).c_str(), 0, 0, why, sizeof why),
                  umb::base::ReadResult::Ok);
        EXPECT_STREQ(why, pass + 1 < parts.size() ? "truncated" : "");
        GfxSelectSurface(nullptr);
        int wrong = 0;
        for (int y = 0; y < PictureHeight; ++y)
            for (int x = 0; x < PictureWidth; ++x) {
                bool decoded = false;
                for (size_t k = 0; k <= pass; ++k)
                    decoded =
                        decoded || ((x - Adam7[k][0]) % Adam7[k][2] == 0 && x >= Adam7[k][0] &&
                                    (y - Adam7[k][1]) % Adam7[k][3] == 0 && y >= Adam7[k][1]);
                const GfxColour want =
                    decoded
                        ? expected[static_cast<size_t>(y) * PictureWidth + static_cast<size_t>(x)]
                        : 0;
                wrong += GfxReadPixel(x, y) != want;
            }
        EXPECT_EQ(wrong, 0);
    }

    // Cut anywhere, a file shows only right pixels or black, more of them the longer it is.
    RawPicture regular = p;
    for (size_t i = 0; i < regular.data.size(); ++i)
        regular.data[i] = static_cast<unsigned char>(i / 7 % 5 * 0x1B);
    PngOptions o = LibpngFilters;
    o.interlaced = true;
    o.idatSize = 200;
    const Bytes whole = EncodePng(regular, o);
    ASSERT_LT(whole.size(), 3000u);
    const std::vector<GfxColour> full = ExpectedImage(regular);
    int before = 0;
    for (size_t cut = 8 + 25; cut <= whole.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        ASSERT_EQ(Load(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut))), 0);
        GfxSelectSurface(nullptr);
        int right = 0;
        int wrong = 0;
        for (int y = 0; y < PictureHeight; ++y)
            for (int x = 0; x < PictureWidth; ++x) {
                const GfxColour shown = GfxReadPixel(x, y);
                const GfxColour want =
                    full[static_cast<size_t>(y) * PictureWidth + static_cast<size_t>(x)];
                right += shown == want && shown != 0;
                wrong += shown != want && shown != 0;
            }
        ASSERT_EQ(wrong, 0);
        ASSERT_GE(right, before);
        before = right;
    }
    EXPECT_EQ(ShownRows(full), PictureHeight);
}

TEST_F(PictureTest, APictureShownInPartNamesWhyItStopped) {
    const RawPicture p = NoisyPicture(2, 8, 61);
    const Bytes stream = DeflateParts(FilterRows(p, {1}))[0];
    const std::vector<Bytes> parts = DeflateParts(FilterRows(p, {1}), {50 * (p.rowLength + 1)});
    auto reason = [&](const Bytes& file) {
        char why[80] = "unchanged";
        EXPECT_EQ(LoadPicture(s, Save(file).c_str(), 0, 0, why, sizeof why),
                  umb::base::ReadResult::Ok);
        return std::string(why);
    };
    const Bytes whole = EncodePng(p);
    EXPECT_EQ(reason(whole), "");
    // Every row arrived before the file ended: nothing to tell.
    EXPECT_EQ(reason(Bytes(whole.begin(), whole.end() - 12)), "");
    EXPECT_EQ(reason(Bytes(whole.begin(), whole.begin() + 2000)), "truncated");

    Png damaged;
    damaged.Chunk("IHDR", Header(2, 8));
    Bytes broken = stream;
    broken[0] = 0;
    damaged.Chunk("IDAT", broken);
    damaged.Chunk("IEND", {});
    EXPECT_EQ(reason(damaged.bytes), "damaged image data");

    Png marker;
    marker.Chunk("IHDR", Header(2, 8));
    marker.Chunk("IDAT", parts[0]);
    marker.Chunk("SrMB", Marker);
    marker.Chunk("IDAT", parts[1]);
    marker.Chunk("IEND", {});
    EXPECT_EQ(reason(marker.bytes), "bad marker chunk");

    // A stream that ends before its rows, and none at all.
    for (const bool withData : {true, false}) {
        Png early;
        early.Chunk("IHDR", Header(2, 8));
        if (withData) early.Chunk("IDAT", DeflateParts({})[0]);
        early.Chunk("IEND", {});
        EXPECT_EQ(reason(early.bytes), withData ? "image data ends early" : "no image data");
    }

    // A palette picture with a transparency chunk shows its palette opaque.
    const RawPicture indexed = NoisyPicture(3, 8, 67);
    Png trns;
    trns.Chunk("IHDR", Header(3, 8));
    trns.Chunk("PLTE", indexed.palette);
    trns.Chunk("tRNS", Bytes(200, 0));
    trns.Chunk("IDAT", DeflateParts(FilterRows(indexed, {4}))[0]);
    trns.Chunk("IEND", {});
    EXPECT_EQ(reason(trns.bytes), "");
    EXPECT_EQ(ShownRows(indexed), PictureHeight);
}

}  // namespace
