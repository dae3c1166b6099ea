// scramble.cpp - writes the scrambled form of a picture, which only this program can show.
//
// Usage: scramble INPUT.png OUTPUT.png
//
// The marker chunk goes in front of the first image data chunk, and the data of every image
// data chunk is combined with the program's picture key. Chunk checksums are written for the
// bytes as stored, so the file stays a well-formed chunk stream.
#include "pngchunk.h"
#include "ui/window/picture.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

using namespace umb::ui;

namespace {

using Bytes = std::vector<unsigned char>;

const unsigned char Signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

bool SameType(const unsigned char* type, const char* name) {
    for (int k = 0; k < 4; ++k)
        if ((type[k] | 0x20) != (name[k] | 0x20)) return false;
    return true;
}

// Scrambles in into out; returns an error text, or nullptr.
const char* Scramble(const Bytes& in, Bytes& out) {
    if (in.size() < 8 || std::memcmp(in.data(), Signature, 8) != 0) return "not a PNG file";
    unsigned char key[4];
    PictureScrambleKey(key);
    out.assign(in.begin(), in.begin() + 8);
    bool markerWritten = false;
    size_t at = 8;
    while (at < in.size()) {
        if (in.size() - at < 12) return "the file ends inside a chunk";
        const uint32_t length = PngBig32(&in[at]);
        const unsigned char* type = &in[at + 4];
        if (length > in.size() - at - 12) return "the file ends inside a chunk";
        const unsigned char* data = &in[at + 8];
        char name[5] = {};
        std::memcpy(name, type, 4);
        if (SameType(type, "SrMB")) return "the picture is scrambled already";
        if (SameType(type, "IDAT")) {
            if (!markerWritten) {
                PngPutChunk(out, "SrMB", reinterpret_cast<const unsigned char*>("umb?"), 4);
                markerWritten = true;
            }
            Bytes mixed(data, data + length);
            for (size_t k = 0; k < mixed.size(); ++k)
                mixed[k] = static_cast<unsigned char>(mixed[k] ^ key[k % 4]);
            PngPutChunk(out, name, mixed.data(), mixed.size());
        } else {
            PngPutChunk(out, name, data, length);
        }
        at += 12 + static_cast<size_t>(length);
    }
    return markerWritten ? nullptr : "the picture has no image data";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT.png OUTPUT.png\n", argv[0]);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "scramble: cannot read %s\n", argv[1]);
        return 1;
    }
    const Bytes in{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    Bytes out;
    if (const char* error = Scramble(in, out); error != nullptr) {
        std::fprintf(stderr, "scramble: %s: %s\n", argv[1], error);
        return 1;
    }
    std::ofstream result(argv[2], std::ios::binary);
    result.write(reinterpret_cast<const char*>(out.data()),
                 static_cast<std::streamsize>(out.size()));
    if (!result.flush()) {
        std::fprintf(stderr, "scramble: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
