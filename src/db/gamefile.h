// gamefile.h - the compiled game file: a gzip stream holding an image of the game database.
#pragma once

#include "base/fileio.h"
#include "db/database.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace umb::db {

constexpr int GameFileVersion = 23;
// The largest image read or written: far above the largest legal one (about 9.5 MB).
constexpr size_t MaxGameImageSize = 16u << 20;

// Builds the uncompressed image of the database, version 23, reserved bytes and fillers zero.
std::vector<uint8_t> BuildGameImage(const GameDatabase& db);

// Compresses an image into out as one gzip stream at zlib's default level. Returns Ok, or
// Failed (out then empty).
base::WriteResult CompressGameImage(const std::vector<uint8_t>& image, std::vector<uint8_t>& out);

// Writes the compiled game file: the image is compressed in memory and written durably, all or
// nothing. Returns Ok when written, Failed when it cannot be created or written (an earlier file
// stays as it was).
base::WriteResult WriteGameFile(const GameDatabase& db, const char* path);

// Parses an uncompressed image into db, which must be reset and have its text heap. Returns Ok,
// NotFormat for an unknown magic, BadContent for content that is short, inconsistent or out of
// range, CannotOpen when there is no memory for the texts; on failure db is left as it was.
base::ReadResult ParseGameImage(GameDatabase& db, const uint8_t* data, size_t size);

// Reads a compiled game file, gzip-compressed or plain. Returns Ok, CannotOpen when it cannot be
// opened (or is a folder), else as ParseGameImage.
base::ReadResult ReadGameFile(GameDatabase& db, const char* path);

}  // namespace umb::db
