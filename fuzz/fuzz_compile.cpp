// fuzz_compile.cpp - fuzzes the source compiler with includes off; an accepted source must survive
// the compiled game file unchanged, and a checking compile must make the same database.
#include "db_compare.h"
#include "fuzz_common.h"

#include <cstddef>
#include <cstdint>

namespace {

GameDatabase db;
GameDatabase back;
GameDatabase checked;

// Compiles again with the checker's log: the same result and database, and every finding on a
// line the source has.
void CompileChecking(const uint8_t* data, size_t size, CompileResult result) {
    ResetDatabase(checked);
    Compiler c;
    BeginCompile(c, checked);
    c.AllowIncludes = false;
    c.Out = FuzzSink();
    CheckLog log;
    c.Check = &log;
    const CompileResult again =
        CompileSource(c, reinterpret_cast<const char*>(data), size, "fuzz.adv");
    FuzzCheck(again == result, "a checking compile returns what a plain one does");
    FinishCheck(c);
    FuzzCheck(DatabaseDifference(db, checked).empty(),
              "a checking compile makes the same database");
    int lines = 1;
    for (size_t i = 0; i < size; ++i) lines += data[i] == '\n';
    for (const Finding& f : log.findings)
        FuzzCheck(f.place.file == 0 && f.place.line >= 1 && f.place.line <= lines,
                  "a finding names a line of the source");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzEnterTempFolder();
    FuzzCheck(AllocateTextHeap(db) == DbResult::Ok && AllocateTextHeap(back) == DbResult::Ok &&
                  AllocateTextHeap(checked) == DbResult::Ok,
              "the text heaps");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetDatabase(db);
    Compiler c;
    BeginCompile(c, db);
    c.AllowIncludes = false;
    c.Out = FuzzSink();
    const CompileResult result =
        CompileSource(c, reinterpret_cast<const char*>(data), size, "fuzz.adv");
    FuzzCheck(result != CompileResult::Unreadable,
              "CompileSource returns errors, clean or warnings");
    FuzzCheck(db.TextHeapNext >= 1 && db.TextHeapNext <= TextHeapSize, "the heap position");
    CompileChecking(data, size, result);
    // The program writes a compiled game file only for a source without errors.
    if (result == CompileResult::Errors) return 0;

    const std::vector<uint8_t> image = BuildGameImage(db);
    ResetDatabase(back);
    FuzzCheck(ParseGameImage(back, image.data(), image.size()) == umb::base::ReadResult::Ok,
              "a written image reads back");
    FuzzCheck(DatabaseDifference(db, back).empty(), "the image read back equals the database");

    ResetDatabase(back);
    FuzzCheck(WriteGameFile(db, "fuzz.umb") == umb::base::WriteResult::Ok,
              "the compiled game file is written");
    FuzzCheck(ReadGameFile(back, "fuzz.umb") == umb::base::ReadResult::Ok,
              "the compiled game file reads back");
    FuzzCheck(DatabaseDifference(db, back).empty(), "the file read back equals the database");
    return 0;
}
