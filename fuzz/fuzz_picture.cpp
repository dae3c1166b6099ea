// fuzz_picture.cpp - fuzzes the picture reader with the bytes of a PNG file, headless.
#include "fuzz_common.h"
#include "ui/gfx/gfx_internal.h"
#include "ui/picture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

ScreenState screen;

std::vector<GfxColour> ScreenPixels() {
    GfxScreenState& s = GfxScreen();
    const std::lock_guard<std::mutex> hold(s.lock);
    return s.pixels;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzEnterTempFolder();
    static GameDatabase db;
    FuzzCheck(AllocateTextHeap(db) == 0, "the text heap");
    ResetDatabase(db);
    FuzzHeadless(db);
    screen.db = &db;
    ScreenOpen(screen);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen("fuzz.png", "wb");
    FuzzCheck(f != nullptr, "the picture file opens");
    FuzzCheck(std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0, "the picture file");

    // A colour no picture decodes to by chance, so a stray write shows.
    GfxClearScreen(0x00ABCDEF);
    const std::vector<GfxColour> before = ScreenPixels();
    const int result = LoadPicture(screen, "fuzz.png", 0, 0);
    FuzzCheck(result >= -3 && result <= 0, "LoadPicture returns 0 to -3");
    const std::vector<GfxColour> after = ScreenPixels();
    for (int y = 0; y < ScreenHeight; ++y) {
        for (int x = 0; x < ScreenWidth; ++x) {
            const bool inside = x < PictureWidth && y < PictureHeight;
            const size_t at = static_cast<size_t>(y) * ScreenWidth + static_cast<size_t>(x);
            if (result != 0 || !inside)
                FuzzCheck(after[at] == before[at],
                          "a picture draws only inside its area, and nothing when refused");
        }
    }
    return 0;
}
