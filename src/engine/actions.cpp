// actions.cpp - runs the statements of an action line; prints messages, system messages and shows.
#include "engine/describe.h"
#include "engine/script.h"
#include "engine/show.h"

#include <array>

using namespace umb::db;

namespace umb::engine {

namespace {

// One line being run: the location that create, exit and light work on, and the line's result.
struct Action {
    Game& g;
    int16_t target;
    ActResult result = ActResult::Normal;
};

// A statement with its operands a and b.
using ActionFn = void (*)(Action& x, int16_t a, int16_t b);

// create: object a goes to the target location.
void Create(Action& x, int16_t a, int16_t) { MoveObject(x.g, a, x.target); }
// destroy: object a goes nowhere.
void Destroy(Action& x, int16_t a, int16_t) { MoveObject(x.g, a, 0); }
// get: object a becomes carried, whatever its attributes and the player's load.
void Get(Action& x, int16_t a, int16_t) { MoveObject(x.g, a, Carried); }
// wear: object a becomes worn, whatever its attributes.
void Wear(Action& x, int16_t a, int16_t) { MoveObject(x.g, a, Worn); }
// put: object a goes to the location value b.
void Put(Action& x, int16_t a, int16_t b) { MoveObject(x.g, a, b); }

// moveall: every object at a (the player's location when a is 0) goes to b.
void MoveAll(Action& x, int16_t a, int16_t b) {
    MoveAllObjects(x.g, a == 0 ? x.g.CurrentLocation : a, b);
}

// swap: objects a and b exchange places.
void Swap(Action& x, int16_t a, int16_t b) {
    const int16_t placeA = ObjectLocation(x.g, a);
    const int16_t placeB = ObjectLocation(x.g, b);
    MoveObject(x.g, a, placeB);
    MoveObject(x.g, b, placeA);
}

// go: the player moves to a; the screen follows before the next input.
void Go(Action& x, int16_t a, int16_t) { x.g.CurrentLocation = a; }
// at: the next statement works on location a.
void At(Action& x, int16_t a, int16_t) { x.target = a; }
// exit: direction a of the target location leads to b (0 closes it).
void Exit(Action& x, int16_t a, int16_t b) { SetExitOverride(x.g, x.target, a, b); }

// subst: every exit that leads to a (the player's location when a is 0) leads to b instead.
void Subst(Action& x, int16_t a, int16_t b) {
    SubstExits(x.g, a == 0 ? x.g.CurrentLocation : a, b);
}

// light: location b (the target when b is 0) takes the light state a.
void Light(Action& x, int16_t a, int16_t b) { SetLight(x.g, b == 0 ? x.target : b, a); }

// message: prints message a.
void Message(Action& x, int16_t a, int16_t) { PrintMessage(x.g, a); }
// sysmsg: prints system message a.
void Sysmsg(Action& x, int16_t a, int16_t) { PrintSysmsg(x.g, a); }
// show: presents show a.
void Show(Action& x, int16_t a, int16_t) { ShowPicture(x.g, a); }
// pause: waits for a key or a ticks (see WaitKeyOrTime).
void Pause(Action& x, int16_t a, int16_t) { FrontWaitKeyOrTime(x.g, a); }

// quit: the line ends the game.
void Quit(Action& x, int16_t, int16_t) { x.result = ActResult::Quit; }
// halt: the line stops the script.
void Halt(Action& x, int16_t, int16_t) { x.result = ActResult::Halt; }
// continue: the line lets the action scan go on.
void Continue(Action& x, int16_t, int16_t) { x.result = ActResult::Continue; }
// break: the line leaves the current block.
void Break(Action& x, int16_t, int16_t) { x.result = ActResult::Break; }

// set: variable a takes b.
void Set(Action& x, int16_t a, int16_t b) { SetVar(x.g, a, b); }
// add: variable a gains b, wrapping in 16 bits.
void Add(Action& x, int16_t a, int16_t b) {
    SetVar(x.g, a, static_cast<int16_t>(VarValue(x.g, a) + b));
}
// sub: variable a loses b, wrapping in 16 bits.
void Sub(Action& x, int16_t a, int16_t b) {
    SetVar(x.g, a, static_cast<int16_t>(VarValue(x.g, a) - b));
}

// mchoiche: variable a takes the player's choice of 1 to b, or 0 for Escape.
void MultipleChoice(Action& x, int16_t a, int16_t b) {
    SetVar(x.g, a, static_cast<int16_t>(AskGameChoice(x.g, nullptr, b)));
}

// bchoiche: variable a takes the player's yes (1) or no (0).
void YesNoChoice(Action& x, int16_t a, int16_t) {
    SetVar(x.g, a, static_cast<int16_t>(AskGameYesNo(x.g, nullptr) ? 1 : 0));
}

// redesc: the player's location is described again at once.
void Redescribe(Action& x, int16_t, int16_t) { DescribeLocation(x.g, x.g.CurrentLocation, true); }
// cls: the message area is cleared.
void Cls(Action& x, int16_t, int16_t) { ClearMessages(x.g); }

// The statements by code, each the function of its name in the list of action statements;
// codes without an entry (the empty slot among them) do nothing.
constexpr std::array<ActionFn, CodeCount> MakeActionTable() {
    std::array<ActionFn, CodeCount> t{};
#define UMB_HANDLER_ROW(name, ...) t[CodeIndex(ActionCode::name)] = name;
#define UMB_NO_HANDLER(...)
    UMB_ACTION_STATEMENTS(UMB_HANDLER_ROW, UMB_NO_HANDLER)
#undef UMB_HANDLER_ROW
#undef UMB_NO_HANDLER
    return t;
}

constexpr std::array<ActionFn, CodeCount> ActionTable = MakeActionTable();
static_assert(FilledEntries(ActionTable) == ActionStatementCount,
              "two action statements share a code");
static_assert(ActionTable[static_cast<size_t>(EmptySlot)] == nullptr,
              "an empty slot must do nothing");

}  // namespace

// Runs every slot of the line; returns the last result set (halt, continue, break, quit).
ActResult ExecActionLine(Game& g, const ScriptLine& line) {
    Action x{g, g.CurrentLocation};
    for (int i = 0; i < ScriptSlots; ++i) {
        const int code = line.ops[i];
        // A negated statement means nothing in an action line.
        const ActionFn statement = code >= 0 ? ActionTable[static_cast<size_t>(code)] : nullptr;
        if (statement != nullptr) statement(x, line.operandA[i], line.operandB[i]);
        if (code != CodeByte(ActionCode::At)) x.target = g.CurrentLocation;
    }
    return x.result;
}

// Prints message n; an undefined message prints nothing.
void PrintMessage(Game& g, int n) { ShowGameMessage(g, MessageText(g, n)); }

// Prints system message n; an undefined one prints nothing.
void PrintSysmsg(Game& g, int n) { ShowGameMessage(g, SysmsgText(g, n)); }

// Shows entry n of the shows: its text, then its picture; an entry without a picture shows nothing.
void ShowPicture(Game& g, int n) {
    const GameDatabase& db = *g.Db;
    if (n < 0 || n > db.LastShow || static_cast<size_t>(n) >= db.Shows.size()) return;
    const ShowRecord& show = db.Shows[static_cast<size_t>(n)];
    if (show.picture == NoText) return;
    ShowGameMessage(g, TextOf(db, show.text));
    DisplayGamePicture(g, show.picture);
    if (g.DebugMode) FrontReportPictureFailure(g);
}

// Clears the whole message area.
void ClearMessages(Game& g) { FrontClearMessages(g); }

}  // namespace umb::engine
