// SPDX-License-Identifier: MIT
#pragma once
// The two GS1 logistics symbols: GS1-128 (Code 128 with FNC1 in first position, carrying GS1
// Application Identifier element strings) and ITF-14 (a GTIN-14 in Interleaved 2 of 5). Both are
// plain values computed from the data alone; nothing is kept between calls.
//
// Every refusal is an EOverflow whose text names the Application Identifier (or the symbology and
// the position, where there is no AI yet) and what is wrong.
#include <cstdint>
#include <span>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "engine/BarLL.h"

namespace varlen {

// What a component of an AI's data is checked against beyond its characters and length.
enum class TAICheck : std::uint8_t {
    None,
    CheckDigit,       // the last digit is the GS1 modulo-10 check digit of the others
    CheckPair,        // the last two characters are the check characters of a GMN (set 82 data)
    CheckPairWithLetter,  // CheckPair, and not all digits
    Date,             // YYMMDD, day 01..31
    DateOrMonthEnd,   // YYMMDD, day 00 standing for the month's end
    LongDate,         // YYYYMMDD
    HourMinute,       // HHMM
    Hour,             // HH
    Minute,           // MM
    Second,           // SS
    YesNo,            // 0 or 1
    Zero,             // the digit 0
    NonZero,          // not all zeros
    Winding,          // 0, 1 or 9
    PieceOfTotal,     // NNNN piece number then NNNN total (of the component before), piece <= total
    Hyphen,           // "-"
    NoZeroPrefix,     // no leading 0 unless the whole value is "0"
    PercentEncoded,   // every "%" starts a %XX escape
};

// One component of an AI's data: its character set, its length and its check.
struct TAIPart {
    char set = 0;  // 'N' digits, 'X' GS1 set 82, 'Y' GS1 set 39, 'Z' GS1 set 64; 0 after the last part
    std::uint8_t min = 0;
    std::uint8_t max = 0;
    bool optional = false;  // may be left off at the end of the data
    TAICheck check = TAICheck::None;
};

// The data format and the rules of one GS1 Application Identifier, or of a family of them.
struct TAIFormat {
    // The AIs this row covers, digit by digit: an AI of the same length matches when each of its
    // digits lies between the digits of `first` and `last` at that position ("3100".."3105" is
    // 3100 to 3105).
    const char* first;
    const char* last;
    bool predefined;   // predefined length: no FNC1 separator follows it
    bool dlAttribute;  // may stand in a GS1 Digital Link URI as a query attribute
    TAIPart parts[5];
    // Mandatory associations: groups separated by " ", each satisfied by one of its alternatives
    // (separated by ","), an alternative by all of its AIs (joined by "+"); "n" in an AI stands
    // for any digit ("31nn").
    const char* needs;
    // AIs and patterns ("310n") this one may not stand with, separated by ",".
    const char* excludes;
    // A GS1 Digital Link primary key: its key qualifiers in the order of the URI path, separated
    // by ","; alternative sequences separated by "|" ("22,10,21|235"). nullptr for no key.
    const char* dlKey;
};

// The format of `ai` (2 to 4 digits), or nullptr when it is not a known Application Identifier.
const TAIFormat* findAI(std::string_view ai);

// Every row of the AI table, for tests and documentation.
std::span<const TAIFormat> aiTable();

// One element string of the human form: the AI and its data as written.
struct TGS1Element {
    std::string ai;
    std::string data;
    bool predefined = false;  // no FNC1 separator is needed after it
    const TAIFormat* format = nullptr;
};

// Splits and validates the human form "(01)09501101530003(17)260101(10)ABC" element by element;
// throws EOverflow. `symbology` names the carrier in the messages about the human form itself
// ("GS1-128: no data, ...").
std::vector<TGS1Element> parseGS1(std::string_view human, std::string_view symbology = "GS1-128");

// The rules between the element strings of one symbol: an AI given twice with different data, a
// pair GS1 declares invalid, a mandatory association missing. Throws EOverflow naming both AIs.
void checkAssociations(const std::vector<TGS1Element>& elements);

// What a reader transmits after the symbology identifier: the AIs and their data, a GS (0x1D)
// after every element string without a predefined length that is not the last.
std::string elementString(const std::vector<TGS1Element>& elements);

// The GS1 Digital Link URI of the elements: the stem (kDefaultDigitalLinkStem), the primary
// key and its qualifiers as the path, every other AI as a query attribute, values percent-encoded.
// Throws EOverflow ("GS1 Digital Link: ...") for elements without a primary key, or with an AI
// that a URI cannot carry.
std::string digitalLinkUri(const std::vector<TGS1Element>& elements, std::string_view stem);

// Why `stem` cannot begin a GS1 Digital Link URI (it must be an http:// or https:// URL with a
// host and no query or fragment), or the empty text when it can.
std::string digitalLinkStemError(std::string_view stem);

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
