// SPDX-License-Identifier: MIT
// The label's layout: the symbol's drawing with lines of text under it, turned as a whole.
#include "engine/Label.h"

#include <algorithm>
#include <cmath>

#include "engine/BarLL.h"

namespace varlen {

TDrawing LayoutLabel(const TSymbol& symbol, const TLook& look, const TTextLines& lines, int dpiX, int dpiY,
                     TTextMetrics& metrics) {
    if (lines.Lines.empty()) return Layout(symbol, look, dpiX, dpiY, metrics);
    if (dpiX == 0 || dpiY == 0) dpiX = dpiY = kDefaultDpi;  // as Layout reads a resolution of none

    TLook upright = look;
    upright.Rotation = rotate_000;
    TDrawing label = Layout(symbol, upright, dpiX, dpiY, metrics);

    // The lines are set at their size in points whatever the symbol's text height; one cell a line.
    const int em = std::max(1, int(std::lround(lines.Points * dpiY / 72.0)));
    const int cell = metrics.CellOfEm(look.FontName, em);
    const int pitch = std::max(1, metrics.LineHeight(look.FontName, cell));
    // An eighth of a line apart from the symbol's own text, whose digits leave their descent free
    // below them already: enough to read as separate lines, little enough that an EAN-13 with two
    // lines of 8 points keeps to a 38.1 mm label less its padding.
    const int gap = std::max(1, pitch / 8);

    // Centred text stands half its width either side of the centre: an even width, rounded up,
    // keeps both halves on the label.
    int width = label.Size.cx;
    for (const std::string& line : lines.Lines)
        width = std::max(width, 2 * ((metrics.MeasureText(look.FontName, cell, line) + 1) / 2));
    const int shift = (width - label.Size.cx) / 2;
    for (TRect& bar : label.Bars) {
        bar.Left += shift;
        bar.Right += shift;
    }
    for (TDrawnText& text : label.Texts) text.At.X += shift;

    int y = label.Size.cy + gap;
    label.Texts.reserve(label.Texts.size() + lines.Lines.size());
    for (const std::string& line : lines.Lines) {
        // An empty line keeps its place, so that the lines of every label of a run stand alike.
        if (!line.empty()) label.Texts.push_back(TDrawnText{line, TPoint{width / 2, y}, cell, 0});
        y += pitch;
    }
    label.Size = TSize{width, y};
    return Turn(std::move(label), look.Rotation);
}

TSize RenderLabel(const TSymbol& symbol, const TLook& look, const TTextLines& lines, TCanvas& canvas, int X, int Y) {
    const TDrawing label =
        LayoutLabel(symbol, look, lines, canvas.GetDeviceCaps(LOGPIXELSX), canvas.GetDeviceCaps(LOGPIXELSY), canvas);
    return Paint(label, canvas, X, Y);
}

}  // namespace varlen
