// codes.h - the letters a compiled script line stores: its kind and its statements' codes.
//
// Every value here is written into the compiled game file: the letters are the bytes of a
// ScriptLine (records.h). This is the one place that spells them; the compiler, the engine and
// the checker take the statements from the lists below.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace umb::db {

// The kind of a script line: its first byte, ScriptLine::kind.
enum LineKind : char {
    KindIf = 'c',      // "if " line: sets the condition from its statements
    KindAnd = '&',     // "and " line: can only make the condition false
    KindOr = '|',      // "or " line: can only make the condition true
    KindWhile = 'w',   // "while " line: an if line that marks the start of a loop
    KindAction = 'o',  // "then " or "do " line, or a line without control word
    KindBegin = '{',   // begin block opener
    KindFBegin = '/',  // fbegin block opener
    KindSBegin = '+',  // sbegin block opener
    KindEnd = '}',     // block closer
};

// The byte of a statement slot that holds no statement.
constexpr char EmptySlot = ' ';

// What an operand of a statement holds. The compiler looks a word written as the first operand
// up by its kind (Variable, Verb, Noun, VariableOrNoun); every other kind must be a number.
enum class Operand : unsigned char {
    None,            // the statement takes no operand here
    Number,          // a number of its own meaning: a mode, a chance, a light state, ticks
    Object,          // an object number
    Location,        // a location number
    Place,           // a location value: a location, -1 carried, -2 worn, 0 nowhere
    Direction,       // a direction, 1 to 10
    Message,         // a message number
    Sysmsg,          // a system message number
    Show,            // a show number
    Variable,        // a variable number or name
    Verb,            // a verb number or word
    Noun,            // a noun number or word
    VariableOrNoun,  // a noun number, or a variable name, or else a noun word
};

// The statements of a condition line (kinds if, and, or, while): the one list of them, from
// which the code enum, the compiler's keywords and the engine's and checker's tables are made.
// A row: the enum name, the keyword, the code ScriptLine::ops stores, the kinds of operand 1 and
// of operand 2. The keywords are matched in this order. Letters repeat with other meanings
// among the action statements ('c' is carried here and create there), hence the scoped enums.
#define UMB_CONDITION_STATEMENTS(X)                                                                \
    X(Begin, "begin", 'b', None, None)           /* the events run that starts a game */           \
    X(Verb, "verb", 'v', Verb, None)             /* the player's verb is a */                      \
    X(Noun, "noun", 'n', Noun, None)             /* the first noun is a */                         \
    X(Noun2, "noun2", '2', VariableOrNoun, None) /* the second noun is a */                        \
    X(Noun3, "noun3", '3', Noun, None)           /* the third noun is a */                         \
    X(AnyNoun, "anynoun", 'y', Noun, None)       /* one of the three nouns is a */                 \
    X(Move, "move", 'm', Number, None)           /* a direction; a: 0 any, 1 exit, 2 none */       \
    X(At, "at", 'a', Location, None)             /* the player is at location a */                 \
    X(Exist, "exist", 'e', Object, None)         /* object a lies somewhere */                     \
    X(IsIn, "isin", 'i', Object, Place)          /* object a is at the location value b */         \
    X(Carried, "carried", 'c', Object, None)     /* object a is carried */                         \
    X(Worn, "worn", 'w', Object, None)           /* object a is worn */                            \
    X(Owned, "owned", 'o', Object, None)         /* object a is carried or worn */                 \
    X(Here, "here", 'h', Object, None)           /* object a is at the player's location */        \
    X(Present, "present", 'p', Object, None)     /* object a is here, carried or worn */           \
    X(Dark, "dark", 'd', Location, None)         /* location a (0: the player's) is dark */        \
    X(Equal, "eq", '=', Variable, Number)        /* variable a equals b */                         \
    X(Greater, "gt", '>', Variable, Number)      /* variable a is greater than b */                \
    X(Less, "lt", '<', Variable, Number)         /* variable a is less than b */                   \
    X(Free, "free", 'f', None, None)             /* fewer than MaxItems objects are held */        \
    X(Random, "random", 'r', Number, Number)     /* a draw from 0 to b - 1 is less than a */       \
    X(Continued, "continued", '+', None, None)   /* the actions run goes on after continue */

// The statements of an action line (kind action), in rows as above with one more column: operand
// 2 when the line gives none. An "ALSO" row is a second keyword for the statement it names.
#define UMB_ACTION_STATEMENTS(X, ALSO)                                                             \
    X(Create, "create", 'c', Object, None, 0)         /* object a goes to the target location */   \
    X(Destroy, "destroy", 'd', Object, None, 0)       /* object a goes nowhere */                  \
    X(Get, "get", 'g', Object, None, 0)               /* object a becomes carried */               \
    X(Wear, "wear", 'w', Object, None, 0)             /* object a becomes worn */                  \
    X(Put, "put", 'p', Object, Place, 0)              /* object a goes to the location value b */  \
    X(MoveAll, "moveall", 'v', Location, Location, 0) /* what is at a (0: here) goes to b */       \
    X(Swap, "swap", 's', Object, Object, 0)           /* objects a and b exchange places */        \
    X(Go, "go", 'l', Location, None, 0)               /* the player moves to a */                  \
    X(At, "at", 'a', Location, None, 0)               /* the next statement works on location a */ \
    X(Exit, "exit", 'e', Direction, Location, 0)      /* direction a of the target leads to b */   \
    X(Subst, "subst", 't', Location, Location, 0)     /* exits to a (0: here) lead to b */         \
    X(Light, "light", 'i', Number, Location, 0)       /* location b (0: target) gets light a */    \
    X(Message, "message", 'm', Message, None, 0)      /* prints message a */                       \
    X(Sysmsg, "sysmsg", 'y', Sysmsg, None, 0)         /* prints system message a */                \
    X(Show, "show", 'b', Show, None, 0)               /* presents show a */                        \
    X(Pause, "pause", 'u', Number, None, 0)           /* waits for a key or a ticks */             \
    X(Quit, "quit", 'q', None, None, 0)               /* ends the game */                          \
    X(Set, "set", '=', Variable, Number, 1)           /* variable a takes b */                     \
    ALSO(Set, "reset", Variable, Number, 0)           /* variable a takes 0 */                     \
    X(Add, "add", '+', Variable, Number, 0)           /* variable a gains b */                     \
    X(Sub, "sub", '-', Variable, Number, 0)           /* variable a loses b */                     \
    X(MultipleChoice, "mchoiche", '9', Variable, Number, 0) /* a takes a choice of 1 to b */       \
    X(YesNoChoice, "bchoiche", '2', Variable, None, 0)      /* a takes a yes or no */              \
    X(Redescribe, "redesc", 'r', None, None, 0) /* the player's location is described */           \
    X(Cls, "cls", '_', None, None, 0)           /* the message area is cleared */                  \
    X(Halt, "halt", 'h', None, None, 0)         /* the script stops */                             \
    X(Continue, "continue", 'o', None, None, 0) /* the actions run goes on */                      \
    X(Break, "break", '}', None, None, 0)       /* the current block is left */

// The statement codes as ScriptLine::ops stores them; a negated condition is stored as the
// negative of its code.
#define UMB_ENUM_ROW(name, keyword, code, ...) name = code,
#define UMB_NO_ROW(...)
enum class ConditionCode : signed char { UMB_CONDITION_STATEMENTS(UMB_ENUM_ROW) };
enum class ActionCode : signed char { UMB_ACTION_STATEMENTS(UMB_ENUM_ROW, UMB_NO_ROW) };
#undef UMB_ENUM_ROW

// Statement codes are below 128: a table indexed by code has this many entries.
constexpr size_t CodeCount = 128;

// The byte a statement code is stored as, and its index in a table indexed by code.
constexpr signed char CodeByte(ConditionCode code) { return static_cast<signed char>(code); }
constexpr signed char CodeByte(ActionCode code) { return static_cast<signed char>(code); }
template <typename Code> constexpr size_t CodeIndex(Code code) {
    return static_cast<size_t>(CodeByte(code));
}

// How many entries of a table indexed by code hold a statement's handler: one per statement of
// its list unless two statements were given the same code.
template <typename Handler, size_t N>
constexpr size_t FilledEntries(const std::array<Handler, N>& table) {
    size_t n = 0;
    for (const Handler& h : table) n += h != nullptr;
    return n;
}

// A keyword of a statement with what it compiles to.
struct StatementKeyword {
    const char* word;
    signed char code;  // the ConditionCode or ActionCode stored in the slot
    Operand a, b;      // what operand 1 and operand 2 hold
    int16_t defaultB;  // operand 2 when the line gives none
};

#define UMB_CONDITION_ROW(name, keyword, code, a, b)                                               \
    {keyword, CodeByte(ConditionCode::name), Operand::a, Operand::b, 0},
#define UMB_ACTION_ROW(name, keyword, code, a, b, defaultB)                                        \
    {keyword, CodeByte(ActionCode::name), Operand::a, Operand::b, defaultB},
#define UMB_ACTION_ALSO_ROW(name, keyword, a, b, defaultB)                                         \
    {keyword, CodeByte(ActionCode::name), Operand::a, Operand::b, defaultB},
// In list order: the first keyword that matches counts.
inline constexpr StatementKeyword ConditionKeywords[] = {
    UMB_CONDITION_STATEMENTS(UMB_CONDITION_ROW)};
inline constexpr StatementKeyword ActionKeywords[] = {
    UMB_ACTION_STATEMENTS(UMB_ACTION_ROW, UMB_ACTION_ALSO_ROW)};
#undef UMB_CONDITION_ROW
#undef UMB_ACTION_ROW
#undef UMB_ACTION_ALSO_ROW

// How many statements each list holds (second keywords not counted).
#define UMB_COUNT_ROW(...) +1
constexpr size_t ConditionStatementCount = 0 UMB_CONDITION_STATEMENTS(UMB_COUNT_ROW);
constexpr size_t ActionStatementCount = 0 UMB_ACTION_STATEMENTS(UMB_COUNT_ROW, UMB_NO_ROW);
#undef UMB_COUNT_ROW
#undef UMB_NO_ROW

// The first keyword of a statement, as the source writes it.
template <typename Code, size_t N>
constexpr const char* KeywordIn(const StatementKeyword (&table)[N], Code code) {
    for (const StatementKeyword& k : table)
        if (k.code == CodeByte(code)) return k.word;
    return "";
}
constexpr const char* KeywordOf(ConditionCode code) { return KeywordIn(ConditionKeywords, code); }
constexpr const char* KeywordOf(ActionCode code) { return KeywordIn(ActionKeywords, code); }

// A stored code must read back as one statement and never as an empty slot; a keyword must
// name one statement, and be in lower case, which the compiler's lookup folds words to.
namespace detail {
constexpr bool SameWord(const char* x, const char* y) {
    while (*x != '\0' && *x == *y) ++x, ++y;
    return *x == *y;
}
constexpr bool LowerCaseWord(const char* word) {
    if (*word == '\0') return false;
    for (; *word != '\0'; ++word)
        if (*word >= 'A' && *word <= 'Z') return false;
    return true;
}
template <size_t N>
constexpr bool CodesSound(const StatementKeyword (&table)[N], size_t statements) {
    size_t distinct = 0;
    for (size_t i = 0; i < N; ++i) {
        const StatementKeyword& k = table[i];
        if (k.code <= 0 || static_cast<size_t>(k.code) >= CodeCount || k.code == EmptySlot ||
            !LowerCaseWord(k.word))
            return false;
        bool first = true;
        for (size_t j = 0; j < i; ++j) {
            if (SameWord(table[j].word, k.word)) return false;
            if (table[j].code == k.code) first = false;
        }
        distinct += first;
    }
    return distinct == statements;
}
}  // namespace detail
static_assert(
    detail::CodesSound(ConditionKeywords, ConditionStatementCount),
    "a condition code is out of range or shared, or a keyword repeated or not lower case");
static_assert(detail::CodesSound(ActionKeywords, ActionStatementCount),
              "an action code is out of range or shared, or a keyword repeated or not lower case");

}  // namespace umb::db
