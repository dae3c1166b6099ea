// picture.h - what the picture reader shares with code that writes pictures for it.
#pragma once

#include "base/fileio.h"

#include <cstddef>

namespace umb::ui {

// Pictures are always this size; the picture area's frame lies just outside it.
constexpr int PictureWidth = 384;
constexpr int PictureHeight = 256;
// A longer picture path is refused rather than cut, which could name another file.
constexpr size_t MaxPicturePath = 127;

// Fills key with the 4 bytes that scrambled image data is combined with: byte k of a chunk's
// data by exclusive-or with key[k % 4].
void PictureScrambleKey(unsigned char key[4]);

struct WindowState;
// Returns what LoadPicture does for the picture at path drawn at 0, 0 of the screen; when it is
// not shown whole, failure receives "picture NAME: reason" (name null: the path).
base::ReadResult LoadNamedPicture(WindowState& s, const char* path, const char* name, char* failure,
                                  size_t failureSize);

}  // namespace umb::ui
