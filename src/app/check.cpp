// check.cpp - the author's checker: compiles a source and reports what would break the game.
#include "app/workbench.h"
#include "app/world.h"
#include "base/fileio.h"
#include "base/nocase.h"
#include "base/wrap.h"
#include "compiler/compiler.h"
#include "db/codes.h"
#include "engine/engine.h"
#include "ui/window/picture.h"
#include "ui/window/screen.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unordered_map>

using namespace umb::db;
using namespace umb::compiler;

namespace umb::app {

namespace {

// Verbs 1 to 23 are the directions and the engine's own verbs: always in use.
constexpr int LastBuiltinVerb = 23;

// A repeated finding is shown this many times, then folded into one line that counts the rest.
constexpr int FoldAfter = 3;

// Sources are read whole, as the compiler reads them.
constexpr size_t MaxCheckedSourceSize = size_t{256} << 20;

// The system messages the engine prints by itself (the others are the author's).
const int EnginePrintedSysmsgs[] = {1,  2,  3,  4,  5,  7,  8,  10, 11, 12,
                                    13, 14, 19, 21, 22, 23, 24, 25, 26, 29};

// What one numbered table's records are called, for the findings.
struct Table {
    const char* noun;
    const std::vector<SourcePlace>* places;
};

bool Defined(const Table& t, int n) {
    return n >= 0 && static_cast<size_t>(n) < t.places->size() &&
           (*t.places)[static_cast<size_t>(n)].file >= 0;
}

struct Usage {
    std::vector<uint8_t> messages, shows, verbs, nouns, varsRead, varsSet, objectsMoved;
};

void Mark(std::vector<uint8_t>& v, int n) {
    if (n >= 0 && static_cast<size_t>(n) < v.size()) v[static_cast<size_t>(n)] = 1;
}

// "KEYWORD names" for each statement of a list, by code: how a finding about what the statement
// names begins. Made once, as every statement of a script is checked.
template <size_t N>
std::array<std::string, CodeCount> NamesByCode(const StatementKeyword (&list)[N]) {
    std::array<std::string, CodeCount> names;
    for (const StatementKeyword& k : list) {
        std::string& name = names[static_cast<size_t>(k.code)];
        if (name.empty()) name = std::string(k.word) + " names";  // a statement's first keyword
    }
    return names;
}

const char* Names(ConditionCode code) {
    static const std::array<std::string, CodeCount> names = NamesByCode(ConditionKeywords);
    return names[CodeIndex(code)].c_str();
}

const char* Names(ActionCode code) {
    static const std::array<std::string, CodeCount> names = NamesByCode(ActionKeywords);
    return names[CodeIndex(code)].c_str();
}

struct Checker {
    const GameDatabase& db;
    CheckLog& log;
    std::string folder;      // where pictures are looked for from; "" for the current folder
    PictureCache* pictures;  // verdicts kept from earlier checks, or null
    Table locations, objects, messages, shows;
    Usage used;

    void Add(SourcePlace p, Severity severity, std::string reason) {
        log.findings.push_back({p, severity, std::move(reason)});
    }

    // A number that must name a record of the table.
    void Refer(SourcePlace p, const Table& t, int n, const char* how) {
        if (!Defined(t, n))
            Add(p, SeverityWarning,
                std::string(how) + " " + t.noun + " " + std::to_string(n) +
                    ", which is not defined");
    }

    // A location value: a location, or carried (-1), worn (-2) or nowhere (0).
    void ReferPlace(SourcePlace p, int n, const char* how) {
        if (n > 0) Refer(p, locations, n, how);
    }

    void ReferVariable(SourcePlace p, int n, bool set) {
        if (n < 1 || static_cast<size_t>(n) >= db.Vars.size()) {
            Add(p, SeverityWarning,
                n == 0 ? std::string("the statement names no variable")
                       : "variable " + std::to_string(n) + " is not declared in [Vars]");
            return;
        }
        Mark(set ? used.varsSet : used.varsRead, n);
    }

// A statement added to a list must be checked here too: a switch that misses one is an error.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wswitch"

    void CheckCondition(SourcePlace p, ConditionCode code, int a, int b) {
        using C = ConditionCode;
        switch (code) {
        case C::Verb: Mark(used.verbs, a); break;
        case C::Noun:
        case C::Noun2:
        case C::Noun3:
        case C::AnyNoun: Mark(used.nouns, a); break;
        case C::At: Refer(p, locations, a, Names(code)); break;
        case C::Dark:
            if (a != 0) Refer(p, locations, a, Names(code));
            break;
        case C::IsIn:
            Refer(p, objects, a, Names(code));
            ReferPlace(p, b, Names(code));
            break;
        case C::Exist:
        case C::Carried:
        case C::Worn:
        case C::Owned:
        case C::Here:
        case C::Present: Refer(p, objects, a, "the test names"); break;
        case C::Equal:
        case C::Greater:
        case C::Less: ReferVariable(p, a, false); break;
        case C::Begin:
        case C::Move:
        case C::Free:
        case C::Random:
        case C::Continued: break;  // they name nothing of the game's
        }
    }

    void CheckAction(SourcePlace p, ActionCode code, int a, int b) {
        using A = ActionCode;
        switch (code) {
        case A::Create:
        case A::Destroy:
        case A::Get:
        case A::Wear:
        case A::Put:
        case A::Swap: CheckObjectMoved(p, code, a, b); break;
        case A::MoveAll:
            ReferPlace(p, a, Names(code));
            ReferPlace(p, b, Names(code));
            for (const int object : ObjectsStartingAt(a)) Mark(used.objectsMoved, object);
            break;
        case A::Go:
        case A::At: Refer(p, locations, a, Names(code)); break;
        case A::Exit:
        case A::Subst:
        case A::Light: CheckExitOrLight(p, code, a, b); break;
        case A::Message:
            Refer(p, messages, a, Names(code));
            Mark(used.messages, a);
            break;
        case A::Sysmsg:
            if (a < 0 || a >= SysmsgCount || db.Sysmsg[a] == NoText)
                Add(p, SeverityWarning,
                    std::string(Names(code)) + " system message " + std::to_string(a) +
                        ", which has no text");
            break;
        case A::Show:
            Refer(p, shows, a, Names(code));
            Mark(used.shows, a);
            break;
        case A::Set:
        case A::MultipleChoice:
        case A::YesNoChoice:
        case A::Add:
        case A::Sub:
            // Adding reads the old value too, but a counter only ever added to is still set.
            ReferVariable(p, a, true);
            break;
        case A::Pause:
        case A::Quit:
        case A::Redescribe:
        case A::Cls:
        case A::Halt:
        case A::Continue:
        case A::Break: break;  // they name nothing of the game's
        }
    }

#pragma GCC diagnostic pop

    // The objects whose initial place is a location value, listed once for all the moveall
    // statements: a large game has thousands of each.
    std::unordered_map<int, std::vector<int>> objectsAt;
    bool objectsListed = false;
    const std::vector<int>& ObjectsStartingAt(int place) {
        if (!objectsListed) {
            for (size_t i = 0; i < db.Objects.size(); ++i)
                objectsAt[db.Objects[i].initialLocation].push_back(static_cast<int>(i));
            objectsListed = true;
        }
        static const std::vector<int> none;
        const auto found = objectsAt.find(place);
        return found != objectsAt.end() ? found->second : none;
    }

    // create, destroy, get, wear, put and swap: the objects they move, and put's place.
    void CheckObjectMoved(SourcePlace p, ActionCode code, int a, int b) {
        const bool two = code == ActionCode::Put || code == ActionCode::Swap;
        const char* how = two ? Names(code) : "the action names";
        Refer(p, objects, a, how);
        if (code == ActionCode::Put) ReferPlace(p, b, how);
        if (code == ActionCode::Swap) Refer(p, objects, b, how);
        Mark(used.objectsMoved, a);
        if (code == ActionCode::Swap) Mark(used.objectsMoved, b);
    }

    // exit, subst and light: the direction and the locations they name (0: the player's).
    void CheckExitOrLight(SourcePlace p, ActionCode code, int a, int b) {
        if (code == ActionCode::Exit) {
            if (a < 1 || a > DirectionCount)
                Add(p, SeverityWarning,
                    std::string(Names(code)) + " direction " + std::to_string(a) +
                        ", which is not 1 to 10");
            if (b != 0)
                Refer(p, locations, b, (std::string(KeywordOf(code)) + " leads to").c_str());
            return;
        }
        if (code == ActionCode::Subst && a != 0) Refer(p, locations, a, Names(code));
        if (b != 0) Refer(p, locations, b, Names(code));
    }

    void CheckScript(const std::vector<ScriptLine>& script,
                     const std::vector<SourcePlace>& places) {
        for (size_t i = 0; i < script.size() && i < places.size(); ++i) {
            const ScriptLine& line = script[i];
            const bool condition = line.kind == KindIf || line.kind == KindAnd ||
                                   line.kind == KindOr || line.kind == KindWhile;
            if (!condition && line.kind != KindAction) continue;
            for (int s = 0; s < ScriptSlots; ++s) {
                if (line.ops[s] == EmptySlot) continue;
                const auto code =
                    static_cast<signed char>(line.ops[s] < 0 ? -line.ops[s] : line.ops[s]);
                if (condition)
                    CheckCondition(places[i], static_cast<ConditionCode>(code), line.operandA[s],
                                   line.operandB[s]);
                else
                    CheckAction(places[i], static_cast<ActionCode>(code), line.operandA[s],
                                line.operandB[s]);
            }
        }
    }

    std::map<std::string, std::string> pictureVerdicts;  // path -> why refused, "" when shown

    // A picture the engine would not show whole, with the program's own decoder's reason.
    void CheckPicture(SourcePlace p, TextRef picture) {
        const char* name = TextOf(db, picture);
        if (name == nullptr || name[0] == '\0') return;
        std::string path;
        const size_t imagePath = strnlen(db.ImagePath, sizeof db.ImagePath);
        if (imagePath > 0) path.assign(db.ImagePath, imagePath).push_back('/');
        path += name;
        auto known = pictureVerdicts.find(path);
        if (known == pictureVerdicts.end()) {
            char why[80] = "";
            if (path.size() > ui::MaxPicturePath) {
                std::snprintf(why, sizeof why, "path longer than %zu characters",
                              ui::MaxPicturePath);
            } else {
                DecodePicture(folder.empty() ? path : folder + "/" + path, why, sizeof why);
            }
            known = pictureVerdicts.emplace(path, why).first;
        }
        if (!known->second.empty())
            Add(p, SeverityWarning, "picture " + path + ": " + known->second);
    }

    // Decodes a picture as the window would, or takes the verdict of an earlier check when the
    // file has not changed since.
    void DecodePicture(const std::string& file, char* why, size_t whySize) {
        struct stat st {};
        const bool there = ::stat(file.c_str(), &st) == 0;
        const int64_t modified =
            there ? static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : -1;
        const int64_t size = there ? static_cast<int64_t>(st.st_size) : -1;
        if (pictures != nullptr) {
            const auto known = pictures->find(file);
            if (known != pictures->end() && known->second.modified == modified &&
                known->second.size == size) {
                std::snprintf(why, whySize, "%s", known->second.why.c_str());
                return;
            }
        }
        ui::WindowState screen;
        const base::ReadResult result = ui::LoadPicture(screen, file.c_str(), 0, 0, why, whySize);
        if (result != base::ReadResult::Ok && why[0] == '\0')
            std::snprintf(why, whySize, "not shown");
        if (pictures != nullptr) (*pictures)[file] = {modified, size, why};
    }

    // A description that fills the description area leaves the object and exit lists, which
    // flow on below it, out of sight. Measured as the window wraps it, with variables at 0.
    void CheckDescriptionLength(SourcePlace p, TextRef description) {
        const char* text = TextOf(db, description);
        if (text == nullptr) return;
        char buf[ui::WorkBufferSize];
        int n = static_cast<int>(engine::ExpandText(db, text, buf));
        const ui::AreaBox& a = ui::Areas[ui::AreaDescription];
        const int room = (a.x2 - a.x1) / gfx::GlyphWidth;
        const int rows = (a.y2 - a.y1) / ui::LineHeight;
        int lines = 0;
        base::WrapText(buf, n, n, room, room, [&](int, int, bool) { ++lines; });
        if (lines < rows) return;
        Add(p, SeverityWarning,
            "the description takes " + std::to_string(lines) + " lines of the description area's " +
                std::to_string(rows) +
                " and leaves no room for the object and exit lists: shorten it by " +
                std::to_string(lines - rows + 1) + (lines - rows + 1 == 1 ? " line" : " lines"));
    }

    // The same word given to two verbs (or two nouns): the player's word finds the first.
    void CheckSameWords(const std::vector<WordRecord>& table, const std::vector<SourcePlace>& at,
                        const char* what) {
        std::unordered_map<uint64_t, size_t> first;
        for (size_t i = 0; i < table.size() && i < at.size(); ++i) {
            char word[WordLength + 1] = {};
            std::memcpy(word, table[i].word, WordLength);
            const auto [seen, fresh] = first.emplace(base::WordKey(word), i);
            if (fresh || table[seen->second].number == table[i].number) continue;
            Add(at[i], SeverityWarning,
                "the word \"" + std::string(word) + "\" is already " + what + " " +
                    std::to_string(table[seen->second].number) + " (at " +
                    PlaceOf(at[seen->second]) + "), which the player's word finds first: it " +
                    "never gives " + what + " " + std::to_string(table[i].number));
        }
    }

    std::string PlaceOf(SourcePlace p) const {
        if (p.file < 0) return "?";
        return log.files[static_cast<size_t>(p.file)] + ":" + std::to_string(p.line);
    }

    // Locations at all, and a named darkness location, without which none shows its texts.
    void CheckLocationZero() {
        if (db.LastLocation < 0) {
            Add(SourcePlace{0, 1}, SeverityError,
                "the game has no locations ([Locations] with #1,name,,0 and more): it cannot be "
                "played");
            return;
        }
        if (TextOf(db, db.Locations[0].name) != nullptr) return;
        const SourcePlace at =
            log.locationsHeader.file >= 0 ? log.locationsHeader : SourcePlace{0, 1};
        Add(at, SeverityWarning,
            "location 0 (the darkness location) has no name: no location's description, "
            "objects or exits are shown (add #0,Darkness,,0 with the text shown in the dark)");
    }

    void CheckSettingsAndTables() {
        CheckLocationZero();
        CheckSameWords(db.Verbs, log.verbs, "verb");
        CheckSameWords(db.Nouns, log.nouns, "noun");
        const SourcePlace start =
            log.startLocation.file >= 0 ? log.startLocation : SourcePlace{0, 1};
        if (db.LastLocation >= 0) Refer(start, locations, db.StartLocation, "StartLocation names");
        for (int n = 0; n <= db.LastLocation; ++n) {
            if (!Defined(locations, n)) continue;
            const SourcePlace p = (*locations.places)[static_cast<size_t>(n)];
            const LocationRecord& l = db.Locations[static_cast<size_t>(n)];
            CheckPicture(p, l.picture);
            if (n > 0) CheckDescriptionLength(p, l.description);
            for (int d = 0; d < DirectionCount; ++d)
                if (l.exits[d] != 0)
                    Refer(p, locations, l.exits[d],
                          ("exit " + std::to_string(d + 1) + " leads to").c_str());
        }
        for (int n = 1; n <= db.LastObject; ++n) {
            if (!Defined(objects, n)) continue;
            const ObjectRecord& o = db.Objects[static_cast<size_t>(n)];
            ReferPlace((*objects.places)[static_cast<size_t>(n)], o.initialLocation,
                       "the object's place names");
            Mark(used.nouns, o.noun);
        }
    }

    void CheckShows() {
        for (int n = 0; n <= db.LastShow; ++n)
            if (Defined(shows, n))
                CheckPicture((*shows.places)[static_cast<size_t>(n)],
                             db.Shows[static_cast<size_t>(n)].picture);
    }

    void CheckWorld() {
        WorldFacts w;
        AnalyseWorld(db, w);
        for (int n = 1; n <= db.LastLocation; ++n)
            if (Defined(locations, n) && w.reachable[static_cast<size_t>(n)] == 0)
                Add((*locations.places)[static_cast<size_t>(n)], SeverityWarning,
                    "location " + std::to_string(n) + " cannot be reached from the start location");
        for (int n = 1; n <= db.LastObject; ++n) {
            if (!Defined(objects, n) || used.objectsMoved[static_cast<size_t>(n)] != 0) continue;
            const int at = db.Objects[static_cast<size_t>(n)].initialLocation;
            const bool held = at == Carried || at == Worn;
            const bool reached =
                at > 0 && at <= db.LastLocation && w.reachable[static_cast<size_t>(at)] != 0;
            if (!held && !reached)
                Add((*objects.places)[static_cast<size_t>(n)], SeverityWarning,
                    "object " + std::to_string(n) +
                        " lies where the player never gets and no script creates or moves it");
        }
    }

    void CheckUnused() {
        for (int n = 1; n <= db.LastMessage; ++n)
            if (Defined(messages, n) && used.messages[static_cast<size_t>(n)] == 0)
                Add((*messages.places)[static_cast<size_t>(n)], SeverityNote,
                    "message " + std::to_string(n) + " is never printed");
        for (int n = 1; n <= db.LastShow; ++n)
            if (Defined(shows, n) && used.shows[static_cast<size_t>(n)] == 0)
                Add((*shows.places)[static_cast<size_t>(n)], SeverityNote,
                    "show " + std::to_string(n) + " is never presented");
        auto words = [&](const std::vector<WordRecord>& table, const std::vector<SourcePlace>& at,
                         const std::vector<uint8_t>& mark, const char* what, int builtin) {
            for (size_t i = 0; i < table.size() && i < at.size(); ++i) {
                const int n = table[i].number;
                if (n <= builtin ||
                    (n < static_cast<int>(mark.size()) && mark[static_cast<size_t>(n)]))
                    continue;
                Add(at[i], SeverityNote,
                    std::string(what) + " \"" +
                        std::string(table[i].word, strnlen(table[i].word, WordLength)) + "\" (" +
                        std::to_string(n) + ") is never tested");
            }
        };
        words(db.Verbs, log.verbs, used.verbs, "verb", LastBuiltinVerb);
        words(db.Nouns, log.nouns, used.nouns, "noun", 0);
        for (size_t i = 1; i < db.Vars.size() && i < log.vars.size(); ++i) {
            const std::string name(db.Vars[i].name, strnlen(db.Vars[i].name, WordLength));
            const bool read = used.varsRead[i] != 0, set = used.varsSet[i] != 0;
            if (!read && !set)
                Add(log.vars[i], SeverityNote, "variable \"" + name + "\" is never used");
            else if (!set)
                Add(log.vars[i], SeverityWarning,
                    "variable \"" + name + "\" is read but never set; it is always 0");
            else if (!read)
                Add(log.vars[i], SeverityNote, "variable \"" + name + "\" is set but never read");
        }
        const SourcePlace sysmsgAt =
            log.sysmsgHeader.file >= 0 ? log.sysmsgHeader : SourcePlace{0, 1};
        // One finding for them all: a game without [Sysmsg] would otherwise get twenty.
        std::string empty;
        int emptyCount = 0;
        for (const int n : EnginePrintedSysmsgs) {
            if (db.Sysmsg[n] != NoText) continue;
            empty += (emptyCount++ == 0 ? "" : ", ") + std::to_string(n);
        }
        if (emptyCount > 0)
            Add(sysmsgAt, SeverityWarning,
                std::string(emptyCount == 1 ? "system message " : "system messages ") + empty +
                    (emptyCount == 1 ? " is" : " are") +
                    " printed by the engine but the game leaves " +
                    (emptyCount == 1 ? "it" : "them") + " empty");
    }
};

// Prints the findings by file and line, a repeated one only FoldAfter times and then how many
// more there are, and last the file read with the counts of all errors and warnings.
void Print(const CheckLog& log, const std::string& sourcePath) {
    std::vector<const Finding*> sorted;
    for (const Finding& f : log.findings) sorted.push_back(&f);
    // Files in the order they were first read, then lines; findings of one line keep their order.
    std::stable_sort(sorted.begin(), sorted.end(), [&](const Finding* a, const Finding* b) {
        const std::string& fa = log.files[static_cast<size_t>(std::max(a->place.file, 0))];
        const std::string& fb = log.files[static_cast<size_t>(std::max(b->place.file, 0))];
        if (fa != fb) return fa < fb;
        return a->place.line < b->place.line;
    });
    std::map<std::pair<int, std::string>, int> total, shown;
    for (const Finding* f : sorted) ++total[{f->severity, f->reason}];
    static const char* const Kinds[] = {"error", "warning", "note"};
    int errors = 0, warnings = 0;
    for (const Finding* f : sorted) {
        errors += f->severity == SeverityError;
        warnings += f->severity == SeverityWarning;
        const std::pair<int, std::string> key{f->severity, f->reason};
        const int all = total[key];
        const int count = ++shown[key];
        // Folding one would take the line it saves.
        if (all > FoldAfter + 1 && count > FoldAfter) continue;
        const std::string& file = log.files[static_cast<size_t>(std::max(f->place.file, 0))];
        std::printf("%s:%d: %s: %s\n", file.c_str(), f->place.line, Kinds[f->severity],
                    f->reason.c_str());
        if (all > FoldAfter + 1 && count == FoldAfter)
            std::printf("... and %d more like this\n", all - FoldAfter);
    }
    std::printf("%s: %d error%s, %d warning%s\n", sourcePath.c_str(), errors,
                errors == 1 ? "" : "s", warnings, warnings == 1 ? "" : "s");
}

// Whether the bytes read look like a text at all: a compiled game, a picture or an archive
// would otherwise give a finding for nearly every line.
bool LooksLikeText(const std::string& data) {
    size_t controls = 0;
    for (const char ch : data) {
        const auto b = static_cast<unsigned char>(ch);
        // Tabs, line ends, form feeds, the scrambling marker's 0x15 and an old end-of-file mark.
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x15 && b != 0x1A)
            ++controls;
    }
    return controls < 8 || controls * 50 < data.size();
}

bool Muted(const CheckLog& log, const Finding& f) {
    for (const CheckLog::Muted& m : log.muted)
        if (f.place.file == m.file && f.place.line >= m.from && f.place.line <= m.to) return true;
    return false;
}

// Checks the compiled world and what its scripts name, adding to the compile's findings.
void RunChecker(const GameDatabase& db, CheckLog& log, const std::string& folder,
                PictureCache* pictures) {
    Checker k{db,
              log,
              folder,
              pictures,
              {"location", &log.locations},
              {"object", &log.objects},
              {"message", &log.messages},
              {"show", &log.shows},
              {},
              {},
              false,
              {}};
    const auto size = [](int last) { return static_cast<size_t>(std::max(last + 1, 0)); };
    k.used.messages.assign(size(db.LastMessage), 0);
    k.used.shows.assign(size(db.LastShow), 0);
    k.used.objectsMoved.assign(size(db.LastObject), 0);
    k.used.verbs.assign(32768, 0);
    k.used.nouns.assign(32768, 0);
    k.used.varsRead.assign(db.Vars.size(), 0);
    k.used.varsSet.assign(db.Vars.size(), 0);
    for (const TextMark& m : log.textMarks)
        Mark(k.used.varsRead, FindVariable(db, m.name.substr(0, WordLength).c_str()));
    k.CheckScript(db.Events, log.events);
    k.CheckScript(db.Actions, log.actions);
    k.CheckSettingsAndTables();
    k.CheckShows();
    k.CheckWorld();
    k.CheckUnused();
    std::erase_if(log.findings, [&](const Finding& f) { return Muted(log, f); });
}

}  // namespace

CheckGameResult CheckGame(const std::string& sourcePath, CheckLog& log) {
    FILE* file = std::fopen(sourcePath.c_str(), "r");
    if (file == nullptr) return CheckGameResult::Unreadable;
    CheckSource source;
    source.path = sourcePath;
    const base::ReadResult read = base::ReadWholeFile(file, source.text, MaxCheckedSourceSize);
    std::fclose(file);
    if (read != base::ReadResult::Ok) return CheckGameResult::Unreadable;
    return CheckGameText(source, log);
}

CheckGameResult CheckGameText(const CheckSource& source, CheckLog& log) {
    GameDatabase own;
    GameDatabase& db = source.db != nullptr ? *source.db : own;
    if (source.db == nullptr && AllocateTextHeap(db) != DbResult::Ok)
        return CheckGameResult::Unreadable;
    ResetDatabase(db);
    const std::string& data = source.text;
    const std::string& sourcePath = source.path;
    if (!LooksLikeText(data)) {
        log.files.push_back(sourcePath);
        const bool compiled = data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0x1F &&
                              static_cast<unsigned char>(data[1]) == 0x8B;
        log.findings.push_back({{0, 1},
                                SeverityError,
                                std::string("this does not look like an adventure source: it "
                                            "holds many control bytes") +
                                    (compiled ? " (it reads like a compiled game)" : "")});
        return CheckGameResult::Checked;
    }
    Compiler c;
    BeginCompile(c, db);
    c.Check = &log;
    c.Out = nullptr;  // the findings say it all, in words
    c.Includes = source.includes;
    CompileSource(c, data.data(), data.size(), sourcePath.c_str());
    FinishCheck(c);
    RunChecker(db, log, source.folder, source.pictures);
    return CheckGameResult::Checked;
}

int RunCheck(const Startup& s) {
    const std::string sourcePath = s.GameName + ".adv";
    CheckLog log;
    if (CheckGame(sourcePath, log) != CheckGameResult::Checked) {
        std::fprintf(stderr, "Cannot read file %s!\n", sourcePath.c_str());
        return ExitFailure;
    }
    Print(log, sourcePath);
    for (const Finding& f : log.findings)
        if (f.severity == SeverityError) return ExitFailure;
    return ExitSuccess;
}

}  // namespace umb::app
