// map.cpp - the author's map: the world as a Graphviz graph, laid out and drawn by Graphviz.
#include "app/map.h"
#include "app/workbench.h"
#include "app/world.h"

#include "base/fileio.h"
#include "compiler/compiler.h"
#include "ui/gfx/gfx.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace umb::db;

namespace umb::app {

namespace {

constexpr int Anywhere = -1;  // the origin of an exit a script makes wherever the player is

// One exit as the map draws it: direction 1 to 10, or 0 for "subst" from wherever the player is.
struct MapExit {
    int from;  // a location, or Anywhere
    int to;
    int direction;
    bool scripted;  // made or changed by a script: drawn dashed
};

// Location 0 is the darkness and an exit 0 is no exit, so no exit ever leads to the darkness:
// the map shows only the numbered places the source defines.
bool IsPlace(const GameDatabase& db, int n) {
    return n >= 1 && n <= db.LastLocation && static_cast<size_t>(n) < db.Locations.size() &&
           db.Locations[static_cast<size_t>(n)].name != NoText;
}

// Graphviz reads labels as UTF-8 with backslash escapes; game texts are code page 850.
std::string LabelText(const char* text) {
    std::string out;
    if (text == nullptr) return out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        const unsigned code = *p < 0x80 ? *p : gfx::Cp850ToUnicode[*p];
        if (code == '\\') {
            out += "\\\\";
        } else if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::string DirectionLabel(const GameDatabase& db, int direction) {
    if (direction == 0) return "any exit";
    const std::string name = LabelText(TextOf(db, db.Directions[direction - 1]));
    return name.empty() ? std::to_string(direction) : name;
}

// The exits the tables give and those the scripts make, each change of a table exit marking it.
std::vector<MapExit> CollectExits(const GameDatabase& db, const WorldFacts& facts) {
    std::vector<MapExit> exits;
    std::set<std::pair<int, int>> changed;  // (location, direction) of table exits scripts change
    auto tableExit = [&](int location, int direction) -> int {
        return db.Locations[static_cast<size_t>(location)].exits[direction - 1];
    };
    for (const ScriptExit& e : facts.scriptExits) {
        if (e.subst) {
            // Every exit that leads to the location now leads elsewhere; location 0 stands for
            // the player's, which the map cannot know.
            if (e.location <= 0) {
                if (e.to != 0) exits.push_back({Anywhere, e.to, 0, true});
                continue;
            }
            for (int n = 1; n <= db.LastLocation; ++n) {
                if (!IsPlace(db, n)) continue;
                for (int d = 1; d <= DirectionCount; ++d) {
                    if (tableExit(n, d) != e.location) continue;
                    changed.insert({n, d});
                    if (e.to != 0) exits.push_back({n, e.to, d, true});
                }
            }
            continue;
        }
        if (e.direction < 1 || e.direction > DirectionCount) continue;  // the engine ignores it
        if (e.location == Anywhere) {
            if (e.to != 0) exits.push_back({Anywhere, e.to, e.direction, true});
            continue;
        }
        if (!IsPlace(db, e.location)) continue;
        const int before = tableExit(e.location, e.direction);
        if (before != 0) changed.insert({e.location, e.direction});
        if (e.to != 0 && e.to != before) exits.push_back({e.location, e.to, e.direction, true});
    }
    std::vector<MapExit> all;
    for (int n = 1; n <= db.LastLocation; ++n) {
        if (!IsPlace(db, n)) continue;
        for (int d = 1; d <= DirectionCount; ++d) {
            const int to = tableExit(n, d);
            if (to != 0) all.push_back({n, to, d, changed.count({n, d}) != 0});
        }
    }
    all.insert(all.end(), exits.begin(), exits.end());
    return all;
}

std::string NodeName(const GameDatabase& db, int n) {
    if (n == Anywhere) return "anywhere";
    return (IsPlace(db, n) ? "L" : "N") + std::to_string(n);
}

// Graphviz takes names and values as char* but does not change them.
char* Text(const char* s) { return const_cast<char*>(s); }

struct GraphvizMap {
    GVC_t* gvc = nullptr;
    Agraph_t* graph = nullptr;
    bool laidOut = false;

    ~GraphvizMap() {
        if (laidOut) gvFreeLayout(gvc, graph);
        if (graph != nullptr) agclose(graph);
        if (gvc != nullptr) gvFreeContext(gvc);
    }
};

struct Symbols {
    Agsym_t* label;
    Agsym_t* color;
    Agsym_t* fontcolor;
    Agsym_t* style;
    Agsym_t* peripheries;
    Agsym_t* shape;
    Agsym_t* edgeLabel;
    Agsym_t* headlabel;
    Agsym_t* taillabel;
    Agsym_t* dir;
    Agsym_t* edgeColor;
    Agsym_t* edgeFontcolor;
    Agsym_t* edgeStyle;
};

Symbols DeclareAttributes(Agraph_t* g, bool layered) {
    agattr(g, AGRAPH, Text("outputorder"), Text("edgesfirst"));
    agattr(g, AGRAPH, Text("fontname"), Text("Helvetica"));
    if (!layered) {
        // Straight lines and overlaps removed by scaling keep thousands of places to seconds
        // (the prism removal took three times as long). Labels go at the arrows' ends, which
        // Graphviz places directly once labelangle is declared: a middle label would go through
        // its search for free space, which took most of the time on large worlds.
        agattr(g, AGRAPH, Text("splines"), Text("false"));
        agattr(g, AGRAPH, Text("overlap"), Text("scale"));
        agattr(g, AGEDGE, Text("labelangle"), Text("-25"));
    }
    agattr(g, AGNODE, Text("fontname"), Text("Helvetica"));
    agattr(g, AGNODE, Text("fontsize"), Text("11"));
    agattr(g, AGEDGE, Text("fontname"), Text("Helvetica"));
    agattr(g, AGEDGE, Text("fontsize"), Text("9"));
    Symbols s{};
    s.label = agattr(g, AGNODE, Text("label"), Text("\\N"));
    s.color = agattr(g, AGNODE, Text("color"), Text("black"));
    s.fontcolor = agattr(g, AGNODE, Text("fontcolor"), Text("black"));
    s.style = agattr(g, AGNODE, Text("style"), Text("rounded"));
    agattr(g, AGNODE, Text("fillcolor"), Text("lightgrey"));  // dark places are filled
    s.peripheries = agattr(g, AGNODE, Text("peripheries"), Text("1"));
    s.shape = agattr(g, AGNODE, Text("shape"), Text("box"));
    s.edgeLabel = agattr(g, AGEDGE, Text("label"), Text(""));
    s.headlabel = agattr(g, AGEDGE, Text("headlabel"), Text(""));
    s.taillabel = agattr(g, AGEDGE, Text("taillabel"), Text(""));
    s.dir = agattr(g, AGEDGE, Text("dir"), Text("forward"));
    s.edgeColor = agattr(g, AGEDGE, Text("color"), Text("black"));
    s.edgeFontcolor = agattr(g, AGEDGE, Text("fontcolor"), Text("black"));
    s.edgeStyle = agattr(g, AGEDGE, Text("style"), Text("solid"));
    return s;
}

void AddPlaces(const GameDatabase& db, const WorldFacts& facts, Agraph_t* g, const Symbols& s) {
    for (int n = 1; n <= db.LastLocation; ++n) {
        if (!IsPlace(db, n)) continue;
        const LocationRecord& r = db.Locations[static_cast<size_t>(n)];
        Agnode_t* node = agnode(g, Text(NodeName(db, n).c_str()), 1);
        std::string label = std::to_string(n) + "\\n" + LabelText(TextOf(db, r.name));
        if (n == db.StartLocation) {
            label += "\\nstart";
            agxset(node, s.peripheries, Text("2"));
        }
        agxset(node, s.label, Text(label.c_str()));
        if ((r.flags & LocDark) != 0) agxset(node, s.style, Text("rounded,filled"));
        const bool reached = static_cast<size_t>(n) < facts.reachable.size() &&
                             facts.reachable[static_cast<size_t>(n)] != 0;
        if (!reached) {
            agxset(node, s.color, Text("red"));
            agxset(node, s.fontcolor, Text("red"));
        }
    }
}

Agnode_t* EndNode(const GameDatabase& db, Agraph_t* g, const Symbols& s, int n) {
    const std::string name = NodeName(db, n);
    if (Agnode_t* node = agnode(g, Text(name.c_str()), 0); node != nullptr) return node;
    Agnode_t* node = agnode(g, Text(name.c_str()), 1);
    if (n == Anywhere) {
        agxset(node, s.label, Text("wherever\\nthe player is"));
        agxset(node, s.shape, Text("ellipse"));
        agxset(node, s.style, Text("dashed"));
    } else {
        const std::string label = std::to_string(n) + "\\nno such location";
        agxset(node, s.label, Text(label.c_str()));
        agxset(node, s.color, Text("red"));
        agxset(node, s.fontcolor, Text("red"));
        agxset(node, s.style, Text("dashed"));
    }
    return node;
}

// Exits with the same ends and the same style share one arrow; an arrow and its way back share
// one double-headed arrow, each end labelled with the directions that leave from it.
void AddExits(const GameDatabase& db, const std::vector<MapExit>& exits, bool layered, Agraph_t* g,
              const Symbols& s) {
    using Key = std::tuple<int, int, bool>;
    std::map<Key, std::string> labels;
    for (const MapExit& e : exits) {
        std::string& label = labels[{e.from, e.to, e.scripted}];
        if (!label.empty()) label += ", ";
        label += DirectionLabel(db, e.direction);
    }
    std::set<Key> drawn;
    for (const auto& [key, label] : labels) {
        if (drawn.count(key) != 0) continue;
        const auto [from, to, scripted] = key;
        drawn.insert(key);
        Agnode_t* tail = EndNode(db, g, s, from);
        Agnode_t* head = EndNode(db, g, s, to);
        Agedge_t* edge = agedge(g, tail, head, nullptr, 1);
        const Key back{to, from, scripted};
        const auto way = labels.find(back);
        if (from != to && way != labels.end() && drawn.count(back) == 0) {
            drawn.insert(back);
            agxset(edge, s.dir, Text("both"));
            agxset(edge, s.taillabel, Text(label.c_str()));
            agxset(edge, s.headlabel, Text(way->second.c_str()));
        } else {
            agxset(edge, layered ? s.edgeLabel : s.taillabel, Text(label.c_str()));
        }
        if (scripted) agxset(edge, s.edgeStyle, Text("dashed"));
        if (to != Anywhere && !IsPlace(db, to)) {
            agxset(edge, s.edgeColor, Text("red"));
            agxset(edge, s.edgeFontcolor, Text("red"));
        }
    }
}

int Render(GraphvizMap& m, const char* format, std::string& out) {
    char* data = nullptr;
    unsigned int length = 0;
    if (gvRenderData(m.gvc, m.graph, format, &data, &length) != 0 || data == nullptr) {
        if (data != nullptr) gvFreeRenderData(data);
        std::fprintf(stderr, "Graphviz cannot draw the map as %s\n", format);
        return -1;
    }
    out.assign(data, length);
    gvFreeRenderData(data);
    return 0;
}

}  // namespace

int RenderMap(const GameDatabase& db, bool png, MapImages& out) {
    out = MapImages{};
    WorldFacts facts;
    if (AnalyseWorld(db, facts) != 0) return -1;
    int places = 0;
    for (int n = 1; n <= db.LastLocation; ++n) places += IsPlace(db, n) ? 1 : 0;
    const bool layered = places <= LayeredMapLimit;

    GraphvizMap m;
    agseterr(AGERR);  // layout warnings (overlaps, label placement) are not the author's concern
    m.gvc = gvContext();
    m.graph = agopen(Text("map"), Agdirected, nullptr);
    if (m.gvc == nullptr || m.graph == nullptr) return -1;
    const Symbols s = DeclareAttributes(m.graph, layered);
    AddPlaces(db, facts, m.graph, s);
    AddExits(db, CollectExits(db, facts), layered, m.graph, s);
    if (gvLayout(m.gvc, m.graph, layered ? "dot" : "sfdp") != 0) {
        std::fprintf(stderr, "Graphviz cannot lay out the map\n");
        return -1;
    }
    m.laidOut = true;
    if (Render(m, "svg", out.svg) != 0) return -1;
    if (png && Render(m, "png", out.png) != 0) return -1;
    return 0;
}

int RunMap(const Startup& s) {
    const std::string sourcePath = s.GameName + ".adv";
    FILE* file = std::fopen(sourcePath.c_str(), "r");
    if (file == nullptr) {
        std::fprintf(stderr, "Cannot open file %s\n", sourcePath.c_str());
        return ExitFailure;
    }
    GameDatabase db;
    if (AllocateTextHeap(db) != 0) {
        std::fclose(file);
        std::fprintf(stderr, "Memory Allocation Error, Cannot Continue!\n");
        return ExitFailure;
    }
    ResetDatabase(db);
    compiler::Compiler c;
    compiler::BeginCompile(c, db);
    c.Out = stderr;  // standard output stays for the names of the files written
    const int result = compiler::CompileSourceFile(c, file, sourcePath.c_str());
    std::fclose(file);
    if (result == base::ReadNotFormat) {
        std::fprintf(stderr, "Cannot read file %s\n", sourcePath.c_str());
        return ExitFailure;
    }
    if (result < 0) {
        std::fprintf(stderr, "%s has errors: no map was drawn\n", sourcePath.c_str());
        return ExitFailure;
    }
    MapImages images;
    if (RenderMap(db, s.Png, images) != 0) return ExitFailure;
    const std::pair<std::string, const std::string*> files[] = {
        {s.GameName + "-map.svg", &images.svg},
        {s.GameName + "-map.png", &images.png},
    };
    for (const auto& [path, data] : files) {
        if (data->empty()) continue;
        if (base::WriteFileAtomically(path, data->data(), data->size()) != 0) {
            std::fprintf(stderr, "Cannot write file %s\n", path.c_str());
            return ExitFailure;
        }
        std::printf("%s\n", path.c_str());
    }
    return ExitSuccess;
}

}  // namespace umb::app
