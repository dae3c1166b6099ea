// test_gamefile.cpp - the compiled game file: image layout, round trips, old versions, refusals.
#include "base/fileio.h"
#include "db/gamefile.h"
#include "db_compare.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace umb::base;

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// Positions in the image of an empty database.
constexpr size_t AtLastLocation = 6;
constexpr size_t AtLastShow = 48;
constexpr size_t AtLastMessage = 50;
constexpr size_t AtLastObject = 180;
constexpr size_t AtVerbCount = 182;
constexpr size_t AtNounCount = 184;
constexpr size_t AtEventCount = 186;
constexpr size_t AtActionCount = 188;
constexpr size_t AtVarCount = 190;
constexpr size_t AtPrompt = 204;
constexpr size_t AtImagePath = 220;
constexpr size_t AtTitle = 252;
constexpr size_t AtStatusLine = 316;
constexpr size_t AtHeapSize = 380;
constexpr size_t EmptyImageSize = 385;

// Gives db its heap and its empty state, as the start-up does.
void InitDb(GameDatabase& db) {
    ASSERT_EQ(AllocateTextHeap(db), umb::db::DbResult::Ok);
    ResetDatabase(db);
}

// Stores a text and returns its reference.
TextRef Text(GameDatabase& db, const char* s) { return StoreText(db, s, std::strlen(s), false); }

std::string TextString(const GameDatabase& db, TextRef ref) {
    const char* t = TextOf(db, ref);
    return t ? std::string(t) : std::string("<absent>");
}

void PutInt16At(Bytes& image, size_t at, int16_t v) { std::memcpy(image.data() + at, &v, 2); }
void PutUint32At(Bytes& image, size_t at, uint32_t v) { std::memcpy(image.data() + at, &v, 4); }

ScriptLine Line(char kind, int16_t firstOperand = 0) {
    ScriptLine line = BlankScriptLine(kind);
    if (kind == KindIf || kind == KindOr || kind == KindAction) {
        line.ops[0] = kind == KindAction ? 3 : -5;
        line.operandA[0] = firstOperand;
        line.operandB[0] = static_cast<int16_t>(firstOperand + 1);
    }
    return line;
}

void SetScript(std::vector<ScriptLine>& script, int16_t& count, const std::string& kinds) {
    script.clear();
    for (char k : kinds) script.push_back(Line(k, static_cast<int16_t>(script.size() + 10)));
    count = static_cast<int16_t>(script.size());
}

std::string Kinds(const std::vector<ScriptLine>& script) {
    std::string kinds;
    for (const ScriptLine& line : script) kinds += line.kind;
    return kinds;
}

// A small adventure that uses every table and every setting with non-default values.
void FillSample(GameDatabase& db) {
    InitDb(db);
    GrowLocations(db, 2);
    db.Locations[0].name = Text(db, "Darkness");
    db.Locations[0].description = Text(db, "It is pitch dark.");
    db.Locations[1].name = Text(db, "Hall");
    db.Locations[1].picture = Text(db, "hall.png");
    db.Locations[1].description = Text(db, "A long hall.");
    db.Locations[1].exits[0] = 2;
    db.Locations[2].name = Text(db, "Cellar");
    db.Locations[2].flags = LocDark;
    db.Locations[2].exits[1] = 1;
    db.Locations[2].exits[9] = 32766;
    for (int d = 0; d < DirectionCount; d += 3)
        db.Directions[d] = Text(db, ("dir" + std::to_string(d + 1)).c_str());
    GrowShows(db, 2);
    db.Shows[2].text = Text(db, "Welcome!");
    db.Shows[2].picture = Text(db, "intro.png");
    GrowMessages(db, 3);
    db.Messages[1] = Text(db, "You win.");
    db.Messages[3] = Text(db, "Nothing happens.");
    db.Sysmsg[7] = Text(db, "You see nothing special.");
    db.Sysmsg[31] = Text(db, "Last one.");
    GrowObjects(db, 2);
    db.Objects[1].name = Text(db, "a lamp");
    db.Objects[1].description = Text(db, "A brass lamp.");
    db.Objects[1].initialLocation = 1;
    db.Objects[1].attributes = AttrTakeable | AttrLight;
    db.Objects[1].noun = 1;
    db.Objects[2].name = Text(db, "a coat");
    db.Objects[2].initialLocation = Worn;
    db.Objects[2].attributes = AttrWearable;
    db.Objects[2].noun = 2;
    AppendVerb(db, "take", 4, 14);
    AppendVerb(db, "grab", 4, 14);
    AppendVerb(db, "northward", 9, 1);
    AppendNoun(db, "lamp", 4, 1);
    AppendNoun(db, "coat", 4, 2);
    AppendVar(db, "score", 5);
    AppendVar(db, "turns", 5);
    db.Vars[2].value = -3;
    SetScript(db.Events, db.EventCount, "cc&o{o}");
    SetScript(db.Actions, db.ActionCount, "c|o+w}o");
    db.StartLocation = 2;
    db.MaxItems = 7;
    db.YesLetter = 'j';
    db.NoLetter = 'x';
    std::strcpy(db.Prompt, "What now?");
    db.ShowExits = 0;
    std::strcpy(db.ImagePath, "pics/");
    std::strcpy(db.Title, "The Test Adventure");
    std::strcpy(db.StatusLine, "Score: $1");
    db.BgColor = 1;
    db.FgColor = 14;
}

// Compares everything a compiled game file carries.
void ExpectSameDatabase(const GameDatabase& a, const GameDatabase& b) {
    EXPECT_EQ(DatabaseDifference(a, b), "");
}

// What must stay as it was when an image is refused: the tables, settings and the whole heap.
struct Snapshot {
    Bytes image;
    Bytes heap;
    uint32_t next;
};

Snapshot Snap(const GameDatabase& db) {
    const auto* heap = reinterpret_cast<const uint8_t*>(db.TextHeap.get());
    return {BuildGameImage(db), Bytes(heap, heap + TextHeapSize), db.TextHeapNext};
}

bool Unchanged(const GameDatabase& db, const Snapshot& before) {
    const auto* heap = reinterpret_cast<const uint8_t*>(db.TextHeap.get());
    return BuildGameImage(db) == before.image && db.TextHeapNext == before.next &&
           std::memcmp(heap, before.heap.data(), TextHeapSize) == 0;
}

// Parses a copy of the image in a buffer of exactly its size, so that reading past its end
// is caught by the address sanitizer.
ReadResult Parse(GameDatabase& db, const Bytes& image, size_t size) {
    const Bytes exact(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size));
    return ParseGameImage(db, exact.data(), exact.size());
}
ReadResult Parse(GameDatabase& db, const Bytes& image) { return Parse(db, image, image.size()); }

// Rewrites a current image as an older version: another magic and no Title and StatusLine.
Bytes AsOldVersion(const Bytes& image, uint32_t heapSize, const std::string& magic) {
    Bytes old(magic.begin(), magic.end());
    const size_t titleAt = image.size() - heapSize - 4 - 128;
    old.insert(old.end(), image.begin() + 6, image.begin() + static_cast<std::ptrdiff_t>(titleAt));
    old.insert(old.end(), image.begin() + static_cast<std::ptrdiff_t>(titleAt + 128), image.end());
    return old;
}

Bytes ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const Bytes& bytes, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
}

// A private folder under the system's temporary folder, removed after each test.
class GameFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "umb-gamefile-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string PathOf(const char* name) const { return (dir / name).string(); }
    fs::path dir;
};

// ----- The image the writer builds -----

TEST(GameImage, EmptyDatabaseGivesTheMinimalImage) {
    GameDatabase db;
    InitDb(db);
    db.TextHeap[0] = 0x7F;  // the reserved byte's value has no meaning and is written as 0
    db.Prompt[9] = 'Z';     // stale bytes after the terminating NUL are not written

    Bytes want = {'U', 'M', 'B', 'v', '2', '3', 0xFF, 0xFF};  // LastLocation -1
    want.insert(want.end(), 40, 0);                           // Directions
    want.insert(want.end(), {0xFF, 0xFF, 0xFF, 0xFF});        // LastShow, LastMessage
    want.insert(want.end(), 128, 0);                          // Sysmsg
    want.insert(want.end(), {0xFF, 0xFF});                    // LastObject
    want.insert(want.end(), 10, 0);                           // the five list counts
    want.insert(want.end(), {1, 0, 5, 0, 1, 0, 0, 0, 15, 0, 'y', 'n', '>'});
    want.insert(want.end(), 15 + 32 + 64 + 64, 0);  // rest of Prompt, ImagePath, Title, StatusLine
    want.insert(want.end(), {1, 0, 0, 0, 0});       // heap size 1, the reserved byte

    const Bytes image = BuildGameImage(db);
    ASSERT_EQ(image.size(), EmptyImageSize);
    EXPECT_EQ(image, want);

    GameDatabase back;
    InitDb(back);
    ASSERT_EQ(Parse(back, image), ReadResult::Ok);
    db.Prompt[9] = '\0';
    ExpectSameDatabase(db, back);
}

// A database reset for the next source keeps no text of the last one: a direction name that
// survived pointed past the emptied heap, and the next game written could not be read back.
TEST(GameImage, ResetDatabaseLeavesNoDirectionBehind) {
    GameDatabase db;
    InitDb(db);
    for (TextRef& t : db.Directions) t = StoreText(db, "northwest", 9, false);
    ResetDatabase(db);
    for (const TextRef t : db.Directions) EXPECT_EQ(t, NoText);
    StoreText(db, "x", 1, false);

    GameDatabase back;
    InitDb(back);
    ASSERT_EQ(Parse(back, BuildGameImage(db)), ReadResult::Ok);
    ExpectSameDatabase(db, back);
}

TEST(GameImage, ListTablesAreFollowedByAZeroFiller) {
    GameDatabase db;
    InitDb(db);
    AppendVerb(db, "take", 4, 14);
    const Bytes image = BuildGameImage(db);
    ASSERT_EQ(image.size(), EmptyImageSize + 20);

    int16_t count = 0;
    std::memcpy(&count, image.data() + AtVerbCount, 2);
    EXPECT_EQ(count, 1);
    const Bytes record(image.begin() + AtVerbCount + 2, image.begin() + AtVerbCount + 12);
    EXPECT_EQ(record, (Bytes{'t', 'a', 'k', 'e', 0, 0, 0, 0, 14, 0}));
    const Bytes filler(image.begin() + AtVerbCount + 12, image.begin() + AtVerbCount + 22);
    EXPECT_EQ(filler, Bytes(10, 0));
    std::memcpy(&count, image.data() + AtVerbCount + 22, 2);
    EXPECT_EQ(count, 0) << "NounCount follows the filler directly";

    GameDatabase back;
    InitDb(back);
    ASSERT_EQ(Parse(back, image), ReadResult::Ok);
    EXPECT_EQ(back.VerbCount, 1);
    EXPECT_EQ(back.Verbs.size(), 1u) << "the filler is not kept as a record";
    EXPECT_EQ(FindVerb(back, "TAKE"), 14) << "lookups work after loading";
}

TEST(GameImage, ReservedBytesAreWrittenAsZeros) {
    GameDatabase db;
    InitDb(db);
    GrowObjects(db, 1);
    db.Objects[1].reserved1 = 0x5A5A;
    db.Objects[1].reserved2 = -1;
    db.Events.push_back(Line(KindAction, 4));
    db.Events[0].reserved = 'R';
    db.EventCount = 1;
    const Bytes image = BuildGameImage(db);

    const size_t object1 = AtLastObject + 2 + 20;
    EXPECT_EQ(image[object1 + 10], 0);
    EXPECT_EQ(image[object1 + 11], 0);
    EXPECT_EQ(image[object1 + 18], 0);
    EXPECT_EQ(image[object1 + 19], 0);
    const size_t line = object1 + 20 + 6;  // past VerbCount, NounCount and EventCount
    EXPECT_EQ(image[line], 'o');
    EXPECT_EQ(image[line + 17], 0);
    EXPECT_EQ(Bytes(image.begin() + line + 82, image.begin() + line + 164), Bytes(82, 0));
}

TEST(GameImage, ObjectWithoutDescriptionLoadsWithoutOne) {
    GameDatabase db;
    InitDb(db);
    GrowObjects(db, 1);
    db.Objects[1].name = Text(db, "a stone");
    const Bytes image = BuildGameImage(db);
    uint32_t offset = 99;
    std::memcpy(&offset, image.data() + AtLastObject + 2 + 20 + 12, 4);
    EXPECT_EQ(offset, 0u);

    GameDatabase back;
    InitDb(back);
    ASSERT_EQ(Parse(back, image), ReadResult::Ok);
    EXPECT_EQ(TextString(back, back.Objects[1].name), "a stone");
    EXPECT_EQ(TextOf(back, back.Objects[1].description), nullptr);
}

TEST(GameImage, TextSettingsEndTerminatedEvenWhenTheFileDoesNot) {
    GameDatabase db;
    InitDb(db);
    Bytes image = BuildGameImage(db);
    std::memset(image.data() + AtPrompt, 'A', 16);
    std::memset(image.data() + AtImagePath, 'B', 32);
    std::memset(image.data() + AtTitle, 'C', 64);
    std::memset(image.data() + AtStatusLine, 'D', 64);
    ASSERT_EQ(Parse(db, image), ReadResult::Ok);
    EXPECT_EQ(std::string(db.Prompt), std::string(15, 'A'));
    EXPECT_EQ(std::string(db.ImagePath), std::string(31, 'B'));
    EXPECT_EQ(std::string(db.Title), std::string(63, 'C'));
    EXPECT_EQ(std::string(db.StatusLine), std::string(63, 'D'));
}

// ----- Older versions -----

TEST(GameImage, Version20TurnsIfRunsIntoOrLinesAndBeginsIntoFBegins) {
    GameDatabase db;
    FillSample(db);
    SetScript(db.Events, db.EventCount, "ccco{cc");
    SetScript(db.Actions, db.ActionCount, "cc{}c&c");
    const Bytes image = BuildGameImage(db);

    for (const char* magic : {"UMB2", "UMBv20"}) {
        SCOPED_TRACE(magic);
        GameDatabase back;
        InitDb(back);
        ASSERT_EQ(Parse(back, AsOldVersion(image, db.TextHeapNext, magic)), ReadResult::Ok);
        // Each script is walked on its own: the run that ends the events does not reach on.
        EXPECT_EQ(Kinds(back.Events), "c||o/c|");
        EXPECT_EQ(Kinds(back.Actions), "c|/}c&c");
        EXPECT_EQ(back.Events[1].operandA[0], db.Events[1].operandA[0]);
        EXPECT_STREQ(back.Title, "");
        EXPECT_STREQ(back.StatusLine, "");
        EXPECT_STREQ(back.ImagePath, "pics/");
        EXPECT_EQ(back.TextHeapNext, db.TextHeapNext);
        EXPECT_EQ(TextString(back, back.Messages[3]), "Nothing happens.");
    }
}

TEST(GameImage, Version22HasNoTitleAndOnlyRenamesBegins) {
    GameDatabase db;
    FillSample(db);
    SetScript(db.Events, db.EventCount, "cc{o}");
    const Bytes image = AsOldVersion(BuildGameImage(db), db.TextHeapNext, "UMBv22");

    GameDatabase back;
    InitDb(back);
    ASSERT_EQ(Parse(back, image), ReadResult::Ok);
    EXPECT_EQ(Kinds(back.Events), "cc/o}");
    EXPECT_EQ(Kinds(back.Actions), Kinds(db.Actions));
    EXPECT_STREQ(back.Title, "");
    EXPECT_STREQ(back.StatusLine, "");
    EXPECT_STREQ(back.Prompt, "What now?");
    EXPECT_EQ(back.TextHeapNext, db.TextHeapNext);
    EXPECT_EQ(TextString(back, back.Shows[2].picture), "intro.png");
}

TEST(GameImage, LaterVersionsReadAsTheCurrentOne) {
    GameDatabase db;
    FillSample(db);
    Bytes image = BuildGameImage(db);
    image[5] = '4';
    GameDatabase back;
    InitDb(back);
    ASSERT_EQ(Parse(back, image), ReadResult::Ok);
    ExpectSameDatabase(db, back);
}

// ----- Refusals -----

TEST(GameImage, RefusesUnknownMagic) {
    GameDatabase db;
    FillSample(db);
    const Snapshot before = Snap(db);
    const Bytes good = BuildGameImage(db);

    std::vector<Bytes> bad = {Bytes{}, Bytes{'U', 'M', 'B'}, Bytes{'U', 'M', 'B', 'v'},
                              Bytes{'U', 'M', 'B', 'v', '2'}};
    for (const char* magic : {"umbv23", "UMBV23", "XUMBv2", "UMB3"}) {
        Bytes b = good;
        std::memcpy(b.data(), magic, std::strlen(magic));
        bad.push_back(b);
    }
    Bytes nulVersion = good;
    nulVersion[4] = 0;
    bad.push_back(nulVersion);

    for (const Bytes& image : bad) {
        EXPECT_EQ(Parse(db, image), ReadResult::NotFormat)
            << std::string(image.begin(), image.end()).substr(0, 6);
        EXPECT_TRUE(Unchanged(db, before));
    }
}

TEST(GameImage, RefusesEveryTruncatedImage) {
    GameDatabase source;
    FillSample(source);
    const Bytes image = BuildGameImage(source);
    GameDatabase db;
    InitDb(db);
    Text(db, "something already here");
    const Snapshot before = Snap(db);

    for (size_t size = 0; size < image.size(); ++size) {
        ASSERT_EQ(Parse(db, image, size), size < 6 ? ReadResult::NotFormat : ReadResult::BadContent)
            << "cut at " << size;
        ASSERT_TRUE(Unchanged(db, before)) << "cut at " << size;
    }
    Bytes longer = image;
    longer.insert(longer.end(), {1, 2, 3});
    ASSERT_EQ(Parse(db, longer), ReadResult::Ok) << "bytes after the heap image are ignored";
    ExpectSameDatabase(source, db);
}

TEST(GameImage, RefusesCountsBelowMinusOne) {
    GameDatabase db;
    FillSample(db);
    const Snapshot before = Snap(db);
    Bytes empty;
    {
        GameDatabase e;
        InitDb(e);
        empty = BuildGameImage(e);
    }
    for (size_t at : {AtLastLocation, AtLastShow, AtLastMessage, AtLastObject, AtVerbCount,
                      AtNounCount, AtEventCount, AtActionCount, AtVarCount}) {
        for (int16_t count : {int16_t{-2}, int16_t{-32768}}) {
            Bytes image = empty;
            PutInt16At(image, at, count);
            EXPECT_EQ(Parse(db, image), ReadResult::BadContent)
                << "count " << count << " at " << at;
            EXPECT_TRUE(Unchanged(db, before));
        }
    }
}

TEST(GameImage, AcceptsMinusOneAsAnEmptyList) {
    GameDatabase db;
    InitDb(db);
    Bytes image = BuildGameImage(db);
    PutInt16At(image, AtVerbCount, -1);
    PutInt16At(image, AtVarCount, -1);
    ASSERT_EQ(Parse(db, image), ReadResult::Ok);
    EXPECT_EQ(db.VerbCount, -1);
    EXPECT_EQ(db.VarCount, -1);
    EXPECT_TRUE(db.Verbs.empty());
    EXPECT_TRUE(db.Vars.empty());
    EXPECT_EQ(db.NounCount, 0);
}

TEST(GameImage, HeapSizeMustFitTheTextHeap) {
    GameDatabase db;
    FillSample(db);
    const Snapshot before = Snap(db);
    GameDatabase e;
    InitDb(e);
    const Bytes empty = BuildGameImage(e);

    // A heap size of 0 leaves no room for the reserved byte.
    Bytes zero = empty;
    PutUint32At(zero, AtHeapSize, 0);
    EXPECT_EQ(Parse(db, zero), ReadResult::BadContent);
    EXPECT_TRUE(Unchanged(db, before));

    // Refused for its size, though the bytes are all there.
    Bytes tooBig(empty.begin(), empty.begin() + AtHeapSize + 4);
    tooBig.resize(tooBig.size() + TextHeapSize + 1, 0);
    PutUint32At(tooBig, AtHeapSize, TextHeapSize + 1);
    EXPECT_EQ(Parse(db, tooBig), ReadResult::BadContent);
    EXPECT_TRUE(Unchanged(db, before));

    Bytes full = tooBig;
    full.pop_back();
    PutUint32At(full, AtHeapSize, TextHeapSize);
    ASSERT_EQ(Parse(db, full), ReadResult::Ok);
    EXPECT_EQ(db.TextHeapNext, TextHeapSize);
}

TEST(GameImage, RefusesTextOffsetsOutsideTheTexts) {
    using Setter = std::function<void(GameDatabase&, TextRef)>;
    const std::vector<std::pair<const char*, Setter>> fields = {
        {"location name", [](GameDatabase& d, TextRef t) { d.Locations[2].name = t; }},
        {"location picture", [](GameDatabase& d, TextRef t) { d.Locations[0].picture = t; }},
        {"location description",
         [](GameDatabase& d, TextRef t) { d.Locations[1].description = t; }},
        {"direction", [](GameDatabase& d, TextRef t) { d.Directions[9] = t; }},
        {"show text", [](GameDatabase& d, TextRef t) { d.Shows[1].text = t; }},
        {"show picture", [](GameDatabase& d, TextRef t) { d.Shows[2].picture = t; }},
        {"message", [](GameDatabase& d, TextRef t) { d.Messages[2] = t; }},
        {"system message", [](GameDatabase& d, TextRef t) { d.Sysmsg[0] = t; }},
        {"object name", [](GameDatabase& d, TextRef t) { d.Objects[0].name = t; }},
        {"object description", [](GameDatabase& d, TextRef t) { d.Objects[2].description = t; }},
    };

    GameDatabase db;
    InitDb(db);
    Text(db, "something already here");
    const Snapshot before = Snap(db);

    for (const auto& [name, set] : fields) {
        SCOPED_TRACE(name);
        GameDatabase source;
        FillSample(source);
        const TextRef lastNul = source.TextHeapNext - 1;
        // Bytes at the end of the heap image that no NUL closes.
        std::memcpy(source.TextHeap.get() + source.TextHeapNext, "tail", 4);
        source.TextHeapNext += 4;
        const uint32_t heapSize = source.TextHeapNext;

        for (TextRef bad : {heapSize, heapSize + 1000, lastNul + 1, heapSize - 1, 0xFFFFFFFFu}) {
            set(source, bad);
            EXPECT_EQ(Parse(db, BuildGameImage(source)), ReadResult::BadContent)
                << "offset " << bad;
            EXPECT_TRUE(Unchanged(db, before));
        }
        // The empty text that the last NUL closes is still a text.
        set(source, lastNul);
        GameDatabase fresh;
        InitDb(fresh);
        EXPECT_EQ(Parse(fresh, BuildGameImage(source)), ReadResult::Ok);
    }
}

// ----- Files -----

TEST_F(GameFileTest, RoundTripThroughACompressedFile) {
    GameDatabase db;
    FillSample(db);
    const std::string path = PathOf("game.umb");
    ASSERT_EQ(WriteGameFile(db, path.c_str()), WriteResult::Ok);

    const Bytes file = ReadBytes(path);
    ASSERT_GE(file.size(), 2u);
    EXPECT_EQ(file[0], 0x1F);
    EXPECT_EQ(file[1], 0x8B);
    EXPECT_FALSE(fs::exists(TempPathFor(path)));

    GameDatabase back;
    InitDb(back);
    ASSERT_EQ(ReadGameFile(back, path.c_str()), ReadResult::Ok);
    ExpectSameDatabase(db, back);
    EXPECT_EQ(TextString(back, back.Locations[1].description), "A long hall.");
    EXPECT_EQ(TextString(back, back.Objects[2].name), "a coat");
    EXPECT_EQ(FindVerb(back, "grab"), 14);
    EXPECT_EQ(FindVerb(back, "northwards"), 1);
    EXPECT_EQ(FindNoun(back, "Coat"), 2);
    EXPECT_EQ(FindVariable(back, "turns"), 2);
}

TEST_F(GameFileTest, RewritingLeavesOnlyTheGameFile) {
    GameDatabase db;
    FillSample(db);
    const std::string path = PathOf("game.umb");
    // A compile killed while writing left its temporary file behind.
    WriteBytes(TempPathFor(path), Bytes(100, 0x1F), 100);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(WriteGameFile(db, path.c_str()), WriteResult::Ok);
    std::vector<fs::path> entries(fs::directory_iterator(dir), fs::directory_iterator{});
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].filename(), "game.umb");
    GameDatabase back;
    InitDb(back);
    ASSERT_EQ(ReadGameFile(back, path.c_str()), ReadResult::Ok);
    ExpectSameDatabase(db, back);

    // The stream in the file is the image compressed, header and trailer included.
    std::vector<uint8_t> compressed;
    ASSERT_EQ(CompressGameImage(BuildGameImage(db), compressed), WriteResult::Ok);
    EXPECT_EQ(ReadBytes(path), compressed);
}

TEST_F(GameFileTest, RoundTripOfTheLargestDatabase) {
    GameDatabase db;
    InitDb(db);
    db.Locations.assign(32768, BlankLocation());
    for (size_t i = 0; i < db.Locations.size(); ++i)
        db.Locations[i].exits[i % DirectionCount] = static_cast<int16_t>(i);
    db.LastLocation = 32767;
    db.Objects.assign(32768, BlankObject());
    db.Objects.back().noun = 99;
    db.LastObject = 32767;
    db.Messages.assign(32768, NoText);
    db.LastMessage = 32767;
    db.Shows.assign(32768, ShowRecord{});
    db.LastShow = 32767;
    for (int i = 0; i < 32767; ++i) {
        const std::string word = "w" + std::to_string(i);
        AppendVerb(db, word.c_str(), word.size(), static_cast<int16_t>(i + 1));
        AppendNoun(db, word.c_str(), word.size(), static_cast<int16_t>(i + 1));
        db.Events.push_back(Line(KindAction, static_cast<int16_t>(i)));
        db.Actions.push_back(Line(KindIf, static_cast<int16_t>(-i)));
    }
    for (int i = 1; i < 32767; ++i) {
        const std::string name = "v" + std::to_string(i);
        AppendVar(db, name.c_str(), name.size());
    }
    db.EventCount = db.ActionCount = 32767;
    ASSERT_EQ(db.VarCount, 32767);
    // Fill the heap to its last byte.
    std::string text(99, 't');
    while (db.TextHeapNext + text.size() < TextHeapSize) Text(db, text.c_str());
    text.assign(TextHeapSize - db.TextHeapNext - 1, 'z');
    db.Messages[32767] = Text(db, text.c_str());
    ASSERT_EQ(db.TextHeapNext, TextHeapSize);

    const std::string path = PathOf("big.umb");
    ASSERT_EQ(WriteGameFile(db, path.c_str()), WriteResult::Ok);
    GameDatabase back;
    InitDb(back);
    ASSERT_EQ(ReadGameFile(back, path.c_str()), ReadResult::Ok);
    ExpectSameDatabase(db, back);
    EXPECT_EQ(FindVerb(back, "w32766"), 32767);
}

TEST_F(GameFileTest, ReadsAPlainUncompressedImage) {
    GameDatabase db;
    FillSample(db);
    const Bytes image = BuildGameImage(db);
    const std::string path = PathOf("plain.umb");
    WriteBytes(path, image, image.size());

    GameDatabase back;
    InitDb(back);
    ASSERT_EQ(ReadGameFile(back, path.c_str()), ReadResult::Ok);
    ExpectSameDatabase(db, back);
}

TEST_F(GameFileTest, RefusesACutOffCompressedFile) {
    GameDatabase source;
    FillSample(source);
    const std::string whole = PathOf("whole.umb");
    ASSERT_EQ(WriteGameFile(source, whole.c_str()), WriteResult::Ok);
    const Bytes file = ReadBytes(whole);

    GameDatabase db;
    InitDb(db);
    Text(db, "something already here");
    const Snapshot before = Snap(db);
    const std::string cut = PathOf("cut.umb");
    // Every cut inside the gzip stream, the trailer's checksum and length included.
    for (size_t size = 2; size < file.size(); ++size) {
        WriteBytes(cut, file, size);
        ASSERT_EQ(ReadGameFile(db, cut.c_str()), ReadResult::BadContent) << "cut at " << size;
        ASSERT_TRUE(Unchanged(db, before));
    }
}

// One gzip member holding bytes [from, to) of data, as zlib's gzip writer makes it.
Bytes GzipMember(const Bytes& data, size_t from, size_t to) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY),
              Z_OK);
    Bytes out(deflateBound(&z, static_cast<uLong>(to - from)) + 64);
    z.next_in = const_cast<Bytef*>(data.data() + from);
    z.avail_in = static_cast<uInt>(to - from);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// The whole-file inflation trusts nothing in the gzip trailer: a length or checksum that lies
// is refused as zlib refuses it, and leaves the database as it was.
TEST_F(GameFileTest, RefusesATrailerThatLies) {
    GameDatabase source;
    FillSample(source);
    const Bytes image = BuildGameImage(source);
    const Bytes good = GzipMember(image, 0, image.size());
    const size_t length = good.size() - 4;
    const size_t crc = good.size() - 8;
    const struct {
        const char* what;
        size_t at;
        uint32_t value;
    } lies[] = {
        {"length one short", length, static_cast<uint32_t>(image.size() - 1)},
        {"length one long", length, static_cast<uint32_t>(image.size() + 1)},
        {"length zero", length, 0},
        {"length past any game", length, 0xFFFFFFF0u},
        {"checksum", crc, 0x12345678u},
    };
    GameDatabase db;
    InitDb(db);
    Text(db, "something already here");
    const Snapshot before = Snap(db);
    const std::string path = PathOf("lies.umb");
    for (const auto& lie : lies) {
        Bytes file = good;
        for (int i = 0; i < 4; ++i) file[lie.at + i] = static_cast<uint8_t>(lie.value >> (8 * i));
        WriteBytes(path, file, file.size());
        EXPECT_EQ(ReadGameFile(db, path.c_str()), ReadResult::BadContent) << lie.what;
        EXPECT_TRUE(Unchanged(db, before)) << lie.what;
    }
}

// Files the writer never makes but zlib has always read: the image split over two gzip members,
// and a member followed by bytes that are not gzip.
TEST_F(GameFileTest, ReadsWhatZlibReadsBesidesOneMember) {
    GameDatabase source;
    FillSample(source);
    const Bytes image = BuildGameImage(source);
    Bytes twoMembers = GzipMember(image, 0, image.size() / 2);
    const Bytes second = GzipMember(image, image.size() / 2, image.size());
    twoMembers.insert(twoMembers.end(), second.begin(), second.end());
    Bytes trailing = GzipMember(image, 0, image.size());
    trailing.insert(trailing.end(), {'j', 'u', 'n', 'k'});
    const std::string path = PathOf("members.umb");
    for (const Bytes* file : {&twoMembers, &trailing}) {
        WriteBytes(path, *file, file->size());
        GameDatabase back;
        InitDb(back);
        ASSERT_EQ(ReadGameFile(back, path.c_str()), ReadResult::Ok);
        ExpectSameDatabase(source, back);
    }
    // The first member alone holds half an image: that is a damaged file.
    const Bytes half = GzipMember(image, 0, image.size() / 2);
    WriteBytes(path, half, half.size());
    GameDatabase back;
    InitDb(back);
    EXPECT_EQ(ReadGameFile(back, path.c_str()), ReadResult::BadContent);
}

TEST_F(GameFileTest, ReadFailsForMissingFilesAndFolders) {
    GameDatabase db;
    InitDb(db);
    EXPECT_EQ(ReadGameFile(db, PathOf("missing.umb").c_str()), ReadResult::CannotOpen);
    EXPECT_EQ(ReadGameFile(db, dir.string().c_str()), ReadResult::CannotOpen);
}

TEST_F(GameFileTest, WriteFailsInAMissingFolder) {
    GameDatabase db;
    FillSample(db);
    EXPECT_EQ(WriteGameFile(db, PathOf("no/such/folder/game.umb").c_str()), WriteResult::Failed);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(GameFileTest, FailedWriteKeepsTheEarlierFile) {
    GameDatabase old;
    InitDb(old);
    const std::string path = PathOf("game.umb");
    ASSERT_EQ(WriteGameFile(old, path.c_str()), WriteResult::Ok);
    const Bytes earlier = ReadBytes(path);
    GameDatabase db;
    FillSample(db);
    const fs::path tmp = TempPathFor(path);

    // The temporary file cannot be created.
    fs::create_directory(tmp);
    EXPECT_EQ(WriteGameFile(db, path.c_str()), WriteResult::Failed);
    EXPECT_EQ(ReadBytes(path), earlier);
    EXPECT_TRUE(fs::is_directory(tmp)) << "what the writer did not create it leaves alone";
    fs::remove(tmp);

    // The temporary file is created, but its content cannot be written: it goes, the old file
    // stays.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    rlimit small = limit;
    small.rlim_cur = 16;  // far smaller than the compressed sample
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const WriteResult failed = WriteGameFile(db, path.c_str());
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(failed, WriteResult::Failed);
    EXPECT_EQ(ReadBytes(path), earlier);
    EXPECT_FALSE(fs::exists(tmp));

    // A link left under the temporary name is removed, never written through.
    if (fs::exists("/dev/full")) {
        fs::create_symlink("/dev/full", tmp);
        EXPECT_EQ(WriteGameFile(db, path.c_str()), WriteResult::Ok);
        EXPECT_FALSE(fs::exists(fs::symlink_status(tmp)));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
    }

    // Everything is written, but the target cannot be replaced.
    const std::string folder = PathOf("folder.umb");
    fs::create_directory(folder);
    fs::create_directory(fs::path(folder) / "inside");
    EXPECT_EQ(WriteGameFile(db, folder.c_str()), WriteResult::Failed);
    EXPECT_TRUE(fs::is_directory(fs::path(folder) / "inside"));
    EXPECT_FALSE(fs::exists(TempPathFor(folder)));
}

}  // namespace
