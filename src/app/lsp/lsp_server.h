// lsp_server.h - the language server: its state, the documents an editor holds open, and the
// games behind them; the feature files answer requests from it.
#pragma once

#include "app/lsp/lsp_index.h"
#include "app/lsp/lsp_protocol.h"

#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace umb::lsp {

using Clock = std::chrono::steady_clock;

// How long diagnostics wait after a change: typing on delays them; the newest text is checked.
constexpr std::chrono::milliseconds DiagnosticsDelay{150};

// A document the editor holds open: its URI as the editor wrote it and its current text.
struct Document {
    std::string uri;
    std::string text;
};

// The lines of GAME.coverage that no walkthrough ran, by absolute path, as last read.
struct CoverageListing {
    bool present = false;
    timespec modified{};
    off_t size = 0;
    std::map<std::string, std::vector<int>> neverRun;  // lines from 1
};

// A game some open document belongs to: its index, whether a change waits to be checked (and
// from when), and the URIs it last published diagnostics for.
struct Game {
    std::unique_ptr<GameIndex> index;
    bool dirty = false;
    Clock::time_point due{};
    std::set<std::string> published;
    CoverageListing coverage;
};

// What a request's handler answers: a result, or an error code with its message.
struct Reply {
    Json result;
    int error = 0;
    std::string message;
};
inline Reply Result(Json result) { return Reply{std::move(result), 0, ""}; }
inline Reply Failure(int error, std::string message) {
    return Reply{Json(), error, std::move(message)};
}

struct Server {
    int out = 1;  // where messages are written
    MessageReader reader;
    bool initialized = false;
    bool shutdown = false;  // a shutdown request was answered
    bool exited = false;    // an exit notification came, or the client went away
    bool broken = false;    // the client can no longer be written to
    std::map<std::string, Document> documents;  // by absolute path
    std::map<std::string, std::string> rootOf;  // open document's path -> its game's source
    std::map<std::string, Game> games;          // by the game's source path
    app::PictureCache pictures;                 // what every check found of the pictures
    // Whether sources, folders and coverage listings are read from the disk; off, the server
    // knows only the documents it is sent (the fuzzer runs it so).
    bool readsDisk = true;
};

// Answers one message body (a request, a notification or a response) as the server does.
void HandleMessage(Server& s, const std::string& body);

// Runs the server on the two file descriptors until the client says exit or goes away.
// Returns the process's exit status: 0 when shutdown came first, else 1.
int RunLanguageServer(int in, int out);

// Sends a message to the client, or a body already written as JSON text; on a write failure
// the server stops.
void Send(Server& s, const Json& message);
void SendBody(Server& s, std::string_view body, std::string_view more = {});

// The game a document belongs to, its index brought up to date first; nullptr when the document
// is not open or its game cannot be read.
GameIndex* FreshIndex(Server& s, const std::string& path);
// The URI of a path: the editor's own for an open document.
std::string UriOf(const Server& s, const std::string& path);

// A position of a request's params (textDocument and position): the file's index in the game,
// the line and the byte in the line. Returns false when params name none of the game's files.
// The line's text is the document's as the editor holds it now.
struct TextPosition {
    GameIndex* game = nullptr;
    int file = -1;
    int line = 0;
    size_t byte = 0;
    std::string lineText;
};
// Most requests need the game checked with the newest text; completion, asked at every key,
// takes the game as last checked (its words and numbers) with the line as it is now.
enum class Freshness { Newest, LastChecked };
bool PositionOf(Server& s, const Json& params, TextPosition& at,
                Freshness freshness = Freshness::Newest);
// A protocol range of bytes begin..end of a line of a file.
Json RangeOf(const IndexedFile& f, int line, size_t begin, size_t end);
Json LocationOf(const Server& s, const GameIndex& g, const Occurrence& o);

// The diagnostics of a game: checks it anew (or not, when check is false) and publishes every
// file's findings and coverage hints, and empty lists for files that had some before.
void PublishDiagnostics(Server& s, Game& game);
// Publishes an empty list for a URI: its file is no longer part of any open game.
void ClearDiagnostics(Server& s, const std::string& uri);

// Request handlers, by feature.
Reply DocumentSymbols(Server& s, const Json& params);
Reply Definition(Server& s, const Json& params);
Reply References(Server& s, const Json& params);
Reply Rename(Server& s, const Json& params);
Reply Hover(Server& s, const Json& params);
Reply Completion(Server& s, const Json& params);

// The statement keyword's one-line description, "" for a word that is none.
std::string KeywordDescription(const std::string& keyword, bool action);

}  // namespace umb::lsp
