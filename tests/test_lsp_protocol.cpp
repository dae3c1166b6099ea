// test_lsp_protocol.cpp - the language server's wire in process: framing read from any cut of
// the bytes, bad headers skipped without losing the next message, URIs and UTF-16 columns.
#include "app/lsp/lsp_protocol.h"
#include "app/lsp/lsp_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace umb::lsp;

std::string Frame(const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Reads every message of bytes fed in pieces of the given size; bad headers show as "!".
std::vector<std::string> ReadAll(const std::string& bytes, size_t piece) {
    MessageReader r;
    std::vector<std::string> got;
    std::string body;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        FeedBytes(r, bytes.data() + at, std::min(piece, bytes.size() - at));
        for (ReadStatus s; (s = NextMessage(r, body)) != ReadStatus::NeedMore;)
            got.push_back(s == ReadStatus::Message ? body : "!");
    }
    return got;
}

TEST(LspReader, ReadsMessagesHoweverTheBytesArrive) {
    const std::string a = R"({"jsonrpc":"2.0","method":"initialized","params":{}})";
    const std::string b = "{\"x\":\"\xC3\xA9\\r\\n\\r\\n\"}";
    const std::string bytes = Frame(a) +
                              "Content-Type: application/vscode-jsonrpc; charset=utf-8\r\n" +
                              Frame(b) + Frame("");
    for (const size_t piece : {size_t{1}, size_t{7}, size_t{64}, bytes.size()})
        EXPECT_EQ(ReadAll(bytes, piece), (std::vector<std::string>{a, b, ""})) << piece;
    EXPECT_TRUE(ReadAll(Frame(a).substr(0, Frame(a).size() - 1), 5).empty())
        << "a cut message waits";
}

// Each bad header block is dropped, and the good message after it is still read.
TEST(LspReader, SkipsBadHeadersAndKeepsTheNextMessage) {
    const std::string good = R"({"id":1})";
    const std::string bad[] = {
        "Content-Length: nine\r\n\r\n{}",
        "Content-Length: -2\r\n\r\n{}",
        "Content-Length: 2\r\nContent-Length: 2\r\n\r\n{}",
        "Content-Length: 99999999999\r\n\r\n",
        "Content-Type: application/json\r\n\r\n{}",
        "Content-Type: text/plain; charset=latin1\r\nContent-Length: 2\r\n\r\n{}",
        "Content-Length 2\r\n\r\n{}",
        "Content-Length: 2\r\nX-\xC3\xA9: 1\r\n\r\n{}",
        "Content-Length: 2\r\nX-Bell: \x07\r\n\r\n{}",
        ": 2\r\n\r\n{}",
        "garbage without a header at all\r\n\r\n",
        std::string(9000, 'x'),
    };
    for (const std::string& b : bad) {
        const std::vector<std::string> got = ReadAll(b + Frame(good), 13);
        ASSERT_FALSE(got.empty()) << b.substr(0, 60);
        EXPECT_EQ(got.front(), "!") << b.substr(0, 60);
        EXPECT_EQ(got.back(), good) << b.substr(0, 60);
    }
}

TEST(LspText, UrisAndColumns) {
    EXPECT_EQ(PathOfUri("file:///home/a%20b/c%C3%A9.adv"), "/home/a b/c\xC3\xA9.adv");
    EXPECT_EQ(PathOfUri("file://localhost/x/../y.adv"), "/y.adv");
    EXPECT_EQ(PathOfUri("untitled:Untitled-1"), "");
    EXPECT_EQ(PathOfUri("file:///a%00b"), "") << "no NUL smuggled into a path";
    EXPECT_EQ(UriOfPath("/home/a b/c\xC3\xA9.adv"), "file:///home/a%20b/c%C3%A9.adv");
    EXPECT_EQ(PathOfUri(UriOfPath("/x/#1 [a]%.adv")), "/x/#1 [a]%.adv");

    // "é" is two bytes and one unit; the emoji four bytes and two units; a stray byte one.
    const std::string line = "a\xC3\xA9"
                             "b\xF0\x9F\x98\x80"
                             "c\xFF"
                             "d";
    const size_t bytes[] = {0, 1, 3, 4, 8, 9, 10, 11};
    const size_t columns[] = {0, 1, 2, 3, 5, 6, 7, 8};
    for (size_t i = 0; i < std::size(bytes); ++i) {
        EXPECT_EQ(ColumnOfByte(line, bytes[i]), columns[i]) << i;
        EXPECT_EQ(ByteOfColumn(line, columns[i]), bytes[i]) << i;
    }
    EXPECT_EQ(ByteOfColumn(line, 100), line.size()) << "a column past the end is the end";
    EXPECT_EQ(SplitLines("a\r\nb\n\nc").size(), 4u);
    EXPECT_EQ(SplitLines("a\r\nb\n\nc")[0], "a");
}

// Strings written without a JSON tree are JSON that reads back; bytes that are not UTF-8 become
// U+FFFD.
TEST(LspWriter, WritesStringsAsJson) {
    std::string out;
    AppendJsonString(out, "say \"hi\"\\\n\t\x01 \xC3\xA9 \xFF end");
    const Json back = ParseBody(out);
    ASSERT_FALSE(back.is_discarded()) << out;
    EXPECT_EQ(back.get<std::string>(), "say \"hi\"\\\n\t\x01 \xC3\xA9 \xEF\xBF\xBD end");
    EXPECT_TRUE(ParseBody("{\"a\":").is_discarded());
    EXPECT_TRUE(ParseBody("\"\xFF\"").is_discarded()) << "a body that is not UTF-8 is no JSON";
}

}  // namespace
