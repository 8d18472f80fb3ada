// SPDX-License-Identifier: MIT
#include "engine/DataCheck.h"

#include <array>
#include <cstdio>

#include "engine/DataRules.h"
#include "engine/GS1.h"
#include "engine/MatrixCodes.h"
#include "platform/Errors.h"
#include "platform/Utf8.h"

namespace varlen {

namespace {

constexpr std::array<const char*, kCodeTypeCount> kTypeNames = {
    "EAN_8",     "EAN_13",    "UPC_A",     "UPC_E",       "CODE39",  "CODE25i", "CODE25iP",    "CODE128_A",
    "CODE128_B", "CODE128_C", "MSI_Plessey", "Codabar",   "Postnet", "Postnet_FIM", "GS1_128", "ITF14",
    "QRCode",    "DataMatrix", "GS1_DataMatrix", "GS1_QR", "GS1_DL_QR",
};

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

bool FindCodeType(std::string_view name, btCodeTypes& type, bool& bookland) {
    if (equalNoCase(name, "ean128")) name = "gs1-128";
    if (const TDataRule* rule = FindDataRule(name)) {
        type = rule->type;
        bookland = rule->bookland;
        return true;
    }
    bookland = false;
    for (std::size_t i = 0; i < kTypeNames.size(); ++i) {
        if (equalNoCase(name, kTypeNames[i])) {
            type = static_cast<btCodeTypes>(i);
            return true;
        }
    }
    return false;
}

const char* CodeTypeName(btCodeTypes type) { return type < kTypeNames.size() ? kTypeNames[type] : "?"; }

TCheckedData CheckData(const TBarcodeParams& params, bool bookland, bool lenient, std::string_view utf8) {
    const TDataRule& rule = DataRuleOf(params.CodeType, bookland);
    TCheckedData checked;
    // Lenient changes nothing of two-dimensional data: they take any text their symbol holds.
    if (lenient && !IsMatrixType(params.CodeType)) {
        checked.Data = Utf8ToLatin1(utf8);
    } else {
        if (const std::size_t bad = FindInvalidUtf8(utf8); bad != std::string_view::npos) {
            char message[80];
            std::snprintf(message, sizeof message, "the data is not valid UTF-8 (byte %zu is 0x%02X)", bad + 1,
                          static_cast<unsigned char>(utf8[bad]));
            throw EInvalidData(message);
        }
        std::u32string text;
        text.reserve(utf8.size());  // no more characters than bytes
        for (std::size_t i = 0; i < utf8.size();) {
            const TUtf8Char c = DecodeUtf8Char(utf8, i);
            // The engine reads its data up to the first NUL: what follows would vanish.
            if (c.code == 0)
                throw EInvalidData("the data holds a NUL character at position " + std::to_string(text.size() + 1));
            text += c.code;
            i += c.length;
        }
        if (const std::string refusal = StrictDataError(rule, text); !refusal.empty()) throw EInvalidData(refusal);
        if (rule.chars == TDataChars::Text) {
            checked.Data = utf8;  // QR Code carries UTF-8
        } else {
            checked.Data.reserve(text.size());
            for (const char32_t c : text) checked.Data += static_cast<char>(c);  // Latin-1 once accepted
        }
    }
    checked.Caption = rule.bookland ? BooklandCaption(checked.Data) : checked.Data;
    const int limit = MaxCaptionOf(params.CodeType);
    if (IsMatrixType(params.CodeType) && checked.Caption.size() > static_cast<std::size_t>(limit))
        throw EInvalidData(MatrixCapacityError(params, checked.Caption));
    if (checked.Caption.size() > static_cast<std::size_t>(limit))
        throw EInvalidData("the data has " + std::to_string(checked.Caption.size()) + " characters; at most " +
                           std::to_string(limit) + " are taken");
    return checked;
}

std::string CheckAddon(btCodeTypes type, bool bookland, bool lenient, std::string_view addon) {
    if (lenient) return NormaliseAddon(Utf8ToLatin1(addon));
    if (addon.empty()) return {};
    const TDataRule& rule = DataRuleOf(type, bookland);
    const std::string text(addon);
    if (!IsStrictAddon(addon)) throw EInvalidData("--addon " + text + ": an add-on has 2 or 5 digits");
    if (!rule.addon)
        throw EInvalidData("--addon " + text + ": " + rule.name + " takes no add-on (ean13, upca and bookland do)");
    return text;
}

std::string MatrixOptionRefusal(std::string_view option, btCodeTypes type) {
    const bool qr = type == QRCode || type == GS1_QR || type == GS1_DL_QR;
    const bool dataMatrix = type == DataMatrix || type == GS1_DataMatrix;
    const std::string name(option);
    if (option == "--dm-size") return dataMatrix ? "" : name + " goes with --type datamatrix or gs1-datamatrix";
    if (option == "--dl-stem") return type == GS1_DL_QR ? "" : name + " goes with --type dl-qr";
    return qr ? "" : name + " goes with --type qr, gs1-qr or dl-qr";
}

const char* const kDmSizeUsage =
    "--dm-size takes an ECC 200 size RxC: 10x10 to 26x26 in steps of 2, 32x32 to 52x52 in steps of 4, "
    "64x64 to 104x104 in steps of 8, 120x120, 132x132, 144x144, or 8x18, 8x32, 12x26, 12x36, 16x36, 16x48";

std::string DigitalLinkStemRefusal(std::string_view stem) {
    const std::string why = digitalLinkStemError(stem);
    return why.empty() ? why : "--dl-stem " + std::string(stem) + ": the stem " + why;
}

}  // namespace varlen
