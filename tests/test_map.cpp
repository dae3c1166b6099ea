// test_map.cpp - the author's map: what the drawn SVG shows of a world, and the --map command.
#include "app/map.h"
#include "compile_fixture.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

class MapTest : public CompileTest {
  protected:
    std::string Svg(const std::string& source) {
        EXPECT_GE(Compile(source), 0) << out;
        MapImages images;
        EXPECT_EQ(RenderMap(db, false, images), 0);
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
    static std::string Read(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

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

    // A real renderer draws it.
    if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "rsvg-convert is not installed";
    EXPECT_EQ(std::system("rsvg-convert beacon-map.svg -o rendered.png 2>rsvg.txt"), 0)
        << Read("rsvg.txt");
    EXPECT_EQ(Read("rendered.png").compare(0, 4, "\x89PNG"), 0);
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
