// frontend.cpp - the engine's calls into its front end, each copied to the transcript.
#include "engine/show.h"

#include "base/nocase.h"
#include "engine/textlog.h"

#include <cstdio>
#include <cstring>

namespace umb::engine {

namespace {

const FrontEnd& Table(const Game& g) { return *g.Front.table; }

bool LogOn(const Game& g) { return g.Transcript != nullptr; }

// Before the game waits for the player, what the turn showed goes to the transcript's file.
void FlushLog(Game& g) {
    if (LogOn(g)) FlushTextLog(*g.Transcript);
}

}  // namespace

int ChoiceLimit(int count) {
    if (count < 0) count = count < -9 ? 9 : -count;
    if (count > 9) count = 9;
    return count <= 1 ? 2 : count;
}

const char* ChoicePrompt(const char* prompt, int count, char* fallback, size_t size) {
    if (prompt != nullptr) return prompt;
    std::snprintf(fallback, size, "(1:%d): ", ChoiceLimit(count));
    return fallback;
}

void FrontClose(Game& g) {
    Table(g).close(g.Front.self);
    if (LogOn(g)) CloseTextLog(*g.Transcript);
}

void FrontNewGame(Game& g) {
    Table(g).newGame(g.Front.self);
    // The first location of the new game is written whole, even when it is the last one seen.
    if (LogOn(g)) g.Transcript->shown = ShownLocation{};
}

void FrontShowLocation(Game& g, const LocationView& v) {
    Table(g).showLocation(g.Front.self, v);
    if (LogOn(g)) LogLocation(*g.Transcript, v);
}

void FrontShowMessage(Game& g, const char* text) {
    Table(g).showMessage(g.Front.self, text);
    if (LogOn(g) && text != nullptr) LogText(*g.Transcript, text);
}

void FrontShowReply(Game& g, const char* text) {
    Table(g).showReply(g.Front.self, text);
    if (LogOn(g)) LogText(*g.Transcript, text, true);
}

void FrontShowNote(Game& g, const char* text) {
    Table(g).showNote(g.Front.self, text);
    if (LogOn(g)) LogText(*g.Transcript, text, true);
}

void FrontClearMessages(Game& g) { Table(g).clearMessages(g.Front.self); }

bool FrontAskYesNo(Game& g, const char* prompt, char yesLetter, char noLetter) {
    FlushLog(g);
    const bool yes = Table(g).askYesNo(g.Front.self, prompt, yesLetter, noLetter);
    if (LogOn(g)) {
        const char typed[2] = {base::FoldCase(yes ? yesLetter : noLetter), '\0'};
        LogAnswer(*g.Transcript, prompt, typed);
    }
    return yes;
}

int FrontAskChoice(Game& g, const char* prompt, int count) {
    FlushLog(g);
    const int answer = Table(g).askChoice(g.Front.self, prompt, count);
    if (LogOn(g)) {
        const char typed[2] = {answer > 0 ? static_cast<char>('0' + answer) : '\0', '\0'};
        char fallback[16];
        LogAnswer(*g.Transcript, ChoicePrompt(prompt, count, fallback, sizeof fallback), typed);
    }
    return answer;
}

LineResult FrontReadLine(Game& g, const char* prompt, char* buffer, int maxLength) {
    FlushLog(g);
    const LineResult result = Table(g).readLine(g.Front.self, prompt, buffer, maxLength);
    if (LogOn(g)) {
        const char* typed = result == LineResult::Typed  ? buffer
                            : result == LineResult::Undo ? UndoWord
                                                         : "";
        LogAnswer(*g.Transcript, prompt, typed);
    }
    return result;
}

int FrontWaitKeyOrTime(Game& g, int ticks) {
    FlushLog(g);
    return Table(g).waitKeyOrTime(g.Front.self, ticks);
}

PictureResult FrontShowPicture(Game& g, int key, const char* path, const char* name) {
    return Table(g).showPicture(g.Front.self, key, path, name, g.PictureFailure,
                                sizeof g.PictureFailure);
}

bool FrontBusy(Game& g) {
    return g.Front.table != nullptr && Table(g).busy != nullptr && Table(g).busy(g.Front.self);
}

bool FrontInputEnded(Game& g) {
    return g.Front.table != nullptr && Table(g).inputEnded != nullptr &&
           Table(g).inputEnded(g.Front.self);
}

void FrontAlert(Game& g, const char* caption, const char* text) {
    if (g.Front.table != nullptr && Table(g).alert != nullptr) {
        Table(g).alert(g.Front.self, caption, text);
        return;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

void FrontSavedGameWritten(Game& g, const char* path) {
    if (Table(g).savedGameWritten != nullptr) Table(g).savedGameWritten(g.Front.self, path);
}

void FrontReportPictureFailure(Game& g) {
    if (g.PictureFailure[0] == '\0') return;
    FrontShowNote(g, g.PictureFailure);
    g.PictureFailure[0] = '\0';
}

}  // namespace umb::engine
