// lsp_complete.cpp - completion of section headers, settings, statement keywords, the game's
// words and variables, and the numbers of its records.
#include "app/lsp/lsp_server.h"

#include "app/lsp/lsp_text.h"
#include "base/nocase.h"
#include "compiler/reader.h"
#include "db/codes.h"

#include <cstring>

using namespace umb::db;
using namespace umb::compiler;

namespace umb::lsp {

namespace {

// The protocol's completion item kinds used here.
enum ItemKind {
    ItemProperty = 10,
    ItemValue = 12,
    ItemKeyword = 14,
    ItemVariable = 6,
    ItemModule = 9,
    ItemEnumMember = 20
};

Json Item(const std::string& label, int kind, const std::string& detail) {
    Json item = {{"label", label}, {"kind", kind}};
    if (!detail.empty()) item["detail"] = detail;
    return item;
}

// The section a line of a file is in: the last header above it.
Section SectionAt(const IndexedFile& f, int line) {
    Section section = Section::None;
    for (const SectionMark& m : f.sections) {
        if (m.line >= line) break;
        section = Section::None;
        for (const SectionHeader& h : SectionHeaders())
            if (base::CompareNoCaseN(m.header.c_str(), h.text, std::strlen(h.text)) == 0)
                section = h.section;
    }
    return section;
}

void AddWords(Json& items, const std::vector<WordRecord>& table, const char* what) {
    std::set<uint64_t> seen;
    for (const WordRecord& w : table) {
        const std::string word = WordOf(w.word);
        if (!seen.insert(base::WordKey(word.c_str())).second) continue;
        items.push_back(Item(word, ItemValue, std::string(what) + " " + std::to_string(w.number)));
    }
}

void AddVariables(Json& items, const GameDatabase& db) {
    for (size_t i = 1; i < db.Vars.size(); ++i)
        items.push_back(
            Item(WordOf(db.Vars[i].name), ItemVariable, "variable " + std::to_string(i)));
}

// The records of a kind, each number labelled with its name.
void AddNumbers(Json& items, const GameDatabase& db, Operand kind) {
    auto add = [&](int n, const char* what, const std::string& name) {
        Json item =
            Item(std::to_string(n), ItemEnumMember, std::string(what) + " " + std::to_string(n));
        item["labelDetails"] = {{"description", name}};
        items.push_back(std::move(item));
    };
    switch (kind) {
    case Operand::Location:
    case Operand::Place:
        for (int n = 0; n <= db.LastLocation; ++n)
            if (db.Locations[static_cast<size_t>(n)].name != NoText)
                add(n, "location", GameText(db, db.Locations[static_cast<size_t>(n)].name));
        break;
    case Operand::Object:
        for (int n = 1; n <= db.LastObject; ++n)
            if (db.Objects[static_cast<size_t>(n)].name != NoText)
                add(n, "object", GameText(db, db.Objects[static_cast<size_t>(n)].name));
        break;
    case Operand::Message:
        for (int n = 1; n <= db.LastMessage; ++n)
            if (db.Messages[static_cast<size_t>(n)] != NoText)
                add(n, "message", CutText(GameText(db, db.Messages[static_cast<size_t>(n)]), 40));
        break;
    case Operand::Show:
        for (int n = 1; n <= db.LastShow; ++n)
            add(n, "show", GameText(db, db.Shows[static_cast<size_t>(n)].picture));
        break;
    case Operand::Sysmsg:
        for (int n = 1; n < SysmsgCount; ++n)
            if (db.Sysmsg[n] != NoText)
                add(n, "system message", CutText(GameText(db, db.Sysmsg[n]), 40));
        break;
    default: break;
    }
}

// A script line up to the cursor: keywords, or what the statement before the cursor takes.
void ScriptItems(Json& items, const GameDatabase& db, std::string_view before) {
    size_t at = 0;
    while (at < before.size() && (before[at] == ' ' || before[at] == '\t')) ++at;
    bool condition = false;
    bool controlWritten = false;
    for (const char* w : {"if ", "and ", "or ", "while ", "then ", "do "}) {
        const size_t n = std::strlen(w);
        if (before.size() - at >= n &&
            base::CompareNoCaseN(std::string(before.substr(at)).c_str(), w, n) == 0) {
            condition = w[0] != 't' && w[0] != 'd';
            controlWritten = true;
            at += n;
            break;
        }
    }
    // The words written before the one being typed.
    std::vector<std::string> words;
    const size_t typing = before.rfind(' ');
    std::string_view done = typing == std::string_view::npos || typing < at
                                ? std::string_view()
                                : before.substr(at, typing - at);
    for (size_t i = 0; i < done.size();) {
        while (i < done.size() && done[i] == ' ') ++i;
        const size_t start = i;
        while (i < done.size() && done[i] != ' ') ++i;
        if (i > start) words.emplace_back(done.substr(start, i - start));
    }
    const std::span<const StatementKeyword> table =
        condition ? std::span<const StatementKeyword>(ConditionKeywords)
                  : std::span<const StatementKeyword>(ActionKeywords);
    if (!words.empty()) {
        for (const StatementKeyword& k : table) {
            if (base::CompareNoCase(words.back().c_str(), k.word) != 0) continue;
            switch (k.a) {
            case Operand::Verb: AddWords(items, db.Verbs, "verb"); return;
            case Operand::Noun: AddWords(items, db.Nouns, "noun"); return;
            case Operand::VariableOrNoun:
                AddWords(items, db.Nouns, "noun");
                AddVariables(items, db);
                return;
            case Operand::Variable: AddVariables(items, db); return;
            case Operand::None: break;
            default: AddNumbers(items, db, k.a); return;
            }
        }
    }
    if (!controlWritten && words.empty())
        for (const char* w : {"if", "and", "or", "while", "then", "do"})
            items.push_back(Item(w, ItemKeyword, "control word"));
    for (const StatementKeyword& k : table)
        items.push_back(Item(k.word, ItemKeyword, KeywordDescription(k.word, !condition)));
    items.push_back(Item("not", ItemKeyword, "negates the statement after it"));
    AddVariables(items, db);
}

}  // namespace

Reply Completion(Server& s, const Json& params) {
    TextPosition at;
    if (!PositionOf(s, params, at, Freshness::LastChecked)) return Result(Json::array());
    const GameIndex& g = *at.game;
    const IndexedFile& f = g.files[static_cast<size_t>(at.file)];
    const std::string_view line = at.lineText;
    const std::string_view before = line.substr(0, std::min(at.byte, line.size()));
    Json items = Json::array();
    if (!before.empty() && before[0] == '[' && before.find(']') == std::string_view::npos) {
        for (const SectionHeader& h : SectionHeaders()) {
            Json item = Item(h.text, ItemModule, "section");
            // Replaces what the line holds now, which the last check may not have seen.
            item["textEdit"] = {
                {"range",
                 {{"start", {{"line", at.line}, {"character", 0}}},
                  {"end", {{"line", at.line}, {"character", ColumnOfByte(line, before.size())}}}}},
                {"newText", h.text}};
            items.push_back(std::move(item));
        }
        return Result(items);
    }
    const Section section = SectionAt(f, at.line);
    size_t percents = 0;
    for (const char ch : before) percents += ch == '%';
    if (percents % 2 == 1 && section != Section::Events && section != Section::Actions) {
        AddVariables(items, g.db);
        return Result(items);
    }
    if (section == Section::System && before.find('=') == std::string_view::npos) {
        for (const char* key : SystemKeys) items.push_back(Item(key, ItemProperty, "setting"));
    } else if (section == Section::Events || section == Section::Actions) {
        ScriptItems(items, g.db, before);
    }
    return Result(items);
}

}  // namespace umb::lsp
