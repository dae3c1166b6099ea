// maxsource.cpp - the maximum-size adventure source: every table full, the text heap nearly full.
#include "maxsource.h"

#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int LastRecord = 32766;  // highest number of a numbered record
constexpr int WordLimit = 32767;   // words a vocabulary table, lines a script table can hold
constexpr int GridWidth = 181;     // the locations form a 181 x 181 grid (32761 cells)
constexpr int ShowCount = 3;
constexpr size_t LongestPattern = 12;  // script patterns stop this many lines short of the end

// With 98299 records each owning at least one text, the heap leaves little more than one
// character per text; the budget below spreads what is left over all of them.

struct Rng {
    uint64_t state;
};

uint64_t Next(Rng& r) {
    r.state += 0x632BE59BD9B4E019ull;
    return Mix(r.state);
}

// A number from lo to hi, both included.
int Pick(Rng& r, int lo, int hi) {
    return lo + static_cast<int>(Next(r) % static_cast<uint64_t>(hi - lo + 1));
}

std::string Num(int n) { return std::to_string(n); }

// "#n," opening a record line; built by appending, which also keeps GCC 12's -Wrestrict quiet
// about operator+ on a literal and a temporary.
std::string Record(int n) {
    std::string s(1, '#');
    s += std::to_string(n);
    s += ',';
    return s;
}

const char* const DirectionNames[10] = {"North",     "South",    "East",      "West",
                                        "Up",        "Down",     "Northeast", "Northwest",
                                        "Southeast", "Southwest"};

const char* const SystemMessages[31] = {
    "You can't go that way.",
    "I don't understand that.",
    "You can see:",
    "You can't carry any more.",
    "Exits:",
    "You are carrying:",
    "Nothing at all.",
    "It is too dark to see.",
    "Time passes...",
    "Taken.",
    "Dropped.",
    "You put it on.",
    "You take it off.",
    "You don't have that.",
    "You can't wear that.",
    "That isn't here.",
    "You already have it.",
    "You aren't wearing it.",
    "Save to which slot (1-9)?",
    "Restore from which slot (1-9)?",
    "Saved.",
    "Restored.",
    "Restore a saved game?",
    "Do you really want to quit?",
    "The game is over.",
    "Play again?",
    "You can't take that.",
    "Press a key.",
    "That saved game cannot be used.",
    "Nothing special.",
    "Done, as you wish.",
};

// Verbs 1 to 10 move in the ten directions and 11 to 23 are the built-in commands.
const char* const VerbWords[23] = {
    "north",     "south",     "east",      "west",  "up",      "down",    "northeast", "northwest",
    "southeast", "southwest", "inventory", "look",  "examine", "take",    "drop",      "wear",
    "remove",    "wait",      "open",      "close", "save",    "restore", "quit"};
const char* const NounWords[10] = {"lamp", "key",  "door",   "sword", "book",
                                   "coin", "rope", "bottle", "water", "bread"};
const char* const VarNames[12] = {"score",  "turns",  "lampOn",   "doorOpen", "gold",   "health",
                                  "hunger", "thirst", "keyFound", "ropeTied", "visits", "timer"};

std::string VerbWord(int n) { return n <= 23 ? VerbWords[n - 1] : "vb" + Base36(n); }
std::string NounWord(int n) { return n <= 10 ? NounWords[n - 1] : "nn" + Base36(n); }
std::string VarName(int n) { return n <= 12 ? VarNames[n - 1] : "var" + Base36(n); }

// Letters with an occasional blank, never leading, trailing or doubled, and a capital first:
// nothing that the reader would take for a header, a record, an include or a comment.
std::string MakeText(uint64_t seed, size_t len) {
    std::string t(len, ' ');
    for (size_t i = 0; i < len; ++i) {
        uint64_t h = Mix(seed * 0x100000001B3ull + i);
        if (i > 0 && i + 1 < len && t[i - 1] != ' ' && h % 5 == 0) continue;
        t[i] = static_cast<char>((i == 0 ? 'A' : 'a') + static_cast<int>(h % 26));
    }
    return t;
}

// The source is built twice: the first pass only measures the minimum heap use and sums the
// weights of the texts whose length may vary; the second hands out the remaining budget.
struct Builder {
    std::string out;
    size_t lines = 0;
    uint32_t heap = 1;  // the heap's first byte is reserved
    bool planning = true;
    uint64_t slot = 0;
    uint64_t weightTotal = 0;
    uint64_t weightSoFar = 0;
    uint64_t extraTotal = 0;
};

void Line(Builder& b, std::string_view s) {
    b.out.append(s);
    b.out.push_back('\n');
    ++b.lines;
}

// Heap cost of a text stored as a new text.
void StoreNew(Builder& b, size_t len) { b.heap += static_cast<uint32_t>(len + 1); }

// Heap cost of a continuation: the previous NUL becomes a blank, which a trailing backslash drops.
void StoreContinued(Builder& b, size_t len, bool afterBackslash) {
    b.heap += static_cast<uint32_t>(afterBackslash ? len : len + 1);
}

// A text of at least minLen characters plus its share of the budget; weight scales the share.
std::string BudgetText(Builder& b, size_t minLen, uint64_t weight) {
    uint64_t w = weight * (1 + Mix(b.slot ^ 0xA5A5A5A5ull) % 4);
    size_t extra = 0;
    if (b.planning) {
        b.weightTotal += w;
    } else {
        uint64_t before = b.extraTotal * b.weightSoFar / b.weightTotal;
        b.weightSoFar += w;
        uint64_t after = b.extraTotal * b.weightSoFar / b.weightTotal;
        extra = static_cast<size_t>(after - before);
    }
    std::string t = MakeText(b.slot, minLen + extra);
    ++b.slot;
    return t;
}

void WriteSystem(Builder& b) {
    Line(b, "| The Endless Maze: every table of the game database filled to its limit.");
    Line(b, "| Locations form a grid; objects, messages and scripts are scattered over it.");
    Line(b, "");
    Line(b, "[System]");
    Line(b, "Title=The Endless Maze");
    Line(b, "StartLocation=1");
    Line(b, "MaxItems=12");
    Line(b, "Boolean=yn");
    Line(b, "Prompt=What now?");
    Line(b, "ShowExits=y");
    Line(b, "ImagePath=pics");
    Line(b, "StatusLine=The Endless Maze");
    Line(b, "BgColor=1");
    Line(b, "FgColor=14");
    Line(b, "");
}

void WriteFixedTexts(Builder& b) {
    Line(b, "[Directions]");
    for (int i = 0; i < 10; ++i) {
        std::string_view name = DirectionNames[i];
        Line(b, Record(i + 1) + std::string(name));
        StoreNew(b, name.size());
    }
    Line(b, "");
    Line(b, "[Sysmsg]");
    for (int i = 0; i < 31; ++i) {
        std::string_view text = SystemMessages[i];
        Line(b, Record(i + 1) + std::string(text));
        StoreNew(b, text.size());
    }
    Line(b, "");
    Line(b, "[Intro]");
    const char* const pictures[ShowCount] = {"intro.png", "map.png", ""};
    const char* const texts[ShowCount][2] = {
        {"Welcome to the Endless Maze.", "Thirty-two thousand rooms are waiting for you."},
        {"The map is larger than the paper it is drawn on.", nullptr},
        {"The end, for now.", nullptr},
    };
    for (int i = 0; i < ShowCount; ++i) {
        std::string_view picture = pictures[i];
        Line(b, Record(i + 1) + std::string(picture));
        StoreNew(b, picture.size());
        std::string_view first = texts[i][0];
        Line(b, first);
        StoreNew(b, first.size());
        if (texts[i][1] != nullptr) {
            std::string_view second = texts[i][1];
            Line(b, second);
            StoreContinued(b, second.size(), false);
        }
    }
    Line(b, "");
}

void WriteVocabulary(Builder& b) {
    Line(b, "[Verbs]");
    for (int n = 1; n <= LastRecord; ++n) {
        std::string line = Record(n) + VerbWord(n);
        if (n == 14) line += ",get";  // the one synonym makes 32767 words
        Line(b, line);
    }
    Line(b, "");
    Line(b, "[Nouns]");
    for (int n = 1; n <= LastRecord; ++n) {
        std::string line = Record(n) + NounWord(n);
        if (n == 1) line += ",lantern";
        Line(b, line);
    }
    Line(b, "");
    Line(b, "[Vars]");
    std::string line;
    for (int n = 1; n <= LastRecord; ++n) {
        if (!line.empty()) line += ',';
        line += VarName(n);
        if (n % 16 == 0 || n == LastRecord) {
            Line(b, line);
            line.clear();
        }
    }
    Line(b, "");
}

// The exit of location n in direction d (1 to 10), or 0: neighbours on the grid, and now and then
// a staircase to somewhere far away.
int ExitOf(int n, int d) {
    if (n == 0) return 0;
    uint64_t h = Mix(static_cast<uint64_t>(n) * 16 + static_cast<uint64_t>(d));
    int x = (n - 1) % GridWidth;
    int y = (n - 1) / GridWidth;
    int dx = 0, dy = 0;
    switch (d) {
    case 1: dy = -1; break;
    case 2: dy = 1; break;
    case 3: dx = 1; break;
    case 4: dx = -1; break;
    case 5:
    case 6:
        if (h % 100 >= 8) return 0;
        return 1 + static_cast<int>((h >> 16) % LastRecord);
    case 7:
        dx = 1;
        dy = -1;
        break;
    case 8:
        dx = -1;
        dy = -1;
        break;
    case 9:
        dx = 1;
        dy = 1;
        break;
    default:
        dx = -1;
        dy = 1;
        break;
    }
    if (h % 100 >= (d <= 4 ? 70u : 25u)) return 0;
    int tx = x + dx, ty = y + dy;
    if (tx < 0 || tx >= GridWidth || ty < 0) return 0;
    int target = ty * GridWidth + tx + 1;
    return target <= LastRecord ? target : 0;
}

void WriteLocations(Builder& b) {
    Line(b, "[Locations]");
    for (int n = 0; n <= LastRecord; ++n) {
        std::string name = BudgetText(b, 1, 2);
        StoreNew(b, name.size());
        std::string picture;
        if (n % 509 == 1) {
            picture = "room" + Num(n) + ".png";
            StoreNew(b, picture.size());
        }
        int flags = (n > 0 && n % 61 == 0) ? 1 : 0;
        std::string line = Record(n) + name + "," + picture + "," + Num(flags);
        for (int d = 1; d <= 10; ++d) {
            line += ',';
            line += Num(ExitOf(n, d));
        }
        Line(b, line);
        std::string description = BudgetText(b, 1, 3);
        Line(b, description);
        StoreNew(b, description.size());
        if (n % 97 == 5) {
            std::string more = BudgetText(b, 1, 3);
            Line(b, more);
            StoreContinued(b, more.size(), false);
        }
    }
    Line(b, "");
}

void WriteObjects(Builder& b) {
    Line(b, "[Objects]");
    for (int n = 1; n <= LastRecord; ++n) {
        uint64_t h = Mix(static_cast<uint64_t>(n) + 0x5151ull);
        std::string name = BudgetText(b, 1, 2);
        StoreNew(b, name.size());
        int where = 1 + static_cast<int>((h >> 8) % LastRecord);
        if (n % 997 == 0)
            where = -1;
        else if (n % 1499 == 0)
            where = -2;
        else if (n % 13 == 0)
            where = 0;
        int attributes = static_cast<int>((h >> 40) % 8);
        std::string line = Record(n) + name + "," + Num(where) + "," + Num(attributes);
        switch (n % 16) {
        case 12:  // the noun by number
            line += ',';
            line += Num(n);
            break;
        case 13:  // no noun field: the object's own number
            break;
        default:
            line += ',';
            line += NounWord(n);
            break;
        }
        Line(b, line);
        if (n % 101 == 7) {
            std::string description = BudgetText(b, 1, 3);
            Line(b, description);
            StoreNew(b, description.size());
        }
    }
    Line(b, "");
}

void WriteMessages(Builder& b) {
    Line(b, "[Messages]");
    // A backslash is a line break in texts, and a continuation after it gets no blank.
    const std::string_view first = "Welcome to the Endless Maze.\\";
    const std::string_view second = "You will need a lamp, and patience.";
    const std::string_view third = "Hello, traveller. Commas are part of a message.";
    Line(b, "#1," + std::string(first));
    StoreNew(b, first.size());
    Line(b, second);
    StoreContinued(b, second.size(), true);
    Line(b, "#2," + std::string(third));
    StoreNew(b, third.size());
    for (int n = 3; n <= LastRecord; ++n) {
        std::string text = BudgetText(b, 0, 4);
        Line(b, Record(n) + text);
        StoreNew(b, text.size());
        if (n % 89 == 3) {
            std::string more = BudgetText(b, 1, 4);
            Line(b, more);
            StoreContinued(b, more.size(), false);
        }
    }
    Line(b, "");
}

// Script lines come from small patterns of the kind an author writes; the words are drawn from
// the whole vocabulary so that lookups cover every table.
struct Script {
    Rng rng;
    std::vector<std::string> lines;
};

std::string Var(Script& s) { return VarName(Pick(s.rng, 1, LastRecord)); }
std::string Verb(Script& s) { return VerbWord(Pick(s.rng, 1, LastRecord)); }
std::string Noun(Script& s) { return NounWord(Pick(s.rng, 1, LastRecord)); }
std::string Obj(Script& s) { return Num(Pick(s.rng, 1, LastRecord)); }
std::string Loc(Script& s) { return Num(Pick(s.rng, 1, LastRecord)); }
std::string Msg(Script& s) { return Num(Pick(s.rng, 1, LastRecord)); }
std::string Sys(Script& s) { return Num(Pick(s.rng, 1, 31)); }
std::string Small(Script& s, int hi) { return Num(Pick(s.rng, 1, hi)); }

void Add(Script& s, std::string line) { s.lines.push_back(std::move(line)); }

// Sixteen statements, the most a line holds.
std::string FullCondition(Script& s) {
    return "exist " + Obj(s) + " carried " + Obj(s) + " worn " + Obj(s) + " owned " + Obj(s) +
           " not here " + Obj(s) + " present " + Obj(s) + " isin " + Obj(s) + " " + Loc(s) +
           " at " + Loc(s) + " dark " + Loc(s) + " eq " + Var(s) + " " + Small(s, 9) + " gt " +
           Var(s) + " " + Small(s, 9) + " lt " + Var(s) + " " + Small(s, 99) +
           " free random 50 100 not continued begin";
}

std::string FullAction(Script& s) {
    return "set " + Var(s) + " " + Small(s, 9) + " add " + Var(s) + " 2 sub " + Var(s) +
           " 1 reset " + Var(s) + " create " + Obj(s) + " destroy " + Obj(s) + " get " + Obj(s) +
           " wear " + Obj(s) + " put " + Obj(s) + " " + Loc(s) + " go " + Loc(s) + " message " +
           Msg(s) + " sysmsg " + Sys(s) + " show " + Small(s, ShowCount) + " pause 5 redesc cls";
}

void EventPattern(Script& s) {
    switch (Pick(s.rng, 0, 12)) {
    case 0:  // a countdown
        Add(s, "if gt " + Var(s) + " 0");
        Add(s, "then sub " + Var(s) + " 1");
        Add(s, "if eq " + Var(s) + " 1");
        Add(s, "and at " + Loc(s));
        Add(s, "then message " + Msg(s));
        break;
    case 1:
        Add(s, "if random 20 100");
        Add(s, "and here " + Obj(s));
        Add(s, "then {");
        Add(s, "  message " + Msg(s));
        Add(s, "  swap " + Obj(s) + " " + Obj(s));
        Add(s, "}");
        break;
    case 2: {
        std::string v = Var(s);
        Add(s, "while gt " + v + " 3");
        Add(s, "then sub " + v + " 1");
        Add(s, "if eq " + v + " 3");
        Add(s, "then reset " + v + " message " + Msg(s));
        break;
    }
    case 3:
        Add(s, "if at " + Loc(s));
        Add(s, "and present " + Obj(s));
        Add(s, "or eq " + Var(s) + " " + Small(s, 20));
        Add(s, "then message " + Msg(s));
        break;
    case 4:
        Add(s, "if dark 0");
        Add(s, "and not owned " + Obj(s));
        Add(s, "then light 1 " + Loc(s));
        Add(s, "do message " + Msg(s));
        break;
    case 5:
        Add(s, "if " + FullCondition(s));
        Add(s, "then " + FullAction(s));
        break;
    case 6:
        Add(s, "if eq " + Var(s) + " 2");
        Add(s, "fbegin");
        Add(s, "  put " + Obj(s) + " " + Loc(s));
        Add(s, "  exit 3 " + Loc(s));
        Add(s, "end");
        break;
    case 7:
        Add(s, "if at " + Loc(s));
        Add(s, "then begin");
        Add(s, "  if carried " + Obj(s));
        Add(s, "  then {+");
        Add(s, "    message " + Msg(s));
        Add(s, "    destroy " + Obj(s));
        Add(s, "  }");
        Add(s, "end");
        break;
    case 8: {
        std::string flag = Var(s);
        Add(s, "if " + Var(s));
        Add(s, "and not " + flag);
        Add(s, "then set " + flag);
        break;
    }
    case 9:
        Add(s, "if eq " + Var(s) + " 9");
        Add(s, "then at " + Loc(s) + " create " + Obj(s));
        Add(s, "then moveall " + Loc(s) + " " + Loc(s) + " subst " + Loc(s) + " " + Loc(s));
        Add(s, "then exit 2 " + Loc(s) + " at " + Loc(s) + " exit 5 " + Loc(s));
        break;
    case 10: {
        std::string v = Var(s);
        Add(s, "if gt " + Var(s) + " 10");
        Add(s, "sbegin");
        Add(s, "  while gt " + v + " 0");
        Add(s, "  sub " + v + " 1");
        Add(s, "  if lt " + v + " 5");
        Add(s, "  then add " + Var(s) + " 1");
        Add(s, "end");
        break;
    }
    case 11:
        Add(s, "If Carried " + Obj(s));
        Add(s, "Then Begin");
        Add(s, "  Message " + Msg(s));
        Add(s, "  Halt");
        Add(s, "End");
        break;
    default:
        Add(s, "if worn " + Obj(s) + " not dark " + Loc(s));
        Add(s, "then light 0 " + Loc(s) + " sysmsg " + Sys(s));
        break;
    }
}

void ActionPattern(Script& s) {
    switch (Pick(s.rng, 0, 14)) {
    case 0:
        Add(s, "if verb " + Verb(s) + " noun " + Noun(s));
        Add(s, "and here " + Obj(s));
        Add(s, "then get " + Obj(s) + " message " + Msg(s));
        break;
    case 1:
        Add(s, "if verb " + Verb(s));
        Add(s, "and eq " + Var(s) + " 0");
        Add(s, "then message " + Msg(s) + " halt");
        break;
    case 2:
        Add(s, "if verb " + Verb(s) + " noun " + Noun(s) + " noun2 " + Noun(s));
        Add(s, "then {");
        Add(s, "  put " + Obj(s) + " -1");
        Add(s, "  add " + Var(s) + " 5");
        Add(s, "  sysmsg " + Sys(s));
        Add(s, "}");
        break;
    case 3:
        Add(s, "if verb " + Verb(s) + " anynoun " + Noun(s));
        Add(s, "or verb " + Verb(s));
        Add(s, "then message " + Msg(s) + " continue");
        break;
    case 4:
        Add(s, "if move " + Small(s, 2));
        Add(s, "and at " + Loc(s));
        Add(s, "then go " + Loc(s) + " redesc");
        break;
    case 5:
        Add(s, "if verb " + Verb(s) + " not present " + Obj(s));
        Add(s, "then message " + Msg(s));
        break;
    case 6: {
        std::string v = Var(s);
        Add(s, "if verb " + Verb(s) + " noun " + Noun(s));
        Add(s, "do begin");
        Add(s, "  while lt " + v + " 10");
        Add(s, "  add " + v + " 1");
        Add(s, "  if eq " + v + " 5");
        Add(s, "  then message " + Msg(s));
        Add(s, "end");
        break;
    }
    case 7:
        Add(s, "if verb " + Verb(s) + " noun3 " + Noun(s) + " isin " + Obj(s) + " " + Loc(s));
        Add(s, "then mchoiche " + Var(s) + " 3");
        Add(s, "if verb " + Verb(s));
        Add(s, "then bchoiche " + Var(s));
        break;
    case 8:
        Add(s, "if continued");
        Add(s, "then message " + Msg(s));
        break;
    case 9:
        Add(s, "if verb " + Verb(s) + " noun " + Noun(s) + " worn " + Obj(s));
        Add(s, "then moveall " + Loc(s) + " " + Loc(s) + " subst " + Loc(s) + " " + Loc(s));
        Add(s, "then at " + Loc(s) + " create " + Obj(s) + " exit 2 " + Loc(s));
        break;
    case 10:
        Add(s, "if verb take noun lamp");
        Add(s, "and not carried 1");
        Add(s, "then get 1 set lampOn sysmsg 10");
        break;
    case 11:
        Add(s, "if verb " + Verb(s) + " noun2 " + Var(s));
        Add(s, "then add score " + Small(s, 50) + " message " + Msg(s));
        break;
    case 12:
        Add(s, "if verb " + Verb(s));
        Add(s, "then {/");
        Add(s, "  message " + Msg(s));
        Add(s, "  break");
        Add(s, "end");
        break;
    case 13:
        Add(s, "if verb quit");
        Add(s, "then bchoiche " + Var(s));
        Add(s, "if eq " + Var(s) + " 1");
        Add(s, "then quit");
        break;
    default:
        Add(s, "if verb " + Verb(s) + " noun " + Noun(s) + " noun2 " + Noun(s) + " noun3 " +
                   Noun(s) + " anynoun " + Noun(s) + " move 0 present " + Obj(s) + " not worn " +
                   Obj(s) + " isin " + Obj(s) + " " + Loc(s) + " at " + Loc(s) + " not dark 0 eq " +
                   Var(s) + " 1 gt " + Var(s) + " 2 lt " + Var(s) + " 3 free random 50 100");
        Add(s, "then " + FullAction(s));
        break;
    }
}

// Fills a script section with exactly WordLimit lines: patterns while they fit, then single
// if/then pairs.
void WriteScript(Builder& b, const char* header, bool events, uint64_t seed) {
    Script s{Rng{seed}, {}};
    s.lines.reserve(WordLimit + LongestPattern);
    if (events) {
        Add(s, "if begin");
        Add(s, "then show 1 message 1 set score 0 set turns 0");
        Add(s, "add turns 1");
    }
    while (s.lines.size() + LongestPattern <= WordLimit) {
        if (events)
            EventPattern(s);
        else
            ActionPattern(s);
    }
    while (s.lines.size() + 2 <= WordLimit) {
        Add(s, "if at " + Loc(s));
        Add(s, "then message " + Msg(s));
    }
    if (s.lines.size() < WordLimit) Add(s, "do message " + Msg(s));
    Line(b, header);
    for (const std::string& line : s.lines) Line(b, line);
    Line(b, "");
}

void Build(Builder& b) {
    WriteSystem(b);
    WriteFixedTexts(b);
    WriteVocabulary(b);
    WriteLocations(b);
    WriteObjects(b);
    WriteMessages(b);
    WriteScript(b, "[Events]", true, 0x45564E54ull);
    WriteScript(b, "[Actions]", false, 0x41435453ull);
}

}  // namespace

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::string Base36(int n) {
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    do {
        s.insert(s.begin(), digits[n % 36]);
        n /= 36;
    } while (n > 0);
    return s;
}

std::string GenerateMaxSource(MaxSourceStats* stats) {
    Builder plan;
    plan.out.reserve(6 << 20);
    Build(plan);

    Builder b;
    b.planning = false;
    b.weightTotal = plan.weightTotal;
    b.extraTotal = plan.heap < MaxSourceHeapTarget ? MaxSourceHeapTarget - plan.heap : 0;
    b.out.reserve(plan.out.size() + b.extraTotal + 1024);
    Build(b);

    if (stats != nullptr) {
        stats->locations = LastRecord + 1;
        stats->objects = LastRecord;
        stats->messages = LastRecord;
        stats->shows = ShowCount;
        stats->verbWords = WordLimit;
        stats->nounWords = WordLimit;
        stats->variables = LastRecord;
        stats->events = WordLimit;
        stats->actions = WordLimit;
        stats->heapNext = b.heap;
        stats->lines = b.lines;
    }
    return std::move(b.out);
}
