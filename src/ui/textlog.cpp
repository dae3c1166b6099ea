// textlog.cpp - the game as plain lines of UTF-8 text (a stand-in until the shared writer lands).
#include "ui/textlog.h"

#include "ui/gfx/gfx.h"
#include "ui/wrap.h"

#include <algorithm>
#include <cstring>

namespace umb::ui {

std::string Cp850ToUtf8(const char* text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const uint32_t cp = gfx::Cp850ToUnicode[static_cast<unsigned char>(text[i])];
        if (cp == 0) continue;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

int OpenTextLog(TextLog& log, const char* path) {
    log.out = std::fopen(path, "a");
    log.ownsFile = log.out != nullptr;
    return log.out != nullptr ? 0 : -1;
}

void CloseTextLog(TextLog& log) {
    if (log.out == nullptr) return;
    std::fflush(log.out);
    if (log.ownsFile) std::fclose(log.out);
    log.out = nullptr;
}

void LogText(TextLog& log, const char* text, bool literal) {
    if (log.out == nullptr || text == nullptr) return;
    log.wroteAnything = true;
    char buf[2048];
    int n = static_cast<int>(std::min(std::strlen(text), sizeof buf - 1));
    std::memcpy(buf, text, static_cast<size_t>(n));
    buf[n] = '\0';
    if (n == 0) {
        std::fputs("\n", log.out);
        return;
    }
    WrapText(buf, n, literal ? 0 : n, log.width, log.width, [&](int from, int to, bool) {
        const std::string line = Cp850ToUtf8(buf + from, static_cast<size_t>(to - from));
        std::fputs(line.c_str(), log.out);
        std::fputs("\n", log.out);
    });
}

void LogLocation(TextLog& log, const LocationView& v) {
    if (log.out == nullptr) return;
    std::vector<std::string> texts(v.texts, v.texts + std::max(0, std::min(v.textCount, 3)));
    if (v.again || log.shownName != v.name) {
        if (log.wroteAnything) std::fputs("\n", log.out);
        LogText(log, v.name);
        for (const std::string& t : texts) LogText(log, t.c_str());
    } else {
        for (const std::string& t : texts)
            if (std::find(log.shownTexts.begin(), log.shownTexts.end(), t) == log.shownTexts.end())
                LogText(log, t.c_str());
    }
    log.shownName = v.name;
    log.shownTexts = texts;
    if (v.status != nullptr && log.shownStatus != v.status) {
        log.shownStatus = v.status;
        LogText(log, v.status);
    }
}

void LogAnswer(TextLog& log, const char* prompt, const char* typed) {
    if (log.out == nullptr) return;
    std::string line = Cp850ToUtf8(prompt, std::strlen(prompt));
    line += Cp850ToUtf8(typed, std::strlen(typed));
    std::fputs(line.c_str(), log.out);
    std::fputs("\n", log.out);
    std::fflush(log.out);
}

}  // namespace umb::ui
