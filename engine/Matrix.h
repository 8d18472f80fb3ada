// SPDX-License-Identifier: MIT
#pragma once
// The drawing of a module matrix (TBarKind::Matrix): square modules of a whole number of dots, the
// quiet zone round them, the text lines centred below. Plain values, no surface: the renderer
// (BarLL_Render.cpp) turns and paints them.
#include <string>
#include <vector>

#include "engine/BarLL.h"

namespace varlen {

// The symbol at a module size in dots, its quiet zone included.
struct TMatrixGeometry {
    TSize Size;               // modules and quiet zone, in dots
    // The dark modules, relative to the quiet zone's top-left corner: each run of a row one
    // rectangle, and a run that repeats in the rows below taken into it.
    std::vector<TRect> Dark;
    TPoint Text;              // the middle of the top edge of the first text line, right below
};
TMatrixGeometry MatrixGeometry(const TSymbol& symbol, int moduleX, int moduleY);

// The dots of a module at a resolution: nearest(module width x dots per millimetre), at least 1.
int MatrixModuleDots(const TRenderParams& params, long double dotsPerMM);

// The font height of the text lines: 5.5 modules at 100 percent.
int MatrixFontHeight(const TRenderParams& params, long double dotsPerMMY);

// Everything one drawing of a matrix symbol needs, unrotated, with its top-left corner at (X, Y):
// the text slots joined into as few lines as fit the width of the symbol or of the widest slot,
// whichever is wider, `lineHeight` apart; symbol and lines centred.
struct TMatrixDrawing {
    TSize Size;
    std::vector<TRect> Dark;
    struct Line {
        std::string Text;
        TPoint At;  // the middle of its top edge
    };
    std::vector<Line> Lines;
};
TMatrixDrawing LayoutMatrix(const TSymbol& symbol, const TRenderParams& params, long double dotsPerMMX,
                            long double dotsPerMMY, int lineHeight, TTextMetrics& metrics, int X, int Y);

}  // namespace varlen
