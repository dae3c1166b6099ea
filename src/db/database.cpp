// database.cpp - empty the game database, store texts in the heap, grow tables, look up words.
#include "db/database.h"

#include "base/nocase.h"

#include <cstring>
#include <new>

using namespace umb::base;

namespace umb::db {

const char VarPlaceholder[WordLength] = {'^', 'f', 'o', 'o', 'b', 'a', 'r', '^'};

DbResult AllocateTextHeap(GameDatabase& db) {
    db.TextHeap.reset(new (std::nothrow) char[TextHeapSize]);
    if (!db.TextHeap) return DbResult::NoMemory;
    std::memset(db.TextHeap.get(), 0, TextHeapSize);
    db.TextHeapNext = 1;
    return DbResult::Ok;
}

DbResult ResetDatabase(GameDatabase& db) {
    db.Locations.clear();
    db.Objects.clear();
    db.Messages.clear();
    db.Shows.clear();
    db.Verbs.clear();
    db.Nouns.clear();
    db.Vars.clear();
    db.Events.clear();
    db.Actions.clear();
    db.LastLocation = db.LastObject = db.LastMessage = db.LastShow = -1;
    db.VerbCount = db.NounCount = db.EventCount = db.ActionCount = db.VarCount = 0;
    // The heap is emptied below, so no text reference may survive: a direction kept from before
    // would name bytes of whatever is stored next, or lie past the heap's end.
    for (TextRef& t : db.Sysmsg) t = NoText;
    for (TextRef& t : db.Directions) t = NoText;
    db.TextHeapNext = 1;
    if (db.TextHeap) db.TextHeap[0] = '\0';
    db.StartLocation = 1;
    db.MaxItems = 5;
    db.YesLetter = 'y';
    db.NoLetter = 'n';
    std::memset(db.Prompt, 0, sizeof db.Prompt);
    db.Prompt[0] = '>';
    db.ShowExits = 1;
    std::memset(db.ImagePath, 0, sizeof db.ImagePath);
    std::memset(db.Title, 0, sizeof db.Title);
    std::memset(db.StatusLine, 0, sizeof db.StatusLine);
    db.BgColor = 0;
    db.FgColor = 15;
    db.VerbIndex.first.clear();
    db.NounIndex.first.clear();
    db.VarIndex.first.clear();
    return DbResult::Ok;
}

TextRef StoreText(GameDatabase& db, const char* text, size_t len, bool continuePrevious) {
    char* heap = db.TextHeap.get();
    if (heap == nullptr) return NoText;
    uint32_t at = db.TextHeapNext;
    uint32_t joinedNul = 0;  // where the NUL of the text being continued stands, 0 when none
    if (continuePrevious && db.TextHeapNext > 1) {
        joinedNul = db.TextHeapNext - 1;
        // A backslash before the joint keeps itself and takes no space; the split marker goes.
        const auto before = static_cast<unsigned char>(joinedNul > 0 ? heap[joinedNul - 1] : 0);
        if (before == '\\')
            at = joinedNul;
        else if (before == 0xFF && joinedNul >= 2)
            at = joinedNul - 1;
        else
            at = joinedNul + 1;
    }
    if (static_cast<uint64_t>(at) + len >= TextHeapSize) return NoText;
    if (joinedNul != 0) heap[joinedNul] = ' ';
    std::memcpy(heap + at, text, len);
    heap[at + len] = '\0';
    db.TextHeapNext = at + static_cast<uint32_t>(len) + 1;
    return at;
}

const char* TextOf(const GameDatabase& db, TextRef ref) {
    if (ref == NoText || ref >= TextHeapSize || !db.TextHeap) return nullptr;
    return db.TextHeap.get() + ref;
}

void GrowLocations(GameDatabase& db, int number) {
    if (number <= db.LastLocation) return;
    db.Locations.resize(static_cast<size_t>(number) + 1, BlankLocation());
    db.LastLocation = static_cast<int16_t>(number);
}

void GrowObjects(GameDatabase& db, int number) {
    if (number <= db.LastObject) return;
    db.Objects.resize(static_cast<size_t>(number) + 1, BlankObject());
    db.LastObject = static_cast<int16_t>(number);
}

void GrowMessages(GameDatabase& db, int number) {
    if (number <= db.LastMessage) return;
    db.Messages.resize(static_cast<size_t>(number) + 1, NoText);
    db.LastMessage = static_cast<int16_t>(number);
}

void GrowShows(GameDatabase& db, int number) {
    if (number <= db.LastShow) return;
    db.Shows.resize(static_cast<size_t>(number) + 1, ShowRecord{});
    db.LastShow = static_cast<int16_t>(number);
}

// Copies the first 8 characters of a word into a record field, NUL-padded.
static void CopyWord(char (&dst)[WordLength], const char* word, size_t len) {
    std::memset(dst, 0, WordLength);
    std::memcpy(dst, word, len < WordLength ? len : WordLength);
}

// Remembers a record under its word unless an earlier record already holds that word.
static void IndexWord(WordIndex& index, const char (&word)[WordLength], size_t position) {
    char key[WordLength + 1];
    std::memcpy(key, word, WordLength);
    key[WordLength] = '\0';
    index.first.try_emplace(WordKey(key), static_cast<int32_t>(position));
}

static DbResult AppendWord(std::vector<WordRecord>& table, int16_t& count, WordIndex& index,
                           const char* word, size_t len, int16_t number) {
    if (table.size() >= MaxListRecords) return DbResult::TableFull;
    WordRecord r{};
    CopyWord(r.word, word, len);
    r.number = number;
    table.push_back(r);
    IndexWord(index, r.word, table.size() - 1);
    count = static_cast<int16_t>(table.size());
    return DbResult::Ok;
}

DbResult AppendVerb(GameDatabase& db, const char* word, size_t len, int16_t number) {
    return AppendWord(db.Verbs, db.VerbCount, db.VerbIndex, word, len, number);
}

DbResult AppendNoun(GameDatabase& db, const char* word, size_t len, int16_t number) {
    return AppendWord(db.Nouns, db.NounCount, db.NounIndex, word, len, number);
}

DbResult AppendVar(GameDatabase& db, const char* name, size_t len) {
    if (db.Vars.empty()) {
        VarRecord placeholder{};
        std::memcpy(placeholder.name, VarPlaceholder, WordLength);
        db.Vars.push_back(placeholder);
        IndexWord(db.VarIndex, placeholder.name, 0);
    }
    if (db.Vars.size() >= MaxListRecords) return DbResult::TableFull;
    VarRecord r{};
    CopyWord(r.name, name, len);
    db.Vars.push_back(r);
    IndexWord(db.VarIndex, r.name, db.Vars.size() - 1);
    db.VarCount = static_cast<int16_t>(db.Vars.size());
    return DbResult::Ok;
}

static int Lookup(const WordIndex& index, const char* word) {
    const auto it = index.first.find(WordKey(word));
    return it == index.first.end() ? -1 : it->second;
}

int FindVerb(const GameDatabase& db, const char* word) {
    const int i = Lookup(db.VerbIndex, word);
    return i < 0 ? 0 : db.Verbs[static_cast<size_t>(i)].number;
}

int FindNoun(const GameDatabase& db, const char* word) {
    const int i = Lookup(db.NounIndex, word);
    return i < 0 ? 0 : db.Nouns[static_cast<size_t>(i)].number;
}

int FindVariable(const GameDatabase& db, const char* name) {
    const int i = Lookup(db.VarIndex, name);
    return i < 0 ? 0 : i;
}

void RebuildIndexes(GameDatabase& db) {
    db.VerbIndex.first.clear();
    db.NounIndex.first.clear();
    db.VarIndex.first.clear();
    // Sized at once: growing by rehashing took a tenth of loading the largest games.
    db.VerbIndex.first.reserve(db.Verbs.size());
    db.NounIndex.first.reserve(db.Nouns.size());
    db.VarIndex.first.reserve(db.Vars.size());
    for (size_t i = 0; i < db.Verbs.size(); ++i) IndexWord(db.VerbIndex, db.Verbs[i].word, i);
    for (size_t i = 0; i < db.Nouns.size(); ++i) IndexWord(db.NounIndex, db.Nouns[i].word, i);
    for (size_t i = 0; i < db.Vars.size(); ++i) IndexWord(db.VarIndex, db.Vars[i].name, i);
}

}  // namespace umb::db
