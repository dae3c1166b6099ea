// wrap.h - word wrapping shared by every front end, so that a text breaks the same way on the
// window's areas, in a terminal and in a transcript.
#pragma once

#include <cstring>

namespace umb::base {

// Breaks the n characters of buf into lines of at most firstRoom characters, then room each:
// at blanks, and at each backslash before index marked, which ends its line and is not shown.
// A word too long for the line it starts keeps what fits and loses the rest (buf and n change).
// Calls line(from, to, last) for each line, buf[from] to buf[to - 1]; last is true for the
// final line, which may be empty after a closing backslash.
template <typename LineFn>
void WrapText(char* buf, int& n, int marked, int firstRoom, int room, LineFn&& line) {
    auto isBreak = [&](int i) { return buf[i] == ' ' || (buf[i] == '\\' && i < marked); };
    int space = firstRoom;
    int lineStart = 0;
    int lastBreak = 0;
    bool backslashLast = false;
    auto emit = [&](int from, int to) {
        line(from, to, false);
        space = room;
    };
    for (int i = 0; i <= n; ++i) {
        if (i < n && !isBreak(i)) continue;
        // The word ending here, without the break character before it.
        const int wordStart = lastBreak < i && isBreak(lastBreak) ? lastBreak + 1 : lastBreak;
        // Measured with its break character against the room of this line, a word too wide
        // keeps what fits; the rest of the word is dropped and the words after it go on.
        int excess = 0;
        while (i - excess > wordStart && i - excess - lastBreak > space) ++excess;
        if (excess > 0) {
            std::memmove(buf + i - excess, buf + i, static_cast<size_t>(n - i + 1));
            n -= excess;
            i -= excess;
            if (marked > i) marked = marked >= i + excess ? marked - excess : i;
        }
        if (i - lineStart <= space) {
            lastBreak = i;
        } else {
            emit(lineStart, lastBreak > lineStart ? lastBreak : lineStart);
            backslashLast = false;
            lineStart = wordStart;
            lastBreak = i;
        }
        if (i < n && buf[i] == '\\' && i < marked) {
            emit(lineStart, i);
            backslashLast = true;
            lineStart = i + 1;
        }
    }
    if (lineStart >= n && !backslashLast) return;
    line(lineStart, n > lineStart ? n : lineStart, true);
}

}  // namespace umb::base
