// picture.cpp - location pictures: a small PNG reader (chunks, row filters) drawn into the picture
// area.
// Its own reader, not a PNG library: it descrambles marked pictures and shows a cut file in part.
#include "ui/window/picture.h"

#include "base/fileio.h"
#include "ui/window/screen.h"

#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

using namespace umb::base;
using namespace umb::gfx;

namespace umb::ui {

namespace {

constexpr size_t InputBlockSize = 32768;
constexpr size_t RowBufferSize = 1 + PictureWidth * 8;  // filter byte + the widest row (RGBA 16)
// Pictures are small; the cap only keeps a stray huge file from exhausting memory.
constexpr size_t MaxPictureFileSize = 64u << 20;
constexpr uint32_t ChunkLengthLimit = 0x80000000u;

const unsigned char PngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

// Colour types.
constexpr uint8_t Grey = 0;
constexpr uint8_t Rgb = 2;
constexpr uint8_t Indexed = 3;
constexpr uint8_t GreyAlpha = 4;
constexpr uint8_t Rgba = 6;

struct PictureHeader {
    uint32_t width;
    uint32_t height;
    uint8_t bitDepth;
    uint8_t colourType;
    uint8_t compression;
    uint8_t filterMethod;
    uint8_t interlace;
};

// Where the pixels of one pass lie: the first at x, y, then every dx-th column of every dy-th
// row. A picture that is not interlaced is one pass over every pixel.
struct Pass {
    uint32_t x, y, dx, dy;
};
constexpr Pass WholePicture = {0, 0, 1, 1};
constexpr Pass Adam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// Turns n pixels of a row into colours; the int array is the background's red, green, blue.
using SampleExpander = void (*)(const unsigned char*, size_t, const int*, GfxColour*);

// The file, read whole, and the read position of the chunk reader.
struct PictureFile {
    unsigned char* data;
    size_t size;
    size_t pos;
    bool ended;  // a read asked for more than the file held
};

// Everything one LoadPicture decodes with; allocated for that one call.
struct PictureDecoder {
    PictureFile file;
    PictureHeader header;
    bool haveHeader;
    bool imageStarted;  // an image data chunk was seen: a marker chunk is too late after it
    int scrambleState;  // 0 no marker, 1 valid marker (data scrambled), -1 bad marker
    unsigned char key[4];
    GfxColour colours[256];
    int background[3];  // red, green, blue that transparent pixels are laid over
    // The layer's colour value is red | green << 8 | blue << 16, so RGB rows need no calls.
    bool plainRgb;
    unsigned char rowA[RowBufferSize];
    unsigned char rowB[RowBufferSize];
    unsigned char* row;       // where inflate delivers the next filter byte and row
    unsigned char* previous;  // the row decoded before, with its filter byte
    size_t rowLength;         // data bytes of a row of this pass, without the filter byte
    size_t step;              // bytes of one complete pixel, for the filters
    size_t pixels;            // pixels a row of this pass draws, at most its width
    int pass;                 // the pass under way; passCount once every pass is done
    int passCount;            // 7 for an interlaced picture, else 1
    uint32_t passRows;        // rows of the pass under way
    uint32_t rowCounter;      // rows of the pass under way decoded so far
    GfxColour* canvas;        // interlaced pictures gather their passes here before drawing
    SampleExpander expand;    // forms with 16-bit samples or alpha; nullptr for the others
    z_stream stream;
    bool streamStarted;
    bool streamEnded;  // inflate saw the end of the zlib stream; later image data is ignored
    bool failed;       // inflate reported an error or stopped making progress
    int x0, y0;
};

// Writes a reason into why (when given) with printf-style arguments.
template <typename... Args> void Explain(char* why, size_t size, const char* format, Args... args) {
    if (why != nullptr && size > 0) std::snprintf(why, size, format, args...);
}

// Reads a big-endian 32-bit number.
uint32_t BigEndian32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

// True when the 4 type bytes spell name, letters compared ignoring case.
bool IsChunkType(const unsigned char* type, const char* name) {
    for (int i = 0; i < 4; ++i) {
        unsigned char a = type[i];
        auto b = static_cast<unsigned char>(name[i]);
        if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 32);
        if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 32);
        if (a != b) return false;
    }
    return true;
}

// Reads the whole file into data; 0 done, -1 cannot open or larger than the cap, with the reason
// in why. A read error ends the data early, which the decoder then treats as truncation.
base::ReadResult ReadPictureFile(const char* path, std::string& data, char* why, size_t whySize) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        Explain(why, whySize, "%s", errno == ENOENT ? "file not found" : "cannot open the file");
        return ReadResult::CannotOpen;
    }
    const int read = static_cast<int>(ReadWholeFile(f, data, MaxPictureFileSize));
    std::fclose(f);
    if (read == -3) {
        Explain(why, whySize, "%s", "file too large");
        return ReadResult::CannotOpen;
    }
    return ReadResult::Ok;
}

// Walks the chunk list up to "IEND" or the end of the file; false when a chunk claims a length
// of 2^31 or more, which no sound file has, so that such a file is refused before decoding.
bool ChunkLengthsSound(const unsigned char* data, size_t size) {
    size_t pos = sizeof PngSignature;
    while (size - pos >= 8) {
        const uint32_t length = BigEndian32(data + pos);
        if (length >= ChunkLengthLimit) return false;
        if (IsChunkType(data + pos + 4, "IEND")) return true;
        if (size - pos - 8 < static_cast<size_t>(length) + 4) return true;  // truncated here
        pos += 12 + static_cast<size_t>(length);
    }
    return true;
}

// Hands out the next n bytes of the file, or what is left of them; returns how many it gave.
size_t TakeBytes(PictureFile& f, size_t n, unsigned char** p) {
    const size_t left = f.size - f.pos;
    if (n > left) {
        n = left;
        f.ended = true;
    }
    *p = f.data + f.pos;
    f.pos += n;
    return n;
}

const char* ColourTypeName(uint8_t colourType) {
    switch (colourType) {
    case Grey: return "grey";
    case Rgb: return "RGB";
    case Indexed: return "palette";
    case GreyAlpha: return "grey and alpha";
    default: return "RGBA";
    }
}

// The header rules of the accepted PNG subset: grey, RGB and palette of 1 to 8 bits, grey, RGB,
// grey with alpha and RGBA of 16 bits, and grey with alpha and RGBA of 8 bits; interlaced or
// not. Depth 0 is refused as well: it has no pixels. Returns false with the reason in why.
bool HeaderAcceptable(const PictureHeader& h, char* why, size_t whySize) {
    if (h.width != PictureWidth || h.height != PictureHeight) {
        Explain(why, whySize, "not %d x %d but %lu x %lu", PictureWidth, PictureHeight,
                static_cast<unsigned long>(h.width), static_cast<unsigned long>(h.height));
        return false;
    }
    const uint8_t t = h.colourType;
    if (t != Grey && t != Rgb && t != Indexed && t != GreyAlpha && t != Rgba) {
        Explain(why, whySize, "unsupported colour type %d", t);
        return false;
    }
    const bool upTo8 = h.bitDepth >= 1 && h.bitDepth <= 8;
    const bool depthFits = t == Indexed                  ? upTo8
                           : t == GreyAlpha || t == Rgba ? h.bitDepth == 8 || h.bitDepth == 16
                                                         : upTo8 || h.bitDepth == 16;
    if (!depthFits) {
        Explain(why, whySize, "unsupported bit depth %d for %s", h.bitDepth, ColourTypeName(t));
        return false;
    }
    if (h.compression != 0) {
        Explain(why, whySize, "unsupported compression method %d", h.compression);
        return false;
    }
    if (h.filterMethod != 0) {
        Explain(why, whySize, "unsupported filter method %d", h.filterMethod);
        return false;
    }
    if (h.interlace > 1) {
        Explain(why, whySize, "unsupported interlace method %d", h.interlace);
        return false;
    }
    return true;
}

// Samples per pixel of a colour type.
constexpr size_t ChannelsOf(uint8_t colourType) {
    switch (colourType) {
    case Rgb: return 3;
    case GreyAlpha: return 2;
    case Rgba: return 4;
    default: return 1;
    }
}

// Data bytes of a row of width pixels. RGB of up to 8 bits is read as byte triples, whatever the
// depth; every other form packs depth x samples bits a pixel.
size_t RowLengthOf(const PictureHeader& h, uint32_t width) {
    if (h.colourType == Rgb && h.bitDepth <= 8) return (size_t{h.bitDepth} * width + 7) / 8 * 3;
    return (size_t{h.bitDepth} * ChannelsOf(h.colourType) * width + 7) / 8;
}

// Pixels a row of width pixels and rowLength bytes draws: at most width, and for RGB of up to
// 8 bits one a byte triple, for the other depths below 8 bits 8 / depth a byte.
size_t PixelsOf(const PictureHeader& h, size_t rowLength, uint32_t width) {
    size_t n;
    if (h.colourType == Rgb && h.bitDepth <= 8)
        n = rowLength / 3;
    else if (h.bitDepth < 8)
        n = rowLength * (8u / h.bitDepth);
    else
        n = width;
    return n < width ? n : width;
}

// PNG's predictor: whichever of left, up and upper-left is nearest to left + up - upper-left.
inline int PaethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Adds the prediction to every byte of the row, for i = 1 .. length. The bytes of the pixel to
// the left are carried in variables, as reloading a byte just stored stalls on every pixel; the
// first pixel has none to its left, which counts as 0. With Emit (RGB rows), each complete
// pixel's colour value red | green << 8 | blue << 16 also goes to line: that work fills the wait
// for the next pixel's bytes.
template <size_t Step, bool Emit, typename Predict>
void UndoPrediction(unsigned char* r, const unsigned char* prev, size_t length, GfxColour* line,
                    Predict predict) {
    static_assert(Step >= 1 && Step <= 8);
    static_assert(!Emit || Step == 3);
    auto one = [&](size_t at, int& left, int& upLeft) {
        const int up = prev[at];
        left = (r[at] + predict(left, up, upLeft)) & 255;
        r[at] = static_cast<unsigned char>(left);
        upLeft = up;
    };
    int a0 = 0, a1 = 0, a2 = 0;
    int c0 = 0, c1 = 0, c2 = 0;
    size_t i = 1;
    if constexpr (Step == 3) {
        for (; i + 2 <= length; i += 3) {
            one(i, a0, c0);
            one(i + 1, a1, c1);
            one(i + 2, a2, c2);
            if constexpr (Emit) line[i / 3] = static_cast<GfxColour>(a0 | a1 << 8 | a2 << 16);
        }
    } else if constexpr (Step == 1) {
        for (; i <= length; ++i) one(i, a0, c0);
    } else {
        int a[Step] = {};
        int c[Step] = {};
        for (; i + Step - 1 <= length; i += Step)
            for (size_t k = 0; k < Step; ++k) one(i + k, a[k], c[k]);
    }
    // The rest of a row that would end inside a pixel; no accepted form does.
    for (; i <= length; ++i) {
        a0 = i > Step ? r[i - Step] : 0;
        c0 = i > Step ? prev[i - Step] : 0;
        one(i, a0, c0);
    }
}

// Undoes the row's filter in place against the previous row; unknown filters leave it as it is.
// Step is the bytes of one complete pixel. Returns true when line was filled as well (Emit).
template <size_t Step, bool Emit>
bool UnfilterRow(unsigned char* r, const unsigned char* prev, size_t length, GfxColour* line) {
    switch (r[0]) {
    case 1:
        UndoPrediction<Step, Emit>(r, prev, length, line, [](int a, int, int) { return a; });
        return Emit;
    case 2:
        for (size_t i = 1; i <= length; ++i) r[i] = static_cast<unsigned char>(r[i] + prev[i]);
        return false;
    case 3:
        UndoPrediction<Step, Emit>(r, prev, length, line,
                                   [](int a, int b, int) { return (a + b) / 2; });
        return Emit;
    case 4:
        UndoPrediction<Step, Emit>(r, prev, length, line,
                                   [](int a, int b, int c) { return PaethPredictor(a, b, c); });
        return Emit;
    default: return false;
    }
}

#if defined(__SSE2__)
// Pixels of four bytes (RGBA of 8 bits, grey and alpha of 16) unfiltered a pixel at a time with
// the four bytes side by side in one register, as 16-bit lanes where sums need 9 bits. Returns
// false for a filter it leaves to UnfilterRow.
bool UnfilterRowFour(unsigned char* r, const unsigned char* prev, size_t length) {
    const int filter = r[0];
    if ((filter != 1 && filter != 3 && filter != 4) || length % 4 != 0) return false;
    const auto load = [](const unsigned char* p) {
        int32_t v;
        std::memcpy(&v, p, sizeof v);
        return _mm_cvtsi32_si128(v);
    };
    const auto store = [](unsigned char* p, __m128i v) {
        const int32_t x = _mm_cvtsi128_si32(v);
        std::memcpy(p, &x, sizeof x);
    };
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero;  // the pixel to the left, 0 for the first
    unsigned char* end = r + 1 + length;
    if (filter == 1) {
        for (unsigned char* p = r + 1; p < end; p += 4) {
            a = _mm_add_epi8(a, load(p));
            store(p, a);
        }
    } else if (filter == 3) {
        const __m128i one = _mm_set1_epi8(1);
        for (unsigned char* p = r + 1; p < end; p += 4, prev += 4) {
            const __m128i b = load(prev + 1);
            // The rounded-up average less the bit it rounded: (a + b) / 2.
            const __m128i average =
                _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
            a = _mm_add_epi8(average, load(p));
            store(p, a);
        }
    } else {
        __m128i c = zero;  // the pixel up and to the left, 16-bit lanes
        for (unsigned char* p = r + 1; p < end; p += 4, prev += 4) {
            const __m128i b = _mm_unpacklo_epi8(load(prev + 1), zero);
            // p - a = b - c, p - b = a - c, p - c = both together.
            __m128i pa = _mm_sub_epi16(b, c);
            __m128i pb = _mm_sub_epi16(a, c);
            __m128i pc = _mm_add_epi16(pa, pb);
            pa = _mm_max_epi16(pa, _mm_sub_epi16(zero, pa));
            pb = _mm_max_epi16(pb, _mm_sub_epi16(zero, pb));
            pc = _mm_max_epi16(pc, _mm_sub_epi16(zero, pc));
            const __m128i least = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
            const __m128i useA = _mm_cmpeq_epi16(pa, least);
            const __m128i useB = _mm_cmpeq_epi16(pb, least);
            const __m128i bOrC = _mm_or_si128(_mm_and_si128(useB, b), _mm_andnot_si128(useB, c));
            const __m128i nearest =
                _mm_or_si128(_mm_and_si128(useA, a), _mm_andnot_si128(useA, bOrC));
            const __m128i bytes = _mm_add_epi8(_mm_packus_epi16(nearest, nearest), load(p));
            store(p, bytes);
            a = _mm_unpacklo_epi8(bytes, zero);
            c = b;
        }
    }
    return true;
}
#endif

// Turns n pixels of Depth bits, packed from the most significant bits of each byte, into their
// table colours. A value never exceeds 255, so it always indexes the table.
template <int Depth>
void ExpandIndexes(const unsigned char* b, size_t n, const GfxColour* colours, GfxColour* line) {
    constexpr size_t perByte = 8 / Depth;
    constexpr unsigned mask = (1u << Depth) - 1u;
    for (size_t x = 0; x < n; ++x) {
        const unsigned shift = 8 - Depth * static_cast<unsigned>(x % perByte + 1);
        line[x] = colours[(static_cast<unsigned>(b[x / perByte]) >> shift) & mask];
    }
}

// True when the layer's colour value is red | green << 8 | blue << 16 and the machine is
// little-endian, so that three bytes in file order load as one.
bool ColoursArePlainRgb() {
    if constexpr (std::endian::native != std::endian::little) return false;
    for (int bit = 0; bit < 8; ++bit) {
        const int v = 1 << bit;
        if (GfxColourFromRgb(v, 0, 0) != static_cast<GfxColour>(v) ||
            GfxColourFromRgb(0, v, 0) != static_cast<GfxColour>(v) << 8 ||
            GfxColourFromRgb(0, 0, v) != static_cast<GfxColour>(v) << 16)
            return false;
    }
    return GfxColourFromRgb(0x12, 0x34, 0x56) == 0x563412u;
}

// A sample with coverage alpha laid over the background's sample bg, rounded to the nearest:
// (c x alpha + bg x (255 - alpha) + 127) / 255. Alpha 255 gives c, alpha 0 gives bg.
inline int Over(int c, int alpha, int bg) { return (c * alpha + bg * (255 - alpha) + 127) / 255; }

template <bool Plain> inline GfxColour Pack(int red, int green, int blue) {
    if constexpr (Plain)
        return static_cast<GfxColour>(red | green << 8 | blue << 16);
    else
        return GfxColourFromRgb(red, green, blue);
}

// Turns n pixels of whole-byte samples into colours: 16-bit samples (Bytes 2) by their high
// byte, grey with all 256 levels, and samples with alpha laid over the background bg.
template <uint8_t ColourType, size_t Bytes, bool Plain>
void ExpandSamples(const unsigned char* b, size_t n, const int* bg, GfxColour* line) {
    constexpr size_t stride = ChannelsOf(ColourType) * Bytes;
    for (size_t x = 0; x < n; ++x, b += stride) {
        if constexpr (ColourType == Grey) {
            line[x] = Pack<Plain>(b[0], b[0], b[0]);
        } else if constexpr (ColourType == Rgb) {
            line[x] = Pack<Plain>(b[0], b[Bytes], b[2 * Bytes]);
        } else if constexpr (ColourType == GreyAlpha) {
            const int alpha = b[Bytes];
            line[x] = Pack<Plain>(Over(b[0], alpha, bg[0]), Over(b[0], alpha, bg[1]),
                                  Over(b[0], alpha, bg[2]));
        } else {
            // Most pixels of a cut-out are wholly opaque or wholly clear.
            const int alpha = b[3 * Bytes];
            if (alpha == 255)
                line[x] = Pack<Plain>(b[0], b[Bytes], b[2 * Bytes]);
            else if (alpha == 0)
                line[x] = Pack<Plain>(bg[0], bg[1], bg[2]);
            else
                line[x] = Pack<Plain>(Over(b[0], alpha, bg[0]), Over(b[Bytes], alpha, bg[1]),
                                      Over(b[2 * Bytes], alpha, bg[2]));
        }
    }
}

template <uint8_t ColourType, size_t Bytes> SampleExpander ExpanderFor(bool plain) {
    return plain ? ExpandSamples<ColourType, Bytes, true> : ExpandSamples<ColourType, Bytes, false>;
}

// The expander of the forms with 16-bit samples or alpha; nullptr for the others, which rows
// handle by table or as byte triples.
SampleExpander ChooseExpander(const PictureHeader& h, bool plain) {
    if (h.bitDepth == 16) {
        switch (h.colourType) {
        case Grey: return ExpanderFor<Grey, 2>(plain);
        case Rgb: return ExpanderFor<Rgb, 2>(plain);
        case GreyAlpha: return ExpanderFor<GreyAlpha, 2>(plain);
        case Rgba: return ExpanderFor<Rgba, 2>(plain);
        default: return nullptr;
        }
    }
    if (h.colourType == GreyAlpha) return ExpanderFor<GreyAlpha, 1>(plain);
    if (h.colourType == Rgba) return ExpanderFor<Rgba, 1>(plain);
    return nullptr;
}

// Sets up the pass under way (d.pass), or the next one that has pixels, with a previous row of
// zeros: each pass is filtered on its own.
void StartPass(PictureDecoder& d) {
    for (; d.pass < d.passCount; ++d.pass) {
        const Pass& p = d.passCount == 1 ? WholePicture : Adam7[d.pass];
        const uint32_t width = (d.header.width - p.x + p.dx - 1) / p.dx;
        d.passRows = (d.header.height - p.y + p.dy - 1) / p.dy;
        if (width == 0 || d.passRows == 0) continue;
        d.rowLength = RowLengthOf(d.header, width);
        d.pixels = PixelsOf(d.header, d.rowLength, width);
        d.rowCounter = 0;
        std::memset(d.previous, 0, d.rowLength + 1);
        return;
    }
}

// Unfilters the row inflate just delivered and draws it (an interlaced picture's on its canvas);
// rows after the last pass are dropped.
// Undoes the row's filter in place; returns true when the filter also wrote the row's colours
// into line (plain RGB rows).
bool UnfilterCurrentRow(PictureDecoder& d, GfxColour* line) {
    switch (d.step) {
    case 1: UnfilterRow<1, false>(d.row, d.previous, d.rowLength, line); return false;
    case 2: UnfilterRow<2, false>(d.row, d.previous, d.rowLength, line); return false;
    case 3:
        if (d.plainRgb) return UnfilterRow<3, true>(d.row, d.previous, d.rowLength, line);
        UnfilterRow<3, false>(d.row, d.previous, d.rowLength, line);
        return false;
    case 4:
#if defined(__SSE2__)
        if (UnfilterRowFour(d.row, d.previous, d.rowLength)) return false;
#endif
        UnfilterRow<4, false>(d.row, d.previous, d.rowLength, line);
        return false;
    case 6: UnfilterRow<6, false>(d.row, d.previous, d.rowLength, line); return false;
    default: UnfilterRow<8, false>(d.row, d.previous, d.rowLength, line); return false;
    }
}

// The colours of an unfiltered RGB row that the filter did not write.
void RgbRowColours(const PictureDecoder& d, const unsigned char* b, size_t n, GfxColour* line) {
    if (d.plainRgb && n > 0) {
        // A little-endian load of 4 bytes is the pixel and the next pixel's red, dropped by the
        // mask; the last pixel is read byte by byte to stay inside the row.
        for (size_t x = 0; x + 1 < n; ++x) {
            uint32_t four;
            std::memcpy(&four, b + 3 * x, sizeof four);
            line[x] = four & 0xFFFFFFu;
        }
        const unsigned char* last = b + 3 * (n - 1);
        line[n - 1] = static_cast<GfxColour>(last[0]) | static_cast<GfxColour>(last[1]) << 8 |
                      static_cast<GfxColour>(last[2]) << 16;
        return;
    }
    for (size_t x = 0; x < n; ++x) line[x] = GfxColourFromRgb(b[3 * x], b[3 * x + 1], b[3 * x + 2]);
}

// Turns the unfiltered row's bytes into colours.
void RowColours(const PictureDecoder& d, bool filled, GfxColour* line) {
    const unsigned char* b = d.row + 1;
    const size_t n = d.pixels;
    if (d.expand != nullptr) {
        d.expand(b, n, d.background, line);
    } else if (d.header.colourType == Rgb) {
        if (!filled) RgbRowColours(d, b, n, line);  // else the filter already wrote them
    } else if (d.header.colourType == Grey && d.header.bitDepth == 8) {
        // 8-bit grey has 128 levels: the lowest bit is dropped.
        for (size_t x = 0; x < n; ++x) line[x] = d.colours[b[x] >> 1];
    } else {
        // Grey and palette; the header rules keep their depth at 1 to 8.
        static constexpr void (*expand[9])(const unsigned char*, size_t, const GfxColour*,
                                           GfxColour*) = {
            nullptr,          ExpandIndexes<1>, ExpandIndexes<2>,
            ExpandIndexes<3>, ExpandIndexes<4>, ExpandIndexes<5>,
            ExpandIndexes<6>, ExpandIndexes<7>, ExpandIndexes<8>};
        expand[d.header.bitDepth](b, n, d.colours, line);
    }
}

void DecodeRow(PictureDecoder& d) {
    if (d.pass >= d.passCount) return;
    GfxColour line[PictureWidth];
    RowColours(d, UnfilterCurrentRow(d, line), line);
    const size_t n = d.pixels;
    if (d.canvas == nullptr) {
        GfxPlotRow(d.x0, d.y0 + static_cast<int>(d.rowCounter), line, static_cast<int>(n));
    } else {
        // The pass geometry keeps every pixel inside the canvas.
        const Pass& p = Adam7[d.pass];
        GfxColour* out = d.canvas + (p.y + d.rowCounter * p.dy) * PictureWidth + p.x;
        for (size_t i = 0; i < n; ++i) out[i * p.dx] = line[i];
    }

    ++d.rowCounter;
    std::swap(d.row, d.previous);
    if (d.rowCounter >= d.passRows) {
        ++d.pass;
        StartPass(d);
    }
}

// Feeds one image data chunk, in blocks of InputBlockSize, to inflate and decodes every row
// that completes. Sets d.failed when inflate reports an error or stops making progress.
void DecodeImageData(PictureDecoder& d, unsigned char* data, size_t length) {
    d.imageStarted = true;
    for (size_t done = 0; done < length && !d.streamEnded && !d.failed;) {
        const size_t n = length - done < InputBlockSize ? length - done : InputBlockSize;
        unsigned char* block = data + done;
        if (d.scrambleState != 0) {
            // Blocks start at multiples of 4, so the key index is the offset in the chunk.
            for (size_t k = 0; k < n; ++k) block[k] ^= d.key[(done + k) & 3];
        }
        if (!d.streamStarted) {
            if (inflateInit(&d.stream) != Z_OK) {
                d.failed = true;
                return;
            }
            d.streamStarted = true;
            d.stream.next_out = d.row;
            d.stream.avail_out = static_cast<uInt>(d.rowLength + 1);
        }
        d.stream.next_in = block;
        d.stream.avail_in = static_cast<uInt>(n);
        while (d.stream.avail_in > 0) {
            const uInt inBefore = d.stream.avail_in;
            const uInt outBefore = d.stream.avail_out;
            const int result = inflate(&d.stream, Z_SYNC_FLUSH);
            const bool progress = d.stream.avail_in != inBefore || d.stream.avail_out != outBefore;
            if (d.stream.avail_out == 0) {
                DecodeRow(d);
                d.stream.next_out = d.row;
                d.stream.avail_out = static_cast<uInt>(d.rowLength + 1);
            }
            if (result == Z_STREAM_END) {
                d.streamEnded = true;
                break;
            }
            // Calling again after an error or without progress would never end.
            if (result != Z_OK || !progress) {
                d.failed = true;
                return;
            }
        }
        done += n;
    }
}

// Reads one chunk and acts on it. Returns 1 after "IEND", 0 to go on, -1 at the end of the file,
// after a bad marker chunk or when the image data cannot be inflated.
int ReadChunk(PictureDecoder& d) {
    unsigned char* head;
    if (TakeBytes(d.file, 8, &head) < 8) return -1;
    const uint32_t length = BigEndian32(head);
    const unsigned char* type = head + 4;
    if (length >= ChunkLengthLimit) return -1;
    unsigned char* data;
    const size_t got = TakeBytes(d.file, length, &data);

    if (IsChunkType(type, "IHDR") && length == 13) {
        // Only the first header counts: a later one must not change rows under way.
        if (!d.haveHeader && got == 13) {
            d.header.width = BigEndian32(data);
            d.header.height = BigEndian32(data + 4);
            d.header.bitDepth = data[8];
            d.header.colourType = data[9];
            d.header.compression = data[10];
            d.header.filterMethod = data[11];
            d.header.interlace = data[12];
            d.haveHeader = true;
        }
    } else if (IsChunkType(type, "SrMB")) {
        // The marker announces scrambling of all image data, so it is bad after any of it.
        if (length != 4 || d.scrambleState != 0 || d.imageStarted)
            d.scrambleState = -1;
        else if (got == 4)
            d.scrambleState = std::memcmp(data, "umb?", 4) == 0 ? 1 : -1;
    } else if (IsChunkType(type, "PLTE")) {
        const size_t entries = got / 3 < 256 ? got / 3 : 256;
        for (size_t i = 0; i < entries; ++i)
            d.colours[i] = GfxColourFromRgb(data[3 * i], data[3 * i + 1], data[3 * i + 2]);
    } else if (IsChunkType(type, "IDAT")) {
        // Only after an accepted header, which fixes the row length.
        if (d.haveHeader && d.rowLength > 0) DecodeImageData(d, data, got);
    }

    unsigned char* crc;
    TakeBytes(d.file, 4, &crc);  // never verified
    if (d.file.ended || d.scrambleState == -1 || d.failed) return -1;
    return IsChunkType(type, "IEND") ? 1 : 0;
}

// Why decoding stopped before the last row, for a picture shown in part.
const char* WhyUnfinished(const PictureDecoder& d) {
    if (d.scrambleState == -1) return "bad marker chunk";
    if (d.failed) return "damaged image data";
    if (d.file.ended) return "truncated";
    if (!d.imageStarted) return "no image data";
    return "image data ends early";
}

}  // namespace

// Fills key with the 4 bytes that scrambled image data is combined with.
void PictureScrambleKey(unsigned char key[4]) {
    // Built from pairs of table entries rather than stored, so the key is no plain byte run.
    static const unsigned char parts[8] = {0x3c, 0xa7, 0x51, 0x9e, 0x2d, 0xf0, 0x64, 0x1b};
    for (int k = 0; k < 4; ++k)
        key[k] = static_cast<unsigned char>(parts[k] ^ parts[7 - k] ^ (0x35 * (k + 1)));
}

// Decodes the PNG at path and shows it at the top left of the screen. Returns a ReadResult:
// ReadResult::Ok shown (also when decoding stopped early), ReadResult::CannotOpen pictures off / no
// file / no memory, ReadResult::NotFormat not a PNG, ReadResult::BadContent header missing or
// outside the accepted subset. Unless the picture was shown whole, why (when given) receives the
// reason, such as "not a PNG file" or "truncated"; it is left empty with pictures off.
namespace {

// Reads the chunks up to the header and sets the decoder up for the image it announces.
// Returns ReadResult::Ok, or ReadResult::BadContent / ReadResult::CannotOpen with the reason in
// why.
base::ReadResult ReadHeader(PictureDecoder& d, char* why, size_t whySize) {
    if (ReadChunk(d) != 0 && d.file.ended) {
        Explain(why, whySize, "%s", "truncated");
        return ReadResult::BadContent;
    }
    if (!d.haveHeader) {
        Explain(why, whySize, "%s", "header missing");
        return ReadResult::BadContent;
    }
    if (!HeaderAcceptable(d.header, why, whySize)) return ReadResult::BadContent;
    const PictureHeader& h = d.header;
    d.step = h.colourType == Rgb && h.bitDepth <= 8
                 ? 3
                 : (h.bitDepth * ChannelsOf(h.colourType) + 7) / 8;
    d.passCount = h.interlace == 1 ? 7 : 1;
    StartPass(d);
    // Rows never hold more than PictureWidth pixels of at most 8 bytes.
    if (RowLengthOf(h, h.width) + 1 > RowBufferSize || d.pass != 0) {
        Explain(why, whySize, "%s", "unsupported row length");
        return ReadResult::BadContent;
    }
    if (d.passCount > 1) {
        d.canvas = new (std::nothrow) GfxColour[size_t{PictureWidth} * PictureHeight]{};
        if (d.canvas == nullptr) {
            Explain(why, whySize, "%s", "out of memory");
            return ReadResult::CannotOpen;
        }
    }
    return ReadResult::Ok;
}

// Decodes the image data into buffer, the surface selected, and copies it to the screen: what was
// decoded of a cut or damaged file shows, and why names what was missing.
void DecodeImage(WindowState& s, PictureDecoder& d, GfxSurface* buffer, char* why, size_t whySize) {
    MakeUiColours(s);
    d.plainRgb = ColoursArePlainRgb();
    d.expand = ChooseExpander(d.header, d.plainRgb);
    GfxRgbOfColour(s.BackgroundColour, &d.background[0], &d.background[1], &d.background[2]);
    if (d.header.colourType == Grey && d.header.bitDepth <= 8) {
        const int n = d.header.bitDepth < 7 ? 1 << d.header.bitDepth : 128;
        for (int i = 0; i < n; ++i) {
            const int g = i * 255 / (n - 1);
            d.colours[i] = GfxColourFromRgb(g, g, g);
        }
    }
    while (ReadChunk(d) == 0) {
    }
    if (d.canvas != nullptr) {
        for (int y = 0; y < PictureHeight; ++y)
            GfxPlotRow(d.x0, d.y0 + y, d.canvas + static_cast<size_t>(y) * PictureWidth,
                       PictureWidth);
    }
    if (d.pass < d.passCount) Explain(why, whySize, "%s", WhyUnfinished(d));
    GfxSelectSurface(nullptr);
    GfxCopyArea(nullptr, 0, 0, buffer, 0, 0, PictureWidth - 1, PictureHeight - 1);
}

}  // namespace

base::ReadResult LoadPicture(WindowState& s, const char* path, int x0, int y0, char* why,
                             size_t whySize) {
    Explain(why, whySize, "%s", "");
    if (s.PicturesEnabled == 0 || path == nullptr) return ReadResult::CannotOpen;
    std::string file;
    if (ReadPictureFile(path, file, why, whySize) != ReadResult::Ok) return ReadResult::CannotOpen;
    // The decoder descrambles image data where it lies.
    auto* data = reinterpret_cast<unsigned char*>(file.data());
    const size_t size = file.size();
    if (size < sizeof PngSignature || std::memcmp(data, PngSignature, sizeof PngSignature) != 0) {
        Explain(why, whySize, "%s", "not a PNG file");
        return ReadResult::NotFormat;
    }
    if (!ChunkLengthsSound(data, size)) {
        Explain(why, whySize, "%s", "bad chunk length");
        return ReadResult::BadContent;
    }
    GfxSurface* buffer = GfxCreateSurface(PictureWidth, PictureHeight);
    auto* d = new (std::nothrow) PictureDecoder{};
    if (buffer == nullptr || d == nullptr) {
        GfxDestroySurface(buffer);
        delete d;
        Explain(why, whySize, "%s", "out of memory");
        return ReadResult::CannotOpen;
    }
    GfxSelectSurface(buffer);  // born black: what a cut file leaves undecoded stays black
    d->file = {data, size, sizeof PngSignature, false};
    d->row = d->rowA;
    d->previous = d->rowB;
    d->x0 = x0;
    d->y0 = y0;
    PictureScrambleKey(d->key);

    const ReadResult result = ReadHeader(*d, why, whySize);
    if (result == ReadResult::Ok) DecodeImage(s, *d, buffer, why, whySize);
    GfxSelectSurface(nullptr);
    GfxDestroySurface(buffer);
    if (d->streamStarted) inflateEnd(&d->stream);
    delete[] d->canvas;
    delete d;
    return result;
}

base::ReadResult LoadNamedPicture(WindowState& s, const char* path, const char* name, char* failure,
                                  size_t failureSize) {
    char why[80];
    std::strcpy(why, "path longer than 127 characters");
    // A longer path is refused rather than cut, which could name another file.
    ReadResult result = ReadResult::CannotOpen;
    if (std::strlen(path) <= MaxPicturePath) result = LoadPicture(s, path, 0, 0, why, sizeof why);
    if (why[0] != '\0' && failureSize > 0)
        std::snprintf(failure, failureSize, "picture %s: %s", name != nullptr ? name : path, why);
    return result;
}

// Shows a picture unless it is the one asked for last: the key tells pictures apart, not the
// path, so that the same file asked for anew is read again.
engine::PictureResult DisplayPicture(WindowState& s, int key, const char* path, const char* name,
                                     char* why, size_t whySize) {
    if (whySize > 0) why[0] = '\0';
    if (key == s.LastPicture) return engine::PictureResult::Shown;
    s.LastPicture = key;

    if (path != nullptr && path[0] != '\0' &&
        LoadNamedPicture(s, path, name, why, whySize) == ReadResult::Ok)
        return engine::PictureResult::Shown;
    GfxSelectSurface(nullptr);
    GfxFillBox(0, 0, PictureWidth, PictureHeight, s.BackgroundColour);
    GfxFrameBox(0, 0, PictureWidth, PictureHeight, s.TextColour);
    return engine::PictureResult::Blanked;
}

}  // namespace umb::ui
