// SPDX-License-Identifier: MIT
// Reading a drawn symbol back: what a scanner sees of the picture, the decoder's answer, and the
// comparison with the data as given.
#include "imaging/ReadBack.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <vector>

#include "engine/GS1.h"
#include "imaging/ReaderModule.h"
#include "platform/Errors.h"
#include "platform/Module.h"
#include "platform/Utf8.h"

namespace varlen {

namespace {

// ---- What each symbology transmits -------------------------------------------------------------

// How the data as given becomes what a reader transmits.
enum class TExpect : std::uint8_t {
    AsGiven,
    CheckDigit,      // the GS1 modulo-10 check digit follows data of `length` digits
    UpcE,            // number system 0 in front; the check digit of the expanded UPC-A follows 6 digits
    EvenDigits,      // Interleaved 2 of 5: an odd count of digits gets a GS1 check digit
    EvenDigits49,    // the same with the grouped entry's weights 4 and 9
    NoStartStop,     // Codabar: start and stop letters are not transmitted
    ElementString,   // GS1: AIs and data, GS after each element of variable length but the last
    DigitalLink,     // GS1 Digital Link: the URI of the AIs under the stem
};

// One row per symbology: a new one (QR Code "]Q1", Data Matrix "]d1"...) is a new row.
struct TReaderRow {
    btCodeTypes type;
    const char* name;        // in messages
    const char* format;      // the decoder's name of the symbology; nullptr: it does not read it
    const char* identifier;  // what the transmission starts with ("]I": any modifier)
    TExpect expect;
    int length = 0;          // CheckDigit: the data length without the check digit
    // The fewest characters the decoder reads of the symbology (zxing-cpp 1.4, and zbar alike, take
    // an Interleaved 2 of 5 of 6 digits and a Codabar of 2 characters at the least).
    int fewest = 1;
    bool linear = true;      // rows of bars: read upright, across the bars
    bool utf8 = false;       // the data is text in UTF-8 (QR Code), not Latin-1 bytes
};

// Identifiers of ISO/IEC 15424; EAN-8 is "]E4", an EAN/UPC symbol with its add-on "]E3".
constexpr TReaderRow kRows[] = {
    {EAN_8, "EAN-8", "EAN-8", "]E4", TExpect::CheckDigit, 7},
    {EAN_13, "EAN-13", "EAN-13", "]E0", TExpect::CheckDigit, 12},
    {UPC_A, "UPC-A", "UPC-A", "]E0", TExpect::CheckDigit, 11},
    {UPC_E, "UPC-E", "UPC-E", "]E0", TExpect::UpcE, 6},
    {CODE39, "Code 39", "Code39", "]A0", TExpect::AsGiven},
    // The reader sets the modifier by whether the last digit happens to check: not the data's.
    {CODE25i, "Interleaved 2 of 5", "ITF", "]I", TExpect::EvenDigits, 0, 6},
    {CODE25iP, "Interleaved 2 of 5", "ITF", "]I", TExpect::EvenDigits49, 0, 6},
    {CODE128_A, "Code 128", "Code128", "]C0", TExpect::AsGiven},
    {CODE128_B, "Code 128", "Code128", "]C0", TExpect::AsGiven},
    {CODE128_C, "Code 128", "Code128", "]C0", TExpect::AsGiven},
    {MSI_Plessey, "MSI Plessey", nullptr, "", TExpect::AsGiven},
    {Codabar, "Codabar", "Codabar", "]F0", TExpect::NoStartStop, 0, 2},
    {Postnet, "Postnet", nullptr, "", TExpect::AsGiven},
    {Postnet_FIM, "FIM", nullptr, "", TExpect::AsGiven},
    {GS1_128, "GS1-128", "Code128", "]C1", TExpect::ElementString},
    {ITF14, "ITF-14", "ITF", "]I", TExpect::CheckDigit, 13},
    // Matrix symbols, found anywhere in the picture. A QR Code's text behind ECI 26 is transmitted
    // without the ECI, as "]Q1" (zxing-cpp 1.4).
    {QRCode, "QR Code", "QRCode", "]Q1", TExpect::AsGiven, 0, 1, false, true},
    {DataMatrix, "Data Matrix", "DataMatrix", "]d1", TExpect::AsGiven, 0, 1, false},
    {GS1_DataMatrix, "GS1 DataMatrix", "DataMatrix", "]d2", TExpect::ElementString, 0, 1, false},
    {GS1_QR, "GS1 QR Code", "QRCode", "]Q3", TExpect::ElementString, 0, 1, false},
    {GS1_DL_QR, "GS1 Digital Link QR Code", "QRCode", "]Q1", TExpect::DigitalLink, 0, 1, false, true},
};

const TReaderRow& rowOf(btCodeTypes type) {
    static constexpr TReaderRow kUnknown{static_cast<btCodeTypes>(kCodeTypeCount), "this symbology", nullptr, "",
                                         TExpect::AsGiven};
    for (const TReaderRow& row : kRows)
        if (row.type == type) return row;
    return kUnknown;
}

bool allDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// UPC-E's six digits as the UPC-A they stand for (number system 0), 11 digits (UCC zero suppression).
std::string expandUpcE(std::string_view d) {
    const std::string m(d.substr(0, 5));
    switch (d[5]) {
        case '0':
        case '1':
        case '2': return "0" + m.substr(0, 2) + d[5] + "0000" + m.substr(2, 3);
        case '3': return "0" + m.substr(0, 3) + "00000" + m.substr(3, 2);
        case '4': return "0" + m.substr(0, 4) + "00000" + m.substr(4, 1);
        default: return "0" + m + "0000" + d[5];
    }
}

char digit(int value) { return static_cast<char>('0' + value); }

// GS1 data as transmitted: the element string, or the Digital Link URI under `stem`.
std::string gs1Transmitted(const std::string& human, const std::string* stem) {
    try {
        const std::vector<TGS1Element> elements = parseGS1(human);
        return stem ? digitalLinkUri(elements, *stem) : elementString(elements);
    } catch (const EOverflow&) {
        return human;  // handed over without the strict check: compared as it is
    }
}

// The data of `params` as the row's symbology transmits it. Data the engine would change stays as
// given, so that the symbol it becomes does not read as it.
std::string expectedData(const TReaderRow& row, const TBarcodeParams& params) {
    const std::string data = params.Caption;
    switch (row.expect) {
        case TExpect::AsGiven: return data;
        case TExpect::CheckDigit:
            if (data.size() == static_cast<std::size_t>(row.length) && allDigits(data))
                return data + digit(gs1CheckDigit(data));
            return data;
        case TExpect::UpcE:
            if (data.size() == 6 && allDigits(data)) return "0" + data + digit(gs1CheckDigit(expandUpcE(data)));
            return "0" + data;
        case TExpect::EvenDigits:
            if (data.size() % 2 == 1 && allDigits(data)) return data + digit(gs1CheckDigit(data));
            return data;
        case TExpect::EvenDigits49:
            if (data.size() % 2 == 1 && allDigits(data)) {
                int sum = 0;
                for (std::size_t i = 0; i < data.size(); ++i) sum += (data[i] - '0') * (i % 2 == 0 ? 4 : 9);
                return data + digit((10 - sum % 10) % 10);
            }
            return data;
        case TExpect::NoStartStop: {
            const auto startStop = [](char c) { return (c >= 'A' && c <= 'D') || (c >= 'a' && c <= 'd'); };
            if (data.size() >= 2 && startStop(data.front()) && startStop(data.back()))
                return data.substr(1, data.size() - 2);
            return data;
        }
        case TExpect::ElementString: return gs1Transmitted(data, nullptr);
        case TExpect::DigitalLink: return gs1Transmitted(data, &params.DlStem);
    }
    return data;
}

// Bytes as text for a message: Latin-1 (or, `utf8`, valid UTF-8 as it is) in UTF-8, control
// characters by their ASCII names.
std::string printable(std::string_view bytes, bool utf8) {
    utf8 = utf8 && IsValidUtf8(bytes);
    static constexpr const char* kNames[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                               "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                               "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                               "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    std::string text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 32) text += std::string("<") + kNames[b] + ">";
        else if (b == 127) text += "<DEL>";
        else if (utf8) text += c;
        else AppendUtf8(text, b);
    }
    return text;
}

// ---- What a scanner sees -----------------------------------------------------------------------

// The picture in a scanner's red light on white paper, bars upright, with white round it: one byte a
// pixel, the picture's own pixels at (pad, padRows).
struct TScannerView {
    std::uint8_t* pixels = nullptr;  // the thread's own memory, kept for its next picture
    int width = 0, height = 0;       // with the white round it
    int pad = 0;                     // white columns on either side
    int padRows = 0;                 // white rows above and below
    int innerWidth = 0, innerHeight = 0;
    std::uint8_t* row(int y) const { return pixels + static_cast<std::size_t>(y) * width; }
};

std::uint8_t onWhite(unsigned red, unsigned alpha) { return static_cast<std::uint8_t>((red * alpha + 255 * (255 - alpha) + 127) / 255); }

// Row y of the picture as red light values, one a pixel.
class TRedRows {
public:
    explicit TRedRows(const TDibView& dib) : dib_(dib) {
        identity_ = dib.bitCount == 8 && dib.colorCount == 256;
        for (std::size_t i = 0; i < dib.colorCount && i < table_.size(); ++i) {
            table_[i] = dib.colors[i].rgbRed;
            identity_ = identity_ && dib.colors[i].rgbRed == i;
        }
    }

    // Points at the values, in `scratch` or (for a grey ramp) in the picture itself.
    const std::uint8_t* row(int y, std::uint8_t* scratch) const {
        const std::uint8_t* in = dib_.row(y);
        const int w = dib_.width;
        switch (dib_.bitCount) {
            case 1:
                for (int x = 0; x < w; ++x) scratch[x] = table_[(in[x >> 3] >> (7 - (x & 7))) & 1];
                return scratch;
            case 4:
                for (int x = 0; x < w; ++x) scratch[x] = table_[(in[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
                return scratch;
            case 8:
                if (identity_) return in;
                for (int x = 0; x < w; ++x) scratch[x] = table_[in[x]];
                return scratch;
            case 24:
                for (int x = 0; x < w; ++x) scratch[x] = in[3 * x + 2];
                return scratch;
            default:
                for (int x = 0; x < w; ++x) scratch[x] = onWhite(in[4 * x + 2], in[4 * x + 3]);
                return scratch;
        }
    }

private:
    const TDibView& dib_;
    std::array<std::uint8_t, 256> table_{};
    bool identity_ = false;
};

// Rows of bars are turned upright (a quarter turn reads as the picture's transpose, which is the
// same row of bars): the quick search reads across the rows only. White is added on the left and
// the right, and for a symbol that is not rows of bars above and below too.
TScannerView scannerView(const TDibView& dib, bool transpose, int pad, bool padRows) {
    TScannerView view;
    view.pad = pad;
    view.padRows = padRows ? pad : 0;
    view.innerWidth = transpose ? dib.height : dib.width;
    view.innerHeight = transpose ? dib.width : dib.height;
    view.width = view.innerWidth + 2 * pad;
    view.height = view.innerHeight + 2 * view.padRows;
    // A batch reads thousands of pictures of one size: the memory stays, and the white round the
    // picture is painted only when the size changes, since only the picture is written over.
    thread_local std::vector<std::uint8_t> memory;
    thread_local std::array<int, 4> painted{};
    const std::array<int, 4> geometry{view.width, view.height, pad, view.padRows};
    memory.resize(static_cast<std::size_t>(view.width) * view.height);
    view.pixels = memory.data();
    if (painted != geometry) {
        std::fill(memory.begin(), memory.end(), std::uint8_t{255});
        painted = geometry;
    }
    const TRedRows red(dib);
    thread_local std::vector<std::uint8_t> scratch;
    scratch.resize(static_cast<std::size_t>(std::max(dib.width, 1)));
    for (int y = 0; y < dib.height; ++y) {
        const std::uint8_t* values = red.row(y, scratch.data());
        if (!transpose) {
            std::copy_n(values, dib.width, view.row(view.padRows + y) + pad);
        } else {
            std::uint8_t* column = view.row(view.padRows) + pad + y;
            for (int x = 0; x < dib.width; ++x) column[static_cast<std::size_t>(x) * view.width] = values[x];
        }
    }
    return view;
}

// Reflectance of a red light value: sRGB's transfer curve undone.
double reflectance(int value) {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            t[static_cast<std::size_t>(i)] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return t;
    }();
    return table[static_cast<std::size_t>(std::clamp(value, 0, 255))];
}

// ISO/IEC 15416's symbol contrast: the lightest less the darkest reflectance on its ten scan lines,
// evenly spread over the picture's height, across the bars.
double symbolContrast(const TScannerView& view) {
    // Which values occur, then the extremes among them: a store a pixel, no chain of comparisons.
    std::array<std::uint8_t, 256> seen{};
    for (int line = 1; line <= 10; ++line) {
        const std::uint8_t* p = view.row(view.padRows + (view.innerHeight - 1) * line / 11) + view.pad;
        for (int x = 0; x < view.innerWidth; ++x) seen[p[x]] = 1;
    }
    int darkest = 0, lightest = 255;
    while (darkest < 255 && !seen[static_cast<std::size_t>(darkest)]) ++darkest;
    while (lightest > 0 && !seen[static_cast<std::size_t>(lightest)]) --lightest;
    return darkest > lightest ? 0 : reflectance(lightest) - reflectance(darkest);
}

// The lowest symbol contrast ISO/IEC 15416 grades at all (grade 1, "D"); below it a scanner fails.
constexpr double kLeastContrast = 0.20;

// ---- The decoder -------------------------------------------------------------------------------

constexpr const char* kModuleFile = "libvarlen-reader.so";

const TReaderModule& readerModule() {
    static std::once_flag once;
    static const TReaderModule* module = nullptr;
    static std::string failure;
    std::call_once(once, [] {
        std::string reason;
        module = static_cast<const TReaderModule*>(LoadModule(kModuleFile, kReaderModuleEntry, [](const void* answer) {
            const auto* m = static_cast<const TReaderModule*>(answer);
            return m->Version == kReaderModuleVersion && m->QuerySize == sizeof(TReaderQuery) &&
                   m->ResultSize == sizeof(TReaderResult);
        }, reason));
        if (!module) failure = "symbols cannot be read back: " + reason;
    });
    if (!module) throw EModuleMissing(failure);
    return *module;
}

bool decode(const TScannerView& view, const std::string& format, bool addon, bool careful, TReaderResult& result) {
    TReaderQuery query;
    query.Pixels = view.pixels;
    query.Width = view.width;
    query.Height = view.height;
    query.RowBytes = view.width;
    query.Format = format;
    query.RequireAddon = addon;
    query.Careful = careful;
    if (readerModule().Read(query, result)) return true;
    if (!result.Error.empty()) throw EInOutError("the symbol could not be read back: " + result.Error);
    return false;
}

// ---- Why it does not read, in the drawing's terms ----------------------------------------------

std::string hexColor(TColor color) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    return text;
}

unsigned redOf(TColor color) { return color & 0xFF; }

// The module width in dots of the layout's resolution, as the renderer lays it out: a whole number
// of dots, at least one, or (exact positions) the exact width.
double moduleDots(const TRenderParams& look, int dpi, int module) {
    TRenderParams at = look;
    at.ModuleWidth = static_cast<btCodeSizes>(module);
    const double exact = static_cast<double>(ModuleWidthMM(at)) * dpi / 25.4;
    return look.ZoomSize ? exact : std::max(1.0, std::rint(exact));
}

std::string dots(double n) {
    char text[32];
    if (n == std::floor(n)) std::snprintf(text, sizeof text, "%.0f dot%s", n, n == 1 ? "" : "s");
    else std::snprintf(text, sizeof text, "%.1f dots", n);
    return text;
}

struct TDiagnosis {
    std::string reason;
    std::string advice;  // in varlen-cli's options; may be empty
};

// Bars lighter than their ground in red light: no scanner reads them, whatever the decoder does.
bool lightBars(const TRenderParams& look) {
    return redOf(look.Foreground) > (look.TransparentBackground ? 255u : redOf(look.Background));
}

TDiagnosis colourDiagnosis(const TRenderParams& look, double contrast) {
    const std::string ground = look.TransparentBackground ? std::string("white") : hexColor(look.Background);
    if (lightBars(look))
        return {"bars of " + hexColor(look.Foreground) + " on " + ground + " are lighter than their ground in a "
                "scanner's red light",
                "scanners need dark bars on a light ground"};
    char percent[16];
    std::snprintf(percent, sizeof percent, "%d %%", static_cast<int>(std::floor(contrast * 100)));
    return {"bars of " + hexColor(look.Foreground) + " on " + ground + " differ by " + percent +
                " in a scanner's red light, where 20 % is the least",
            "use darker bars or a lighter ground"};
}

// The drawing read by nothing: thin modules (the advice the module width that reads), modules at
// their exact positions, narrowed bars, or, failing those, the module width for the record.
TDiagnosis drawingDiagnosis(const TRenderParams& look, int dpi, int scale) {
    // Whole-dot modules read from 2 pixels of the picture on. At their exact positions a module's
    // edges wander by a dot of the layout, which magnifying the picture magnifies too: they take
    // 3 dots of the resolution.
    const int magnified = look.ZoomSize ? 1 : scale;
    const double needed = look.ZoomSize ? 3 : 2;
    const double module = moduleDots(look, dpi, look.ModuleWidth) * magnified;
    if (module < needed) {
        std::string advice = "use a higher --dpi";
        for (int k = look.ModuleWidth + 1; k <= SC9; ++k) {
            if (moduleDots(look, dpi, k) * magnified >= needed) {
                advice = "use --module SC" + std::to_string(k) + " or a higher --dpi";
                break;
            }
        }
        if (look.ZoomSize) return {"modules of " + dots(module) + " at their exact positions", "leave out --exact, or " + advice};
        return {"modules of " + dots(module), advice};
    }
    const double pixels = moduleDots(look, dpi, look.ModuleWidth) * scale;
    if (look.WidthReduce && !look.ZoomSize)
        return {"bars narrowed by a dot on modules of " + dots(pixels), "leave out --width-reduce"};
    return {"modules of " + dots(pixels), ""};
}

std::string unreadableMessage(int dpi, const TDiagnosis& why) {
    return "the symbol could not be read at " + std::to_string(dpi) + " dpi: " + why.reason +
           (why.advice.empty() ? "" : "; " + why.advice);
}

// ---- Quiet zones -------------------------------------------------------------------------------

// Light pixels of the picture next to the bars on the row read, left and right, measured outward
// from the first and the last bar (an add-on's last bar on the right): a bearer frame ends them.
std::string quietZoneWarning(const TScannerView& view, const TReaderResult& read, bool addon, bool reversed,
                             const TSymbol& symbol, const char* name, double module) {
    const int y = std::clamp(read.Row, view.padRows, view.padRows + view.innerHeight - 1);
    const std::uint8_t* row = view.row(y);
    const int first = view.pad, last = view.pad + view.innerWidth - 1;
    const auto [lo, hi] = std::minmax_element(row + first, row + last + 1);
    const int threshold = (*lo + *hi) / 2;
    const auto dark = [&](int x) { return row[x] <= threshold; };
    // From the reader's extent onto the bars themselves; an add-on stands at the symbol's end, beyond
    // what the reader reports as its extent.
    int left = addon && reversed ? first : std::clamp(read.Left, first, last);
    int right = addon && !reversed ? last : std::clamp(read.Right, first, last);
    while (left < last && !dark(left)) ++left;
    while (right > first && !dark(right)) --right;
    int quietLeft = 0, quietRight = 0;
    for (int x = left - 1; x >= first && !dark(x); --x) ++quietLeft;
    for (int x = right + 1; x <= last && !dark(x); ++x) ++quietRight;
    if (reversed) std::swap(quietLeft, quietRight);
    // The standard's zones are counted from the ends of the module row, whose light modules count
    // towards them; here they are measured from the bars.
    const auto& m = symbol.Modules;
    const auto leading = std::find(m.begin(), m.end(), 1) - m.begin();
    const auto trailing = std::find(m.rbegin(), m.rend(), 1) - m.rbegin();
    const int needLeft = static_cast<int>(std::ceil((symbol.StandardQuietLeft + leading) * module - 1e-9));
    const int needRight = static_cast<int>(std::ceil((symbol.StandardQuietRight + trailing) * module - 1e-9));
    if (quietLeft >= needLeft && quietRight >= needRight) return {};
    const auto pixels = [](int n) { return std::to_string(n) + (n == 1 ? " pixel" : " pixels"); };
    std::string asks;
    const long modulesLeft = symbol.StandardQuietLeft + leading, modulesRight = symbol.StandardQuietRight + trailing;
    if (modulesLeft == modulesRight)
        asks = std::to_string(modulesLeft) + " modules (" + pixels(needLeft) + ") on either side";
    else
        asks = std::to_string(modulesLeft) + " modules (" + pixels(needLeft) + ") on the left and " +
               std::to_string(modulesRight) + " (" + pixels(needRight) + ") on the right";
    return "the quiet zones are " + pixels(quietLeft) + " left and " + std::to_string(quietRight) +
           " right of the bars, where " + name + " asks for " + asks +
           "; the symbol read with white added round it (--quiet-zones draws them)";
}

}  // namespace

TReadBack ReadBack(const TDibView& picture, int dpi, int scale, const TBarcodeParams& params) {
    const TReaderRow& row = rowOf(params.CodeType);
    TReadBack check;
    const auto unverifiable = [&](const std::string& reason) {
        check.Verdict = TReadBackVerdict::Unverifiable;
        check.Reason = reason;
        check.Message = "the symbol cannot be verified: " + reason;
        return check;
    };
    if (!row.format) return unverifiable(std::string("the decoder does not read ") + row.name);
    if (dpi <= 0) dpi = static_cast<int>(std::lround(picture.xPelsPerMeter * 0.0254));
    if (dpi <= 0) dpi = 96;
    scale = std::max(scale, 1);
    const TRenderParams look = RenderParamsOf(params);
    const std::string addon = params.CodeAddon;
    const std::string expectedIdentifier = addon.empty() ? row.identifier : "]E3";
    // An empty field draws the engine's filling (zeros, in the window), which is no data of the user's.
    if (params.Caption[0] == '\0') return unverifiable("there is no data to compare it with");
    const std::string data = expectedData(row, params);
    if (data.size() < static_cast<std::size_t>(row.fewest))
        return unverifiable(std::string("the decoder does not read ") + row.name + " of fewer than " +
                            std::to_string(row.fewest) + (row.expect == TExpect::NoStartStop ? " characters" : " digits"));
    const std::string expected = data + (addon.empty() ? "" : " " + addon);
    check.Expected = printable(expected, row.utf8);

    const auto unreadable = [&](const TDiagnosis& why) {
        check.Verdict = TReadBackVerdict::Unreadable;
        check.Reason = why.reason;
        check.Message = unreadableMessage(dpi, why);
        return check;
    };
    if (lightBars(look)) return unreadable(colourDiagnosis(look, 0));

    const double module = moduleDots(look, dpi, look.ModuleWidth) * scale;
    // White round the picture as wide as the widest quiet zone a symbology asks for.
    const int pad = std::max(8, static_cast<int>(std::ceil(12 * module)));
    const bool quarterTurn = look.Rotation == rotate_090 || look.Rotation == rotate_270;
    const TScannerView view = scannerView(picture, row.linear && quarterTurn, pad, !row.linear);
    if (const double contrast = symbolContrast(view); contrast < kLeastContrast)
        return unreadable(colourDiagnosis(look, contrast));

    TReaderResult read;
    const auto sameFormat = [&] { return read.Format == row.format; };
    const auto sameIdentifier = [&] { return read.Identifier.starts_with(expectedIdentifier); };
    // The quick search, upright across the bars; what it does not read as the data is looked at
    // again carefully before anything is said about it.
    const bool quick = decode(view, row.format, !addon.empty(), false, read) && sameFormat() && sameIdentifier() &&
                       read.Bytes == expected;
    bool found = quick || decode(view, row.format, !addon.empty(), true, read);
    if (!found) found = decode(view, "", false, true, read);  // another symbology, perhaps
    if (!found) return unreadable(drawingDiagnosis(look, dpi, scale));

    check.Read = printable(read.Bytes, row.utf8);
    if (!sameFormat() || !sameIdentifier() || read.Bytes != expected) {
        std::string as = "\"" + check.Read + "\"", not_ = "\"" + check.Expected + "\"";
        if (!sameFormat()) {
            as = read.Format + " " + as;
            not_ = std::string(row.format) + " " + not_;
        } else if (!sameIdentifier()) {
            as = read.Identifier + " " + as;
            not_ = expectedIdentifier + " " + not_;
        }
        check.Verdict = TReadBackVerdict::Differs;
        check.Message = "the symbol reads as " + as + ", not " + not_;
        return check;
    }
    // The quiet zones of rows of bars, on the row read. Turned by half a turn, or by a quarter and
    // transposed, the symbol starts on the right.
    const bool reversed = look.Rotation == rotate_180 || look.Rotation == rotate_090;
    if (quick && row.linear)
        check.Warning = quietZoneWarning(view, read, !addon.empty(), reversed, Encode(params), row.name, module);
    return check;
}

}  // namespace varlen
