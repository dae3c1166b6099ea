// fuzz_picture.cpp - fuzzes the picture reader with the bytes of a PNG file, headless.
#include "fuzz_common.h"
#include "ui/gfx/gfx_internal.h"
#include "ui/window/picture.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

WindowState screen;

// Copies the screen into out, whose memory is kept from run to run (fresh pages cost more than
// the copy).
void ScreenPixels(std::vector<GfxColour>& out) {
    GfxScreenState& s = GfxScreen();
    const std::lock_guard<std::mutex> hold(s.lock);
    out.assign(s.pixels.begin(), s.pixels.end());
}

std::vector<GfxColour> before;
std::vector<GfxColour> after;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzEnterTempFolder();
    static GameDatabase db;
    FuzzCheck(AllocateTextHeap(db) == DbResult::Ok, "the text heap");
    ResetDatabase(db);
    FuzzHeadless(db);
    ScreenOpen(screen);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen("fuzz.png", "wb");
    FuzzCheck(f != nullptr, "the picture file opens");
    FuzzCheck(std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0, "the picture file");

    // A colour no picture decodes to by chance, so a stray write shows.
    GfxClearScreen(0x00ABCDEF);
    ScreenPixels(before);
    const int result = static_cast<int>(LoadPicture(screen, "fuzz.png", 0, 0));
    FuzzCheck(result >= -3 && result <= 0, "LoadPicture returns one of the read results");
    ScreenPixels(after);
    // Whole rows below the picture, and the part of each picture row right of it, compared in
    // one go each: a loop over single pixels took most of the run.
    const size_t width = ScreenWidth;
    const size_t firstFree = result != 0 ? 0 : PictureWidth;
    const size_t rowsBelow = result != 0 ? 0 : PictureHeight;
    for (size_t y = 0; y < rowsBelow; ++y)
        FuzzCheck(std::memcmp(&after[y * width + firstFree], &before[y * width + firstFree],
                              (width - firstFree) * sizeof(GfxColour)) == 0,
                  "a picture draws only inside its area");
    FuzzCheck(std::memcmp(&after[rowsBelow * width], &before[rowsBelow * width],
                          (after.size() - rowsBelow * width) * sizeof(GfxColour)) == 0,
              "a picture draws only inside its area, and nothing when refused");
    return 0;
}
