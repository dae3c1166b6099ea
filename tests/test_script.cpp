// test_script.cpp - script lines: block and control words, statements and their operands.
#include "compile_fixture.h"
#include "compiler/reader.h"

#include <cstdlib>
#include <vector>

namespace {

// A script line as "kind op:A:B ...", a negated code written with '!'.
std::string Render(const ScriptLine& l) {
    std::string s(1, l.kind);
    for (int i = 0; i < ScriptSlots; ++i) {
        if (l.ops[i] == EmptySlot && l.operandA[i] == 0 && l.operandB[i] == 0) continue;
        s += ' ';
        if (l.ops[i] < 0) s += '!';
        s += static_cast<char>(std::abs(l.ops[i]));
        s += ':' + std::to_string(l.operandA[i]) + ':' + std::to_string(l.operandB[i]);
    }
    return s + (l.reserved != 0 ? " reserved!" : "");
}

struct ScriptCase {
    std::string line;
    std::string compiled;
};

class ScriptTest : public CompileTest {
  protected:
    // Compiles each case as one line of [Events] after the prelude and checks it.
    void Expect(const std::string& prelude, const std::vector<ScriptCase>& cases) {
        std::string source = prelude + "[Events]\n";
        for (const ScriptCase& t : cases) source += t.line + "\n";
        EXPECT_EQ(Compile(source), CompileResult::Clean);
        EXPECT_EQ(out, "");
        ASSERT_EQ(db.EventCount, static_cast<int16_t>(cases.size()));
        for (size_t i = 0; i < cases.size(); ++i)
            EXPECT_EQ(Render(db.Events[i]), cases[i].compiled) << cases[i].line;
    }
};

TEST_F(ScriptTest, BlockAndControlWordsGiveTheKind) {
    Expect("", {
                   {"IF carried 3", "c c:3:0"},
                   {"If carried 3", "c c:3:0"},
                   {"while carried 3", "w c:3:0"},
                   {"Or carried 3", "| c:3:0"},
                   {"AND carried 3", "& c:3:0"},
                   {"then message 4", "o m:4:0"},
                   {"do message 4", "o m:4:0"},
                   {"message 4", "o m:4:0"},
                   {"\t message 4 \t", "o m:4:0"},
                   {"{", "{"},
                   {"then {", "{"},
                   {"do {", "{"},
                   {"Begin", "{"},
                   {"   BEGIN   ", "{"},
                   {"Then Begin", "{"},
                   {"do begin", "{"},
                   {"{/", "/"},
                   {"then {/", "/"},
                   {"Do FBegin", "/"},
                   {"{+", "+"},
                   {"do {+", "+"},
                   {"then sbegin", "+"},
                   {"}", "}"},
                   {"} \t", "}"},
                   {"END", "}"},
                   {"then  {", "o"},
                   {"Then {", "o"},
                   {"then { create 3", "o c:3:0"},
                   {"if", "o"},
                   {"if  ", "o"},
                   {"whilecarried 3", "o"},
                   {"begin 3", "o"},
                   {"end end", "o"},
               });
}

TEST_F(ScriptTest, StatementsAndTheirOperands) {
    Expect("[Vars]\nscore,lampOn,door,do\n[Verbs]\n#14,take\n[Nouns]\n#3,lamp\n#7,score\n",
           {
               {"if carried 3 here 5", "c c:3:0 h:5:0"},
               {"if  CARRIED   3", "c c:3:0"},
               {"if not carried 3", "c !c:3:0"},
               {"if NOT not carried 3 here 5", "c !c:3:0 h:5:0"},
               {"if carried not 3", "c c:3:0"},
               {"if verb take noun lamp", "c v:14:0 n:3:0"},
               {"if verb walk noun sword", "c v:0:0 n:0:0"},
               {"if verb +014 noun 0", "c v:14:0 n:0:0"},
               {"if noun2 score noun score", "c 2:1:0 n:7:0"},
               {"if anynoun lamp noun3 lamp", "c y:3:0 3:3:0"},
               {"if noun 3 lamp", "c n:3:0"},
               {"if eq score 10", "c =:1:10"},
               {"if eq 4 10", "c =:4:10"},
               {"if gt door -3 lt LAMPON 2", "c >:3:-3 <:2:2"},
               {"if isin 3 -1", "c i:3:-1"},
               {"if isin 3 lampOn", "c i:3:0 >:2:0"},
               {"if lampOn", "c >:2:0"},
               {"if not lampOn", "c !>:2:0"},
               {"if lampOn 5", "c >:2:0"},
               {"if ^foobar^", "c"},
               {"if random 30 100 7", "c r:30:100"},
               {"if carried\t3", "c"},
               {"if message 3", "c"},
               {"if dark free begin continued move 1", "c d:0:0 f:0:0 b:0:0 +:0:0 m:1:0"},
               {"if at 1 exist 2 worn 3 owned 4 present 5", "c a:1:0 e:2:0 w:3:0 o:4:0 p:5:0"},
               {"if continued lampOn", "c +:0:0 >:2:0"},
               {"if continued not lampOn", "c +:0:0 !>:2:0"},
               {"do message 4", "o m:4:0"},
               {"message 4 do", "o m:4:0 >:4:0"},  // do is a variable
               {"then set door", "o =:3:1"},
               {"then set door 0", "o =:3:0"},
               {"then set door 00", "o =:3:0"},
               {"then set door x", "o =:3:1"},
               {"then set door 5", "o =:3:5"},
               {"then reset door", "o =:3:0"},
               {"then reset door 5", "o =:3:5"},
               {"then add score 5 message 12", "o +:1:5 m:12:0"},
               {"then sub 2 1 mchoiche score 3 bchoiche door", "o -:2:1 9:1:3 2:3:0"},
               {"then create lamp", "o c:0:0"},
               {"then create score", "o c:0:0 >:1:0"},
               {"then moveall take 5", "o v:0:5"},
               {"then sysmsg lamp", "o y:0:0"},
               {"then put 3 -1 go 7", "o p:3:-1 l:7:0"},
               {"then message 70000 pause -70000", "o m:4464:0 u:-4464:0"},
               {"then create 3 create 4 at 7 create 5", "o c:3:0 c:4:0 a:7:0 c:5:0"},
               {"then exit 2 9 light 0 4 subst 1 2 swap 1 2", "o e:2:9 i:0:4 t:1:2 s:1:2"},
               {"then get 1 wear 1 destroy 1 show 2 quit redesc cls halt continue break",
                "o g:1:0 w:1:0 d:1:0 b:2:0 q:0:0 r:0:0 _:0:0 h:0:0 o:0:0 }:0:0"},
               {"then not create 3 carried 4", "o !c:3:0"},
           });
}

TEST_F(ScriptTest, OperandsKeepTheLow16BitsOfTheirNumbers) {
    Expect("[Vars]\nscore,65536\n",
           {
               {"then message 65535 pause 65600", "o m:-1:0 u:64:0"},
               {"then go 32768 go -32769 go -65535", "o l:-32768:0 l:32767:0 l:1:0"},
               {"then put 99999999999 -99999999999", "o p:-6145:6145"},
               {"then go 123456789012345678901234567890", "o l:2770:0"},
               // A number whose 16 bits are 0 is still a number written: it is stored, not
               // looked up, and it overrides the default of "set".
               {"then set score 65536", "o =:1:0"},
               {"then add 65536 3", "o +:0:3"},
               {"if eq 65536 -65536", "c =:0:0"},
           });
}

TEST_F(ScriptTest, WordsAreFoundOnlyWhenDeclaredEarlier) {
    EXPECT_EQ(Compile("[Events]\nif verb take noun lamp\nif score\n"
                      "[Verbs]\n#14,take\n[Nouns]\n#3,lamp\n[Vars]\nscore\n"
                      "[Events]\nif verb take noun lamp\nif score\n"),
              CompileResult::Clean);
    ASSERT_EQ(db.EventCount, 4);
    EXPECT_EQ(Render(db.Events[0]), "c v:0:0 n:0:0");
    EXPECT_EQ(Render(db.Events[1]), "c");
    EXPECT_EQ(Render(db.Events[2]), "c v:14:0 n:3:0");
    EXPECT_EQ(Render(db.Events[3]), "c >:1:0");
}

TEST_F(ScriptTest, SixteenStatementsFillALine) {
    std::string creates, expected = "o", cls, clsExpected = "o";
    for (int i = 1; i <= 15; ++i) {
        creates += " create " + std::to_string(i);
        expected += " c:" + std::to_string(i) + ":0";
        cls += " cls";
        clsExpected += " _:0:0";
    }
    // Once the line is full, a keyword ends it: the 5 is not taken as an operand of cls.
    Expect("[Vars]\nv\n", {
                              {"then" + creates + " create 16 create 17", expected + " c:16:0"},
                              {"then" + creates + " cls quit 5", expected + " _:0:0"},
                              {"then" + cls + " v v", clsExpected + " >:1:0"},
                              {"then" + cls + " create v 9", clsExpected + " c:0:9"},
                          });
}

TEST_F(ScriptTest, FullScriptTableIsError1AndTheLineIsDropped) {
    std::string fill;
    for (int i = 0; i < MaxListRecords; ++i) fill += "}\n";
    EXPECT_EQ(Compile("[Actions]\n" + fill + "  message 4  \t\n{\n[Events]\nmessage 4\n"),
              CompileResult::Errors);
    EXPECT_EQ(out, Diag("Error 1", MaxListRecords + 2, "  message 4") +
                       Diag("Error 1", MaxListRecords + 3, "{"));
    EXPECT_EQ(db.ActionCount, MaxListRecords);
    EXPECT_EQ(db.Actions.back().kind, KindEnd);
    ASSERT_EQ(db.EventCount, 1);
    EXPECT_EQ(Render(db.Events[0]), "o m:4:0");
}

TEST_F(ScriptTest, StatementWithoutWordsIsWarning2) {
    EXPECT_EQ(CompileStatement(c, "   ", KindIf, db.Events, db.EventCount),
              Diagnostic::NoStatement);
    EXPECT_EQ(CompileStatement(c, "", KindAction, db.Events, db.EventCount),
              Diagnostic::NoStatement);
    EXPECT_EQ(db.EventCount, 0);
    EXPECT_EQ(CompileStatement(c, "\t", KindAction, db.Events, db.EventCount), Diagnostic::Ok);
    EXPECT_EQ(db.EventCount, 1);
}

}  // namespace
