// lsp_text.h - what the server does with texts: file URIs, lines, and positions as editors count.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace umb::lsp {

// The path a file URI names ("file:///a%20b/c.adv" is "/a b/c.adv"); "" when it names none.
std::string PathOfUri(std::string_view uri);
// The URI of an absolute path, each byte outside the unreserved set and '/' percent-encoded.
std::string UriOfPath(std::string_view path);
// An absolute, lexically normal path; a relative one is taken from folder.
std::string AbsolutePath(const std::string& path, const std::string& folder);
std::string FolderOf(const std::string& path);

// The lines of a text as an editor counts them: split at line feeds, a carriage return before
// one dropped. A text that ends with a line feed has an empty last line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Columns are counted in UTF-16 code units (the protocol's default): the column of a byte
// offset of a line, and the byte offset of a column (clamped to the line). A byte that is not
// UTF-8 counts as one unit.
size_t ColumnOfByte(std::string_view line, size_t byte);
size_t ByteOfColumn(std::string_view line, size_t column);

// A word of a line: its bytes from begin to end.
struct WordSpan {
    size_t begin = 0, end = 0;
};
// The blank-separated word (no blank, comma or '%' inside) at byte offset at, or an empty span.
WordSpan WordAt(std::string_view line, size_t at);

}  // namespace umb::lsp
