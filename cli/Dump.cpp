// SPDX-License-Identifier: MIT
#include "cli/Dump.h"

#include <cstdio>
#include <cstring>

#include "cli/Params.h"
#include "engine/DataRules.h"

namespace varlen::cli {

std::string escapeCodeText(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 32 && c <= 126) {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

void configureEngine(TLLBarcode& engine, const CliOptions& options) {
    CheckCaptionLength(options.caption, options.type);
    // The engine reads the data as a NUL-terminated text: an embedded NUL cannot come from a
    // command line, so the bytes go in as they are.
    std::memset(engine.Params.Caption, 0, sizeof engine.Params.Caption);
    std::memcpy(engine.Params.Caption, options.caption.data(), options.caption.size());
    std::memset(engine.Params.CodeAddon, 0, sizeof engine.Params.CodeAddon);
    std::memcpy(engine.Params.CodeAddon, options.addon.data(), options.addon.size());
    engine.Params.CodeType = options.type;
    engine.Params.Ratio = options.ratio;
}

void runDump(const CliOptions& options, std::ostream& out) {
    // A module matrix: its rows, and the URI a Digital Link QR Code carries before them.
    if (IsMatrixType(options.type)) {
        TBarcodeParams params;
        setSymbolOptions(params, options);
        StoreCaption(params, options.caption);
        const TSymbol symbol = Encode(params);
        if (options.type == GS1_DL_QR) out << symbol.CodeText << '\n';
        std::string row;
        for (int r = 0; r < symbol.Rows; ++r) {
            row.clear();
            for (int c = 0; c < symbol.Columns; ++c)
                row += symbol.Modules[static_cast<std::size_t>(r * symbol.Columns + c)] ? '1' : '0';
            out << row << '\n';
        }
        return;
    }
    TLLBarcode engine;
    configureEngine(engine, options);
    engine.EncodeBars();
    std::string modules(static_cast<std::size_t>(engine.BarCount), '0');
    for (int i = 1; i <= engine.BarCount; ++i)
        if (engine.Bars[i]) modules[static_cast<std::size_t>(i - 1)] = '1';
    out << escapeCodeText(engine.CodeText) << '\n' << modules << '\n';
    // Asked for a physical size, or told to say it: what a picture of it would draw.
    if (options.verbose || options.look.XDimensionMM > 0 || options.look.BarHeightMM > 0 || options.dpi > 0) {
        TBarcodeParams params = paramsOf(options);
        StoreCaption(params, options.caption);
        out << drawnSizeText(Encode(params), params, options.dpi > 0 ? options.dpi : kDefaultDpi, options.scale) << '\n';
    }
}

}  // namespace varlen::cli
