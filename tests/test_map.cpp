// test_map.cpp - the author's map: what the drawn SVG shows of a world, and the --map command.
#include "app/map.h"
#include "compile_fixture.h"
#include "file_text.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

using namespace umb::app;

namespace fs = std::filesystem;

namespace {

// A node or an edge group of Graphviz's SVG: its title (tail->head for an edge), its texts and
// the whole markup, where colours, dashes and arrowheads show.
struct SvgGroup {
    std::string title;
    std::vector<std::string> texts;
    std::string markup;
};

std::string Unescape(const std::string& s) {
    static const std::pair<const char*, char> entities[] = {{"&#45;", '-'},  {"&gt;", '>'},
                                                            {"&lt;", '<'},   {"&amp;", '&'},
                                                            {"&quot;", '"'}, {"&#39;", '\''}};
    std::string out;
    for (size_t i = 0; i < s.size();) {
        bool replaced = false;
        for (const auto& [entity, c] : entities) {
            if (s.compare(i, std::strlen(entity), entity) == 0) {
                out += c;
                i += std::strlen(entity);
                replaced = true;
                break;
            }
        }
        if (!replaced) out += s[i++];
    }
    return out;
}

// The groups of one class ("node" or "edge"), by title.
std::map<std::string, SvgGroup> Groups(const std::string& svg, const std::string& cls) {
    std::map<std::string, SvgGroup> out;
    const std::string opener = "class=\"" + cls + "\">";
    for (size_t at = svg.find(opener); at != std::string::npos; at = svg.find(opener, at)) {
        const size_t end = svg.find("</g>", at);
        SvgGroup g;
        g.markup = svg.substr(at, end - at);
        const size_t t = g.markup.find("<title>");
        const size_t te = g.markup.find("</title>");
        g.title = Unescape(g.markup.substr(t + 7, te - t - 7));
        for (size_t x = g.markup.find("<text"); x != std::string::npos;
             x = g.markup.find("<text", x + 1)) {
            const size_t open = g.markup.find('>', x) + 1;
            g.texts.push_back(Unescape(g.markup.substr(open, g.markup.find("</text>", x) - open)));
        }
        EXPECT_EQ(out.count(g.title), 0u) << "two groups titled " << g.title;
        out[g.title] = g;
        at = end;
    }
    return out;
}

bool HasText(const SvgGroup& g, const std::string& text) {
    for (const std::string& t : g.texts)
        if (t == text) return true;
    return false;
}

size_t Count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

bool Dashed(const SvgGroup& g) { return g.markup.find("stroke-dasharray") != std::string::npos; }
bool Red(const SvgGroup& g) { return g.markup.find("stroke=\"red\"") != std::string::npos; }
size_t Arrowheads(const SvgGroup& g) { return Count(g.markup, "<polygon"); }

// The value of attribute name in the element that starts at the markup's position at.
std::string Attribute(const std::string& markup, size_t at, const std::string& name) {
    const size_t end = markup.find('>', at);
    const size_t a = markup.find(" " + name + "=\"", at);
    if (a == std::string::npos || a > end) return "";
    const size_t open = a + name.size() + 3;
    return markup.substr(open, markup.find('"', open) - open);
}

struct Rect {
    double x0, y0, x1, y1;
    std::string what;
};

bool Overlap(const Rect& a, const Rect& b) {
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

// The bounding box of the numbers of a points or path attribute, read as x,y pairs.
Rect Bounds(const std::string& numbers, const std::string& what) {
    Rect r{1e9, 1e9, -1e9, -1e9, what};
    std::vector<double> v;
    for (size_t i = 0; i < numbers.size();) {
        if (std::isdigit(static_cast<unsigned char>(numbers[i])) || numbers[i] == '-' ||
            numbers[i] == '.') {
            size_t used = 0;
            v.push_back(std::stod(numbers.substr(i), &used));
            i += used;
        } else {
            ++i;
        }
    }
    for (size_t i = 0; i + 1 < v.size(); i += 2) {
        r.x0 = std::min(r.x0, v[i]);
        r.x1 = std::max(r.x1, v[i]);
        r.y0 = std::min(r.y0, v[i + 1]);
        r.y1 = std::max(r.y1, v[i + 1]);
    }
    return r;
}

// What a map draws that a reader must see whole: the texts of the arrows (centred on x, the
// baseline at y, at most 0.55 em a character, which Helvetica's lower case keeps under), the
// arrowheads and the places' boxes.
struct Drawn {
    std::vector<Rect> labels, arrowheads, places;
};

Drawn Geometry(const std::string& svg) {
    Drawn d;
    for (const auto& [title, g] : Groups(svg, "edge")) {
        for (size_t at = g.markup.find("<polygon"); at != std::string::npos;
             at = g.markup.find("<polygon", at + 1))
            d.arrowheads.push_back(Bounds(Attribute(g.markup, at, "points"), title + " arrowhead"));
        size_t n = 0;
        for (size_t at = g.markup.find("<text"); at != std::string::npos;
             at = g.markup.find("<text", at + 1), ++n) {
            const double x = std::stod(Attribute(g.markup, at, "x"));
            const double y = std::stod(Attribute(g.markup, at, "y"));
            const double size = std::stod(Attribute(g.markup, at, "font-size"));
            const double half = 0.55 * size * static_cast<double>(g.texts[n].size()) / 2;
            d.labels.push_back({x - half, y - 0.75 * size, x + half, y + 0.2 * size,
                                title + " '" + g.texts[n] + "'"});
        }
    }
    for (const auto& [title, g] : Groups(svg, "node")) {
        const size_t shape = std::min(g.markup.find("<path"), g.markup.find("<polygon"));
        const bool path = g.markup.compare(shape, 5, "<path") == 0;
        d.places.push_back(Bounds(Attribute(g.markup, shape, path ? "d" : "points"), title));
    }
    return d;
}

// Every label of an arrow can be read: it lies inside the picture and covers no other label,
// no arrowhead and no place.
void ExpectLabelsClear(const std::string& svg) {
    const Drawn d = Geometry(svg);
    ASSERT_FALSE(d.labels.empty());
    // The graph's coordinates are moved into the view box by the group's translation.
    const Rect view = Bounds(Attribute(svg, svg.find("<svg"), "viewBox"), "view");
    const size_t move = svg.find("translate(");
    ASSERT_NE(move, std::string::npos);
    const Rect by = Bounds(svg.substr(move, svg.find(')', move) - move), "translation");
    for (size_t i = 0; i < d.labels.size(); ++i) {
        const Rect& label = d.labels[i];
        EXPECT_TRUE(label.x0 + by.x0 >= view.x0 && label.x1 + by.x0 <= view.x1 &&
                    label.y0 + by.y0 >= view.y0 && label.y1 + by.y0 <= view.y1)
            << label.what << " lies outside the picture";
        for (size_t j = i + 1; j < d.labels.size(); ++j)
            EXPECT_FALSE(Overlap(label, d.labels[j]))
                << label.what << " runs into " << d.labels[j].what;
        for (const std::vector<Rect>* others : {&d.arrowheads, &d.places})
            for (const Rect& other : *others)
                EXPECT_FALSE(Overlap(label, other)) << label.what << " covers " << other.what;
    }
}

class MapTest : public CompileTest {
  protected:
    std::string Svg(const std::string& source) {
        EXPECT_NE(Compile(source), CompileResult::Errors) << out;
        MapImages images;
        EXPECT_EQ(RenderMap(db, false, images), MapResult::Drawn);
        EXPECT_TRUE(images.png.empty());
        return images.svg;
    }
};

// Hall (start) and the dark Cellar are joined both ways; the Yard is reached east of the hall,
// its way back is made by a script, its way up names no location; nothing leads to the Attic.
TEST_F(MapTest, MarksWhatTheAuthorMustSee) {
    const std::string svg = Svg("[Directions]\n#1,north\n#2,south\n#3,east\n#4,west\n"
                                "[Locations]\n#0,Dark,,0\n#1,Hall,,0,2,0,3\n#2,Cellar,,1,0,1\n"
                                "#3,Yard,,0,0,0,0,0,99\n#4,Attic,,0,1\n"
                                "[Actions]\nat 3 exit 2 1\n");
    const auto nodes = Groups(svg, "node");
    const auto edges = Groups(svg, "edge");
    ASSERT_EQ(nodes.size(), 5u);  // four places and the number 99
    EXPECT_TRUE(HasText(nodes.at("L1"), "start"));
    EXPECT_TRUE(HasText(nodes.at("L1"), "Hall"));
    EXPECT_FALSE(Red(nodes.at("L1")));
    EXPECT_NE(nodes.at("L2").markup.find("fill=\"lightgrey\""), std::string::npos);
    EXPECT_EQ(nodes.at("L3").markup.find("fill=\"lightgrey\""), std::string::npos);
    EXPECT_TRUE(Red(nodes.at("L4")));
    EXPECT_TRUE(Red(nodes.at("N99")));

    ASSERT_EQ(edges.size(), 5u) << svg;
    const SvgGroup& pair = edges.at("L1->L2");
    EXPECT_TRUE(HasText(pair, "north") && HasText(pair, "south"));
    EXPECT_EQ(Arrowheads(pair), 2u);
    EXPECT_FALSE(Dashed(pair) || Red(pair));
    const SvgGroup& east = edges.at("L1->L3");
    EXPECT_TRUE(HasText(east, "east"));
    EXPECT_EQ(Arrowheads(east), 1u);
    const SvgGroup& scripted = edges.at("L3->L1");
    EXPECT_TRUE(HasText(scripted, "south"));
    EXPECT_TRUE(Dashed(scripted));
    const SvgGroup& nowhere = edges.at("L3->N99");
    EXPECT_TRUE(HasText(nowhere, "5"));  // a direction without a name is shown by its number
    EXPECT_TRUE(Red(nowhere));
    EXPECT_TRUE(HasText(edges.at("L4->L1"), "north"));
}

// A script that closes or redirects a table exit dashes it; "subst" redirects every exit that
// leads to its place.
TEST_F(MapTest, ExitsScriptsChangeAreDashed) {
    const std::string svg = Svg("[Locations]\n#1,A,,0,2,3\n#2,B,,0,0,1\n#3,C,,0,0,0,0,0,2\n"
                                "[Actions]\nat 1 exit 2 0\nsubst 2 3\n");
    const auto edges = Groups(svg, "edge");
    EXPECT_TRUE(Dashed(edges.at("L1->L2")));  // redirected by subst
    EXPECT_TRUE(Dashed(edges.at("L1->L3")));  // closed by exit, and made by subst
    EXPECT_TRUE(Dashed(edges.at("L3->L2")));
    EXPECT_FALSE(Dashed(edges.at("L2->L1")));
    EXPECT_TRUE(Dashed(edges.at("L3->L3")));  // C up led to B, now to C itself
}

// Crowded places: ten exits leave one hub, each with its way back, so that every label at the
// hub has a neighbour that could run into it ("westeast") or cover its arrowhead; one-way exits
// and a place whose exits all lead to itself crowd the ends further.
TEST_F(MapTest, LabelsAreClearOfEachOtherAndOfArrowheads) {
    const std::string directions = "[Directions]\n#1,north\n#2,south\n#3,east\n#4,west\n"
                                   "#5,up\n#6,down\n#7,northeast\n#8,northwest\n#9,southeast\n"
                                   "#10,southwest\n";
    const char* const worlds[] = {
        // A hub and its ten neighbours, joined both ways.
        "[Locations]\n#1,Hub,,0,2,3,4,5,6,7,8,9,10,11\n#2,N,,0,0,1\n#3,S,,0,1\n#4,E,,0,0,0,0,1\n"
        "#5,W,,0,0,0,1\n#6,U,,0,0,0,0,0,0,1\n#7,D,,0,0,0,0,0,1\n#8,NE,,0,0,0,0,0,0,0,0,0,0,1\n"
        "#9,NW,,0,0,0,0,0,0,0,0,0,1\n#10,SE,,0,0,0,0,0,0,0,0,1\n#11,SW,,0,0,0,0,0,0,0,1\n",
        // Three places in a ring of one-way exits, each also with a loop and a way across.
        "[Locations]\n#1,A,,0,2,1,3,1\n#2,B,,0,3,2,1,2\n#3,C,,0,1,3,2,3\n",
    };
    for (const char* world : worlds) {
        SCOPED_TRACE(world);
        ExpectLabelsClear(Svg(directions + world));
    }
    // Labels far wider than the places they leave must still fit in the picture.
    ExpectLabelsClear(Svg("[Directions]\n#1,the long way round by the old mill\n"
                          "#2,back along the river past the weir\n"
                          "[Locations]\n#1,A,,0,2\n#2,B,,0,0,1\n"));
}

// Past the layered engine's limit the map is still whole: every place, every pair of exits.
TEST_F(MapTest, LargeWorldsAreDrawnWhole) {
    const int places = LayeredMapLimit + 20;
    std::string source = "[Locations]\n";
    for (int n = 1; n <= places; ++n)
        source += "#" + std::to_string(n) + ",Room " + std::to_string(n) + ",,0," +
                  std::to_string(n < places ? n + 1 : 0) + "," + std::to_string(n - 1) + "\n";
    const std::string svg = Svg(source);
    EXPECT_EQ(Groups(svg, "node").size(), static_cast<size_t>(places));
    const auto edges = Groups(svg, "edge");
    EXPECT_EQ(edges.size(), static_cast<size_t>(places - 1));
    EXPECT_EQ(Arrowheads(edges.at("L7->L8")), 2u);
    ExpectLabelsClear(svg);
}

// The command itself, run as an author runs it, in a copy of the demo's folder.
class MapCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.Enter("umb-map");
        fs::copy(fs::path(UMB_EXAMPLES) / "beacon", folder.dir, fs::copy_options::recursive);
    }
    void TearDown() override { folder.Leave(); }

    int Run(const std::string& args) {
        const std::string cmd = "'" UMB_BINARY "' " + args + " >out.txt 2>err.txt";
        const int status = std::system(cmd.c_str());
        err = Read("err.txt");
        return WEXITSTATUS(status);
    }
    static std::string Read(const std::string& name) { return ReadText(name); }

    TempFolder folder;
    std::string err;
};

TEST_F(MapCommand, DrawsTheDemo) {
    ASSERT_EQ(Run("--map --png beacon"), 0) << err;
    const std::string svg = Read("beacon-map.svg");
    const std::string png = Read("beacon-map.png");
    ASSERT_EQ(png.compare(0, 4, "\x89PNG"), 0);

    const auto nodes = Groups(svg, "node");
    const char* const names[] = {
        "The jetty",         "Shingle beach", "Keeper's kitchen", "Loft",    "Cliff path",
        "Foot of the tower", "Spiral stair",  "Lamp room",        "Gallery", "Sea cave",
        "Rock pool",         "Storehouse",    "Headland"};
    for (int n = 1; n <= 13; ++n) {
        const std::string title = "L" + std::to_string(n);
        ASSERT_EQ(nodes.count(title), 1u) << title;
        EXPECT_TRUE(HasText(nodes.at(title), names[n - 1])) << title;
        EXPECT_FALSE(Red(nodes.at(title))) << title;
    }
    EXPECT_EQ(nodes.count("L0"), 0u);  // the darkness is no place on the map

    // Each pair of exits as one double-headed arrow with both directions; the cave's way down
    // is closed by the tide and the tower's door is opened by a script, so each is drawn apart
    // from its way back.
    struct Expected {
        const char* title;
        const char* tailLabel;
        const char* headLabel;  // nullptr: a one-way arrow
        bool dashed;
    };
    const Expected expected[] = {
        {"L1->L2", "north", "south", false}, {"L2->L3", "north", "south", false},
        {"L2->L11", "west", "east", false},  {"L2->L12", "east", "west", false},
        {"L2->L10", "down", nullptr, true},  {"L10->L2", "up", nullptr, false},
        {"L3->L4", "up", "down", false},     {"L3->L5", "northeast", "southwest", false},
        {"L5->L6", "north", "south", false}, {"L5->L13", "northwest", "southeast", false},
        {"L7->L6", "south", nullptr, false}, {"L6->L7", "north", nullptr, true},
        {"L7->L8", "up", "down", false},     {"L8->L9", "east", "west", false},
    };
    const auto edges = Groups(svg, "edge");
    for (const Expected& e : expected) {
        ASSERT_EQ(edges.count(e.title), 1u) << e.title;
        const SvgGroup& g = edges.at(e.title);
        EXPECT_TRUE(HasText(g, e.tailLabel)) << e.title;
        if (e.headLabel != nullptr) {
            EXPECT_TRUE(HasText(g, e.headLabel)) << e.title;
        }
        EXPECT_EQ(Arrowheads(g), e.headLabel != nullptr ? 2u : 1u) << e.title;
        EXPECT_EQ(Dashed(g), e.dashed) << e.title;
    }
    EXPECT_EQ(edges.size(), std::size(expected));
    ExpectLabelsClear(svg);

    // The PNG's smallest text, the arrows' labels, stands at least 10 pixels high: its capitals
    // are 0.7 of its size, and the PNG is as many pixels wide as its scale makes the SVG's
    // points.
    const double points = std::stod(Attribute(svg, svg.find("<svg"), "width"));
    const double pixels = static_cast<double>(static_cast<unsigned char>(png[18]) << 8 |
                                              static_cast<unsigned char>(png[19]));
    double smallest = 1e9;
    for (size_t at = svg.find("font-size=\""); at != std::string::npos;
         at = svg.find("font-size=\"", at + 1))
        smallest = std::min(smallest, std::stod(svg.substr(at + 11)));
    EXPECT_GE(0.7 * smallest * pixels / points, 10.0)
        << "font " << smallest << " pt, " << pixels << " px for " << points << " pt";

    // A real renderer draws it.
    if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "rsvg-convert is not installed";
    EXPECT_EQ(std::system("rsvg-convert beacon-map.svg -o rendered.png 2>rsvg.txt"), 0)
        << Read("rsvg.txt");
    EXPECT_EQ(Read("rendered.png").compare(0, 4, "\x89PNG"), 0);
}

// The name is cut at its first point: the output names the source read, so the cut shows.
TEST_F(MapCommand, NamesTheSourceItRead) {
    fs::copy_file("beacon.adv", "the mill.adv");
    ASSERT_EQ(Run("--map 'the mill.v2'"), 0) << err;
    const std::string out = Read("out.txt");
    EXPECT_TRUE(fs::exists("the mill-map.svg"));
    ASSERT_FALSE(out.empty());
    const std::string last = out.substr(out.rfind('\n', out.size() - 2) + 1);
    EXPECT_NE(last.find("the mill.adv"), std::string::npos) << out;
}

// A world with no place to draw gives no empty picture but says why.
TEST_F(MapCommand, AWorldWithoutLocationsDrawsNothing) {
    const std::pair<const char*, const char*> sources[] = {
        {"empty", ""},
        {"darkonly", "[Locations]\n#0,Darkness,,0\n"},
        {"nameless", "[Messages]\n#1,Hello\n"},
    };
    for (const auto& [name, text] : sources) {
        SCOPED_TRACE(name);
        std::ofstream(std::string(name) + ".adv") << text;
        EXPECT_EQ(Run(std::string("--map --png ") + name), 1);
        EXPECT_NE(err.find(std::string(name) + ".adv defines no locations"), std::string::npos)
            << err;
        EXPECT_FALSE(fs::exists(std::string(name) + "-map.svg"));
        EXPECT_FALSE(fs::exists(std::string(name) + "-map.png"));
    }
}

TEST_F(MapCommand, ErrorsAreSaidAndNothingIsWritten) {
    std::ofstream("broken.adv") << "[Locations]\n#1,Hall,,0\n[Nowhere]\n";
    EXPECT_EQ(Run("--map broken"), 1);
    EXPECT_NE(err.find("broken.adv has errors"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists("broken-map.svg"));

    EXPECT_EQ(Run("--map missing"), 1);
    EXPECT_NE(err.find("missing.adv"), std::string::npos) << err;

    // A folder where the map should go cannot be written over.
    fs::create_directory("beacon-map.svg");
    EXPECT_EQ(Run("--map beacon"), 1);
    EXPECT_NE(err.find("Cannot write file beacon-map.svg"), std::string::npos) << err;
}

}  // namespace
