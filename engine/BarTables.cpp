// SPDX-License-Identifier: MIT
// The symbology tables shared by all engines.
#include "engine/BarTables.h"

#include "engine/BarLL.h"

namespace varlen {

TBarCode39::TBarCode39() {
    // Code 39 character table, ISO/IEC 16388: elements bar, space, bar, ... bar; 1 = wide.
    CharSet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";
    Patterns = {
        "000110100", "100100001", "001100001", "101100000", "000110001",  // 0-4
        "100110000", "001110000", "000100101", "100100100", "001100100",  // 5-9
        "100001001", "001001001", "101001000", "000011001", "100011000",  // A-E
        "001011000", "000001101", "100001100", "001001100", "000011100",  // F-J
        "100000011", "001000011", "101000010", "000010011", "100010010",  // K-O
        "001010010", "000000111", "100000110", "001000110", "000010110",  // P-T
        "110000001", "011000001", "111000000", "010010001", "110010000",  // U-Y
        "011010000", "010000101", "110000100", "011000100", "010101000",  // Z - . space $
        "010100010", "010001010", "000101010", "010010100",               // / + % *
    };
    buildIndex();
    for (int ratio = 0; ratio < 2; ++ratio) {
        const int wide = ratio == Ratio_3 ? 3 : 2;
        for (std::size_t c = 0; c < Patterns.size(); ++c) {
            ModuleRow& row = Rows[ratio][c];
            row.count = 0;
            for (int e = 0; e < 9; ++e)
                for (int k = Patterns[c][e] == '1' ? wide : 1; k > 0; --k) row.modules[row.count++] = e % 2 == 0;
            row.modules[row.count++] = 0;  // the gap that follows every character
        }
    }
}

TBarCode128::TBarCode128() {
    // Code 128 symbol widths (bar, space, bar, space, bar, space) for the values 0..106,
    // ISO/IEC 15417. The stop (106) lists its first six widths; its final 2-module bar is StopTail.
    static const char* const kWidths[107] = {
        "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
        "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
        "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
        "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
        "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
        "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
        "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
        "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
        "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
        "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
        "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
        "113141", "114131", "311141", "411131", "211412", "211214", "211232", "233111",
    };
    CharSet.clear();
    for (int code = 32; code <= 138; ++code) CharSet.push_back(static_cast<char>(code));
    for (int v = 0; v < 107; ++v) {
        std::string modules;
        bool bar = true;
        for (const char* w = kWidths[v]; *w; ++w, bar = !bar) modules.append(*w - '0', bar ? '1' : '0');
        Patterns[v] = modules;
    }
    buildIndex();
}

TBarCodabar::TBarCodabar() {
    // Codabar character table (the four start/stop characters A-D included); 1 = wide.
    CharSet = "0123456789-$:/.+ABCD";
    Patterns = {
        "0000011", "0000110", "0001001", "1100000", "0010010",  // 0-4
        "1000010", "0100001", "0100100", "0110000", "1001000",  // 5-9
        "0001100", "0011000", "1000101", "1010001", "1010100",  // - $ : / .
        "0010101", "0011010", "0101001", "0001011", "0001110",  // + A B C D
    };
    buildIndex();
}

TBarPostnet::TBarPostnet() {
    // USPS Postnet digit table (1 = tall bar, two tall bars per digit) and the USPS facing
    // identification marks FIM-A, FIM-B, FIM-C (1 = bar, 0 = empty position).
    CharSet = "0123456789";
    Patterns = {"11000", "00011", "00101", "00110", "01001",
                "01010", "01100", "10001", "10010", "10100"};
    Fim = {"110010011", "101101101", "110101011"};
    buildIndex();
}

const TBarCode39& barCode39() {
    static const TBarCode39 table;
    return table;
}
const TBarCode128& barCode128() {
    static const TBarCode128 table;
    return table;
}
const TBarCodabar& barCodabar() {
    static const TBarCodabar table;
    return table;
}
const TBarPostnet& barPostnet() {
    static const TBarPostnet table;
    return table;
}

namespace tables {

// ISO/IEC 15420 number sets A, B and C (modules, 1 = bar).
const char* const EanSetA[10] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                 "0110001", "0101111", "0111011", "0110111", "0001011"};
const char* const EanSetB[10] = {"0100111", "0110011", "0011011", "0100001", "0011101",
                                 "0111001", "0000101", "0010001", "0001001", "0010111"};
const char* const EanSetC[10] = {"1110010", "1100110", "1101100", "1000010", "1011100",
                                 "1001110", "1010000", "1000100", "1001000", "1110100"};

// ISO/IEC 15420: number set of digits 2-7 of an EAN-13 chosen by the leading digit.
const char* const Ean13Parity[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                     "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};
// ISO/IEC 15420: UPC-E number system 0, parity of the six digits chosen by the check digit.
const char* const UpcEParity[10] = {"BBBAAA", "BBABAA", "BBAABA", "BBAAAB", "BABBAA",
                                    "BAABBA", "BAAABB", "BABABA", "BABAAB", "BAABAB"};
// ISO/IEC 15420 add-on symbols: 2 digits by value mod 4, 5 digits by the add-on checksum.
const char* const Addon2Parity[4] = {"AA", "AB", "BA", "BB"};
const char* const Addon5Parity[10] = {"BBAAA", "BABAA", "BAABA", "BAAAB", "ABBAA",
                                      "AABBA", "AAABB", "ABABA", "ABAAB", "AABAB"};
// UPC-E to UPC-A expansion by the 6th digit; each X takes the next UPC-E digit.
const char* const UpcETemplate[10] = {"XX00000XXX", "XX10000XXX", "XX20000XXX", "XXX00000XX",
                                      "XXXX00000X", "XXXXX00005", "XXXXX00006", "XXXXX00007",
                                      "XXXXX00008", "XXXXX00009"};

// ISO/IEC 16390 Interleaved 2 of 5 digit table, 5 elements per digit, 1 = wide.
const char* const Code25[10] = {"00110", "10001", "01001", "11000", "00101",
                                "10100", "01100", "00011", "10010", "01010"};

}  // namespace tables

}  // namespace varlen
