#pragma once
// What the program knows of the screen: its resolution (asked by the renderer when a surface
// reports none, and reported by every bitmap surface) and its size in pixels (the extents of a
// magnified export). The Qt layer fills it from the primary screen at start; without a screen the
// values below stand.
namespace varlen {

struct ScreenInfo {
    int logPixelsX = 96;
    int logPixelsY = 96;
    int width = 1024;
    int height = 768;
};

const ScreenInfo& Screen();
void SetScreenInfo(const ScreenInfo& info);

}  // namespace varlen
