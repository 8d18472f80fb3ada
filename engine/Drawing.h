// SPDX-License-Identifier: MIT
#pragma once
// A barcode laid out for a resolution, as a plain value: its size, its bars as filled rectangles
// and its text as strings with a position, a height and an angle. Every surface draws one the same
// way (Paint); none works anything out about symbologies, rotation or module widths.
//
//   TDrawing drawing = Layout(symbol, look, 300, 300, RasterTextMetrics());
//   TBitmap bitmap(drawing.Size.cx, drawing.Size.cy);
//   Paint(drawing, bitmap.Canvas(), 0, 0);
//
// No Qt, and nothing kept between calls.
#include <string>
#include <vector>

#include "engine/Look.h"
#include "platform/Canvas.h"

namespace varlen {

struct TSymbol;
struct TLook;

// One string of the human-readable text.
struct TDrawnText {
    std::string Text;    // Latin-1 bytes
    TPoint At;           // the string's reference point: centred on it, its top edge at it (before turning)
    int Height = 0;      // character-cell height in device units
    int Escapement = 0;  // 0, 900, 1800, 2700: tenths of a degree, counter-clockwise
};

struct TDrawing {
    TSize Size;               // the drawn area; W and H already exchanged for quarter turns
    // Filled rectangles, already turned: Left <= Right, Top <= Bottom, right and bottom edges
    // excluded, from the drawing's top-left corner, in drawing order.
    std::vector<TRect> Bars;
    std::vector<TDrawnText> Texts;  // positions from the drawing's top-left corner too
    std::string FontName;     // the text line's face and height (every string is in that face)
    int FontHeight = 0;
    TColor Foreground = clBlack;  // bars and text
    TColor Background = clWhite;  // the drawn area, painted first unless transparent or white
    bool TransparentBackground = false;
    // Pictures of the two colours only: the text without anti-aliasing (TCanvas::SetMonoText).
    bool Mono = false;
};

// The symbol laid out for a surface of dpiX x dpiY dots per inch (0 on either axis: kDefaultDpi
// on both) whose text has the widths and line height `metrics` gives. Raises nothing.
TDrawing Layout(const TSymbol& symbol, const TLook& look, int dpiX, int dpiY, TTextMetrics& metrics);

// What a layout at a resolution makes of the module and the bars, in dots: the X-dimension (whole
// dots, or with ZoomSize the exact module; 0 for the postal codes, whose bars are fixed in inches),
// the height of the data bars (beside guard bars, the shorter ones) and of the tallest bars,
// bearer bars not included. Layout draws its bars with exactly these.
struct TDrawnBars {
    long double ModuleDots = 0;
    int DataBarDots = 0;
    int FullBarDots = 0;
};
TDrawnBars DrawnBars(const TSymbol& symbol, const TLook& look, int dpiX, int dpiY);

// An upright drawing (laid out without rotation) given a quarter or half turn as a whole: its size,
// bars and texts where Layout puts them for that rotation.
TDrawing Turn(TDrawing upright, btCodeRotate rotation);

// Paints the drawing with its top-left corner at (X, Y) and returns its size. The surface's brush
// and text alignment come back as they were; its font is left at the text line's face and height,
// its text background transparent.
TSize Paint(const TDrawing& drawing, TCanvas& canvas, int X, int Y);

// Fills a rectangle of the surface with the background the look asks for (nothing for a white or
// transparent one): the margin round a drawing is painted by whoever makes the surface.
void PaintBackground(TCanvas& canvas, const TLook& look, const TRect& rect);

}  // namespace varlen
