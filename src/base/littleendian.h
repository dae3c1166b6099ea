// littleendian.h - numbers in the program's files, stored low byte first whatever the host.
#pragma once

#include <cstdint>

namespace umb::base {

// Appends v to out (a string or a byte vector) as 2 bytes, low byte first.
template <typename Bytes> void AppendLe16(Bytes& out, uint16_t v) {
    using Byte = typename Bytes::value_type;
    out.push_back(static_cast<Byte>(v & 0xFF));
    out.push_back(static_cast<Byte>(v >> 8));
}

// Appends v to out as 4 bytes, low byte first.
template <typename Bytes> void AppendLe32(Bytes& out, uint32_t v) {
    AppendLe16(out, static_cast<uint16_t>(v & 0xFFFF));
    AppendLe16(out, static_cast<uint16_t>(v >> 16));
}

// Appends v to out as its two's complement in 2 bytes, low byte first.
template <typename Bytes> void AppendLeInt16(Bytes& out, int16_t v) {
    AppendLe16(out, static_cast<uint16_t>(v));
}

// Returns the number stored at p in 2 bytes, low byte first.
inline uint16_t LoadLe16(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

// Returns the number stored at p in 4 bytes, low byte first.
inline uint32_t LoadLe32(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

// Returns the two's complement number stored at p in 2 bytes, low byte first.
inline int16_t LoadLeInt16(const void* p) { return static_cast<int16_t>(LoadLe16(p)); }

}  // namespace umb::base
