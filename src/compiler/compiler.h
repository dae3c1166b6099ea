// compiler.h - the source compiler: reads an adventure source into the game database.
//
// What its callers use: the compile state, the entry points and the checker's log. The reader's
// own steps are in reader.h.
#pragma once

#include "base/fileio.h"
#include "db/database.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace umb::compiler {

constexpr int MaxIncludeDepth = 16;  // include lines nested deeper than this report Error 3

// Where a thing stands in the sources: an index into CheckLog::files and a physical line (the
// pieces of an over-long line share theirs); file -1 means nowhere.
struct SourcePlace {
    int file = -1;
    int line = 0;
};

enum Severity { SeverityError = 0, SeverityWarning = 1, SeverityNote = 2 };

struct Finding {
    SourcePlace place;
    Severity severity;
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

// Where a compile reads its included files when not from the disk: the language server hands
// it the texts an editor holds unsaved. read gets the name as written after '@' and returns
// whether it found the file, its whole text in text.
struct IncludeSource {
    bool (*read)(void* context, const char* name, std::string& text);
    void* context;
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
    const IncludeSource* Includes = nullptr;  // null: included files are read from the disk
};

// Starts a compilation into db, which the caller has reset.
void BeginCompile(Compiler& c, db::GameDatabase& db);

// What a compilation reports: whether any diagnostic was errors or warnings only, or that the
// source could not be read at all (CompileSourceFile).
enum class CompileResult : int { Errors = -1, Clean = 0, Warnings = 1, Unreadable = -2 };

// Compiles a source held in memory; path is only quoted in diagnostics. Returns Errors when an
// error was reported, Warnings for warnings only, Clean when nothing was reported.
CompileResult CompileSource(Compiler& c, const char* data, size_t size, const char* path);

// Reads an open source file whole and compiles it; returns CompileSource's result, or
// Unreadable when the file cannot be read whole.
CompileResult CompileSourceFile(Compiler& c, FILE* file, const char* path);

// Ends a checking compile: reports unknown words (with the nearest known name, or that the name
// is declared later), blocks left open and %name% marks naming no variable.
void FinishCheck(Compiler& c);

}  // namespace umb::compiler
