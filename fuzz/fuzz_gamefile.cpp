// fuzz_gamefile.cpp - fuzzes loading a compiled game file, gzip-compressed or plain, and the
// parse of an image held in memory.
#include "db_compare.h"
#include "fuzz_common.h"

#include <cstddef>
#include <cstdint>

namespace {

GameDatabase db;
GameDatabase back;
GameDatabase empty;

// A loaded database must write out as an image that reads back the same, and a file written
// from it must read back the same too.
void CheckLoaded() {
    const std::vector<uint8_t> image = BuildGameImage(db);
    ResetDatabase(back);
    FuzzCheck(ParseGameImage(back, image.data(), image.size()) == umb::base::ReadResult::Ok,
              "a rebuilt image reads back");
    FuzzCheck(DatabaseDifference(db, back).empty(), "the rebuilt image equals the database");
    FuzzCheck(BuildGameImage(back) == image, "an image read back builds the same image");

    ResetDatabase(back);
    FuzzCheck(WriteGameFile(db, "written.umb") == umb::base::WriteResult::Ok,
              "the game file is written");
    FuzzCheck(ReadGameFile(back, "written.umb") == umb::base::ReadResult::Ok,
              "the written game file reads back");
    FuzzCheck(DatabaseDifference(db, back).empty(), "the written file equals the database");
}

void CheckResult(umb::base::ReadResult result) {
    using umb::base::ReadResult;
    FuzzCheck(result == ReadResult::Ok || result == ReadResult::NotFormat ||
                  result == ReadResult::BadContent,
              "the result is Ok, NotFormat or BadContent");
    if (result == ReadResult::Ok)
        CheckLoaded();
    else
        FuzzCheck(DatabaseDifference(db, empty).empty(), "a refused file leaves the database");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzEnterTempFolder();
    FuzzCheck(AllocateTextHeap(db) == DbResult::Ok && AllocateTextHeap(back) == DbResult::Ok &&
                  AllocateTextHeap(empty) == DbResult::Ok,
              "the text heaps");
    ResetDatabase(empty);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The image as it would sit in memory after decompression.
    ResetDatabase(db);
    CheckResult(ParseGameImage(db, data, size));

    // The same bytes as a file on disk: a gzip stream is decompressed, anything else read plain.
    FILE* f = std::fopen("input.umb", "wb");
    FuzzCheck(f != nullptr, "the input file opens");
    FuzzCheck(std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0, "the input file");
    ResetDatabase(db);
    CheckResult(ReadGameFile(db, "input.umb"));
    return 0;
}
