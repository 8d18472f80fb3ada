// SPDX-License-Identifier: MIT
#pragma once
// The options as the engine's parameter record, and what a drawing of them makes on paper: shared by
// the drawing modes and --dump.
#include <string>

#include "cli/Options.h"

namespace varlen::cli {

// The options as the control's properties would hold them (the options are checked already).
TBarcodeParams paramsOf(const CliOptions& options);

// The bars a drawing at `dpi` dots per inch makes, every dot `scale` times (a picture's --scale):
// their dots, and the millimetres of one dot on paper at that resolution.
struct Drawn {
    TDrawnBars bars;
    double dotMM = 0;
};
Drawn drawnOf(const TSymbol& symbol, const TBarcodeParams& params, int dpi, int scale);

// The same as one line: "X-dimension 0.375 mm (3 dots at 203 dpi), bar height 25.53 mm (204 dots)".
std::string drawnSizeText(const TSymbol& symbol, const TBarcodeParams& params, int dpi, int scale);

}  // namespace varlen::cli
