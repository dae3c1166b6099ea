// test_roundtrip.cpp - generated sources compile, and their compiled game file reads back whole.
#include "compile_fixture.h"
#include "db/gamefile.h"
#include "db_compare.h"
#include "maxsource.h"
#include "param_names.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A deterministic stream of choices for one seed.
struct Choices {
    uint64_t state;

    uint64_t Next() {
        state += 0x9E3779B97F4A7C15ull;
        return Mix(state);
    }
    // A number from lo to hi, both included.
    int Pick(int lo, int hi) {
        return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1));
    }
    bool OneIn(int n) { return Next() % static_cast<uint64_t>(n) == 0; }
};

// Bytes a text may hold past its first letter: punctuation the reader gives meaning to elsewhere
// (but no "|", which ends a record line as a comment),
// control bytes other than the line ends, and the upper half of the code page.
std::string OddByte(Choices& c, bool allowComma) {
    static const std::string punctuation = " %!?.;:'\"()<>&*#[]@=\\$-_";
    switch (c.Pick(0, 5)) {
    case 0:
        return std::string(
            1,
            punctuation[static_cast<size_t>(c.Pick(0, static_cast<int>(punctuation.size()) - 1))]);
    case 1: {
        const int b = c.Pick(1, 31);
        if (b == '\n' || b == '\r') return "\t";
        return std::string(1, static_cast<char>(b));
    }
    case 2: return std::string(1, static_cast<char>(c.Pick(0x7F, 0xFE)));
    case 3: return allowComma ? "," : "&";
    default: return std::string(1, static_cast<char>('a' + c.Pick(0, 25)));
    }
}

// A text that starts with a letter, so the reader takes it for a text and not for a record, a
// header, a comment or an include.
std::string Text(Choices& c, int maxLen, bool allowComma = false) {
    std::string t(1, static_cast<char>('A' + c.Pick(0, 25)));
    const int len = c.Pick(0, maxLen);
    for (int i = 0; i < len; ++i) t += OddByte(c, allowComma);
    return t + static_cast<char>('a' + c.Pick(0, 25));
}

std::string Num(int n) { return std::to_string(n); }

// Highest record numbers and word counts of one generated source.
struct Shape {
    int lastLocation, lastObject, lastMessage, lastShow, verbs, nouns, vars;
};

void System(Choices& c, const Shape& s, std::string& src) {
    src += "[System]\n";
    src += "Title=" + Text(c, 70) + "\n";
    src += "StartLocation=" + Num(c.Pick(1, s.lastLocation)) + "\n";
    src += "MaxItems=" + Num(c.Pick(1, 20)) + "\n";
    src += std::string("Boolean=") + static_cast<char>('a' + c.Pick(0, 12)) +
           static_cast<char>('n' + c.Pick(0, 12)) + "\n";
    src += "Prompt=" + Text(c, 20) + "\n";
    src += "ShowExits=" + Num(c.Pick(0, 1)) + "\n";
    src += "ImagePath=" + Text(c, 40) + "\n";
    src += "StatusLine=" + Text(c, 70) + "\n";
    src += "BgColor=" + Num(c.Pick(0, 15)) + "\n";
    src += "FgColor=" + Num(c.Pick(0, 15)) + "\n";
}

// A text record: "#n," and a first line, where allowed now and then with a continuation line.
void TextRecord(Choices& c, int n, bool continued, std::string& src) {
    src += "#" + Num(n) + "," + Text(c, 60, true) + "\n";
    if (continued && c.OneIn(4)) src += Text(c, 60, true) + "\n";
}

void Texts(Choices& c, const Shape& s, std::string& src) {
    src += "[Sysmsg]\n";
    for (int n = 1; n < SysmsgCount; ++n)
        if (!c.OneIn(3)) TextRecord(c, n, false, src);
    src += "[Directions]\n";
    for (int n = 1; n <= DirectionCount; ++n) src += "#" + Num(n) + "," + Text(c, 12) + "\n";
    src += "[Shows]\n";
    for (int n = 1; n <= s.lastShow; ++n) {
        src += "#" + Num(n) + "," + (c.OneIn(3) ? "" : Text(c, 10) + ".png") + "\n";
        src += Text(c, 50, true) + "\n";
    }
    src += "[Messages]\n";
    for (int n = 1; n <= s.lastMessage; ++n)
        if (n == s.lastMessage || !c.OneIn(4)) TextRecord(c, n, true, src);
}

void Places(Choices& c, const Shape& s, std::string& src) {
    src += "[Locations]\n";
    for (int n = 0; n <= s.lastLocation; ++n) {
        if (n != s.lastLocation && n > 1 && c.OneIn(5)) continue;  // a gap: a blank record
        std::string line = "#" + Num(n) + "," + Text(c, 20) + "," +
                           (c.OneIn(2) ? Text(c, 8) + ".png" : "") + "," + Num(c.Pick(0, 1));
        const int exits = c.Pick(0, DirectionCount);
        for (int d = 0; d < exits; ++d)
            line += "," + Num(c.OneIn(2) ? 0 : c.Pick(0, s.lastLocation));
        src += line + "\n" + Text(c, 80, true) + "\n";
    }
    src += "[Objects]\n";
    for (int n = 1; n <= s.lastObject; ++n) {
        if (n != s.lastObject && c.OneIn(5)) continue;
        std::string line = "#" + Num(n) + "," + Text(c, 20) + "," +
                           Num(c.Pick(-2, s.lastLocation)) + "," + Num(c.Pick(0, 7));
        if (!c.OneIn(3)) line += "," + Num(c.Pick(1, s.nouns));
        src += line + "\n";
        if (c.OneIn(2)) src += Text(c, 60, true) + "\n";
    }
}

void Vocabulary(Choices& c, const Shape& s, std::string& src) {
    src += "[Verbs]\n";
    for (int n = 1; n <= s.verbs; ++n) {
        src += "#" + Num(n) + ",v" + Base36(n);
        if (c.OneIn(3)) src += ",verbword" + Base36(n);  // longer than 8: kept on 8 letters
        src += "\n";
    }
    src += "[Nouns]\n";
    for (int n = 1; n <= s.nouns; ++n)
        src += "#" + Num(n) + ",n" + Base36(n) + (c.OneIn(4) ? ",N" + Base36(n + 1000) : "") + "\n";
    src += "[Vars]\n";
    for (int n = 1; n <= s.vars; ++n)
        src += "var" + Base36(n) + (n % 5 == 0 || n == s.vars ? "\n" : ",");
}

// One condition or action of a script line, with operands in range for the generated tables.
std::string Condition(Choices& c, const Shape& s) {
    const std::string obj = Num(c.Pick(1, s.lastObject));
    const std::string loc = Num(c.Pick(0, s.lastLocation));
    const std::string var = "var" + Base36(c.Pick(1, s.vars));
    const std::string neg = c.OneIn(4) ? "not " : "";
    switch (c.Pick(0, 15)) {
    case 0: return neg + "verb v" + Base36(c.Pick(1, s.verbs));
    case 1: return neg + "noun n" + Base36(c.Pick(1, s.nouns));
    case 2: return neg + "anynoun " + Num(c.Pick(1, s.nouns));
    case 3: return neg + "at " + loc;
    case 4: return neg + "carried " + obj;
    case 5: return neg + "worn " + obj;
    case 6: return neg + "present " + obj;
    case 7: return neg + "isin " + obj + " " + Num(c.Pick(-2, s.lastLocation));
    case 8: return neg + "eq " + var + " " + Num(c.Pick(-300, 300));
    case 9: return neg + "gt " + var + " " + Num(c.Pick(-300, 300));
    case 10: return neg + "lt " + var + " " + Num(c.Pick(-300, 300));
    case 11: return neg + "random " + Num(c.Pick(1, 9)) + " " + Num(c.Pick(10, 20));
    case 12: return neg + "dark " + loc;
    case 13: return neg + "move " + Num(c.Pick(0, 2));
    case 14: return neg + "free";
    default: return neg + "begin";
    }
}

std::string Action(Choices& c, const Shape& s) {
    const std::string obj = Num(c.Pick(1, s.lastObject));
    const std::string loc = Num(c.Pick(1, s.lastLocation));
    const std::string var = "var" + Base36(c.Pick(1, s.vars));
    switch (c.Pick(0, 15)) {
    case 0: return "message " + Num(c.Pick(1, s.lastMessage));
    case 1: return "sysmsg " + Num(c.Pick(1, SysmsgCount - 1));
    case 2: return "create " + obj;
    case 3: return "destroy " + obj;
    case 4: return "put " + obj + " " + Num(c.Pick(-2, s.lastLocation));
    case 5: return "swap " + obj + " " + Num(c.Pick(1, s.lastObject));
    case 6: return "moveall " + Num(c.Pick(-2, s.lastLocation)) + " " + loc;
    case 7: return "go " + loc;
    case 8: return "exit " + Num(c.Pick(1, DirectionCount)) + " " + loc;
    case 9: return "light " + Num(c.Pick(0, 1)) + " " + loc;
    case 10: return "set " + var + " " + Num(c.Pick(-32768, 32767));
    case 11: return "add " + var + " " + Num(c.Pick(-9, 9));
    case 12: return "mchoiche " + var + " " + Num(c.Pick(2, 9));
    case 13: return "show " + Num(c.Pick(1, s.lastShow));
    case 14: return "pause " + Num(c.Pick(-50, 50));
    default: return c.OneIn(2) ? "redesc" : "cls";
    }
}

void Script(Choices& c, const Shape& s, const char* header, std::string& src) {
    src += header;
    const int lines = c.Pick(5, 40);
    int open = 0;
    for (int i = 0; i < lines; ++i) {
        const int kind = c.Pick(0, 9);
        std::string line;
        if (kind <= 3) {
            static const char* const openers[] = {"if ", "and ", "or ", "while "};
            line = openers[c.Pick(0, 3)];
            for (int k = c.Pick(1, 4); k > 0; --k) line += Condition(c, s) + " ";
        } else if (kind == 4) {
            static const char* const blocks[] = {"begin", "{/", "sbegin", "then {", "do fbegin"};
            line = blocks[c.Pick(0, 4)];
            ++open;
        } else if (kind == 5 && open > 0) {
            line = c.OneIn(2) ? "end" : "}";
            --open;
        } else {
            line = c.OneIn(2) ? "then " : "do ";
            for (int k = c.Pick(1, 5); k > 0; --k) line += Action(c, s) + " ";
            if (c.OneIn(8)) line += c.OneIn(2) ? "halt" : "continue";
        }
        src += line + "\n";
    }
}

// A whole source for one seed, every section in it; shape receives its tables' sizes.
std::string GenerateSource(uint64_t seed, Shape& shape) {
    Choices c{seed};
    shape = Shape{c.Pick(2, 40), c.Pick(1, 30), c.Pick(1, 40), c.Pick(1, 6),
                  c.Pick(1, 30), c.Pick(1, 30), c.Pick(1, 25)};
    std::string src = "| Generated for seed " + Num(static_cast<int>(seed)) + "\n";
    System(c, shape, src);
    Texts(c, shape, src);
    Places(c, shape, src);
    Vocabulary(c, shape, src);
    Script(c, shape, "[Events]\n", src);
    Script(c, shape, "[Actions]\n", src);
    return src;
}

class RoundTrip : public CompileTest, public ::testing::WithParamInterface<uint64_t> {
  protected:
    void SetUp() override {
        CompileTest::SetUp();
        ASSERT_EQ(AllocateTextHeap(back), umb::db::DbResult::Ok);
        ResetDatabase(back);
        folder.Enter("umb-roundtrip");
    }
    void TearDown() override { folder.Leave(); }

    GameDatabase back;
    TempFolder folder;
};

TEST_P(RoundTrip, CompiledGameFileReadsBackAsTheDatabase) {
    Shape shape{};
    const std::string source = GenerateSource(GetParam(), shape);
    // The generator writes only what the compiler accepts without a word.
    ASSERT_EQ(Compile(source), CompileResult::Clean) << out;
    // The generator reached every table, so the comparison below covers them all.
    EXPECT_EQ(db.LastLocation, shape.lastLocation);
    EXPECT_EQ(db.LastObject, shape.lastObject);
    EXPECT_EQ(db.LastMessage, shape.lastMessage);
    EXPECT_EQ(db.LastShow, shape.lastShow);
    EXPECT_GE(db.VerbCount, shape.verbs);
    EXPECT_GE(db.NounCount, shape.nouns);
    EXPECT_EQ(db.VarCount, shape.vars + 1);  // with the placeholder
    EXPECT_GT(db.EventCount, 0);
    EXPECT_GT(db.ActionCount, 0);

    ASSERT_EQ(WriteGameFile(db, "game.umb"), umb::base::WriteResult::Ok);
    ASSERT_EQ(ReadGameFile(back, "game.umb"), umb::base::ReadResult::Ok);
    EXPECT_EQ(DatabaseDifference(db, back), "");
    // Written again, the database read back gives the same image byte for byte.
    EXPECT_EQ(BuildGameImage(back), BuildGameImage(db));
}

INSTANTIATE_TEST_SUITE_P(Seeds, RoundTrip, ::testing::Range<uint64_t>(1, 41),
                         [](const ::testing::TestParamInfo<uint64_t>& c) {
                             return "Seed" + std::to_string(c.param);
                         });

}  // namespace
