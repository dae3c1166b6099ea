// check.cpp - the author's checker: compiles a source and reports what would break the game.
#include "app/workbench.h"
#include "app/world.h"
#include "compiler/compiler.h"
#include "db/codes.h"
#include "ui/picture.h"
#include "ui/screen.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

using namespace umb::db;
using namespace umb::compiler;

namespace umb::app {

namespace {

// Verbs 1 to 23 are the directions and the engine's own verbs: always in use.
constexpr int LastBuiltinVerb = 23;

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

struct Checker {
    const GameDatabase& db;
    CheckLog& log;
    Table locations, objects, messages, shows;
    Usage used;

    void Add(SourcePlace p, int severity, std::string reason) {
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

    void CheckCondition(SourcePlace p, int code, int a, int b) {
        using C = ConditionCode;
        switch (static_cast<C>(code)) {
        case C::Verb: Mark(used.verbs, a); break;
        case C::Noun:
        case C::Noun2:
        case C::Noun3:
        case C::AnyNoun: Mark(used.nouns, a); break;
        case C::At: Refer(p, locations, a, "at names"); break;
        case C::Dark:
            if (a != 0) Refer(p, locations, a, "dark names");
            break;
        case C::IsIn:
            Refer(p, objects, a, "isin names");
            ReferPlace(p, b, "isin names");
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
        default: break;
        }
    }

    void CheckAction(SourcePlace p, int code, int a, int b) {
        using A = ActionCode;
        switch (static_cast<A>(code)) {
        case A::Create:
        case A::Destroy:
        case A::Get:
        case A::Wear:
            Refer(p, objects, a, "the action names");
            Mark(used.objectsMoved, a);
            break;
        case A::Put:
            Refer(p, objects, a, "put names");
            ReferPlace(p, b, "put names");
            Mark(used.objectsMoved, a);
            break;
        case A::Swap:
            Refer(p, objects, a, "swap names");
            Refer(p, objects, b, "swap names");
            Mark(used.objectsMoved, a);
            Mark(used.objectsMoved, b);
            break;
        case A::MoveAll:
            ReferPlace(p, a, "moveall names");
            ReferPlace(p, b, "moveall names");
            for (size_t i = 0; i < db.Objects.size(); ++i)
                if (db.Objects[i].initialLocation == a)
                    Mark(used.objectsMoved, static_cast<int>(i));
            break;
        case A::Go: Refer(p, locations, a, "go names"); break;
        case A::At: Refer(p, locations, a, "at names"); break;
        case A::Exit:
            if (a < 1 || a > DirectionCount)
                Add(p, SeverityWarning,
                    "exit names direction " + std::to_string(a) + ", which is not 1 to 10");
            if (b != 0) Refer(p, locations, b, "exit leads to");
            break;
        case A::Subst:
            if (a != 0) Refer(p, locations, a, "subst names");
            if (b != 0) Refer(p, locations, b, "subst names");
            break;
        case A::Light:
            if (b != 0) Refer(p, locations, b, "light names");
            break;
        case A::Message:
            Refer(p, messages, a, "message names");
            Mark(used.messages, a);
            break;
        case A::Sysmsg:
            if (a < 0 || a >= SysmsgCount || db.Sysmsg[a] == NoText)
                Add(p, SeverityWarning,
                    "sysmsg names system message " + std::to_string(a) + ", which has no text");
            break;
        case A::Show:
            Refer(p, shows, a, "show names");
            Mark(used.shows, a);
            break;
        case A::Set:
        case A::MultipleChoice:
        case A::YesNoChoice: ReferVariable(p, a, true); break;
        case A::Add:
        case A::Sub:
            // Adding reads the old value too, but a counter only ever added to is still set.
            ReferVariable(p, a, true);
            break;
        default: break;
        }
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
                const int code = line.ops[s] < 0 ? -line.ops[s] : line.ops[s];
                if (condition)
                    CheckCondition(places[i], code, line.operandA[s], line.operandB[s]);
                else
                    CheckAction(places[i], code, line.operandA[s], line.operandB[s]);
            }
        }
    }

    std::map<std::string, std::string> pictureVerdicts;  // path -> why refused, "" when shown

    // A picture the engine would not show whole, with the program's own decoder's reason.
    void CheckPicture(SourcePlace p, TextRef picture) {
        const char* name = TextOf(db, picture);
        if (name == nullptr || name[0] == '\0') return;
        std::string path;
        const size_t folder = strnlen(db.ImagePath, sizeof db.ImagePath);
        if (folder > 0) path.assign(db.ImagePath, folder).push_back('/');
        path += name;
        auto known = pictureVerdicts.find(path);
        if (known == pictureVerdicts.end()) {
            char why[80] = "";
            if (path.size() > ui::MaxPicturePath) {
                std::snprintf(why, sizeof why, "path longer than %zu characters",
                              ui::MaxPicturePath);
            } else {
                ui::ScreenState screen;
                const int result = ui::LoadPicture(screen, path.c_str(), 0, 0, why, sizeof why);
                if (result != 0 && why[0] == '\0') std::snprintf(why, sizeof why, "not shown");
            }
            known = pictureVerdicts.emplace(path, why).first;
        }
        if (!known->second.empty())
            Add(p, SeverityWarning, "picture " + path + ": " + known->second);
    }

    void CheckSettingsAndTables() {
        const SourcePlace start =
            log.startLocation.file >= 0 ? log.startLocation : SourcePlace{0, 1};
        Refer(start, locations, db.StartLocation, "StartLocation names");
        for (int n = 0; n <= db.LastLocation; ++n) {
            if (!Defined(locations, n)) continue;
            const SourcePlace p = (*locations.places)[static_cast<size_t>(n)];
            const LocationRecord& l = db.Locations[static_cast<size_t>(n)];
            CheckPicture(p, l.picture);
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

void Print(const CheckLog& log) {
    std::vector<const Finding*> sorted;
    for (const Finding& f : log.findings) sorted.push_back(&f);
    // Files in the order they were first read, then lines; findings of one line keep their order.
    std::stable_sort(sorted.begin(), sorted.end(), [&](const Finding* a, const Finding* b) {
        const std::string& fa = log.files[static_cast<size_t>(std::max(a->place.file, 0))];
        const std::string& fb = log.files[static_cast<size_t>(std::max(b->place.file, 0))];
        if (fa != fb) return fa < fb;
        return a->place.line < b->place.line;
    });
    static const char* const Kinds[] = {"error", "warning", "note"};
    int errors = 0, warnings = 0;
    for (const Finding* f : sorted) {
        const std::string& file = log.files[static_cast<size_t>(std::max(f->place.file, 0))];
        std::printf("%s:%d: %s: %s\n", file.c_str(), f->place.line, Kinds[f->severity],
                    f->reason.c_str());
        errors += f->severity == SeverityError;
        warnings += f->severity == SeverityWarning;
    }
    std::printf("%d error%s, %d warning%s\n", errors, errors == 1 ? "" : "s", warnings,
                warnings == 1 ? "" : "s");
}

}  // namespace

int CheckGame(const std::string& sourcePath, CheckLog& log) {
    GameDatabase db;
    if (AllocateTextHeap(db) != 0) return -1;
    ResetDatabase(db);
    FILE* file = std::fopen(sourcePath.c_str(), "r");
    if (file == nullptr) return -1;
    Compiler c;
    BeginCompile(c, db);
    c.Check = &log;
    c.Out = nullptr;  // the findings say it all, in words
    const int result = CompileSourceFile(c, file, sourcePath.c_str());
    std::fclose(file);
    if (result == base::ReadNotFormat) return -1;
    FinishCheck(c);

    Checker k{db,
              log,
              {"location", &log.locations},
              {"object", &log.objects},
              {"message", &log.messages},
              {"show", &log.shows},
              {},
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
    return 0;
}

int RunCheck(const Startup& s) {
    const std::string sourcePath = s.GameName + ".adv";
    CheckLog log;
    if (CheckGame(sourcePath, log) != 0) {
        std::fprintf(stderr, "Cannot read file %s!\n", sourcePath.c_str());
        return ExitFailure;
    }
    Print(log);
    for (const Finding& f : log.findings)
        if (f.severity == SeverityError) return ExitFailure;
    return ExitSuccess;
}

}  // namespace umb::app
