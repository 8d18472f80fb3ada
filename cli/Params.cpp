// SPDX-License-Identifier: MIT
// The options as the engine's parameter record, and what a drawing makes of them on paper.
#include "cli/Params.h"

#include <cmath>
#include <cstdio>

#include "engine/DataRules.h"

namespace varlen::cli {

namespace {

std::string dots(long double value) {
    char text[32];
    if (value == std::floor(value)) std::snprintf(text, sizeof text, "%.0Lf", value);
    else std::snprintf(text, sizeof text, "%.2Lf", value);
    return text;
}

}  // namespace

Drawn drawnOf(const TSymbol& symbol, const TBarcodeParams& params, int dpi, int scale) {
    Drawn drawn;
    drawn.bars = DrawnBars(symbol, params, dpi, dpi);
    drawn.dotMM = 25.4 * scale / dpi;
    return drawn;
}

TBarcodeParams paramsOf(const CliOptions& o) {
    TBarcodeParams params;
    static_cast<TLook&>(params) = o.look;
    setSymbolOptions(params, o);
    params.Ratio = o.ratio;
    StoreAddon(params, o.addon);
    return params;
}

std::string drawnSizeText(const TSymbol& symbol, const TBarcodeParams& params, int dpi, int scale) {
    const Drawn drawn = drawnOf(symbol, params, dpi, scale);
    if (drawn.bars.ModuleDots == 0) return "bars fixed in inches by the postal standard";
    char text[160];
    const long double module = drawn.bars.ModuleDots * scale;
    if (IsMatrixType(symbol.Type)) {
        std::snprintf(text, sizeof text, "X-dimension %.3f mm (%s %s at %d dpi), square modules",
                      double(drawn.bars.ModuleDots) * drawn.dotMM, dots(module).c_str(), module == 1 ? "dot" : "dots", dpi);
        return text;
    }
    std::snprintf(text, sizeof text, "X-dimension %.3f mm (%s %s at %d dpi), bar height %.2f mm (%d dots)",
                  double(drawn.bars.ModuleDots) * drawn.dotMM, dots(module).c_str(), module == 1 ? "dot" : "dots", dpi,
                  drawn.bars.DataBarDots * drawn.dotMM, drawn.bars.DataBarDots * scale);
    return text;
}

}  // namespace varlen::cli
