// lsp_protocol.cpp - reads framed messages from the client's bytes and frames the server's own.
#include "app/lsp/lsp_protocol.h"

#include "base/codepage.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace umb::lsp {

namespace {

char Lower(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// A header name is an HTTP token: letters, digits and a few signs.
bool IsTokenChar(char ch) {
    return std::isalnum(static_cast<unsigned char>(ch)) != 0 ||
           std::string_view("!#$%&'*+-.^_`|~").find(ch) != std::string_view::npos;
}

// Reads a Content-Length value: digits only, at least one, no more than MaxMessageBody.
bool ReadLength(std::string_view value, size_t& length) {
    if (value.empty() || value.size() > 12) return false;
    length = 0;
    for (const char ch : value) {
        if (ch < '0' || ch > '9') return false;
        length = length * 10 + static_cast<size_t>(ch - '0');
    }
    return length <= MaxMessageBody;
}

// The protocol's bodies are UTF-8: a Content-Type may say so, or name no charset at all.
bool AcceptableContentType(std::string_view value) {
    std::string lower;
    for (const char ch : value) lower += Lower(ch);
    const size_t at = lower.find("charset=");
    if (at == std::string::npos) return true;
    std::string_view charset = std::string_view(lower).substr(at + 8);
    charset = charset.substr(0, charset.find(';'));
    charset = Trim(charset);
    if (charset.size() >= 2 && charset.front() == '"' && charset.back() == '"')
        charset = charset.substr(1, charset.size() - 2);
    return charset == "utf-8" || charset == "utf8";
}

// Parses the header block (without its closing blank line); returns whether it is a sound one,
// with the body's length.
bool ParseHeaders(std::string_view block, size_t& length) {
    bool haveLength = false;
    while (!block.empty()) {
        const size_t end = block.find("\r\n");
        const std::string_view line = block.substr(0, end);
        block = end == std::string_view::npos ? std::string_view() : block.substr(end + 2);
        for (const char ch : line)
            if ((ch < 0x20 && ch != '\t') || ch > 0x7E) return false;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return false;
        const std::string_view name = line.substr(0, colon);
        if (!std::all_of(name.begin(), name.end(), IsTokenChar)) return false;
        const std::string_view value = Trim(line.substr(colon + 1));
        if (SameNoCase(name, "Content-Length")) {
            if (haveLength || !ReadLength(value, length)) return false;
            haveLength = true;
        } else if (SameNoCase(name, "Content-Type")) {
            if (!AcceptableContentType(value)) return false;
        }
    }
    return haveLength;
}

// Drops what has been handed out, once it is worth the copy.
void Compact(MessageReader& r) {
    if (r.from == r.held.size()) {
        r.held.clear();
        r.from = 0;
    } else if (r.from > 65536) {
        r.held.erase(0, r.from);
        r.from = 0;
    }
}

// Skips to the next "Content-Length:" at any case; returns whether one was found.
bool Resync(MessageReader& r) {
    static constexpr std::string_view Key = "content-length:";
    for (size_t i = r.from; i + Key.size() <= r.held.size(); ++i) {
        if (Lower(r.held[i]) == 'c' &&
            SameNoCase(std::string_view(r.held).substr(i, Key.size()), Key)) {
            r.from = i;
            r.resyncing = false;
            return true;
        }
    }
    // Keep a tail that may be the start of the key.
    if (r.held.size() - r.from > Key.size()) r.from = r.held.size() - Key.size();
    Compact(r);
    return false;
}

}  // namespace

void FeedBytes(MessageReader& r, const char* data, size_t size) { r.held.append(data, size); }

ReadStatus NextMessage(MessageReader& r, std::string& body) {
    if (r.resyncing && !Resync(r)) return ReadStatus::NeedMore;
    const std::string_view rest = std::string_view(r.held).substr(r.from);
    const size_t end = rest.find("\r\n\r\n");
    if (end == std::string_view::npos || end > MaxHeaderBlock) {
        if (rest.size() <= MaxHeaderBlock) return ReadStatus::NeedMore;
        r.from = r.held.size();
        r.resyncing = true;
        Compact(r);
        return ReadStatus::BadHeader;
    }
    size_t length = 0;
    if (!ParseHeaders(rest.substr(0, end), length)) {
        r.from += end + 4;
        r.resyncing = true;
        Compact(r);
        return ReadStatus::BadHeader;
    }
    if (rest.size() - end - 4 < length) return ReadStatus::NeedMore;
    body.assign(rest.substr(end + 4, length));
    r.from += end + 4 + length;
    Compact(r);
    return ReadStatus::Message;
}

std::string FrameMessage(const Json& message) {
    const std::string body = message.dump(-1, ' ', false, Json::error_handler_t::replace);
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void AppendJsonString(std::string& out, std::string_view s) {
    static const char Hex[] = "0123456789abcdef";
    out += '"';
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b >= 0x80) {
            int32_t cp = -1;
            const int used = base::Utf8Character(
                reinterpret_cast<const unsigned char*>(s.data() + i), s.size() - i, &cp);
            if (used > 0 && cp >= 0) {
                out.append(s.substr(i, static_cast<size_t>(used)));
                i += static_cast<size_t>(used);
            } else {
                out += "\\ufffd";
                ++i;
            }
            continue;
        }
        if (b == '"' || b == '\\') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b < 0x20) {
            out += "\\u00";
            out += Hex[b >> 4];
            out += Hex[b & 15];
        } else {
            out += static_cast<char>(b);
        }
        ++i;
    }
    out += '"';
}

const Json* Member(const Json& j, const char* key) {
    if (!j.is_object()) return nullptr;
    const auto it = j.find(key);
    return it != j.end() ? &*it : nullptr;
}

std::string StringMember(const Json& j, const char* key) {
    const Json* m = Member(j, key);
    return m != nullptr && m->is_string() ? m->get<std::string>() : "";
}

bool BoolMember(const Json& j, const char* key, bool otherwise) {
    const Json* m = Member(j, key);
    return m != nullptr && m->is_boolean() ? m->get<bool>() : otherwise;
}

Json ParseBody(const std::string& body) { return Json::parse(body, nullptr, false); }

Json ResultMessage(const Json& id, Json result) {
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

Json ErrorMessage(const Json& id, int code, const std::string& message) {
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

Json NotificationMessage(const std::string& method, Json params) {
    return Json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

}  // namespace umb::lsp
