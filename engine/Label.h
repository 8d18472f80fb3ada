#pragma once
// SPDX-License-Identifier: MIT
// A label: a symbol with lines of text under it (a product's name, its price), laid out as one
// drawing, so that every surface paints the label through the one painter (Paint) and a rotation
// turns the whole label. No Qt.
//
//   TTextLines lines{{"Apple juice", "1.99 EUR"}, 8};
//   TDrawing label = LayoutLabel(symbol, look, lines, 300, 300, RasterTextMetrics());
#include <string>
#include <vector>

#include "engine/Drawing.h"
#include "engine/Look.h"

namespace varlen {

struct TSymbol;

struct TTextLines {
    std::vector<std::string> Lines;  // Latin-1 bytes, one string a line, no line breaks inside
    double Points = 8;               // the size of their face (its em), in points
};

// The symbol laid out upright as Layout does, the lines under it and its human-readable line,
// each centred on the label in the look's face; then the whole label turned by the look's
// rotation. The label is as wide as the wider of the symbol and its longest line. Without lines,
// exactly Layout's drawing.
TDrawing LayoutLabel(const TSymbol& symbol, const TLook& look, const TTextLines& lines, int dpiX, int dpiY,
                     TTextMetrics& metrics);

// Lays the label out for the surface (its resolution and its text metrics) and paints it with its
// top-left corner at (X, Y); returns the drawn size.
TSize RenderLabel(const TSymbol& symbol, const TLook& look, const TTextLines& lines, TCanvas& canvas, int X, int Y);

}  // namespace varlen
