// textlog.cpp - the game as plain lines of UTF-8 text: transcripts and the terminal's plain mode.
#include "engine/textlog.h"

#include "base/codepage.h"
#include "base/wrap.h"

#include <algorithm>
#include <cstring>

namespace umb::engine {

namespace {

// Writes the characters of one line as UTF-8 and ends it; blanks at its end are not written,
// as the window's rows keep none.
void WriteLine(TextLog& log, const char* text, int length) {
    while (length > 0 && text[length - 1] == ' ') --length;
    const std::string line = base::Cp850ToUtf8(text, static_cast<size_t>(std::max(length, 0)));
    std::fwrite(line.data(), 1, line.size(), log.out);
    std::fputc('\n', log.out);
    log.wroteAnything = true;
}

// Wraps text (a backslash before marked breaks the line), then typed, and writes the lines.
void WriteWrapped(TextLog& log, const char* text, const char* typed, bool literal) {
    char buf[WorkBufferSize];
    int n = static_cast<int>(strnlen(text, WorkBufferSize - 1));
    std::memcpy(buf, text, static_cast<size_t>(n));
    const int marked = literal ? 0 : n;
    for (const char* t = typed; t != nullptr && *t != '\0' && n < int{WorkBufferSize} - 1; ++t)
        buf[n++] = *t;
    buf[n] = '\0';
    if (n == 0) {
        WriteLine(log, "", 0);
        return;
    }
    const int width = std::max(log.width, 8);
    base::WrapText(buf, n, marked, width, width,
                   [&](int from, int to, bool) { WriteLine(log, buf + from, to - from); });
}

// Tells of the first write that failed: the player plays on, but learns that the transcript
// misses what came after.
void NoteFailure(TextLog& log) {
    if (log.failed) return;
    log.failed = true;
    if (log.path.empty()) return;
    std::fflush(stdout);
    std::fprintf(stderr, "Cannot write file %s!\n", log.path.c_str());
    std::fflush(stderr);
}

void FlushChecked(TextLog& log) {
    if (std::fflush(log.out) != 0 || std::ferror(log.out) != 0) NoteFailure(log);
}

}  // namespace

bool OpenTextLog(TextLog& log, const char* path) {
    FILE* f = std::fopen(path, "a");
    if (f == nullptr) return false;
    log.out = f;
    log.ownsFile = true;
    log.path = path;
    return true;
}

void CloseTextLog(TextLog& log) {
    if (log.out == nullptr) return;
    FlushChecked(log);
    if (log.ownsFile && std::fclose(log.out) != 0) NoteFailure(log);
    log.out = nullptr;
    log.ownsFile = false;
}

void FlushTextLog(TextLog& log) {
    if (log.out != nullptr) FlushChecked(log);
}

void LogText(TextLog& log, const char* text, bool literal) {
    if (log.out == nullptr || text == nullptr) return;
    WriteWrapped(log, text, nullptr, literal);
}

LocationNews TakeLocationNews(ShownLocation& shown, const LocationView& v) {
    LocationNews news;
    const int count = std::clamp(v.textCount, 0, 3);
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) texts.emplace_back(v.texts[i] != nullptr ? v.texts[i] : "");
    news.anew = v.again || !shown.any || shown.name != v.name;
    for (int i = 0; i < count; ++i)
        news.fresh[i] = news.anew || std::find(shown.texts.begin(), shown.texts.end(),
                                               texts[static_cast<size_t>(i)]) == shown.texts.end();
    const std::string status = v.status != nullptr ? v.status : "";
    news.statusChanged = status != shown.status;
    shown.any = true;
    shown.name = v.name;
    shown.texts = std::move(texts);
    shown.status = status;
    return news;
}

void LogLocation(TextLog& log, const LocationView& v) {
    if (log.out == nullptr || v.name == nullptr) return;
    const LocationNews news = TakeLocationNews(log.shown, v);
    if (news.anew) {
        if (log.wroteAnything) WriteLine(log, "", 0);
        LogText(log, v.name);
    }
    for (int i = 0; i < 3; ++i)
        if (news.fresh[i]) LogText(log, v.texts[i]);
    if (news.statusChanged && !log.shown.status.empty()) LogText(log, v.status);
}

void LogAnswer(TextLog& log, const char* prompt, const char* typed) {
    if (log.out == nullptr) return;
    WriteWrapped(log, prompt != nullptr ? prompt : "", typed, false);
    FlushChecked(log);
}

}  // namespace umb::engine
