// gfx.h - the graphics layer: the only code that reaches the window system.
#pragma once

// Shows a modal message box with one OK button and returns when it is closed; where no box can
// be shown the text goes to standard error as "Caption: text".
void GfxMessageBox(const char* caption, const char* text);
