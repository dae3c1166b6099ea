// script.cpp - script compiler: block words, control words and the statements of a line.
#include "base/nocase.h"
#include "compiler/compiler.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

using namespace umb::base;
using namespace umb::db;

namespace umb::compiler {

namespace {

// What the first operand of a statement may name when it is not written as a number; the
// lookups are tried in this order until one finds the word.
enum OperandNames : unsigned {
    NamesNothing = 0,
    NamesVariable = 1,
    NamesVerb = 2,
    NamesNoun = 4,
};

struct Keyword {
    const char* word;
    signed char code;  // the ConditionCode or ActionCode stored in the slot
    unsigned names;    // OperandNames of the first operand
    int16_t defaultB;  // operand 2 when the line gives none
};

constexpr Keyword Condition(const char* word, ConditionCode code, unsigned names = NamesNothing) {
    return {word, CodeByte(code), names, 0};
}
constexpr Keyword Action(const char* word, ActionCode code, unsigned names = NamesNothing,
                         int16_t defaultB = 0) {
    return {word, CodeByte(code), names, defaultB};
}

// In table order: the first keyword that matches counts.
const Keyword ConditionWords[] = {
    Condition("begin", ConditionCode::Begin),
    Condition("verb", ConditionCode::Verb, NamesVerb),
    Condition("noun", ConditionCode::Noun, NamesNoun),
    // noun2 looks a name up as a variable first.
    Condition("noun2", ConditionCode::Noun2, NamesVariable | NamesNoun),
    Condition("noun3", ConditionCode::Noun3, NamesNoun),
    Condition("anynoun", ConditionCode::AnyNoun, NamesNoun),
    Condition("move", ConditionCode::Move),
    Condition("at", ConditionCode::At),
    Condition("exist", ConditionCode::Exist),
    Condition("isin", ConditionCode::IsIn),
    Condition("carried", ConditionCode::Carried),
    Condition("worn", ConditionCode::Worn),
    Condition("owned", ConditionCode::Owned),
    Condition("here", ConditionCode::Here),
    Condition("present", ConditionCode::Present),
    Condition("dark", ConditionCode::Dark),
    Condition("eq", ConditionCode::Equal, NamesVariable),
    Condition("gt", ConditionCode::Greater, NamesVariable),
    Condition("lt", ConditionCode::Less, NamesVariable),
    Condition("free", ConditionCode::Free),
    Condition("random", ConditionCode::Random),
    // continued takes no operand: a variable name after it is a test of its own.
    Condition("continued", ConditionCode::Continued),
};

const Keyword ActionWords[] = {
    Action("create", ActionCode::Create),
    Action("destroy", ActionCode::Destroy),
    Action("get", ActionCode::Get),
    Action("wear", ActionCode::Wear),
    Action("put", ActionCode::Put),
    Action("moveall", ActionCode::MoveAll),
    Action("swap", ActionCode::Swap),
    Action("go", ActionCode::Go),
    Action("at", ActionCode::At),
    Action("exit", ActionCode::Exit),
    Action("subst", ActionCode::Subst),
    Action("light", ActionCode::Light),
    Action("message", ActionCode::Message),
    Action("sysmsg", ActionCode::Sysmsg),
    Action("show", ActionCode::Show),
    Action("pause", ActionCode::Pause),
    Action("quit", ActionCode::Quit),
    Action("set", ActionCode::Set, NamesVariable, 1),
    Action("reset", ActionCode::Set, NamesVariable),
    Action("add", ActionCode::Add, NamesVariable),
    Action("sub", ActionCode::Sub, NamesVariable),
    Action("mchoiche", ActionCode::MultipleChoice, NamesVariable),
    Action("bchoiche", ActionCode::YesNoChoice, NamesVariable),
    Action("redesc", ActionCode::Redescribe),
    Action("cls", ActionCode::Cls),
    Action("halt", ActionCode::Halt),
    Action("continue", ActionCode::Continue),
    Action("break", ActionCode::Break),
};

// A bare variable name in a statement position: a test of the variable being greater than 0,
// which takes no operands.
constexpr Keyword BareVariable = Condition("", ConditionCode::Greater);

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

const Keyword* FindKeyword(const char* word, bool condition) {
    const Keyword* table = condition ? ConditionWords : ActionWords;
    const size_t count = condition ? std::size(ConditionWords) : std::size(ActionWords);
    const char first = FoldCase(word[0]);
    for (size_t i = 0; i < count; ++i)
        if (table[i].word[0] == first && CompareNoCase(word, table[i].word) == 0) return &table[i];
    return nullptr;
}

// The value of a name written as a statement's first operand, looked up in the tables the
// statement allows; 0 when none of them holds it.
int FindName(const GameDatabase& db, const char* word, unsigned names) {
    int value = 0;
    if (names & NamesVariable) value = FindVariable(db, word);
    if (value == 0 && (names & NamesVerb)) value = FindVerb(db, word);
    if (value == 0 && (names & NamesNoun)) value = FindNoun(db, word);
    return value;
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
    // The nearest known name within a distance that still reads as a slip.
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
    for (const Keyword& kw : u.condition ? std::span<const Keyword>(ConditionWords)
                                         : std::span<const Keyword>(ActionWords))
        consider(kw.word);
    consider("not");
    for (const auto* table : {&db.Verbs, &db.Nouns})
        for (const WordRecord& w : *table)
            consider(std::string(w.word, strnlen(w.word, WordLength)));
    for (size_t i = 1; i < db.Vars.size(); ++i)
        consider(std::string(db.Vars[i].name, strnlen(db.Vars[i].name, WordLength)));
    std::string reason = "unknown word " + skipped;
    if (!best.empty()) reason += "; did you mean " + Quoted(best) + "?";
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

void AddFinding(Compiler& c, int severity, std::string reason) {
    if (c.Check == nullptr) return;
    c.Check->findings.push_back({c.Check->current, severity, std::move(reason)});
}

int FinishCheck(Compiler& c) {
    if (c.Check == nullptr) return 0;
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
    return 0;
}

int AppendScriptLine(LineKind kind, std::vector<ScriptLine>& table, int16_t& count) {
    if (table.size() >= MaxListRecords) return DiagError1;
    table.push_back(BlankScriptLine(kind));
    count = static_cast<int16_t>(table.size());
    return DiagOk;
}

// Grammar: [not] keyword [operand [operand]] ... ; words separated by blanks.
int CompileStatement(Compiler& c, const char* text, LineKind kind, std::vector<ScriptLine>& table,
                     int16_t& count) {
    char copy[512];
    std::strncpy(copy, text, sizeof copy - 1);
    copy[sizeof copy - 1] = '\0';
    char* words[256];
    size_t wordCount = 0;
    for (char* p = copy; *p != '\0';) {
        while (*p == ' ') *p++ = '\0';
        if (*p == '\0') break;
        words[wordCount++] = p;
        while (*p != '\0' && *p != ' ') ++p;
    }
    if (wordCount == 0) return DiagWarning2;
    const int appended = AppendScriptLine(kind, table, count);
    if (appended != DiagOk) return appended;

    const GameDatabase& db = *c.Db;
    ScriptLine& line = table.back();
    const bool condition = kind != KindAction;
    int slot = -1;
    const Keyword* statement = nullptr;  // the statement of the current slot
    int operands = 0;
    bool negative = false;
    bool skipped = false;
    for (size_t w = 0; w < wordCount; ++w) {
        const char* word = words[w];
        if (CompareNoCase(word, "not") == 0) {
            negative = true;
            continue;
        }
        ++operands;
        bool gaveOperand = false;
        if (slot >= 0 && (operands == 1 || operands == 2)) {
            // A number other than 0 counts as written even when its 16 bits are 0 (65536).
            bool written = false;
            int value = ReadNumber16(word, &written);
            if (!written && operands == 1) {
                value = FindName(db, word, statement->names);
                written = value != 0;
            }
            if (written) {
                (operands == 1 ? line.operandA : line.operandB)[slot] = static_cast<int16_t>(value);
                gaveOperand = true;
            }
            // A 0 written as operand 2 overrides its default: "set door 0".
            if (operands == 2 && !written && word[0] == '0') line.operandB[slot] = 0;
        }
        if (!gaveOperand) {
            if (const Keyword* k = FindKeyword(word, condition)) {
                if (slot == ScriptSlots - 1) {
                    AddFinding(c, SeverityWarning,
                               "more than 16 statements in a line; the rest is dropped");
                    break;
                }
                ++slot;
                line.ops[slot] = static_cast<signed char>(negative ? -k->code : k->code);
                line.operandA[slot] = 0;
                line.operandB[slot] = k->defaultB;
                statement = k;
                operands = 0;
            } else if (const int var = FindVariable(db, word); var != 0 && slot < ScriptSlots - 1) {
                ++slot;
                line.ops[slot] =
                    static_cast<signed char>(negative ? -BareVariable.code : BareVariable.code);
                line.operandA[slot] = static_cast<int16_t>(var);
                line.operandB[slot] = 0;
                statement = &BareVariable;
                operands = 2;  // no operand follows
            } else {
                NoteSkippedWord(c, word, condition);
                skipped = true;
            }
        }
        negative = false;
    }
    if (condition && slot < 0 && skipped) NoteLostCondition(c, kind, &table == &c.Db->Events);
    return DiagOk;
}

int CompileScriptLine(Compiler& c, char* line, std::vector<ScriptLine>& table, int16_t& count) {
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
