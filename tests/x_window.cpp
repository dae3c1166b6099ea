// x_window.cpp - reads a window's pixels and asks it to close, through the X library.
#include "x_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

struct XLink {
    Display* display;
};

XLink* XLinkOpen(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    return d == nullptr ? nullptr : new XLink{d};
}

void XLinkClose(XLink* link) {
    if (link == nullptr) return;
    XCloseDisplay(link->display);
    delete link;
}

namespace {

// One colour channel of a pixel, scaled to 8 bits as the visual's mask places it.
uint32_t Channel(unsigned long pixel, unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return static_cast<uint32_t>((pixel >> shift) & mask & 255);
}

}  // namespace

std::vector<uint32_t> XLinkWindowPixels(XLink* link, unsigned long window, int width, int height) {
    std::vector<uint32_t> pixels;
    XImage* image = XGetImage(link->display, window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            pixels.push_back(Channel(p, image->red_mask) << 16 |
                             Channel(p, image->green_mask) << 8 | Channel(p, image->blue_mask));
        }
    XDestroyImage(image);
    return pixels;
}

void XLinkAskToClose(XLink* link, unsigned long window) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(link->display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(link->display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(link->display, window, False, NoEventMask, &e);
    XFlush(link->display);
}

bool XLinkMapKey(XLink* link, const std::string& keysymName) {
    const KeySym wanted = XStringToKeysym(keysymName.c_str());
    if (wanted == NoSymbol) return false;
    int low = 0, high = 0;
    XDisplayKeycodes(link->display, &low, &high);
    int perCode = 0;
    KeySym* map = XGetKeyboardMapping(link->display, static_cast<KeyCode>(low), high - low + 1,
                                      &perCode);
    if (map == nullptr) return false;
    int spare = -1;
    for (int code = high; code >= low && spare < 0; --code) {
        bool empty = true;
        for (int i = 0; i < perCode; ++i)
            empty = empty && map[(code - low) * perCode + i] == NoSymbol;
        if (empty) spare = code;
    }
    XFree(map);
    if (spare < 0) return false;
    KeySym both[2] = {wanted, wanted};
    XChangeKeyboardMapping(link->display, spare, 2, both, 1);
    XSync(link->display, False);
    return true;
}
