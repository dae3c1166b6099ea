// page_front.cpp - the browser page's text view: every call goes on to the window, and is told.
#include "ui/page/page_front.h"

#include "base/codepage.h"
#include "base/nocase.h"
#include "base/wrap.h"

#include <cstdio>
#include <cstring>

#ifdef __EMSCRIPTEN__
#include "ui/gfx/gfx_internal.h"

#include <emscripten.h>

// clang-format off
// Tells the page the events packed at text: kind, mode and text of each, each ended by a NUL.
EM_JS(void, PageTell, (const char* packed, int length), {
    if (!Module.umbPage || !Module.umbPage.text) return;
    Module.umbPageDecoder = Module.umbPageDecoder || new TextDecoder();
    const parts = Module.umbPageDecoder.decode(HEAPU8.subarray(packed, packed + length)).split(String.fromCharCode(0));
    for (let i = 0; i + 2 < parts.length; i += 3)
        Module.umbPage.text(Number(parts[i]), Number(parts[i + 1]), parts[i + 2]);
});
// clang-format on
#endif

namespace umb::ui {

namespace {

using engine::LineResult;
using engine::LocationView;
using engine::PictureResult;

PageFront& Of(void* self) { return *static_cast<PageFront*>(self); }
const engine::FrontEnd& Inner(const PageFront& p) { return *p.inner.table; }

void Tell(PageFront& p, PageEventKind kind, std::string text, int mode = 0) {
    p.events.push_back(PageEvent{kind, mode, std::move(text)});
}

// Hands the page what it was not yet told, before the page has the player's attention: the game
// is about to wait, pause, give the page a moment in a long turn, or end. The browser takes the
// events in one call, as one call into the page costs more than building many; elsewhere they
// stay to be read.
void TellPage(PageFront& p) {
#ifdef __EMSCRIPTEN__
    if (p.events.empty()) return;
    std::string packed;
    for (const PageEvent& e : p.events) {
        packed += std::to_string(static_cast<int>(e.kind));
        packed += '\0';
        packed += std::to_string(e.mode);
        packed += '\0';
        packed += e.text;
        packed += '\0';
    }
    p.events.clear();
    PageTell(packed.data(), static_cast<int>(packed.size()));
#else
    (void)p;
#endif
}

void TellAsk(PageFront& p, PageAsk mode, const char* prompt) {
    Tell(p, PageEventKind::Ask, PageText(prompt != nullptr ? prompt : "", true),
         static_cast<int>(mode));
    TellPage(p);
}

engine::OpenResult PageOpen(void* self, const engine::GameLook& look, char* why, size_t size) {
    PageFront& p = Of(self);
    const engine::OpenResult r = Inner(p).open(p.inner.self, look, why, size);
    if (r == engine::OpenResult::Ready)
        Tell(p, PageEventKind::Open, PageText(look.title != nullptr ? look.title : "", false));
    return r;
}

void PageClose(void* self) {
    PageFront& p = Of(self);
    Inner(p).close(p.inner.self);
    Tell(p, PageEventKind::Closed, "");
    TellPage(p);
}

void PageNewGame(void* self) {
    PageFront& p = Of(self);
    Inner(p).newGame(p.inner.self);
    p.shown = engine::ShownLocation{};
    p.picture = engine::NoPictureKey;
    Tell(p, PageEventKind::NewGame, "");
}

// A location is told whole when anything in it changed, so that the page's view of it (which a
// screen reader reads out when it changes) changes only then.
void PageShowLocation(void* self, const LocationView& v) {
    PageFront& p = Of(self);
    Inner(p).showLocation(p.inner.self, v);
    if (v.name == nullptr) return;
    const engine::LocationNews news = engine::TakeLocationNews(p.shown, v);
    const bool changed = news.anew || news.fresh[0] || news.fresh[1] || news.fresh[2];
    if (changed) {
        Tell(p, PageEventKind::Place, PageText(v.name, true));
        for (int i = 0; i < v.textCount && i < 3; ++i)
            if (v.texts[i] != nullptr) Tell(p, PageEventKind::Text, PageText(v.texts[i], true));
        Tell(p, PageEventKind::Shown, "");
    }
    if (news.statusChanged || (changed && news.anew))
        Tell(p, PageEventKind::Status, PageText(v.status != nullptr ? v.status : "", true));
}

void PageShowMessage(void* self, const char* text) {
    PageFront& p = Of(self);
    Inner(p).showMessage(p.inner.self, text);
    if (text != nullptr) Tell(p, PageEventKind::Message, PageText(text, true));
}

void PageShowReply(void* self, const char* text) {
    PageFront& p = Of(self);
    Inner(p).showReply(p.inner.self, text);
    Tell(p, PageEventKind::Reply, PageText(text, false));
}

void PageShowNote(void* self, const char* text) {
    PageFront& p = Of(self);
    Inner(p).showNote(p.inner.self, text);
    Tell(p, PageEventKind::Message, PageText(text, false));
}

// The messages area is cleared on the window; the page's log only ever grows.
void PageClearMessages(void* self) {
    PageFront& p = Of(self);
    Inner(p).clearMessages(p.inner.self);
}

bool PageAskYesNo(void* self, const char* prompt, char yesLetter, char noLetter) {
    PageFront& p = Of(self);
    TellAsk(p, PageAsk::YesNo, prompt);
    const bool yes = Inner(p).askYesNo(p.inner.self, prompt, yesLetter, noLetter);
    const char typed[2] = {base::FoldCase(yes ? yesLetter : noLetter), '\0'};
    Tell(p, PageEventKind::Answer, PageText(typed, false));
    return yes;
}

int PageAskChoice(void* self, const char* prompt, int count) {
    PageFront& p = Of(self);
    char fallback[16];
    TellAsk(p, PageAsk::Choice, engine::ChoicePrompt(prompt, count, fallback, sizeof fallback));
    const int answer = Inner(p).askChoice(p.inner.self, prompt, count);
    const char typed[2] = {answer > 0 ? static_cast<char>('0' + answer) : '\0', '\0'};
    Tell(p, PageEventKind::Answer, typed);
    return answer;
}

LineResult PageReadLine(void* self, const char* prompt, char* buffer, int maxLength) {
    PageFront& p = Of(self);
    TellAsk(p, PageAsk::Line, prompt);
    const LineResult r = Inner(p).readLine(p.inner.self, prompt, buffer, maxLength);
    const char* typed = r == LineResult::Typed  ? buffer
                        : r == LineResult::Undo ? engine::UndoWord
                                                : "";
    Tell(p, PageEventKind::Answer, PageText(typed, false));
    return r;
}

// A pause that reads no key asks nothing of the player.
int PageWaitKeyOrTime(void* self, int ticks) {
    PageFront& p = Of(self);
    if (ticks < 0) {
        TellPage(p);
        return Inner(p).waitKeyOrTime(p.inner.self, ticks);
    }
    TellAsk(p, PageAsk::Key, "");
    const int r = Inner(p).waitKeyOrTime(p.inner.self, ticks);
    Tell(p, PageEventKind::Answer, "");
    return r;
}

PictureResult PageShowPicture(void* self, int key, const char* path, const char* name, char* why,
                              size_t whySize) {
    PageFront& p = Of(self);
    const PictureResult r = Inner(p).showPicture(p.inner.self, key, path, name, why, whySize);
    const int shown = r == PictureResult::Shown ? key : engine::NoPictureKey;
    if (shown != p.picture)
        Tell(p, PageEventKind::Picture, shown != engine::NoPictureKey ? PageText(path, false) : "");
    p.picture = shown;
    return r;
}

bool PageBusy(void* self) {
    PageFront& p = Of(self);
    TellPage(p);
    return Inner(p).busy != nullptr && Inner(p).busy(p.inner.self);
}

bool PageInputEnded(void* self) {
    PageFront& p = Of(self);
    return Inner(p).inputEnded != nullptr && Inner(p).inputEnded(p.inner.self);
}

void PageAlert(void* self, const char* caption, const char* text) {
    PageFront& p = Of(self);
    TellPage(p);
    if (Inner(p).alert != nullptr) {
        Inner(p).alert(p.inner.self, caption, text);
        return;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

void PageSavedGameWritten(void* self, const char* path) {
    PageFront& p = Of(self);
    if (Inner(p).savedGameWritten != nullptr) Inner(p).savedGameWritten(p.inner.self, path);
}

}  // namespace

std::string PageText(const char* text, bool marks) {
    char buf[engine::WorkBufferSize];
    int n = static_cast<int>(strnlen(text, engine::WorkBufferSize - 1));
    std::memcpy(buf, text, static_cast<size_t>(n));
    buf[n] = '\0';
    std::string out;
    // Lines as long as the text itself: only the marked breaks end one.
    const int room = n + 1;
    base::WrapText(buf, n, marks ? n : 0, room, room, [&](int from, int to, bool last) {
        int end = to;
        while (end > from && buf[end - 1] == ' ') --end;
        out += base::Cp850ToUtf8(buf + from, static_cast<size_t>(end - from));
        if (!last) out += '\n';
    });
    return out;
}

const engine::FrontEnd PageFrontEnd = {
    "page",
    PageOpen,
    PageClose,
    PageNewGame,
    PageShowLocation,
    PageShowMessage,
    PageShowReply,
    PageShowNote,
    PageClearMessages,
    PageAskYesNo,
    PageAskChoice,
    PageReadLine,
    PageWaitKeyOrTime,
    PageShowPicture,
    PageBusy,
    PageInputEnded,
    PageAlert,
    PageSavedGameWritten,
};

}  // namespace umb::ui

#ifdef __EMSCRIPTEN__
// What the page calls: the game's key code of the character at Unicode code point c, as
// pressing its key would give, or 0 when the game has no key for it.
extern "C" EMSCRIPTEN_KEEPALIVE int umb_key_of(int c) {
    char key[5] = {};
    if (c < 0x80) {
        key[0] = static_cast<char>(c);
    } else if (c < 0x800) {
        key[0] = static_cast<char>(0xC0 | (c >> 6));
        key[1] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        key[0] = static_cast<char>(0xE0 | (c >> 12));
        key[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        key[2] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        return 0;  // nothing beyond the first plane is in the code page
    }
    const int code = umb::gfx::WebKeyFromDom(key, false, false, false);
    return code > 0 ? code : 0;
}
#endif
