// gamefile.cpp - the game database as an image, and such images loaded back from game files.
#include "db/gamefile.h"
#include "base/fileio.h"
#include "base/littleendian.h"

#include <zlib.h>
#if UMB_LIBDEFLATE
#include <libdeflate.h>
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

using namespace umb::base;

namespace umb::db {

namespace {

constexpr char CurrentMagic[] = "UMBv23";
static_assert(GameFileVersion == 23, "the magic names the version written");
constexpr size_t MagicLength = 6;
constexpr size_t ReadCap = MaxGameImageSize;
constexpr size_t IoChunk = 4u << 20;  // a few large gzread calls keep zlib busy
constexpr size_t FirstReadChunk = 64u << 10;
constexpr unsigned GzReadBuffer = 256u << 10;

// ----- Building the image -----

// Appends n bytes from p to the image.
void PutBytes(std::vector<uint8_t>& out, const void* p, size_t n) {
    const auto* bytes = static_cast<const uint8_t*>(p);
    out.insert(out.end(), bytes, bytes + n);
}

// Appends n zero bytes to the image.
void PutZeros(std::vector<uint8_t>& out, size_t n) { out.insert(out.end(), n, uint8_t{0}); }

// Appends a text setting of the given width, NUL-terminated and NUL-padded whatever memory
// holds after its end, so the file never carries stale bytes or an unterminated text.
void PutSetting(std::vector<uint8_t>& out, const char* field, size_t width) {
    const size_t len = strnlen(field, width - 1);
    PutBytes(out, field, len);
    PutZeros(out, width - len);
}

// Appends count records of a table; records missing from the vector are written as zeros so the
// image always agrees with the count it carries.
template <typename T>
void PutRecords(std::vector<uint8_t>& out, const std::vector<T>& table, int count) {
    if (count <= 0) return;
    const auto n = static_cast<size_t>(count);
    const size_t have = std::min(n, table.size());
    PutBytes(out, table.data(), have * sizeof(T));
    PutZeros(out, (n - have) * sizeof(T));
}

// Appends a list table: count records, then the filler record that follows a non-empty list.
template <typename T>
void PutList(std::vector<uint8_t>& out, const std::vector<T>& table, int16_t count) {
    AppendLeInt16(out, count);
    PutRecords(out, table, count);
    if (count > 0) PutZeros(out, sizeof(T));
}

// Appends the objects with their reserved fields zeroed, whatever memory holds there.
void PutObjects(std::vector<uint8_t>& out, const std::vector<ObjectRecord>& table, int count) {
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<size_t>(i);
        ObjectRecord r = at < table.size() ? table[at] : ObjectRecord{};
        r.reserved1 = 0;
        r.reserved2 = 0;
        PutBytes(out, &r, sizeof r);
    }
}

// Appends a script table (count, lines with the reserved byte zeroed, filler).
void PutScript(std::vector<uint8_t>& out, const std::vector<ScriptLine>& table, int16_t count) {
    AppendLeInt16(out, count);
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<size_t>(i);
        ScriptLine line = at < table.size() ? table[at] : ScriptLine{};
        line.reserved = 0;
        PutBytes(out, &line, sizeof line);
    }
    if (count > 0) PutZeros(out, sizeof(ScriptLine));
}

// Bytes of a table whose count (list) or highest index (numbered) is n: n + 1 records, the
// list's filler or the numbered table's record 0 included; used to reserve the image at once.
size_t RecordsSize(int n, size_t recordSize) {
    return n > 0 ? (static_cast<size_t>(n) + 1) * recordSize : 0;
}

// ----- Parsing the image -----

// The unread rest of an image held in memory.
struct ImageReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

// Copies the next n bytes to dst; BadContent when the image ends first.
ReadResult TakeBytes(ImageReader& r, void* dst, size_t n) {
    if (n > r.size - r.pos) return ReadResult::BadContent;
    if (n > 0) std::memcpy(dst, r.data + r.pos, n);
    r.pos += n;
    return ReadResult::Ok;
}

// Steps over n bytes; BadContent when the image ends first.
ReadResult SkipBytes(ImageReader& r, size_t n) {
    if (n > r.size - r.pos) return ReadResult::BadContent;
    r.pos += n;
    return ReadResult::Ok;
}

// Reads a little-endian int16; BadContent when the image ends first.
ReadResult TakeInt16(ImageReader& r, int16_t& v) {
    uint8_t bytes[2];
    const ReadResult res = TakeBytes(r, bytes, sizeof bytes);
    if (res == ReadResult::Ok) v = LoadLeInt16(bytes);
    return res;
}

// Reads a little-endian uint32; BadContent when the image ends first.
ReadResult TakeUint32(ImageReader& r, uint32_t& v) {
    uint8_t bytes[4];
    const ReadResult res = TakeBytes(r, bytes, sizeof bytes);
    if (res == ReadResult::Ok) v = LoadLe32(bytes);
    return res;
}

// Reads n records into table; the size is checked against the bytes left before anything is
// allocated, so a damaged count cannot make the reader reserve memory for absent records.
template <typename T> ReadResult TakeRecords(ImageReader& r, size_t n, std::vector<T>& table) {
    if (n > (r.size - r.pos) / sizeof(T)) return ReadResult::BadContent;
    table.resize(n);
    return TakeBytes(r, table.data(), n * sizeof(T));
}

// Reads a numbered table: its highest index (-1 when empty), then records 0 to that index.
template <typename T>
ReadResult TakeNumbered(ImageReader& r, int16_t& last, std::vector<T>& table) {
    ReadResult res = TakeInt16(r, last);
    if (res == ReadResult::Ok && last < -1) res = ReadResult::BadContent;
    if (res == ReadResult::Ok && last >= 0)
        res = TakeRecords(r, static_cast<size_t>(last) + 1, table);
    return res;
}

// Reads a list table: its count, then that many records and a filler record, which is dropped.
// A count of -1 is taken as an empty list and kept as given.
template <typename T> ReadResult TakeList(ImageReader& r, int16_t& count, std::vector<T>& table) {
    ReadResult res = TakeInt16(r, count);
    if (res == ReadResult::Ok && count < -1) res = ReadResult::BadContent;
    if (res == ReadResult::Ok && count > 0) res = TakeRecords(r, static_cast<size_t>(count), table);
    if (res == ReadResult::Ok && count > 0) res = SkipBytes(r, sizeof(T));
    return res;
}

// Reads a text setting and terminates it in memory even when the file's bytes do not.
template <size_t N> ReadResult TakeSetting(ImageReader& r, char (&field)[N]) {
    const ReadResult res = TakeBytes(r, field, N);
    field[N - 1] = '\0';
    return res;
}

// Reads the magic and works out the version; NotFormat when the image is no compiled game
// file.
ReadResult TakeMagic(ImageReader& r, int& version) {
    if (r.size < 4) return ReadResult::NotFormat;
    if (std::memcmp(r.data, "UMB2", 4) == 0) {
        version = 20;
        r.pos = 4;
        return ReadResult::Ok;
    }
    if (std::memcmp(r.data, "UMBv", 4) != 0 || r.size < MagicLength || r.data[4] == 0)
        return ReadResult::NotFormat;
    // The two version characters are taken as digits by their codes, unchecked.
    version = (r.data[4] - 48) * 10 + (r.data[5] - 48);
    r.pos = MagicLength;
    return ReadResult::Ok;
}

// Version 20 wrote the or lines of a test as further if lines: in every unbroken run of if lines
// all but the first are or lines.
void ConvertOrRuns(std::vector<ScriptLine>& script) {
    bool inRun = false;
    for (ScriptLine& line : script) {
        if (line.kind != KindIf) {
            inRun = false;
            continue;
        }
        if (inRun) line.kind = KindOr;
        inRun = true;
    }
}

// Up to version 22 the plain begin line opened what is now an f-block.
void ConvertBegins(std::vector<ScriptLine>& script) {
    for (ScriptLine& line : script)
        if (line.kind == KindBegin) line.kind = KindFBegin;
}

// Clears the reserved bytes, which carry no meaning, so loaded records compare cleanly.
void ClearReserved(GameDatabase& db) {
    for (ObjectRecord& r : db.Objects) r.reserved1 = r.reserved2 = 0;
    for (ScriptLine& line : db.Events) line.reserved = 0;
    for (ScriptLine& line : db.Actions) line.reserved = 0;
}

// A present text must start inside the heap image at or before its last NUL, so that every
// text the engine prints ends inside the heap.
bool TextValid(TextRef ref, size_t lastNul) { return ref == NoText || ref <= lastNul; }

// Checks every text reference of the loaded tables; 0, or BadContent when one points outside
// the texts.
ReadResult CheckTexts(const GameDatabase& db, size_t lastNul) {
    bool ok = true;
    for (const LocationRecord& r : db.Locations)
        ok = ok && TextValid(r.name, lastNul) && TextValid(r.picture, lastNul) &&
             TextValid(r.description, lastNul);
    for (const TextRef t : db.Directions) ok = ok && TextValid(t, lastNul);
    for (const ShowRecord& r : db.Shows)
        ok = ok && TextValid(r.text, lastNul) && TextValid(r.picture, lastNul);
    for (const TextRef t : db.Messages) ok = ok && TextValid(t, lastNul);
    for (const TextRef t : db.Sysmsg) ok = ok && TextValid(t, lastNul);
    for (const ObjectRecord& r : db.Objects)
        ok = ok && TextValid(r.name, lastNul) && TextValid(r.description, lastNul);
    return ok ? ReadResult::Ok : ReadResult::BadContent;
}

// Position of the last NUL in the heap image, 0 when there is none after the reserved byte.
size_t LastNul(const uint8_t* heap, size_t size) {
    for (size_t i = size; i > 1; --i)
        if (heap[i - 1] == 0) return i - 1;
    return 0;
}

// Reads the decompressed stream up to the cap; BadContent when zlib reports damaged or cut-off
// data.
ReadResult ReadStream(gzFile f, std::vector<uint8_t>& data) {
    // A larger buffer only speeds reading; zlib keeps its default when it refuses.
    (void)gzbuffer(f, GzReadBuffer);
    ReadResult res = ReadResult::Ok;
    size_t total = 0;
    bool more = true;
    while (res == ReadResult::Ok && more && total < ReadCap) {
        // Chunks grow with what has been read, so small files stay cheap to read.
        const size_t want = std::min({std::max(total, FirstReadChunk), IoChunk, ReadCap - total});
        data.resize(total + want);
        const int got = gzread(f, data.data() + total, static_cast<unsigned>(want));
        if (got < 0) {
            res = ReadResult::BadContent;
        } else {
            total += static_cast<size_t>(got);
            more = got > 0;
        }
    }
    data.resize(total);
    // A stream cut off inside the compressed data ends like a short file; only zlib's error
    // state tells the two apart.
    int errnum = Z_OK;
    (void)gzerror(f, &errnum);
    if (res == ReadResult::Ok && errnum != Z_OK) res = ReadResult::BadContent;
    return res;
}

}  // namespace

std::vector<uint8_t> BuildGameImage(const GameDatabase& db) {
    // A database without a heap, or with a damaged position, still gives a readable image.
    uint32_t heapSize = db.TextHeap ? db.TextHeapNext : 1;
    heapSize = std::clamp<uint32_t>(heapSize, 1, TextHeapSize);

    std::vector<uint8_t> out;
    out.reserve(385 + RecordsSize(db.LastLocation, sizeof(LocationRecord)) +
                RecordsSize(db.LastShow, sizeof(ShowRecord)) +
                RecordsSize(db.LastMessage, sizeof(TextRef)) +
                RecordsSize(db.LastObject, sizeof(ObjectRecord)) +
                RecordsSize(db.VerbCount, sizeof(WordRecord)) +
                RecordsSize(db.NounCount, sizeof(WordRecord)) +
                RecordsSize(db.EventCount, sizeof(ScriptLine)) +
                RecordsSize(db.ActionCount, sizeof(ScriptLine)) +
                RecordsSize(db.VarCount, sizeof(VarRecord)) + heapSize);

    PutBytes(out, CurrentMagic, MagicLength);
    AppendLeInt16(out, db.LastLocation);
    PutRecords(out, db.Locations, db.LastLocation + 1);
    PutBytes(out, db.Directions, sizeof db.Directions);
    AppendLeInt16(out, db.LastShow);
    PutRecords(out, db.Shows, db.LastShow + 1);
    AppendLeInt16(out, db.LastMessage);
    PutRecords(out, db.Messages, db.LastMessage + 1);
    PutBytes(out, db.Sysmsg, sizeof db.Sysmsg);
    AppendLeInt16(out, db.LastObject);
    PutObjects(out, db.Objects, db.LastObject + 1);
    PutList(out, db.Verbs, db.VerbCount);
    PutList(out, db.Nouns, db.NounCount);
    PutScript(out, db.Events, db.EventCount);
    PutScript(out, db.Actions, db.ActionCount);
    PutList(out, db.Vars, db.VarCount);

    AppendLeInt16(out, db.StartLocation);
    AppendLeInt16(out, db.MaxItems);
    AppendLeInt16(out, db.ShowExits);
    AppendLeInt16(out, db.BgColor);
    AppendLeInt16(out, db.FgColor);
    PutBytes(out, &db.YesLetter, 1);
    PutBytes(out, &db.NoLetter, 1);
    PutSetting(out, db.Prompt, sizeof db.Prompt);
    PutSetting(out, db.ImagePath, sizeof db.ImagePath);
    PutSetting(out, db.Title, sizeof db.Title);
    PutSetting(out, db.StatusLine, sizeof db.StatusLine);

    AppendLe32(out, heapSize);
    // The reserved first byte has no meaning; writing it as 0 keeps images reproducible.
    PutZeros(out, 1);
    if (db.TextHeap)
        PutBytes(out, db.TextHeap.get() + 1, heapSize - 1);
    else
        PutZeros(out, heapSize - 1);
    return out;
}

namespace {

// Reads the eleven tables, in the order the file holds them, converting older scripts.
ReadResult TakeTables(ImageReader& r, int version, GameDatabase& fresh) {
    ReadResult res = ReadResult::Ok;
    if (res == ReadResult::Ok) res = TakeNumbered(r, fresh.LastLocation, fresh.Locations);
    if (res == ReadResult::Ok) res = TakeBytes(r, fresh.Directions, sizeof fresh.Directions);
    if (res == ReadResult::Ok) res = TakeNumbered(r, fresh.LastShow, fresh.Shows);
    if (res == ReadResult::Ok) res = TakeNumbered(r, fresh.LastMessage, fresh.Messages);
    if (res == ReadResult::Ok) res = TakeBytes(r, fresh.Sysmsg, sizeof fresh.Sysmsg);
    if (res == ReadResult::Ok) res = TakeNumbered(r, fresh.LastObject, fresh.Objects);
    if (res == ReadResult::Ok) res = TakeList(r, fresh.VerbCount, fresh.Verbs);
    if (res == ReadResult::Ok) res = TakeList(r, fresh.NounCount, fresh.Nouns);
    if (res == ReadResult::Ok) res = TakeList(r, fresh.EventCount, fresh.Events);
    if (res == ReadResult::Ok) res = TakeList(r, fresh.ActionCount, fresh.Actions);
    if (res == ReadResult::Ok) res = TakeList(r, fresh.VarCount, fresh.Vars);
    if (res == ReadResult::Ok && version == 20) {
        ConvertOrRuns(fresh.Events);
        ConvertOrRuns(fresh.Actions);
    }
    if (res == ReadResult::Ok && version <= 22) {
        ConvertBegins(fresh.Events);
        ConvertBegins(fresh.Actions);
    }
    return res;
}

// Reads the settings that follow the tables; versions up to 22 have no title or status line.
ReadResult TakeSettings(ImageReader& r, int version, GameDatabase& fresh) {
    ReadResult res = ReadResult::Ok;
    if (res == ReadResult::Ok) res = TakeInt16(r, fresh.StartLocation);
    if (res == ReadResult::Ok) res = TakeInt16(r, fresh.MaxItems);
    if (res == ReadResult::Ok) res = TakeInt16(r, fresh.ShowExits);
    if (res == ReadResult::Ok) res = TakeInt16(r, fresh.BgColor);
    if (res == ReadResult::Ok) res = TakeInt16(r, fresh.FgColor);
    if (res == ReadResult::Ok) res = TakeBytes(r, &fresh.YesLetter, 1);
    if (res == ReadResult::Ok) res = TakeBytes(r, &fresh.NoLetter, 1);
    if (res == ReadResult::Ok) res = TakeSetting(r, fresh.Prompt);
    if (res == ReadResult::Ok) res = TakeSetting(r, fresh.ImagePath);
    if (res == ReadResult::Ok && version > 22) res = TakeSetting(r, fresh.Title);
    if (res == ReadResult::Ok && version > 22) res = TakeSetting(r, fresh.StatusLine);
    return res;
}

}  // namespace

ReadResult ParseGameImage(GameDatabase& db, const uint8_t* data, size_t size) {
    if (data == nullptr) return ReadResult::NotFormat;
    ImageReader r{data, size, 0};
    // Everything is read into a fresh database first, so a refused image changes nothing.
    GameDatabase fresh;
    int version = 0;
    ReadResult res = TakeMagic(r, version);

    if (res == ReadResult::Ok) res = TakeTables(r, version, fresh);
    if (res == ReadResult::Ok) res = TakeSettings(r, version, fresh);

    uint32_t heapSize = 0;
    if (res == ReadResult::Ok) res = TakeUint32(r, heapSize);
    if (res == ReadResult::Ok && (heapSize == 0 || heapSize > TextHeapSize))
        res = ReadResult::BadContent;
    if (res == ReadResult::Ok && heapSize > r.size - r.pos) res = ReadResult::BadContent;
    const uint8_t* heap = res == ReadResult::Ok ? r.data + r.pos : nullptr;
    // Bytes after the heap image are ignored.
    if (res == ReadResult::Ok) res = CheckTexts(fresh, LastNul(heap, heapSize));

    if (res == ReadResult::Ok && !db.TextHeap && AllocateTextHeap(fresh) != DbResult::Ok)
        res = ReadResult::CannotOpen;
    if (res != ReadResult::Ok) return res;

    ClearReserved(fresh);
    if (db.TextHeap) fresh.TextHeap = std::move(db.TextHeap);
    db = std::move(fresh);
    char* dst = db.TextHeap.get();
    std::memcpy(dst, heap, heapSize);
    std::memset(dst + heapSize, 0, TextHeapSize - heapSize);
    dst[0] = '\0';
    db.TextHeapNext = heapSize;
    RebuildIndexes(db);
    return ReadResult::Ok;
}

namespace {

#if UMB_LIBDEFLATE
// Frees what HugeBuffer allocated.
struct FreeBuffer {
    void operator()(uint8_t* p) const { std::free(p); }
};

// A buffer for a large image in 2 MiB-aligned blocks offered to the kernel as huge pages: the
// largest games then fault in a few pages instead of thousands, which took a tenth of a load.
std::unique_ptr<uint8_t[], FreeBuffer> HugeBuffer(size_t size) {
    constexpr size_t Block = size_t{2} << 20;
    // A small game's image would only make the kernel clear a whole huge page.
    if (size < Block)
        return std::unique_ptr<uint8_t[], FreeBuffer>(static_cast<uint8_t*>(std::malloc(size)));
    const size_t rounded = (size + Block - 1) / Block * Block;
    void* p = std::aligned_alloc(Block, rounded);
    if (p != nullptr) madvise(p, rounded, MADV_HUGEPAGE);
    return std::unique_ptr<uint8_t[], FreeBuffer>(static_cast<uint8_t*>(p));
}

// A whole compiled game held in memory, inflated.
struct Inflated {
    std::unique_ptr<uint8_t[], FreeBuffer> data;
    size_t size = 0;
};

// Inflates a file of one gzip member in one call, which takes about half of zlib's time as
// streams; libdeflate checks the member's checksum and length as zlib does. Returns false for
// anything else (not gzip, several members or bytes after the member, a length past the cap, a
// damaged stream), which zlib then reads as before, so every refusal stays zlib's.
bool InflateWhole(FILE* file, Inflated& out) {
    std::string packed;
    if (ReadWholeFile(file, packed, ReadCap) != ReadResult::Ok) return false;
    constexpr size_t GzipOverhead = 18;  // the smallest header and the trailer
    const auto* in = reinterpret_cast<const uint8_t*>(packed.data());
    if (packed.size() < GzipOverhead || in[0] != 0x1f || in[1] != 0x8b) return false;
    // The trailer's length sizes the buffer; should it lie, the inflation fails and zlib reads.
    const uint32_t length = LoadLe32(in + packed.size() - 4);
    if (length > ReadCap) return false;
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    if (d == nullptr) return false;
    out.data = HugeBuffer(std::max<size_t>(length, 1));
    if (out.data == nullptr) return false;
    size_t used = 0;
    const libdeflate_result r = libdeflate_gzip_decompress_ex(d, in, packed.size(), out.data.get(),
                                                              length, &used, &out.size);
    libdeflate_free_decompressor(d);
    return r == LIBDEFLATE_SUCCESS && used == packed.size() && out.size == length;
}

// Reads the file through libdeflate when it can; false leaves it to zlib.
bool ReadWhole(GameDatabase& db, const char* path, ReadResult& res) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    Inflated image;
    const bool whole = InflateWhole(file, image);
    std::fclose(file);
    if (whole) res = ParseGameImage(db, image.data.get(), image.size);
    return whole;
}
#else
// Without libdeflate (the browser player) zlib reads every file.
bool ReadWhole(GameDatabase&, const char*, ReadResult&) { return false; }
#endif

}  // namespace

ReadResult ReadGameFile(GameDatabase& db, const char* path) {
    if (path == nullptr) return ReadResult::CannotOpen;
    // zlib opens a folder and fails only on reading; that is a file that cannot be opened.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return ReadResult::CannotOpen;
    if (ReadResult whole = ReadResult::Ok; ReadWhole(db, path, whole)) return whole;
    gzFile f = gzopen(path, "rb");
    if (f == nullptr) return ReadResult::CannotOpen;

    std::vector<uint8_t> data;
    ReadResult res = ReadStream(f, data);
    // Closing reports a stream that ended inside its compressed data as well. The file is only
    // read: closing it as such needs none of zlib's compressor.
    if (gzclose_r(f) != Z_OK && res == ReadResult::Ok) res = ReadResult::BadContent;
    if (res == ReadResult::Ok) res = ParseGameImage(db, data.data(), data.size());
    return res;
}

}  // namespace umb::db
