// reader.h - the compiler's own steps: sections, diagnostics and the line handlers.
#pragma once

#include "compiler/compiler.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace umb::compiler {

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

// A section header as the source writes it ("[Locations]"), and the section it makes current.
struct SectionHeader {
    const char* text;
    Section section;
};
// The thirteen headers, in the order the reader tries them.
std::span<const SectionHeader> SectionHeaders();

// The [System] keys with their '=', in the order the reader tries them.
constexpr size_t SystemKeyCount = 11;
extern const char* const SystemKeys[SystemKeyCount];

// What a line's handler reports: Ok, or the diagnostic the line gets. Several share the number
// that the message shows (DiagnosticNumber): errors 1 to 3, warnings 1 and 2.
enum class Diagnostic {
    Ok,
    // Error 1.
    UnknownHeader,     // a line starts with '[' but names no section
    TableFull,         // a vocabulary or script table holds its most entries
    IncludeHasErrors,  // on the '@' line of an included file that has errors
    // Error 2.
    HeapFull,  // a text does not fit in the text heap
    // Error 3.
    CannotInclude,  // an included file cannot be read, or includes nest too deep
    // Warning 1.
    NoSection,           // a line before any section header
    NotRecordLine,       // a line of a section that takes only record lines (#number,...)
    NumberOutOfRange,    // a record number outside its section's range
    NoRecordOpen,        // a text line with no record before it
    UnknownKey,          // a [System] line with a key that is not known
    ValueRefused,        // a [System] value that is refused; the earlier one stays
    IncludeHasWarnings,  // on the '@' line of an included file that has warnings
    // Warning 2.
    MissingField,  // a record line without a required field
    NoStatement,   // a script line without a statement
};

// The number a diagnostic shows: negative for an error (Error 1 is -1), positive for a warning,
// 0 for Ok.
int DiagnosticNumber(Diagnostic code);

// Reader state of one file.
struct SourceReader {
    int lineNumber = 0;
    bool scrambled = false;
    char charSet = ' ';
    Section section = Section::None;
    CompileResult result = CompileResult::Clean;
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

// Prints a diagnostic other than Ok with its number, line number, file and the offending line to
// c.Out, when there is one.
void ReportDiagnostic(const Compiler& c, const char* line, Diagnostic code, int lineNumber,
                      const char* path);

// Notes a word that named nothing where the line being compiled used it, for FinishCheck to
// explain; numbers and compiles without a check log are left alone.
void NoteSkippedWord(Compiler& c, const char* word, bool condition);
// Records a finding at the line being compiled; does nothing without a check log.
void AddFinding(Compiler& c, Severity severity, std::string reason);
// For the checker: a field that should be a number but is not written as one ("five", "5a"); a
// blank field is the usual way to write 0. what names the field in the finding.
void CheckNumberField(Compiler& c, const char* field, const char* what);
// The edit distance of two words without regard to case, a swap of two neighbouring letters
// counting as one slip; stops early above limit (returns limit + 1).
size_t EditDistance(const std::string& a, const std::string& b, size_t limit);

// Section handlers: each takes the line as cut by the reader and returns its diagnostic.
Diagnostic HandleSystemLine(Compiler& c, SourceReader& r, char* line);
Diagnostic HandleEntityLine(Compiler& c, Section section, char* line);
// A script line of the events or actions: a block word, or a statement after its control word
// (if, and, or, while; none for an action line), compiled onto the end of table.
Diagnostic CompileScriptLine(Compiler& c, char* line, std::vector<db::ScriptLine>& table,
                             int16_t& count);
// Appends a blank line of the kind and sets count to the table's size; returns Ok, or TableFull.
Diagnostic AppendScriptLine(db::LineKind kind, std::vector<db::ScriptLine>& table, int16_t& count);
// Compiles the statements of text ([not] keyword [operand [operand]] ...) into one new line of
// the kind; returns its diagnostic, NoStatement (nothing appended) when text is blank.
Diagnostic CompileStatement(Compiler& c, const char* text, db::LineKind kind,
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
