// text_front.cpp - the text screen's front-end table: each entry hands over to text_screen.h.
#include "ui/text/text_screen.h"

#include <cstdio>

namespace umb::ui {

namespace {

TextScreen& Of(ScreenState& s) { return *s.Cells; }

// A key wait that met the end of the key script ends the game, as the window's does.
int Waited(ScreenState& s, int result) {
    if (Of(s).inputEnded) s.InputEnded = true;
    return result;
}

int CellsOpen(ScreenState& s, const char*) {
    if (s.Cells != nullptr) return TextScreenOpen(*s.Cells, s.Options.NoPictures);
    std::snprintf(s.FrontFailure, sizeof s.FrontFailure, "no text screen was given");
    return -1;
}
void CellsClose(ScreenState& s) { TextScreenClose(Of(s)); }
void CellsNewGame(ScreenState& s) { TextScreenNewGame(Of(s)); }
void CellsShowLocation(ScreenState& s, const LocationView& v) { TextShowLocation(Of(s), v); }
void CellsShowMessage(ScreenState& s, const char* text) { TextShowMessage(Of(s), text); }
void CellsShowReply(ScreenState& s, const char* text) { TextShowReply(Of(s), text); }
void CellsShowNote(ScreenState& s, const char* text) { TextShowNote(Of(s), text); }
void CellsClearMessages(ScreenState& s) { TextClearMessages(Of(s)); }
int CellsAskYesNo(ScreenState& s, const char* prompt, char yes, char no) {
    return Waited(s, TextAskYesNo(Of(s), prompt, yes, no));
}
int CellsAskChoice(ScreenState& s, const char* prompt, int count) {
    return Waited(s, TextAskChoice(Of(s), prompt, count));
}
int CellsReadLine(ScreenState& s, const char* prompt, char* buffer, int maxLength) {
    return Waited(s, TextReadLine(Of(s), prompt, buffer, maxLength));
}
int CellsWaitKeyOrTime(ScreenState& s, int ticks) {
    return Waited(s, TextWaitKeyOrTime(Of(s), ticks));
}
int CellsShowPicture(ScreenState& s, int key, const char* path, const char*) {
    s.PictureFailure[0] = '\0';  // never read, so never failed
    return TextShowPicture(Of(s), key, path);
}
bool CellsBusy(ScreenState& s) { return TextScreenBusy(Of(s)); }

}  // namespace

const FrontEnd TextScreenFrontEnd = {
    "text screen",    CellsOpen,      CellsClose,         CellsNewGame,       CellsShowLocation,
    CellsShowMessage, CellsShowReply, CellsShowNote,      CellsClearMessages, CellsAskYesNo,
    CellsAskChoice,   CellsReadLine,  CellsWaitKeyOrTime, CellsShowPicture,   CellsBusy,
};

}  // namespace umb::ui
