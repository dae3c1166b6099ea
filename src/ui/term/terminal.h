// terminal.h - the terminal device: its modes, keys decoded from bytes, output written as UTF-8.
//
// The device works on the file descriptors it is given (standard input and output in play, a
// pseudo-terminal or pipes in tests). It saves the terminal's modes when it opens and puts them
// back when it closes, at exit, and on the signals that end the program.
#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace umb::ui {

// What TermReadKey and TermReadLine return besides a key or a line.
constexpr int TermNoKey = -2;        // the time ran out before a key came
constexpr int TermEnded = -1;        // the input has ended (or cannot be read any more)
constexpr int TermInterrupted = -3;  // SIGINT arrived while waiting
constexpr int TermResize = -4;       // the terminal was resized while waiting (when asked)

// How long the rest of an escape sequence or of a UTF-8 character may lag behind its first byte;
// an Escape key with nothing after it within this time is the Escape key itself.
constexpr int TermSequenceMs = 30;

struct TermDevice {
    int in = 0;
    int out = 1;
    bool raw = false;      // keys one at a time without echo; else the driver's line editing
    bool inIsTty = false;  // the modes below were saved from in and are put back at close
    termios saved{};
    int width = 80;  // columns, re-read after SIGWINCH
    int rows = 24;
    bool sizeKnown = false;
    bool resized = false;           // the size changed since TermResized last asked
    bool wakeOnResize = false;      // a resize ends a wait for a key with TermResize
    unsigned char inBuf[256] = {};  // bytes read but not yet decoded
    int inPos = 0;
    int inLen = 0;
    std::string output;         // collected until the next read or TermFlush, then written at once
    bool outputBroken = false;  // a write failed: later output is dropped
};

// Returns 0 with d working on in and out, raw or in line mode, with its signal handlers in place;
// -1 when another device is open. Modes are only touched when in is a terminal.
int TermOpen(TermDevice& d, int in, int out, bool raw);
// Writes what is pending and the restore bytes, puts the saved modes back and the handlers.
void TermClose(TermDevice& d);
// Sets the bytes written before the modes are put back (attributes, the scroll region): at
// close, at exit and from the signal handlers. At most 63 bytes; longer are refused (-1).
int TermSetRestoreBytes(const char* bytes, size_t n);

// Returns the next key (a code page 850 character, or one of the Key codes of gfx.h), TermNoKey
// when timeoutMs (< 0: none) passed first, TermEnded or TermInterrupted. Writes pending output
// before waiting.
int TermReadKey(TermDevice& d, int timeoutMs);
// Returns 0 with the next line of input (without its line feed, UTF-8 turned to code page 850,
// control characters dropped), TermEnded when the input ended before any byte of a line, or
// TermInterrupted.
int TermReadLine(TermDevice& d, std::string& line);
// Returns 1 as soon as input is waiting (a whole line, in line mode), TermNoKey when timeoutMs
// (< 0: none) passed first, TermEnded or TermInterrupted; reads nothing.
int TermInputWaiting(TermDevice& d, int timeoutMs);
// Returns the next input byte without taking it, TermNoKey when timeoutMs (< 0: none) passed
// first, TermEnded or TermInterrupted.
int TermPeekByte(TermDevice& d, int timeoutMs);
// Returns true when the player asked to stop while the game is busy between reads: SIGINT
// arrived (line mode), or Ctrl+C was typed (raw mode, where it is a byte like any key). Takes
// what input is waiting without blocking, keeping it for the next read.
bool TermStopRequested(TermDevice& d);
// Returns 0 after writing pending output and letting ms milliseconds pass without reading keys.
int TermSleep(TermDevice& d, int ms);

// Appends raw bytes (escape sequences, UTF-8) to the output.
void TermWrite(TermDevice& d, const char* bytes, size_t n);
void TermWrite(TermDevice& d, const std::string& bytes);
// Appends code page 850 text as UTF-8; bytes that show no character are left out.
void TermWriteText(TermDevice& d, const char* text, size_t n);
// Returns 0 when everything collected is written, -1 when the output failed.
int TermFlush(TermDevice& d);
// Returns the milliseconds of a steady clock.
int64_t TermNowMs();
// Returns the width in columns (80 when the terminal does not say), re-read after a resize.
int TermWidth(TermDevice& d);
// Returns the height in rows (24 when the terminal does not say).
int TermRows(TermDevice& d);
// True once after each SIGWINCH seen by TermWidth or TermRows.
bool TermResized(TermDevice& d);

// Returns the code page 850 byte of a UTF-8 sequence at the start of p (n bytes) in *cp850 (0
// when the code page lacks the character or the sequence is invalid) and how many bytes it took,
// at least 1; 0 when n is too short for the sequence its first byte announces.
int DecodeUtf8(const unsigned char* p, size_t n, int* cp850);

}  // namespace umb::ui
