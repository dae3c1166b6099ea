// keysfrom.cpp - umb --keys-from: a transcript (--transcript, or the terminal's plain lines saved
// to a file) made back into the key script that types its commands and answers again.
#include "app/explore.h"

#include "app/startup.h"
#include "base/codepage.h"
#include "base/fileio.h"

#include <cstdio>
#include <map>
#include <regex>

namespace umb::app {

namespace {

constexpr size_t MaxTranscriptFile = 64u << 20;
constexpr size_t MaxPrompt = 15;  // the longest Prompt= a game can set

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        from = end + 1;
    }
    return lines;
}

// The prompts a line could begin with: up to a mark that ends a prompt (">", ":", "?"), with
// the blank after it.
void CandidatePrompts(const std::string& line, std::map<std::string, int>& counts) {
    const size_t limit = std::min(line.size(), MaxPrompt);
    for (size_t i = 0; i < limit; ++i) {
        const char c = line[i];
        if (c != '>' && c != ':' && c != '?') continue;
        const size_t end = i + 1 < line.size() && line[i + 1] == ' ' ? i + 2 : i + 1;
        ++counts[line.substr(0, end)];
    }
}

// The game's prompt: ">" (the program's own) when lines begin with it, else the prompt most
// lines begin with; empty when none does.
std::string FindPrompt(const std::vector<std::string>& lines) {
    std::map<std::string, int> counts;
    for (const std::string& line : lines) CandidatePrompts(line, counts);
    for (const bool angleOnly : {true, false}) {
        std::string best;
        int most = 0;
        for (const auto& [prompt, n] : counts) {
            if (angleOnly && prompt[0] != '>') continue;
            if (n > most || (n == most && prompt.size() > best.size())) {
                best = prompt;
                most = n;
            }
        }
        if (!best.empty()) return best;
    }
    return "";
}

// The typed text in the key script's own terms: code page 850 bytes, "{" doubled.
std::string AsKeys(const std::string& typed) {
    std::string keys;
    for (const char* p = typed.c_str(); *p != '\0';) {
        const int32_t c = base::NextUtf8(&p);
        const int byte = c < 0 ? 0 : c < 128 ? c : base::UnicodeToCp850(static_cast<uint32_t>(c));
        if (byte == 0) continue;
        if (byte == '{') keys += '{';
        keys += static_cast<char>(byte);
    }
    return keys;
}

// The answer a question line holds, as keys: a letter or digit after "?", a window choice
// "(1:N): D" (nothing after it: Escape), the terminal's "[y/n] X" or "(1-N...) D" (0: none).
// Returns false for a line that is no answer.
bool AnswerKeys(const std::string& line, std::string& keys) {
    static const std::regex window(R"(\(1:\d\):(?: ([1-9]))?$)");
    static const std::regex plainYesNo(R"(\[(\S)/(\S)\] +(\S)\S*$)");
    static const std::regex plainChoice(R"(\(1-\d(?:, 0 for none)?\) +([0-9])\S*$)");
    static const std::regex asked(R"(\? ?([A-Za-z0-9])$)");
    std::smatch m;
    if (std::regex_search(line, m, window)) {
        keys = m[1].matched ? m[1].str() : "{esc}";
        return true;
    }
    if (std::regex_search(line, m, plainChoice)) {
        keys = m[1].str() == "0" ? "{esc}" : m[1].str();
        return true;
    }
    if (std::regex_search(line, m, plainYesNo) || std::regex_search(line, m, asked)) {
        keys = m[m.size() - 1].str();
        return true;
    }
    return false;
}

}  // namespace

KeysFromResult KeysFromTranscript(const std::string& transcript, std::string& keys,
                                  std::string& why) {
    keys.clear();
    if (transcript.find('\0') != std::string::npos) {
        why = "it holds NUL bytes: it is no transcript";
        return KeysFromResult::NotTranscript;
    }
    const std::vector<std::string> lines = Lines(transcript);
    const std::string prompt = FindPrompt(lines);
    int commands = 0, answers = 0;
    for (const std::string& line : lines) {
        std::string answer;
        // Every game asks whether to restore (or to go on) before its first command.
        if (answers > 0 && !prompt.empty() && line.compare(0, prompt.size(), prompt) == 0) {
            keys += AsKeys(line.substr(prompt.size())) + "\n";
            ++commands;
        } else if (AnswerKeys(line, answer)) {
            keys += answer;
            ++answers;
        }
    }
    if (commands == 0) {
        why = "no command follows the question a game starts with: it is no transcript of a game";
        keys.clear();
        return KeysFromResult::NotTranscript;
    }
    return KeysFromResult::Made;
}

int RunKeysFrom(const Startup& s) {
    FILE* file = std::fopen(s.KeysFromPath.c_str(), "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "Cannot read file %s!\n", s.KeysFromPath.c_str());
        return ExitFailure;
    }
    std::string text;
    const base::ReadResult read = base::ReadWholeFile(file, text, MaxTranscriptFile);
    std::fclose(file);
    if (read != base::ReadResult::Ok) {
        std::fprintf(stderr, "Cannot read file %s!\n", s.KeysFromPath.c_str());
        return ExitFailure;
    }
    std::string keys, why;
    if (KeysFromTranscript(text, keys, why) != KeysFromResult::Made) {
        std::fprintf(stderr, "%s: %s\n", s.KeysFromPath.c_str(), why.c_str());
        return ExitFailure;
    }
    std::fwrite(keys.data(), 1, keys.size(), stdout);
    return ExitSuccess;
}

}  // namespace umb::app
