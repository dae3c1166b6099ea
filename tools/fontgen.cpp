// fontgen.cpp - turns a gzip-compressed 8 x 14 PSF console font into the code page 850 glyphs.
//
// Usage: umb_fontgen <font.psf.gz> <out.cpp>. Runs at build time, so that the font itself never
// has to live in the source tree.
#include "ui/gfx/gfx_internal.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace umb::gfx;

namespace {

// Console fonts are a few kilobytes; anything far beyond is not a font.
constexpr std::size_t MaxFontBytes = 4u << 20;
constexpr uint32_t MaxGlyphs = 65536;
constexpr uint32_t NoGlyph = 0xFFFFFFFF;

struct PsfFont {
    uint32_t glyphCount = 0;
    uint32_t bytesPerGlyph = 0;
    const unsigned char* glyphs = nullptr;
    // Per code point below 0x10000, the first glyph whose Unicode entry lists it; empty when the
    // font has no Unicode table. Code page 850 lies wholly below 0x10000.
    std::vector<uint32_t> glyphOfCodePoint;
};

bool Fail(const char* path, const char* what) {
    std::fprintf(stderr, "umb_fontgen: %s: %s\n", path, what);
    return false;
}

bool ReadGzip(const char* path, std::vector<unsigned char>& out) {
    gzFile f = gzopen(path, "rb");
    if (!f) return Fail(path, "cannot open");
    out.clear();
    unsigned char chunk[16384];
    for (;;) {
        int n = gzread(f, chunk, sizeof chunk);
        if (n < 0) {
            int code = 0;
            const char* msg = gzerror(f, &code);
            // zlib puts the path in front of its message; it is printed already.
            std::string detail = msg ? msg : "";
            std::string prefix = std::string(path) + ": ";
            if (detail.compare(0, prefix.size(), prefix) == 0) detail.erase(0, prefix.size());
            std::string what = "cannot decompress: " + detail;
            gzclose(f);
            return Fail(path, what.c_str());
        }
        if (n == 0) break;
        if (out.size() + static_cast<std::size_t>(n) > MaxFontBytes) {
            gzclose(f);
            return Fail(path, "too large for a console font");
        }
        out.insert(out.end(), chunk, chunk + n);
    }
    // A stream cut short reads as a clean end of file; only closing tells.
    if (gzclose(f) != Z_OK) return Fail(path, "compressed data is truncated or damaged");
    return true;
}

uint32_t ReadLe16(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

uint32_t ReadLe32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Remembers the first glyph that lists a code point; later ones are alternatives.
void MapCodePoint(PsfFont& font, uint32_t codePoint, uint32_t glyph) {
    if (codePoint >= font.glyphOfCodePoint.size()) return;
    if (font.glyphOfCodePoint[codePoint] == NoGlyph) font.glyphOfCodePoint[codePoint] = glyph;
}

// Version 1 table: little-endian 16-bit code points; 0xFFFE opens the multi-character
// sequences of a glyph, 0xFFFF ends its entry.
bool ParsePsf1Table(const char* path, const std::vector<unsigned char>& data, std::size_t pos,
                    PsfFont& font) {
    font.glyphOfCodePoint.assign(0x10000, NoGlyph);
    for (uint32_t glyph = 0; glyph < font.glyphCount; ++glyph) {
        bool inSequences = false;
        for (;;) {
            if (data.size() - pos < 2) return Fail(path, "Unicode table is truncated");
            uint32_t unit = ReadLe16(&data[pos]);
            pos += 2;
            if (unit == 0xFFFF) break;
            if (unit == 0xFFFE) {
                inSequences = true;
                continue;
            }
            if (!inSequences) MapCodePoint(font, unit, glyph);
        }
    }
    return true;
}

// Decodes one UTF-8 character at data[pos] with the program's one decoder; returns its length,
// or 0 when it is malformed (cut short, overlong, a surrogate or past U+10FFFF).
std::size_t DecodeUtf8(const std::vector<unsigned char>& data, std::size_t pos, uint32_t& cp) {
    int32_t code = -1;
    const int used = Utf8Character(data.data() + pos, data.size() - pos, &code);
    if (used <= 0 || code < 0) return 0;
    cp = static_cast<uint32_t>(code);
    return static_cast<std::size_t>(used);
}

// Version 2 table: UTF-8; 0xFE opens the multi-character sequences of a glyph, 0xFF ends its
// entry. Neither byte can occur inside UTF-8.
bool ParsePsf2Table(const char* path, const std::vector<unsigned char>& data, std::size_t pos,
                    PsfFont& font) {
    font.glyphOfCodePoint.assign(0x10000, NoGlyph);
    for (uint32_t glyph = 0; glyph < font.glyphCount; ++glyph) {
        bool inSequences = false;
        for (;;) {
            if (pos >= data.size()) return Fail(path, "Unicode table is truncated");
            unsigned char b = data[pos];
            if (b == 0xFF) {
                ++pos;
                break;
            }
            if (b == 0xFE) {
                ++pos;
                inSequences = true;
                continue;
            }
            uint32_t cp = 0;
            std::size_t length = DecodeUtf8(data, pos, cp);
            if (length == 0) return Fail(path, "Unicode table holds malformed UTF-8");
            pos += length;
            if (!inSequences) MapCodePoint(font, cp, glyph);
        }
    }
    return true;
}

bool CheckGlyphs(const char* path, const std::vector<unsigned char>& data, std::size_t offset,
                 PsfFont& font) {
    if (font.glyphCount < 256) return Fail(path, "fewer than 256 glyphs");
    uint64_t glyphBytes = static_cast<uint64_t>(font.glyphCount) * font.bytesPerGlyph;
    if (offset > data.size() || glyphBytes > data.size() - offset)
        return Fail(path, "file ends before the last glyph");
    font.glyphs = data.data() + offset;
    return true;
}

bool ParsePsf1(const char* path, const std::vector<unsigned char>& data, PsfFont& font) {
    if (data.size() < 4) return Fail(path, "header is truncated");
    unsigned char mode = data[2];
    unsigned char charSize = data[3];
    if (mode & ~0x07u) return Fail(path, "unknown mode bits");
    if (charSize != GlyphHeight) return Fail(path, "glyphs are not 14 pixels high");
    font.glyphCount = (mode & 0x01) ? 512 : 256;
    font.bytesPerGlyph = charSize;
    if (!CheckGlyphs(path, data, 4, font)) return false;
    if (mode & 0x06)
        return ParsePsf1Table(path, data, 4 + std::size_t{font.glyphCount} * font.bytesPerGlyph,
                              font);
    return true;
}

bool ParsePsf2(const char* path, const std::vector<unsigned char>& data, PsfFont& font) {
    if (data.size() < 32) return Fail(path, "header is truncated");
    uint32_t version = ReadLe32(&data[4]);
    uint32_t headerSize = ReadLe32(&data[8]);
    uint32_t flags = ReadLe32(&data[12]);
    uint32_t length = ReadLe32(&data[16]);
    uint32_t charSize = ReadLe32(&data[20]);
    uint32_t height = ReadLe32(&data[24]);
    uint32_t width = ReadLe32(&data[28]);
    if (version != 0) return Fail(path, "unknown version");
    if (headerSize < 32 || headerSize > data.size()) return Fail(path, "bad header size");
    if (flags & ~0x01u) return Fail(path, "unknown flags");
    if (height != GlyphHeight) return Fail(path, "glyphs are not 14 pixels high");
    if (width != GlyphWidth) return Fail(path, "glyphs are not 8 pixels wide");
    if (charSize != height) return Fail(path, "glyph size does not match 8 x 14");
    if (length > MaxGlyphs) return Fail(path, "too many glyphs");
    font.glyphCount = length;
    font.bytesPerGlyph = charSize;
    if (!CheckGlyphs(path, data, headerSize, font)) return false;
    if (flags & 0x01)
        return ParsePsf2Table(path, data, headerSize + std::size_t{length} * charSize, font);
    return true;
}

bool ParseFont(const char* path, const std::vector<unsigned char>& data, PsfFont& font) {
    if (data.size() >= 2 && data[0] == 0x36 && data[1] == 0x04) return ParsePsf1(path, data, font);
    if (data.size() >= 4 && data[0] == 0x72 && data[1] == 0xB5 && data[2] == 0x4A &&
        data[3] == 0x86)
        return ParsePsf2(path, data, font);
    return Fail(path, "not a PSF font");
}

uint32_t GlyphForByte(const PsfFont& font, unsigned b) {
    uint32_t cp = Cp850ToUnicode[b];
    if (!font.glyphOfCodePoint.empty() && font.glyphOfCodePoint[cp] != NoGlyph)
        return font.glyphOfCodePoint[cp];
    return b;
}

bool WriteTable(const char* fontPath, const char* outPath, const PsfFont& font) {
    std::string tmpPath = std::string(outPath) + ".tmp";
    FILE* out = std::fopen(tmpPath.c_str(), "w");
    if (!out) return Fail(tmpPath.c_str(), "cannot create");
    const char* fontName = fontPath;
    for (const char* p = fontPath; *p; ++p)
        if (*p == '/') fontName = p + 1;
    std::fprintf(out, "// Glyph table generated by umb_fontgen from %s; do not edit.\n", fontName);
    std::fprintf(out, "#include \"ui/gfx/gfx_internal.h\"\n\n");
    std::fprintf(out, "namespace umb::gfx {\n\n");
    std::fprintf(out, "const unsigned char FontGlyphs[256][GlyphHeight] = {\n");
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned char* glyph =
            font.glyphs + std::size_t{GlyphForByte(font, b)} * font.bytesPerGlyph;
        std::fprintf(out, "    {");
        for (int row = 0; row < GlyphHeight; ++row)
            std::fprintf(out, "%s0x%02X", row ? ", " : "", glyph[row]);
        std::fprintf(out, "},  // 0x%02X\n", b);
    }
    std::fprintf(out, "};\n\n");
    std::fprintf(out, "}  // namespace umb::gfx\n");
    bool ok = !std::ferror(out);
    if (std::fclose(out) != 0) ok = false;
    if (!ok) {
        std::remove(tmpPath.c_str());
        return Fail(tmpPath.c_str(), "cannot write");
    }
    if (std::rename(tmpPath.c_str(), outPath) != 0) {
        std::remove(tmpPath.c_str());
        return Fail(outPath, "cannot replace");
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: umb_fontgen <font.psf.gz> <out.cpp>\n");
        return 1;
    }
    std::vector<unsigned char> data;
    PsfFont font;
    if (!ReadGzip(argv[1], data) || !ParseFont(argv[1], data, font) ||
        !WriteTable(argv[1], argv[2], font))
        return 1;
    return 0;
}
