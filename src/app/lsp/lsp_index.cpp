// lsp_index.cpp - compiles and checks a game for the language server and indexes its sources.
#include "app/lsp/lsp_index.h"

#include "app/lsp/lsp_text.h"
#include "app/workbench.h"
#include "base/codepage.h"
#include "base/nocase.h"
#include "compiler/reader.h"
#include "db/codes.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

using namespace umb::db;
using namespace umb::compiler;

namespace umb::lsp {

namespace {

// What a compile's included files were read as, by absolute path.
struct IncludeContext {
    const TextProvider* texts;
    std::string folder;
    std::map<std::string, std::string> read;
};

bool ReadInclude(void* context, const char* name, std::string& text) {
    auto& c = *static_cast<IncludeContext*>(context);
    const std::string path = AbsolutePath(name, c.folder);
    if (!c.texts->read(c.texts->context, path, text)) return false;
    c.read[path] = text;
    return true;
}

const char ScrambleMarker[] = "\x15"
                              "crypt"
                              "\x15";

// The words of a statement text with their byte offsets in the line: split at blanks only.
struct Word {
    std::string text;
    size_t begin;
};

std::vector<Word> SplitWords(std::string_view line, size_t from) {
    std::vector<Word> words;
    for (size_t i = from; i < line.size();) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        words.push_back({std::string(line.substr(start, i - start)), start});
    }
    return words;
}

const StatementKeyword* FindStatement(const std::string& word, bool condition) {
    if (condition) {
        for (const StatementKeyword& k : ConditionKeywords)
            if (base::CompareNoCase(word.c_str(), k.word) == 0) return &k;
    } else {
        for (const StatementKeyword& k : ActionKeywords)
            if (base::CompareNoCase(word.c_str(), k.word) == 0) return &k;
    }
    return nullptr;
}

// Indexes one file: sections, record numbers, vocabulary, variables and script operands.
struct Scanner {
    GameIndex& g;
    int file;
    Section section = Section::None;

    void Add(int line, size_t begin, size_t end, Names names, int value, bool definition,
             bool word) {
        g.occurrences.push_back({file, line, begin, end, names, value, definition, word});
    }

    // The number written from begin (blanks skipped): its digits' span and value.
    bool Number(std::string_view line, size_t begin, size_t end, size_t& from, size_t& to,
                int& value) {
        from = begin;
        while (from < end && (line[from] == ' ' || line[from] == '\t')) ++from;
        to = from;
        if (to < end && (line[to] == '-' || line[to] == '+')) ++to;
        const size_t digits = to;
        while (to < end && line[to] >= '0' && line[to] <= '9') ++to;
        if (to == digits) return false;
        const std::string text(line.substr(from, to - from));
        bool written = false;
        value = ReadNumber16(text.c_str(), &written);
        return true;
    }

    void NumberRef(int line, std::string_view text, size_t begin, size_t end, Names names) {
        size_t from = 0, to = 0;
        int value = 0;
        if (Number(text, begin, end, from, to, value) && value > 0)
            Add(line, from, to, names, value, false, false);
    }

    void TextMarks(int line, std::string_view text, size_t from) {
        for (size_t p = text.find('%', from); p != std::string_view::npos;
             p = text.find('%', p + 1)) {
            if (p + 1 < text.size() && text[p + 1] == '%') {
                ++p;
                continue;
            }
            const size_t close = text.find('%', p + 1);
            if (close == std::string_view::npos) return;
            const std::string name(text.substr(p + 1, std::min<size_t>(close - p - 1, WordLength)));
            if (const int v = FindVariable(g.db, name.c_str()); v != 0 && close > p + 1)
                Add(line, p + 1, close, Names::Variable, v, false, true);
            p = close;
        }
    }

    void Record(int line, std::string_view text);
    void Statements(int line, std::string_view text, size_t from, bool condition);
    void ScriptLine(int line, std::string_view text);
    void Line(int line, std::string_view text);
};

// The fields of a record line: byte spans between commas.
std::vector<std::pair<size_t, size_t>> Fields(std::string_view text) {
    std::vector<std::pair<size_t, size_t>> fields;
    size_t start = 1;  // after '#'
    for (;;) {
        const size_t comma = text.find(',', start);
        fields.emplace_back(start, comma == std::string_view::npos ? text.size() : comma);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return fields;
}

void Scanner::Record(int line, std::string_view text) {
    const auto fields = Fields(text);
    size_t from = 0, to = 0;
    int number = 0;
    const bool numbered = Number(text, fields[0].first, fields[0].second, from, to, number);
    auto field = [&](size_t i) {
        return i < fields.size() ? fields[i] : std::pair<size_t, size_t>{};
    };
    switch (section) {
    case Section::Locations:
        if (numbered) Add(line, from, to, Names::Location, number, true, false);
        for (size_t i = 4; i < fields.size() && i < 14; ++i)
            NumberRef(line, text, fields[i].first, fields[i].second, Names::Location);
        break;
    case Section::Objects: {
        if (numbered) Add(line, from, to, Names::Object, number, true, false);
        if (fields.size() > 2)
            NumberRef(line, text, field(2).first, field(2).second, Names::Location);
        if (fields.size() <= 4) break;
        const auto [b, e] = field(4);
        size_t nf = 0, nt = 0;
        int noun = 0;
        if (Number(text, b, e, nf, nt, noun)) {
            if (noun > 0) Add(line, nf, nt, Names::Noun, noun, false, false);
        } else if (const int n = FindNoun(g.db, std::string(text.substr(b, e - b)).c_str());
                   n != 0) {
            Add(line, b, e, Names::Noun, n, false, true);
        }
        break;
    }
    case Section::Messages:
        if (numbered) Add(line, from, to, Names::Message, number, true, false);
        break;
    case Section::Shows:
        if (numbered) Add(line, from, to, Names::Show, number, true, false);
        break;
    case Section::Sysmsg:
        if (numbered) Add(line, from, to, Names::Sysmsg, number, true, false);
        break;
    case Section::Verbs:
    case Section::Nouns:
        for (size_t i = 1; numbered && i < fields.size(); ++i)
            if (fields[i].second > fields[i].first)
                Add(line, fields[i].first, fields[i].second,
                    section == Section::Verbs ? Names::Verb : Names::Noun, number, true, true);
        return;
    default: return;
    }
    TextMarks(line, text, 0);
}

// Statements after a line's control word, read as the compiler reads them.
void Scanner::Statements(int line, std::string_view text, size_t from, bool condition) {
    const StatementKeyword* statement = nullptr;
    int operands = 0;
    for (const Word& w : SplitWords(text, from)) {
        const size_t end = w.begin + w.text.size();
        if (base::CompareNoCase(w.text.c_str(), "not") == 0) continue;
        ++operands;
        if (statement != nullptr && (operands == 1 || operands == 2)) {
            const Operand kind = operands == 1 ? statement->a : statement->b;
            bool written = false;
            const int v = ReadNumber16(w.text.c_str(), &written);
            static const std::map<Operand, Names> ByOperand = {
                {Operand::Object, Names::Object},     {Operand::Location, Names::Location},
                {Operand::Place, Names::Location},    {Operand::Message, Names::Message},
                {Operand::Sysmsg, Names::Sysmsg},     {Operand::Show, Names::Show},
                {Operand::Variable, Names::Variable}, {Operand::Verb, Names::Verb},
                {Operand::Noun, Names::Noun},         {Operand::VariableOrNoun, Names::Noun}};
            const auto names = ByOperand.find(kind);
            if (written) {
                if (names != ByOperand.end() && v > 0)
                    Add(line, w.begin, end, names->second, v, false, false);
                continue;
            }
            if (operands == 1) {
                const char* word = w.text.c_str();
                int found = 0;
                Names as = Names::Variable;
                if (kind == Operand::Variable || kind == Operand::VariableOrNoun)
                    found = FindVariable(g.db, word);
                if (found == 0 && kind == Operand::Verb)
                    found = FindVerb(g.db, word), as = Names::Verb;
                if (found == 0 && (kind == Operand::Noun || kind == Operand::VariableOrNoun))
                    found = FindNoun(g.db, word), as = Names::Noun;
                if (found != 0) {
                    Add(line, w.begin, end, as, found, false, true);
                    continue;
                }
            }
        }
        if (const StatementKeyword* k = FindStatement(w.text, condition)) {
            Add(line, w.begin, end, Names::Statement, condition ? 0 : 1, false, true);
            statement = k;
            operands = 0;
        } else if (const int var = FindVariable(g.db, w.text.c_str()); var != 0) {
            Add(line, w.begin, end, Names::Variable, var, false, true);
            statement = nullptr;  // a bare variable takes no operand
        }
    }
}

void Scanner::ScriptLine(int line, std::string_view text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    std::string_view rest = text.substr(at);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
    static const char* const Blocks[] = {"{", "{/", "{+", "}", "begin", "fbegin", "sbegin", "end"};
    for (const char* lead : {"", "then ", "do "}) {
        const size_t n = std::strlen(lead);
        if (rest.size() < n || base::CompareNoCaseN(std::string(rest).c_str(), lead, n) != 0)
            continue;
        for (const char* b : Blocks)
            if (base::CompareNoCase(std::string(rest.substr(n)).c_str(), b) == 0) {
                Add(line, at, at + rest.size(), Names::Control, 0, false, true);
                return;
            }
    }
    static const std::pair<const char*, bool> Controls[] = {{"while ", true}, {"if ", true},
                                                            {"or ", true},    {"and ", true},
                                                            {"then ", false}, {"do ", false}};
    for (const auto& [word, condition] : Controls) {
        const size_t n = std::strlen(word);
        if (base::CompareNoCaseN(std::string(rest).c_str(), word, n) == 0) {
            Add(line, at, at + n - 1, Names::Control, 0, false, true);
            Statements(line, text, at + n, condition);
            return;
        }
    }
    Statements(line, text, at, false);
}

void Scanner::Line(int line, std::string_view text) {
    if (text.empty() || text[0] == '|') return;
    text = text.substr(0, text.find('|'));
    if (text.empty() || text[0] == '@') return;
    if (text[0] == '[') {
        const std::string header(text.substr(0, text.find(']') + 1));
        g.files[static_cast<size_t>(file)].sections.push_back({line, header});
        section = Section::None;
        for (const SectionHeader& h : SectionHeaders())
            if (base::CompareNoCaseN(header.c_str(), h.text, std::strlen(h.text)) == 0)
                section = h.section;
        return;
    }
    switch (section) {
    case Section::Events:
    case Section::Actions: ScriptLine(line, text); return;
    case Section::Vars: {
        size_t start = 0;
        for (;;) {
            const size_t comma = text.find(',', start);
            const size_t end = comma == std::string_view::npos ? text.size() : comma;
            const std::string name(text.substr(start, std::min<size_t>(end - start, WordLength)));
            if (const int v = FindVariable(g.db, name.c_str()); v != 0 && end > start)
                Add(line, start, end, Names::Variable, v, true, true);
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
        return;
    }
    case Section::System:
        if (base::CompareNoCaseN(std::string(text).c_str(), "StartLocation=", 14) == 0)
            NumberRef(line, text, 14, text.size(), Names::Location);
        TextMarks(line, text, 0);
        return;
    default: break;
    }
    if (text[0] == '#')
        Record(line, text);
    else if (section != Section::Verbs && section != Section::Nouns)
        TextMarks(line, text, 0);
}

void IndexLines(IndexedFile& f) {
    f.lineStarts.push_back(0);
    for (size_t i = 0; i < f.text.size(); ++i)
        if (f.text[i] == '\n') f.lineStarts.push_back(i + 1);
    f.scrambled =
        f.text.size() >= 7 && base::CompareNoCaseN(f.text.c_str(), ScrambleMarker, 7) == 0;
}

}  // namespace

std::string_view LineOf(const IndexedFile& f, int line) {
    if (line < 0 || static_cast<size_t>(line) >= f.lineStarts.size()) return {};
    const size_t start = f.lineStarts[static_cast<size_t>(line)];
    size_t end = f.text.find('\n', start);
    if (end == std::string::npos) end = f.text.size();
    std::string_view text(f.text.data() + start, end - start);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    return text;
}

int FileIndexOf(const GameIndex& g, const std::string& path) {
    for (size_t i = 0; i < g.files.size(); ++i)
        if (g.files[i].path == path) return static_cast<int>(i);
    return -1;
}

std::unique_ptr<GameIndex> BuildGameIndex(const std::string& root, const TextProvider& texts,
                                          app::PictureCache& pictures) {
    auto g = std::make_unique<GameIndex>();
    g->root = root;
    g->folder = FolderOf(root);
    IncludeContext context{&texts, g->folder, {}};
    app::CheckSource source;
    if (!texts.read(texts.context, root, source.text)) return nullptr;
    if (AllocateTextHeap(g->db) != DbResult::Ok) return nullptr;
    // Named as --check names it when run in the game's folder, so the findings read the same.
    source.path = std::filesystem::path(root).filename().string();
    source.folder = g->folder;
    const IncludeSource includes{ReadInclude, &context};
    source.includes = &includes;
    source.db = &g->db;
    source.pictures = &pictures;
    context.read[root] = source.text;
    if (app::CheckGameText(source, g->log) != app::CheckGameResult::Checked) return nullptr;
    for (size_t i = 0; i < g->log.files.size(); ++i) {
        const std::string path = i == 0 ? root : AbsolutePath(g->log.files[i], g->folder);
        int at = FileIndexOf(*g, path);
        if (at < 0) {
            IndexedFile f;
            f.path = path;
            f.text = std::move(context.read[path]);
            IndexLines(f);
            g->files.push_back(std::move(f));
            at = static_cast<int>(g->files.size()) - 1;
        }
        g->fileOfLog.push_back(at);
    }
    return g;
}

void ScanGame(GameIndex& g) {
    if (g.scanned) return;
    g.scanned = true;
    for (size_t i = 0; i < g.files.size(); ++i) {
        if (g.files[i].scrambled) continue;
        Scanner s{g, static_cast<int>(i)};
        for (size_t line = 0; line < g.files[i].lineStarts.size(); ++line)
            s.Line(static_cast<int>(line), LineOf(g.files[i], static_cast<int>(line)));
    }
}

const Occurrence* OccurrenceAt(const GameIndex& g, int file, int line, size_t byte) {
    for (const Occurrence& o : g.occurrences)
        if (o.file == file && o.line == line && byte >= o.begin && byte <= o.end) return &o;
    return nullptr;
}

std::string_view TextOf(const GameIndex& g, const Occurrence& o) {
    const std::string_view line = LineOf(g.files[static_cast<size_t>(o.file)], o.line);
    return line.substr(std::min(o.begin, line.size()), o.end - o.begin);
}

bool SameThing(const GameIndex& g, const Occurrence& a, const Occurrence& b) {
    if (a.names != b.names) return false;
    if (a.names == Names::Statement || a.names == Names::Control) return false;
    if (a.word && b.word && (a.names == Names::Verb || a.names == Names::Noun)) {
        const std::string x(TextOf(g, a)), y(TextOf(g, b));
        return base::WordKey(x.c_str()) == base::WordKey(y.c_str());
    }
    return a.value == b.value;
}

std::string GameText(const GameDatabase& db, TextRef ref) {
    const char* text = db::TextOf(db, ref);
    if (text == nullptr) return "";
    const size_t n = std::strlen(text);
    for (size_t i = 0; i < n;) {
        int32_t cp = -1;
        const int used =
            base::Utf8Character(reinterpret_cast<const unsigned char*>(text + i), n - i, &cp);
        if (used <= 0 || cp < 0) return base::Cp850ToUtf8(text, n);
        i += static_cast<size_t>(used);
    }
    return std::string(text, n);
}

std::string CutText(std::string text, size_t characters) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (count++ == characters) {
            text.resize(i);
            return text + "...";
        }
    }
    return text;
}

std::string WordOf(const char (&word)[WordLength]) {
    return std::string(word, strnlen(word, WordLength));
}

}  // namespace umb::lsp
