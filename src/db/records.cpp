// records.cpp - the blank records that stand for numbers the source never defines.
#include "db/records.h"

namespace umb::db {

LocationRecord BlankLocation() {
    LocationRecord r{};
    for (int16_t& o : r.exitOverrides) o = Unset;
    r.light = 1;
    return r;
}

ObjectRecord BlankObject() {
    ObjectRecord r{};
    r.location = Unset;
    return r;
}

ScriptLine BlankScriptLine(char kind) {
    ScriptLine r{};
    r.kind = kind;
    for (signed char& op : r.ops) op = EmptySlot;
    return r;
}

}  // namespace umb::db
