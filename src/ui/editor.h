// editor.h - the yes/no question, the numbered choice and the line editor with its history, for
// every front end that shows them in the message area's bottom line (the window, the text
// screen), so that they answer and echo alike whatever keeps the screen.
#pragma once

#include "base/nocase.h"
#include "ui/window/screen.h"

#include <cstdio>
#include <cstring>

namespace umb::ui {

// Copies a line into a history slot or the kept line, cut to fit.
inline void CopyHistoryLine(char* dst, const char* src) {
    std::strncpy(dst, src, HistoryLineSize - 1);
    dst[HistoryLineSize - 1] = '\0';
}

// The editors below reach the screen and the keys through io, which offers:
//   int NewLine(const char* text)   prints text on a new bottom line of the message area, then
//                                   redraws that line from there on; returns its end offset
//   int Typed(const char* text, const char* typed, int startX)   redraws the bottom line
//   int ReadKey()                   the next key, gfx::KeyEndOfInput once the key script ended
//   void EndInput()                 notes that the key script ran out, for the game to end
//   void Screenshot(), void TogglePictures()
//   InputHistory& History(), char* KeptLine()

namespace editor {

constexpr char CursorMark = '_';

// Keys that type no character never match a letter.
inline int LowerKey(int key) {
    return IsTypedCharacter(key)
               ? static_cast<unsigned char>(base::FoldCase(static_cast<char>(key)))
               : -1;
}

// Echoes an answer key as typed, right after its question.
template <typename Io> void Echo(Io& io, int key, int x) {
    const char typed[2] = {static_cast<char>(key), '\0'};
    io.Typed("", typed, x);
}

}  // namespace editor

// As AskYesNo in screen.h.
template <typename Io> bool EditYesNo(Io& io, const char* prompt, char yesLetter, char noLetter) {
    const auto yes = static_cast<unsigned char>(base::FoldCase(yesLetter));
    const auto no = static_cast<unsigned char>(base::FoldCase(noLetter));
    const int x = io.NewLine(prompt != nullptr ? prompt : "");
    for (;;) {
        const int key = io.ReadKey();
        if (key == gfx::KeyEndOfInput) {
            io.EndInput();
            return false;
        }
        const int lower = editor::LowerKey(key);
        if (lower != yes && lower != no) continue;
        editor::Echo(io, key, x);
        return lower == yes;
    }
}

// As AskChoice in screen.h.
template <typename Io> int EditChoice(Io& io, const char* prompt, int count) {
    const bool escapeAllowed = count >= 0;
    count = ChoiceLimit(count);
    char fallback[16];
    const int x = io.NewLine(ChoicePrompt(prompt, count, fallback, sizeof fallback));
    for (;;) {
        const int key = io.ReadKey();
        if (key == gfx::KeyEndOfInput) {
            io.EndInput();
            return 0;
        }
        if (key >= '1' && key <= '0' + count) {
            editor::Echo(io, key, x);
            return key - '0';
        }
        if (key == gfx::KeyEscape && escapeAllowed) return 0;
    }
}

// Applies an editing key to the line of p characters in buffer; returns the new length.
template <typename Io> int EditKey(Io& io, int key, int x, char* buffer, int p, int maxLength) {
    if (key == gfx::KeyScreenshot) {
        io.Screenshot();
    } else if (key == gfx::KeyPictureToggle) {
        io.TogglePictures();
    } else if (key == gfx::KeyBackspace) {
        if (p > 0) buffer[--p] = '\0';
    } else if (IsTypedCharacter(key)) {
        // The line stops short of the screen's right edge, the cursor and a margin after it.
        if (p < maxLength && x + 32 <= gfx::ScreenWidth - 1) {
            buffer[p++] = static_cast<char>(key);
            buffer[p] = '\0';
        }
    } else if (key == gfx::KeyUp) {
        p = HistoryBack(io.History(), buffer);
    } else if (key == gfx::KeyDown) {
        p = HistoryForward(io.History(), buffer);
    }
    return p;
}

// As ReadLine in screen.h; the end of a key script returns Ended with buffer empty.
template <typename Io>
LineResult EditLine(Io& io, const char* prompt, char* buffer, int maxLength) {
    io.NewLine(prompt);
    char* kept = io.KeptLine();
    int p = static_cast<int>(strnlen(kept, static_cast<size_t>(maxLength)));
    std::memcpy(buffer, kept, static_cast<size_t>(p));
    buffer[p] = '\0';
    kept[0] = '\0';
    char shown[WorkBufferSize];
    for (;;) {
        // What the player types is shown exactly as typed.
        std::snprintf(shown, sizeof shown, "%s%c", buffer, editor::CursorMark);
        const int x = io.Typed(prompt, shown, 0);
        const int key = io.ReadKey();
        if (key == gfx::KeyEndOfInput) {
            buffer[0] = '\0';
            io.EndInput();
            return LineResult::Ended;
        }
        if (key == gfx::KeyEnter) break;
        if (key == gfx::KeyUndo) {
            // Ctrl+Z: the line shows the word that asks the same, and what was typed waits for
            // the next command line, so that taking a command back loses nothing of it.
            CopyHistoryLine(kept, buffer);
            io.Typed(prompt, UndoWord, 0);
            buffer[0] = '\0';
            return LineResult::Undo;
        }
        p = EditKey(io, key, x, buffer, p, maxLength);
    }
    io.Typed(prompt, buffer, 0);
    HistoryAdd(io.History(), buffer);
    return LineResult::Typed;
}

}  // namespace umb::ui
