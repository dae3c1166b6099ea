// input.cpp - the yes/no question, the numbered choice, the line editor with history, the pause.
#include "ui/screen.h"

#include "base/nocase.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

using namespace umb::base;
using namespace umb::gfx;

namespace umb::ui {

namespace {

constexpr char CursorMark = '_';

// Keys that type no character never match a letter.
int LowerKey(int key) {
    return IsTypedCharacter(key) ? static_cast<unsigned char>(FoldCase(static_cast<char>(key)))
                                 : -1;
}

// Echoes an answer key as typed, right after its question.
void Echo(WindowState& s, int key, int x) {
    const char typed[2] = {static_cast<char>(key), '\0'};
    PrintTyped(s, "", typed, x);
}

void CopyLine(char* dst, const char* src) {
    std::strncpy(dst, src, HistoryLineSize - 1);
    dst[HistoryLineSize - 1] = '\0';
}

// Prints a question's prompt, or its default when it has none, on a new bottom line of the
// message area; returns where the answer is echoed.
int ShowPrompt(WindowState& s, const char* prompt, const char* fallback) {
    SelectArea(s, AreaMessages, ModeNewLine);
    const int x = PrintText(s, prompt != nullptr ? prompt : fallback);
    s.PrintMode = ModeRedrawLine;
    return x;
}

// Ctrl+Z: the line shows the word that asks the same, and what was typed waits for the next
// command line, so that taking a command back loses nothing of the one being written.
LineResult HandUpUndo(WindowState& s, const char* prompt, char* buffer) {
    CopyLine(s.KeptLine, buffer);
    PrintTyped(s, prompt, UndoWord, 0);
    buffer[0] = '\0';
    return LineResult::Undo;
}

// Notes that the key script ran out, for the engine to end the game; returns result.
template <typename Result> Result EndInput(WindowState& s, Result result) {
    s.InputEnded = true;
    return result;
}

}  // namespace

bool AskYesNo(WindowState& s, const char* prompt, char yesLetter, char noLetter) {
    const char yes = FoldCase(yesLetter);
    const char no = FoldCase(noLetter);
    const int x = ShowPrompt(s, prompt, "");
    for (;;) {
        const int key = GfxReadKey();
        if (key == KeyEndOfInput) return EndInput(s, false);
        const int lower = LowerKey(key);
        int answer = -1;
        if (lower == static_cast<unsigned char>(yes))
            answer = 1;
        else if (lower == static_cast<unsigned char>(no))
            answer = 0;
        if (answer < 0) continue;
        Echo(s, key, x);
        return answer == 1;
    }
}

int AskChoice(WindowState& s, const char* prompt, int count) {
    const bool escapeAllowed = count >= 0;
    count = ChoiceLimit(count);
    char fallback[16];
    std::snprintf(fallback, sizeof fallback, "(1:%d): ", count);
    const int x = ShowPrompt(s, prompt, fallback);
    for (;;) {
        const int key = GfxReadKey();
        if (key == KeyEndOfInput) return EndInput(s, 0);
        if (key >= '1' && key <= '0' + count) {
            Echo(s, key, x);
            return key - '0';
        }
        if (key == KeyEscape && escapeAllowed) return 0;
    }
}

LineResult ReadLine(WindowState& s, const char* prompt, char* buffer, int maxLength) {
    SelectArea(s, AreaMessages, ModeNewLine);
    PrintText(s, prompt);
    s.PrintMode = ModeRedrawLine;
    int p = static_cast<int>(strnlen(s.KeptLine, static_cast<size_t>(maxLength)));
    std::memcpy(buffer, s.KeptLine, static_cast<size_t>(p));
    buffer[p] = '\0';
    s.KeptLine[0] = '\0';
    char shown[WorkBufferSize];
    for (;;) {
        // What the player types is shown exactly as typed.
        std::snprintf(shown, sizeof shown, "%s%c", buffer, CursorMark);
        const int x = PrintTyped(s, prompt, shown, 0);
        const int key = GfxReadKey();
        if (key == KeyEndOfInput) {
            buffer[0] = '\0';
            return EndInput(s, LineResult::Ended);
        }
        if (key == KeyEnter) break;
        if (key == KeyUndo) return HandUpUndo(s, prompt, buffer);
        if (key == KeyScreenshot) {
            SaveScreenshot();
        } else if (key == KeyPictureToggle) {
            s.PicturesEnabled = 1 - s.PicturesEnabled;
        } else if (key == KeyBackspace) {
            if (p > 0) buffer[--p] = '\0';
        } else if (IsTypedCharacter(key)) {
            if (p < maxLength && x + 32 <= ScreenWidth - 1) {
                buffer[p++] = static_cast<char>(key);
                buffer[p] = '\0';
            }
        } else if (key == KeyUp) {
            p = HistoryBack(s.History, buffer);
        } else if (key == KeyDown) {
            p = HistoryForward(s.History, buffer);
        }
    }
    PrintTyped(s, prompt, buffer, 0);
    HistoryAdd(s.History, buffer);
    return LineResult::Typed;
}

int WaitKeyOrTime(WindowState& s, int ticks) {
    if (ticks == 0) {
        const int key = GfxReadKey();
        return key == KeyEndOfInput ? EndInput(s, key) : key;
    }
    const uint64_t start = GfxTicks();
    if (ticks > 0) {
        const int key = GfxWaitKeyFor(ticks);
        if (key == KeyEndOfInput) return EndInput(s, key);
        if (key != 0) return key;
    } else {
        GfxSleep(ticks == INT32_MIN ? INT32_MAX : -ticks);
    }
    return static_cast<int>(GfxTicks() - start);
}

void HistoryAdd(InputHistory& h, const char* line) {
    CopyLine(h.slots[h.head], line);
    h.head = (h.head + 1) % HistorySlots;
    h.cursor = h.head;
    if (h.head == h.tail) h.tail = (h.head + 1) % HistorySlots;
}

int HistoryBack(InputHistory& h, char* buffer) {
    if (h.cursor != h.tail) h.cursor = (h.cursor + HistorySlots - 1) % HistorySlots;
    CopyLine(buffer, h.slots[h.cursor]);
    return static_cast<int>(std::strlen(buffer));
}

int HistoryForward(InputHistory& h, char* buffer) {
    if (h.cursor != h.head) h.cursor = (h.cursor + 1) % HistorySlots;
    if (h.cursor == h.head)
        buffer[0] = '\0';
    else
        CopyLine(buffer, h.slots[h.cursor]);
    return static_cast<int>(std::strlen(buffer));
}

}  // namespace umb::ui
