// script.cpp - script compiler: block words, control words and the statements of a line.
#include "base/nocase.h"
#include "compiler/compiler.h"

#include <cstring>

namespace {

struct Keyword {
    const char* word;
    char code;
};

const Keyword ConditionWords[] = {
    {"begin", 'b'},   {"verb", 'v'},      {"noun", 'n'},  {"noun2", '2'}, {"noun3", '3'},
    {"anynoun", 'y'}, {"move", 'm'},      {"at", 'a'},    {"exist", 'e'}, {"isin", 'i'},
    {"carried", 'c'}, {"worn", 'w'},      {"owned", 'o'}, {"here", 'h'},  {"present", 'p'},
    {"dark", 'd'},    {"eq", '='},        {"gt", '>'},    {"lt", '<'},    {"free", 'f'},
    {"random", 'r'},  {"continued", '+'},
};

const Keyword ActionWords[] = {
    {"create", 'c'},  {"destroy", 'd'},  {"get", 'g'},      {"wear", 'w'},   {"put", 'p'},
    {"moveall", 'v'}, {"swap", 's'},     {"go", 'l'},       {"at", 'a'},     {"exit", 'e'},
    {"subst", 't'},   {"light", 'i'},    {"message", 'm'},  {"sysmsg", 'y'}, {"show", 'b'},
    {"pause", 'u'},   {"quit", 'q'},     {"set", '='},      {"reset", '='},  {"add", '+'},
    {"sub", '-'},     {"mchoiche", '9'}, {"bchoiche", '2'}, {"redesc", 'r'}, {"cls", '_'},
    {"halt", 'h'},    {"continue", 'o'}, {"break", '}'},
};

struct BlockWord {
    const char* text;
    bool exact;  // symbol forms compare exactly, word forms without regard to case
    char kind;
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
    char kind;
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

// In condition lines '+' is "continued", which takes no operand: a variable name after it is a
// test of its own, not an operand to drop. ('2' is "noun2" there, which looks names up as
// variables first.)
bool TakesVariable(char code, bool condition) {
    const char* codes = condition ? "=<>2" : "=+-92";
    return std::strchr(codes, code) != nullptr && code != '\0';
}
bool TakesNoun(char code) { return std::strchr("n23y", code) != nullptr && code != '\0'; }

bool IsBlankOrTab(char ch) { return ch == ' ' || ch == '\t'; }

}  // namespace

int AppendScriptLine(char kind, std::vector<ScriptLine>& table, int16_t& count) {
    if (table.size() >= MaxListRecords) return DiagError1;
    table.push_back(BlankScriptLine(kind));
    count = static_cast<int16_t>(table.size());
    return DiagOk;
}

// Grammar: [not] keyword [operand [operand]] ... ; words separated by blanks.
int CompileStatement(Compiler& c, const char* text, char kind, std::vector<ScriptLine>& table,
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

    const GameDatabase& db = *c.db;
    ScriptLine& line = table.back();
    const bool condition = kind != KindAction;
    int slot = -1;
    char code = '\0';
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
                if (TakesVariable(code, condition)) value = FindVariable(db, word);
                if (value == 0 && condition && code == 'v') value = FindVerb(db, word);
                if (value == 0 && condition && TakesNoun(code)) value = FindNoun(db, word);
                written = value != 0;
            }
            if (written) {
                (operands == 1 ? line.operandA : line.operandB)[slot] = static_cast<int16_t>(value);
                gaveOperand = true;
            }
            // "set door 0" must override the default of 1.
            if (code == '=' && operands == 2 && !written && word[0] == '0') line.operandB[slot] = 0;
        }
        if (!gaveOperand) {
            if (const Keyword* k = FindKeyword(word, condition)) {
                if (slot == ScriptSlots - 1) break;
                ++slot;
                line.ops[slot] = static_cast<signed char>(negative ? -k->code : k->code);
                line.operandA[slot] = 0;
                line.operandB[slot] = 0;
                if (!condition && std::strcmp(k->word, "set") == 0) line.operandB[slot] = 1;
                code = k->code;
                operands = 0;
            } else if (const int var = FindVariable(db, word); var != 0 && slot < ScriptSlots - 1) {
                ++slot;
                line.ops[slot] = static_cast<signed char>(negative ? -'>' : '>');
                line.operandA[slot] = static_cast<int16_t>(var);
                line.operandB[slot] = 0;
                code = '>';
                operands = 2;
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
