// text_front.cpp - the text screen's front-end table: each entry hands over to text_screen.h.
#include "ui/text/text_screen.h"

namespace umb::ui {

namespace {

using engine::LocationView;

TextScreen& Of(void* self) { return *static_cast<TextScreen*>(self); }

engine::OpenResult CellsOpen(void* self, const engine::GameLook&, char*, size_t) {
    TextScreenOpen(Of(self));
    return engine::OpenResult::Ready;
}
void CellsClose(void* self) { TextScreenClose(Of(self)); }
void CellsNewGame(void* self) { TextScreenNewGame(Of(self)); }
void CellsShowLocation(void* self, const LocationView& v) { TextShowLocation(Of(self), v); }
void CellsShowMessage(void* self, const char* text) { TextShowMessage(Of(self), text); }
void CellsShowReply(void* self, const char* text) { TextShowReply(Of(self), text); }
void CellsShowNote(void* self, const char* text) { TextShowNote(Of(self), text); }
void CellsClearMessages(void* self) { TextClearMessages(Of(self)); }
bool CellsAskYesNo(void* self, const char* prompt, char yes, char no) {
    return TextAskYesNo(Of(self), prompt, yes, no);
}
int CellsAskChoice(void* self, const char* prompt, int count) {
    return TextAskChoice(Of(self), prompt, count);
}
LineResult CellsReadLine(void* self, const char* prompt, char* buffer, int maxLength) {
    return TextReadLine(Of(self), prompt, buffer, maxLength);
}
int CellsWaitKeyOrTime(void* self, int ticks) { return TextWaitKeyOrTime(Of(self), ticks); }
// Never read, so never failed: why stays empty.
engine::PictureResult CellsShowPicture(void* self, int key, const char* path, const char*,
                                       char* why, size_t whySize) {
    if (whySize > 0) why[0] = '\0';
    return TextShowPicture(Of(self), key, path);
}
bool CellsBusy(void* self) { return TextScreenBusy(Of(self)); }
bool CellsInputEnded(void* self) { return Of(self).inputEnded; }

}  // namespace

const engine::FrontEnd TextScreenFrontEnd = {
    "text screen",      CellsOpen,         CellsClose,
    CellsNewGame,       CellsShowLocation, CellsShowMessage,
    CellsShowReply,     CellsShowNote,     CellsClearMessages,
    CellsAskYesNo,      CellsAskChoice,    CellsReadLine,
    CellsWaitKeyOrTime, CellsShowPicture,  CellsBusy,
    CellsInputEnded,    nullptr,           nullptr,
};

}  // namespace umb::ui
