// lsp_server.cpp - the language server's lifecycle, documents and dispatch, on one thread: a
// read loop that waits on standard input with a timeout, so that diagnostics wait for typing
// to pause without a thread or a busy loop.
#include "app/lsp/lsp_server.h"

#include "app/lsp/lsp_text.h"
#include "base/fileio.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <unistd.h>

namespace umb::lsp {

namespace {

namespace fs = std::filesystem;

// A source larger than this is not read from the disk: no adventure comes near it.
constexpr size_t MaxSourceFile = size_t{256} << 20;
// How many files up an include chain a document's game is looked for.
constexpr int MaxIncludeChain = 16;

bool ReadDisk(const std::string& path, std::string& text) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    const base::ReadResult r = base::ReadWholeFile(f, text, MaxSourceFile);
    std::fclose(f);
    return r == base::ReadResult::Ok;
}

bool ReadSource(void* context, const std::string& path, std::string& text) {
    const Server& s = *static_cast<const Server*>(context);
    if (const auto d = s.documents.find(path); d != s.documents.end()) {
        text = d->second.text;
        return true;
    }
    return s.readsDisk && ReadDisk(path, text);
}

// Whether the source at candidate includes the file at path.
bool Includes(Server& s, const std::string& candidate, const std::string& path) {
    std::string text;
    if (!ReadSource(&s, candidate, text)) return false;
    const std::string folder = FolderOf(candidate);
    for (const std::string_view line : SplitLines(text)) {
        if (line.empty() || line[0] != '@') continue;
        std::string_view name = line.substr(1);
        name = name.substr(0, name.find('|'));
        if (AbsolutePath(std::string(name), folder) == path) return true;
    }
    return false;
}

// The game a source belongs to: a source beside it, above it or open that includes it (and so
// on up), else itself. Includes are named from the game's folder, which holds the game.
std::string FindRoot(Server& s, const std::string& path, int depth) {
    if (depth >= MaxIncludeChain) return path;
    std::set<std::string> candidates;
    for (const auto& [open, doc] : s.documents) candidates.insert(open);
    const fs::path folder = fs::path(path).parent_path();
    std::error_code ec;
    for (const fs::path& dir : {folder, folder.parent_path()})
        if (s.readsDisk)
            for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
                if (it->path().extension() == ".adv")
                    candidates.insert(it->path().lexically_normal());
    for (const std::string& c : candidates)
        if (c != path && Includes(s, c, path)) return FindRoot(s, c, depth + 1);
    return path;
}

// Sets each open document's game anew; games no document belongs to any more lose their
// diagnostics.
void SettleRoots(Server& s) {
    s.rootOf.clear();
    for (const auto& [path, doc] : s.documents) s.rootOf[path] = FindRoot(s, path, 0);
    for (auto it = s.games.begin(); it != s.games.end();) {
        bool used = false;
        for (const auto& [path, root] : s.rootOf) used = used || root == it->first;
        if (used) {
            ++it;
            continue;
        }
        for (const std::string& uri : it->second.published) ClearDiagnostics(s, uri);
        it = s.games.erase(it);
    }
}

void Analyse(Server& s, const std::string& root) {
    Game& game = s.games[root];
    const TextProvider texts{ReadSource, &s};
    game.index = BuildGameIndex(root, texts, s.pictures);
    game.dirty = false;
    PublishDiagnostics(s, game);
}

void MarkChanged(Server& s, const std::string& root) {
    Game& game = s.games[root];
    game.dirty = true;
    game.due = Clock::now() + DiagnosticsDelay;
}

std::string PathOfParams(const Json& params) {
    const Json* doc = Member(params, "textDocument");
    return doc != nullptr ? PathOfUri(StringMember(*doc, "uri")) : "";
}

Reply Initialize(Server& s, const Json&) {
    s.initialized = true;
    Json capabilities = {
        {"positionEncoding", "utf-16"},
        {"textDocumentSync", {{"openClose", true}, {"change", 1}, {"save", false}}},
        {"documentSymbolProvider", true},
        {"definitionProvider", true},
        {"referencesProvider", true},
        {"hoverProvider", true},
        {"completionProvider", {{"triggerCharacters", {"%", "["}}}},
        {"renameProvider", true},
    };
    return Result(
        {{"capabilities", capabilities}, {"serverInfo", {{"name", "umb"}, {"version", "2.4.0"}}}});
}

Reply Shutdown(Server& s, const Json&) {
    s.shutdown = true;
    return Result(Json(nullptr));
}

Reply Exit(Server& s, const Json&) {
    s.exited = true;
    return {};
}

Reply Ignore(Server&, const Json&) { return {}; }

Reply DidOpen(Server& s, const Json& params) {
    const std::string path = PathOfParams(params);
    const Json* doc = Member(params, "textDocument");
    const Json* text = doc != nullptr ? Member(*doc, "text") : nullptr;
    if (path.empty() || text == nullptr || !text->is_string()) return {};
    s.documents[path] = {StringMember(*doc, "uri"), text->get<std::string>()};
    SettleRoots(s);
    Analyse(s, s.rootOf[path]);
    return {};
}

Reply DidChange(Server& s, const Json& params) {
    const std::string path = PathOfParams(params);
    const auto d = s.documents.find(path);
    const auto changes = params.find("contentChanges");
    if (d == s.documents.end() || changes == params.end() || !changes->is_array()) return {};
    // Full sync: the last change holds the whole text.
    for (const Json& change : *changes)
        if (change.is_object() && change.contains("text") && change["text"].is_string())
            d->second.text = change["text"].get<std::string>();
    MarkChanged(s, s.rootOf[path]);
    return {};
}

Reply DidClose(Server& s, const Json& params) {
    const std::string path = PathOfParams(params);
    if (s.documents.erase(path) == 0) return {};
    const std::string root = s.rootOf[path];
    SettleRoots(s);
    // The disk's text now stands for the closed document.
    if (s.games.count(root) != 0) Analyse(s, root);
    return {};
}

// A source or GAME.coverage changed on the disk: every game is checked again (each re-reads
// its coverage listing when that changed).
Reply DidChangeWatchedFiles(Server& s, const Json&) {
    SettleRoots(s);
    for (auto& [root, game] : s.games) {
        game.dirty = true;
        game.due = Clock::now();
    }
    return {};
}

struct Method {
    const char* name;
    bool request;  // a request is answered; a notification never is
    Reply (*handler)(Server&, const Json&);
};

const Method Methods[] = {
    {"initialize", true, Initialize},
    {"initialized", false, Ignore},
    {"shutdown", true, Shutdown},
    {"exit", false, Exit},
    {"textDocument/didOpen", false, DidOpen},
    {"textDocument/didChange", false, DidChange},
    {"textDocument/didClose", false, DidClose},
    {"textDocument/didSave", false, Ignore},
    {"workspace/didChangeWatchedFiles", false, DidChangeWatchedFiles},
    {"textDocument/documentSymbol", true, DocumentSymbols},
    {"textDocument/definition", true, Definition},
    {"textDocument/references", true, References},
    {"textDocument/hover", true, Hover},
    {"textDocument/completion", true, Completion},
    {"textDocument/rename", true, Rename},
};

const Method* FindMethod(const std::string& name) {
    for (const Method& m : Methods)
        if (name == m.name) return &m;
    return nullptr;
}

// A request before initialize, after shutdown, or of a method not known, is refused; its
// answer says why.
Reply Refusal(const Server& s, const std::string& name, const Method* m) {
    if (!s.initialized && name != "initialize")
        return Failure(ServerNotInitialized, "the server is not initialized yet");
    if (s.shutdown) return Failure(InvalidRequest, "the server is shut down");
    if (s.initialized && name == "initialize")
        return Failure(InvalidRequest, "the server is initialized already");
    if (m == nullptr || !m->request) return Failure(MethodNotFound, "no such method: " + name);
    return Result(Json());
}

void HandleRequest(Server& s, const Json& id, const std::string& name, const Json& params) {
    const Method* m = FindMethod(name);
    Reply reply = Refusal(s, name, m);
    if (reply.error == 0) {
        if (!params.is_object() && !params.is_null() && name != "shutdown") {
            reply = Failure(InvalidParams, "params must be an object");
        } else {
            reply = m->handler(s, params.is_object() ? params : Json::object());
        }
    }
    Send(s, reply.error != 0 ? ErrorMessage(id, reply.error, reply.message)
                             : ResultMessage(id, std::move(reply.result)));
}

void HandleNotification(Server& s, const std::string& name, const Json& params) {
    const Method* m = FindMethod(name);
    if (m == nullptr || m->request) return;  // "$/..." and the unknown are dropped
    if (name == "exit") {
        s.exited = true;
        return;
    }
    if (!s.initialized || s.shutdown || !params.is_object()) return;
    m->handler(s, params);
}

}  // namespace

void HandleMessage(Server& s, const std::string& body) {
    const Json message = ParseBody(body);
    if (message.is_discarded()) {
        Send(s, ErrorMessage(nullptr, ParseError, "the message is not JSON"));
        return;
    }
    const bool hasId = message.is_object() && message.contains("id");
    const Json id = hasId && (message["id"].is_number_integer() || message["id"].is_string())
                        ? message["id"]
                        : Json(nullptr);
    if (!message.is_object() || message.value("jsonrpc", Json()) != "2.0" ||
        (hasId && id.is_null())) {
        Send(s, ErrorMessage(id, InvalidRequest, "not a JSON-RPC 2.0 message"));
        return;
    }
    const auto method = message.find("method");
    if (method == message.end()) return;  // a response: the server asks the client nothing
    if (!method->is_string()) {
        if (hasId) Send(s, ErrorMessage(id, InvalidRequest, "the method is not a string"));
        return;
    }
    const Json params = message.value("params", Json(nullptr));
    if (hasId)
        HandleRequest(s, id, method->get<std::string>(), params);
    else
        HandleNotification(s, method->get<std::string>(), params);
}

namespace {

// Milliseconds until the first game's diagnostics are due, -1 when none waits.
int MillisecondsToDue(const Server& s) {
    long wait = -1;
    const Clock::time_point now = Clock::now();
    for (const auto& [root, game] : s.games) {
        if (!game.dirty) continue;
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(game.due - now).count();
        const long m = ms < 0 ? 0 : static_cast<long>(ms);
        if (wait < 0 || m < wait) wait = m;
    }
    return static_cast<int>(wait);
}

void RunDue(Server& s) {
    const Clock::time_point now = Clock::now();
    for (auto& [root, game] : s.games)
        if (game.dirty && game.due <= now) Analyse(s, root);
}

}  // namespace

void Send(Server& s, const Json& message) {
    SendBody(s, message.dump(-1, ' ', false, Json::error_handler_t::replace));
}

// The body may come in two parts, written after the header without being joined first.
void SendBody(Server& s, std::string_view body, std::string_view more) {
    if (s.broken) return;
    const std::string header =
        "Content-Length: " + std::to_string(body.size() + more.size()) + "\r\n\r\n";
    for (const std::string_view part : {std::string_view(header), body, more}) {
        for (size_t done = 0; done < part.size();) {
            const ssize_t n = ::write(s.out, part.data() + done, part.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                s.broken = true;
                return;
            }
            done += static_cast<size_t>(n);
        }
    }
}

std::string UriOf(const Server& s, const std::string& path) {
    const auto d = s.documents.find(path);
    return d != s.documents.end() ? d->second.uri : UriOfPath(path);
}

GameIndex* FreshIndex(Server& s, const std::string& path) {
    const auto root = s.rootOf.find(path);
    if (root == s.rootOf.end()) return nullptr;
    Game& game = s.games[root->second];
    if (game.dirty || game.index == nullptr) Analyse(s, root->second);
    if (game.index != nullptr) ScanGame(*game.index);
    return game.index.get();
}

bool PositionOf(Server& s, const Json& params, TextPosition& at, Freshness freshness) {
    const std::string path = PathOfParams(params);
    const auto pos = params.find("position");
    if (path.empty() || pos == params.end() || !pos->is_object()) return false;
    const Json line = pos->value("line", Json()), character = pos->value("character", Json());
    if (!line.is_number_unsigned() || !character.is_number_unsigned()) return false;
    const auto root = s.rootOf.find(path);
    const auto known = root != s.rootOf.end() ? s.games.find(root->second) : s.games.end();
    if (freshness == Freshness::LastChecked && known != s.games.end() &&
        known->second.index != nullptr) {
        at.game = known->second.index.get();
        ScanGame(*at.game);
    } else {
        at.game = FreshIndex(s, path);
    }
    if (at.game == nullptr) return false;
    at.file = FileIndexOf(*at.game, path);
    if (at.file < 0) return false;
    at.line = static_cast<int>(std::min<uint64_t>(line.get<uint64_t>(), 1u << 30));
    const auto doc = s.documents.find(path);
    if (doc != s.documents.end()) {
        const std::vector<std::string_view> lines = SplitLines(doc->second.text);
        const auto n = static_cast<size_t>(at.line);
        at.lineText = n < lines.size() ? std::string(lines[n]) : "";
    } else {
        at.lineText = LineOf(at.game->files[static_cast<size_t>(at.file)], at.line);
    }
    at.byte = ByteOfColumn(at.lineText, character.get<uint64_t>());
    return true;
}

Json RangeOf(const IndexedFile& f, int line, size_t begin, size_t end) {
    const std::string_view text = LineOf(f, line);
    return {{"start", {{"line", line}, {"character", ColumnOfByte(text, begin)}}},
            {"end", {{"line", line}, {"character", ColumnOfByte(text, end)}}}};
}

Json LocationOf(const Server& s, const GameIndex& g, const Occurrence& o) {
    const IndexedFile& f = g.files[static_cast<size_t>(o.file)];
    return {{"uri", UriOf(s, f.path)}, {"range", RangeOf(f, o.line, o.begin, o.end)}};
}

int RunLanguageServer(int in, int out) {
    // A client that goes away is seen as a failed write, not as a signal that ends the process.
    std::signal(SIGPIPE, SIG_IGN);
    Server s;
    s.out = out;
    char buf[65536];
    while (!s.exited && !s.broken) {
        pollfd p{in, POLLIN, 0};
        const int ready = ::poll(&p, 1, MillisecondsToDue(s));
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) {
            const ssize_t n = ::read(in, buf, sizeof buf);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) break;  // the client closed its end
            FeedBytes(s.reader, buf, static_cast<size_t>(n));
            std::string body;
            for (ReadStatus r;
                 !s.exited && (r = NextMessage(s.reader, body)) != ReadStatus::NeedMore;) {
                if (r == ReadStatus::Message)
                    HandleMessage(s, body);
                else
                    std::fprintf(stderr, "umb --lsp: a message with a bad header was skipped\n");
            }
        }
        RunDue(s);
    }
    return s.shutdown ? 0 : 1;
}

}  // namespace umb::lsp
