// conditions.cpp - whether a condition line holds, and whether a location is dark.
#include "engine/script.h"

#include <array>
#include <cstdlib>

using namespace umb::db;

namespace umb::engine {

namespace {

// What one evaluation reads besides the game state, and the verb and noun matches it records.
struct Condition {
    Game& g;
    int verb, noun, noun2, noun3;
    ScriptMode mode;
    int verbHit = 0;
    int nounHit = 0;
};

// A statement: 1 when it holds for the operands a and b, else 0.
using ConditionFn = int (*)(Condition& c, int a, int b);

// begin: holds in the events run that starts a game.
int Begin(Condition& c, int, int) { return c.mode == ScriptMode::Begin; }
// continued: holds when the action scan goes on after a continue.
int Continued(Condition& c, int, int) { return c.mode == ScriptMode::Continued; }

// verb: the player's verb is a; a match is recorded even when the statement is negated.
int Verb(Condition& c, int a, int) {
    if (c.verb != a) return 0;
    c.verbHit = 1;
    return 1;
}

// noun: the first noun is a; a match is recorded even when the statement is negated.
int Noun(Condition& c, int a, int) {
    if (c.noun != a) return 0;
    c.nounHit = 1;
    return 1;
}

// noun2: the second noun is a.
int Noun2(Condition& c, int a, int) { return c.noun2 == a; }
// noun3: the third noun is a.
int Noun3(Condition& c, int a, int) { return c.noun3 == a; }
// anynoun: one of the three nouns is a.
int AnyNoun(Condition& c, int a, int) { return c.noun == a || c.noun2 == a || c.noun3 == a; }

// move: the verb is a direction and a says whether an exit that way matters (1 one, 2 none).
int Move(Condition& c, int a, int) {
    if (c.verb < 1 || c.verb > DirectionCount) return 0;
    const int16_t exit = EffectiveExit(c.g, c.g.CurrentLocation, c.verb);
    if (a == 0) return 1;
    if (a == 1) return exit != 0;
    if (a == 2) return exit == 0;
    return 0;
}

// at: the player is at location a.
int At(Condition& c, int a, int) { return c.g.CurrentLocation == a; }

// exist: object a lies somewhere.
int Exist(Condition& c, int a, int) { return ObjectLocation(c.g, a) != 0; }
// isin: object a is at the location value b.
int IsIn(Condition& c, int a, int b) { return ObjectLocation(c.g, a) == b; }
// carried: object a is carried.
int Carried(Condition& c, int a, int) { return ObjectLocation(c.g, a) == db::Carried; }
// worn: object a is worn.
int Worn(Condition& c, int a, int) { return ObjectLocation(c.g, a) == db::Worn; }

// owned: object a is carried or worn.
int Owned(Condition& c, int a, int) { return IsCarriedOrWorn(ObjectLocation(c.g, a)); }

// here: object a is at the player's location.
int Here(Condition& c, int a, int) { return ObjectLocation(c.g, a) == c.g.CurrentLocation; }

// present: object a is here, carried or worn.
int Present(Condition& c, int a, int) {
    const int16_t place = ObjectLocation(c.g, a);
    return place == c.g.CurrentLocation || IsCarriedOrWorn(place);
}

// dark: location a (the player's when a is 0) is dark.
int Dark(Condition& c, int a, int) { return IsDark(c.g, a == 0 ? c.g.CurrentLocation : a); }

// eq: variable a has the value b.
int Equal(Condition& c, int a, int b) { return VarValue(c.g, a) == b; }
// gt: variable a is greater than b.
int Greater(Condition& c, int a, int b) { return VarValue(c.g, a) > b; }
// lt: variable a is less than b.
int Less(Condition& c, int a, int b) { return VarValue(c.g, a) < b; }

// free: the player can take one more object.
int Free(Condition& c, int, int) { return c.g.CarriedCount < c.g.Db->MaxItems; }

// random: a chance of a in b; never when b is not positive. Every other test draws a number,
// a not positive included, so a script uses up the same numbers whatever its operands.
int Random(Condition& c, int a, int b) {
    if (b <= 0) return 0;
    int draw = (c.g.Random != nullptr ? c.g.Random() : std::rand()) % b;
    if (draw < 0) draw += b;  // a source outside its range still gives 0 to b - 1
    return draw < a;
}

// The statements by code, each the function of its name in the list of condition statements;
// codes without an entry (the empty slot among them) always hold.
constexpr std::array<ConditionFn, CodeCount> MakeConditionTable() {
    std::array<ConditionFn, CodeCount> t{};
#define UMB_HANDLER_ROW(name, ...) t[CodeIndex(ConditionCode::name)] = name;
    UMB_CONDITION_STATEMENTS(UMB_HANDLER_ROW)
#undef UMB_HANDLER_ROW
    return t;
}

constexpr std::array<ConditionFn, CodeCount> ConditionTable = MakeConditionTable();

static_assert(FilledEntries(ConditionTable) == ConditionStatementCount,
              "two condition statements share a code");
static_assert(ConditionTable[static_cast<size_t>(EmptySlot)] == nullptr,
              "an empty slot must always hold");

}  // namespace

CondResult EvalCondition(Game& g, const ScriptLine& line, int verb, int noun, int noun2, int noun3,
                         ScriptMode mode) {
    Condition c{g, verb, noun, noun2, noun3, mode};
    int result = 1;
    for (int i = 0; i < ScriptSlots; ++i) {
        int code = line.ops[i];
        const bool negated = code < 0;
        if (negated) code = -code;
        const ConditionFn statement = code < static_cast<int>(ConditionTable.size())
                                          ? ConditionTable[static_cast<size_t>(code)]
                                          : nullptr;
        int t = statement != nullptr ? statement(c, line.operandA[i], line.operandB[i]) : 1;
        if (negated) t = 1 - t;
        if (t == 0) result = 0;
    }
    if (result == 0 && c.verbHit == 1 && c.nounHit == 1) return CondResult::NearMiss;
    return result == 1 ? CondResult::Holds : CondResult::Fails;
}

bool IsDark(const Game& g, int location) {
    const LocationRecord& l = LocationAt(g, location);
    if (l.light != Unset && l.light != 0) return false;
    if (l.light == Unset && (l.flags & LocDark) == 0) return false;
    for (int i = 0; i <= g.Db->LastObject; ++i) {
        if ((ObjectAt(g, i).attributes & AttrLight) == 0) continue;
        const int16_t place = ObjectLocation(g, i);
        if (place == location || IsCarriedOrWorn(place)) return false;
    }
    return true;
}

}  // namespace umb::engine
