// frontend.h - the front-end seam: what the engine shows and asks, at the level of texts.
//
// The engine hands over a location's name and status line, its description, messages, prompts,
// the keys or lines it wants and the pictures to show; it never learns who shows them. A front
// end is a flat table of functions and a pointer to its own state, handed to every call. The
// window draws pixels into four framed areas, the terminal writes text, the text screen keeps
// the window's areas as rows of text for tools and tests. The engine reaches them only through
// the Front functions of engine/show.h, which also copy what is shown to a transcript.
#pragma once

#include <cstddef>

namespace umb::engine {

// What reading a command line gives.
enum class LineResult : int {
    Typed = 0,  // a line was typed (it may be empty)
    Undo = 1,   // the player asked to take back the last command (Ctrl+Z)
    Quit = 2,   // the player asked to quit (Ctrl+C, or the end of input, in a terminal)
    Ended = 3,  // the input ran out for good (a key script's end): the game ends there
};

// What a command line shows and the transcript writes for Ctrl+Z: the word that asks the same.
constexpr char UndoWord[] = "undo";

// Texts are shown up to this many bytes less one; what goes past is cut off.
constexpr size_t WorkBufferSize = 2048;

// A colour by its red, green and blue parts, 0 to 255 each.
struct RgbColour {
    int red = 0, green = 0, blue = 0;
};

// What a front end learns of the game when it opens: all it shows of it besides the texts.
struct GameLook {
    const char* title = nullptr;  // the game's title; null or empty: the program's own caption
    // The game's colours; without its own, near-white on black.
    RgbColour background{0, 0, 0};
    RgbColour foreground{240, 240, 240};
    // The game has a verb "status" of its own: a front end's own word of that name steps aside.
    bool hasStatusVerb = false;
};

// A location as the engine describes it; every text has its marks expanded.
struct LocationView {
    const char* name = nullptr;    // never null
    const char* status = nullptr;  // the status line, null when the game has none
    // The description, the objects line and the exits line, those present, in reading order.
    const char* texts[3] = {};
    int textCount = 0;
    // Described anew on purpose (a redescribe, an undo, a restore): a text front end shows it
    // whole again even when nothing in it changed.
    bool again = false;
};

enum class OpenResult : int {
    Ready = 0,
    Failed = -1,  // the front end cannot be shown here; the reason is handed back
};

enum class PictureResult : int {
    Shown = 0,     // shown, or the picture asked for last (nothing changed)
    Blanked = -1,  // the picture area is blank: no path, pictures off, or it cannot be shown
};

// One front end: what it does, each call with its own state (self).
struct FrontEnd {
    const char* name;  // as "Cannot open the NAME: reason" says it
    // Makes the front end ready for the game; on failure why receives the reason (whySize
    // bytes at most).
    OpenResult (*open)(void* self, const GameLook& look, char* why, size_t whySize);
    void (*close)(void* self);
    // A game begins: everything shown is blank again and the input history empty.
    void (*newGame)(void* self);
    void (*showLocation)(void* self, const LocationView& v);
    // A new line of messages; null shows nothing (an undefined message).
    void (*showMessage)(void* self, const char* text);
    // A debug answer, in place of the line just typed.
    void (*showReply)(void* self, const char* text);
    // A line of the program's own (a picture's failure), shown exactly as given: a backslash in
    // it breaks nothing.
    void (*showNote)(void* self, const char* text);
    void (*clearMessages)(void* self);
    // Asks with prompt on a new line of messages and returns true for yesLetter, false for
    // noLetter, either case; the key is echoed.
    bool (*askYesNo)(void* self, const char* prompt, char yesLetter, char noLetter);
    // Returns the digit typed, 1 to count (at most 9), or 0 for Escape unless count is negative;
    // asks with prompt, "(1:N): " when there is none.
    int (*askChoice)(void* self, const char* prompt, int count);
    // Reads the line the player types after prompt into buffer (maxLength characters at most);
    // buffer is empty for every result but Typed.
    LineResult (*readLine)(void* self, const char* prompt, char* buffer, int maxLength);
    // Returns the key read, or the ticks passed: waits for a key (0), for a key or ticks
    // milliseconds (above 0), or -ticks milliseconds without reading keys (below 0).
    int (*waitKeyOrTime)(void* self, int ticks);
    // Shows the picture at path; key names it, and the picture asked for last is not shown
    // again. When it is not shown whole, why receives "picture NAME: reason".
    PictureResult (*showPicture)(void* self, int key, const char* path, const char* name, char* why,
                                 size_t whySize);
    // A turn has been running a while (a script that may never end): returns true when the
    // player asks to stop it. Called every few thousand script lines, so it must be cheap; the
    // front end may use it to keep itself alive (the browser's page). Null: never asked.
    bool (*busy)(void* self);
    // Returns true once a question met the end of the input (a key script played out): the game
    // ends at once, asking nothing more. Null: the input never ends that way.
    bool (*inputEnded)(void* self);
    // Tells the player of a failure outside the game (a transcript that cannot be written),
    // also before open. Null: on standard error.
    void (*alert)(void* self, const char* caption, const char* text);
    // A saved game was written at path, a slot or the autosave, or the autosave was removed from
    // there (its game ended): the front end tells which by whether the file is there (the
    // browser keeps copies elsewhere). Null: nothing.
    void (*savedGameWritten)(void* self, const char* path);
};

// Returns the highest digit a choice of count takes: 2 to 9 (a negative count: no Escape).
int ChoiceLimit(int count);
// Returns prompt, or when there is none the default "(1:N): " for count written into fallback.
const char* ChoicePrompt(const char* prompt, int count, char* fallback, size_t size);

// A front end and its state: what the engine is handed to show a game with.
struct FrontHandle {
    const FrontEnd* table = nullptr;
    void* self = nullptr;
};

// The key of no picture, which counts as the picture asked for last before any was.
constexpr int NoPictureKey = 0;

}  // namespace umb::engine
