// SPDX-License-Identifier: MIT
// ITF-14: the GTIN-14 of an outer carton as Interleaved 2 of 5 (ISO/IEC 16390), the last digit a
// GS1 modulo-10 check digit. The bearer bars and quiet zones belong to the drawing, not to the row.
#include <cstdio>

#include "engine/BarTables.h"
#include "engine/GS1.h"

namespace varlen {

TITF14Symbol encodeITF14(std::string_view data, btCodeRatio ratio) {
    if (data.empty()) throw EOverflow("ITF-14: no data, expected 13 or 14 digits");
    for (std::size_t i = 0; i < data.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (c < '0' || c > '9') {
            char what[16];
            if (c >= 32 && c <= 126) std::snprintf(what, sizeof what, "\"%c\"", c);
            else std::snprintf(what, sizeof what, "byte 0x%02X", c);
            throw EOverflow("ITF-14: " + std::string(what) + " at position " + std::to_string(i + 1) +
                            " is not a digit");
        }
    }
    if (data.size() != 13 && data.size() != 14)
        throw EOverflow("ITF-14: " + std::to_string(data.size()) + " digits, expected 13 or 14");

    TITF14Symbol symbol;
    const int expected = gs1CheckDigit(data.substr(0, 13));
    if (data.size() == 14 && data[13] - '0' != expected)
        throw EOverflow("ITF-14: check digit " + std::string(1, data[13]) + " is wrong, expected " +
                        std::to_string(expected));
    symbol.digits = std::string(data.substr(0, 13)) + static_cast<char>('0' + expected);
    symbol.text = symbol.digits;

    // Start: four narrow elements; each digit pair: the first digit's five elements in the bars,
    // the second's in the spaces; stop: wide bar, narrow space, narrow bar.
    const std::size_t wide = ratio == Ratio_2 ? 2 : 3;
    auto put = [&](bool bar, bool isWide) { symbol.modules.append(isWide ? wide : 1, bar ? '1' : '0'); };
    for (int i = 0; i < 4; ++i) put(i % 2 == 0, false);
    for (std::size_t i = 0; i < 14; i += 2) {
        const char* bars = tables::Code25[symbol.digits[i] - '0'];
        const char* spaces = tables::Code25[symbol.digits[i + 1] - '0'];
        for (int e = 0; e < 5; ++e) {
            put(true, bars[e] == '1');
            put(false, spaces[e] == '1');
        }
    }
    put(true, true);
    put(false, false);
    put(true, false);
    return symbol;
}

}  // namespace varlen
