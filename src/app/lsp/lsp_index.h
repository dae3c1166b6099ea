// lsp_index.h - one game as the language server knows it: its files, the checker's findings and
// every number and word of the sources that names something of the game.
#pragma once

#include "app/workbench.h"
#include "compiler/compiler.h"
#include "db/database.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace umb::lsp {

// What a number or word of a source names.
enum class Names : int {
    Location,
    Object,
    Message,
    Sysmsg,
    Show,
    Verb,
    Noun,
    Variable,
    Statement,  // a statement keyword; word holds it, value 1 for an action line's
    Control,    // a control or block word (if, then, {, end, ...)
};

// One number or word of a source that names something: where it stands, what it names (a record
// number, a verb or noun number, a variable's index) and whether this is where that is defined.
struct Occurrence {
    int file = 0;               // index into GameIndex::files
    int line = 0;               // from 0, as editors count
    size_t begin = 0, end = 0;  // bytes of the line
    Names names = Names::Location;
    int value = 0;
    bool definition = false;
    bool word = false;  // written as a word (a verb, noun or variable name), not as a number
};

// A section header of a file, for the outline.
struct SectionMark {
    int line = 0;
    std::string header;  // as written, up to its ']'
};

// A source file of the game, as compiled: an open document's text or the disk's.
struct IndexedFile {
    std::string path;  // absolute
    std::string text;
    std::vector<size_t> lineStarts;  // byte offset of each line
    std::vector<SectionMark> sections;
    bool scrambled = false;  // ROT13 files are checked but not indexed
};

// The whole game behind a document: compiled and checked, then indexed.
struct GameIndex {
    std::string root;    // the game's source, absolute
    std::string folder;  // where the game runs: included files and pictures are found from it
    db::GameDatabase db;
    compiler::CheckLog log;
    std::vector<IndexedFile> files;
    std::vector<int> fileOfLog;  // CheckLog file index -> files index
    std::vector<Occurrence> occurrences;
    bool scanned = false;  // occurrences are found when first asked for
};

// Reads a source file's text for a compile: an open document's, else the disk's. Returns whether
// the file could be read.
struct TextProvider {
    bool (*read)(void* context, const std::string& path, std::string& text);
    void* context;
};

// Compiles and checks the game whose source is root and indexes its files; the texts come from
// texts. Returns nullptr when the root cannot be read.
// Pictures are decoded only when they changed since a check that kept its verdicts in pictures.
std::unique_ptr<GameIndex> BuildGameIndex(const std::string& root, const TextProvider& texts,
                                          app::PictureCache& pictures);

// Finds the occurrences of the game's files, once: diagnostics need only the check, so a change
// is published before its sources are scanned.
void ScanGame(GameIndex& g);

// A line of an indexed file, without its line end ("" past the last).
std::string_view LineOf(const IndexedFile& f, int line);
// The index of a file of the game by its absolute path, -1 when it is none of them.
int FileIndexOf(const GameIndex& g, const std::string& path);

// The occurrence at a position (line from 0, byte of the line), or nullptr.
const Occurrence* OccurrenceAt(const GameIndex& g, int file, int line, size_t byte);
// Whether two occurrences name the same thing: the same record or number, or the same word
// (8 characters significant, any case) of the same kind.
bool SameThing(const GameIndex& g, const Occurrence& a, const Occurrence& b);
// The text of an occurrence as written.
std::string_view TextOf(const GameIndex& g, const Occurrence& o);

// A text of the game's database as UTF-8: kept when it already is, else read as code page 850.
std::string GameText(const db::GameDatabase& db, db::TextRef ref);
// A text cut after so many characters (not bytes), with "..." when cut.
std::string CutText(std::string text, size_t characters);
// A word of the vocabulary or a variable name, without its padding.
std::string WordOf(const char (&word)[db::WordLength]);

}  // namespace umb::lsp
