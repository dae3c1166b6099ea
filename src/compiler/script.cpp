// script.cpp - script compiler: block words, control words and the statements of a line.
#include "base/nocase.h"
#include "compiler/reader.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

using namespace umb::base;
using namespace umb::db;

namespace umb::compiler {

namespace {

// A bare variable name in a statement position: a test of the variable being greater than 0,
// which takes no operands.
constexpr StatementKeyword BareVariable = {"", CodeByte(ConditionCode::Greater), Operand::None,
                                           Operand::None, 0};

struct BlockWord {
    const char* text;
    bool exact;  // symbol forms compare exactly, word forms without regard to case
    LineKind kind;
};

const BlockWord BlockWords[] = {
    {"{", true, KindBegin},
    {"then {", true, KindBegin},
    {"do {", true, KindBegin},
    {"begin", false, KindBegin},
    {"then begin", false, KindBegin},
    {"do begin", false, KindBegin},
    {"{/", true, KindFBegin},
    {"then {/", true, KindFBegin},
    {"do {/", true, KindFBegin},
    {"fbegin", false, KindFBegin},
    {"then fbegin", false, KindFBegin},
    {"do fbegin", false, KindFBegin},
    {"{+", true, KindSBegin},
    {"then {+", true, KindSBegin},
    {"do {+", true, KindSBegin},
    {"sbegin", false, KindSBegin},
    {"then sbegin", false, KindSBegin},
    {"do sbegin", false, KindSBegin},
    {"}", true, KindEnd},
    {"end", false, KindEnd},
};

struct ControlWord {
    const char* text;
    size_t length;
    LineKind kind;
};

const ControlWord ControlWords[] = {
    {"while ", 6, KindWhile}, {"if ", 3, KindIf},       {"or ", 3, KindOr},
    {"and ", 4, KindAnd},     {"then ", 5, KindAction}, {"do ", 3, KindAction},
};

std::span<const StatementKeyword> KeywordsOf(bool condition) {
    return condition ? std::span<const StatementKeyword>(ConditionKeywords)
                     : std::span<const StatementKeyword>(ActionKeywords);
}

const StatementKeyword* FindKeyword(const char* word, bool condition) {
    const char first = FoldCase(word[0]);
    for (const StatementKeyword& k : KeywordsOf(condition))
        if (k.word[0] == first && CompareNoCase(word, k.word) == 0) return &k;
    return nullptr;
}

// The value of a word written as a statement's first operand of the given kind, looked up in
// the tables of that kind: 0 when none of them holds it, or when the kind takes numbers only.
int FindName(const GameDatabase& db, const char* word, Operand kind) {
    switch (kind) {
    case Operand::Variable: return FindVariable(db, word);
    case Operand::Verb: return FindVerb(db, word);
    case Operand::Noun: return FindNoun(db, word);
    case Operand::VariableOrNoun: {
        const int variable = FindVariable(db, word);
        return variable != 0 ? variable : FindNoun(db, word);
    }
    default: return 0;
    }
}

bool IsBlankOrTab(char ch) { return ch == ' ' || ch == '\t'; }

bool IsNumberWord(const char* word) {
    if (*word == '+' || *word == '-') ++word;
    return *word >= '0' && *word <= '9';
}

// Words that other languages use for control flow; here they mean nothing.
const char* const ForeignControlWords[] = {"else",  "elseif", "elif",   "endif",    "fi",
                                           "until", "repeat", "wend",   "endwhile", "loop",
                                           "for",   "next",   "switch", "case"};

const char* NameOf(const WordRecord& w) { return w.word; }
const char* NameOf(const VarRecord& v) { return v.name; }

// The index of the first entry of a word table that holds word (8 significant characters), or
// the table's size when none does.
template <typename Record>
size_t FindWordIndex(const std::vector<Record>& table, const std::string& word) {
    for (size_t i = 0; i < table.size(); ++i)
        if (CompareNoCaseN(NameOf(table[i]), word.c_str(), WordLength) == 0 &&
            (word.size() >= WordLength || NameOf(table[i])[word.size()] == '\0'))
            return i;
    return table.size();
}

std::string PlaceText(const CheckLog& k, SourcePlace p) {
    if (p.file < 0) return "";
    return k.files[static_cast<size_t>(p.file)] + ":" + std::to_string(p.line);
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The known name nearest to a skipped word, within a distance that still reads as a slip: a
// keyword of the line's kind, "not", a verb, noun or variable; "" when none is that near.
std::string NearestName(const GameDatabase& db, const UnknownWord& u) {
    const size_t limit = u.word.size() <= 4 ? 1 : 2;
    std::string best;
    size_t bestDistance = limit + 1;
    auto consider = [&](const std::string& name) {
        if (name.empty()) return;
        const size_t d = EditDistance(u.word, name, limit);
        if (d < bestDistance) {
            bestDistance = d;
            best = name;
        }
    };
    for (const StatementKeyword& kw : KeywordsOf(u.condition)) consider(kw.word);
    consider("not");
    for (const auto* table : {&db.Verbs, &db.Nouns})
        for (const WordRecord& w : *table)
            consider(std::string(w.word, strnlen(w.word, WordLength)));
    for (size_t i = 1; i < db.Vars.size(); ++i)
        consider(std::string(db.Vars[i].name, strnlen(db.Vars[i].name, WordLength)));
    return best;
}

// Explains one skipped word: declared later, a keyword of the other kind of line, a control
// word of another language, or unknown with the nearest known name.
std::string ExplainSkippedWord(const CheckLog& k, const GameDatabase& db, const UnknownWord& u) {
    const std::string skipped = Quoted(u.word) + " skipped";
    for (const char* w : ForeignControlWords)
        if (CompareNoCase(u.word.c_str(), w) == 0)
            return "control word " + Quoted(u.word) + " is not known; the line is read without it";
    if (u.word == "{" || u.word == "}" || u.word == "{/" || u.word == "{+")
        return "block word " + Quoted(u.word) +
               " inside a statement; a block line is exactly \"{\", \"then {\" or \"do {\" "
               "in lower case";
    if (FindKeyword(u.word.c_str(), !u.condition) != nullptr)
        return std::string(u.condition ? "action " : "condition ") + Quoted(u.word) + " in " +
               (u.condition ? "a condition" : "an action") + " line; " + skipped;
    // A name of another kind declared before the line was not what the statement takes; one
    // declared only after the line was not known yet.
    struct Kind {
        const char* name;
        size_t index, before;
        const std::vector<SourcePlace>& places;
    };
    const Kind kinds[] = {
        {"verb", FindWordIndex(db.Verbs, u.word), u.verbsBefore, k.verbs},
        {"noun", FindWordIndex(db.Nouns, u.word), u.nounsBefore, k.nouns},
        {"variable", FindWordIndex(db.Vars, u.word), u.varsBefore, k.vars},
    };
    auto placeOf = [](const Kind& kind) {
        return kind.index < kind.places.size() ? kind.places[kind.index] : SourcePlace{};
    };
    for (const Kind& kind : kinds)
        if (kind.index < kind.before)
            return Quoted(u.word) + " is a " + kind.name + " (at " + PlaceText(k, placeOf(kind)) +
                   "), which the statement does not take there; " + skipped;
    for (const Kind& kind : kinds)
        if (kind.index < kind.places.size())
            return "word " + Quoted(u.word) + " is declared only after this line (at " +
                   PlaceText(k, placeOf(kind)) + "); " + skipped;
    std::string reason = "unknown word " + skipped;
    const std::string nearest = NearestName(db, u);
    if (!nearest.empty()) reason += "; did you mean " + Quoted(nearest) + "?";
    return reason;
}

// Keeps the openers not closed yet; a closer with none open is reported at once.
void NoteBlock(Compiler& c, LineKind kind, int script) {
    std::vector<SourcePlace>& open = c.Check->openBlocks[script];
    if (kind != KindEnd) {
        open.push_back(c.Check->current);
    } else if (open.empty()) {
        AddFinding(c, SeverityWarning, "block closer without an opener");
    } else {
        open.pop_back();
    }
}

// A condition line whose every word was skipped tests nothing, and a line that tests nothing
// holds: the actions under it run whatever the player typed.
void NoteLostCondition(Compiler& c, LineKind kind, bool events) {
    if (c.Check == nullptr) return;
    const std::string when = events ? "every turn" : "every command";
    if (kind == KindAnd)
        AddFinding(c, SeverityError,
                   "the condition has no test left: this line adds nothing to the one above");
    else
        AddFinding(c, SeverityError,
                   "the condition has no test left: the actions below run on " + when);
}

// Words are separated by blanks only: a tab joins the words on either side into one.
void NoteTab(Compiler& c, const char* text) {
    const char* tab = std::strchr(text, '\t');
    if (c.Check == nullptr || tab == nullptr) return;
    const char* from = tab;
    while (from > text && from[-1] != ' ') --from;
    const char* to = tab;
    while (*to != '\0' && *to != ' ') ++to;
    std::string word;
    for (const char* p = from; p < to; ++p) {
        if (*p == '\t')
            word += "<tab>";
        else
            word += *p;
    }
    AddFinding(c, SeverityWarning,
               "a tab inside a script line: words are separated by blanks only, so \"" + word +
                   "\" is read as one word");
}

}  // namespace

size_t EditDistance(const std::string& a, const std::string& b, size_t limit) {
    const size_t n = a.size(), m = b.size();
    if ((n > m ? n - m : m - n) > limit) return limit + 1;
    // Three rows: a swap of neighbours looks back two rows ("hlep" is one slip from "help").
    std::vector<size_t> before(m + 1), prev(m + 1), cur(m + 1);
    for (size_t j = 0; j <= m; ++j) prev[j] = j;
    auto same = [](char x, char y) { return FoldCase(x) == FoldCase(y); };
    for (size_t i = 1; i <= n; ++i) {
        cur[0] = i;
        for (size_t j = 1; j <= m; ++j) {
            cur[j] = std::min(
                {prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (same(a[i - 1], b[j - 1]) ? 0 : 1)});
            if (i > 1 && j > 1 && same(a[i - 1], b[j - 2]) && same(a[i - 2], b[j - 1]))
                cur[j] = std::min(cur[j], before[j - 2] + 1);
        }
        std::swap(before, prev);
        std::swap(prev, cur);
    }
    return std::min(prev[m], limit + 1);
}

void CheckNumberField(Compiler& c, const char* field, const char* what) {
    if (c.Check == nullptr || field == nullptr) return;
    const char* p = field;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') return;
    if (*p == '+' || *p == '-') ++p;
    const bool digits = *p >= '0' && *p <= '9';
    while (*p >= '0' && *p <= '9') ++p;
    while (*p == ' ' || *p == '\t') ++p;
    if (digits && *p == '\0') return;
    AddFinding(c, SeverityWarning,
               std::string(what) + " \"" + field + "\" is not a number: it reads as " +
                   std::to_string(ReadNumber16(field)));
}

void NoteSkippedWord(Compiler& c, const char* word, bool condition) {
    // A word joined by a tab has a finding of its own (NoteTab).
    if (c.Check == nullptr || IsNumberWord(word) || std::strchr(word, '\t') != nullptr) return;
    const GameDatabase& db = *c.Db;
    c.Check->unknownWords.push_back(
        {c.Check->current, word, condition, db.Verbs.size(), db.Nouns.size(), db.Vars.size()});
}

void AddFinding(Compiler& c, Severity severity, std::string reason) {
    if (c.Check == nullptr) return;
    c.Check->findings.push_back({c.Check->current, severity, std::move(reason)});
}

void FinishCheck(Compiler& c) {
    if (c.Check == nullptr) return;
    CheckLog& k = *c.Check;
    const GameDatabase& db = *c.Db;
    for (const UnknownWord& u : k.unknownWords)
        k.findings.push_back({u.place, SeverityWarning, ExplainSkippedWord(k, db, u)});
    for (const std::vector<SourcePlace>& open : k.openBlocks)
        for (const SourcePlace& p : open)
            k.findings.push_back({p, SeverityWarning, "block opener without a closer"});
    for (const TextMark& m : k.textMarks)
        if (FindVariable(db, m.name.substr(0, WordLength).c_str()) == 0)
            k.findings.push_back({m.place, SeverityWarning,
                                  "text names variable " + Quoted("%" + m.name + "%") +
                                      ", which is not declared; it prints 0"});
}

Diagnostic AppendScriptLine(LineKind kind, std::vector<ScriptLine>& table, int16_t& count) {
    if (table.size() >= MaxListRecords) return Diagnostic::TableFull;
    table.push_back(BlankScriptLine(kind));
    count = static_cast<int16_t>(table.size());
    return Diagnostic::Ok;
}

namespace {

// Room for a statement line's words: its first 511 characters, cut at blanks into 256 words
// at most.
struct StatementWords {
    char text[512];
    char* words[256];
    size_t count = 0;
};

// Copies text and cuts it into words at blanks; a run of blanks separates like one blank, and
// tabs do not separate.
void SplitWords(const char* text, StatementWords& w) {
    std::strncpy(w.text, text, sizeof w.text - 1);
    w.text[sizeof w.text - 1] = '\0';
    for (char* p = w.text; *p != '\0';) {
        while (*p == ' ') *p++ = '\0';
        if (*p == '\0') break;
        w.words[w.count++] = p;
        while (*p != '\0' && *p != ' ') ++p;
    }
}

// The line being filled: the slot of the statement last begun, that statement, and how many
// words have followed its keyword.
struct LineBuilder {
    ScriptLine& line;
    int slot = -1;
    const StatementKeyword* statement = nullptr;
    int operands = 0;
};

// Stores word as operand 1 or 2 of the current statement, when it is one; returns whether it
// gave a value. A number other than 0 counts as written even when its 16 bits are 0 (65536).
bool ReadOperand(const GameDatabase& db, LineBuilder& b, const char* word) {
    if (b.slot < 0 || (b.operands != 1 && b.operands != 2)) return false;
    bool written = false;
    int value = ReadNumber16(word, &written);
    if (!written && b.operands == 1) {
        value = FindName(db, word, b.statement->a);
        written = value != 0;
    }
    if (written) {
        (b.operands == 1 ? b.line.operandA : b.line.operandB)[b.slot] = static_cast<int16_t>(value);
        return true;
    }
    // A 0 written as operand 2 overrides its default: "set door 0".
    if (b.operands == 2 && word[0] == '0') b.line.operandB[b.slot] = 0;
    return false;
}

// Begins a statement in the next slot, negated when asked; operandA is its first operand and
// operands the count of operands it already has.
void BeginStatement(LineBuilder& b, const StatementKeyword& k, bool negative, int16_t operandA,
                    int operands) {
    ++b.slot;
    b.line.ops[b.slot] = static_cast<signed char>(negative ? -k.code : k.code);
    b.line.operandA[b.slot] = operandA;
    b.line.operandB[b.slot] = k.defaultB;
    b.statement = &k;
    b.operands = operands;
}

}  // namespace

// Grammar: [not] keyword [operand [operand]] ... ; words separated by blanks.
Diagnostic CompileStatement(Compiler& c, const char* text, LineKind kind,
                            std::vector<ScriptLine>& table, int16_t& count) {
    StatementWords words;
    SplitWords(text, words);
    if (words.count == 0) return Diagnostic::NoStatement;
    const Diagnostic appended = AppendScriptLine(kind, table, count);
    if (appended != Diagnostic::Ok) return appended;

    const GameDatabase& db = *c.Db;
    const bool condition = kind != KindAction;
    LineBuilder b{table.back()};
    bool negative = false;
    bool skipped = false;
    for (size_t w = 0; w < words.count; ++w) {
        const char* word = words.words[w];
        if (CompareNoCase(word, "not") == 0) {
            negative = true;
            continue;
        }
        ++b.operands;
        if (!ReadOperand(db, b, word)) {
            if (const StatementKeyword* k = FindKeyword(word, condition)) {
                if (b.slot == ScriptSlots - 1) {
                    AddFinding(c, SeverityWarning,
                               "more than 16 statements in a line; the rest is dropped");
                    break;
                }
                BeginStatement(b, *k, negative, 0, 0);
            } else if (const int var = FindVariable(db, word);
                       var != 0 && b.slot < ScriptSlots - 1) {
                // No operand follows a bare variable.
                BeginStatement(b, BareVariable, negative, static_cast<int16_t>(var), 2);
            } else {
                NoteSkippedWord(c, word, condition);
                skipped = true;
            }
        }
        negative = false;
    }
    if (condition && b.slot < 0 && skipped) NoteLostCondition(c, kind, &table == &c.Db->Events);
    return Diagnostic::Ok;
}

Diagnostic CompileScriptLine(Compiler& c, char* line, std::vector<ScriptLine>& table,
                             int16_t& count) {
    // Trailing blanks are cut in place, so that the diagnostic shows the line without them.
    size_t len = std::strlen(line);
    while (len > 0 && IsBlankOrTab(line[len - 1])) line[--len] = '\0';
    const char* text = line;
    while (IsBlankOrTab(*text)) ++text;
    NoteTab(c, text);

    for (const BlockWord& b : BlockWords) {
        const bool same =
            b.exact ? std::strcmp(text, b.text) == 0 : CompareNoCase(text, b.text) == 0;
        if (same) {
            if (c.Check != nullptr) NoteBlock(c, b.kind, &table == &c.Db->Events ? 0 : 1);
            return AppendScriptLine(b.kind, table, count);
        }
    }
    for (const ControlWord& w : ControlWords)
        if (CompareNoCaseN(text, w.text, w.length) == 0)
            return CompileStatement(c, text + w.length, w.kind, table, count);
    return CompileStatement(c, text, KindAction, table, count);
}

}  // namespace umb::compiler
