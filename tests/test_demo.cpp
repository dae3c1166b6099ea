// test_demo.cpp - the demo adventure compiles without a diagnostic, names exactly the pictures
// its folder holds, and every one of them is shown as a reference PNG decoder reads it.
#include "compiler/compiler.h"
#include "pngchunk.h"
#include "screen_fixture.h"
#include "ui/window/picture.h"

#include <png.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

using namespace umb::base;
using namespace umb::db;
using namespace umb::compiler;
using namespace umb::gfx;
using namespace umb::ui;
using namespace umb::engine;

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

const fs::path DemoFolder = fs::path(UMB_EXAMPLES) / "beacon";

// The file as a plain PNG: a marker chunk is dropped and the image data it announced are
// unscrambled, so that a decoder that knows nothing of scrambling can read it.
Bytes PlainPng(const Bytes& file, bool* wasScrambled) {
    unsigned char key[4];
    PictureScrambleKey(key);
    *wasScrambled = false;
    Bytes out(file.begin(), file.begin() + 8);
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = PngBig32(&file[at]);
        const std::string type(reinterpret_cast<const char*>(&file[at + 4]), 4);
        Bytes data(file.begin() + static_cast<long>(at + 8),
                   file.begin() + static_cast<long>(at + 8 + length));
        at += 12 + length;
        if (type == "SrMB") {
            *wasScrambled = true;
            continue;
        }
        if (type == "IDAT" && *wasScrambled)
            for (size_t k = 0; k < data.size(); ++k)
                data[k] = static_cast<unsigned char>(data[k] ^ key[k % 4]);
        PngPutChunk(out, type.c_str(), data.data(), data.size());
    }
    return out;
}

// Red, green, blue bytes of every pixel, as the reference decoder reads the plain file.
Bytes ReferencePixels(const Bytes& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, png.data(), png.size()) == 0) return {};
    image.format = PNG_FORMAT_RGB;
    Bytes pixels(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) return {};
    return pixels;
}

class Demo : public ScreenTest {
  protected:
    // Compiles the demo from its folder, where its include line finds the vocabulary.
    CompileResult CompileDemo(std::string& said) {
        const fs::path before = fs::current_path();
        fs::current_path(DemoFolder);
        Compiler c;
        BeginCompile(c, db);
        char* buf = nullptr;
        size_t len = 0;
        c.Out = open_memstream(&buf, &len);
        FILE* source = std::fopen("beacon.adv", "r");
        const CompileResult result = source != nullptr ? CompileSourceFile(c, source, "beacon.adv")
                                                       : CompileResult::Unreadable;
        if (source != nullptr) std::fclose(source);
        std::fclose(c.Out);
        said.assign(buf, len);
        std::free(buf);
        fs::current_path(before);
        return result;
    }

    std::set<std::string> PicturesNamed() {
        std::set<std::string> names;
        for (int i = 0; i <= db.LastLocation; ++i)
            if (const char* t = TextOf(db, db.Locations[static_cast<size_t>(i)].picture))
                names.insert(t);
        for (int i = 0; i <= db.LastShow; ++i)
            if (const char* t = TextOf(db, db.Shows[static_cast<size_t>(i)].picture))
                names.insert(t);
        return names;
    }
};

TEST_F(Demo, CompilesCleanlyAndNamesEveryPictureOfItsFolder) {
    std::string said;
    EXPECT_EQ(CompileDemo(said), CompileResult::Clean);
    EXPECT_EQ(said, "");
    EXPECT_STREQ(db.ImagePath, "pictures");
    EXPECT_GE(db.LastLocation, 12);

    std::set<std::string> files;
    for (const fs::directory_entry& e : fs::directory_iterator(DemoFolder / db.ImagePath))
        files.insert(e.path().filename().string());
    EXPECT_EQ(PicturesNamed(), files);
}

// Every picture is shown whole and exactly as the reference decoder reads it (8-bit grey with
// the program's 128 grey levels); between them they cover every accepted kind of picture.
TEST_F(Demo, EveryPictureShowsAsTheReferenceDecoderReadsIt) {
    std::string said;
    ASSERT_EQ(CompileDemo(said), CompileResult::Clean);
    Open();
    std::set<std::pair<int, int>> kinds;
    int scrambled = 0;
    for (const std::string& name : PicturesNamed()) {
        SCOPED_TRACE(name);
        const fs::path path = DemoFolder / db.ImagePath / name;
        std::ifstream stream(path, std::ios::binary);
        const Bytes file{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
        ASSERT_GT(file.size(), 33u);
        const int depth = file[24];
        const int colourType = file[25];
        kinds.insert({colourType, depth});

        bool wasScrambled = false;
        const Bytes want = ReferencePixels(PlainPng(file, &wasScrambled));
        ASSERT_EQ(want.size(), static_cast<size_t>(PictureWidth * PictureHeight * 3));
        scrambled += wasScrambled ? 1 : 0;

        ASSERT_EQ(LoadPicture(s, path.c_str(), 0, 0), umb::base::ReadResult::Ok);
        GfxSelectSurface(nullptr);
        int wrong = 0;
        std::set<GfxColour> colours;
        for (int y = 0; y < PictureHeight; ++y)
            for (int x = 0; x < PictureWidth; ++x) {
                const unsigned char* p = &want[static_cast<size_t>(y * PictureWidth + x) * 3];
                int r = p[0], g = p[1], b = p[2];
                if (colourType == 0 && depth == 8) r = g = b = (r >> 1) * 255 / 127;
                const GfxColour shown = GfxReadPixel(x, y);
                colours.insert(shown);
                wrong += shown != GfxColourFromRgb(r, g, b);
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_GE(colours.size(), 2u) << "a blank picture";
    }
    EXPECT_EQ(scrambled, 1);
    const std::set<std::pair<int, int>> every = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {2, 8},
                                                 {3, 1}, {3, 2}, {3, 4}, {3, 8}};
    EXPECT_EQ(kinds, every);
}

}  // namespace
