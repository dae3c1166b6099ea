// fileio.h - whole-file reads into memory, so that readers parse from a buffer.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

constexpr size_t MaxSourceFileSize = size_t{256} << 20;

// Reads an open file from its current position to its end into out. Returns 0, or -2 when the
// file cannot be read or is larger than limit bytes.
int ReadWholeFile(FILE* file, std::string& out, size_t limit);

// Ends a write through a temporary file: when res is 0 the temporary file replaces path, so an
// earlier file stays whole until the new one is; otherwise it is removed. Returns 0 or -1.
int FinishTempFile(const std::string& tmp, const std::string& path, int res);
