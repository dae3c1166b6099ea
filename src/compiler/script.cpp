// script.cpp - script compiler: block words, control words and the statements of a line.
#include "base/nocase.h"
#include "compiler/compiler.h"

#include <cstring>

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

}  // namespace

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
                if (slot == ScriptSlots - 1) break;
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
            }
        }
        negative = false;
    }
    return DiagOk;
}

int CompileScriptLine(Compiler& c, char* line, std::vector<ScriptLine>& table, int16_t& count) {
    // Trailing blanks are cut in place, so that the diagnostic shows the line without them.
    size_t len = std::strlen(line);
    while (len > 0 && IsBlankOrTab(line[len - 1])) line[--len] = '\0';
    const char* text = line;
    while (IsBlankOrTab(*text)) ++text;

    for (const BlockWord& b : BlockWords) {
        const bool same =
            b.exact ? std::strcmp(text, b.text) == 0 : CompareNoCase(text, b.text) == 0;
        if (same) return AppendScriptLine(b.kind, table, count);
    }
    for (const ControlWord& w : ControlWords)
        if (CompareNoCaseN(text, w.text, w.length) == 0)
            return CompileStatement(c, text + w.length, w.kind, table, count);
    return CompileStatement(c, text, KindAction, table, count);
}

}  // namespace umb::compiler
