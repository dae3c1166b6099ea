// db_compare.h - names the first difference between two game databases, for tests and fuzz targets.
#pragma once

#include "db/database.h"

#include <cstring>
#include <string>
#include <vector>

using namespace umb::db;

namespace db_compare {

template <typename T> bool SameTable(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

}  // namespace db_compare

// Compares everything a compiled game file carries: the tables with their counts, the settings
// and the used part of the text heap. Returns the name of the first field that differs, or ""
// when the two agree.
inline std::string DatabaseDifference(const GameDatabase& a, const GameDatabase& b) {
    using db_compare::SameTable;
    if (a.LastLocation != b.LastLocation) return "LastLocation";
    if (a.LastObject != b.LastObject) return "LastObject";
    if (a.LastMessage != b.LastMessage) return "LastMessage";
    if (a.LastShow != b.LastShow) return "LastShow";
    if (a.VerbCount != b.VerbCount) return "VerbCount";
    if (a.NounCount != b.NounCount) return "NounCount";
    if (a.EventCount != b.EventCount) return "EventCount";
    if (a.ActionCount != b.ActionCount) return "ActionCount";
    if (a.VarCount != b.VarCount) return "VarCount";
    if (!SameTable(a.Locations, b.Locations)) return "Locations";
    if (!SameTable(a.Objects, b.Objects)) return "Objects";
    if (!SameTable(a.Messages, b.Messages)) return "Messages";
    if (!SameTable(a.Shows, b.Shows)) return "Shows";
    if (!SameTable(a.Verbs, b.Verbs)) return "Verbs";
    if (!SameTable(a.Nouns, b.Nouns)) return "Nouns";
    if (!SameTable(a.Vars, b.Vars)) return "Vars";
    if (!SameTable(a.Events, b.Events)) return "Events";
    if (!SameTable(a.Actions, b.Actions)) return "Actions";
    if (std::memcmp(a.Sysmsg, b.Sysmsg, sizeof a.Sysmsg) != 0) return "Sysmsg";
    if (std::memcmp(a.Directions, b.Directions, sizeof a.Directions) != 0) return "Directions";
    if (a.StartLocation != b.StartLocation) return "StartLocation";
    if (a.MaxItems != b.MaxItems) return "MaxItems";
    if (a.YesLetter != b.YesLetter) return "YesLetter";
    if (a.NoLetter != b.NoLetter) return "NoLetter";
    if (std::strcmp(a.Prompt, b.Prompt) != 0) return "Prompt";
    if (a.ShowExits != b.ShowExits) return "ShowExits";
    if (std::strcmp(a.ImagePath, b.ImagePath) != 0) return "ImagePath";
    if (std::strcmp(a.Title, b.Title) != 0) return "Title";
    if (std::strcmp(a.StatusLine, b.StatusLine) != 0) return "StatusLine";
    if (a.BgColor != b.BgColor) return "BgColor";
    if (a.FgColor != b.FgColor) return "FgColor";
    if (a.TextHeapNext != b.TextHeapNext) return "TextHeapNext";
    if (!a.TextHeap || !b.TextHeap) return a.TextHeap || b.TextHeap ? "TextHeap" : "";
    // Byte 0 is reserved and never written.
    if (std::memcmp(a.TextHeap.get() + 1, b.TextHeap.get() + 1, a.TextHeapNext - 1) != 0)
        return "TextHeap";
    return "";
}
