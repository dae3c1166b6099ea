// parser.cpp - turns a typed command line into a verb number and up to three noun numbers.
#include "engine/script.h"

#include <cstring>

namespace umb::engine {

namespace {

constexpr size_t WorkCopySize = 128;

// Whether a character separates words.
bool IsDelimiter(char c) { return c == ' ' || c == '\''; }

}  // namespace

// Looks the words of line up: the first known verb, then up to three known nouns after it.
// The line is cut at its first line break; returns the number of recognised words (0 to 4).
int ParseInput(const Game& g, char* line, int* verb, int* noun, int* noun2, int* noun3) {
    *verb = *noun = *noun2 = *noun3 = 0;
    if (line == nullptr) return 0;
    for (char* p = line; *p != '\0'; ++p)
        if (*p == '\r' || *p == '\n') *p = '\0';

    char work[WorkCopySize];
    const size_t len = strnlen(line, WorkCopySize - 1);
    std::memcpy(work, line, len);
    work[len] = '\0';

    int* const nouns[3] = {noun, noun2, noun3};
    int count = 0;
    size_t at = 0;
    while (count < 4) {
        while (at < len && IsDelimiter(work[at])) ++at;
        if (at >= len) break;
        const size_t start = at;
        while (at < len && !IsDelimiter(work[at])) ++at;
        work[at] = '\0';
        const char* word = work + start;
        ++at;
        if (count == 0) {
            const int number = FindVerb(*g.Db, word);
            if (number != 0) {
                *verb = number;
                count = 1;
            }
        } else {
            const int number = FindNoun(*g.Db, word);
            if (number != 0) {
                *nouns[count - 1] = number;
                ++count;
            }
        }
    }
    return count;
}

}  // namespace umb::engine
