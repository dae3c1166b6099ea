// compiler.h - the source compiler: reads an adventure source into the game database.
#pragma once

#include "base/fileio.h"
#include "db/database.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace umb::compiler {

// Diagnostic codes: 0 accepted, negative errors, positive warnings.
constexpr int DiagOk = 0;
constexpr int DiagError1 = -1;
constexpr int DiagError2 = -2;  // a text does not fit in the text heap
constexpr int DiagError3 = -3;
constexpr int DiagWarning1 = 1;
constexpr int DiagWarning2 = 2;

constexpr int MaxIncludeDepth = 16;  // include lines nested deeper than this report Error 3

enum class Section {
    None,
    System,
    Sysmsg,
    Directions,
    Shows,
    Locations,
    Objects,
    Messages,
    Verbs,
    Nouns,
    Vars,
    Events,
    Actions
};

// Where a thing stands in the sources: an index into CheckLog::files and a physical line (the
// pieces of an over-long line share theirs); file -1 means nowhere.
struct SourcePlace {
    int file = -1;
    int line = 0;
};

enum Severity { SeverityError = 0, SeverityWarning = 1, SeverityNote = 2 };

struct Finding {
    SourcePlace place;
    int severity;
    std::string reason;
};

// A word of a script line that named nothing when the line was compiled; the end of the
// compilation tells a misspelling from a word declared later.
struct UnknownWord {
    SourcePlace place;
    std::string word;
    bool condition;  // met in a condition line, where action keywords are not known
    size_t verbsBefore, nounsBefore, varsBefore;  // the word tables' sizes at the line
};

// A %name% in a text, resolved once every variable is declared.
struct TextMark {
    SourcePlace place;
    std::string name;
};

// What a checking compile records besides the database: findings and where every record and
// script line was written. Normal compiles have none, so they stay as fast as before.
struct CheckLog {
    std::vector<std::string> files;
    std::vector<Finding> findings;
    SourcePlace current;  // the line being compiled
    SourcePlace startLocation;
    SourcePlace sysmsgs[db::SysmsgCount];
    SourcePlace sysmsgHeader;
    std::vector<SourcePlace> locations, objects, messages, shows;  // by record number
    std::vector<SourcePlace> verbs, nouns, vars;                   // by list index
    std::vector<SourcePlace> events, actions;                      // by script line
    std::vector<UnknownWord> unknownWords;
    std::vector<TextMark> textMarks;
    std::vector<SourcePlace> openBlocks[2];  // openers not yet closed: events, actions
    SourcePlace locationsHeader;
    // Lines under an unknown section header, from..to of a file: the header's own finding
    // speaks for them, so findings placed there are dropped.
    struct Muted {
        int file, from, to;
    };
    std::vector<Muted> muted;
};

// Compile state shared by every file of one compilation (an included file continues it).
struct Compiler {
    db::GameDatabase* Db = nullptr;
    FILE* Out = stdout;         // where diagnostics go; nowhere when null
    bool AllowIncludes = true;  // include lines open files only when set
    int Depth = 0;              // include nesting of the file being read

    // Current record of the text-bearing sections (-1 none) and whether its text has begun.
    int CurrentShow = -1;
    int CurrentLocation = -1;
    int CurrentObject = -1;
    int CurrentMessage = -1;
    bool ShowTextBegun = false;
    bool LocationTextBegun = false;
    bool ObjectTextBegun = false;

    bool HeapFull = false;  // set when a text of the current line did not fit

    CheckLog* Check = nullptr;  // set only by the checker
};

// Reader state of one file.
struct SourceReader {
    int lineNumber = 0;
    bool scrambled = false;
    char charSet = ' ';
    Section section = Section::None;
    int result = 0;
    // Under CharSet=u: characters code page 850 lacks (shown as '?'), the first of them (-1 for
    // a byte that is no UTF-8) and its line.
    int unmapped = 0;
    int32_t firstUnmapped = -1;
    SourcePlace firstUnmappedAt;
    // For the checker: the finding of an unknown header whose lines are being read, the number
    // of those lines and the line of the first.
    int unknownHeader = -1;
    int linesUnder = 0;
    int underFrom = 0;
};

// Starts a compilation into db, which the caller has reset.
void BeginCompile(Compiler& c, db::GameDatabase& db);

// Compiles a source held in memory; path is only quoted in diagnostics. Returns -1 when an
// error was reported, 1 for warnings only, 0 when nothing was reported.
int CompileSource(Compiler& c, const char* data, size_t size, const char* path);

// Reads an open source file whole and compiles it; returns CompileSource's result, or
// ReadNotFormat (-2, codes.h) when the file cannot be read whole.
int CompileSourceFile(Compiler& c, FILE* file, const char* path);

// Prints a non-zero diagnostic with its line number, file and the offending line to c.Out, when
// there is one.
void ReportDiagnostic(const Compiler& c, const char* line, int code, int lineNumber,
                      const char* path);

// Notes a word that named nothing where the line being compiled used it, for FinishCheck to
// explain; numbers and compiles without a check log are left alone.
void NoteSkippedWord(Compiler& c, const char* word, bool condition);
// Records a finding at the line being compiled; does nothing without a check log.
void AddFinding(Compiler& c, int severity, std::string reason);
// For the checker: a field that should be a number but is not written as one ("five", "5a"); a
// blank field is the usual way to write 0. what names the field in the finding.
void CheckNumberField(Compiler& c, const char* field, const char* what);
// The edit distance of two words without regard to case, a swap of two neighbouring letters
// counting as one slip; stops early above limit (returns limit + 1).
size_t EditDistance(const std::string& a, const std::string& b, size_t limit);
// Ends a checking compile: reports unknown words (with the nearest known name, or that the name
// is declared later), blocks left open and %name% marks naming no variable. Returns 0.
int FinishCheck(Compiler& c);

// Section handlers: each takes the line as cut by the reader and returns a diagnostic code.
int HandleSystemLine(Compiler& c, SourceReader& r, char* line);
int HandleEntityLine(Compiler& c, Section section, char* line);
// A script line of the events or actions: a block word, or a statement after its control word
// (if, and, or, while; none for an action line), compiled onto the end of table.
int CompileScriptLine(Compiler& c, char* line, std::vector<db::ScriptLine>& table, int16_t& count);
// Appends a blank line of the kind and sets count to the table's size; returns DiagOk, or
// DiagError1 when the table is full.
int AppendScriptLine(db::LineKind kind, std::vector<db::ScriptLine>& table, int16_t& count);
// Compiles the statements of text ([not] keyword [operand [operand]] ...) into one new line of
// the kind; returns a diagnostic code, DiagWarning2 (nothing appended) when text is blank.
int CompileStatement(Compiler& c, const char* text, db::LineKind kind,
                     std::vector<db::ScriptLine>& table, int16_t& count);

// Fields of a record line are split at commas: each call returns the next field (NUL-cut in
// place) or nullptr when no field is left.
struct FieldSplitter {
    char* next;  // nullptr once the last field was returned
};
char* SplitField(FieldSplitter& s);

// Reads a decimal number as the C library does (blanks, sign, digits; none gives 0),
// saturating far outside the 16-bit range so callers can check it.
long ReadNumber(const char* text);

// Reads a number for a 16-bit field without a range of its own: the decimal number read as
// ReadNumber reads it, but with all its digits, kept to its low 16 bits in two's complement
// (65535 gives -1, 65600 gives 64, -65535 gives 1). When given, written is set to whether the
// number as written is other than 0, which its 16 bits alone cannot tell (65536 gives 0).
int16_t ReadNumber16(const char* text, bool* written = nullptr);

// Stores a text and notes when it did not fit, so the line reports Error 2.
db::TextRef StoreSourceText(Compiler& c, const char* text, bool continuePrevious);

}  // namespace umb::compiler
