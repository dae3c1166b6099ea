// describe.cpp - the location display, its object and exit lists, the inventory and examine.
#include "engine/describe.h"
#include "engine/script.h"
#include "engine/show.h"

#include <cstring>

using namespace umb::db;

namespace umb::engine {

namespace {

constexpr size_t ListBufferSize = 1024;

// One list text; what does not fit in the buffer is cut off.
struct ListText {
    char text[ListBufferSize] = {};
    size_t length = 0;
};

// Appends a text (nothing when absent) as far as the buffer allows.
void Append(ListText& list, const char* text) {
    if (text == nullptr) return;
    const size_t room = ListBufferSize - 1 - list.length;
    const size_t n = strnlen(text, room);
    std::memcpy(list.text + list.length, text, n);
    list.length += n;
    list.text[list.length] = '\0';
}

// The texts a location shows below its name, in reading order, their marks expanded.
struct ContentTexts {
    char texts[3][WorkBufferSize];
    int count = 0;
};

// Adds a text (nothing when absent) with its marks expanded.
void AddText(Game& g, ContentTexts& out, const char* text) {
    if (text == nullptr || out.count >= 3) return;
    ExpandText(*g.Db, text, out.texts[out.count++]);
}

// A list of what a location holds, gathered as one sentence: "heading first, second."
struct NameList {
    const char* heading;
    ListText text;
    int named = 0;
};

// Adds a name to the list (an absent name adds only its separator).
void AddName(NameList& list, const char* name) {
    if (list.named == 0) Append(list.text, list.heading);
    Append(list.text, list.named == 0 ? " " : ", ");
    Append(list.text, name);
    ++list.named;
}

// Ends the list and adds it to the texts; an empty list adds nothing.
void AddNameList(Game& g, ContentTexts& out, NameList& list) {
    if (list.named == 0) return;
    Append(list.text, ".");
    AddText(g, out, list.text.text);
}

// Gathers a location's description, its objects and its exits; while it is dark, the darkness
// location's description alone. A game without a named darkness location shows nothing at all.
void GatherContents(Game& g, int location, ContentTexts& out) {
    if (TextOf(*g.Db, LocationAt(g, 0).name) == nullptr) return;
    if (IsDark(g, location)) {
        AddText(g, out, TextOf(*g.Db, LocationAt(g, 0).description));
        return;
    }
    AddText(g, out, TextOf(*g.Db, LocationAt(g, location).description));

    NameList objects{SysmsgText(g, SysmsgObjectsHeading), {}, 0};
    for (int i = 1; i <= g.Db->LastObject; ++i)
        if (ObjectLocation(g, i) == location) AddName(objects, TextOf(*g.Db, ObjectAt(g, i).name));
    AddNameList(g, out, objects);

    if (g.Db->ShowExits == 0) return;
    NameList exits{SysmsgText(g, SysmsgExitsHeading), {}, 0};
    for (int d = 1; d <= DirectionCount; ++d)
        if (EffectiveExit(g, location, d) != 0)
            AddName(exits, TextOf(*g.Db, g.Db->Directions[d - 1]));
    AddNameList(g, out, exits);
}

}  // namespace

// Shows the name, status line, texts and picture of a location, or of the darkness location
// while it is dark; returns false (nothing shown) when the location has no name.
bool DescribeLocation(Game& g, int location, bool again) {
    const LocationRecord& here = LocationAt(g, location);
    if (TextOf(*g.Db, here.name) == nullptr) return false;
    const LocationRecord& shown = IsDark(g, location) ? LocationAt(g, 0) : here;

    LocationView v;
    char name[WorkBufferSize];
    // A dark place in a game without a named darkness location shows a blank name.
    ExpandText(*g.Db, TextOrEmpty(TextOf(*g.Db, shown.name)), name);
    v.name = name;
    char raw[sizeof g.Db->StatusLine + 1] = {};
    std::memcpy(raw, g.Db->StatusLine, sizeof g.Db->StatusLine);
    char status[WorkBufferSize];
    if (raw[0] != '\0') {
        ExpandText(*g.Db, raw, status);
        v.status = status;
    }
    ContentTexts contents;
    GatherContents(g, location, contents);
    for (int i = 0; i < contents.count; ++i) v.texts[i] = contents.texts[i];
    v.textCount = contents.count;
    const int shownNumber = &shown == &here ? location : 0;
    v.again = again || shownNumber != g.ShownLocation;
    g.ShownLocation = shownNumber;
    FrontShowLocation(g, v);

    DisplayGamePicture(g, shown.picture);
    if (g.DebugMode) FrontReportPictureFailure(g);
    return true;
}

// Prints the objects carried and worn as one text in the message area.
void ShowInventory(Game& g) {
    ListText list;
    Append(list, SysmsgText(g, SysmsgInventoryHeading));
    Append(list, " ");
    int named = 0;
    for (int i = 1; i <= g.Db->LastObject; ++i) {
        const int16_t where = ObjectLocation(g, i);
        if (!IsCarriedOrWorn(where)) continue;
        if (named > 0) Append(list, ", ");
        Append(list, TextOf(*g.Db, ObjectAt(g, i).name));
        if (where == Worn) Append(list, SysmsgText(g, SysmsgWorn));
        ++named;
    }
    Append(list, named > 0 ? "." : SysmsgText(g, SysmsgCarryingNothing));
    ShowGameMessage(g, list.text);
}

// Prints an object's description (SysmsgNoDescription when it has none) in the message area;
// returns false when the object has no name.
bool ExamineObject(Game& g, int object) {
    const ObjectRecord& o = ObjectAt(g, object);
    if (TextOf(*g.Db, o.name) == nullptr) return false;
    const char* description = TextOf(*g.Db, o.description);
    ShowGameMessage(g, description != nullptr ? description : SysmsgText(g, SysmsgNoDescription));
    return true;
}

}  // namespace umb::engine
