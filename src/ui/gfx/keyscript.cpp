// keyscript.cpp - reads a key script: one tokenizer for the headless driver and the text screen.
#include "ui/gfx/keyscript.h"

#include <cstdlib>

namespace umb::gfx {

namespace {

struct NamedKey {
    const char* name;
    int code;
};

const NamedKey NamedKeys[] = {
    {"enter", KeyEnter}, {"bs", KeyBackspace},      {"esc", KeyEscape},      {"up", KeyUp},
    {"down", KeyDown},   {"f12", KeyPictureToggle}, {"shot", KeyScreenshot}, {"undo", KeyUndo},
};

constexpr int UnknownName = -3;

// Counts the lines as they are consumed (bytes given back and read again count once).
void NoteByte(KeyScript& k, int b) {
    if (b == EOF) return;
    if (b != '\n') {
        if (b != '\r') k.lineSoFar.push_back(static_cast<char>(b));
        return;
    }
    ++k.lines;
    k.lastLine.swap(k.lineSoFar);
    k.lineSoFar.clear();
}

int NextByte(KeyScript& k) {
    if (!k.pending.empty()) {
        const int b = k.pending.front();
        k.pending.pop_front();
        return b;
    }
    const int b = std::fgetc(k.in != nullptr ? k.in : stdin);
    NoteByte(k, b);
    return b;
}

int CodeOfName(const std::string& name) {
    if (name == "screen") return KeyTokenScreen;
    for (const NamedKey& named : NamedKeys)
        if (name == named.name) return named.code;
    if (!name.empty() && name.size() <= 5 &&
        name.find_first_not_of("0123456789") == std::string::npos) {
        const int code = std::atoi(name.c_str());
        if (code <= 65535) return code;
    }
    return UnknownName;
}

// After a "{": reads the name up to "}" and returns its key, KeyTokenScreen, or UnknownName
// (everything after the "{" is then given back, to be read as keys).
int ReadKeyName(KeyScript& k) {
    std::string name;
    int b = NextByte(k);
    if (b == '{') return '{';
    while (b != EOF && b != '}' && name.size() < 16) {
        name.push_back(static_cast<char>(b));
        b = NextByte(k);
    }
    if (b == '}') {
        const int code = CodeOfName(name);
        if (code != UnknownName) return code;
    }
    std::fprintf(stderr, "Unknown key {%s in the key script, skipped\n", name.c_str());
    if (b != EOF) k.pending.push_front(b);
    for (auto it = name.rbegin(); it != name.rend(); ++it)
        k.pending.push_front(static_cast<unsigned char>(*it));
    return UnknownName;
}

}  // namespace

int NextKeyToken(KeyScript& k) {
    for (;;) {
        const int b = NextByte(k);
        if (b == EOF) return KeyTokenEnd;
        if (b == '\r') continue;
        if (b == '\n') return KeyEnter;
        if (b != '{') return b;
        const int key = ReadKeyName(k);
        if (key != UnknownName) return key;
    }
}

}  // namespace umb::gfx
