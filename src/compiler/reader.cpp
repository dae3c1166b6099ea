// reader.cpp - source reader: pieces of lines, scrambling, comments, includes, headers, [System].
#include "compiler/reader.h"
#include "base/codepage.h"
#include "base/fileio.h"
#include "base/nocase.h"

#include <cstring>
#include <string>

using namespace umb::base;
using namespace umb::db;

namespace umb::compiler {

namespace {

// Sources are read whole; the cap only keeps a stray huge file from exhausting memory.
constexpr size_t MaxSourceFileSize = size_t{256} << 20;
constexpr size_t PieceLimit = 510;  // characters of a line held at once; longer lines split
constexpr char SplitMarker = static_cast<char>(0xFF);
const char ScrambleMarker[] = "\x15"
                              "crypt"
                              "\x15";

const SectionHeader Headers[] = {
    {"[System]", Section::System},
    {"[Sysmsg]", Section::Sysmsg},
    {"[Directions]", Section::Directions},
    {"[Intro]", Section::Shows},
    {"[Shows]", Section::Shows},
    {"[Locations]", Section::Locations},
    {"[Objects]", Section::Objects},
    {"[Messages]", Section::Messages},
    {"[Verbs]", Section::Verbs},
    {"[Nouns]", Section::Nouns},
    {"[Vars]", Section::Vars},
    {"[Events]", Section::Events},
    {"[Actions]", Section::Actions},
};

// Windows code page 1252 accented letters and signs, with their code page 850 values.
unsigned char ConvertCharSet(unsigned char c) {
    switch (c) {
    case 0xE0: return 0x85;
    case 0xE8: return 0x8A;
    case 0xEC: return 0x8D;
    case 0xF2: return 0x95;
    case 0xF9: return 0x97;
    case 0xE9: return 0x82;
    case 0xE7: return 0x87;
    case 0xB0: return 0xF8;
    case 0xA7: return 0xF5;
    case 0xA3: return 0x9C;
    default: return c;
    }
}

char Rot13(char c) {
    if ((c >= 'a' && c <= 'm') || (c >= 'A' && c <= 'M')) return static_cast<char>(c + 13);
    if ((c >= 'n' && c <= 'z') || (c >= 'N' && c <= 'Z')) return static_cast<char>(c - 13);
    return c;
}

bool IsBlankLine(const char* s) {
    for (; *s != '\0'; ++s)
        if (*s != ' ' && *s != '\t') return false;
    return true;
}

// Copies the next piece of a line into buf: up to and including the line end, at most 510
// characters; a piece that fills the buffer without a line end gets the split marker, and
// split tells that the line goes on in the next piece. With wholeUtf8 a piece never ends inside
// a UTF-8 character: it ends before the character instead. Returns the bytes consumed.
size_t NextPiece(const char* data, size_t size, size_t pos, char (&buf)[512], bool& split,
                 bool wholeUtf8) {
    size_t n = 0;
    bool lineEnd = false;
    while (pos + n < size && n < PieceLimit) {
        const char ch = data[pos + n];
        buf[n++] = ch;
        if (ch == '\n') {
            lineEnd = true;
            break;
        }
    }
    split = !lineEnd && n == PieceLimit;
    if (split && wholeUtf8 && pos + n < size) {
        size_t back = n;
        // At most three continuation bytes follow a lead byte.
        while (back > n - 4 && (static_cast<unsigned char>(data[pos + back]) & 0xC0) == 0x80)
            --back;
        if ((static_cast<unsigned char>(data[pos + back]) & 0xC0) != 0x80) n = back;
    }
    size_t len = n;
    if (split) buf[len++] = SplitMarker;
    buf[len] = '\0';
    return n;
}

// Turns a piece of a UTF-8 source into code page 850 in place; characters the code page lacks,
// and bytes that are no UTF-8, become '?' and are counted in r. A split marker at the end stays.
void ConvertUtf8(char* buf, bool split, SourceReader& r, const Compiler& c) {
    size_t n = std::strlen(buf);
    const bool marker = split && n > 0 && buf[n - 1] == SplitMarker;
    if (marker) --n;
    size_t out = 0;
    for (size_t i = 0; i < n;) {
        const auto* p = reinterpret_cast<const unsigned char*>(buf + i);
        if (*p < 0x80) {
            buf[out++] = buf[i++];
            continue;
        }
        int32_t cp = -1;
        const int used = Utf8Character(p, n - i, &cp);
        i += used > 0 ? static_cast<size_t>(used) : n - i;
        const int byte = cp > 0 ? UnicodeToCp850(static_cast<uint32_t>(cp)) : 0;
        buf[out++] = static_cast<char>(byte != 0 ? byte : '?');
        if (byte != 0) continue;
        if (r.unmapped++ == 0) {
            r.firstUnmapped = cp;
            if (c.Check != nullptr) r.firstUnmappedAt = c.Check->current;
        }
    }
    if (marker) buf[out++] = SplitMarker;
    buf[out] = '\0';
}

Diagnostic CompileInclude(Compiler& c, const char* name) {
    if (!c.AllowIncludes || c.Depth >= MaxIncludeDepth) return Diagnostic::CannotInclude;
    std::string text;
    if (c.Includes != nullptr) {
        if (!c.Includes->read(c.Includes->context, name, text)) return Diagnostic::CannotInclude;
    } else {
        FILE* file = std::fopen(name, "r");
        if (file == nullptr) return Diagnostic::CannotInclude;
        const ReadResult read = ReadWholeFile(file, text, MaxSourceFileSize);
        std::fclose(file);
        if (read != ReadResult::Ok) return Diagnostic::CannotInclude;
    }
    ++c.Depth;
    const CompileResult result = CompileSource(c, text.data(), text.size(), name);
    --c.Depth;
    if (result == CompileResult::Errors) return Diagnostic::IncludeHasErrors;
    return result == CompileResult::Warnings ? Diagnostic::IncludeHasWarnings : Diagnostic::Ok;
}

Diagnostic HandleLine(Compiler& c, SourceReader& r, char* line) {
    GameDatabase& db = *c.Db;
    switch (r.section) {
    case Section::None: return Diagnostic::NoSection;
    case Section::System: return HandleSystemLine(c, r, line);
    case Section::Events: return CompileScriptLine(c, line, db.Events, db.EventCount);
    case Section::Actions: return CompileScriptLine(c, line, db.Actions, db.ActionCount);
    default: return HandleEntityLine(c, r.section, line);
    }
}

const char* SectionName(Section section) {
    for (const SectionHeader& h : Headers)
        if (h.section == section) return h.text;
    return "no section";
}

// The diagnostic in words, for the checker: what the section's handler refused in the line.
std::string DiagnosticReason(Section section, Diagnostic code, const char* line) {
    if (code == Diagnostic::HeapFull) return "the text does not fit in the text heap";
    if (line[0] == '@') {
        if (code == Diagnostic::CannotInclude)
            return std::string("cannot include \"") + (line + 1) + "\"";
        return "the included file has findings";
    }
    if (line[0] == '[') return std::string("section header \"") + line + "\" is not known";
    const std::string where = SectionName(section);
    switch (section) {
    case Section::None: return "a line before any section header";
    case Section::System: {
        const char* eq = std::strchr(line, '=');
        const std::string key(line, eq != nullptr ? static_cast<size_t>(eq - line + 1)
                                                  : std::strlen(line));
        for (const char* k : SystemKeys)
            if (CompareNoCaseN(line, k, std::strlen(k)) == 0)
                return where + " value of \"" + k + "\" is refused";
        return where + " key \"" + key + "\" is not known";
    }
    case Section::Events:
    case Section::Actions:
        return code == Diagnostic::TableFull ? where + " the script table is full"
                                             : where + " the line has no statement";
    case Section::Vars: return where + " the variable table is full";
    default: break;
    }
    if (code == Diagnostic::TableFull) return where + " the word table is full";
    if (code == Diagnostic::MissingField) return where + " the record line lacks a field";
    if (line[0] == '#') return where + " the record number is out of range";
    if (section == Section::Sysmsg || section == Section::Directions || section == Section::Verbs ||
        section == Section::Nouns)
        return where + " a line that is not a record line (#number,...)";
    return where + " a text line with no record before it";
}

// What a [System] line accepted but reads otherwise than its author likely meant.
void NoteSetting(Compiler& c, const char* line) {
    auto key = [line](const char* k) { return CompareNoCaseN(line, k, std::strlen(k)) == 0; };
    const char* eq = std::strchr(line, '=');
    if (eq == nullptr) return;
    const char* value = eq + 1;
    if (key("StartLocation=")) c.Check->startLocation = c.Check->current;
    if (key("BgColor=") || key("FgColor=")) CheckNumberField(c, value, "the colour");
    auto letter = [](char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); };
    const size_t n = std::strlen(value);
    if (key("Boolean=") && n >= 2 && (n > 2 || !letter(value[0]) || !letter(value[1])))
        AddFinding(c, SeverityWarning,
                   "Boolean= takes two letters, the yes letter then the no letter (\"yn\"): \"" +
                       std::string(value) + "\" makes '" + value[0] + "' yes and '" + value[1] +
                       "' no");
}

// Notes the %name% marks of a text line, by which texts name variables; %% is a percent sign.
void NoteTextMarks(Compiler& c, const char* line) {
    CheckLog& k = *c.Check;
    for (const char* p = std::strchr(line, '%'); p != nullptr; p = std::strchr(p + 1, '%')) {
        if (p[1] == '%') {
            ++p;
            continue;
        }
        const char* close = std::strchr(p + 1, '%');
        if (close == nullptr) {
            AddFinding(c, SeverityWarning,
                       "\"" + std::string(p, strnlen(p, 12)) +
                           "\" has no closing \"%\": the text ends there (write %% for a "
                           "percent sign)");
            break;
        }
        k.textMarks.push_back({k.current, std::string(p + 1, static_cast<size_t>(close - p - 1))});
        p = close;
    }
}

// Remembers where the record or script line the line just made was written.
void NotePlaces(Compiler& c, const SourceReader& r, const char* line) {
    CheckLog& k = *c.Check;
    GameDatabase& db = *c.Db;
    auto at = [&](std::vector<SourcePlace>& v, int n) {
        if (n < 0) return;
        if (v.size() <= static_cast<size_t>(n)) v.resize(static_cast<size_t>(n) + 1);
        v[static_cast<size_t>(n)] = k.current;
    };
    auto grown = [&](std::vector<SourcePlace>& v, size_t size) {
        while (v.size() < size) v.push_back(k.current);
    };
    const bool header = line[0] == '#';
    switch (r.section) {
    case Section::System: NoteSetting(c, line); break;
    case Section::Sysmsg:
        if (header) {
            const long n = ReadNumber(line + 1);
            if (n >= 0 && n < SysmsgCount) k.sysmsgs[n] = k.current;
        }
        break;
    case Section::Shows:
        if (header) at(k.shows, c.CurrentShow);
        break;
    case Section::Locations:
        if (header) at(k.locations, c.CurrentLocation);
        break;
    case Section::Objects:
        if (header) at(k.objects, c.CurrentObject);
        break;
    case Section::Messages:
        if (header) at(k.messages, c.CurrentMessage);
        break;
    case Section::Verbs: grown(k.verbs, db.Verbs.size()); break;
    case Section::Nouns: grown(k.nouns, db.Nouns.size()); break;
    case Section::Vars: grown(k.vars, db.Vars.size()); break;
    case Section::Events: grown(k.events, db.Events.size()); break;
    case Section::Actions: grown(k.actions, db.Actions.size()); break;
    default: break;
    }
    if (r.section == Section::Events || r.section == Section::Actions ||
        r.section == Section::Verbs || r.section == Section::Nouns || r.section == Section::Vars)
        return;
    NoteTextMarks(c, line);
}

// Copies at most size-1 characters of a value into a NUL-padded setting.
template <size_t N> void SetText(char (&dst)[N], const char* value) {
    std::memset(dst, 0, N);
    std::strncpy(dst, value, N - 1);
}

// Reads a number setting; returns Ok when it is usable (in 16 bits and not rejected).
Diagnostic ReadSettingNumber(const char* value, long low, long high, bool allowZero, int16_t& out) {
    const long v = ReadNumber(value);
    if (v < low || v > high || (!allowZero && v == 0)) return Diagnostic::ValueRefused;
    out = static_cast<int16_t>(v);
    return Diagnostic::Ok;
}

const char* ReaderHeaderName(const char* line) {
    for (const SectionHeader& h : Headers)
        if (CompareNoCaseN(line, h.text, std::strlen(h.text)) == 0) return h.text;
    return nullptr;
}

// The known header nearest to an unknown one, or nullptr when none is near enough to be a slip.
const char* NearestHeader(const char* line) {
    const char* close = std::strchr(line, ']');
    const std::string name(line + 1, close != nullptr ? static_cast<size_t>(close - line - 1)
                                                      : std::strlen(line + 1));
    const size_t limit = name.size() <= 4 ? 1 : 2;
    const char* best = nullptr;
    size_t bestDistance = limit + 1;
    for (const SectionHeader& h : Headers) {
        const std::string known(h.text + 1, std::strlen(h.text) - 2);
        const size_t d = EditDistance(name, known, limit);
        if (d < bestDistance) {
            bestDistance = d;
            best = h.text;
        }
    }
    return best;
}

// Closes the stretch of lines under an unknown header, which ends at line last: they are muted,
// and the header's finding says what became of them.
void EndUnknownHeader(Compiler& c, SourceReader& r, int last) {
    CheckLog& k = *c.Check;
    if (r.unknownHeader < 0) return;
    Finding& f = k.findings[static_cast<size_t>(r.unknownHeader)];
    if (r.linesUnder > 0) {
        const std::string lines =
            r.linesUnder == 1 ? "the line below it is"
                              : "the " + std::to_string(r.linesUnder) + " lines below it are";
        f.reason += "; " + lines +
                    (r.section == Section::None
                         ? std::string(" ignored")
                         : std::string(" read as ") + SectionName(r.section) + " lines");
        k.muted.push_back({k.current.file, r.underFrom, last});
    }
    f.reason += " [Error 1]";
    r.unknownHeader = -1;
}

// A header line: makes its section current, or reports an unknown one (the section stays).
Diagnostic HandleHeader(Compiler& c, SourceReader& r, const char* buf) {
    const char* known = ReaderHeaderName(buf);
    if (c.Check != nullptr) {
        EndUnknownHeader(c, r, c.Check->current.line - 1);
        if (known == nullptr) {
            std::string reason = std::string("section header \"") + buf + "\" is not known";
            if (const char* near = NearestHeader(buf))
                reason += std::string(" (did you mean \"") + near + "\"?)";
            AddFinding(c, SeverityError, std::move(reason));
            r.unknownHeader = static_cast<int>(c.Check->findings.size()) - 1;
            r.linesUnder = 0;
        }
    }
    if (known == nullptr) return Diagnostic::UnknownHeader;
    for (const SectionHeader& h : Headers) {
        if (h.text != known) continue;
        r.section = h.section;
        if (c.Check != nullptr && h.section == Section::Sysmsg)
            c.Check->sysmsgHeader = c.Check->current;
        if (c.Check != nullptr && h.section == Section::Locations &&
            c.Check->locationsHeader.file < 0)
            c.Check->locationsHeader = c.Check->current;
    }
    return Diagnostic::Ok;
}

// Compiles one piece that is neither a comment nor blank, and reports what its handler said.
void CompilePiece(Compiler& c, SourceReader& r, char* buf, const char* path) {
    Diagnostic code = Diagnostic::Ok;
    const bool header = buf[0] == '[';
    if (header) {
        code = HandleHeader(c, r, buf);
    } else {
        if (c.Check != nullptr && r.unknownHeader >= 0 && r.linesUnder++ == 0)
            r.underFrom = c.Check->current.line;
        if (buf[0] == '@') {
            code = CompileInclude(c, buf + 1);
        } else {
            c.HeapFull = false;
            code = HandleLine(c, r, buf);
            if (c.HeapFull) code = Diagnostic::HeapFull;
            if (c.Check != nullptr) NotePlaces(c, r, buf);
        }
    }
    if (code != Diagnostic::Ok && c.Check != nullptr && !header) {
        // The line was cut in place by its handler; the reason is read from the source.
        // An include that fails as a whole repeats what its own lines already said.
        const int number = DiagnosticNumber(code);
        Severity severity = number < 0 ? SeverityError : SeverityWarning;
        if (buf[0] == '@' && code != Diagnostic::CannotInclude) severity = SeverityNote;
        std::string reason = DiagnosticReason(r.section, code, buf);
        reason += number < 0 ? " [Error " + std::to_string(-number) + "]"
                             : " [Warning " + std::to_string(number) + "]";
        AddFinding(c, severity, std::move(reason));
    }
    if (code != Diagnostic::Ok) {
        ReportDiagnostic(c, buf, code, r.lineNumber, path);
        if (DiagnosticNumber(code) < 0) r.result = CompileResult::Errors;
        if (r.result == CompileResult::Clean) r.result = CompileResult::Warnings;
    }
}

// The character itself (as UTF-8) and its code point, for a finding.
std::string CharacterName(int32_t cp) {
    if (cp < 0) return "a byte that is not UTF-8";
    char utf8[5] = {};
    const auto u = static_cast<uint32_t>(cp);
    if (u < 0x800) {
        utf8[0] = static_cast<char>(0xC0 | (u >> 6));
        utf8[1] = static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        utf8[0] = static_cast<char>(0xE0 | (u >> 12));
        utf8[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        utf8[2] = static_cast<char>(0x80 | (u & 0x3F));
    } else {
        utf8[0] = static_cast<char>(0xF0 | (u >> 18));
        utf8[1] = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
        utf8[2] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        utf8[3] = static_cast<char>(0x80 | (u & 0x3F));
    }
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(u));
    return std::string("\"") + utf8 + "\" (" + code + ")";
}

// The position of the first character above ASCII when all of data is valid UTF-8 and has one;
// size otherwise.
size_t FirstUtf8Character(const char* data, size_t size) {
    size_t first = size;
    for (size_t i = 0; i < size;) {
        const auto* p = reinterpret_cast<const unsigned char*>(data + i);
        if (*p < 0x80) {
            ++i;
            continue;
        }
        int32_t cp = -1;
        const int used = Utf8Character(p, size - i, &cp);
        if (used <= 0 || cp < 0) return size;
        if (first == size) first = i;
        i += static_cast<size_t>(used);
    }
    return first;
}

// For the checker, at the end of a file: the characters CharSet=u could not show, or a file
// saved as UTF-8 without CharSet=u, whose accented letters would show as pairs of others.
void NoteCharacters(Compiler& c, const SourceReader& r, const char* data, size_t size,
                    bool utf8Declared) {
    CheckLog& k = *c.Check;
    if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
        k.findings.push_back({{k.current.file, 1},
                              SeverityWarning,
                              "the file starts with a UTF-8 byte order mark, which the reader "
                              "takes as part of the first line (a header there is not seen): "
                              "save it without one"});
    if (r.unmapped > 0) {
        std::string reason = CharacterName(r.firstUnmapped) +
                             " is not in code page 850, the game's character set: it shows as "
                             "\"?\"";
        if (r.unmapped > 1)
            reason += " (" + std::to_string(r.unmapped - 1) + " more in this file do too)";
        k.findings.push_back({r.firstUnmappedAt, SeverityWarning, std::move(reason)});
    }
    if (utf8Declared) return;
    const size_t first = FirstUtf8Character(data, size);
    if (first == size) return;
    SourcePlace at{k.current.file, 1};
    for (size_t i = 0; i < first; ++i) at.line += data[i] == '\n';
    int32_t cp = -1;
    Utf8Character(reinterpret_cast<const unsigned char*>(data + first), size - first, &cp);
    k.findings.push_back({at, SeverityWarning,
                          "the file is saved as UTF-8 (" + CharacterName(cp) +
                              " here) but does not say CharSet=u: its accented letters "
                              "show as pairs of other characters"});
}

}  // namespace

const char* const SystemKeys[SystemKeyCount] = {
    "Title=",     "StartLocation=", "MaxItems=", "Boolean=", "Prompt=", "ShowExits=",
    "ImagePath=", "StatusLine=",    "BgColor=",  "FgColor=", "CharSet="};

std::span<const SectionHeader> SectionHeaders() { return Headers; }

void BeginCompile(Compiler& c, GameDatabase& db) {
    c = Compiler{};
    c.Db = &db;
}

// Grammar: key=value, the key in the first column and in any case, the value taken as it is.
Diagnostic HandleSystemLine(Compiler& c, SourceReader& r, char* line) {
    GameDatabase& db = *c.Db;
    auto key = [line](const char* k) { return CompareNoCaseN(line, k, std::strlen(k)) == 0; };
    auto value = [line]() { return std::strchr(line, '=') + 1; };
    if (key("Title=")) {
        SetText(db.Title, value());
        return Diagnostic::Ok;
    }
    if (key("StartLocation="))
        return ReadSettingNumber(value(), -32768, 32767, false, db.StartLocation);
    if (key("MaxItems=")) return ReadSettingNumber(value(), -32768, 32767, false, db.MaxItems);
    if (key("Boolean=")) {
        const char* v = value();
        if (v[0] == '\0' || v[1] == '\0') return Diagnostic::ValueRefused;
        db.YesLetter = v[0];
        db.NoLetter = v[1];
        return Diagnostic::Ok;
    }
    if (key("Prompt=")) {
        SetText(db.Prompt, value());
        return Diagnostic::Ok;
    }
    if (key("ShowExits=")) {
        const char v = value()[0];
        if (v == '0' || v == 'n') {
            db.ShowExits = 0;
        } else if (v == '1' || v == 'y') {
            db.ShowExits = 1;
        } else {
            return Diagnostic::ValueRefused;
        }
        return Diagnostic::Ok;
    }
    if (key("ImagePath=")) {
        SetText(db.ImagePath, value());
        return Diagnostic::Ok;
    }
    if (key("StatusLine=")) {
        SetText(db.StatusLine, value());
        return Diagnostic::Ok;
    }
    if (key("BgColor=")) return ReadSettingNumber(value(), 0, 15, true, db.BgColor);
    if (key("FgColor=")) return ReadSettingNumber(value(), 0, 15, true, db.FgColor);
    if (key("CharSet=")) {
        r.charSet = value()[0];
        return Diagnostic::Ok;
    }
    return Diagnostic::UnknownKey;
}

CompileResult CompileSource(Compiler& c, const char* data, size_t size, const char* path) {
    SourceReader r;
    char buf[512];
    size_t pos = 0;
    bool inComment = false;  // a '|' earlier in the same line made the rest of it a comment
    bool utf8Declared = false;
    SourcePlace outer;  // the including file's line, restored at the end
    if (c.Check != nullptr) {
        outer = c.Check->current;
        c.Check->files.emplace_back(path);
        c.Check->current.file = static_cast<int>(c.Check->files.size()) - 1;
    }
    int physicalLine = 1;  // of the piece being read
    bool pieceEndedLine = false;
    while (pos < size) {
        bool split = false;
        if (pieceEndedLine) ++physicalLine;
        const size_t used = NextPiece(data, size, pos, buf, split, r.charSet == 'u');
        pieceEndedLine = data[pos + used - 1] == '\n';
        pos += used;
        if (c.Check != nullptr) c.Check->current.line = physicalLine;
        if (r.lineNumber == 0 && CompareNoCaseN(buf, ScrambleMarker, 7) == 0) {
            r.scrambled = true;
            continue;
        }
        ++r.lineNumber;
        // Every piece keeps its own line number, but a comment runs to the end of its line.
        const bool commentPiece = inComment;
        if (r.scrambled)
            for (char* p = buf; *p != '\0'; ++p) *p = Rot13(*p);
        inComment = split && (commentPiece || std::strchr(buf, '|') != nullptr);
        if (commentPiece || buf[0] == '|') continue;
        buf[std::strcspn(buf, "\r\n|")] = '\0';
        if (r.charSet == 'w')
            for (char* p = buf; *p != '\0'; ++p)
                *p = static_cast<char>(ConvertCharSet(static_cast<unsigned char>(*p)));
        else if (r.charSet == 'u')
            ConvertUtf8(buf, split, r, c);
        if (buf[0] != '@' && IsBlankLine(buf)) continue;
        CompilePiece(c, r, buf, path);
        utf8Declared = utf8Declared || r.charSet == 'u';
    }
    if (c.Check != nullptr) {
        EndUnknownHeader(c, r, c.Check->current.line);
        NoteCharacters(c, r, data, size, utf8Declared);
        c.Check->current = outer;
    }
    return r.result;
}

CompileResult CompileSourceFile(Compiler& c, FILE* file, const char* path) {
    std::string text;
    if (ReadWholeFile(file, text, MaxSourceFileSize) != ReadResult::Ok)
        return CompileResult::Unreadable;
    return CompileSource(c, text.data(), text.size(), path);
}

}  // namespace umb::compiler
