// SPDX-License-Identifier: MIT
#pragma once
// What the program knows of the screen: its resolution (asked by the renderer when a surface
// reports none, and reported by every bitmap surface) and its size in pixels (the extents of a
// magnified export). The Qt layer fills it from the primary screen at start; without a screen
// (varlen-cli, the library) the values below stand: those of the toolkit's headless display, 96
// dots per inch and 800 x 800 pixels, which varlen-cli's EMF files have always named as their
// reference device.
namespace varlen {

struct ScreenInfo {
    int logPixelsX = 96;
    int logPixelsY = 96;
    int width = 800;
    int height = 800;
};

const ScreenInfo& Screen();
void SetScreenInfo(const ScreenInfo& info);

}  // namespace varlen
