// EAN-8, EAN-13, UPC-A and UPC-E main symbols, the UPC-E check digit and the 2- and 5-digit add-ons
// (number sets, parity tables and guard patterns of ISO/IEC 15420).
#include <cstring>
#include <string>

#include "engine/BarLL.h"
#include "engine/BarTables.h"

namespace varlen {

namespace {

constexpr const char* kNormalGuard = "101";
constexpr const char* kCentreGuard = "01010";
constexpr const char* kUpcEEndGuard = "010101";
constexpr const char* kAddonStart = "1011";
constexpr const char* kAddonSeparator = "01";
constexpr int kAddonGap = 9;  // light modules between the main symbol and its add-on

constexpr const char* kMainCharsetError = "Barcode: Wrong EAN-charset (Internal error)";
constexpr const char* kAddonCharsetError = "AddonCode: Wrong EAN-charset (Internal error)";

// Value of a digit character. The add-on reaches the engine already filtered to digits; anything
// else counts as 0 so that a table is never indexed out of range.
unsigned char digitValue(char c) { return (c >= '0' && c <= '9') ? static_cast<unsigned char>(c - '0') : 0; }

}  // namespace

const char* TLLBarcode::eanPattern(char parity, unsigned char digit, const char* message) const {
    if (parity == 'A') return tables::EanSetA[digit];
    if (parity == 'B') return tables::EanSetB[digit];
    throw EOverflow(message);
}

int TLLBarcode::ExpandUPCE(const char* text) {
    // Number system 0, then the template of the 6th digit with its X's taken from the digits in order.
    std::string expanded = "0";
    if (strnlen(text, 6) == 6 && text[5] >= '0' && text[5] <= '9') {
        const char* next = text;
        for (const char* t = tables::UpcETemplate[text[5] - '0']; *t; ++t)
            expanded.push_back(*t == 'X' ? *next++ : *t);
    }
    if (expanded.size() != 11) throw EOverflow("Decoded legth of UPC-E code is wrong!");

    static constexpr const char* kWeights = "31313131313";
    int sum = 0;
    for (std::size_t i = 0; i < 11; ++i) sum += digitValue(expanded[i]) * (kWeights[i] - '0');
    return sum;
}

void TLLBarcode::EncodeEAN13() {
    // The leading digit is not drawn; it selects the number sets of digits 2 to 7.
    const char* parity = tables::Ean13Parity[digitValue(CodeText[0])];
    putModules(kNormalGuard);
    for (int i = 1; i <= 6; ++i) putModules(eanPattern(parity[i - 1], digitValue(CodeText[i]), kMainCharsetError));
    putModules(kCentreGuard);
    for (int i = 7; i <= 12; ++i) putModules(tables::EanSetC[digitValue(CodeText[i])]);
    putModules(kNormalGuard);
}

void TLLBarcode::EncodeUPCA() {
    putModules(kNormalGuard);
    for (int i = 0; i <= 5; ++i) putModules(tables::EanSetA[digitValue(CodeText[i])]);
    putModules(kCentreGuard);
    for (int i = 6; i <= 11; ++i) putModules(tables::EanSetC[digitValue(CodeText[i])]);
    putModules(kNormalGuard);
}

void TLLBarcode::EncodeEAN8() {
    putModules(kNormalGuard);
    for (int i = 0; i <= 3; ++i) putModules(tables::EanSetA[digitValue(CodeText[i])]);
    putModules(kCentreGuard);
    for (int i = 4; i <= 7; ++i) putModules(tables::EanSetC[digitValue(CodeText[i])]);
    putModules(kNormalGuard);
}

void TLLBarcode::EncodeUPCE() {
    // The check digit (7th character) is not drawn; it selects the parity of the six digits.
    const char* parity = tables::UpcEParity[digitValue(CodeText[6])];
    putModules(kNormalGuard);
    for (int i = 0; i <= 5; ++i) putModules(eanPattern(parity[i], digitValue(CodeText[i]), kMainCharsetError));
    putModules(kUpcEEndGuard);
}

void TLLBarcode::EncodeAddon2() {
    const char* addon = Params.CodeAddon;
    const int value = digitValue(addon[0]) * 10 + digitValue(addon[1]);
    const char* parity = tables::Addon2Parity[value % 4];
    BarCount += kAddonGap;  // already light
    putModules(kAddonStart);
    for (int k = 0; k < 2; ++k) {
        if (k > 0) putModules(kAddonSeparator);
        putModules(eanPattern(parity[k], digitValue(addon[k]), kAddonCharsetError));
    }
    Bars[++BarCount] = 0;  // the add-on's trailing light module is part of the symbol
}

void TLLBarcode::EncodeAddon5() {
    const char* addon = Params.CodeAddon;
    int d[5];
    for (int k = 0; k < 5; ++k) d[k] = digitValue(addon[k]);
    const int checksum = (3 * (d[0] + d[2] + d[4]) + 9 * (d[1] + d[3])) % 10;
    const char* parity = tables::Addon5Parity[checksum];
    BarCount += kAddonGap;
    putModules(kAddonStart);
    for (int k = 0; k < 5; ++k) {
        if (k > 0) putModules(kAddonSeparator);
        putModules(eanPattern(parity[k], static_cast<unsigned char>(d[k]), kAddonCharsetError));
    }
    Bars[++BarCount] = 0;
}

}  // namespace varlen
