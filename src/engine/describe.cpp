// describe.cpp - the location display, its object and exit lists, the inventory and examine.
#include "engine/engine.h"

#include <cstring>

using namespace umb::db;
using namespace umb::ui;

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

// Prints a text under the current area and mode; an absent text prints nothing.
void PrintIfPresent(Game& g, const char* text) {
    if (text != nullptr) PrintGameText(g, text);
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

// Ends the list and prints it under the current area and mode; an empty list prints nothing.
void PrintNameList(Game& g, NameList& list) {
    if (list.named == 0) return;
    Append(list.text, ".");
    PrintGameText(g, list.text.text);
}

}  // namespace

// Draws the title, status line, description area and picture of a location, or of the darkness
// location while it is dark; returns -1 (nothing drawn) when the location has no name.
int DescribeLocation(Game& g, int location) {
    const LocationRecord& here = LocationAt(g, location);
    if (TextOf(*g.Db, here.name) == nullptr) return -1;
    const LocationRecord& shown = IsDark(g, location) != 0 ? LocationAt(g, 0) : here;
    ScreenState& s = *g.Screen;

    SelectArea(s, AreaTitle, ModeClearArea);
    PrintGameText(g, TextOf(*g.Db, shown.name));
    char status[sizeof g.Db->StatusLine + 1] = {};
    std::memcpy(status, g.Db->StatusLine, sizeof g.Db->StatusLine);
    if (status[0] != '\0') {
        SelectArea(s, AreaTitle, ModeBottomLine);
        PrintGameText(g, status);
    }

    SelectArea(s, AreaDescription, ModeClearArea);
    PrintText(s, nullptr);
    SelectArea(s, AreaDescription, ModeFlow);
    ListContents(g, location);

    DisplayGamePicture(g, shown.picture);
    if (g.DebugMode) ReportPictureFailure(s);
    return 0;
}

// Prints a location's description, its objects and its exits under the current area and mode;
// while it is dark, the darkness location's description alone. A game without a named darkness
// location lists nothing at all.
void ListContents(Game& g, int location) {
    if (TextOf(*g.Db, LocationAt(g, 0).name) == nullptr) return;
    if (IsDark(g, location) != 0) {
        PrintIfPresent(g, TextOf(*g.Db, LocationAt(g, 0).description));
        return;
    }
    PrintIfPresent(g, TextOf(*g.Db, LocationAt(g, location).description));

    NameList objects{SysmsgText(g, SysmsgObjectsHeading), {}, 0};
    for (int i = 1; i <= g.Db->LastObject; ++i)
        if (ObjectLocation(g, i) == location) AddName(objects, TextOf(*g.Db, ObjectAt(g, i).name));
    PrintNameList(g, objects);

    if (g.Db->ShowExits == 0) return;
    NameList exits{SysmsgText(g, SysmsgExitsHeading), {}, 0};
    for (int d = 1; d <= DirectionCount; ++d)
        if (EffectiveExit(g, location, d) != 0)
            AddName(exits, TextOf(*g.Db, g.Db->Directions[d - 1]));
    PrintNameList(g, exits);
}

// Prints the objects carried and worn as one text in the message area.
void ShowInventory(Game& g) {
    SelectArea(*g.Screen, AreaMessages, ModeNewLine);
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
    PrintGameText(g, list.text);
}

// Prints an object's description (SysmsgNoDescription when it has none) in the message area;
// returns -1 when the object has no name.
int ExamineObject(Game& g, int object) {
    SelectArea(*g.Screen, AreaMessages, ModeNewLine);
    const ObjectRecord& o = ObjectAt(g, object);
    if (TextOf(*g.Db, o.name) == nullptr) return -1;
    const char* description = TextOf(*g.Db, o.description);
    PrintIfPresent(g, description != nullptr ? description : SysmsgText(g, SysmsgNoDescription));
    return 0;
}

}  // namespace umb::engine
