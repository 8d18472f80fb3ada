// SPDX-License-Identifier: MIT
#pragma once
// A screen as a value: its resolution and its size in pixels. The pictures the programs make are
// laid out for one (the resolution), and an enhanced metafile names one as its reference device.
// Nothing below the window keeps one of its own: the window passes the screen it is on, varlen-cli
// and the library a screen of their resolution (kDefaultDpi unless told), 800 x 800 pixels as the
// toolkit's headless display has it, which varlen-cli's EMF files have always named.
#include "platform/Canvas.h"

namespace varlen {

struct ScreenInfo {
    int logPixelsX = kDefaultDpi;
    int logPixelsY = kDefaultDpi;
    int width = 800;
    int height = 800;
    friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
};

// A screen of that resolution, of the headless display's size.
inline ScreenInfo ScreenAt(int dpiX, int dpiY) {
    ScreenInfo screen;
    if (dpiX > 0 && dpiY > 0) {
        screen.logPixelsX = dpiX;
        screen.logPixelsY = dpiY;
    }
    return screen;
}

}  // namespace varlen
