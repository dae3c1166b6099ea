// gamefile.h - the compiled game file: a gzip stream holding an image of the game database.
#pragma once

#include "db/database.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int GameFileVersion = 23;

// Builds the uncompressed image of the database, version 23, reserved bytes and fillers zero.
std::vector<uint8_t> BuildGameImage(const GameDatabase& db);

// Writes the compiled game file through a temporary file renamed over path when complete.
// Returns 0 when written, -1 when it cannot be created or written (an earlier file stays).
int WriteGameFile(const GameDatabase& db, const char* path);

// The temporary file WriteGameFile writes beside path before renaming it over path.
std::string GameFileTempPath(const char* path);

// Parses an uncompressed image into db, which must be reset and have its text heap. Returns 0,
// -2 for an unknown magic, -3 for content that is short, inconsistent or out of range; on
// failure db is left as it was.
int ParseGameImage(GameDatabase& db, const uint8_t* data, size_t size);

// Reads a compiled game file, gzip-compressed or plain. Returns 0, -1 when it cannot be opened,
// -2 or -3 as ParseGameImage.
int ReadGameFile(GameDatabase& db, const char* path);
