// SPDX-License-Identifier: MIT
// Encoding: the preparation of the symbol text that all symbologies share, the dispatch to the
// encoders, and the symbol that comes out (its module row, guards, add-on and text slots).
#include "engine/BarLL.h"

#include <algorithm>
#include <cstring>

#include "engine/BarTables.h"
#include "engine/Encoding.h"
#include "engine/GS1.h"
#include "engine/MatrixCodes.h"
#include "engine/Messages.h"

namespace varlen {

namespace detail {

namespace {

constexpr const char* kDigits = "0123456789";

constexpr std::size_t kMaxData = kMaxClassicData;

std::size_t boundedLength(const char* text, std::size_t limit) { return strnlen(text, limit); }

// Cut the text to `length` characters or fill it up with "0" on the right.
void fixLength(char* text, std::size_t length) {
    std::size_t n = std::strlen(text);
    while (n < length) text[n++] = '0';
    text[length] = '\0';
}

void appendChar(char* text, char c) {
    std::size_t n = std::strlen(text);
    text[n] = c;
    text[n + 1] = '\0';
}

struct AcceptedSet {
    explicit AcceptedSet(const char* members) {
        for (const char* p = members; *p; ++p) member[static_cast<unsigned char>(*p)] = true;
    }
    bool member[256] = {};
};

unsigned char upperLatin(unsigned char c) {
    // Only the letters a to z change; accented Latin-1 letters stay as they are.
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

}  // namespace

void PrepareCodeText(const char* data, char* out, btCodeTypes codeType) {
    TransfervalidChars(data, out, codeType);
    switch (codeType) {
        case EAN_8: fixLength(out, 7); AddCheckDigit(out, codeType); break;
        case EAN_13: fixLength(out, 12); AddCheckDigit(out, codeType); break;
        case UPC_A: fixLength(out, 11); AddCheckDigit(out, codeType); break;
        case UPC_E: fixLength(out, 6); AddCheckDigit(out, codeType); break;
        case CODE25i:
        case CODE25iP:
            if (std::strlen(out) % 2 == 1) AddCheckDigit(out, codeType);
            break;
        case CODE128_A:
        case CODE128_B:
        case CODE128_C: AddCode128Check(out); break;
        case MSI_Plessey: AddMSIProofchar(out, codeType); break;
        case Postnet: {
            std::size_t n = std::strlen(out);
            if (n >= 11) fixLength(out, 11);
            else if (n >= 9) fixLength(out, 9);
            else fixLength(out, 5);
            AddCheckDigit(out, codeType);
            break;
        }
        case CODE39:
        case Codabar:
        case Postnet_FIM: break;
        default: throw EOverflow(messages::kUnknownType);
    }
}

void TransfervalidChars(const char* data, char* out, btCodeTypes codeType) {
    const std::size_t n = boundedLength(data, kMaxData);

    if (codeType == CODE128_A || codeType == CODE128_B || codeType == CODE128_C) {
        char input[kMaxData + 2];
        input[0] = static_cast<char>(135 + (codeType - CODE128_A));  // Start A, B or C
        std::memcpy(input + 1, data, n);
        input[n + 1] = '\0';
        ConvertCode128(input, cmSymbol, out);
        return;
    }
    if (codeType == Codabar) {
        // Codabar upper-cases what it reads; a copy, so that the data stays as given.
        char copy[kMaxData + 1];
        std::memcpy(copy, data, n);
        copy[n] = '\0';
        PrepareCodabar(copy, out);
        return;
    }

    // The accepted set of the type, as a byte lookup built once, when the type is first used.
    const AcceptedSet& accepted = [codeType]() -> const AcceptedSet& {
        switch (codeType) {
            case CODE39: {
                static const AcceptedSet code39(barCode39().CharSet.c_str());
                return code39;
            }
            case Postnet: {
                static const AcceptedSet postnet(barPostnet().CharSet.c_str());
                return postnet;
            }
            case Postnet_FIM: {
                static const AcceptedSet fim("ABCabc");
                return fim;
            }
            default: {
                static const AcceptedSet digits(kDigits);
                return digits;
            }
        }
    }();

    char* dest = out;
    if (codeType == CODE39) *dest++ = '*';
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        if (codeType == CODE39) c = upperLatin(c);
        *dest++ = accepted.member[c] ? static_cast<char>(c) : '0';
    }
    if (codeType == CODE39) *dest++ = '*';
    *dest = '\0';
}

void AddCheckDigit(char* text, btCodeTypes codeType) {
    static constexpr const char* kAlternating31 = "31313131313131313131313131313131313131313131313131";
    static constexpr const char* kAlternating49 = "49494949494949494949494949494949494949494949494949";

    const char* weights = nullptr;
    switch (codeType) {
        case EAN_8: weights = "3131313"; break;
        case EAN_13: weights = "131313131313"; break;
        case UPC_A:
        case UPC_E: weights = "31313131313"; break;
        case CODE25i: weights = kAlternating31; break;
        case CODE25iP: weights = kAlternating49; break;
        case Postnet: weights = "11111111111"; break;
        default: throw EOverflow(messages::kNoCheckChar);
    }

    int sum = 0;
    if (codeType == UPC_E) {
        sum = ExpandUPCE(text);  // UPC-E takes its check digit from the expanded UPC-A form
    } else {
        const std::size_t weightCount = std::strlen(weights);
        for (std::size_t i = 0; text[i] != '\0' && i < weightCount; ++i)
            sum += (text[i] - '0') * (weights[i] - '0');
    }
    appendChar(text, static_cast<char>('0' + (10 - sum % 10) % 10));
}

}  // namespace detail

namespace {

using detail::TEncoding;

// The human-readable text of each symbology: which characters of the symbol text, centred on
// which module, standing where. Characters count from 1. (The add-on's digits come after these.)
enum class TSource : std::uint8_t {
    Chars,             // Count characters from From (fewer where the text is shorter)
    WithoutStartStop,  // the symbol text without its first and last character
    Code128Readable,   // the data as the start character's set reads it
    Grouped,           // the symbol text regrouped for reading (GroupPostText)
};

constexpr int kMiddle = -1;  // the module in the middle of the row: BarCount / 2
constexpr int kAll = 64;

struct TSlotRule {
    btCodeTypes Type;
    TSource Source;
    int From;
    int Count;
    TTextAnchor Anchor;
    int Module;
    TTextRow Row;
    int Scale;
};

constexpr TTextAnchor kAtModule = TTextAnchor::Module;
constexpr TTextRow kUnderData = TTextRow::BelowDataBars;
constexpr TTextRow kUnderBars = TTextRow::BelowBars;

constexpr TSlotRule kSlotRules[] = {
    // EAN/UPC (ISO/IEC 15420): each half under its data bars; the leading digit of EAN-13 and
    // UPC-A in the left quiet zone, the check digit of UPC-A in the right one.
    {EAN_8, TSource::Chars, 1, 4, kAtModule, 18, kUnderData, 1},
    {EAN_8, TSource::Chars, 5, 4, kAtModule, 50, kUnderData, 1},
    {EAN_13, TSource::Chars, 1, 1, TTextAnchor::LeftQuiet, 0, kUnderData, 1},
    {EAN_13, TSource::Chars, 2, 6, kAtModule, 25, kUnderData, 1},
    {EAN_13, TSource::Chars, 8, 6, kAtModule, 72, kUnderData, 1},
    {UPC_A, TSource::Chars, 1, 1, TTextAnchor::LeftQuiet, 0, kUnderData, 1},
    {UPC_A, TSource::Chars, 2, 5, kAtModule, 25, kUnderData, 1},
    {UPC_A, TSource::Chars, 7, 5, kAtModule, 72, kUnderData, 1},
    {UPC_A, TSource::Chars, 12, 1, TTextAnchor::RightQuiet, 95, kUnderData, 1},
    // UPC-E shows its six digits, not the check digit that chose their parities.
    {UPC_E, TSource::Chars, 1, 6, kAtModule, kMiddle, kUnderData, 1},
    {CODE39, TSource::WithoutStartStop, 0, 0, kAtModule, kMiddle, kUnderBars, 1},
    {Codabar, TSource::WithoutStartStop, 0, 0, kAtModule, kMiddle, kUnderBars, 1},
    {CODE25i, TSource::Chars, 1, kAll, kAtModule, kMiddle, kUnderBars, 1},
    {CODE25iP, TSource::Grouped, 0, 0, kAtModule, kMiddle, kUnderBars, 1},
    {CODE128_A, TSource::Code128Readable, 0, 0, kAtModule, kMiddle, kUnderBars, 1},
    {CODE128_B, TSource::Code128Readable, 0, 0, kAtModule, kMiddle, kUnderBars, 1},
    {CODE128_C, TSource::Code128Readable, 0, 0, kAtModule, kMiddle, kUnderBars, 1},
    {MSI_Plessey, TSource::Chars, 1, kAll, kAtModule, kMiddle, kUnderBars, 1},
    // Postal codes: the digits under the bars at five times the height of a tall bar's text.
    {Postnet, TSource::Chars, 1, kAll, TTextAnchor::Span, 0, kUnderBars, 5},
    {Postnet_FIM, TSource::Chars, 1, kAll, TTextAnchor::Span, 0, kUnderBars, 1},
};

// The add-on's digits stand over its bars: 2 digits centred on module 115, 5 digits on 128.
constexpr int kAddon2Centre = 115;
constexpr int kAddon5Centre = 128;

// Guard bars of the EAN/UPC main symbols, ISO/IEC 15420: start, centre and end patterns.
std::vector<TModuleRange> guardsOf(btCodeTypes type) {
    switch (type) {
        case EAN_13:
        case UPC_A: return {{1, 3}, {46, 50}, {93, 95}};
        case EAN_8: return {{1, 3}, {32, 36}, {65, 67}};
        case UPC_E: return {{1, 3}, {46, 51}};
        default: return {};
    }
}

std::string slotText(const TSlotRule& rule, const std::string& code, const char* data, int groupSplit) {
    switch (rule.Source) {
        case TSource::Chars:
            return static_cast<std::size_t>(rule.From - 1) < code.size()
                       ? code.substr(static_cast<std::size_t>(rule.From - 1), static_cast<std::size_t>(rule.Count))
                       : std::string();
        case TSource::WithoutStartStop:
            return code.size() >= 2 ? code.substr(1, code.size() - 2) : std::string();
        case TSource::Code128Readable: {
            std::string in(1, code.empty() ? '\0' : code[0]);
            in += data;
            char out[256] = {};
            detail::ConvertCode128(in.c_str(), cmText, out);
            return out;
        }
        case TSource::Grouped: {
            char text[64] = {};
            std::memcpy(text, code.data(), std::min(code.size(), sizeof text - 1));
            detail::GroupPostText(text, groupSplit);
            return text;
        }
    }
    return {};
}


// The light margins of the symbology standards, in modules: ISO/IEC 15420 for EAN/UPC (an
// add-on takes 5 after it), ISO/IEC 15417 for Code 128 and GS1-128, ISO/IEC 16388 for Code 39,
// ISO/IEC 16390 for Interleaved 2 of 5 and ITF-14, 10 for Codabar and 12 for MSI. The postal
// codes have none in modules.
struct TQuiet {
    int left;
    int right;
};

TQuiet standardQuiet(btCodeTypes type, bool addon) {
    switch (type) {
        case EAN_13: return {11, addon ? 5 : 7};
        case UPC_A: return {9, addon ? 5 : 9};
        case EAN_8: return {7, 7};
        case UPC_E: return {9, 7};
        case MSI_Plessey: return {12, 12};
        case Postnet:
        case Postnet_FIM: return {0, 0};
        default: return {10, 10};
    }
}

// A quiet zone counts from the outermost bar: the light modules a row ends with already belong to
// it (the gap after Code 39's and Codabar's stop character, MSI's termination, the add-on's last
// space), and only the rest is drawn beside the row.
void setStandardQuiet(TSymbol& symbol, TQuiet quiet) {
    if (symbol.Kind != TBarKind::Modules) return;
    const auto& m = symbol.Modules;
    const auto firstBar = std::find(m.begin(), m.end(), 1);
    if (firstBar == m.end()) return;
    const int leading = static_cast<int>(firstBar - m.begin());
    const int trailing = static_cast<int>(std::find(m.rbegin(), m.rend(), 1) - m.rbegin());
    symbol.StandardQuietLeft = std::max(0, quiet.left - leading);
    symbol.StandardQuietRight = std::max(0, quiet.right - trailing);
}

// GS1-128 and ITF-14 come from their own encoders, which refuse what they cannot encode exactly.
TSymbol encodeLogistics(btCodeTypes type, std::string_view data, btCodeRatio ratio) {
    TSymbol symbol;
    symbol.Type = type;
    TTextSlot slot;
    if (type == GS1_128) {
        const TGS1Symbol gs1 = encodeGS1_128(data);
        // Symbol characters as Code 128 keeps them: the value + 32.
        for (const int v : gs1.values) symbol.CodeText += static_cast<char>(v + 32);
        for (const char m : gs1.modules) symbol.Modules.push_back(m == '1');
        slot.Text = gs1.text;
    } else {
        const TITF14Symbol itf = encodeITF14(data, ratio);
        symbol.CodeText = itf.digits;
        for (const char m : itf.modules) symbol.Modules.push_back(m == '1');
        slot.Text = itf.text;
        // Its quiet zones belong to the symbol: the bearer frame stands outside them.
        symbol.QuietModules = 10;
        symbol.Bearers = true;
    }
    setStandardQuiet(symbol, standardQuiet(type, false));
    slot.Module = symbol.BarCount() / 2;
    symbol.Text.push_back(std::move(slot));
    return symbol;
}

}  // namespace

TSymbol Encode(const TBarcodeParams& params) {
    const btCodeTypes type = params.CodeType;
    if (IsMatrixType(type)) return EncodeMatrix(params);
    if (type == GS1_128 || type == ITF14) {
        const std::size_t length = strnlen(params.Caption, static_cast<std::size_t>(MaxCaptionOf(type)));
        return encodeLogistics(type, std::string_view(params.Caption, length), params.Ratio);
    }

    // Never read past the 50 characters the control admits: a longer text (possible only when the
    // record is filled directly) would not fit the module row.
    char data[kMaxCaption + 1];
    const std::size_t length = strnlen(params.Caption, kMaxCaption);
    std::memcpy(data, params.Caption, length);
    data[length] = '\0';

    TEncoding e(params.Ratio);
    detail::PrepareCodeText(data, e.CodeText, type);

    switch (type) {
        case EAN_8: detail::EncodeEAN8(e); break;
        case EAN_13: detail::EncodeEAN13(e); break;
        case UPC_A: detail::EncodeUPCA(e); break;
        case UPC_E: detail::EncodeUPCE(e); break;
        case CODE39: detail::EncodeCode39(e); break;
        case CODE25i:
        case CODE25iP: detail::EncodeCode25i(e); break;
        case CODE128_A:
        case CODE128_B:
        case CODE128_C: detail::EncodeCode128(e); break;
        case MSI_Plessey: detail::EncodeMSI(e); break;
        case Codabar: detail::EncodeCodabar(e); break;
        case Postnet: detail::EncodePostnet(e); break;
        case Postnet_FIM: detail::EncodeFIM(e); break;
        default: break;  // encoded above
    }
    const int mainModules = e.BarCount;

    std::size_t addonLength = 0;
    if (type == EAN_13 || type == UPC_A) {
        addonLength = strnlen(params.CodeAddon, sizeof params.CodeAddon);
        if (addonLength != 0 && addonLength != 2 && addonLength != 5) throw EOverflow(messages::kWrongAddon);
        if (addonLength != 0) detail::EncodeAddon(e, params.CodeAddon);
    }

    TSymbol symbol;
    symbol.Type = type;
    symbol.CodeText = e.CodeText;
    symbol.Modules.assign(e.Bars + 1, e.Bars + 1 + e.BarCount);
    symbol.Kind = type == Postnet       ? TBarKind::PostnetHeights
                  : type == Postnet_FIM ? TBarKind::FimPositions
                                        : TBarKind::Modules;
    const bool sideMargins = type == EAN_13 || type == UPC_A;
    symbol.HeightModules = sideMargins ? 74.24L : 56.24L;
    symbol.QuietModules = sideMargins ? 10 : 0;
    setStandardQuiet(symbol, standardQuiet(type, addonLength != 0));
    symbol.Guards = guardsOf(type);
    if (addonLength != 0) symbol.Addon = {mainModules + 1, e.BarCount};

    symbol.Text.reserve(5);
    for (const TSlotRule& rule : kSlotRules) {
        if (rule.Type != type) continue;
        TTextSlot slot;
        slot.Text = slotText(rule, symbol.CodeText, data, params.GroupSplit);
        slot.Anchor = rule.Anchor;
        slot.Module = rule.Module == kMiddle ? e.BarCount / 2 : rule.Module;
        slot.Row = rule.Row;
        slot.Scale = rule.Scale;
        symbol.Text.push_back(std::move(slot));
    }
    if (addonLength != 0) {
        TTextSlot slot;
        slot.Text.assign(params.CodeAddon, addonLength);
        slot.Module = addonLength == 2 ? kAddon2Centre : kAddon5Centre;
        slot.Row = TTextRow::AboveAddon;
        symbol.Text.push_back(std::move(slot));
    }
    return symbol;
}

// ---- TLLBarcode: the classic interface ---------------------------------------------------------

// The symbology tables are made on first use, each by the symbology that needs it: a run that
// draws one EAN-13 builds no Code 39 table.
TLLBarcode::TLLBarcode() = default;

TLLBarcode::~TLLBarcode() = default;

void TLLBarcode::store(const TSymbol& symbol) {
    // The pattern fields hold a row of modules: a module matrix leaves them empty (Encode has it).
    if (symbol.Kind == TBarKind::Matrix) {
        std::memset(CodeText, 0, sizeof CodeText);
        std::memset(Bars, 0, sizeof Bars);
        BarCount = 0;
        return;
    }
    const std::size_t text = std::min(symbol.CodeText.size(), sizeof CodeText - 1);
    std::memcpy(CodeText, symbol.CodeText.data(), text);
    std::memset(CodeText + text, 0, sizeof CodeText - text);
    const std::size_t count = std::min(symbol.Modules.size(), static_cast<std::size_t>(kMaxBars));
    std::memcpy(Bars + 1, symbol.Modules.data(), count);
    std::memset(Bars + 1 + count, 0, kMaxBars - count);  // every entry past BarCount is 0
    BarCount = static_cast<std::int32_t>(count);
}

TSymbol TLLBarcode::encodeOwn() {
    BarCount = 0;
    if (Params.CodeType == Codabar && strnlen(Params.Caption, sizeof Params.Caption) <= kMaxCaption) {
        // The engine's own record keeps the upper-case form Codabar reads.
        for (char* c = Params.Caption; *c; ++c)
            if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
    }
    return Encode(Params);
}

void TLLBarcode::EncodeBars() { store(encodeOwn()); }

void TLLBarcode::PrepareCodeText(const char* data, char* out, btCodeTypes codeType) {
    detail::PrepareCodeText(data, out, codeType);
}

void TLLBarcode::TransfervalidChars(const char* data, char* out, btCodeTypes codeType) {
    detail::TransfervalidChars(data, out, codeType);
}

void TLLBarcode::AddCheckDigit(char* text, btCodeTypes codeType) { detail::AddCheckDigit(text, codeType); }
int TLLBarcode::ExpandUPCE(const char* text) { return detail::ExpandUPCE(text); }
void TLLBarcode::ConvertCode128(const char* in, TCode128Mode mode, char* out) { detail::ConvertCode128(in, mode, out); }
void TLLBarcode::AddCode128Check(char* text) { detail::AddCode128Check(text); }
void TLLBarcode::AddMSIProofchar(char* text, btCodeTypes codeType) { detail::AddMSIProofchar(text, codeType); }
void TLLBarcode::PrepareCodabar(char* data, char* out) { detail::PrepareCodabar(data, out); }
void TLLBarcode::GroupPostText(char* text) { detail::GroupPostText(text, Params.GroupSplit); }

}  // namespace varlen
