// term_front.cpp - the terminal front end: the game as a running transcript, or as plain lines.
#include "ui/term/term_front.h"

#include "base/codepage.h"
#include "base/nocase.h"
#include "base/wrap.h"
#include "ui/window/picture.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

using namespace umb::gfx;
using umb::engine::LineResult;
using umb::engine::LocationNews;
using umb::engine::LocationView;
using umb::engine::ShownLocation;

namespace umb::ui {

namespace {

constexpr const char* Bold = "\x1b[1m";
constexpr const char* Reverse = "\x1b[7m";
constexpr const char* Normal = "\x1b[0m";

TerminalState& Of(void* self) { return *static_cast<TerminalState*>(self); }

int Fail(TerminalState& s, const char* why) {
    std::snprintf(s.FrontFailure, sizeof s.FrontFailure, "%s", why);
    return -1;
}

// Plain mode writes through the log's stream, so that everything it shows has one form; the
// terminal look collects its output in the device.
void Emit(TextFront& tf, const std::string& bytes) {
    if (tf.muted) return;
    if (tf.holding)
        tf.held += bytes;
    else if (!tf.plain)
        TermWrite(tf.dev, bytes);
    else if (tf.log.out != nullptr)
        std::fwrite(bytes.data(), 1, bytes.size(), tf.log.out);
}

// Ends the line a question was asked on.
void NewLine(TextFront& tf) {
    Emit(tf, "\n");
    tf.midLine = false;
}

// Writes the location held back for its picture.
void Release(TextFront& tf) {
    if (tf.held.empty()) return;
    TermWrite(tf.dev, tf.held);
    tf.held.clear();
}

void FlushOut(TextFront& tf) {
    if (tf.log.out != nullptr) std::fflush(tf.log.out);
    TermFlush(tf.dev);
}

int Width(TextFront& tf) { return std::max(TermWidth(tf.dev), 8); }

std::string Utf8(const std::string& cp850) { return base::Cp850ToUtf8(cp850.data(), cp850.size()); }

// The lines of a text wrapped to the width; backslashes break lines unless literal. An empty
// text is one empty line.
std::vector<std::string> Lines(TextFront& tf, const char* text, bool literal) {
    std::vector<std::string> lines;
    char buf[WorkBufferSize];
    const size_t len = strnlen(text, WorkBufferSize - 1);
    std::memcpy(buf, text, len);
    buf[len] = '\0';
    int n = static_cast<int>(len);
    const int room = Width(tf);
    base::WrapText(buf, n, literal ? 0 : n, room, room, [&](int from, int to, bool) {
        lines.emplace_back(buf + from, static_cast<size_t>(to - from));
    });
    if (lines.empty()) lines.emplace_back();
    return lines;
}

// Writes a text as whole lines, each in the attribute given (none: nullptr).
void WriteText(TextFront& tf, const char* text, bool literal, const char* attribute = nullptr) {
    std::string out;
    for (const std::string& line : Lines(tf, text, literal)) {
        if (attribute != nullptr) out += attribute;
        out += Utf8(line);
        if (attribute != nullptr) out += Normal;
        out += '\n';
    }
    Emit(tf, out);
}

// Writes the prompt's lines but the last, which is returned: the answer is typed after it.
std::string WritePrompt(TextFront& tf, const char* prompt) {
    std::vector<std::string> lines = Lines(tf, prompt != nullptr ? prompt : "", false);
    std::string out;
    for (size_t i = 0; i + 1 < lines.size(); ++i) out += Utf8(lines[i]) + "\n";
    out += Utf8(lines.back());
    Emit(tf, out);
    tf.midLine = true;
    return lines.back();
}

void DrawStatusTop(TextFront& tf) {
    const int width = Width(tf);
    std::string line = tf.shown.status.substr(0, static_cast<size_t>(width));
    line.resize(static_cast<size_t>(width), ' ');
    // Drawn at the top and the cursor put back where the text flows on.
    Emit(tf, std::string("\x1b"
                         "7\x1b[1;1H") +
                 Reverse + Utf8(line) + Normal +
                 "\x1b"
                 "8");
}

// The top line is kept out of the scroll region; resetting the region on the way out homes the
// cursor, so the restore bytes move it back to the bottom, where the text ended.
void SetScrollRegion(TextFront& tf) {
    const int rows = TermRows(tf.dev);
    char restore[48];
    const int n = std::snprintf(restore, sizeof restore, "%s\x1b[r\x1b[%d;1H", Normal, rows);
    TermSetRestoreBytes(restore, static_cast<size_t>(n));
    char region[48];
    std::snprintf(region, sizeof region, "\x1b[2;%dr\x1b[%d;1H", rows, rows);
    Emit(tf, region);
    DrawStatusTop(tf);
}

// A resize changes the width at the next line written; the scroll region follows the height.
void FollowResize(TextFront& tf) {
    if (TermResized(tf.dev) && tf.statusTop) SetScrollRegion(tf);
    tf.log.width = Width(tf);
}

// Nobody is left to answer: the game is to end, and nothing more is written. The question left
// waiting is ended first, so that what the shell writes next starts on a line of its own.
void EndOfInput(TerminalState& s) {
    if (s.InputEnded) return;
    if (s.Text->midLine) NewLine(*s.Text);
    FlushOut(*s.Text);
    s.InputEnded = true;
    s.Text->muted = true;
}

// Counts a read that found the input ended: the first may still be answered (a quit), a second
// in a row means nobody is there to answer, and the game ends.
void InputEnded(TerminalState& s) {
    if (++s.Text->endedReads >= 2) EndOfInput(s);
}

// --- Plain lines --------------------------------------------------------------------------------

// Returns 0 with a line the player typed, TermEnded or TermInterrupted. Where the terminal
// does not echo (the input is no terminal), the line is written out, so the output reads whole.
int PlainLine(TerminalState& s, std::string& line) {
    TextFront& tf = *s.Text;
    FlushOut(tf);
    const int r = TermReadLine(tf.dev, line);
    if (r == TermEnded) {
        NewLine(tf);
        InputEnded(s);
        return r;
    }
    if (r == TermInterrupted) {
        NewLine(tf);
        return r;
    }
    tf.endedReads = 0;
    if (!tf.dev.inIsTty) Emit(tf, Utf8(line) + "\n");
    tf.midLine = false;  // ended by the line typed, or by its echo
    return 0;
}

// The first character of a line other than a blank, 0 for none.
int FirstKey(const std::string& line) {
    for (const char c : line)
        if (c != ' ') return static_cast<unsigned char>(c);
    return 0;
}

// The prompt without the blanks at its end.
std::string Trimmed(const char* prompt) {
    std::string text = prompt != nullptr ? prompt : "";
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// Asks until a line starts with an accepted key; returns what accept makes of it. The prompt
// ends with the keys that answer it (keys, unless empty), so that a listener hears what to type.
// A question the input ended on is not asked again: nobody is left to answer it.
template <typename Accept>
int PlainQuestion(TerminalState& s, const std::string& prompt, const std::string& keys,
                  Accept&& accept) {
    TextFront& tf = *s.Text;
    std::string text = prompt;
    if (!keys.empty()) text += (text.empty() ? "" : " ") + keys;
    text += ' ';
    for (;;) {
        FollowResize(tf);
        WritePrompt(tf, text.c_str());
        std::string line;
        const int r = PlainLine(s, line);
        if (r == TermEnded) EndOfInput(s);
        if (s.InputEnded) return 0;
        if (r != 0) continue;
        const int answer = accept(FirstKey(line));
        if (answer >= 0) return answer;
    }
}

// --- Keys ---------------------------------------------------------------------------------------

// Returns the next key, waiting timeoutMs (< 0: for ever): TermNoKey when none came,
// TermInterrupted for SIGINT, TermEnded the first time the input is found ended.
int NextKey(TerminalState& s, int timeoutMs) {
    const int key = TermReadKey(s.Text->dev, timeoutMs);
    if (key == TermEnded)
        InputEnded(s);
    else if (key >= 0)
        s.Text->endedReads = 0;
    return key;
}

// A key that answers a question: a letter folded, -1 for keys beyond the characters.
int LowerKey(int key) {
    return key >= 0 && key < 256
               ? static_cast<unsigned char>(base::FoldCase(static_cast<char>(key)))
               : -1;
}

void EchoKey(TextFront& tf, int key) {
    const char c = static_cast<char>(key);
    Emit(tf, base::Cp850ToUtf8(&c, 1));
    NewLine(tf);
}

// --- The line editor ----------------------------------------------------------------------------

struct Editor {
    TextFront& tf;
    std::string prefix;  // the prompt's last line, code page 850
    std::string line;    // what is typed, code page 850
    size_t Room() {
        const int room = Width(tf) - static_cast<int>(prefix.size()) - 1;
        return static_cast<size_t>(std::max(room, 1));
    }
    // A line longer than the room shows its end: the cursor stays on one terminal line, so a
    // carriage return always reaches the prompt's start.
    void Redraw() {
        const size_t room = Room();
        const size_t from = line.size() > room ? line.size() - room : 0;
        Emit(tf, "\r" + Utf8(prefix) + Utf8(line.substr(from)) + "\x1b[K");
    }
    void Add(int key) {
        line.push_back(static_cast<char>(key));
        if (line.size() <= Room())
            Emit(tf, Utf8(line.substr(line.size() - 1)));
        else
            Redraw();
    }
    void Erase() {
        if (line.empty()) return;
        line.pop_back();
        if (line.size() < Room())
            Emit(tf, "\b \b");
        else
            Redraw();
    }
    void Set(const std::string& text) {
        line = text;
        Redraw();
    }
    // The line is left as typed, whole, for the scrollback.
    void Finish() {
        if (line.size() <= Room()) {
            NewLine(tf);
            return;
        }
        Emit(tf, "\r\x1b[K");
        WriteText(tf, (prefix + line).c_str(), true);
        tf.midLine = false;
    }
};

bool Printable(int key) { return (key >= 32 && key < 127) || (key >= 128 && key < 256); }

LineResult EditLine(TerminalState& s, const char* prompt, char* buffer, int maxLength) {
    TextFront& tf = *s.Text;
    buffer[0] = '\0';
    Editor ed{tf, WritePrompt(tf, prompt), {}};
    // What was half typed when Ctrl+Z took the last command back is there to finish.
    if (s.KeptLine[0] != '\0') {
        ed.Set(std::string(s.KeptLine, strnlen(s.KeptLine, static_cast<size_t>(maxLength))));
        s.KeptLine[0] = '\0';
    }
    char recalled[HistoryLineSize];
    for (;;) {
        // A resize redraws the line at once: the terminal may have rewrapped it.
        tf.dev.wakeOnResize = true;
        const int key = NextKey(s, -1);
        tf.dev.wakeOnResize = false;
        if (TermResized(tf.dev)) {
            if (tf.statusTop) SetScrollRegion(tf);
            ed.Redraw();
        }
        if (key == TermResize) continue;
        if (s.InputEnded) return LineResult::Ended;
        if (key == TermEnded || key == TermInterrupted || key == 3 ||
            (key == 4 && ed.line.empty())) {
            NewLine(tf);
            return LineResult::Quit;
        }
        if (key == KeyUndo) {
            std::snprintf(s.KeptLine, sizeof s.KeptLine, "%s", ed.line.c_str());
            ed.Set(UndoWord);
            NewLine(tf);
            return LineResult::Undo;
        }
        if (key == KeyEnter) break;
        if (key == KeyBackspace) {
            ed.Erase();
        } else if (key == 21 || key == KeyEscape) {
            ed.Set("");
        } else if (key == KeyUp || key == KeyDown) {
            if (key == KeyUp)
                HistoryBack(s.History, recalled);
            else
                HistoryForward(s.History, recalled);
            const size_t keep = std::min(std::strlen(recalled), static_cast<size_t>(maxLength));
            ed.Set(std::string(recalled, keep));
        } else if (key == KeyPictureToggle) {
            s.Pictures.PicturesEnabled = 1 - s.Pictures.PicturesEnabled;
        } else if (Printable(key) && ed.line.size() < static_cast<size_t>(maxLength)) {
            ed.Add(key);
        }
    }
    ed.Finish();
    std::memcpy(buffer, ed.line.data(), ed.line.size());
    buffer[ed.line.size()] = '\0';
    if (!ed.line.empty()) HistoryAdd(s.History, buffer);
    return LineResult::Typed;
}

// --- The table ----------------------------------------------------------------------------------

// A terminal's title is the player's own.
engine::OpenResult TfOpen(void* self, const engine::GameLook& look, char* why, size_t whySize) {
    TerminalState& s = Of(self);
    s.GameHasStatusVerb = look.hasStatusVerb;
    s.Pictures.Background = look.background;
    s.Pictures.Foreground = look.foreground;
    if (OpenTerminalOn(s, 0, 1) == 0) return engine::OpenResult::Ready;
    std::snprintf(why, whySize, "%s", s.FrontFailure);
    return engine::OpenResult::Failed;
}

void TfClose(void* self) {
    TerminalState& s = Of(self);
    if (s.Text == nullptr) return;
    TextFront* tf = s.Text;
    Release(*tf);
    CloseTextLog(tf->log);
    TermClose(tf->dev);
    delete tf;
    s.Text = nullptr;
}

void TfNewGame(void* self) {
    TerminalState& s = Of(self);
    s.History = InputHistory{};
    s.KeptLine[0] = '\0';  // a line half-typed in the last game is not the new game's
    s.LastPicture = NoPictureKey;
    if (s.Text == nullptr) return;
    TextFront& tf = *s.Text;
    Release(tf);
    tf.shown = ShownLocation{};
    tf.log.shown = ShownLocation{};
    tf.statusSeen.clear();
    tf.turnCounter = -1;
}

void TfShowLocation(void* self, const LocationView& v) {
    TerminalState& s = Of(self);
    if (s.Text == nullptr || v.name == nullptr || s.InputEnded) return;
    TextFront& tf = *s.Text;
    FollowResize(tf);
    if (tf.plain) {
        // A status line that changed only by its turn counter is not read out again: the last
        // one read stands for it. The word "status" reads the current one.
        LocationView view = v;
        if (v.status != nullptr) {
            const std::string now = v.status;
            if (!StatusNews(tf.statusSeen, tf.log.shown.status, now, tf.turnCounter))
                view.status = tf.log.shown.status.c_str();
            tf.statusSeen = now;
        }
        LogLocation(tf.log, view);
        tf.midLine = false;
        return;
    }
    const LocationNews news = TakeLocationNews(tf.shown, v);
    Release(tf);
    tf.holding = true;
    if (news.anew) {
        Emit(tf, "\n");
        WriteText(tf, v.name, false, Bold);
    }
    for (int i = 0; i < 3; ++i)
        if (news.fresh[i]) WriteText(tf, v.texts[i], false);
    // The engine describes the location after every turn: a changed status line shows then.
    if (news.statusChanged) {
        if (tf.statusTop)
            DrawStatusTop(tf);
        else if (!tf.shown.status.empty())
            WriteText(tf, v.status, false, Reverse);
    }
    tf.holding = false;
}

void ShowLine(TerminalState& s, const char* text, bool literal) {
    if (s.Text == nullptr || text == nullptr || s.InputEnded) return;
    TextFront& tf = *s.Text;
    Release(tf);
    FollowResize(tf);
    if (tf.plain)
        LogText(tf.log, text, literal);
    else
        WriteText(tf, text, literal);
    tf.midLine = false;
}

void TfShowMessage(void* self, const char* text) { ShowLine(Of(self), text, false); }
void TfShowReply(void* self, const char* text) { ShowLine(Of(self), text, true); }
void TfShowNote(void* self, const char* text) { ShowLine(Of(self), text, true); }

void TfClearMessages(void* self) {
    TerminalState& s = Of(self);
    (void)s;  // what scrolled by stays readable above, as in a transcript
}

bool TfAskYesNo(void* self, const char* prompt, char yesLetter, char noLetter) {
    TerminalState& s = Of(self);
    if (s.Text == nullptr || s.InputEnded) return false;
    TextFront& tf = *s.Text;
    Release(tf);
    const int yes = static_cast<unsigned char>(base::FoldCase(yesLetter));
    const int no = static_cast<unsigned char>(base::FoldCase(noLetter));
    if (tf.plain) {
        const std::string keys = {static_cast<char>(yes), '/', static_cast<char>(no)};
        // The game's own "(y/n)?" already says it.
        const std::string text = Trimmed(prompt);
        const std::string named = "(" + keys + ")?";
        const bool said =
            text.size() >= named.size() &&
            base::CompareNoCase(text.c_str() + text.size() - named.size(), named.c_str()) == 0;
        return PlainQuestion(s, text, said ? "" : "[" + keys + "]", [&](int key) {
                   const int lower = LowerKey(key);
                   return lower == yes ? 1 : lower == no ? 0 : -1;
               }) == 1;
    }
    FollowResize(tf);
    WritePrompt(tf, prompt);
    for (;;) {
        const int key = NextKey(s, -1);
        if (s.InputEnded) return false;
        const int lower = LowerKey(key);
        if (lower != yes && lower != no) continue;
        EchoKey(tf, key);
        return lower == yes;
    }
}

int TfAskChoice(void* self, const char* prompt, int count) {
    TerminalState& s = Of(self);
    if (s.Text == nullptr || s.InputEnded) return 0;
    TextFront& tf = *s.Text;
    Release(tf);
    const bool escapeAllowed = count >= 0;
    const char* given = prompt;
    char fallback[16];
    prompt = ChoicePrompt(prompt, count, fallback, sizeof fallback);
    count = ChoiceLimit(count);
    if (tf.plain) {
        // The keys take the place of the window's "(1:N): ", so that the range is heard once.
        char keys[24];
        std::snprintf(keys, sizeof keys, escapeAllowed ? "(1-%d, 0 for none)" : "(1-%d)", count);
        return PlainQuestion(s, Trimmed(given), keys, [&](int key) {
            if (key >= '1' && key <= '0' + count) return key - '0';
            return key == '0' && escapeAllowed ? 0 : -1;
        });
    }
    FollowResize(tf);
    WritePrompt(tf, prompt);
    for (;;) {
        const int key = NextKey(s, -1);
        if (s.InputEnded) return 0;
        if (key >= '1' && key <= '0' + count) {
            EchoKey(tf, key);
            return key - '0';
        }
        if (key == KeyEscape && escapeAllowed) {
            NewLine(tf);
            return 0;
        }
    }
}

// True for the line "status" (any case, blanks around it) while there is a status line and the
// game has no verb of that name.
bool AsksForStatus(const TerminalState& s, const std::string& line) {
    if (s.GameHasStatusVerb || s.Text->statusSeen.empty()) return false;
    const size_t from = line.find_first_not_of(' ');
    if (from == std::string::npos) return false;
    const size_t to = line.find_last_not_of(' ');
    return base::CompareNoCase(line.substr(from, to + 1 - from).c_str(), "status") == 0;
}

LineResult TfReadLine(void* self, const char* prompt, char* buffer, int maxLength) {
    TerminalState& s = Of(self);
    buffer[0] = '\0';
    if (s.Text == nullptr) return LineResult::Quit;
    if (s.InputEnded) return LineResult::Ended;
    TextFront& tf = *s.Text;
    Release(tf);
    FollowResize(tf);
    if (!tf.plain) return EditLine(s, prompt, buffer, maxLength);
    std::string line;
    for (;;) {
        WritePrompt(tf, prompt);
        const int r = PlainLine(s, line);
        if (s.InputEnded) return LineResult::Ended;
        if (r != 0) return LineResult::Quit;
        if (!AsksForStatus(s, line)) break;
        // Read out on request, as the window shows it all the time; what is read counts as said.
        LogText(tf.log, tf.statusSeen.c_str());
        tf.log.shown.status = tf.statusSeen;
        FollowResize(tf);
    }
    const size_t n = std::min(line.size(), static_cast<size_t>(maxLength));
    std::memcpy(buffer, line.data(), n);
    buffer[n] = '\0';
    if (n > 0) HistoryAdd(s.History, buffer);
    return LineResult::Typed;
}

int TfWaitKeyOrTime(void* self, int ticks) {
    TerminalState& s = Of(self);
    if (s.Text == nullptr || s.InputEnded) return 0;
    TextFront& tf = *s.Text;
    Release(tf);
    const int64_t start = TermNowMs();
    auto elapsed = [&] { return static_cast<int>(TermNowMs() - start); };
    if (ticks < 0) {
        TermSleep(tf.dev, ticks == INT32_MIN ? INT32_MAX : -ticks);
        return elapsed();
    }
    if (tf.plain) {
        // The driver's line editing hands over whole lines: Enter alone ends a pause and is
        // taken. A line typed ahead ends it too but is left for the question that comes next.
        FlushOut(tf);
        const int next = TermPeekByte(tf.dev, ticks > 0 ? ticks : -1);
        if (next == TermInterrupted) {
            NewLine(tf);
            return KeyEnter;
        }
        if (next != '\n' && next != '\r') return elapsed();
        std::string line;
        PlainLine(s, line);
        return KeyEnter;
    }
    for (;;) {
        const int left = ticks > 0 ? std::max(ticks - elapsed(), 0) : -1;
        const int key = NextKey(s, left);
        if (key >= 0) return key;
        if (key == TermNoKey || ticks > 0 || s.InputEnded) return elapsed();
    }
}

// Returns whether the picture is shown, drawn where the terminal shows them.
bool DrawPicture(TerminalState& s, const char* path, const char* name, char* why, size_t whySize) {
    if (s.Options.NoPictures) return false;
    MakeUiColours(s.Pictures);
    // Decoded even where it is not drawn, so that debug mode names a picture that is broken.
    const bool decoded =
        LoadNamedPicture(s.Pictures, path, name, why, whySize) == base::ReadResult::Ok;
    TextFront* tf = s.Text;
    if (!decoded || tf == nullptr || !tf->pictures || tf->plain) return decoded;
    FollowResize(*tf);
    std::vector<GfxColour> pixels(static_cast<size_t>(PictureWidth) * PictureHeight);
    GfxSelectSurface(nullptr);
    for (int y = 0; y < PictureHeight; ++y)
        for (int x = 0; x < PictureWidth; ++x)
            pixels[static_cast<size_t>(y) * PictureWidth + static_cast<size_t>(x)] =
                GfxReadPixel(x, y);
    // Between the blank line that opens a location held back and the location's name.
    const bool opening = !tf->held.empty() && tf->held[0] == '\n';
    if (opening) tf->held.erase(0, 1);
    // At most a third of the rows, so that the location's text and the prompt stay in sight.
    const int cells = std::min(MaxPictureCells, Width(*tf));
    const int lines = std::max(TermRows(tf->dev) / 3, 1);
    Emit(*tf, (opening ? "\n" : "") +
                  RenderHalfBlocks(pixels.data(), PictureWidth, PictureHeight, cells, lines));
    return true;
}

engine::PictureResult TfShowPicture(void* self, int key, const char* path, const char* name,
                                    char* why, size_t whySize) {
    TerminalState& s = Of(self);
    if (whySize > 0) why[0] = '\0';
    if (key == s.LastPicture) {
        if (s.Text != nullptr) Release(*s.Text);
        return engine::PictureResult::Shown;
    }
    s.LastPicture = key;
    const bool shown =
        path != nullptr && path[0] != '\0' && DrawPicture(s, path, name, why, whySize);
    if (s.Text != nullptr) Release(*s.Text);
    return shown ? engine::PictureResult::Shown : engine::PictureResult::Blanked;
}

// A text with its numbers apart: each number's digits are one mark in the shape.
struct Numbered {
    std::string shape;
    std::vector<long long> numbers;
};

Numbered SplitNumbers(const std::string& text) {
    Numbered n;
    for (size_t i = 0; i < text.size();) {
        size_t end = i;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        if (end == i || end - i > 18) {  // a longer run is text: it would not fit
            n.shape.append(text, i, std::max(end - i, size_t{1}));
            i = std::max(end, i + 1);
            continue;
        }
        n.shape.push_back('\x01');
        n.numbers.push_back(std::stoll(text.substr(i, end - i)));
        i = end;
    }
    return n;
}

// Ctrl+C while a turn runs stops it; while a line is read it asks the game's quit question.
bool TfBusy(void* self) {
    TerminalState& s = Of(self);
    return s.Text != nullptr && TermStopRequested(s.Text->dev);
}

bool TfInputEnded(void* self) { return Of(self).InputEnded; }

}  // namespace

bool StatusNews(const std::string& seen, const std::string& written, const std::string& now,
                int& counter) {
    const Numbered before = SplitNumbers(seen), after = SplitNumbers(now);
    if (before.shape != after.shape) {
        counter = -1;
    } else {
        const auto& a = before.numbers;
        const auto& b = after.numbers;
        // A counter that went anywhere but up by one was reset (a restore, an undo).
        if (counter >= 0) {
            const auto c = static_cast<size_t>(counter);
            if (b[c] != a[c] && b[c] != a[c] + 1) counter = -1;
        }
        size_t changed = 0, count = 0;
        for (size_t i = 0; i < b.size(); ++i) {
            if (a[i] == b[i]) continue;
            changed = i;
            ++count;
        }
        if (counter < 0 && count == 1 && b[changed] == a[changed] + 1)
            counter = static_cast<int>(changed);
    }
    const Numbered last = SplitNumbers(written);
    if (last.shape != after.shape) return true;
    for (size_t i = 0; i < after.numbers.size(); ++i)
        if (static_cast<int>(i) != counter && last.numbers[i] != after.numbers[i]) return true;
    return false;
}

int OpenTerminalOn(TerminalState& s, int in, int out) {
    const bool plain = s.Options.Plain;
    // Plain lines need no terminal: they may be piped to a file or another program.
    if (!plain && isatty(in) == 0) return Fail(s, "standard input is not a terminal");
    if (!plain && isatty(out) == 0) return Fail(s, "standard output is not a terminal");
    auto* tf = new (std::nothrow) TextFront;
    if (tf == nullptr) return Fail(s, "out of memory");
    if (plain) {
        const int fd = dup(out);
        tf->log.out = fd >= 0 ? fdopen(fd, "w") : nullptr;
        if (tf->log.out == nullptr) {
            if (fd >= 0) close(fd);
            delete tf;
            return Fail(s, "cannot write to standard output");
        }
        tf->log.ownsFile = true;
    }
    if (TermOpen(tf->dev, in, out, !plain) != 0) {
        CloseTextLog(tf->log);
        delete tf;
        return Fail(s, "the terminal is already in use");
    }
    tf->plain = plain;
    tf->statusTop = !plain && s.Options.StatusTop && TermRows(tf->dev) >= 3;
    const char* colours = std::getenv("COLORTERM");
    tf->pictures = !plain && !s.Options.NoPictures && colours != nullptr &&
                   (std::strcmp(colours, "truecolor") == 0 || std::strcmp(colours, "24bit") == 0);
    tf->log.width = Width(*tf);
    s.Text = tf;
    s.FrontFailure[0] = '\0';
    s.InputEnded = false;
    MakeUiColours(s.Pictures);
    if (!plain) {
        TermSetRestoreBytes(Normal, std::strlen(Normal));
        if (tf->statusTop) {
            // A line feed at the bottom first, so that the line the player typed the command on
            // scrolls up rather than being written over.
            char bottom[24];
            std::snprintf(bottom, sizeof bottom, "\x1b[%d;1H\n", TermRows(tf->dev));
            Emit(*tf, bottom);
            SetScrollRegion(*tf);
        }
    }
    return 0;
}

const engine::FrontEnd TerminalFrontEnd = {
    "terminal",      TfOpen,        TfClose,         TfNewGame,    TfShowLocation, TfShowMessage,
    TfShowReply,     TfShowNote,    TfClearMessages, TfAskYesNo,   TfAskChoice,    TfReadLine,
    TfWaitKeyOrTime, TfShowPicture, TfBusy,          TfInputEnded, nullptr,        nullptr,
};

}  // namespace umb::ui
