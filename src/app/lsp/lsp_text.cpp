// lsp_text.cpp - file URIs, lines and UTF-16 columns.
#include "app/lsp/lsp_text.h"

#include "base/codepage.h"

#include <filesystem>

namespace umb::lsp {

namespace {

int HexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

bool Unreserved(char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
           ch == '-' || ch == '.' || ch == '_' || ch == '~' || ch == '/';
}

// The UTF-16 units and bytes of the character at the front of s.
void Character(std::string_view s, size_t& bytes, size_t& units) {
    int32_t cp = -1;
    const int used =
        base::Utf8Character(reinterpret_cast<const unsigned char*>(s.data()), s.size(), &cp);
    bytes = used > 0 && cp >= 0 ? static_cast<size_t>(used) : 1;
    units = cp >= 0x10000 ? 2 : 1;
}

bool WordChar(char ch) { return ch != ' ' && ch != '\t' && ch != ',' && ch != '%'; }

}  // namespace

std::string PathOfUri(std::string_view uri) {
    constexpr std::string_view Scheme = "file://";
    if (uri.substr(0, Scheme.size()) != Scheme) return "";
    uri.remove_prefix(Scheme.size());
    if (uri.substr(0, 9) == "localhost") uri.remove_prefix(9);
    if (uri.empty() || uri.front() != '/') return "";
    std::string path;
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '?' || uri[i] == '#') break;
        if (uri[i] == '%' && i + 2 < uri.size() && HexValue(uri[i + 1]) >= 0 &&
            HexValue(uri[i + 2]) >= 0) {
            path += static_cast<char>(HexValue(uri[i + 1]) * 16 + HexValue(uri[i + 2]));
            i += 2;
        } else {
            path += uri[i];
        }
    }
    if (path.find('\0') != std::string::npos) return "";
    return std::filesystem::path(path).lexically_normal().string();
}

std::string UriOfPath(std::string_view path) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char ch : path) {
        if (Unreserved(ch)) {
            uri += ch;
        } else {
            const auto b = static_cast<unsigned char>(ch);
            uri += '%';
            uri += Hex[b >> 4];
            uri += Hex[b & 15];
        }
    }
    return uri;
}

std::string AbsolutePath(const std::string& path, const std::string& folder) {
    std::filesystem::path p(path);
    if (p.is_relative()) p = std::filesystem::path(folder) / p;
    return p.lexically_normal().string();
}

std::string FolderOf(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        std::string_view line = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r' && end != std::string_view::npos)
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}

size_t ColumnOfByte(std::string_view line, size_t byte) {
    size_t column = 0;
    for (size_t i = 0; i < line.size() && i < byte;) {
        size_t bytes = 1, units = 1;
        Character(line.substr(i), bytes, units);
        i += bytes;
        column += units;
    }
    return column;
}

size_t ByteOfColumn(std::string_view line, size_t column) {
    size_t i = 0;
    for (size_t units = 0; i < line.size() && units < column;) {
        size_t bytes = 1, n = 1;
        Character(line.substr(i), bytes, n);
        i += bytes;
        units += n;
    }
    return i;
}

WordSpan WordAt(std::string_view line, size_t at) {
    if (at > line.size()) return {};
    size_t begin = at, end = at;
    while (begin > 0 && WordChar(line[begin - 1])) --begin;
    while (end < line.size() && WordChar(line[end])) ++end;
    return {begin, end};
}

}  // namespace umb::lsp
