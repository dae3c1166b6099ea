// pngchunk.h - reading and writing the big-endian numbers and checksummed chunks of PNG files,
// for the tools that write pictures and the tests that take them apart.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

inline uint32_t PngBig32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

inline void PngPutBig32(std::vector<unsigned char>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

// Appends one chunk: length, the 4-letter type, the data and the checksum of type and data.
inline void PngPutChunk(std::vector<unsigned char>& out, const char* type,
                        const unsigned char* data, size_t size) {
    PngPutBig32(out, static_cast<uint32_t>(size));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    PngPutBig32(out,
                static_cast<uint32_t>(crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + size))));
}
