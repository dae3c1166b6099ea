// lsp_diagnostics.cpp - the checker's findings and the walkthroughs' coverage as diagnostics.
#include "app/lsp/lsp_server.h"

#include "app/lsp/lsp_text.h"
#include "base/fileio.h"
#include "base/nocase.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

using namespace umb::compiler;

namespace umb::lsp {

namespace {

namespace fs = std::filesystem;

constexpr size_t MaxCoverageListing = size_t{64} << 20;

enum DiagnosticSeverity {
    SeverityErrorLevel = 1,
    WarningLevel = 2,
    InformationLevel = 3,
    HintLevel = 4
};

// The line's text without its leading and trailing blanks, as a byte span.
std::pair<size_t, size_t> Trimmed(std::string_view line) {
    size_t begin = 0, end = line.size();
    while (begin < end && (line[begin] == ' ' || line[begin] == '\t')) ++begin;
    while (end > begin && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
    return {begin, end};
}

bool IsWordByte(char ch) { return std::isalnum(static_cast<unsigned char>(ch)) != 0 || ch == '_'; }

// Where text stands in line as a whole word (case is ignored); npos when it does not.
size_t FindWord(std::string_view line, std::string_view text) {
    if (text.empty()) return std::string_view::npos;
    for (size_t at = 0; at + text.size() <= line.size(); ++at) {
        bool same = true;
        for (size_t i = 0; same && i < text.size(); ++i)
            same = base::FoldCase(line[at + i]) == base::FoldCase(text[i]);
        if (!same) continue;
        const bool left = at == 0 || !IsWordByte(line[at - 1]) || !IsWordByte(text.front());
        const size_t after = at + text.size();
        const bool right =
            after == line.size() || !IsWordByte(line[after]) || !IsWordByte(text.back());
        if (left && right) return at;
    }
    return std::string_view::npos;
}

// The part of the line a finding is about: the first word the reason quotes, or the number it
// names ("message 999"), when the line holds it; else the whole line.
std::pair<size_t, size_t> FindingSpan(std::string_view line, const std::string& reason) {
    for (size_t q = reason.find('"'); q != std::string::npos;) {
        const size_t close = reason.find('"', q + 1);
        if (close == std::string::npos) break;
        const std::string_view quoted = std::string_view(reason).substr(q + 1, close - q - 1);
        if (const size_t at = FindWord(line, quoted); at != std::string_view::npos)
            return {at, at + quoted.size()};
        q = reason.find('"', close + 1);
    }
    for (const char* noun :
         {"location ", "object ", "message ", "show ", "variable ", "direction "}) {
        const size_t at = reason.find(noun);
        if (at == std::string::npos) continue;
        size_t from = at + std::char_traits<char>::length(noun), to = from;
        if (to < reason.size() && reason[to] == '-') ++to;
        while (to < reason.size() && std::isdigit(static_cast<unsigned char>(reason[to])) != 0)
            ++to;
        if (to == from || (to == from + 1 && reason[from] == '-')) continue;
        const std::string_view number = std::string_view(reason).substr(from, to - from);
        if (const size_t w = FindWord(line, number); w != std::string_view::npos)
            return {w, w + number.size()};
    }
    return Trimmed(line);
}

// Appends one diagnostic to a list being written as JSON text: a game's findings can number
// tens of thousands, which a JSON tree would take longer to build than the check itself.
void AppendDiagnostic(std::string& out, const IndexedFile& f, int line,
                      std::pair<size_t, size_t> span, int severity, const std::string& message) {
    const std::string_view text = LineOf(f, line);
    const std::string l = std::to_string(line);
    out += out.back() == '[' ? "{\"range\":{\"start\":{\"line\":"
                             : ",{\"range\":{\"start\":{\"line\":";
    out += l;
    out += ",\"character\":";
    out += std::to_string(ColumnOfByte(text, span.first));
    out += "},\"end\":{\"line\":";
    out += l;
    out += ",\"character\":";
    out += std::to_string(ColumnOfByte(text, span.second));
    out += "}},\"severity\":";
    out += static_cast<char>('0' + severity);
    out += ",\"source\":\"umb\",\"message\":";
    AppendJsonString(out, message);
    out += '}';
}

void SendDiagnostics(Server& s, const std::string& uri, std::string& list) {
    std::string head =
        R"({"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":{"uri":)";
    AppendJsonString(head, uri);
    head += ",\"diagnostics\":";
    list += "]}}";
    SendBody(s, head, list);
}

// GAME.coverage beside the game: the game's name is its source's name without ".adv"; a name
// with another point in it is no game --test can play.
std::string CoveragePath(const std::string& root) {
    const fs::path p(root);
    if (p.extension() != ".adv" || p.stem().string().find('.') != std::string::npos) return "";
    return (p.parent_path() / p.stem()).string() + ".coverage";
}

// Reads the listing's "#####" lines by file: "Source:NAME" starts a file, then each line is
// "COUNT:LINE:text".
void ParseCoverage(const std::string& text, const std::string& folder, CoverageListing& c) {
    std::string file;
    for (const std::string_view line : SplitLines(text)) {
        const size_t first = line.find(':');
        if (first == std::string_view::npos) continue;
        const size_t second = line.find(':', first + 1);
        if (second == std::string_view::npos) continue;
        std::string_view count = line.substr(0, first);
        while (!count.empty() && count.front() == ' ') count.remove_prefix(1);
        const std::string_view rest = line.substr(second + 1);
        if (count == "-" && rest.substr(0, 7) == "Source:") {
            file = AbsolutePath(std::string(rest.substr(7)), folder);
            continue;
        }
        if (count != "#####" || file.empty()) continue;
        int number = 0;
        for (const char ch : line.substr(first + 1, second - first - 1)) {
            if (ch == ' ') continue;
            if (ch < '0' || ch > '9' || number > 10000000) {
                number = 0;
                break;
            }
            number = number * 10 + (ch - '0');
        }
        if (number > 0) c.neverRun[file].push_back(number);
    }
}

// Reads GAME.coverage again when it appeared, went or changed since it was last read.
void RefreshCoverage(const std::string& root, CoverageListing& c) {
    const std::string path = CoveragePath(root);
    struct stat st {};
    const bool present = !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (present == c.present &&
        (!present || (st.st_mtim.tv_sec == c.modified.tv_sec &&
                      st.st_mtim.tv_nsec == c.modified.tv_nsec && st.st_size == c.size)))
        return;
    c = CoverageListing{};
    c.present = present;
    if (!present) return;
    c.modified = st.st_mtim;
    c.size = st.st_size;
    std::string text;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return;
    const base::ReadResult r = base::ReadWholeFile(f, text, MaxCoverageListing);
    std::fclose(f);
    if (r == base::ReadResult::Ok) ParseCoverage(text, FolderOf(root), c);
}

}  // namespace

void PublishDiagnostics(Server& s, Game& game) {
    std::set<std::string> now;
    if (game.index != nullptr) {
        GameIndex& g = *game.index;
        std::vector<std::string> lists(g.files.size(), "[");
        // About what a diagnostic takes, so that a list of thousands is not copied as it grows.
        std::vector<size_t> counts(g.files.size(), 0);
        for (const Finding& f : g.log.findings)
            if (const size_t file = static_cast<size_t>(std::max(f.place.file, 0));
                file < g.fileOfLog.size())
                counts[static_cast<size_t>(g.fileOfLog[file])] += 1;
        for (size_t i = 0; i < lists.size(); ++i) lists[i].reserve(160 * counts[i] + 16);
        static const int Levels[] = {SeverityErrorLevel, WarningLevel, InformationLevel};
        for (const Finding& f : g.log.findings) {
            const size_t logFile = static_cast<size_t>(std::max(f.place.file, 0));
            if (logFile >= g.fileOfLog.size()) continue;
            const size_t file = static_cast<size_t>(g.fileOfLog[logFile]);
            const int line = std::max(f.place.line, 1) - 1;
            const std::pair<size_t, size_t> span =
                FindingSpan(LineOf(g.files[file], line), f.reason);
            AppendDiagnostic(lists[file], g.files[file], line, span, Levels[f.severity], f.reason);
        }
        if (s.readsDisk) RefreshCoverage(g.root, game.coverage);
        for (size_t i = 0; i < g.files.size(); ++i) {
            const auto never = game.coverage.neverRun.find(g.files[i].path);
            if (never == game.coverage.neverRun.end()) continue;
            for (const int line : never->second)
                AppendDiagnostic(lists[i], g.files[i], line - 1,
                                 Trimmed(LineOf(g.files[i], line - 1)), HintLevel,
                                 "never run by any walkthrough");
        }
        for (size_t i = 0; i < g.files.size(); ++i) {
            const std::string uri = UriOf(s, g.files[i].path);
            now.insert(uri);
            SendDiagnostics(s, uri, lists[i]);
        }
    }
    for (const std::string& uri : game.published)
        if (now.count(uri) == 0) ClearDiagnostics(s, uri);
    game.published = std::move(now);
}

void ClearDiagnostics(Server& s, const std::string& uri) {
    std::string empty = "[";
    SendDiagnostics(s, uri, empty);
}

}  // namespace umb::lsp
