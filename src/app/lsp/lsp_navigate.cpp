// lsp_navigate.cpp - the outline of a source, going to what a number or word names, finding
// what names it, and renaming a verb, noun or variable across the game's files.
#include "app/lsp/lsp_server.h"

#include "app/lsp/lsp_text.h"
#include "base/nocase.h"

using namespace umb::db;

namespace umb::lsp {

namespace {

// The protocol's symbol kinds the outline uses.
enum SymbolKind {
    KindNamespace = 3,
    KindString = 15,
    KindEvent = 24,
    KindObject = 19,
    KindStruct = 23,
    KindVariable = 13
};

// What the outline shows for a record or variable defined at o, with its symbol kind; "" for
// what it does not show.
std::string SymbolName(const GameIndex& g, const Occurrence& o, int& kind) {
    const GameDatabase& db = g.db;
    const auto n = static_cast<size_t>(o.value);
    const std::string number = std::to_string(o.value);
    switch (o.names) {
    case Names::Location:
        kind = KindStruct;
        return "location " + number + ": " +
               (n < db.Locations.size() ? GameText(db, db.Locations[n].name) : "");
    case Names::Object:
        kind = KindObject;
        return "object " + number + ": " +
               (n < db.Objects.size() ? GameText(db, db.Objects[n].name) : "");
    case Names::Message:
        kind = KindString;
        return "message " + number + ": " +
               CutText(n < db.Messages.size() ? GameText(db, db.Messages[n]) : "", 40);
    case Names::Show:
        kind = KindEvent;
        return "show " + number + ": " +
               (n < db.Shows.size() ? GameText(db, db.Shows[n].picture) : "");
    case Names::Variable: kind = KindVariable; return "variable " + std::string(TextOf(g, o));
    default: return "";
    }
}

Json Symbol(const std::string& name, int kind, Json range, Json selection) {
    return {{"name", name},
            {"kind", kind},
            {"range", std::move(range)},
            {"selectionRange", std::move(selection)},
            {"children", Json::array()}};
}

const Occurrence* DefinitionOf(const GameIndex& g, const Occurrence& at) {
    if (at.definition) return &at;
    const Occurrence* byValue = nullptr;
    for (const Occurrence& o : g.occurrences) {
        if (!o.definition || o.names != at.names) continue;
        if (SameThing(g, at, o)) return &o;
        if (byValue == nullptr && o.value == at.value) byValue = &o;
    }
    return byValue;
}

// A name a verb, noun or variable can take: a word that the source reads back as one.
bool UsableName(const std::string& name) {
    if (name.empty() || name == "not") return false;
    if ((name[0] >= '0' && name[0] <= '9') || name[0] == '-' || name[0] == '+' || name[0] == '#' ||
        name[0] == '[' || name[0] == '@')
        return false;
    for (const char ch : name)
        if (ch == ' ' || ch == '\t' || ch == ',' || ch == '%' || ch == '|' || ch == '\r' ||
            ch == '\n' || ch == '\0')
            return false;
    return true;
}

}  // namespace

Reply DocumentSymbols(Server& s, const Json& params) {
    const Json* doc = Member(params, "textDocument");
    const std::string path = doc != nullptr ? PathOfUri(StringMember(*doc, "uri")) : "";
    GameIndex* g = FreshIndex(s, path);
    const int file = g != nullptr ? FileIndexOf(*g, path) : -1;
    if (file < 0) return Result(Json::array());
    const IndexedFile& f = g->files[static_cast<size_t>(file)];
    Json top = Json::array();
    const int lastLine = static_cast<int>(f.lineStarts.size()) - 1;
    std::vector<int> sectionEnds;
    for (size_t i = 0; i < f.sections.size(); ++i) {
        const int from = f.sections[i].line;
        const int to = i + 1 < f.sections.size() ? f.sections[i + 1].line - 1 : lastLine;
        sectionEnds.push_back(to);
        Json range = {
            {"start", {{"line", from}, {"character", 0}}},
            {"end",
             {{"line", to}, {"character", ColumnOfByte(LineOf(f, to), LineOf(f, to).size())}}}};
        top.push_back(Symbol(f.sections[i].header, KindNamespace, range,
                             RangeOf(f, from, 0, f.sections[i].header.size())));
    }
    for (const Occurrence& o : g->occurrences) {
        if (o.file != file || !o.definition) continue;
        int kind = 0;
        const std::string name = SymbolName(*g, o, kind);
        if (name.empty()) continue;
        const std::string_view line = LineOf(f, o.line);
        Json symbol = Symbol(name, kind, RangeOf(f, o.line, 0, line.size()),
                             RangeOf(f, o.line, o.begin, o.end));
        Json* parent = &top;
        for (size_t i = 0; i < f.sections.size(); ++i)
            if (o.line > f.sections[i].line && o.line <= sectionEnds[i])
                parent = &top[i]["children"];
        parent->push_back(std::move(symbol));
    }
    return Result(top);
}

Reply Definition(Server& s, const Json& params) {
    TextPosition at;
    if (!PositionOf(s, params, at)) return Result(Json(nullptr));
    const Occurrence* o = OccurrenceAt(*at.game, at.file, at.line, at.byte);
    const Occurrence* d = o != nullptr ? DefinitionOf(*at.game, *o) : nullptr;
    if (d == nullptr) return Result(Json(nullptr));
    return Result(LocationOf(s, *at.game, *d));
}

Reply References(Server& s, const Json& params) {
    TextPosition at;
    if (!PositionOf(s, params, at)) return Result(Json(nullptr));
    const Occurrence* o = OccurrenceAt(*at.game, at.file, at.line, at.byte);
    if (o == nullptr || o->names == Names::Statement || o->names == Names::Control)
        return Result(Json(nullptr));
    const Json* context = Member(params, "context");
    const bool declarations =
        context == nullptr || BoolMember(*context, "includeDeclaration", true);
    Json found = Json::array();
    for (const Occurrence& r : at.game->occurrences)
        if (SameThing(*at.game, *o, r) && (declarations || !r.definition))
            found.push_back(LocationOf(s, *at.game, r));
    return Result(found);
}

Reply Rename(Server& s, const Json& params) {
    TextPosition at;
    const Json newName = params.value("newName", Json());
    if (!PositionOf(s, params, at) || !newName.is_string())
        return Failure(InvalidParams, "rename needs a document, a position and a new name");
    const GameIndex& g = *at.game;
    const Occurrence* o = OccurrenceAt(g, at.file, at.line, at.byte);
    if (o == nullptr || !o->word ||
        (o->names != Names::Verb && o->names != Names::Noun && o->names != Names::Variable))
        return Failure(RequestFailed, "only the word of a verb, noun or variable can be renamed");
    const std::string name = newName.get<std::string>();
    if (!UsableName(name))
        return Failure(RequestFailed,
                       "\"" + name +
                           "\" cannot be a word of the game: no blanks, commas, % or |, "
                           "and not a number");
    const int taken = o->names == Names::Verb   ? FindVerb(g.db, name.c_str())
                      : o->names == Names::Noun ? FindNoun(g.db, name.c_str())
                                                : FindVariable(g.db, name.c_str());
    const std::string old(TextOf(g, *o));
    if (taken != 0 && base::WordKey(old.c_str()) != base::WordKey(name.c_str()))
        return Failure(RequestFailed, "\"" + name + "\" is already a word of the game");
    Json changes = Json::object();
    for (const Occurrence& r : g.occurrences) {
        if (!r.word || !SameThing(g, *o, r)) continue;
        const IndexedFile& f = g.files[static_cast<size_t>(r.file)];
        changes[UriOf(s, f.path)].push_back(
            {{"range", RangeOf(f, r.line, r.begin, r.end)}, {"newText", name}});
    }
    return Result({{"changes", changes}});
}

}  // namespace umb::lsp
