// peergame.cpp - writes the benchmark world as this program's source and as Inform 6 source.
#include "peergame.h"

namespace {

std::string RoomName(int n) { return "Room " + std::to_string(n); }

std::string RoomText(int n) {
    return "A plain stone chamber, number " + std::to_string(n) +
           ". Passages lead away north and south into the dark.";
}

std::string ThingText(int n) { return "A small carved token marked " + std::to_string(n) + "."; }

}  // namespace

std::string GeneratePeerWorldAdv(int locations) {
    std::string s = "[System]\nStartLocation=1\nMaxItems=100\n[Directions]\n#1,north\n#2,south\n";
    s += "[Verbs]\n#1,n,north\n#2,s,south\n#11,i,inv,inventory\n#12,l,look\n#13,x,examine\n"
         "#14,get,take\n#15,drop\n";
    s += "[Nouns]\n";
    for (int n = 1; n <= locations; ++n)
        s += "#" + std::to_string(n) + ",token" + std::to_string(n) + "\n";
    s += "[Locations]\n#0,Darkness,,0\nIt is dark.\n";
    for (int n = 1; n <= locations; ++n) {
        const int north = n < locations ? n + 1 : 0;
        const int south = n > 1 ? n - 1 : 0;
        s += "#" + std::to_string(n) + "," + RoomName(n) + ",,0," + std::to_string(north) + "," +
             std::to_string(south) + "\n" + RoomText(n) + "\n";
    }
    s += "[Objects]\n";
    for (int n = 1; n <= locations; ++n)
        s += "#" + std::to_string(n) + ",a token marked " + std::to_string(n) + "," +
             std::to_string(n) + ",1," + std::to_string(n) + "\n" + ThingText(n) + "\n";
    return s;
}

std::string GeneratePeerWorldInform(int locations) {
    std::string s = "Constant Story \"Peer\";\nConstant Headline \"^A benchmark world^\";\n"
                    "Include \"Parser\";\nInclude \"VerbLib\";\n";
    for (int n = 1; n <= locations; ++n) {
        const std::string id = "room" + std::to_string(n);
        s +=
            "Object " + id + " \"" + RoomName(n) + "\"\n  with description \"" + RoomText(n) + "\"";
        if (n < locations) s += ",\n    n_to room" + std::to_string(n + 1);
        if (n > 1) s += ",\n    s_to room" + std::to_string(n - 1);
        s += ",\n  has light;\n";
        s += "Object token" + std::to_string(n) + " \"token marked " + std::to_string(n) + "\" " +
             id + "\n  with name 'token' 'token" + std::to_string(n) + "', description \"" +
             ThingText(n) + "\";\n";
    }
    s += "[ Initialise; location = room1; ];\nInclude \"Grammar\";\n";
    return s;
}
