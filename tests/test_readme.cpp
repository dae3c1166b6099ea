// test_readme.cpp - the tutorial's example adventure compiles without a diagnostic and plays its
// walkthrough to the win, from the source and compiled, as the tutorial shows it; and every link
// between the documents leads to a file and a heading that are there.
#include "file_text.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The code block the tutorial holds between "<!-- example NAME -->" and "<!-- end NAME -->",
// or nothing when the markers or the fences around the block are gone.
std::string Example(const std::string& readme, const std::string& name) {
    const std::string open = "<!-- example " + name + " -->\n```\n";
    const std::string close = "```\n<!-- end " + name + " -->";
    const size_t from = readme.find(open);
    if (from == std::string::npos) return "";
    const size_t body = from + open.size();
    const size_t to = readme.find(close, body);
    if (to == std::string::npos) return "";
    return readme.substr(body, to - body);
}

// Works in a folder of its own, where a newcomer would save the example's files.
class ReadmeExample : public ::testing::Test {
  protected:
    void SetUp() override {
        readme = ReadText(UMB_README);
        folder.Enter("umb-readme");
    }
    void TearDown() override { folder.Leave(); }

    // Runs the program headless with keys from a file; returns its exit status.
    int Run(const std::string& args, const std::string& keys) {
        const std::string cmd = "UMB_DRIVER=headless '" + std::string(UMB_BINARY) + "' " + args +
                                " <" + keys + " >out.txt 2>err.txt";
        const int status = std::system(cmd.c_str());
        out = ReadText("out.txt");
        err = ReadText("err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string readme;
    TempFolder folder;
    std::string out;
    std::string err;
};

TEST_F(ReadmeExample, CompilesCleanlyAndPlaysToItsWin) {
    const std::string source = Example(readme, "shed.adv");
    const std::string keys = Example(readme, "shed.keys");
    const std::string shown = Example(readme, "shed.txt");
    ASSERT_NE(source, "") << "no example adventure between its markers in " << UMB_README;
    ASSERT_NE(keys, "") << "no walkthrough between its markers";
    ASSERT_NE(shown, "") << "no transcript between its markers";
    std::ofstream("shed.adv", std::ios::binary) << source;
    std::ofstream("shed.keys", std::ios::binary) << keys;

    EXPECT_EQ(Run("-c shed", "/dev/null"), 0);
    EXPECT_EQ(out, "shed.adv: compiled into shed.umb\n")
        << "the example must compile without a diagnostic";
    EXPECT_EQ(err, "U.M.B.: Conversion complete\n");
    ASSERT_TRUE(fs::exists("shed.umb"));

    // The transcript begins as the tutorial shows it; the game ends with its win and the player
    // declining another game, not with the keys running out at a prompt.
    const std::string won = "You have won with 15 points!\n";
    const std::string declined = "Play again? n\n== end ==\n";
    EXPECT_EQ(Run("shed", "shed.keys"), 0);
    EXPECT_EQ(err, "");
    const std::string fromSource = out;
    EXPECT_EQ(fromSource.rfind(shown, 0), 0u) << fromSource;
    EXPECT_NE(fromSource.find(">w\nOK.\nYou carry the coin out into the sunlight. " + won),
              std::string::npos)
        << fromSource;
    ASSERT_GE(fromSource.size(), declined.size());
    EXPECT_EQ(fromSource.substr(fromSource.size() - declined.size()), declined) << fromSource;

    // The compiled game, with the source gone, plays the same game.
    fs::remove("shed.adv");
    EXPECT_EQ(Run("shed", "shed.keys"), 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(out, fromSource);
}

// The documents: the README and CONTRIBUTING.md at the top, the rest in docs/, where the tutorial
// (UMB_README) lies.
fs::path TopFolder() { return fs::path(UMB_README).parent_path().parent_path(); }

std::vector<fs::path> Documents() {
    std::vector<fs::path> docs = {TopFolder() / "README.md", TopFolder() / "CONTRIBUTING.md"};
    for (const auto& entry : fs::directory_iterator(TopFolder() / "docs"))
        if (entry.path().extension() == ".md") docs.push_back(entry.path());
    return docs;
}

// The lines of a Markdown text outside its fenced and indented code blocks.
std::vector<std::string> ProseLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    bool fenced = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("```", 0) == 0)
            fenced = !fenced;
        else if (!fenced && line.rfind("    ", 0) != 0)
            lines.push_back(line);
    }
    return lines;
}

// The anchors a Markdown viewer gives a document's headings: lower case, blanks as hyphens,
// other punctuation dropped ("The author's workbench" is "the-authors-workbench").
std::set<std::string> Anchors(const std::string& text) {
    std::set<std::string> anchors;
    for (const std::string& line : ProseLines(text)) {
        const size_t hashes = line.find_first_not_of('#');
        if (hashes == 0 || hashes == std::string::npos || line[hashes] != ' ') continue;
        std::string anchor;
        for (char c : line.substr(hashes + 1)) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (std::isalnum(u) || c == '-' || c == '_')
                anchor += static_cast<char>(std::tolower(u));
            else if (c == ' ')
                anchor += '-';
        }
        anchors.insert(anchor);
    }
    return anchors;
}

// The targets of the relative links "[text](target)" in a document's prose.
std::vector<std::string> RelativeLinks(const std::string& text) {
    std::vector<std::string> links;
    for (const std::string& line : ProseLines(text)) {
        for (size_t at = line.find("]("); at != std::string::npos; at = line.find("](", at + 2)) {
            const size_t end = line.find(')', at + 2);
            if (end == std::string::npos) break;
            const std::string target = line.substr(at + 2, end - at - 2);
            if (target.find("://") == std::string::npos) links.push_back(target);
        }
    }
    return links;
}

// A reader who follows a link lands on a document that is there, at a heading that is there:
// moving a section or renaming a heading must take the links to it along.
TEST(Documents, EveryLinkLeadsToAFileAndAHeading) {
    const std::vector<fs::path> docs = Documents();
    ASSERT_GE(docs.size(), 7u);
    int checked = 0;
    for (const fs::path& doc : docs) {
        const std::string text = ReadText(doc);
        ASSERT_NE(text, "") << doc;
        for (const std::string& link : RelativeLinks(text)) {
            const size_t hash = link.find('#');
            const std::string file = link.substr(0, hash);
            const fs::path target = file.empty() ? doc : doc.parent_path() / file;
            ++checked;
            ASSERT_TRUE(fs::exists(target)) << doc << ": link to " << link;
            if (hash == std::string::npos) continue;
            EXPECT_EQ(Anchors(ReadText(target)).count(link.substr(hash + 1)), 1u)
                << doc << ": no heading for " << link;
        }
    }
    EXPECT_GE(checked, 20) << "the documents lost their links to each other";
}

// The anchor rule itself, on the headings the documents link to most awkwardly.
TEST(Documents, HeadingAnchorsDropPunctuation) {
    const std::set<std::string> anchors =
        Anchors("# Top\n## The author's workbench\n```\n# not a heading\n```\n"
                "### Saved games and the files the program writes\n#nospace\n");
    const std::set<std::string> expected = {"top", "the-authors-workbench",
                                            "saved-games-and-the-files-the-program-writes"};
    EXPECT_EQ(anchors, expected);
}

}  // namespace
