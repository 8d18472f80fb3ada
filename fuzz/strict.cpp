// SPDX-License-Identifier: MIT
// Fuzz target: the strict data check in front of the engine. Whatever it accepts (valid UTF-8 data
// and an add-on of 2 or 5 digits for a symbology entry), the engine encodes without an error and
// without changing it: the symbol carries the data exactly as given, the window's notes find
// nothing to say about it, and a refusal is one line of text; a two-dimensional symbol may only
// still find the data too long for its largest size. Anything else is a finding.
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>

#include "FuzzSupport.h"
#include "engine/DataRules.h"
#include "engine/GS1.h"
#include "platform/Utf8.h"

using namespace varlen;
using varlen::fuzz::Finding;

namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
std::string upper(std::string s) {
    for (char& c : s) c = upper(c);
    return s;
}

// What the symbol carries, read back from the prepared symbol text: the data as a reader reports
// it, start and stop characters and appended check characters left aside where the symbology
// shows none.
std::string carried(const TDataRule& rule, const std::string& codeText) {
    const std::size_t n = codeText.size();
    switch (rule.chars) {
        case TDataChars::Code39: return n >= 2 ? codeText.substr(1, n - 2) : "";
        case TDataChars::Code128A:
        case TDataChars::Code128B: return n >= 3 ? codeText.substr(1, n - 3) : "";  // no start, check, stop
        case TDataChars::Code128C: {
            std::string digits;
            for (std::size_t i = 1; i + 2 < n; ++i) {
                const int value = static_cast<unsigned char>(codeText[i]) - 32;
                if (value == 101 && i + 3 < n) {  // Code A, then the last digit in set A
                    digits += codeText[++i];
                } else if (value >= 0 && value < 100) {
                    digits += static_cast<char>('0' + value / 10);
                    digits += static_cast<char>('0' + value % 10);
                } else {
                    digits += '?';
                }
            }
            return digits;
        }
        default: return codeText;
    }
}

// The two-dimensional symbols take any text they hold: the caption is the UTF-8 data for QR Code,
// its Latin-1 bytes for Data Matrix. The engine either draws a symbol of that text (for GS1 the
// element string, for a Digital Link its URI) or refuses it as too long for the largest symbol.
void checkMatrix(const TDataRule& rule, const std::string& data, const std::u32string& text) {
    std::string caption = data;
    if (rule.chars == TDataChars::Latin1) {
        caption.clear();
        for (const char32_t c : text) caption += static_cast<char>(c);
    }
    if (caption.size() > static_cast<std::size_t>(kMax2DCaption)) return;  // refused with the capacity
    TBarcodeParams params;
    params.CodeType = rule.type;
    std::memcpy(params.Caption, caption.data(), caption.size());
    params.Caption[caption.size()] = '\0';
    TSymbol symbol;
    try {
        symbol = Encode(params);
    } catch (const EOverflow& e) {
        if (std::string(e.what()).find(": the data does not fit in ") == std::string::npos)
            Finding("the engine refuses accepted data", e.what());
        return;
    }
    if (symbol.Kind != TBarKind::Matrix || symbol.Modules.size() != std::size_t(symbol.Rows) * std::size_t(symbol.Columns))
        Finding("not a module matrix");
    const bool gs1 = rule.chars == TDataChars::GS1;
    if (!gs1 && symbol.CodeText != caption) Finding("the symbol carries other data", symbol.CodeText);
    if (gs1 && rule.type != GS1_DL_QR && symbol.CodeText != elementString(parseGS1(caption)))
        Finding("the symbol carries another element string", symbol.CodeText);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider in(bytes, size);
    const auto rules = DataRules();
    const TDataRule& rule = rules[in.ConsumeIntegralInRange<std::size_t>(0, rules.size() - 1)];
    const btCodeRatio ratio = in.ConsumeBool() ? Ratio_2 : Ratio_3;
    const std::string addon = in.ConsumeRandomLengthString(8);
    const std::string data = in.ConsumeRemainingBytesAsString();
    fuzz::Context() = std::string("rule=") + rule.name + " addon=\"" + addon + "\" data=\"" + data + "\"";

    if (!IsValidUtf8(data)) return 0;  // refused before the symbology's check
    std::u32string text;
    for (std::size_t i = 0; i < data.size();) {
        const TUtf8Char c = DecodeUtf8Char(data, i);
        if (c.code == 0) return 0;  // refused as well: the engine's text ends at a NUL
        text += c.code;
        i += c.length;
    }
    // The window reads any text typed; whatever it is, that reading must hold up.
    std::u32string typedAddon;
    for (const unsigned char c : addon) typedAddon += c;
    (void)DataChangeNotes(rule, text, typedAddon);
    const std::string refusal = StrictDataError(rule, text);
    if (!refusal.empty()) {
        if (refusal.find('\n') != std::string::npos) Finding("a refusal of more than one line", refusal);
        return 0;
    }
    if (IsMatrixType(rule.type)) {
        checkMatrix(rule, data, text);
        return 0;
    }
    if (data.size() != text.size()) Finding("accepted data that is not ASCII");
    const bool addonTaken = IsStrictAddon(addon) && (rule.addon || addon.empty());
    const std::string caption = rule.bookland ? BooklandCaption(data) : data;

    TLLBarcode engine;
    engine.Params.CodeType = rule.type;
    engine.Params.Ratio = ratio;
    std::memset(engine.Params.Caption, 0, sizeof engine.Params.Caption);  // the record starts as "4711"
    std::memcpy(engine.Params.Caption, caption.data(), caption.size());
    std::memset(engine.Params.CodeAddon, 0, sizeof engine.Params.CodeAddon);
    if (addonTaken) std::memcpy(engine.Params.CodeAddon, addon.data(), addon.size());
    try {
        engine.EncodeBars();
    } catch (const std::exception& e) {
        Finding("the engine refuses accepted data", e.what());
    }
    const std::string codeText = carried(rule, engine.CodeText);
    switch (rule.chars) {
        case TDataChars::Codabar: {
            const char first = upper(caption.front());
            const std::string expected = first >= 'A' && first <= 'D' ? upper(caption) : "A" + caption + "A";
            if (codeText != expected) Finding("the symbol carries other data", codeText);
            break;
        }
        case TDataChars::Fim:
            if (codeText != "FIM-" + upper(caption)) Finding("another mark drawn", codeText);
            break;
        case TDataChars::Code39:
        case TDataChars::Code128A:
        case TDataChars::Code128B:
        case TDataChars::Code128C:
            if (codeText != caption) Finding("the symbol carries other data", codeText);
            break;
        case TDataChars::Digits:
            // Only a check digit may follow the data, and one typed stays as it was.
            if (!codeText.starts_with(caption) || codeText.size() > caption.size() + 1)
                Finding("the symbol carries other data", codeText);
            break;
        case TDataChars::GS1:
            // ITF-14: the 13 or 14 digits and the check digit; GS1-128: the human form drawn as typed.
            if (rule.type == ITF14 && (!codeText.starts_with(caption) || codeText.size() != 14))
                Finding("the symbol carries other data", codeText);
            if (rule.type == GS1_128 && encodeGS1_128(caption).text != caption)
                Finding("the human-readable line differs from the data", encodeGS1_128(caption).text);
            break;
        case TDataChars::Text:
        case TDataChars::Latin1: break;  // the module matrices: checkMatrix
    }
    const std::u32string addonText = addonTaken ? std::u32string(addon.begin(), addon.end()) : std::u32string();
    if (const auto notes = DataChangeNotes(rule, text, addonText); !notes.empty())
        Finding("the window would note a change of accepted data", notes.front());
    return 0;
}
