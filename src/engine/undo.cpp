// undo.cpp - the journal of what each command changed, and taking the last commands back.
#include "engine/undo.h"
#include "engine/show.h"

#include "base/nocase.h"

#include <cstring>

using namespace umb::base;
using namespace umb::db;

namespace umb::engine {

namespace {

// Drops the oldest step and its changes.
void DropOldestStep(UndoJournal& u) {
    for (size_t i = 0; i < u.steps.front().changes; ++i) u.changes.pop_front();
    u.steps.pop_front();
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The parser too reads a line only up to its first line break.
bool IsLineEnd(char c) { return c == '\0' || c == '\r' || c == '\n'; }

}  // namespace

void BeginUndoStep(Game& g) {
    UndoJournal& u = g.Undo;
    u.open = false;
    if (!u.enabled) return;
    while (u.steps.size() >= UndoStepLimit) DropOldestStep(u);
    u.steps.push_back(UndoStep{0, g.CurrentLocation, g.CarriedCount});
    u.open = true;
}

void NoteUndoChange(Game& g, UndoField field, int32_t index, int16_t old) {
    UndoJournal& u = g.Undo;
    if (!u.open) return;
    u.changes.push_back(UndoChange{index, old, field});
    ++u.steps.back().changes;
    if (u.changes.size() <= UndoChangeLimit) return;
    while (u.steps.size() > 1 && u.changes.size() > UndoChangeLimit) DropOldestStep(u);
    // One command changed more than the whole journal may hold: it cannot be taken back, and
    // what it changes from here on is not kept.
    if (u.changes.size() > UndoChangeLimit) ClearUndo(g);
}

bool UndoLastCommand(Game& g) {
    UndoJournal& u = g.Undo;
    u.open = false;  // the accessors below put values back without noting them
    if (u.steps.empty()) return false;
    const UndoStep step = u.steps.back();
    u.steps.pop_back();
    // Newest first, so that a field changed twice ends at its value before the step. Through the
    // accessors, so that the place indexes and the carried count follow.
    for (size_t i = 0; i < step.changes; ++i) {
        const UndoChange c = u.changes.back();
        u.changes.pop_back();
        switch (c.field) {
        case UndoField::ObjectPlace: MoveObject(g, c.index, c.old); break;
        case UndoField::ExitOverride:
            SetExitOverride(g, c.index / 16, c.index % 16 + 1, c.old);
            break;
        case UndoField::Light: SetLight(g, c.index, c.old); break;
        case UndoField::Var: SetVar(g, c.index, c.old); break;
        }
    }
    g.CurrentLocation = step.location;
    g.CarriedCount = step.carried;
    return true;
}

void TakeBackCommand(Game& g) {
    if (UndoLastCommand(g)) {
        g.DescribeAgain = true;
        return;
    }
    // The program's own line, not a message of the game's: no game defines it, and its words
    // are no text marks.
    FrontShowNote(g, "Nothing to undo.");
}

void ClearUndo(Game& g) {
    UndoJournal& u = g.Undo;
    // Swapped with empty ones so that the memory goes back too.
    std::deque<UndoChange>().swap(u.changes);
    std::deque<UndoStep>().swap(u.steps);
    u.open = false;
}

bool IsUndoRequest(const Game& g, const char* line) {
    if (line == nullptr) return false;
    size_t start = 0;
    while (IsBlank(line[start])) ++start;
    size_t end = start;
    while (!IsLineEnd(line[end]) && !IsBlank(line[end])) ++end;
    size_t rest = end;
    while (IsBlank(line[rest])) ++rest;
    constexpr size_t length = sizeof UndoWord - 1;
    if (end - start != length || !IsLineEnd(line[rest])) return false;
    if (CompareNoCaseN(line + start, UndoWord, length) != 0) return false;
    return FindVerb(*g.Db, UndoWord) == 0;
}

size_t UndoBytes(const Game& g) {
    return g.Undo.changes.size() * sizeof(UndoChange) + g.Undo.steps.size() * sizeof(UndoStep);
}

}  // namespace umb::engine
