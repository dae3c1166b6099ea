// test_places.cpp - subst and moveall through the place indexes agree with whole-table scans.
#include "engine/engine.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace umb::db;
using namespace umb::engine;

namespace {

struct Lcg {
    uint32_t state;
    int Below(int n) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 8) % static_cast<uint32_t>(n));
    }
};

// Places the operations use: a few real locations, the player, nowhere, names of nothing and
// the "not set" marker, so that stale and odd entries are exercised.
int16_t SomePlace(Lcg& r) {
    static const int16_t odd[] = {0, Carried, Worn, Unset, -5, 31, 999, 32767, -32768};
    if (r.Below(3) == 0) return odd[r.Below(static_cast<int>(std::size(odd)))];
    return static_cast<int16_t>(r.Below(12));
}

void ScanSubst(Game& g, int16_t from, int16_t to) {
    for (int l = 0; l <= g.Db->LastLocation; ++l)
        for (int d = 1; d <= DirectionCount; ++d)
            if (EffectiveExit(g, l, d) == from) SetExitOverride(g, l, d, to);
}

void ScanMoveAll(Game& g, int16_t from, int16_t to) {
    for (int i = 0; i <= g.Db->LastObject; ++i)
        if (ObjectLocation(g, i) == from) MoveObject(g, i, to);
}

void ExpectSameState(const Game& a, const Game& b, int step) {
    for (int l = 0; l <= a.Db->LastLocation; ++l)
        for (int d = 0; d < DirectionCount; ++d)
            ASSERT_EQ(LocationAt(a, l).exitOverrides[d], LocationAt(b, l).exitOverrides[d])
                << "step " << step << ", location " << l << ", direction " << d + 1;
    for (int i = 0; i <= a.Db->LastObject; ++i)
        ASSERT_EQ(ObjectAt(a, i).location, ObjectAt(b, i).location)
            << "step " << step << ", object " << i;
    ASSERT_EQ(a.CarriedCount, b.CarriedCount) << "step " << step;
}

TEST(Places, IndexedSubstAndMoveAllMatchWholeScans) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        GameDatabase dbA, dbB;
        for (GameDatabase* db : {&dbA, &dbB}) {
            Lcg r{seed};
            ResetDatabase(*db);
            GrowLocations(*db, 24);
            GrowObjects(*db, 30);
            for (LocationRecord& l : db->Locations)
                for (int16_t& e : l.exits) e = r.Below(2) == 0 ? SomePlace(r) : int16_t{0};
            for (ObjectRecord& o : db->Objects) o.initialLocation = SomePlace(r);
        }
        Lcg r{seed * 7919u};
        Game a, b;
        a.Db = &dbA;
        b.Db = &dbB;
        for (int step = 0; step < 400; ++step) {
            const int16_t from = SomePlace(r);
            const int16_t to = SomePlace(r);
            switch (r.Below(6)) {
            case 0:
                SubstExits(a, from, to);
                ScanSubst(b, from, to);
                break;
            case 1:
                MoveAllObjects(a, from, to);
                ScanMoveAll(b, from, to);
                break;
            case 2: {
                const int l = r.Below(28), d = 1 + r.Below(DirectionCount);
                SetExitOverride(a, l, d, to);
                SetExitOverride(b, l, d, to);
                break;
            }
            case 3: {
                const int i = r.Below(34);
                MoveObject(a, i, to);
                MoveObject(b, i, to);
                break;
            }
            case 4:  // tables written behind the indexes' backs, as a new game or restore does
                if (r.Below(8) == 0) {
                    const size_t l = static_cast<size_t>(r.Below(25));
                    const size_t i = static_cast<size_t>(r.Below(31));
                    dbA.Locations[l].exitOverrides[0] = dbB.Locations[l].exitOverrides[0] = to;
                    dbA.Objects[i].location = dbB.Objects[i].location = to;
                    b.CarriedCount = a.CarriedCount = 0;
                    ForgetPlaces(a);
                }
                break;
            default:  // many small moves make stale entries pile up until a rebuild
                for (int k = 0; k < 20; ++k) {
                    const int i = r.Below(31);
                    const int16_t p = SomePlace(r);
                    MoveObject(a, i, p);
                    MoveObject(b, i, p);
                }
                break;
            }
            ExpectSameState(a, b, step);
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
