// SPDX-License-Identifier: MIT
// EAN-8, EAN-13, UPC-A and UPC-E main symbols, the UPC-E check digit and the 2- and 5-digit add-ons
// (number sets, parity tables and guard patterns of ISO/IEC 15420).
#include <cstring>
#include <string>

#include "engine/BarTables.h"
#include "engine/Encoding.h"
#include "engine/Messages.h"

namespace varlen::detail {

namespace {

constexpr const char* kNormalGuard = "101";
constexpr const char* kCentreGuard = "01010";
constexpr const char* kUpcEEndGuard = "010101";
constexpr const char* kAddonStart = "1011";
constexpr const char* kAddonSeparator = "01";
constexpr int kAddonGap = 9;  // light modules between the main symbol and its add-on

// Value of a digit character. The add-on reaches the engine already filtered to digits; anything
// else counts as 0 so that a table is never indexed out of range.
unsigned char digitValue(char c) { return (c >= '0' && c <= '9') ? static_cast<unsigned char>(c - '0') : 0; }

const char* eanPattern(char parity, unsigned char digit, const char* message) {
    if (parity == 'A') return tables::EanSetA[digit];
    if (parity == 'B') return tables::EanSetB[digit];
    throw EOverflow(message);
}

}  // namespace

int ExpandUPCE(const char* text) {
    // Number system 0, then the template of the 6th digit with its X's taken from the digits in order.
    std::string expanded = "0";
    if (strnlen(text, 6) == 6 && text[5] >= '0' && text[5] <= '9') {
        const char* next = text;
        for (const char* t = tables::UpcETemplate[text[5] - '0']; *t; ++t)
            expanded.push_back(*t == 'X' ? *next++ : *t);
    }
    if (expanded.size() != 11) throw EOverflow(messages::kUpcELength);

    static constexpr const char* kWeights = "31313131313";
    int sum = 0;
    for (std::size_t i = 0; i < 11; ++i) sum += digitValue(expanded[i]) * (kWeights[i] - '0');
    return sum;
}

void EncodeEAN13(TEncoding& e) {
    // The leading digit is not drawn; it selects the number sets of digits 2 to 7.
    const char* parity = tables::Ean13Parity[digitValue(e.CodeText[0])];
    e.putModules(kNormalGuard);
    for (int i = 1; i <= 6; ++i) e.putModules(eanPattern(parity[i - 1], digitValue(e.CodeText[i]), messages::kEanCharset));
    e.putModules(kCentreGuard);
    for (int i = 7; i <= 12; ++i) e.putModules(tables::EanSetC[digitValue(e.CodeText[i])]);
    e.putModules(kNormalGuard);
}

void EncodeUPCA(TEncoding& e) {
    e.putModules(kNormalGuard);
    for (int i = 0; i <= 5; ++i) e.putModules(tables::EanSetA[digitValue(e.CodeText[i])]);
    e.putModules(kCentreGuard);
    for (int i = 6; i <= 11; ++i) e.putModules(tables::EanSetC[digitValue(e.CodeText[i])]);
    e.putModules(kNormalGuard);
}

void EncodeEAN8(TEncoding& e) {
    e.putModules(kNormalGuard);
    for (int i = 0; i <= 3; ++i) e.putModules(tables::EanSetA[digitValue(e.CodeText[i])]);
    e.putModules(kCentreGuard);
    for (int i = 4; i <= 7; ++i) e.putModules(tables::EanSetC[digitValue(e.CodeText[i])]);
    e.putModules(kNormalGuard);
}

void EncodeUPCE(TEncoding& e) {
    // The check digit (7th character) is not drawn; it selects the parity of the six digits.
    const char* parity = tables::UpcEParity[digitValue(e.CodeText[6])];
    e.putModules(kNormalGuard);
    for (int i = 0; i <= 5; ++i) e.putModules(eanPattern(parity[i], digitValue(e.CodeText[i]), messages::kEanCharset));
    e.putModules(kUpcEEndGuard);
}

void EncodeAddon(TEncoding& e, const char* addon) {
    // Start, the digits with a separator between them, and one light module that belongs to the
    // add-on, behind a gap from the main symbol.
    const bool five = std::strlen(addon) == 5;
    const char* parity;
    if (five) {
        int d[5];
        for (int k = 0; k < 5; ++k) d[k] = digitValue(addon[k]);
        parity = tables::Addon5Parity[(3 * (d[0] + d[2] + d[4]) + 9 * (d[1] + d[3])) % 10];
    } else {
        parity = tables::Addon2Parity[(digitValue(addon[0]) * 10 + digitValue(addon[1])) % 4];
    }
    e.putLight(kAddonGap);
    e.putModules(kAddonStart);
    for (int k = 0; k < (five ? 5 : 2); ++k) {
        if (k > 0) e.putModules(kAddonSeparator);
        e.putModules(eanPattern(parity[k], digitValue(addon[k]), messages::kAddonCharset));
    }
    e.putLight(1);
}

}  // namespace varlen::detail
