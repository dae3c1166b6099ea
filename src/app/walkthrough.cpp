// walkthrough.cpp - the author's walkthrough tests: key scripts replayed against their transcripts.
#include "app/walkthrough.h"
#include "app/workbench.h"
#include "base/fileio.h"
#include "base/nocase.h"
#include "compiler/compiler.h"
#include "db/gamefile.h"
#include "engine/engine.h"

#include "ui/gfx/gfx.h"
#include "ui/text/text_screen.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace umb::db;
using namespace umb::compiler;
using namespace umb::engine;

namespace umb::app {

namespace fs = std::filesystem;

namespace {

constexpr size_t MaxTranscript = 16u << 20;  // a runaway game's output is cut here
constexpr size_t MaxCoverageFile = 64u << 20;
constexpr size_t DiffContext = 3;
constexpr size_t MaxDiffLines = 30;      // of a failure's diff, context lines included
constexpr long MaxEdits = 1000;          // past this many changed lines the diff stops aligning
constexpr unsigned WalkthroughSeed = 1;  // the random numbers every walkthrough plays with

// Reads a whole file of at most limit bytes; returns 0, or -1 when it cannot be read whole.
int ReadTextFile(const fs::path& path, std::string& text, size_t limit) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return -1;
    const int read = static_cast<int>(base::ReadWholeFile(file, text, limit));
    std::fclose(file);
    return read == 0 ? 0 : -1;
}

// Adds the counts of one play to sum.
void AddCoverage(const ScriptCoverage& play, ScriptCoverage& sum) {
    auto add = [](const std::vector<uint32_t>& from, std::vector<uint32_t>& to) {
        if (to.size() < from.size()) to.resize(from.size());
        for (size_t i = 0; i < from.size(); ++i) to[i] += from[i];
    };
    add(play.eventsReached, sum.eventsReached);
    add(play.eventsRan, sum.eventsRan);
    add(play.actionsReached, sum.actionsReached);
    add(play.actionsRan, sum.actionsRan);
}

// What one play of a walkthrough gave.
struct PlayResult {
    std::string transcript;
    std::string errors;  // what the game wrote on standard error
    int status = 0;      // the status the program would have ended with
    bool timedOut = false;
    bool cut = false;  // the transcript grew past its limit and the play was stopped
    double seconds = 0;
    int commands = 0;         // the key script's lines consumed
    std::string lastCommand;  // the last of them
};

// Stops the play on screen, as Ctrl+C does, when it is still running timeoutSeconds after the
// watchdog was started; the turn then ends at the script walk's next look at the front end.
class Watchdog {
  public:
    Watchdog(int timeoutSeconds, ui::TextScreen& screen)
        : thread_([this, timeoutSeconds, &screen] {
              std::unique_lock<std::mutex> hold(mutex_);
              if (changed_.wait_for(hold, std::chrono::seconds(timeoutSeconds),
                                    [this] { return done_; }))
                  return;
              fired_ = true;
              ui::TextScreenStop(screen);
          }) {}
    ~Watchdog() { Finish(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Ends the watch; returns whether the time limit passed first.
    bool Finish() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            done_ = true;
            changed_.notify_all();
        }
        if (thread_.joinable()) thread_.join();
        return fired_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    bool fired_ = false;
    std::thread thread_;
};

// Collects what is written on standard error meanwhile (the game's messages, an unknown key of
// the script), as a program of its own would have written it there.
class ErrorCapture {
  public:
    ErrorCapture() = default;
    ~ErrorCapture() {
        std::string ignored;
        End(ignored);
    }
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    bool Begin() {
        file_ = std::tmpfile();
        if (file_ == nullptr) return false;
        std::fflush(stderr);
        saved_ = ::dup(2);
        if (saved_ >= 0 && ::dup2(::fileno(file_), 2) >= 0) return true;
        if (saved_ >= 0) ::close(saved_);
        saved_ = -1;
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }

    // Puts standard error back and hands what was written to it.
    void End(std::string& text) {
        if (file_ == nullptr) return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        std::rewind(file_);
        if (base::ReadWholeFile(file_, text, MaxTranscript) != base::ReadResult::Ok)
            text = "(standard error lost)";
        std::fclose(file_);
        file_ = nullptr;
    }

  private:
    FILE* file_ = nullptr;
    int saved_ = -1;
};

// Loads the game of the play: the source compiled as `umb -t` compiles it (its warnings in the
// transcript and the first key taken to go on), or the compiled file. Returns 0, or the status
// the program would have ended with, the reason on standard error.
int LoadForPlay(GameDatabase& db, const std::string& game, bool compiled, FILE* keys, FILE* out) {
    if (AllocateTextHeap(db) != DbResult::Ok || ResetDatabase(db) != DbResult::Ok) {
        std::fprintf(stderr, "Error: Memory Allocation Error, Cannot Continue!\n");
        return ExitFailure;
    }
    if (compiled) {
        if (ReadGameFile(db, (game + ".umb").c_str()) == base::ReadResult::Ok) return 0;
        std::fprintf(stderr, "Error: File %s.umb is damaged or is not a game file!\n",
                     game.c_str());
        return ExitFailure;
    }
    const std::string source = game + ".adv";
    FILE* file = std::fopen(source.c_str(), "r");
    if (file == nullptr) {
        std::fprintf(stderr, "Error: File %s not found!\n", source.c_str());
        return ExitFailure;
    }
    Compiler c;
    BeginCompile(c, db);
    c.Out = out;
    const int result = static_cast<int>(CompileSourceFile(c, file, source.c_str()));
    std::fclose(file);
    if (result < 0) return ExitFailure;
    if (result > 0) (void)std::fgetc(keys);  // the key that goes on past the warnings
    return 0;
}

// Plays the game in its folder (made the working folder meanwhile) in this process from a fresh
// database on the text screen, with the key script at keysPath and the fixed seed, stopped after
// timeoutSeconds; the counts go to coverage when given. Returns 0, or -1 when the play could not
// be set up.
int PlayInProcess(const fs::path& folder, const std::string& game, bool compiled,
                  const fs::path& keysPath, int timeoutSeconds, ScriptCoverage* coverage,
                  PlayResult& result) {
    FILE* keys = std::fopen(keysPath.c_str(), "rb");
    if (keys == nullptr) return -1;
    char* text = nullptr;  // what the compiler says before the game
    size_t textSize = 0;
    FILE* out = ::open_memstream(&text, &textSize);
    ErrorCapture errors;
    const fs::path before = fs::current_path();
    std::error_code ec;
    if (out != nullptr) fs::current_path(folder, ec);
    if (out == nullptr || ec || !errors.Begin()) {
        if (out != nullptr) std::fclose(out);
        std::free(text);
        std::fclose(keys);
        fs::current_path(before, ec);
        return -1;
    }
    const auto start = std::chrono::steady_clock::now();
    std::srand(WalkthroughSeed);
    ui::TextScreen screen;
    screen.keys.in = keys;
    Watchdog watchdog(timeoutSeconds, screen);
    {
        GameDatabase db;
        result.status = LoadForPlay(db, game, compiled, keys, out);
        if (result.status == 0) {
            PlayView view;
            view.Front = {&ui::TextScreenFrontEnd, &screen};
            const engine::PlayResult played = PlayGames(db, game, false, coverage, view);
            result.status = played == engine::PlayResult::Ended     ? ExitSuccess
                            : played == engine::PlayResult::Stopped ? ExitStopped
                                                                    : ExitFailure;
        }
    }
    result.timedOut = watchdog.Finish();
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.commands = screen.keys.lines;
    result.cut = screen.cut;
    result.lastCommand = screen.keys.lastLine;
    fs::current_path(before, ec);
    errors.End(result.errors);
    std::fclose(out);
    result.transcript.assign(text != nullptr ? text : "", textSize);
    result.transcript += screen.transcript;
    std::free(text);
    std::fclose(keys);
    return 0;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// Whether a transcript line is a command line: one that begins with the game's prompt.
bool IsCommandLine(const std::string& line, const std::string& prompt) {
    return !prompt.empty() && line.compare(0, prompt.size(), prompt) == 0;
}

// One line of an edit script: kept in both transcripts, only in the expected one, only in the
// new one. a and b are its place on each side; a line of one side only has, on the other, the
// number of that side's lines before it.
enum EditKind { EditSame, EditRemoved, EditAdded };
struct Edit {
    EditKind kind;
    size_t a;
    size_t b;
};

// The furthest reaches of each step of Myers' algorithm: at(d, k) is the furthest x on the
// diagonal k = x - y that d edits reach.
struct Reaches {
    std::vector<std::vector<long>> rows;
    long at(long d, long k) const {
        return rows[static_cast<size_t>(d)][static_cast<size_t>(k + d)];
    }
    // The diagonal step d came from to reach diagonal k: down from k + 1 (a line added) or
    // across from k - 1 (a line removed), whichever reached further.
    long from(long d, long k) const {
        return k == -d || (k != d && at(d - 1, k - 1) < at(d - 1, k + 1)) ? k + 1 : k - 1;
    }
};

// Appends the shortest edit script turning a[a0, a1) into b[b0, b1) (Myers' greedy algorithm,
// walked back from its end through every step's reaches). Returns false, appending nothing,
// when it takes more than MaxEdits edits.
bool ShortestEdits(const std::vector<std::string>& a, size_t a0, size_t a1,
                   const std::vector<std::string>& b, size_t b0, size_t b1,
                   std::vector<Edit>& edits) {
    const long n = static_cast<long>(a1 - a0), m = static_cast<long>(b1 - b0);
    auto same = [&](long x, long y) {
        return a[a0 + static_cast<size_t>(x)] == b[b0 + static_cast<size_t>(y)];
    };
    Reaches r;
    long needed = -1;
    for (long d = 0; d <= std::min<long>(n + m, MaxEdits) && needed < 0; ++d) {
        r.rows.emplace_back(static_cast<size_t>(2 * d + 1));
        for (long k = -d; k <= d; k += 2) {
            long x = d == 0                  ? 0
                     : r.from(d, k) == k + 1 ? r.at(d - 1, k + 1)
                                             : r.at(d - 1, k - 1) + 1;
            long y = x - k;
            while (x < n && y < m && same(x, y)) ++x, ++y;
            r.rows.back()[static_cast<size_t>(k + d)] = x;
            if (x >= n && y >= m) needed = d;
        }
    }
    if (needed < 0) return false;
    std::vector<Edit> back;
    long x = n, y = m;
    for (long d = needed; d >= 0; --d) {
        const long k = x - y;
        const long fromK = d == 0 ? 0 : r.from(d, k);
        const long fromX = d == 0 ? 0 : r.at(d - 1, fromK), fromY = fromX - fromK;
        const long snakeX = d == 0 || fromK == k + 1 ? fromX : fromX + 1;
        for (; x > snakeX; --x, --y)
            back.push_back(
                {EditSame, a0 + static_cast<size_t>(x - 1), b0 + static_cast<size_t>(y - 1)});
        if (d > 0)
            back.push_back({fromK == k + 1 ? EditAdded : EditRemoved,
                            a0 + static_cast<size_t>(fromX), b0 + static_cast<size_t>(fromY)});
        x = fromX;
        y = fromY;
    }
    edits.insert(edits.end(), back.rbegin(), back.rend());
    return true;
}

// The edit script of two transcripts: their common head and tail, and between them the
// shortest script, or, past MaxEdits, every line removed and then every line added.
std::vector<Edit> DiffLines(const std::vector<std::string>& a, const std::vector<std::string>& b,
                            bool& aligned) {
    size_t head = 0, tail = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    std::vector<Edit> edits;
    for (size_t i = 0; i < head; ++i) edits.push_back({EditSame, i, i});
    const size_t aStop = a.size() - tail, bStop = b.size() - tail;
    aligned = ShortestEdits(a, head, aStop, b, head, bStop, edits);
    if (!aligned) {
        for (size_t i = head; i < aStop; ++i) edits.push_back({EditRemoved, i, head});
        for (size_t j = head; j < bStop; ++j) edits.push_back({EditAdded, aStop, j});
    }
    for (size_t i = 0; i < tail; ++i) edits.push_back({EditSame, aStop + i, bStop + i});
    return edits;
}

// Appends the lines of a unified diff of edits, hunk by hunk, each change with DiffContext kept
// lines around it (changes nearer than twice that share a hunk) and its removed lines before
// its added ones. Header lines begin with "@".
void UnifiedLines(const std::vector<Edit>& edits, const std::vector<std::string>& a,
                  const std::vector<std::string>& b, std::vector<std::string>& lines) {
    for (size_t i = 0; i < edits.size(); ++i) {
        if (edits[i].kind == EditSame) continue;
        size_t end = i;  // past the hunk's last change
        for (size_t run = i; run < edits.size();) {
            while (run < edits.size() && edits[run].kind != EditSame) ++run;
            end = run;
            while (run < edits.size() && edits[run].kind == EditSame) ++run;
            if (run == edits.size() || run - end > 2 * DiffContext) break;
        }
        const size_t from = i > DiffContext ? i - DiffContext : 0;
        const size_t to = std::min(edits.size(), end + DiffContext);
        size_t aCount = 0, bCount = 0;
        for (size_t e = from; e < to; ++e) {
            aCount += edits[e].kind != EditAdded ? 1 : 0;
            bCount += edits[e].kind != EditRemoved ? 1 : 0;
        }
        // An empty side is numbered by the line before it, as diff -u does.
        lines.push_back("@@ -" + std::to_string(edits[from].a + (aCount > 0 ? 1 : 0)) + "," +
                        std::to_string(aCount) + " +" +
                        std::to_string(edits[from].b + (bCount > 0 ? 1 : 0)) + "," +
                        std::to_string(bCount) + " @@");
        for (size_t e = from; e < to;) {
            if (edits[e].kind == EditSame) {
                lines.push_back(" " + a[edits[e].a]);
                ++e;
                continue;
            }
            size_t changeEnd = e;
            while (changeEnd < to && edits[changeEnd].kind != EditSame) ++changeEnd;
            for (size_t c = e; c < changeEnd; ++c)
                if (edits[c].kind == EditRemoved) lines.push_back("-" + a[edits[c].a]);
            for (size_t c = e; c < changeEnd; ++c)
                if (edits[c].kind == EditAdded) lines.push_back("+" + b[edits[c].b]);
            e = changeEnd;
        }
        i = end;
    }
}

}  // namespace

void DiffTranscripts(const std::string& want, const std::string& got, const std::string& wantName,
                     const std::string& gotName, const std::string& prompt, std::string& report) {
    const std::vector<std::string> a = SplitLines(want), b = SplitLines(got);
    bool aligned = true;
    const std::vector<Edit> edits = DiffLines(a, b, aligned);
    const auto first =
        std::find_if(edits.begin(), edits.end(), [](const Edit& e) { return e.kind != EditSame; });
    if (first == edits.end()) {
        report += "    the transcripts differ only in the line break at their end\n";
        return;
    }
    // The lines before the first change are the same on both sides.
    int command = 0;
    for (size_t i = 0; i < first->a; ++i) command += IsCommandLine(a[i], prompt) ? 1 : 0;
    const std::string& parted = first->kind == EditRemoved ? a[first->a] : b[first->b];
    command += IsCommandLine(parted, prompt) ? 1 : 0;
    report += "    the transcripts part at command " + std::to_string(std::max(1, command)) + "\n";
    if (!aligned)
        report += "    (over " + std::to_string(MaxEdits) +
                  " lines differ: every line from there is shown as changed)\n";
    report += "    --- " + wantName + "\n    +++ " + gotName + "\n";
    std::vector<std::string> lines;
    UnifiedLines(edits, a, b, lines);
    size_t shown = 0;
    for (const std::string& line : lines) {
        if (shown == MaxDiffLines) {
            report += "    ...\n";
            return;
        }
        shown += line[0] == '@' ? 0 : 1;
        report += "    " + line + "\n";
    }
}

namespace {

// Whether a file is a picture (a PNG file), which the text screen the walkthroughs play on never
// opens.
bool IsPictureFile(const fs::path& path) {
    const std::string ext = path.extension().string();
    return ext.size() == 4 && base::CompareNoCase(ext.c_str(), ".png") == 0;
}

// Copies the game's folder into work: the game plays there, so its included files and the
// games it saved before are found and the games it saves do not touch the author's. Pictures are
// left out, never being opened: copying them took most of a walkthrough's time. Returns 0, or -1
// on failure.
int CopyFolder(const fs::path& from, const fs::path& work) {
    std::error_code ec;
    fs::remove_all(work, ec);
    fs::create_directories(work, ec);
    fs::recursive_directory_iterator it(from, fs::directory_options::follow_directory_symlink, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path to = work / it->path().lexically_relative(from);
        if (it->is_directory(ec))
            fs::create_directories(to, ec);
        else if (!ec && !IsPictureFile(it->path()))
            fs::copy(it->path(), to, fs::copy_options::none, ec);
        if (ec) return -1;
    }
    return ec ? -1 : 0;
}

// One walkthrough: its key script and transcript and the name it is shown by.
struct Walkthrough {
    std::string name;
    fs::path keys;
    fs::path transcript;
};

// Everything one run of the tests needs beside the switches.
struct TestRun {
    fs::path folder;        // the game's folder ("." for none)
    std::string game;       // the game's name within it
    std::string source;     // the source's path as the author names it, for messages
    fs::path work;          // the scratch folder, removed at the end
    fs::path compiledGame;  // the game file compiled from the source, in work
    std::string prompt;
    GameDatabase* db = nullptr;
    CheckLog places;  // where each compiled script line was written
    ScriptCoverage coverage;
};

// Plays w in one form ("source" or "compiled") from a fresh copy of the folder; with coverage
// the counts are added to the run's. Returns 0 when it played; report then says why it failed
// when failed is set.
int PlayForm(const Startup& s, TestRun& t, const Walkthrough& w, bool compiled, PlayResult& result,
             bool& failed, std::string& report) {
    const fs::path copy = t.work / "game";
    if (CopyFolder(t.folder, copy) != 0) {
        report += "    cannot copy the game's folder to " + copy.string() + "\n";
        failed = true;
        return -1;
    }
    std::error_code ec;
    if (compiled && !fs::copy_file(t.compiledGame, copy / (t.game + ".umb"),
                                   fs::copy_options::overwrite_existing, ec)) {
        report += "    cannot copy the compiled game to " + copy.string() + "\n";
        failed = true;
        return -1;
    }
    const bool counting = s.Coverage && !compiled;
    ScriptCoverage counts;
    if (PlayInProcess(copy, t.game, compiled, w.keys, s.TimeoutSeconds,
                      counting ? &counts : nullptr, result) != 0) {
        report += "    cannot start the game\n";
        failed = true;
        return -1;
    }
    const char* form = compiled ? "compiled" : "source";
    if (result.timedOut) {
        report += "    " + std::string(form) + ": over the time limit of " +
                  std::to_string(s.TimeoutSeconds) + " s after command " +
                  std::to_string(result.commands) + ": " + result.lastCommand + "\n";
        failed = true;
    } else if (result.cut) {
        report += "    " + std::string(form) + ": the transcript passed " +
                  std::to_string(gfx::HeadlessPlayTranscriptLimit >> 20) + " MiB after command " +
                  std::to_string(result.commands) + ": " + result.lastCommand +
                  "; the game was stopped\n";
        failed = true;
    } else if (result.status != 0 || !result.errors.empty()) {
        report += "    " + std::string(form) + ": the game ended with status " +
                  std::to_string(result.status) + "\n";
        for (const std::string& line : SplitLines(result.errors)) report += "    " + line + "\n";
        failed = true;
    }
    // A play stopped over its time limit counts nothing, as one that never ended.
    if (counting && !result.timedOut && !result.cut) AddCoverage(counts, t.coverage);
    fs::remove_all(copy, ec);
    return 0;
}

// Runs one walkthrough in both forms (blessing it first from the source with --bless); prints
// its line and any report, over the progress line when one is shown. Returns 1 when it passed,
// else 0.
int RunOne(const Startup& s, TestRun& t, const Walkthrough& w, bool progress) {
    std::string report;
    bool failed = false;
    double seconds = 0;
    std::string want;
    const std::string wantName = w.transcript.filename().string();
    bool haveWant = !s.Bless && ReadTextFile(w.transcript, want, MaxTranscript) == 0;
    if (!s.Bless && !haveWant) {
        report += "    cannot read " + wantName + " (--bless writes it)\n";
        failed = true;
    }
    for (const bool compiled : {false, true}) {
        if (failed) break;
        PlayResult r;
        PlayForm(s, t, w, compiled, r, failed, report);
        seconds += r.seconds;
        if (failed) break;
        if (!haveWant) {
            if (base::WriteFileAtomically(w.transcript.string(), r.transcript.data(),
                                          r.transcript.size()) != base::WriteResult::Ok) {
                report += "    cannot write " + w.transcript.string() + "\n";
                failed = true;
                break;
            }
            want = r.transcript;
            haveWant = true;
            report += "    wrote " + wantName + "\n";
        } else if (r.transcript != want) {
            const std::string form = compiled ? "compiled" : "source";
            DiffTranscripts(want, r.transcript, wantName, w.name + " (" + form + ")", t.prompt,
                            report);
            failed = true;
        }
    }
    char line[64];
    std::snprintf(line, sizeof line, "  %.2f s", seconds);
    if (progress) std::fprintf(stderr, "\r\033[K");
    std::printf("%-7s %s%s\n%s", failed ? "FAILED" : "ok", w.name.c_str(), line, report.c_str());
    std::fflush(stdout);
    return failed ? 0 : 1;
}

// Whether the key script named stem (its file name without ".keys") is one of game's: GAME
// itself or GAME-something, and not a walkthrough of a game with a longer name beside it
// ("mill-2-win" is mill-2's when mill-2.adv is there).
bool IsWalkthroughOf(const fs::path& folder, const std::string& game, const std::string& stem) {
    if (stem == game) return true;
    if (stem.size() <= game.size() + 1 || stem.compare(0, game.size(), game) != 0 ||
        stem[game.size()] != '-')
        return false;
    for (size_t dash = stem.find('-', game.size() + 1);; dash = stem.find('-', dash + 1)) {
        std::error_code ec;
        if (fs::is_regular_file(folder / (stem.substr(0, dash) + ".adv"), ec)) return false;
        if (dash == std::string::npos) return true;
    }
}

// The walkthroughs beside the game: GAME.keys and GAME-*.keys, sorted by name.
std::vector<Walkthrough> FindWalkthroughs(const fs::path& folder, const std::string& game) {
    std::vector<Walkthrough> found;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        if (e.path().extension() != ".keys" || !e.is_regular_file() ||
            !IsWalkthroughOf(folder, game, e.path().stem().string()))
            continue;
        fs::path transcript = e.path();
        transcript.replace_extension(".txt");
        found.push_back({e.path().stem().string(), e.path(), transcript});
    }
    std::sort(found.begin(), found.end(),
              [](const Walkthrough& a, const Walkthrough& b) { return a.name < b.name; });
    return found;
}

// Compiles the source from within its folder, where included files are found, with the place
// of every script line; writes the game file into the scratch folder. Returns 0, or -1 with the
// reason on standard error.
int CompileForTests(TestRun& t) {
    const fs::path before = fs::current_path();
    std::error_code ec;
    fs::current_path(t.folder, ec);
    if (ec) {
        std::fprintf(stderr, "%s: cannot enter the game's folder\n", t.folder.c_str());
        return -1;
    }
    const std::string source = t.game + ".adv";
    FILE* file = std::fopen(source.c_str(), "r");
    const bool opened = file != nullptr;
    int result = -1;
    if (opened) {
        Compiler c;
        BeginCompile(c, *t.db);
        c.Out = nullptr;  // the author reads diagnostics from --check
        c.Check = &t.places;
        result = static_cast<int>(CompileSourceFile(c, file, source.c_str()));
        std::fclose(file);
    }
    fs::current_path(before, ec);
    if (!opened) {
        std::fprintf(stderr, "%s: cannot open the source\n", t.source.c_str());
        return -1;
    }
    if (result < 0) {
        std::fprintf(stderr, "%s: the source cannot be compiled (umb --check names the errors)\n",
                     t.source.c_str());
        return -1;
    }
    // Played from such a source, the game shows its warnings and waits for a key first, which
    // the compiled game does not: the two forms cannot give the same transcript.
    if (result > 0)
        std::fprintf(stderr,
                     "%s: the source has warnings, which take the first key of each walkthrough "
                     "played from it (umb --check names them)\n",
                     t.source.c_str());
    if (WriteGameFile(*t.db, t.compiledGame.c_str()) != base::WriteResult::Ok) {
        std::fprintf(stderr, "%s: cannot write the compiled game\n", t.compiledGame.c_str());
        return -1;
    }
    const char* prompt = t.db->Prompt;
    t.prompt.assign(prompt, std::strcspn(prompt, "%"));
    return 0;
}

// The lines of a file; empty when it cannot be read.
std::vector<std::string> SourceLines(const fs::path& path) {
    std::string text;
    if (ReadTextFile(path, text, MaxCoverageFile) != 0) return {};
    std::vector<std::string> lines = SplitLines(text);
    for (std::string& l : lines)
        if (!l.empty() && l.back() == '\r') l.pop_back();
    return lines;
}

}  // namespace

void CountSection(const std::vector<ScriptLine>& table, const std::vector<SourcePlace>& where,
                  const std::vector<std::string>& files, const std::vector<uint32_t>& reached,
                  const std::vector<uint32_t>& ran, LineCounts& counts) {
    LineCounts actionRuns, reaches;
    for (size_t i = 0; i < where.size() && i < table.size(); ++i) {
        const size_t file = static_cast<size_t>(where[i].file);
        if (where[i].file < 0 || file >= files.size()) continue;
        const std::pair<std::string, int> key = {files[file], where[i].line};
        if (table[i].kind == KindAction) {
            uint32_t& n = actionRuns[key];
            n = std::max(n, i < ran.size() ? ran[i] : 0u);
        } else {
            uint32_t& n = reaches[key];
            n = std::max(n, i < reached.size() ? reached[i] : 0u);
        }
    }
    counts.insert(actionRuns.begin(), actionRuns.end());
    counts.insert(reaches.begin(), reaches.end());  // kept only for lines without an action
}

// Prints the section's summary and its lines never run; names are shown under the folder.
void ReportSection(const char* title, const LineCounts& counts, const fs::path& folder,
                   std::map<std::string, std::vector<std::string>>& sources) {
    size_t run = 0;
    for (const auto& [key, n] : counts) run += n > 0 ? 1 : 0;
    const size_t total = counts.size();
    std::printf("%s: %zu of %zu lines run (%zu %%)\n", title, run, total,
                total == 0 ? 100 : run * 100 / total);
    for (const auto& [key, n] : counts) {
        if (n > 0) continue;
        std::vector<std::string>& lines = sources[key.first];
        if (lines.empty()) lines = SourceLines(folder / key.first);
        const size_t at = static_cast<size_t>(key.second - 1);
        std::printf("%s:%d: note: never run: %s\n", (folder / key.first).lexically_normal().c_str(),
                    key.second, at < lines.size() ? lines[at].c_str() : "");
    }
}

namespace {

// Writes GAME.coverage: every file with script lines, each line with its count before it as
// gcov lists a source (##### for a script line never run, - for other lines). Returns 0, or -1.
int WriteCoverageListing(const TestRun& t, const LineCounts& counts, const fs::path& path,
                         std::map<std::string, std::vector<std::string>>& sources) {
    std::vector<std::string> files = {t.game + ".adv"};
    for (const auto& [key, n] : counts)
        if (std::find(files.begin(), files.end(), key.first) == files.end())
            files.push_back(key.first);
    std::string text;
    char buf[48];
    for (const std::string& name : files) {
        std::vector<std::string>& lines = sources[name];
        if (lines.empty()) lines = SourceLines(t.folder / name);
        text += "        -:    0:Source:" + name + "\n";
        for (size_t i = 0; i < lines.size(); ++i) {
            const auto it = counts.find({name, static_cast<int>(i + 1)});
            if (it == counts.end())
                std::snprintf(buf, sizeof buf, "%9s:%5zu:", "-", i + 1);
            else if (it->second == 0)
                std::snprintf(buf, sizeof buf, "%9s:%5zu:", "#####", i + 1);
            else
                std::snprintf(buf, sizeof buf, "%9u:%5zu:", it->second, i + 1);
            text += buf + lines[i] + "\n";
        }
    }
    return base::WriteFileAtomically(path.string(), text.data(), text.size()) ==
                   base::WriteResult::Ok
               ? 0
               : -1;
}

// Prints the coverage summary and lines never run, and writes GAME.coverage beside the game.
// Returns 0, or -1 when the listing cannot be written.
int ReportCoverage(const TestRun& t) {
    LineCounts events, actions;
    CountSection(t.db->Events, t.places.events, t.places.files, t.coverage.eventsReached,
                 t.coverage.eventsRan, events);
    CountSection(t.db->Actions, t.places.actions, t.places.files, t.coverage.actionsReached,
                 t.coverage.actionsRan, actions);
    std::map<std::string, std::vector<std::string>> sources;
    ReportSection("Events", events, t.folder, sources);
    ReportSection("Actions", actions, t.folder, sources);
    LineCounts all = events;
    all.insert(actions.begin(), actions.end());
    const fs::path listing = t.folder / (t.game + ".coverage");
    if (WriteCoverageListing(t, all, listing, sources) != 0) {
        std::fprintf(stderr, "%s: cannot write the coverage listing\n", listing.c_str());
        return -1;
    }
    std::printf("wrote %s\n", listing.lexically_normal().c_str());
    return 0;
}

}  // namespace

int RunWalkthroughs(const Startup& s) {
    TestRun t;
    const fs::path game(s.GameName);
    t.folder = game.has_parent_path() ? game.parent_path() : fs::path(".");
    t.game = game.filename().string();
    // The game name was cut at its first point: naming the source read shows which file that is.
    t.source = (t.folder / (t.game + ".adv")).lexically_normal().string();
    const std::vector<Walkthrough> walks = FindWalkthroughs(t.folder, t.game);
    if (walks.empty()) {
        std::fprintf(stderr, "%s: no walkthroughs (%s.keys or %s-*.keys) beside it\n",
                     t.source.c_str(), t.game.c_str(), t.game.c_str());
        return ExitFailure;
    }
    std::printf("%s: %zu walkthrough%s\n", t.source.c_str(), walks.size(),
                walks.size() == 1 ? "" : "s");
    char work[] = "/tmp/umb-test-XXXXXX";
    const char* made = ::mkdtemp(work);
    if (made == nullptr) {
        std::fprintf(stderr, "cannot make a scratch folder in /tmp\n");
        return ExitFailure;
    }
    t.work = made;
    t.compiledGame = t.work / "compiled.umb";
    GameDatabase db;
    t.db = &db;
    int passed = 0, failed = 0;
    int status = ExitFailure;
    if (AllocateTextHeap(db) == DbResult::Ok && ResetDatabase(db) == DbResult::Ok &&
        CompileForTests(t) == 0) {
        const bool progress = walks.size() > 3 && ::isatty(2) != 0;
        for (size_t i = 0; i < walks.size(); ++i) {
            if (progress)
                std::fprintf(stderr, "[%zu/%zu] %s", i + 1, walks.size(), walks[i].name.c_str());
            if (RunOne(s, t, walks[i], progress) == 1)
                ++passed;
            else
                ++failed;
        }
        const int coverage = s.Coverage ? ReportCoverage(t) : 0;
        std::printf("%d passed, %d failed\n", passed, failed);
        status = failed == 0 && coverage == 0 ? ExitSuccess : ExitFailure;
    }
    std::error_code ec;
    fs::remove_all(t.work, ec);
    return status;
}

}  // namespace umb::app
