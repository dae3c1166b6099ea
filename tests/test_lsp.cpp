// test_lsp.cpp - the language server as an editor meets it: `umb --lsp` in a child process,
// spoken to through its pipes; what it publishes is what `umb --check` prints.
#include "file_text.h"
#include "lsp_client.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

std::string Uri(const fs::path& path) { return "file://" + path.lexically_normal().string(); }

Json At(const std::string& uri, int line, int character) {
    return {{"textDocument", {{"uri", uri}}},
            {"position", {{"line", line}, {"character", character}}}};
}

// The line (from 0) of the first line of text that holds needle, and the column where it stands.
std::pair<int, int> Find(const std::string& text, const std::string& needle) {
    std::istringstream in(text);
    int n = 0;
    for (std::string line; std::getline(in, line); ++n)
        if (const size_t at = line.find(needle); at != std::string::npos)
            return {n, static_cast<int>(at)};
    return {-1, -1};
}

class LanguageServer : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.Enter("umb-lsp");
        for (const char* name : {"planted.adv", "planted-more.adv"})
            fs::copy_file(fs::path(UMB_TEST_DATA) / "lsp" / name, folder.dir / name);
        source = ReadText(folder.dir / "planted.adv");
        uri = Uri(folder.dir / "planted.adv");
        ASSERT_TRUE(client.Start(UMB_BINARY, folder.dir.string()));
    }
    void TearDown() override {
        client.Wait(0);
        folder.Leave();
    }

    // Initializes and opens planted.adv; returns its first diagnostics.
    Json Open() {
        EXPECT_TRUE(client.Request(1, "initialize",
                                   {{"processId", nullptr}, {"capabilities", Json::object()}}));
        const auto init = client.Response(1);
        EXPECT_TRUE(init && init->contains("result"));
        client.Notify("initialized");
        client.Notify("textDocument/didOpen",
                      {{"textDocument",
                        {{"uri", uri}, {"languageId", "umb"}, {"version", 1}, {"text", source}}}});
        const auto d = client.Diagnostics(uri);
        EXPECT_TRUE(d.has_value());
        return d.value_or(Json::array());
    }

    Json Ask(int id, const std::string& method, const Json& params) {
        EXPECT_TRUE(client.Request(id, method, params));
        const auto r = client.Response(id);
        EXPECT_TRUE(r.has_value()) << method;
        return r ? r->value("result", Json()) : Json();
    }

    TempFolder folder;
    LspClient client;
    std::string source, uri;
};

using Finding = std::tuple<std::string, int, std::string, std::string>;  // file, line, kind, reason

// The findings --check prints, run in the game's folder.
std::multiset<Finding> CheckFindings(const fs::path& dir) {
    const std::string out = (dir / "check.txt").string();
    const std::string cmd =
        "cd '" + dir.string() + "' && '" UMB_BINARY "' --check planted >'" + out + "'";
    (void)std::system(cmd.c_str());
    std::multiset<Finding> found;
    std::istringstream in(ReadText(out));
    const std::regex form("^(.*):([0-9]+): (error|warning|note): (.*)$");
    for (std::string line; std::getline(in, line);)
        if (std::smatch m; std::regex_match(line, m, form))
            found.insert({m[1], std::stoi(m[2]), m[3], m[4]});
    return found;
}

void AddPublished(std::multiset<Finding>& to, const std::string& file, const Json& diagnostics) {
    static const char* const Kinds[] = {"", "error", "warning", "note", "hint"};
    for (const Json& d : diagnostics)
        to.insert({file, d["range"]["start"]["line"].get<int>() + 1,
                   Kinds[d["severity"].get<int>()], d["message"].get<std::string>()});
}

// Every finding --check prints is published with its severity on its line, an included file's
// for that file, the word a finding names marked; fixing a mistake takes its diagnostic away.
TEST_F(LanguageServer, PublishesWhatCheckFindsAndFollowsChanges) {
    const Json main = Open();
    const auto more = client.Diagnostics(Uri(folder.dir / "planted-more.adv"));
    ASSERT_TRUE(more.has_value());
    std::multiset<Finding> published;
    AddPublished(published, "planted.adv", main);
    AddPublished(published, "planted-more.adv", *more);
    const std::multiset<Finding> checked = CheckFindings(folder.dir);
    EXPECT_GT(checked.size(), 20u);
    EXPECT_EQ(published, checked);

    const auto [dorLine, dorColumn] = Find(source, "dor");
    bool marked = false;
    for (const Json& d : main)
        if (d["message"].get<std::string>().find("\"dor\"") != std::string::npos)
            marked = d["range"]["start"] == Json{{"line", dorLine}, {"character", dorColumn}} &&
                     d["range"]["end"] == Json{{"line", dorLine}, {"character", dorColumn + 3}};
    EXPECT_TRUE(marked) << "the unknown word's diagnostic covers the word";

    std::string fixed = source;
    fixed.replace(fixed.find("and noun dor"), 12, "and noun door");
    client.Notify("textDocument/didChange", {{"textDocument", {{"uri", uri}, {"version", 2}}},
                                             {"contentChanges", {{{"text", fixed}}}}});
    const auto after = client.Diagnostics(uri);
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->size(), main.size() - 1);
    for (const Json& d : *after)
        EXPECT_EQ(d["message"].get<std::string>().find("\"dor\""), std::string::npos) << d.dump();
}

// Definition, references, hover, completion, the outline and rename, each on a planted line.
TEST_F(LanguageServer, NavigatesTheGame) {
    Open();
    // "message 1" in the actions goes to message 1's record.
    const auto [useLine, useColumn] = Find(source, "message 1");
    const auto [defLine, defColumn] = Find(source, "#1,Hello.");
    const Json definition = Ask(2, "textDocument/definition", At(uri, useLine, useColumn + 8));
    EXPECT_EQ(definition["uri"], uri);
    EXPECT_EQ(definition["range"]["start"]["line"], defLine);

    // The variable score: declared, set by "then set score 2" (and named by the misspelt line).
    const auto [varsLine, varsColumn] = Find(source, "score,ghost,spare");
    Json params = At(uri, varsLine, 1);
    params["context"] = {{"includeDeclaration", true}};
    const Json references = Ask(3, "textDocument/references", params);
    std::set<int> lines;
    for (const Json& r : references) lines.insert(r["range"]["start"]["line"].get<int>());
    EXPECT_EQ(lines, (std::set<int>{varsLine, Find(source, "mchoice score 3").first,
                                    Find(source, "then set score 2").first}));

    // Hovering location 77 says it is not defined; location 1 shows its name and exits.
    const auto [goLine, goColumn] = Find(source, "go 77");
    EXPECT_EQ(Ask(4, "textDocument/hover", At(uri, goLine, goColumn + 3))["contents"]["value"],
              "location 77 is not defined");
    const auto [hallLine, hallColumn] = Find(source, "#1,Hall,,0,2");
    const std::string hall =
        Ask(5, "textDocument/hover", At(uri, hallLine, 1))["contents"]["value"].get<std::string>();
    EXPECT_NE(hall.find("Hall"), std::string::npos) << hall;
    EXPECT_NE(hall.find("location 2 (Yard)"), std::string::npos) << hall;

    // After "if verb " the game's verbs are offered.
    const auto [ifLine, ifColumn] = Find(source, "if verb open");
    const Json items = Ask(6, "textDocument/completion", At(uri, ifLine, 8));
    std::set<std::string> labels;
    for (const Json& i : items) labels.insert(i["label"].get<std::string>());
    EXPECT_TRUE(labels.count("open") == 1 && labels.count("push") == 1) << items.dump();
    EXPECT_EQ(labels.count("create"), 0u) << "an operand, not a keyword, follows verb";

    // The outline: the sections, with the locations under [Locations].
    const Json outline = Ask(7, "textDocument/documentSymbol", {{"textDocument", {{"uri", uri}}}});
    std::vector<std::string> names;
    for (const Json& section : outline)
        if (section["name"] == "[Locations]")
            for (const Json& child : section["children"]) names.push_back(child["name"]);
    EXPECT_EQ(names, (std::vector<std::string>{"location 1: Hall", "location 2: Yard",
                                               "location 3: Vault"}));

    // Renaming the verb open edits its record and the script line that tests it.
    Json rename = At(uri, ifLine, 9);
    rename["newName"] = "unlock";
    const Json edit = Ask(8, "textDocument/rename", rename);
    ASSERT_TRUE(edit.contains("changes")) << edit.dump();
    std::set<int> edited;
    for (const Json& e : edit["changes"][uri]) {
        EXPECT_EQ(e["newText"], "unlock");
        edited.insert(e["range"]["start"]["line"].get<int>());
    }
    EXPECT_EQ(edited, (std::set<int>{Find(source, "#24,open").first, ifLine}));
}

// An included file opened alone is checked as part of the game that includes it, with its unsaved
// text; when the last file of a game closes, its diagnostics are taken away.
TEST_F(LanguageServer, ChecksAnIncludedFileWithItsGame) {
    ASSERT_TRUE(client.Request(1, "initialize", {{"capabilities", Json::object()}}));
    ASSERT_TRUE(client.Response(1));
    const std::string more = Uri(folder.dir / "planted-more.adv");
    const std::string text = "[Messages]\n#3,Hello %scroe%.\n";
    client.Notify(
        "textDocument/didOpen",
        {{"textDocument", {{"uri", more}, {"languageId", "umb"}, {"version", 1}, {"text", text}}}});
    const auto mine = client.Diagnostics(more);
    const auto game = client.Diagnostics(uri);
    ASSERT_TRUE(mine && game);
    std::set<std::string> messages;
    for (const Json& d : *mine) messages.insert(d["message"].get<std::string>());
    EXPECT_EQ(messages, (std::set<std::string>{
                            "text names variable \"%scroe%\", which is not declared; it prints 0",
                            "message 3 is never printed"}))
        << "the editor's text, read as part of planted.adv";
    EXPECT_GT(game->size(), 20u);
    client.Notify("textDocument/didClose", {{"textDocument", {{"uri", more}}}});
    const auto gone = client.Diagnostics(more), gameGone = client.Diagnostics(uri);
    ASSERT_TRUE(gone && gameGone);
    EXPECT_TRUE(gone->empty() && gameGone->empty());
}

// GAME.coverage beside the game: its "#####" lines become hints, read again when it changes.
TEST_F(LanguageServer, HintsLinesNoWalkthroughRan) {
    Open();
    const int line = Find(source, "go 77").first + 1;
    std::ofstream("planted.coverage", std::ios::binary)
        << "        -:    0:Source:planted.adv\n        3:    " << line - 1 << ":message 999\n"
        << "    #####:   " << line << ":go 77\n";
    client.Notify("workspace/didChangeWatchedFiles",
                  {{"changes", {{{"uri", Uri(folder.dir / "planted.coverage")}, {"type", 1}}}}});
    const auto d = client.Diagnostics(uri);
    ASSERT_TRUE(d.has_value());
    int hints = 0;
    for (const Json& x : *d)
        if (x["severity"] == 4) {
            ++hints;
            EXPECT_EQ(x["message"], "never run by any walkthrough");
            EXPECT_EQ(x["range"]["start"]["line"], line - 1);
        }
    EXPECT_EQ(hints, 1);
}

// Malformed messages get the protocol's errors (a notification never an answer) and the server
// goes on; shutdown then exit ends it with 0, exit alone with 1.
TEST_F(LanguageServer, AnswersMalformedMessagesAndEndsCleanly) {
    ASSERT_TRUE(client.Request(1, "textDocument/hover", At(uri, 0, 0)));
    EXPECT_EQ((*client.Response(1))["error"]["code"], -32002) << "a request before initialize";
    Open();
    client.SendRaw("Content-Length: nine\r\n\r\n{}");
    client.SendRaw("Content-Length: 8\r\n\r\n{\"id\":1,");
    const auto parse = client.Response(nullptr);
    ASSERT_TRUE(parse.has_value());
    EXPECT_EQ((*parse)["error"]["code"], -32700);
    ASSERT_TRUE(client.Request(2, "textDocument/colorPresentation"));
    EXPECT_EQ((*client.Response(2))["error"]["code"], -32601);
    client.Notify("$/setTrace", {{"value", "off"}});
    client.Notify("workspace/unknownNotification");
    ASSERT_TRUE(client.Request(3, "shutdown"));
    const auto down = client.Response(3);
    ASSERT_TRUE(down.has_value());
    EXPECT_TRUE(down->contains("result") && (*down)["result"].is_null()) << down->dump();
    for (const Json& n : client.notifications)
        EXPECT_TRUE(n.contains("method")) << "only notifications came unasked: " << n.dump();
    client.Notify("exit");
    EXPECT_EQ(client.Wait(10000), 0);
}

TEST_F(LanguageServer, ExitWithoutShutdownEndsWithOne) {
    Open();
    client.Notify("exit");
    EXPECT_EQ(client.Wait(10000), 1);
}

}  // namespace
