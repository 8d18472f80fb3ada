// SPDX-License-Identifier: MIT
#pragma once
// The two GS1 logistics symbols: GS1-128 (Code 128 with FNC1 in first position, carrying GS1
// Application Identifier element strings) and ITF-14 (a GTIN-14 in Interleaved 2 of 5). Both are
// plain values computed from the data alone; nothing is kept between calls.
//
// Every refusal is an EOverflow whose text names the Application Identifier (or the symbology and
// the position, where there is no AI yet) and what is wrong.
#include <cstdint>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "engine/BarLL.h"

namespace varlen {

// The data format of one GS1 Application Identifier, or of a family of them.
struct TAIFormat {
    // The AIs this row covers, digit by digit: an AI of the same length matches when each of its
    // digits lies between the digits of `first` and `last` at that position ("3100".."3165" is
    // 310n to 316n with n = 0..5).
    const char* first;
    const char* last;
    std::uint8_t minLength;      // data characters after the AI
    std::uint8_t maxLength;
    std::uint8_t numericLength;  // leading data characters that must be digits; the rest is set 82
    std::uint8_t checkDigitAt;   // 1-based position of a GS1 modulo-10 check digit, 0 for none
    enum Kind : std::uint8_t {
        Plain,
        Date,          // YYMMDD, day 00 allowed (the end of the month)
        DateTime,      // YYMMDDHHMM, day 01..31
        LeadingZero,   // the first digit is a filler "0"
    } kind;
    bool predefined;  // predefined length: no FNC1 separator follows it
};

// The format of `ai` (2 to 4 digits), or nullptr when it is not a known Application Identifier.
const TAIFormat* findAI(std::string_view ai);

// One element string of the human form: the AI and its data as written.
struct TGS1Element {
    std::string ai;
    std::string data;
    bool predefined = false;  // no FNC1 separator is needed after it
};

// Splits and validates the human form "(01)09501101530003(17)260101(10)ABC"; throws EOverflow.
std::vector<TGS1Element> parseGS1(std::string_view human);

constexpr int kMaxGS1Characters = 48;  // AIs, data and separators of one GS1-128 symbol

// The GS1 modulo-10 check digit of a row of digits (weights 3, 1, 3, ... from the right).
int gs1CheckDigit(std::string_view digits);

struct TGS1Symbol {
    std::vector<int> values;   // Code 128 symbol values 0..106: start, FNC1, data, check, stop
    std::string modules;       // "1" dark / "0" light, 11 per character and 13 for the stop
    std::string text;          // the human-readable line, AIs in parentheses
    std::string elementString; // what a reader transmits after "]C1": separators as GS (0x1D)
};

// The shortest GS1-128 symbol for the human form; throws EOverflow on invalid data.
TGS1Symbol encodeGS1_128(std::string_view human);

struct TITF14Symbol {
    std::string digits;   // the 14 digits, check digit included
    std::string modules;  // Interleaved 2 of 5 start, data and stop, without quiet zones or bearers
    std::string text;     // the human-readable line
};

// ITF-14 from 13 digits (the check digit is added) or 14 (the check digit is verified).
TITF14Symbol encodeITF14(std::string_view data, btCodeRatio ratio = Ratio_3);

// ---- Symbol sizes ----

// The X-dimensions and bar heights a GS1 symbol specification table allows a symbology in its usual
// application (engine/GS1Sizes.cpp cites the tables).
struct TSizeRule {
    const char* symbology;  // the command line's name of the symbology ("ean13", "gs1-128", ...)
    const char* table;      // the table as messages name it
    double minX, targetX, maxX;  // millimetres
    // The least bar height at the target X-dimension, in millimetres; 0 where the data decides the
    // height (matrix symbols).
    double minHeight;
    // The least height grows in proportion to the X-dimension (EAN/UPC, whose table gives it at the
    // least, the target and the largest X); otherwise it is the same at every X-dimension.
    bool heightFollowsX;
};

// One row a symbology, in no particular order.
std::span<const TSizeRule> SizeRules();
// By the symbology's name, in any letter case; nullptr when no table covers it.
const TSizeRule* FindSizeRule(std::string_view symbology);

// Why a symbol whose module is xMM millimetres wide and whose data bars are barHeightMM high lies
// outside the rule's table, or empty when it does not. A height counts to the nearest dot of the
// drawing (dotMM millimetres), as the bars were drawn to it: a height given as the table's least
// passes on every printer. The message names the symbology, the drawn value and the table's
// least and largest values.
std::string SizeRuleError(const TSizeRule& rule, double xMM, double barHeightMM, double dotMM);

}  // namespace varlen
