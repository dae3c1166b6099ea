// map.cpp - the author's map: the world as a Graphviz graph, laid out and drawn by Graphviz.
#include "app/map.h"
#include "app/graphviz.h"
#include "app/workbench.h"
#include "app/world.h"

#include "base/fileio.h"
#include "compiler/compiler.h"
#include "ui/gfx/gfx.h"

#include <algorithm>
#include <cmath>
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

// The Graphviz functions; RenderMap has opened the library before anything calls one.
const GraphvizApi& Gv() {
    static std::string why;
    static const GraphvizApi* const api = LoadGraphviz(why);
    return *api;
}

// Graphviz takes names and values as char* but does not change them.
char* Text(const char* s) { return const_cast<char*>(s); }

// Graphviz's text-measuring plugin remembers the last font it measured by a pointer into its
// context's font table, and compares the next font with it: after the context is freed, the next
// map drawn in the same process would read freed memory. So one context, made when the first map
// is drawn, serves every map of the process and lives as long as it.
GVC_t* SharedContext() {
    static GVC_t* const gvc = Gv().gvContext();
    return gvc;
}

struct GraphvizMap {
    GVC_t* gvc = nullptr;
    Agraph_t* graph = nullptr;
    bool laidOut = false;

    ~GraphvizMap() {
        if (laidOut) Gv().gvFreeLayout(gvc, graph);
        if (graph != nullptr) Gv().agclose(graph);
    }
};

struct Symbols {
    Agsym_t* label;
    Agsym_t* color;
    Agsym_t* fontcolor;
    Agsym_t* style;
    Agsym_t* peripheries;
    Agsym_t* shape;
    Agsym_t* headlabel;
    Agsym_t* taillabel;
    Agsym_t* dir;
    Agsym_t* edgeColor;
    Agsym_t* edgeFontcolor;
    Agsym_t* edgeStyle;
};

Symbols DeclareAttributes(Agraph_t* g, bool layered) {
    Gv().agattr(g, AGRAPH, Text("outputorder"), Text("edgesfirst"));
    Gv().agattr(g, AGRAPH, Text("fontname"), Text("Helvetica"));
    if (!layered) {
        // Straight lines and overlaps removed by scaling keep thousands of places to seconds
        // (the prism removal took three times as long). Labels go at the arrows' ends: a
        // middle label would go through Graphviz's search for free space, which took most of
        // the time on large worlds.
        Gv().agattr(g, AGRAPH, Text("splines"), Text("false"));
        Gv().agattr(g, AGRAPH, Text("overlap"), Text("scale"));
    } else {
        // Room between the boxes for the labels beside the arrows' ends.
        Gv().agattr(g, AGRAPH, Text("nodesep"), Text("0.6"));
        Gv().agattr(g, AGRAPH, Text("ranksep"), Text("0.8"));
    }
    // With labelangle declared Graphviz puts the end labels at once, without its slow search
    // for free space; PlaceEndLabels then moves each where it covers nothing.
    Gv().agattr(g, AGEDGE, Text("labelangle"), Text("-25"));
    Gv().agattr(g, AGNODE, Text("fontname"), Text("Helvetica"));
    Gv().agattr(g, AGNODE, Text("fontsize"), Text("11"));
    Gv().agattr(g, AGEDGE, Text("fontname"), Text("Helvetica"));
    Gv().agattr(g, AGEDGE, Text("fontsize"), Text("9"));
    Symbols s{};
    s.label = Gv().agattr(g, AGNODE, Text("label"), Text("\\N"));
    s.color = Gv().agattr(g, AGNODE, Text("color"), Text("black"));
    s.fontcolor = Gv().agattr(g, AGNODE, Text("fontcolor"), Text("black"));
    s.style = Gv().agattr(g, AGNODE, Text("style"), Text("rounded"));
    Gv().agattr(g, AGNODE, Text("fillcolor"), Text("lightgrey"));  // dark places are filled
    s.peripheries = Gv().agattr(g, AGNODE, Text("peripheries"), Text("1"));
    s.shape = Gv().agattr(g, AGNODE, Text("shape"), Text("box"));
    s.headlabel = Gv().agattr(g, AGEDGE, Text("headlabel"), Text(""));
    s.taillabel = Gv().agattr(g, AGEDGE, Text("taillabel"), Text(""));
    s.dir = Gv().agattr(g, AGEDGE, Text("dir"), Text("forward"));
    s.edgeColor = Gv().agattr(g, AGEDGE, Text("color"), Text("black"));
    s.edgeFontcolor = Gv().agattr(g, AGEDGE, Text("fontcolor"), Text("black"));
    s.edgeStyle = Gv().agattr(g, AGEDGE, Text("style"), Text("solid"));
    return s;
}

void AddPlaces(const GameDatabase& db, const WorldFacts& facts, Agraph_t* g, const Symbols& s) {
    for (int n = 1; n <= db.LastLocation; ++n) {
        if (!IsPlace(db, n)) continue;
        const LocationRecord& r = db.Locations[static_cast<size_t>(n)];
        Agnode_t* node = Gv().agnode(g, Text(NodeName(db, n).c_str()), 1);
        std::string label = std::to_string(n) + "\\n" + LabelText(TextOf(db, r.name));
        if (n == db.StartLocation) {
            label += "\\nstart";
            Gv().agxset(node, s.peripheries, Text("2"));
        }
        Gv().agxset(node, s.label, Text(label.c_str()));
        if ((r.flags & LocDark) != 0) Gv().agxset(node, s.style, Text("rounded,filled"));
        const bool reached = static_cast<size_t>(n) < facts.reachable.size() &&
                             facts.reachable[static_cast<size_t>(n)] != 0;
        if (!reached) {
            Gv().agxset(node, s.color, Text("red"));
            Gv().agxset(node, s.fontcolor, Text("red"));
        }
    }
}

Agnode_t* EndNode(const GameDatabase& db, Agraph_t* g, const Symbols& s, int n) {
    const std::string name = NodeName(db, n);
    if (Agnode_t* node = Gv().agnode(g, Text(name.c_str()), 0); node != nullptr) return node;
    Agnode_t* node = Gv().agnode(g, Text(name.c_str()), 1);
    if (n == Anywhere) {
        Gv().agxset(node, s.label, Text("wherever\\nthe player is"));
        Gv().agxset(node, s.shape, Text("ellipse"));
        Gv().agxset(node, s.style, Text("dashed"));
    } else {
        const std::string label = std::to_string(n) + "\\nno such location";
        Gv().agxset(node, s.label, Text(label.c_str()));
        Gv().agxset(node, s.color, Text("red"));
        Gv().agxset(node, s.fontcolor, Text("red"));
        Gv().agxset(node, s.style, Text("dashed"));
    }
    return node;
}

// Exits with the same ends and the same style share one arrow; an arrow and its way back share
// one double-headed arrow, each end labelled with the directions that leave from it.
void AddExits(const GameDatabase& db, const std::vector<MapExit>& exits, Agraph_t* g,
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
        Agedge_t* edge = Gv().agedge(g, tail, head, nullptr, 1);
        const Key back{to, from, scripted};
        const auto way = labels.find(back);
        if (from != to && way != labels.end() && drawn.count(back) == 0) {
            drawn.insert(back);
            Gv().agxset(edge, s.dir, Text("both"));
            Gv().agxset(edge, s.taillabel, Text(label.c_str()));
            Gv().agxset(edge, s.headlabel, Text(way->second.c_str()));
        } else {
            Gv().agxset(edge, s.taillabel, Text(label.c_str()));
        }
        if (scripted) Gv().agxset(edge, s.edgeStyle, Text("dashed"));
        if (to != Anywhere && !IsPlace(db, to)) {
            Gv().agxset(edge, s.edgeColor, Text("red"));
            Gv().agxset(edge, s.edgeFontcolor, Text("red"));
        }
    }
}

// Where the labels at the arrows' ends go. Graphviz puts an end label at a fixed angle and
// distance from the arrow's tip, where it may cover the arrowhead, the place's box or the label
// of the next arrow ("westeast"); it has no search that keeps clear of arrowheads. So once the
// layout is done, each end label takes the first spot beside its own arrow, walking away from
// the place, that covers no box, arrowhead or label, crossing as few arrows as it can.
namespace labels {

struct Box {
    double x0, y0, x1, y1;
};

bool Overlap(const Box& a, const Box& b) {
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

Box Around(pointf c, double halfWidth, double halfHeight) {
    return {c.x - halfWidth, c.y - halfHeight, c.x + halfWidth, c.y + halfHeight};
}

struct Segment {
    pointf a, b;
};

// Whether the segment passes through the box (Liang-Barsky clipping).
bool Crosses(const Segment& s, const Box& b) {
    double t0 = 0;
    double t1 = 1;
    const double dx = s.b.x - s.a.x;
    const double dy = s.b.y - s.a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {s.a.x - b.x0, b.x1 - s.a.x, s.a.y - b.y0, b.y1 - s.a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    return true;
}

// The boxes nothing may cover (places, arrowheads, labels) and the arrows' lines, which labels
// rather keep off, filed by the cells of a grid so that a thousand places stay fast.
struct Obstacles {
    double cellSize = 48;  // points; larger on huge drawings, so that the grid stays small
    Box area{};
    int columns = 1;
    int rows = 1;
    std::vector<Box> boxes;
    std::vector<Segment> segments;
    std::vector<std::vector<int>> boxesIn;
    std::vector<std::vector<int>> segmentsIn;
    std::vector<unsigned> seen;  // by segment: the query that last counted it
    unsigned query = 0;

    void Cells(const Box& b, int& c0, int& r0, int& c1, int& r1) const {
        auto column = [&](double x) {
            return std::clamp(static_cast<int>((x - area.x0) / cellSize), 0, columns - 1);
        };
        auto row = [&](double y) {
            return std::clamp(static_cast<int>((y - area.y0) / cellSize), 0, rows - 1);
        };
        c0 = column(b.x0);
        c1 = column(b.x1);
        r0 = row(b.y0);
        r1 = row(b.y1);
    }
    void Start(const Box& drawing) {
        area = drawing;
        const double width = area.x1 - area.x0;
        const double height = area.y1 - area.y0;
        cellSize = std::max(cellSize, std::sqrt(width * height / 1e6));
        columns = std::max(1, static_cast<int>(width / cellSize) + 1);
        rows = std::max(1, static_cast<int>(height / cellSize) + 1);
        boxesIn.assign(static_cast<size_t>(columns * rows), {});
        segmentsIn.assign(static_cast<size_t>(columns * rows), {});
    }
    template <typename F> void ForCells(const Box& b, F f) const {
        int c0, r0, c1, r1;
        Cells(b, c0, r0, c1, r1);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) f(static_cast<size_t>(r * columns + c));
    }
    void AddBox(const Box& b) {
        boxes.push_back(b);
        ForCells(b,
                 [&](size_t cell) { boxesIn[cell].push_back(static_cast<int>(boxes.size() - 1)); });
    }
    void AddSegment(const Segment& s) {
        segments.push_back(s);
        seen.push_back(0);
        const Box b{std::min(s.a.x, s.b.x), std::min(s.a.y, s.b.y), std::max(s.a.x, s.b.x),
                    std::max(s.a.y, s.b.y)};
        ForCells(b, [&](size_t cell) {
            segmentsIn[cell].push_back(static_cast<int>(segments.size() - 1));
        });
    }
    // -1 when the box covers something; else the number of arrow lines it crosses.
    int Cost(const Box& b) {
        bool blocked = false;
        int crossings = 0;
        ++query;
        ForCells(b, [&](size_t cell) {
            for (const int i : boxesIn[cell])
                blocked = blocked || Overlap(b, boxes[static_cast<size_t>(i)]);
            for (const int i : segmentsIn[cell]) {
                unsigned& mark = seen[static_cast<size_t>(i)];
                if (mark == query) continue;
                mark = query;
                crossings += Crosses(segments[static_cast<size_t>(i)], b) ? 1 : 0;
            }
        });
        return blocked ? -1 : crossings;
    }
};

constexpr double Gap = 2;  // points kept clear around every label
constexpr double ArrowWidth =
    0.35;  // half an arrowhead's width for its length, as Graphviz draws it

// An edge's drawn line as points, its Bezier pieces cut into straight steps.
std::vector<pointf> Polyline(Agedge_t* e) {
    std::vector<pointf> points;
    const splines* spl = ED_spl(e);
    for (int i = 0; spl != nullptr && i < spl->size; ++i) {
        const bezier& bz = spl->list[i];
        if (bz.size < 1) continue;
        points.push_back(bz.list[0]);
        for (int k = 0; k + 3 < bz.size; k += 3) {
            const pointf* c = bz.list + k;
            for (int step = 1; step <= 8; ++step) {
                const double t = step / 8.0;
                const double u = 1 - t;
                const double a = u * u * u, b = 3 * u * u * t, d = 3 * u * t * t, f = t * t * t;
                points.push_back({a * c[0].x + b * c[1].x + d * c[2].x + f * c[3].x,
                                  a * c[0].y + b * c[1].y + d * c[2].y + f * c[3].y});
            }
        }
    }
    return points;
}

Box ArrowheadBox(pointf base, pointf tip) {
    const double dx = tip.x - base.x;
    const double dy = tip.y - base.y;
    const double wx = -dy * ArrowWidth;
    const double wy = dx * ArrowWidth;
    return {std::min({tip.x, base.x + wx, base.x - wx}) - Gap,
            std::min({tip.y, base.y + wy, base.y - wy}) - Gap,
            std::max({tip.x, base.x + wx, base.x - wx}) + Gap,
            std::max({tip.y, base.y + wy, base.y - wy}) + Gap};
}

double Length(pointf a, pointf b) { return std::hypot(b.x - a.x, b.y - a.y); }

// The label's box with its clearance: Graphviz's own measure, or more where a viewer's font
// may run wider.
pointf HalfSize(const textlabel_t* lp) {
    size_t characters = 0;
    for (const char* c = lp->text; *c != '\0'; ++c) characters += (*c & 0xC0) != 0x80 ? 1 : 0;
    const double width =
        std::max(lp->dimen.x, 0.6 * lp->fontsize * static_cast<double>(characters));
    const double height = std::max(lp->dimen.y, 1.2 * lp->fontsize);
    return {width / 2 + Gap, height / 2 + Gap};
}

// The spots for a label at the end of path (path[0] at the place, running away from it), best
// first: beside the line, clear of an arrowhead, ever further from the place (the first beside
// of them); then around the line's end, nearest first and nearest the line's direction first.
std::vector<pointf> Spots(const std::vector<pointf>& path, pointf half, size_t& beside) {
    std::vector<pointf> spots;
    double total = 0;
    for (size_t i = 1; i < path.size(); ++i) total += Length(path[i - 1], path[i]);
    const double reach = std::min(total / 2, 150.0);
    const double clearance = 10 * ArrowWidth + 2 * Gap;  // an arrowhead's half width and more
    size_t i = 1;
    double before = 0;  // length of the path up to path[i - 1]
    pointf away{1, 0};  // the line's direction at the place
    for (double s = 0; s <= reach && path.size() > 1; s += 3) {
        while (i + 1 < path.size() && before + Length(path[i - 1], path[i]) < s) {
            before += Length(path[i - 1], path[i]);
            ++i;
        }
        const double piece = Length(path[i - 1], path[i]);
        if (piece <= 0) continue;
        const double t = std::min(1.0, (s - before) / piece);
        const pointf u{(path[i].x - path[i - 1].x) / piece, (path[i].y - path[i - 1].y) / piece};
        if (s == 0) away = u;
        const pointf at{path[i - 1].x + u.x * piece * t, path[i - 1].y + u.y * piece * t};
        const pointf n{-u.y, u.x};
        // Past the arrowhead a label may come as close to its line as to anything else.
        const double off =
            std::abs(n.x) * half.x + std::abs(n.y) * half.y + (s < 12 ? clearance : Gap);
        spots.push_back({at.x + n.x * off, at.y + n.y * off});
        spots.push_back({at.x - n.x * off, at.y - n.y * off});
    }
    beside = spots.size();
    const pointf end = path.empty() ? pointf{0, 0} : path[0];
    const double start = std::atan2(away.y, away.x);
    const double nearest = std::max(half.x, half.y) + clearance;
    for (double r = nearest; r <= std::max(nearest, 100.0); r += 6)
        for (int k = 0; k < 24; ++k) {
            const double angle = start + (k % 2 == 0 ? 1 : -1) * ((k + 1) / 2) * M_PI / 12;
            spots.push_back({end.x + r * std::cos(angle), end.y + r * std::sin(angle)});
        }
    return spots;
}

// Of spots[from, to): the first that covers nothing and crosses no line, else the first of
// those covering nothing that crosses fewest; -1 when each covers something.
int Choose(Obstacles& o, const std::vector<pointf>& spots, size_t from, size_t to, pointf half) {
    int best = -1;
    int bestCost = 0;
    for (size_t i = from; i < to; ++i) {
        const int cost = o.Cost(Around(spots[i], half.x, half.y));
        if (cost < 0 || (best >= 0 && cost >= bestCost)) continue;
        best = static_cast<int>(i);
        bestCost = cost;
        if (cost == 0) break;
    }
    return best;
}

struct EndLabel {
    textlabel_t* label;
    std::vector<pointf> path;
};

// Files every box and line of the drawing, and lists the end labels with their paths.
std::vector<EndLabel> Survey(Agraph_t* g, Obstacles& o) {
    std::vector<EndLabel> ends;
    for (Agnode_t* n = Gv().agfstnode(g); n != nullptr; n = Gv().agnxtnode(g, n))
        o.AddBox(Around(ND_coord(n), ND_width(n) * 36 + Gap, ND_height(n) * 36 + Gap));
    for (Agnode_t* n = Gv().agfstnode(g); n != nullptr; n = Gv().agnxtnode(g, n))
        for (Agedge_t* e = Gv().agfstout(g, n); e != nullptr; e = Gv().agnxtout(g, e)) {
            const splines* spl = ED_spl(e);
            if (spl == nullptr || spl->size < 1) continue;
            const bezier& first = spl->list[0];
            const bezier& last = spl->list[spl->size - 1];
            if (first.sflag) o.AddBox(ArrowheadBox(first.list[0], first.sp));
            if (last.eflag) o.AddBox(ArrowheadBox(last.list[last.size - 1], last.ep));
            if (const textlabel_t* mid = ED_label(e); mid != nullptr && mid->set)
                o.AddBox(Around(mid->pos, mid->dimen.x / 2 + Gap, mid->dimen.y / 2 + Gap));
            std::vector<pointf> path = Polyline(e);
            for (size_t i = 1; i < path.size(); ++i) o.AddSegment({path[i - 1], path[i]});
            // The line from the tail's end to the head's; an arrowhead's tip is the true end.
            if (first.sflag) path.insert(path.begin(), first.sp);
            if (last.eflag) path.push_back(last.ep);
            // Layouts may hand a line over from the head to the tail: the nearer end is the
            // tail's.
            if (Length(path.front(), ND_coord(agtail(e))) >
                Length(path.back(), ND_coord(agtail(e))))
                std::reverse(path.begin(), path.end());
            if (textlabel_t* t = ED_tail_label(e); t != nullptr && t->text[0] != '\0')
                ends.push_back({t, path});
            if (textlabel_t* h = ED_head_label(e); h != nullptr && h->text[0] != '\0')
                ends.push_back({h, std::vector<pointf>(path.rbegin(), path.rend())});
        }
    return ends;
}

void PlaceEndLabels(Agraph_t* g) {
    Obstacles o;
    boxf& bb = GD_bb(g);
    o.Start({bb.LL.x - 100, bb.LL.y - 100, bb.UR.x + 100, bb.UR.y + 100});
    for (EndLabel& end : Survey(g, o)) {
        const pointf half = HalfSize(end.label);
        size_t beside = 0;
        const std::vector<pointf> spots = Spots(end.path, half, beside);
        // Beside the line, where it reads as the line's own, even across another line; then
        // around its end; where every spot covers something, the nearest.
        int chosen = Choose(o, spots, 0, beside, half);
        if (chosen < 0) chosen = Choose(o, spots, beside, spots.size(), half);
        const pointf at = spots[chosen < 0 ? 0 : static_cast<size_t>(chosen)];
        end.label->pos = at;
        end.label->set = TRUE;
        const Box b = Around(at, half.x, half.y);
        o.AddBox(b);
        // The drawing grows to hold a label placed past its edge.
        bb.LL.x = std::min(bb.LL.x, b.x0);
        bb.LL.y = std::min(bb.LL.y, b.y0);
        bb.UR.x = std::max(bb.UR.x, b.x1);
        bb.UR.y = std::max(bb.UR.y, b.y1);
    }
}

}  // namespace labels

int Render(GraphvizMap& m, const char* format, std::string& out) {
    char* data = nullptr;
    unsigned int length = 0;
    if (Gv().gvRenderData(m.gvc, m.graph, format, &data, &length) != 0 || data == nullptr) {
        if (data != nullptr) Gv().gvFreeRenderData(data);
        std::fprintf(stderr, "Graphviz cannot draw the map as %s\n", format);
        return -1;
    }
    out.assign(data, length);
    Gv().gvFreeRenderData(data);
    return 0;
}

}  // namespace

int CountPlaces(const GameDatabase& db) {
    int places = 0;
    for (int n = 1; n <= db.LastLocation; ++n) places += IsPlace(db, n) ? 1 : 0;
    return places;
}

MapResult RenderMap(const GameDatabase& db, bool png, MapImages& out) {
    out = MapImages{};
    WorldFacts facts;
    AnalyseWorld(db, facts);
    const bool layered = CountPlaces(db) <= LayeredMapLimit;

    std::string why;
    if (LoadGraphviz(why) == nullptr) {
        std::fprintf(stderr, "Graphviz cannot be opened: %s\n", why.c_str());
        return MapResult::Failed;
    }
    GraphvizMap m;
    Gv().agseterr(
        AGERR);  // layout warnings (overlaps, label placement) are not the author's concern
    m.gvc = SharedContext();
    m.graph = Gv().agopen(Text("map"), *Gv().directed, nullptr);
    if (m.gvc == nullptr || m.graph == nullptr) return MapResult::Failed;
    const Symbols s = DeclareAttributes(m.graph, layered);
    AddPlaces(db, facts, m.graph, s);
    AddExits(db, CollectExits(db, facts), m.graph, s);
    if (Gv().gvLayout(m.gvc, m.graph, layered ? "dot" : "sfdp") != 0) {
        std::fprintf(stderr, "Graphviz cannot lay out the map\n");
        return MapResult::Failed;
    }
    m.laidOut = true;
    labels::PlaceEndLabels(m.graph);
    if (Render(m, "svg", out.svg) != 0) return MapResult::Failed;
    if (png) {
        // Twice the points' size: the smallest text, the arrows' labels, stands over 10 pixels
        // high (Graphviz's own 96 dots an inch left it at 8).
        GD_drawing(m.graph)->dpi = PngDotsPerInch;
        if (Render(m, "png", out.png) != 0) return MapResult::Failed;
    }
    return MapResult::Drawn;
}

int RunMap(const Startup& s) {
    const std::string sourcePath = s.GameName + ".adv";
    FILE* file = std::fopen(sourcePath.c_str(), "r");
    if (file == nullptr) {
        std::fprintf(stderr, "Cannot open file %s\n", sourcePath.c_str());
        return ExitFailure;
    }
    GameDatabase db;
    if (AllocateTextHeap(db) != DbResult::Ok) {
        std::fclose(file);
        std::fprintf(stderr, "Memory Allocation Error, Cannot Continue!\n");
        return ExitFailure;
    }
    ResetDatabase(db);
    compiler::Compiler c;
    compiler::BeginCompile(c, db);
    c.Out = stderr;  // standard output stays for the names of the files written
    const compiler::CompileResult result = compiler::CompileSourceFile(c, file, sourcePath.c_str());
    std::fclose(file);
    if (result == compiler::CompileResult::Unreadable) {
        std::fprintf(stderr, "Cannot read file %s\n", sourcePath.c_str());
        return ExitFailure;
    }
    if (result == compiler::CompileResult::Errors) {
        std::fprintf(stderr, "%s has errors: no map was drawn\n", sourcePath.c_str());
        return ExitFailure;
    }
    const int places = CountPlaces(db);
    if (places == 0) {
        std::fprintf(stderr, "%s defines no locations: no map was drawn\n", sourcePath.c_str());
        return ExitFailure;
    }
    MapImages images;
    if (RenderMap(db, s.Png, images) != MapResult::Drawn) return ExitFailure;
    const std::pair<std::string, const std::string*> files[] = {
        {s.GameName + "-map.svg", &images.svg},
        {s.GameName + "-map.png", &images.png},
    };
    for (const auto& [path, data] : files) {
        if (data->empty()) continue;
        if (base::WriteFileAtomically(path, data->data(), data->size()) != base::WriteResult::Ok) {
            std::fprintf(stderr, "Cannot write file %s\n", path.c_str());
            return ExitFailure;
        }
        std::printf("%s\n", path.c_str());
    }
    // The file read is named, so that a name cut at its first point ("the mill.v2") shows.
    std::printf("Drawn from %s: %d location%s\n", sourcePath.c_str(), places,
                places == 1 ? "" : "s");
    return ExitSuccess;
}

}  // namespace umb::app
