// fuzz_compile.cpp - fuzzes the source compiler with includes off; an accepted source must survive
// the compiled game file unchanged.
#include "db_compare.h"
#include "fuzz_common.h"

#include <cstddef>
#include <cstdint>

namespace {

GameDatabase db;
GameDatabase back;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzEnterTempFolder();
    FuzzCheck(AllocateTextHeap(db) == 0 && AllocateTextHeap(back) == 0, "the text heaps");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetDatabase(db);
    Compiler c;
    BeginCompile(c, db);
    c.AllowIncludes = false;
    c.Out = FuzzSink();
    const int result = CompileSource(c, reinterpret_cast<const char*>(data), size, "fuzz.adv");
    FuzzCheck(result >= -1 && result <= 1, "CompileSource returns -1, 0 or 1");
    FuzzCheck(db.TextHeapNext >= 1 && db.TextHeapNext <= TextHeapSize, "the heap position");
    // The program writes a compiled game file only for a source without errors.
    if (result == -1) return 0;

    const std::vector<uint8_t> image = BuildGameImage(db);
    ResetDatabase(back);
    FuzzCheck(ParseGameImage(back, image.data(), image.size()) == 0, "a written image reads back");
    FuzzCheck(DatabaseDifference(db, back).empty(), "the image read back equals the database");

    ResetDatabase(back);
    FuzzCheck(WriteGameFile(db, "fuzz.umb") == 0, "the compiled game file is written");
    FuzzCheck(ReadGameFile(back, "fuzz.umb") == 0, "the compiled game file reads back");
    FuzzCheck(DatabaseDifference(db, back).empty(), "the file read back equals the database");
    return 0;
}
