// fileio.cpp - whole-file reads into memory.
#include "db/fileio.h"

#include <filesystem>
#include <system_error>

int ReadWholeFile(FILE* file, std::string& out, size_t limit) {
    out.clear();
    char chunk[65536];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, file);
        if (n > 0) {
            if (out.size() + n > limit) return -2;
            out.append(chunk, n);
        }
        if (n < sizeof chunk) break;
    }
    return std::ferror(file) ? -2 : 0;
}

int FinishTempFile(const std::string& tmp, const std::string& path, int res) {
    std::error_code ec;
    if (res == 0) {
        std::filesystem::rename(tmp, path, ec);
        if (ec) res = -1;
    }
    if (res != 0) std::filesystem::remove(tmp, ec);
    return res;
}
