// lsp_protocol.h - the language server's wire: Content-Length framed messages and JSON-RPC 2.0.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <string_view>

namespace umb::lsp {

using Json = nlohmann::json;

// JSON-RPC and protocol error codes the server answers with.
enum ErrorCode : int {
    ParseError = -32700,
    InvalidRequest = -32600,
    MethodNotFound = -32601,
    InvalidParams = -32602,
    InternalError = -32603,
    ServerNotInitialized = -32002,
    RequestFailed = -32803,
};

// The largest message body taken; a larger one is refused as a bad header, not held.
constexpr size_t MaxMessageBody = size_t{64} << 20;
// A header block longer than this without its blank line is not a header.
constexpr size_t MaxHeaderBlock = 8192;

// What the reader found at the front of what it holds.
enum class ReadStatus : int {
    Message,    // a whole message: its body was handed out
    NeedMore,   // nothing whole yet
    BadHeader,  // a header block that is no header was dropped (the bytes up to the next one)
};

// Cuts the byte stream from the client into message bodies. Bytes go in as they arrive; each
// Next hands out at most one body. After a bad header, it looks for the next header block.
struct MessageReader {
    std::string held;        // bytes received and not yet handed out
    size_t from = 0;         // where the unread part of held begins
    bool resyncing = false;  // after a bad header: skipping to the next "Content-Length:"
};

void FeedBytes(MessageReader& r, const char* data, size_t size);
ReadStatus NextMessage(MessageReader& r, std::string& body);

// A message framed for the wire: its Content-Length header and the JSON text. Strings that are
// not UTF-8 have their bad bytes replaced, so every message written is valid JSON.
std::string FrameMessage(const Json& message);

// Appends s to out as a JSON string, quotes included; bytes that are not UTF-8 become U+FFFD.
// For the large messages (thousands of diagnostics) that are written without a JSON tree.
void AppendJsonString(std::string& out, std::string_view s);

// Parses a body; returns a discarded value when it is not JSON (no exception is thrown).
Json ParseBody(const std::string& body);

// Reading what a client sent never throws: a member of an object (nullptr when j is no object
// or has none of that name), a string member ("" when it is no string), a boolean member.
const Json* Member(const Json& j, const char* key);
std::string StringMember(const Json& j, const char* key);
bool BoolMember(const Json& j, const char* key, bool otherwise);

// The messages the server sends.
Json ResultMessage(const Json& id, Json result);
Json ErrorMessage(const Json& id, int code, const std::string& message);
Json NotificationMessage(const std::string& method, Json params);

}  // namespace umb::lsp
