// lsp_hover.cpp - what a number or word names, shown where the pointer rests.
#include "app/lsp/lsp_server.h"

#include "base/nocase.h"
#include "db/codes.h"

#include <cstring>

using namespace umb::db;

namespace umb::lsp {

namespace {

constexpr size_t HoverTextLimit = 200;  // characters of a message shown in a hover

struct Description {
    const char* word;
    const char* text;
};

// One line for each statement keyword, condition ones first.
const Description ConditionDescriptions[] = {
    {"begin", "holds in the events run that starts a game"},
    {"verb", "the player's verb is the one given (a word or number)"},
    {"noun", "the player's first noun is the one given"},
    {"noun2", "the player's second noun is the one given (a variable holding it, or a noun)"},
    {"noun3", "the player's third noun is the one given"},
    {"anynoun", "one of the player's three nouns is the one given"},
    {"move", "the player typed a direction: 0 any, 1 one with an exit, 2 one without"},
    {"at", "the player is at the location given"},
    {"exist", "the object lies somewhere (not nowhere)"},
    {"isin", "the object is at the location value given (-1 carried, -2 worn, 0 nowhere)"},
    {"carried", "the object is carried"},
    {"worn", "the object is worn"},
    {"owned", "the object is carried or worn"},
    {"here", "the object is at the player's location"},
    {"present", "the object is here, carried or worn"},
    {"dark", "the location (0: the player's) is dark"},
    {"eq", "the variable equals the number"},
    {"gt", "the variable is greater than the number"},
    {"lt", "the variable is less than the number"},
    {"free", "fewer objects than MaxItems are carried or worn"},
    {"random", "a draw from 0 to the second number - 1 is less than the first"},
    {"continued", "the actions run goes on after a continue"},
};

const Description ActionDescriptions[] = {
    {"create", "places the object at the player's location (or the one a preceding at names)"},
    {"destroy", "places the object nowhere"},
    {"get", "makes the object carried"},
    {"wear", "makes the object worn"},
    {"put", "places the object at the location value (-1 carried, -2 worn, 0 nowhere)"},
    {"moveall", "moves everything at the first location (0: here) to the second"},
    {"swap", "the two objects exchange places"},
    {"go", "moves the player to the location"},
    {"at", "the next statement of the line works on this location instead of the player's"},
    {"exit", "the exit in the direction (1 to 10) leads to the location"},
    {"subst", "every exit to the first location (0: here) leads to the second"},
    {"light", "sets the light of the location (0 or none: the player's): 0 dark, else lit"},
    {"message", "prints the message"},
    {"sysmsg", "prints the system message"},
    {"show", "presents the show: its picture and text"},
    {"pause", "waits for a key, or the given ticks"},
    {"quit", "ends the game"},
    {"set", "gives the variable the number (1 when none is given)"},
    {"reset", "gives the variable 0"},
    {"add", "adds the number to the variable"},
    {"sub", "subtracts the number from the variable"},
    {"mchoiche", "the variable takes the player's choice of 1 to the number"},
    {"bchoiche", "the variable takes the player's yes (1) or no (0)"},
    {"redesc", "describes the player's location again"},
    {"cls", "clears the message area"},
    {"halt", "stops the script"},
    {"continue", "the actions run goes on to the next matching lines"},
    {"break", "leaves the current block"},
};

const Description ControlDescriptions[] = {
    {"if", "starts a condition: the statements after it must all hold"},
    {"and", "the condition also needs these statements"},
    {"or", "the condition also holds when these statements do"},
    {"while", "a condition whose block repeats while it holds"},
    {"then", "actions run when the condition above holds"},
    {"do", "actions run when the condition above holds"},
};

template <size_t N> std::string Find(const Description (&table)[N], const std::string& word) {
    for (const Description& d : table)
        if (base::CompareNoCase(word.c_str(), d.word) == 0) return d.text;
    return "";
}

std::string PlaceName(const GameDatabase& db, int place) {
    if (place == Carried) return "carried";
    if (place == Worn) return "worn";
    if (place == 0) return "nowhere";
    const auto n = static_cast<size_t>(place);
    const std::string name =
        place > 0 && n < db.Locations.size() ? GameText(db, db.Locations[n].name) : "";
    return "location " + std::to_string(place) + (name.empty() ? "" : " (" + name + ")");
}

std::string LocationHover(const GameDatabase& db, int n) {
    const auto i = static_cast<size_t>(n);
    if (n > db.LastLocation || db.Locations[i].name == NoText)
        return "location " + std::to_string(n) + " is not defined";
    std::string text =
        "**location " + std::to_string(n) + "**: " + GameText(db, db.Locations[i].name);
    std::string exits;
    for (int d = 0; d < DirectionCount; ++d) {
        const int to = db.Locations[i].exits[d];
        if (to == 0) continue;
        std::string direction = GameText(db, db.Directions[d]);
        if (direction.empty()) direction = "direction " + std::to_string(d + 1);
        exits += (exits.empty() ? "" : ", ") + direction + " to " + PlaceName(db, to);
    }
    return text + "\n\nexits: " + (exits.empty() ? "none" : exits);
}

std::string WordsOf(const std::vector<WordRecord>& table, int number) {
    std::string words;
    for (const WordRecord& w : table)
        if (w.number == number) words += (words.empty() ? "" : ", ") + WordOf(w.word);
    return words;
}

std::string RecordHover(const GameIndex& g, const Occurrence& o) {
    const GameDatabase& db = g.db;
    const int n = o.value;
    const auto i = static_cast<size_t>(n);
    const std::string number = std::to_string(n);
    switch (o.names) {
    case Names::Location: return LocationHover(db, n);
    case Names::Object:
        if (n > db.LastObject || db.Objects[i].name == NoText)
            return "object " + number + " is not defined";
        return "**object " + number + "**: " + GameText(db, db.Objects[i].name) +
               "\n\nstarts: " + PlaceName(db, db.Objects[i].initialLocation);
    case Names::Message:
        if (n > db.LastMessage || db.Messages[i] == NoText)
            return "message " + number + " is not defined";
        return "**message " + number +
               "**: " + CutText(GameText(db, db.Messages[i]), HoverTextLimit);
    case Names::Sysmsg:
        if (n >= SysmsgCount || db.Sysmsg[n] == NoText)
            return "system message " + number + " has no text";
        return "**system message " + number +
               "**: " + CutText(GameText(db, db.Sysmsg[n]), HoverTextLimit);
    case Names::Show:
        if (n > db.LastShow) return "show " + number + " is not defined";
        return "**show " + number + "**: picture " + GameText(db, db.Shows[i].picture) + "\n\n" +
               CutText(GameText(db, db.Shows[i].text), HoverTextLimit);
    case Names::Verb:
    case Names::Noun: {
        const bool verb = o.names == Names::Verb;
        const std::string words = WordsOf(verb ? db.Verbs : db.Nouns, n);
        return std::string("**") + (verb ? "verb " : "noun ") + number + "**" +
               (words.empty() ? " (no word)" : ": " + words);
    }
    case Names::Variable:
        if (i >= db.Vars.size()) return "variable " + number + " is not declared";
        return "**variable " + number + "**: " + WordOf(db.Vars[i].name);
    default: return "";
    }
}

}  // namespace

std::string KeywordDescription(const std::string& keyword, bool action) {
    return action ? Find(ActionDescriptions, keyword) : Find(ConditionDescriptions, keyword);
}

Reply Hover(Server& s, const Json& params) {
    TextPosition at;
    if (!PositionOf(s, params, at)) return Result(Json(nullptr));
    const GameIndex& g = *at.game;
    const Occurrence* o = OccurrenceAt(g, at.file, at.line, at.byte);
    if (o == nullptr) return Result(Json(nullptr));
    std::string text;
    const std::string word(TextOf(g, *o));
    if (o->names == Names::Statement)
        text = "**" + word + "** (" + (o->value == 1 ? "action" : "condition") +
               "): " + KeywordDescription(word, o->value == 1);
    else if (o->names == Names::Control)
        text = Find(ControlDescriptions, word.substr(0, word.find(' ')));
    else
        text = RecordHover(g, *o);
    if (text.empty()) return Result(Json(nullptr));
    const IndexedFile& f = g.files[static_cast<size_t>(o->file)];
    return Result({{"contents", {{"kind", "markdown"}, {"value", text}}},
                   {"range", RangeOf(f, o->line, o->begin, o->end)}});
}

}  // namespace umb::lsp
