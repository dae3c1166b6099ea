// x_window.h - the few requests the window tests make of the X server, kept apart from the tests
// because the X headers define macros (None, Bool, Status) that clash with ordinary names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct XLink;

// Connects to the X server of display (":N"); nullptr when it cannot.
XLink* XLinkOpen(const std::string& display);
void XLinkClose(XLink* link);

// The top-left width x height pixels that window shows, row after row, as 0xRRGGBB; empty when
// they cannot be read.
std::vector<uint32_t> XLinkWindowPixels(XLink* link, unsigned long window, int width, int height);

// Asks window to close, as a window manager's close button does.
void XLinkAskToClose(XLink* link, unsigned long window);

// Gives a key of its own to the keysym named (as "egrave"), so that a tool presses it as a key
// the keyboard has rather than by changing the keyboard's map for a moment, which a program may
// read too late. Returns false when no key is free.
bool XLinkMapKey(XLink* link, const std::string& keysymName);
