// codes.h - the code letters a compiled script line stores, and the results of the file readers.
//
// Every value here is written into files or returned to callers that test for it: the letters
// are the bytes of a ScriptLine (records.h) in the compiled game file, the reader results the
// numbers that callers and tests check. This is the one place that spells them.
#pragma once

#include <cstddef>

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

// The statement codes of a condition line (kinds if, and, or, while), as ScriptLine::ops stores
// them; a negated statement is stored as the negative of its code. The two tables reuse letters
// with other meanings ('c' is carried here and create in an action line), hence scoped names.
enum class ConditionCode : signed char {
    Begin = 'b',      // the events run that starts a game
    Verb = 'v',       // the player's verb is a
    Noun = 'n',       // the first noun is a
    Noun2 = '2',      // the second noun is a
    Noun3 = '3',      // the third noun is a
    AnyNoun = 'y',    // one of the three nouns is a
    Move = 'm',       // the verb is a direction; a: 0 any, 1 with an exit, 2 without
    At = 'a',         // the player is at location a
    Exist = 'e',      // object a lies somewhere
    IsIn = 'i',       // object a is at the location value b
    Carried = 'c',    // object a is carried
    Worn = 'w',       // object a is worn
    Owned = 'o',      // object a is carried or worn
    Here = 'h',       // object a is at the player's location
    Present = 'p',    // object a is here, carried or worn
    Dark = 'd',       // location a (0: the player's) is dark
    Equal = '=',      // variable a equals b ("eq")
    Greater = '>',    // variable a is greater than b ("gt"; also a bare variable name)
    Less = '<',       // variable a is less than b ("lt")
    Free = 'f',       // fewer objects than MaxItems are carried or worn
    Random = 'r',     // a random number from 0 to b - 1 is less than a
    Continued = '+',  // the actions run goes on after a continue
};

// The statement codes of an action line (kind action), as ScriptLine::ops stores them.
enum class ActionCode : signed char {
    Create = 'c',          // object a goes to the target location
    Destroy = 'd',         // object a goes nowhere
    Get = 'g',             // object a becomes carried
    Wear = 'w',            // object a becomes worn
    Put = 'p',             // object a goes to the location value b
    MoveAll = 'v',         // every object at a (0: the player's location) goes to b ("moveall")
    Swap = 's',            // objects a and b exchange places
    Go = 'l',              // the player moves to a
    At = 'a',              // the next statement works on location a
    Exit = 'e',            // direction a of the target location leads to b
    Subst = 't',           // every exit leading to a (0: the player's location) leads to b
    Light = 'i',           // location b (0: the target) takes the light state a
    Message = 'm',         // prints message a
    Sysmsg = 'y',          // prints system message a
    Show = 'b',            // presents show a
    Pause = 'u',           // waits for a key or a ticks
    Quit = 'q',            // ends the game
    Set = '=',             // variable a takes b ("set", and "reset" with b 0)
    Add = '+',             // variable a gains b
    Sub = '-',             // variable a loses b
    MultipleChoice = '9',  // variable a takes the player's choice of 1 to b ("mchoiche")
    YesNoChoice = '2',     // variable a takes the player's yes or no ("bchoiche")
    Redescribe = 'r',      // the player's location is described again ("redesc")
    Cls = '_',             // the message area is cleared
    Halt = 'h',            // the script stops
    Continue = 'o',        // the actions run goes on
    Break = '}',           // the current block is left
};

// Statement codes are below 128: a table indexed by code has this many entries.
constexpr size_t CodeCount = 128;

// The byte a statement code is stored as, and its index in a table indexed by code.
constexpr signed char CodeByte(ConditionCode code) { return static_cast<signed char>(code); }
constexpr signed char CodeByte(ActionCode code) { return static_cast<signed char>(code); }
template <typename Code> constexpr size_t CodeIndex(Code code) {
    return static_cast<size_t>(CodeByte(code));
}

}  // namespace umb::db
