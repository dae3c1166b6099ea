// bench_play.cpp - times whole headless play processes: start-up and the cost of one command;
// and, in this process, what the undo journal adds to a command and how much it keeps, and what
// counting the script lines for the coverage report adds.
#include "compiler/compiler.h"
#include "engine/autosave.h"
#include "engine/engine.h"
#include "maxsource.h"
#include "ui/window/screen.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

extern char** environ;

namespace {

constexpr double SmallStartTargetMs = 5.0;
constexpr double SmallCommandTargetUs = 200.0;
constexpr double MaxCommandFactor = 20.0;     // the largest game may cost this many small commands
constexpr double MaxCountingOverhead = 0.10;  // counting script lines for the coverage report
constexpr double MaxUndoOverhead = 0.10;      // keeping the undo journal

using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------------------------
// Deterministic randomness: the scripts must be the same on every run and every machine.

struct Rng {
    uint64_t state;
    uint64_t Next() {
        state += 0x632BE59BD9B4E019ull;
        return Mix(state);
    }
    // 0 to n - 1.
    size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
    template <typename T> const T& Pick(const std::vector<T>& v) { return v[Below(v.size())]; }
};

// ---------------------------------------------------------------------------------------------
// The small game: a 10 x 10 maze of rooms with things to carry, a locked door, a lever, a lamp
// and a hunger clock, scripted the way authors write small adventures.

constexpr int GridSide = 10;
constexpr int SmallRooms = GridSide * GridSide;

struct SmallObject {
    const char* name;
    const char* noun;
    int attributes;  // 1 takeable, 2 wearable, 4 gives light
    int where;
    const char* description;  // may be null
};

const SmallObject SmallObjects[] = {
    {"a brass lamp", "lamp", 5, 1, "A brass lamp, polished and full of oil."},
    {"a small key", "key", 1, 17, "A small iron key with a ring of string."},
    {"a woollen cloak", "cloak", 3, -1, "A warm woollen cloak."},
    {"a rusty sword", "sword", 1, 34, "The blade is pitted with rust."},
    {"an old book", "book", 1, 12, "A leather-bound book. Perhaps you could read it."},
    {"a length of rope", "rope", 1, 45, nullptr},
    {"a glass bottle", "bottle", 1, 56, "Empty, and a little dusty."},
    {"a loaf of bread", "bread", 1, 3, "Fresh bread. It smells wonderful."},
    {"a red apple", "apple", 1, 27, nullptr},
    {"a wooden shield", "shield", 3, 61, "It bears the arms of a forgotten house."},
    {"an iron helmet", "helmet", 3, 72, nullptr},
    {"a silver ring", "ring", 3, 88, "There is writing inside the band, too small to read."},
    {"a torn map", "map", 1, 9, "A map of the maze. Most of it is torn away."},
    {"a wax candle", "candle", 5, 41, nullptr},
    {"a scroll", "scroll", 1, 66, "The ink has faded beyond reading."},
    {"a green gem", "gem", 1, 93, "It glows faintly from within."},
    {"a white feather", "feather", 1, 29, nullptr},
    {"a heavy hammer", "hammer", 1, 50, nullptr},
    {"a bent nail", "nail", 1, 51, nullptr},
    {"a wooden box", "box", 0, 2, "A sturdy box, nailed shut."},
    {"a marble statue", "statue", 0, 55, "A statue of a forgotten king, taller than you."},
    {"a lever", "lever", 0, 38, "An iron lever set into the wall."},
    {"an oak door", "door", 0, 2, "A heavy oak door with a brass lock."},
    {"an iron chest", "chest", 0, 100, "A great chest, bound with iron."},
    {"leather boots", "boots", 3, 14, nullptr},
    {"a felt hat", "hat", 3, 23, "A hat with a long feather."},
    {"a pair of gloves", "gloves", 3, 77, nullptr},
    {"a tin flute", "flute", 1, 84, nullptr},
    {"a brass bell", "bell", 1, 19, nullptr},
    {"a clay pot", "pot", 1, 36, nullptr},
};
constexpr int SmallCoins = 10;  // objects after the list above: gold coins sharing one noun

const char* const RoomAdjectives[GridSide] = {"Mossy",  "Dusty", "Narrow", "Windy",     "Silent",
                                              "Sunlit", "Damp",  "Broken", "Forgotten", "Broad"};
const char* const RoomKinds[GridSide] = {"Glade",  "Corridor", "Hall",   "Cave",    "Courtyard",
                                         "Bridge", "Cellar",   "Garden", "Gallery", "Passage"};
const char* const RoomDetails[8] = {
    "Water drips from the ceiling into shallow pools.",
    "Old tapestries hang from the walls, faded to grey.",
    "The floor is covered in dry leaves that rustle underfoot.",
    "Someone has scratched tally marks into the stone.",
    "A cold draught comes from somewhere you cannot see.",
    "Roots push through cracks in the walls.",
    "The air smells of smoke and old candles.",
    "Your footsteps echo as if the room were much larger.",
};

const char* const SmallMessages[] = {
    "Welcome to the Maze of Rooms. Find the treasure, and mind your lamp.",
    "The book reads: Pull the lever in the cellar, then look for the chest.",
    "You have nothing to read.",
    "The door swings open with a creak. Stairs lead down.",
    "It is locked.",
    "You unlock the door with the small key.",
    "You eat the bread. Delicious.",
    "You are getting hungry.",
    "You are starving! You nibble at some roots.",
    "The lever moves with a clunk. Somewhere a passage opens.",
    "The lever will not move any further.",
    "Your score is %score% in %turns% turns.",
    "The lamp is now lit.",
    "The lamp is already lit.",
    "Time passes.",
    "Your voice echoes through the halls.",
    "You dig for a while but find nothing.",
    "You find a gold coin buried here!",
    "There is nothing to climb here.",
    "You climb the statue and see the whole maze from above.",
    "A bat flutters past your face.",
    "It is cold here without a light.",
    "You hear water dripping somewhere.",
    "A distant bell rings.",
    "You play a merry tune on the flute.",
    "The chest opens. It is full of gold!",
    "You feel you have been here before.",
    "The apple is crisp and sweet.",
    "Nothing happens.",
    "Well done! You found the treasure room.",
    "The bell gives a dull clank.",
};

// One entry per verb number from 1: direction and built-in verbs keep their fixed numbers, the
// rest belong to the scripts.
const char* const SmallVerbs[] = {
    "n,north",
    "s,south",
    "e,east",
    "w,west",
    "u,up",
    "d,down",
    "ne,northeast",
    "nw,northwest",
    "se,southeast",
    "sw,southwest",
    "i,inventory,inv",
    "l,look",
    "x,examine",
    "get,take",
    "drop",
    "wear",
    "remove",
    "hello,hi",
    "wait,z",
    "open",
    "save",
    "restore",
    "quit",
    "read",
    "eat",
    "push",
    "pull",
    "light",
    "unlock",
    "score",
    "dig",
    "climb",
    "play",
    "shout",
    "sleep",
    "ring",
};

// Exits of room n (1 to 100) in directions 1 to 10: neighbours on the grid with a few walls,
// a staircase and some one-way diagonal passages.
int SmallExit(int n, int d) {
    const int x = (n - 1) % GridSide, y = (n - 1) / GridSide;
    auto wallNorthOf = [](int room) { return Mix(static_cast<uint64_t>(room) * 3 + 1) % 100 < 20; };
    auto wallEastOf = [](int room) { return Mix(static_cast<uint64_t>(room) * 3 + 2) % 100 < 10; };
    switch (d) {
    case 1: return y > 0 && !wallNorthOf(n) ? n - GridSide : 0;
    case 2: return y < GridSide - 1 && !wallNorthOf(n + GridSide) ? n + GridSide : 0;
    case 3: return x < GridSide - 1 && !wallEastOf(n) ? n + 1 : 0;
    case 4: return x > 0 && !wallEastOf(n - 1) ? n - 1 : 0;
    case 5: return n == 23 ? 78 : 0;
    case 6: return n == 78 ? 23 : 0;
    case 7:
        return x < GridSide - 1 && y > 0 && Mix(static_cast<uint64_t>(n) * 3) % 100 < 10
                   ? n - GridSide + 1
                   : 0;
    case 10:
        return x > 0 && y < GridSide - 1 && Mix(static_cast<uint64_t>(n) * 5) % 100 < 10
                   ? n + GridSide - 1
                   : 0;
    default: return 0;
    }
}

bool SmallRoomDark(int n) { return n == 38 || n == 64 || n == 91; }

void Add(std::string& s, std::string_view line) {
    s.append(line);
    s.push_back('\n');
}

// A line from pieces, appended one by one: GCC 12's -Wrestrict misreads operator+ chains that
// start with a literal.
void Add(std::string& s, std::initializer_list<std::string_view> pieces) {
    for (std::string_view p : pieces) s.append(p);
    s.push_back('\n');
}

std::string Num(int n) { return std::to_string(n); }

std::string SmallSource() {
    std::string s;
    Add(s, "| The Maze of Rooms: a hundred rooms, thirty-odd things, a few puzzles.");
    Add(s, "[System]");
    Add(s, "Title=The Maze of Rooms");
    Add(s, "StartLocation=1");
    Add(s, "MaxItems=6");
    Add(s, "StatusLine=Score: %score%  Turns: %turns%");
    Add(s, "");
    Add(s, "[Sysmsg]");
    const char* const sysmsgs[] = {
        "#1,I don't understand.",
        "#2,You can't see that here.",
        "#3,You can't do that.",
        "#4,Your hands are full.",
        "#5,You can't go that way.",
        "#7,Nothing special.",
        "#8,You can't do that yet.",
        "#9,Hello to you too.",
        "#10,Done.",
        "#11,You can see:",
        "#12,You carry:",
        "#13, (worn)",
        "#14,nothing.",
        "#19,Exits:",
        "#23,Restore a saved game?",
        "#24,Really quit?",
        "#25,Save first?",
        "#26,Play again?",
        "#29,That slot cannot be used.",
    };
    for (const char* m : sysmsgs) Add(s, m);
    Add(s, "");
    Add(s, "[Directions]");
    const char* const directions[] = {"north", "south",     "east",      "west",      "up",
                                      "down",  "northeast", "northwest", "southeast", "southwest"};
    for (int d = 0; d < 10; ++d) Add(s, {"#", Num(d + 1), ",", directions[d]});
    Add(s, "");

    Add(s, "[Locations]");
    Add(s, "#0,Darkness,,0");
    Add(s, "It is pitch dark. You might stumble into something.");
    for (int n = 1; n <= SmallRooms; ++n) {
        const int x = (n - 1) % GridSide, y = (n - 1) / GridSide;
        std::string name = RoomAdjectives[y];
        name += ' ';
        name += RoomKinds[x];
        std::string line = "#";
        line += Num(n);
        line += ',';
        line += name;
        line += SmallRoomDark(n) ? ",,1" : ",,0";
        for (int d = 1; d <= 10; ++d) {
            line += ',';
            line += Num(SmallExit(n, d));
        }
        Add(s, line);
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        Add(s, {"You are in a ", lower, ". ", RoomDetails[Mix(static_cast<uint64_t>(n)) % 8]});
        if (n % 3 == 0) Add(s, RoomDetails[Mix(static_cast<uint64_t>(n) + 77) % 8]);
    }
    Add(s, "");

    // Nouns first come from the objects, in object order; the coins share the last one.
    Add(s, "[Nouns]");
    int noun = 0;
    for (const SmallObject& o : SmallObjects) Add(s, {"#", Num(++noun), ",", o.noun});
    Add(s, {"#", Num(++noun), ",coin,gold"});
    Add(s, "");

    Add(s, "[Objects]");
    int object = 0;
    for (const SmallObject& o : SmallObjects) {
        Add(s, {"#", Num(++object), ",", o.name, ",", Num(o.where), ",", Num(o.attributes), ",",
                o.noun});
        if (o.description != nullptr) Add(s, o.description);
    }
    for (int c = 0; c < SmallCoins; ++c) {
        // The first coin waits underground until it is dug up.
        const int where =
            c == 0 ? 0 : 1 + static_cast<int>(Mix(static_cast<uint64_t>(c) + 900) % SmallRooms);
        Add(s, {"#", Num(++object), ",a gold coin,", Num(where), ",1,coin"});
    }
    Add(s, "");

    Add(s, "[Messages]");
    int message = 0;
    for (const char* m : SmallMessages) Add(s, {"#", Num(++message), ",", m});
    Add(s, "");

    Add(s, "[Verbs]");
    int verb = 0;
    for (const char* v : SmallVerbs) Add(s, {"#", Num(++verb), ",", v});
    Add(s, "");

    Add(s, "[Vars]");
    Add(s, "score,turns,lampOn,doorOpen,leverUp,hunger,visited,dug,timer");
    Add(s, "");

    const int firstCoin = static_cast<int>(std::size(SmallObjects)) + 1;
    const char* const events[] = {
        "if begin",
        "then message 1",
        "add turns 1",
        "add hunger 1",
        "if eq hunger 80",
        "then message 8",
        "if gt hunger 120",
        "then begin",
        "  message 9",
        "  set hunger 60",
        "end",
        "if dark 0",
        "and not lampOn",
        "then message 22",
        "if random 3 100",
        "then message 21",
        "if at 55",
        "and random 20 100",
        "then message 23",
        "if eq timer 1",
        "then message 24",
        "if gt timer 0",
        "then sub timer 1",
        "if at 100",
        "and not visited",
        "then set visited add score 10 message 30",
        "if carried 2",
        "and at 2",
        "and not doorOpen",
        "then message 27",
    };
    Add(s, "[Events]");
    for (const char* e : events) Add(s, e);
    Add(s, "");

    const std::string coin = std::to_string(firstCoin);
    const std::string actions[] = {
        "if verb read noun book",
        "and present 5",
        "then message 2",
        "if verb read",
        "then message 3",
        "if verb unlock noun door at 2",
        "and carried 2",
        "then message 6 set doorOpen",
        "if verb unlock noun door",
        "then message 5",
        "if verb open noun door at 2 doorOpen",
        "then message 4 exit 6 38",
        "if verb open noun door",
        "then message 5",
        "if verb eat noun bread carried 8",
        "then message 7 destroy 8 reset hunger",
        "if verb eat noun apple carried 9",
        "then message 28 destroy 9 sub hunger 20",
        "if verb pull noun lever at 38 not leverUp",
        "then message 10 set leverUp add score 5 at 99 exit 3 100",
        "if verb pull noun lever",
        "then message 11",
        "if verb push noun lever",
        "then message 29",
        "if verb score",
        "then message 12",
        "if verb light noun lamp present 1",
        "then begin",
        "  if lampOn",
        "  then message 14",
        "  if not lampOn",
        "  then set lampOn message 13",
        "end",
        "if verb wait",
        "then message 15",
        "if verb shout",
        "then message 16 set timer 3",
        "if verb dig at 44 not dug",
        "then message 18 set dug create " + coin,
        "if verb dig",
        "then message 17",
        "if verb climb noun statue here 21",
        "then message 20",
        "if verb climb",
        "then message 19",
        "if verb play noun flute present 28",
        "then message 25",
        "if verb ring noun bell present 29",
        "then message 24 set timer 2",
        "if verb ring",
        "then message 31",
        "if verb open noun chest at 100 leverUp",
        "then message 26 add score 50",
        "if verb open noun chest",
        "then message 5",
        "if verb take noun coin",
        "then add score 1 continue",
        "if verb sleep",
        "then message 15 add turns 5 add hunger 10",
    };
    Add(s, "[Actions]");
    for (const std::string& a : actions) Add(s, a);
    return s;
}

// ---------------------------------------------------------------------------------------------
// Command scripts.

// The words a script draws from, by kind of command.
struct Vocabulary {
    std::vector<std::string> moves;
    std::vector<std::string> looks;
    std::vector<std::string> inventories;
    std::vector<std::string> takes;     // verb words, a noun follows
    std::vector<std::string> drops;     // verb words, a noun follows
    std::vector<std::string> examines;  // verb words, a noun follows
    std::vector<std::string> wears;     // wear and remove, a noun follows
    std::vector<std::string> nouns;
    std::vector<std::string> articles;  // passed over by the parser; often typed
    std::vector<std::string> unknown;   // whole commands with no known word
    std::vector<std::string> scripted;  // whole commands that the game's scripts handle
};

// Up to count commands, each typed as its own line.
std::vector<std::string> MakeCommands(const Vocabulary& v, size_t count, uint64_t seed) {
    Rng rng{seed};
    std::vector<std::string> commands;
    commands.reserve(count);
    auto withNoun = [&](const std::vector<std::string>& verbs) {
        std::string c = rng.Pick(verbs) + " ";
        if (!v.articles.empty() && rng.Below(3) == 0) c += rng.Pick(v.articles) + " ";
        return c + rng.Pick(v.nouns);
    };
    while (commands.size() < count) {
        const size_t roll = rng.Below(100);
        if (roll < 34)
            commands.push_back(rng.Pick(v.moves));
        else if (roll < 42)
            commands.push_back(rng.Pick(v.looks));
        else if (roll < 48)
            commands.push_back(rng.Pick(v.inventories));
        else if (roll < 60)
            commands.push_back(withNoun(v.takes));
        else if (roll < 67)
            commands.push_back(withNoun(v.drops));
        else if (roll < 75)
            commands.push_back(withNoun(v.examines));
        else if (roll < 79)
            commands.push_back(withNoun(v.wears));
        else if (roll < 86)
            commands.push_back(rng.Pick(v.unknown));
        else
            commands.push_back(rng.Pick(v.scripted));
    }
    return commands;
}

// The restore question is answered with its key alone; each command is then one line.
std::string KeyScript(const std::vector<std::string>& commands, size_t count) {
    std::string keys = "n";
    for (size_t i = 0; i < count && i < commands.size(); ++i) {
        keys += commands[i];
        keys += '\n';
    }
    return keys;
}

Vocabulary SmallVocabulary() {
    Vocabulary v;
    v.moves = {"n", "s", "e", "w", "north", "south", "east", "west", "ne", "sw", "u", "d"};
    v.looks = {"l", "look"};
    v.inventories = {"i", "inventory", "inv"};
    v.takes = {"get", "take"};
    v.drops = {"drop"};
    v.examines = {"x", "examine"};
    v.wears = {"wear", "remove"};
    for (const SmallObject& o : SmallObjects) v.nouns.push_back(o.noun);
    v.nouns.push_back("coin");
    v.nouns.push_back("gold");
    v.articles = {"the", "a", "old"};
    v.unknown = {"xyzzy",    "dance wildly",     "plugh", "sing a song", "jump",
                 "what now", "go to the castle", "hmm"};
    v.scripted = {"read book",
                  "read the old book",
                  "unlock door",
                  "open door",
                  "open the door",
                  "eat bread",
                  "eat apple",
                  "pull lever",
                  "push lever",
                  "score",
                  "light lamp",
                  "wait",
                  "z",
                  "shout",
                  "dig",
                  "climb statue",
                  "climb",
                  "play flute",
                  "ring bell",
                  "open chest",
                  "sleep",
                  "hello",
                  "take gold coin"};
    return v;
}

// The largest game's vocabulary: its built-in words, its first nouns and nouns of its objects
// (mostly far away), and verbs that its action lines test for. Verbs whose lines ask the player
// a question are left out: the question would eat the keys of the following commands.
Vocabulary MaxVocabulary(const std::string& source) {
    Vocabulary v;
    v.moves = {"north", "south",     "east",      "west",      "up",
               "down",  "northeast", "northwest", "southeast", "southwest"};
    v.looks = {"look"};
    v.inventories = {"inventory"};
    v.takes = {"take", "get"};
    v.drops = {"drop"};
    v.examines = {"examine"};
    v.wears = {"wear", "remove"};
    v.nouns = {"lamp", "lantern", "key",    "door",  "sword", "book",
               "coin", "rope",    "bottle", "water", "bread"};
    for (int n = 11; n < 32766; n += 997)
        if (n % 16 != 12 && n % 16 != 13) v.nouns.push_back("nn" + Base36(n));
    v.articles = {"the", "a"};
    v.unknown = {"xyzzy", "dance wildly", "plugh", "sing a song", "jump", "what now", "hmm"};
    v.scripted = {"wait", "open door", "close door"};

    // Walk the [Actions] section: a verb is unsafe when a line that tests it is followed by a
    // line asking a question, or when the verb is one of the built-ins that ask one.
    std::istringstream in(source);
    std::string line, previous;
    bool inActions = false;
    std::vector<std::pair<std::string, std::string>> tested;  // verb, optional noun
    std::set<std::string> unsafe = {"quit", "save", "restore"};
    auto verbOf = [](const std::string& l, std::string* nounOut) -> std::string {
        std::istringstream words(l);
        std::string control, keyword, verb, next, noun;
        if (!(words >> control >> keyword >> verb)) return "";
        if ((control != "if" && control != "or") || keyword != "verb") return "";
        if (words >> next >> noun && next == "noun" && nounOut != nullptr) *nounOut = noun;
        return verb;
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') {
            inActions = line == "[Actions]";
            previous.clear();
            continue;
        }
        if (!inActions) continue;
        if (line.find("choiche") != std::string::npos) {
            const std::string verb = verbOf(previous, nullptr);
            if (!verb.empty()) unsafe.insert(verb);
        }
        std::string noun;
        const std::string verb = verbOf(line, &noun);
        if (!verb.empty() && verb.rfind("vb", 0) == 0) tested.emplace_back(verb, noun);
        previous = line;
    }
    std::set<std::string> chosen;
    for (const auto& [verb, noun] : tested) {
        if (unsafe.count(verb) != 0) continue;
        const std::string command = noun.empty() ? verb : verb + " " + noun;
        chosen.insert(command);
        if (chosen.size() >= 60) break;
    }
    v.scripted.insert(v.scripted.end(), chosen.begin(), chosen.end());
    return v;
}

// ---------------------------------------------------------------------------------------------
// Running the program.

struct RunResult {
    bool ok = false;  // started, and exited with status 0
    double wallMs = 0;
    double cpuMs = 0;  // user + system time of the child
};

std::vector<std::string> HeadlessEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "UMB_DRIVER=", 11) != 0) env.emplace_back(*e);
    env.emplace_back("UMB_DRIVER=headless");
    return env;
}

// Runs umb with args in the current directory, standard input from inPath, output to outPath
// and diagnostics to errPath; the time covers the whole child, from spawn to exit.
RunResult RunUmb(const std::vector<std::string>& args, const std::string& inPath,
                 const std::string& outPath, const std::string& errPath) {
    static std::vector<std::string> env = HeadlessEnvironment();
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::string program = UMB_BINARY;
    std::vector<std::string> argStore = args;
    std::vector<char*> argv;
    argv.push_back(program.data());
    for (std::string& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);

    RunResult r;
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", program.c_str(), std::strerror(rc));
        return r;
    }
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) return r;
    r.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    r.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out << data;
    return static_cast<bool>(out.flush());
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// Prints the start of a file the program wrote, to show why a run went wrong.
void ShowFile(const char* what, const std::string& path, size_t maxBytes) {
    std::string text = ReadFile(path);
    if (text.empty()) return;
    if (text.size() > maxBytes) text = text.substr(0, maxBytes) + "...\n";
    std::printf("--- %s ---\n%s", what, text.c_str());
    if (text.back() != '\n') std::printf("\n");
}

// The number of commands whose echo (prompt and command) appears in the transcript in order,
// outside the screen dumps: a command lost to a question or an early end breaks the chain.
size_t EchoedCommands(const std::string& transcript, const std::string& prompt,
                      const std::vector<std::string>& commands, size_t count) {
    std::istringstream in(transcript);
    std::string line;
    bool inDump = false;
    size_t next = 0;
    while (next < count && std::getline(in, line)) {
        if (line == "== screen ==") inDump = true;
        if (inDump) {
            if (line == "== end ==") inDump = false;
            continue;
        }
        if (line == prompt + commands[next]) ++next;
    }
    return next;
}

struct Game {
    std::string label;   // as printed
    std::string name;    // file name without extension, in the work folder
    std::string prompt;  // the game's Prompt setting
    std::vector<std::string> commands;
    size_t count = 0;  // commands actually played (may be cut to the time budget)
    double startMs = 0, startCpuMs = 0;
    double playMs = 0, playCpuMs = 0;
    double UsPerCommand() const { return (playMs - startMs) * 1000.0 / static_cast<double>(count); }
    double CpuUsPerCommand() const {
        return (playCpuMs - startCpuMs) * 1000.0 / static_cast<double>(count);
    }
};

struct Options {
    int runs = 5;
    size_t commands = 1000;
    double budgetSeconds = 120;  // per game: what the timed runs of one game may take in all
    bool keep = false;
};

// What a source holds, for the report.
struct Census {
    int locations = 0, objects = 0, events = 0, actions = 0;
};

Census CountSource(const std::string& source) {
    Census c;
    int* records = nullptr;  // the counter of the current section's record lines
    int* lines = nullptr;    // the counter of the current script section's lines
    size_t start = 0;
    while (start < source.size()) {
        size_t end = source.find('\n', start);
        if (end == std::string::npos) end = source.size();
        const std::string_view line(source.data() + start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '|') continue;
        if (line[0] == '[') {
            records = line == "[Locations]" ? &c.locations
                      : line == "[Objects]" ? &c.objects
                                            : nullptr;
            lines = line == "[Events]" ? &c.events : line == "[Actions]" ? &c.actions : nullptr;
        } else if (records != nullptr && line[0] == '#') {
            ++*records;
        } else if (lines != nullptr) {
            ++*lines;
        }
    }
    return c;
}

// Writes the source, compiles it and removes it, so that the game is played from the compiled
// file alone.
bool Compile(const std::string& dir, const std::string& name, const std::string& source) {
    const std::string adv = dir + "/" + name + ".adv";
    if (!WriteFile(adv, source)) {
        std::printf("FAIL: cannot write %s\n", adv.c_str());
        return false;
    }
    const std::string out = dir + "/compile.Out", err = dir + "/compile.err";
    const RunResult r = RunUmb({"-c", name}, "/dev/null", out, err);
    if (!r.ok || !Exists(dir + "/" + name + ".umb")) {
        std::printf("FAIL: umb -c %s did not write %s.umb\n", name.c_str(), name.c_str());
        ShowFile("output", out, 4000);
        ShowFile("errors", err, 4000);
        return false;
    }
    const Census c = CountSource(source);
    std::printf("%s: %d locations, %d objects, %d event lines, %d action lines; compiled in "
                "%.1f ms\n",
                name.c_str(), c.locations, c.objects, c.events, c.actions, r.wallMs);
    std::remove(adv.c_str());
    return true;
}

// One play of the game with the first count commands (0: none), output to outPath.
RunResult Play(const std::string& dir, const Game& g, size_t count, const std::string& outPath) {
    const std::string keys = dir + "/" + g.name + "-" + std::to_string(count) + ".keys";
    if (!Exists(keys) && !WriteFile(keys, KeyScript(g.commands, count))) return {};
    return RunUmb({g.name}, keys, outPath, dir + "/play.err");
}

// Checks that a play with count commands ends well and echoes every command.
bool Verify(const std::string& dir, const Game& g, size_t count, RunResult* result) {
    const std::string out = dir + "/verify.Out";
    *result = Play(dir, g, count, out);
    if (!result->ok) {
        std::printf("FAIL: %s with %zu commands did not exit with status 0\n", g.label.c_str(),
                    count);
        ShowFile("errors", dir + "/play.err", 2000);
        return false;
    }
    const size_t echoed = EchoedCommands(ReadFile(out), g.prompt, g.commands, count);
    if (echoed != count) {
        std::printf("FAIL: %s: only %zu of %zu commands reached the prompt; the play went off "
                    "script after \"%s\" (output kept in %s)\n",
                    g.label.c_str(), echoed, count,
                    echoed > 0 ? g.commands[echoed - 1].c_str() : "", out.c_str());
        return false;
    }
    return true;
}

// Times the game: best of N for the empty script and for the command script, interleaved so
// that a change of machine load hits both alike.
bool Measure(const std::string& dir, Game& g, const Options& opt) {
    RunResult empty, probe;
    if (!Verify(dir, g, 0, &empty)) return false;

    // A probe decides whether the full script fits the time budget; the largest game may be
    // far slower than its target, and the benchmark should still finish.
    const size_t probeCount = std::min<size_t>(20, opt.commands);
    if (!Verify(dir, g, probeCount, &probe)) return false;
    g.count = opt.commands;
    const double perCommandMs =
        std::max(0.001, (probe.wallMs - empty.wallMs) / static_cast<double>(probeCount));
    const double plays = opt.runs + 1.0;  // the timed runs and the verifying run
    const double estimateS =
        plays * (empty.wallMs + perCommandMs * static_cast<double>(g.count)) / 1e3;
    if (estimateS > opt.budgetSeconds) {
        const double perPlayMs = opt.budgetSeconds * 1e3 / plays - empty.wallMs;
        g.count = std::max<size_t>(probeCount,
                                   static_cast<size_t>(std::max(0.0, perPlayMs) / perCommandMs));
        g.count = std::min(g.count, opt.commands);
        std::printf("%s: %zu commands would take about %.0f s (%.1f ms each); playing %zu "
                    "(raise --budget to play more)\n",
                    g.label.c_str(), opt.commands, estimateS, perCommandMs, g.count);
    }
    RunResult full;
    if (g.count != probeCount && !Verify(dir, g, g.count, &full)) return false;

    bool first = true;
    for (int run = 0; run < opt.runs; ++run) {
        const RunResult a = Play(dir, g, g.count, "/dev/null");
        const RunResult b = Play(dir, g, 0, "/dev/null");
        if (!a.ok || !b.ok) {
            std::printf("FAIL: a timed run of %s did not exit with status 0\n", g.label.c_str());
            ShowFile("errors", dir + "/play.err", 2000);
            return false;
        }
        if (first || a.wallMs < g.playMs) g.playMs = a.wallMs;
        if (first || b.wallMs < g.startMs) g.startMs = b.wallMs;
        if (first || a.cpuMs < g.playCpuMs) g.playCpuMs = a.cpuMs;
        if (first || b.cpuMs < g.startCpuMs) g.startCpuMs = b.cpuMs;
        first = false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The undo journal, measured in this process: the engine plays the commands as the play loop
// does, with the journal kept and switched off, so that only the bookkeeping differs.

// A game compiled in memory, played headless with its output thrown away.
struct InProcessGame {
    umb::db::GameDatabase db;
    umb::ui::WindowState screen;
    umb::engine::Game g;
};

double CpuMsNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Compiles source into game; false when it does not compile cleanly.
bool CompileInProcess(InProcessGame& game, const std::string& source, FILE* sink) {
    if (umb::db::AllocateTextHeap(game.db) != umb::db::DbResult::Ok) return false;
    umb::db::ResetDatabase(game.db);
    umb::compiler::Compiler c;
    umb::compiler::BeginCompile(c, game.db);
    c.Out = sink;
    if (umb::compiler::CompileSource(c, source.data(), source.size(), "bench.adv") !=
        umb::compiler::CompileResult::Clean)
        return false;
    game.g.Db = &game.db;
    game.g.Front = {&umb::ui::WindowFrontEnd, &game.screen};
    umb::engine::OpenGameScreen(game.g);
    return true;
}

// Plays a new game of count commands as the play loop does (the events after a turn that took
// time, the autosave when the game keeps one, the location described before each command, the
// step begun before the actions), the journal kept or not; returns the CPU milliseconds the
// commands took, and their wall milliseconds in wallMs when given.
double PlayInProcess(InProcessGame& game, const std::vector<std::string>& commands, size_t count,
                     bool keep, double* wallMs = nullptr) {
    using namespace umb::engine;
    umb::engine::Game& g = game.g;
    g.Undo.enabled = keep;
    NewGame(g);
    TurnResult result = TurnResult::NoTime;
    const double start = CpuMsNow();
    const Clock::time_point wallStart = Clock::now();
    for (size_t i = 0; i < count && i < commands.size(); ++i) {
        if (result != TurnResult::NoTime && RunEvents(g, ScriptMode::Normal) == EventsResult::Quit)
            NewGame(g);
        KeepAutosave(g);
        DescribeLocation(g, g.CurrentLocation);
        char line[InputLineLength + 1];
        std::snprintf(line, sizeof line, "%s", commands[i].c_str());
        int verb = 0, noun = 0, noun2 = 0, noun3 = 0;
        ParseInput(g, line, &verb, &noun, &noun2, &noun3);
        BeginUndoStep(g);
        result = RunActions(g, verb, noun, noun2, noun3);
        if (result == TurnResult::Quit) {
            NewGame(g);
            result = TurnResult::NoTime;
        }
    }
    if (wallMs != nullptr)
        *wallMs = std::chrono::duration<double, std::milli>(Clock::now() - wallStart).count();
    return CpuMsNow() - start;
}

struct AutosaveCost {
    double keptUs = 0, offUs = 0;  // wall time per command, best of the runs
    size_t bytes = 0;              // the autosave's size
};

// Best of runs for the autosave kept in dir (written durably after every command that changed
// the game) and not, in wall time: the cost is the disk's flush, which CPU time does not see.
AutosaveCost MeasureAutosave(InProcessGame& game, const std::vector<std::string>& commands,
                             size_t count, int runs, const std::string& dir) {
    AutosaveCost cost;
    const std::string name = dir + "/autosave";
    for (int run = 0; run < runs; ++run) {
        double kept = 0, off = 0;
        umb::engine::StartAutosave(game.g, name, "");
        PlayInProcess(game, commands, count, true, &kept);
        cost.bytes = game.g.Autosave.written.size();
        game.g.Autosave = {};
        PlayInProcess(game, commands, count, true, &off);
        const double keptUs = kept * 1000.0 / static_cast<double>(count);
        const double offUs = off * 1000.0 / static_cast<double>(count);
        if (run == 0 || keptUs < cost.keptUs) cost.keptUs = keptUs;
        if (run == 0 || offUs < cost.offUs) cost.offUs = offUs;
    }
    return cost;
}

struct UndoCost {
    double keptUs = 0, offUs = 0;  // CPU per command, best of the runs
    size_t bytes = 0;              // what the journal holds after a kept play
    size_t steps = 0;              // and the commands it can take back
};

// Best of runs for the journal kept and off, interleaved so that a change of load hits both.
UndoCost MeasureUndo(InProcessGame& game, const std::vector<std::string>& commands, size_t count,
                     int runs) {
    UndoCost cost;
    for (int run = 0; run < runs; ++run) {
        const double kept = PlayInProcess(game, commands, count, true);
        cost.bytes = umb::engine::UndoBytes(game.g);
        cost.steps = game.g.Undo.steps.size();
        const double off = PlayInProcess(game, commands, count, false);
        const double keptUs = kept * 1000.0 / static_cast<double>(count);
        const double offUs = off * 1000.0 / static_cast<double>(count);
        if (run == 0 || keptUs < cost.keptUs) cost.keptUs = keptUs;
        if (run == 0 || offUs < cost.offUs) cost.offUs = offUs;
    }
    return cost;
}

struct CountingCost {
    double countedUs = 0, plainUs = 0;  // CPU per command, best of the runs
};

// Best of runs for the script lines counted, as the walkthrough tests count them for the
// coverage report, and not, interleaved so that a change of load hits both.
CountingCost MeasureCounting(InProcessGame& game, const std::vector<std::string>& commands,
                             size_t count, int runs) {
    umb::engine::ScriptCoverage counts;
    counts.eventsReached.resize(game.db.Events.size());
    counts.eventsRan.resize(game.db.Events.size());
    counts.actionsReached.resize(game.db.Actions.size());
    counts.actionsRan.resize(game.db.Actions.size());
    CountingCost cost;
    for (int run = 0; run < runs; ++run) {
        game.g.Coverage = &counts;
        const double counted = PlayInProcess(game, commands, count, true);
        game.g.Coverage = nullptr;
        const double plain = PlayInProcess(game, commands, count, true);
        const double countedUs = counted * 1000.0 / static_cast<double>(count);
        const double plainUs = plain * 1000.0 / static_cast<double>(count);
        if (run == 0 || countedUs < cost.countedUs) cost.countedUs = countedUs;
        if (run == 0 || plainUs < cost.plainUs) cost.plainUs = plainUs;
    }
    return cost;
}

void RemoveTree(const std::string& dir) {
    const std::string cmd = "rm -rf '" + dir + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir.c_str());
}

const char* Verdict(double ratio) { return ratio <= 1.0 ? "OK" : "SLOW"; }

void Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--runs N] [--commands N] [--budget SECONDS] [--keep]\n",
                 program);
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--runs") == 0 && hasValue) {
            opt.runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--commands") == 0 && hasValue) {
            opt.commands = static_cast<size_t>(std::max(1, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--budget") == 0 && hasValue) {
            opt.budgetSeconds = std::max(1.0, std::atof(argv[++i]));
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            opt.keep = true;
        } else {
            Usage(argv[0]);
            return 2;
        }
    }

    char dirTemplate[] = "/tmp/umb-bench-play-XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = dirTemplate;
    // umb finds its game files, and writes saved games, in the current folder.
    if (chdir(dir.c_str()) != 0) {
        std::perror("chdir");
        return 1;
    }

    const std::string maxSource = GenerateMaxSource();
    if (!Compile(dir, "small", SmallSource()) || !Compile(dir, "max", maxSource)) {
        if (!opt.keep) RemoveTree(dir);
        return 1;
    }

    Game small{"small", "small", ">", MakeCommands(SmallVocabulary(), opt.commands, 0x534D414Cull)};
    Game max{"max", "max", "What now?",
             MakeCommands(MaxVocabulary(maxSource), opt.commands, 0x4D4158ull)};
    std::fflush(stdout);
    if (!Measure(dir, small, opt) || !Measure(dir, max, opt)) {
        if (!opt.keep) RemoveTree(dir);
        return 1;
    }

    std::printf("whole processes, best of %d, umb %s\n", opt.runs, UMB_BINARY);
    for (const Game* g : {&small, &max})
        std::printf("%s: start-up %.2f ms (cpu %.2f ms); %zu commands %.1f ms (cpu %.1f ms)\n",
                    g->label.c_str(), g->startMs, g->startCpuMs, g->count, g->playMs, g->playCpuMs);

    const double startRatio = small.startMs / SmallStartTargetMs;
    std::printf("small: start-up %.2f ms, ratio %.2f (target <= 1.00 of %.0f ms): %s\n",
                small.startMs, startRatio, SmallStartTargetMs, Verdict(startRatio));
    std::printf("max: start-up %.2f ms (no target)\n", max.startMs);

    const double smallUs = small.UsPerCommand();
    const double smallRatio = smallUs / SmallCommandTargetUs;
    std::printf("small: %.1f us/command (cpu %.1f), ratio %.2f (target <= 1.00 of %.0f us): %s\n",
                smallUs, small.CpuUsPerCommand(), smallRatio, SmallCommandTargetUs,
                Verdict(smallRatio));

    // The largest game is held to twenty commands of the small one as measured in this run, so
    // the ratio shows how the cost of a command grows with the size of the game.
    const double maxTargetUs = MaxCommandFactor * std::max(smallUs, 1.0);
    const double maxUs = max.UsPerCommand();
    const double maxRatio = maxUs / maxTargetUs;
    std::printf("max: %.1f us/command (cpu %.1f), ratio %.2f (target <= 1.00 of %.0f x small = "
                "%.0f us): %s\n",
                maxUs, max.CpuUsPerCommand(), maxRatio, MaxCommandFactor, maxTargetUs,
                Verdict(maxRatio));
    const double maxAbsRatio = maxUs / (MaxCommandFactor * SmallCommandTargetUs);
    std::printf("max: against %.0f x the small target (%.0f us): ratio %.2f: %s\n",
                MaxCommandFactor, MaxCommandFactor * SmallCommandTargetUs, maxAbsRatio,
                Verdict(maxAbsRatio));

    // The undo journal, in this process; any question a command asks is answered "n" or "1".
    FILE* sink = std::fopen("/dev/null", "w");
    FILE* noKeys = std::fopen("/dev/null", "r");
    if (sink == nullptr || noKeys == nullptr) {
        std::printf("FAIL: cannot open /dev/null\n");
        return 1;
    }
    umb::gfx::GfxUseHeadless(true);
    umb::gfx::GfxSetHeadlessStreams(noKeys, sink);
    umb::gfx::GfxSetHeadlessEndKeys("n1", 2);
    InProcessGame smallGame, maxGame;
    if (!CompileInProcess(smallGame, SmallSource(), sink) ||
        !CompileInProcess(maxGame, maxSource, sink)) {
        std::printf("FAIL: the games do not compile in this process\n");
        return 1;
    }
    const size_t undoCommands = opt.commands;
    for (const auto& [plain, game] : {std::pair{&small, &smallGame}, {&max, &maxGame}}) {
        const UndoCost cost = MeasureUndo(*game, plain->commands, undoCommands, opt.runs);
        const double overhead = cost.keptUs / std::max(cost.offUs, 0.001) - 1.0;
        const double ratio = (1.0 + overhead) / (1.0 + MaxUndoOverhead);
        std::printf("%s: undo %.1f us/command (cpu, in process) against %.1f without: "
                    "%+.1f %% per command, ratio %.2f (target <= 1.00 of +%.0f %%): %s\n",
                    plain->label.c_str(), cost.keptUs, cost.offUs, overhead * 100.0, ratio,
                    MaxUndoOverhead * 100.0, Verdict(ratio));
        if (game == &maxGame)
            std::printf("undo: %zu bytes kept after %zu commands of the maximum game (%zu steps)\n",
                        cost.bytes, undoCommands, cost.steps);
    }
    // Counting lines must not slow play by more than MaxCountingOverhead; it is measured on the
    // CPU time of a command, which machine load disturbs less than the wall time.
    for (const auto& [plain, game] : {std::pair{&small, &smallGame}, {&max, &maxGame}}) {
        const CountingCost cost = MeasureCounting(*game, plain->commands, undoCommands, opt.runs);
        const double overhead = cost.countedUs / std::max(cost.plainUs, 0.001) - 1.0;
        const double ratio = (1.0 + overhead) / (1.0 + MaxCountingOverhead);
        std::printf("%s: counting lines %.1f us/command (cpu, in process) against %.1f: overhead "
                    "%+.1f %%, ratio %.2f (target <= 1.00 of +%.0f %%): %s\n",
                    plain->label.c_str(), cost.countedUs, cost.plainUs, overhead * 100.0, ratio,
                    MaxCountingOverhead * 100.0, Verdict(ratio));
    }

    // The autosave, reported: its cost is the disk's, as a saved game's is.
    for (const auto& [plain, game] : {std::pair{&small, &smallGame}, {&max, &maxGame}}) {
        const AutosaveCost cost =
            MeasureAutosave(*game, plain->commands, undoCommands, opt.runs, dir);
        std::printf("%s: autosave %.1f us/command (wall, in process, %zu bytes written durably) "
                    "against %.1f without: %+.1f us per command\n",
                    plain->label.c_str(), cost.keptUs, cost.bytes, cost.offUs,
                    cost.keptUs - cost.offUs);
    }

    if (opt.keep)
        std::printf("files kept in %s\n", dir.c_str());
    else
        RemoveTree(dir);
    return 0;
}
