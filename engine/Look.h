// SPDX-License-Identifier: MIT
#pragma once
// The look of a barcode: every choice of how a symbol is drawn (module width, bar and text height,
// font, rotation, quiet zones, bearers, colours), apart from what it says (TBarcodeParams adds
// that). The engine lays a symbol out by it, the control keeps its properties in it, varlen-cli
// fills it from its options.
//
// The ranges its numbers (and the numbers of the output around a drawing: resolution, margin,
// scale) may take are kept once, in the range table below, with the words varlen-cli and the
// control refuse a value outside them in. No Qt.
#include <cstdint>
#include <string>

#include "platform/Canvas.h"

namespace varlen {

enum btCodeSizes : std::uint8_t { SC0, SC1, SC2, SC3, SC4, SC5, SC6, SC7, SC8, SC9 };
enum btCodeRotate : std::uint8_t { rotate_000, rotate_090, rotate_180, rotate_270 };

// ITF-14's bearer bars: a frame round the symbol and its quiet zones, bars above and below only,
// or none.
enum class TBearer : std::uint8_t { Frame, Bars, None };

struct TLook {
    btCodeSizes ModuleWidth = SC2;
    std::int32_t HeightPercent = 100;  // bar height, 20..200 % of the symbology's
    std::string FontName = "Arial";
    std::int32_t FontScaling = 100;    // text height, 20..200 %
    bool WidthReduce = false;          // a pixel off every bar where modules are 3 pixels or wider
    bool HighDensity = false;          // half the module width
    bool ZoomSize = false;             // module edges at their exact positions, not whole pixels
    btCodeRotate Rotation = rotate_000;
    bool HumanReadable = true;
    // The standard quiet zones of the symbology (TSymbol::StandardQuietLeft/Right) instead of the
    // classic drawing's; Postnet gets 1/8 inch on either side, FIM none.
    bool QuietZones = false;
    // ITF-14's bearer bars, 5 modules thick, outside its quiet zones.
    TBearer Bearer = TBearer::Frame;
    // Bars, bearers and text in Foreground. The drawn area in Background unless it is transparent;
    // a white one is not painted, since every surface the program draws on starts white.
    TColor Foreground = clBlack;
    TColor Background = clWhite;
    bool TransparentBackground = false;
    // Label printers. The module width in millimetres instead of ModuleWidth's size, HighDensity
    // not applied (0: ModuleWidth). The data bars this many millimetres high (0: the symbology's
    // height), to the nearest dot: guard bars reach below them as usual, HeightPercent still
    // shortens every bar, the text keeps the height that follows the module width; the postal
    // codes keep their fixed geometry. Mono: pictures in the two colours only, text without
    // anti-aliasing (TDrawing::Mono; vector files are unaffected).
    double XDimensionMM = 0;
    double BarHeightMM = 0;
    bool Mono = false;

    friend bool operator==(const TLook&, const TLook&) = default;
};

// The look by the name the renderer's callers use for it.
using TRenderParams = TLook;

// Module width in millimetres: XDimensionMM when given, else SC0..SC9 (any other value counts as
// SC2), halved at high density.
long double ModuleWidthMM(const TLook& look);

// The symbol contrast of a pair of colours: the background's relative luminance (sRGB) less the
// foreground's, 1 for black on white, negative for light bars on a dark ground.
double SymbolContrast(TColor foreground, TColor background);

// ---- The range table ------------------------------------------------------------------------

// One number's range, with the refusals of a value outside it.
struct TRange {
    const char* Option;    // varlen-cli's option, nullptr for none
    const char* Property;  // the control's property, nullptr for none
    long long Min;
    long long Max;
    const char* OptionMessage;       // varlen-cli's refusal (after "varlen-cli: ")
    // Its refusal of a value below Min where that has words of its own, older than the maximum,
    // which scripts may already look for; nullptr: OptionMessage.
    const char* OptionBelowMessage;
    // The control's EOverflow, or CheckLook's for a field of the look no property sets; nullptr:
    // OptionMessage.
    const char* PropertyMessage;
    // Min and Max count in this many parts of the value's unit: 1 for whole numbers, 1000 for a
    // length in millimetres (the table holds micrometres), 100 for a ratio (hundredths).
    long long PartsPerUnit = 1;

    constexpr bool Contains(long long value) const { return value >= Min && value <= Max; }
    // The same for a real value in its unit (millimetres, a ratio); NaN is outside.
    constexpr bool ContainsReal(double value) const {
        return value >= double(Min) / double(PartsPerUnit) && value <= double(Max) / double(PartsPerUnit);
    }
    // The option's refusal of the value, nullptr when the value is in range.
    constexpr const char* OptionRefusal(long long value) const {
        if (Contains(value)) return nullptr;
        return value < Min && OptionBelowMessage ? OptionBelowMessage : OptionMessage;
    }
};

inline constexpr TRange kHeightPercentRange = {
    "--height", "Bar_HeightPercent", 20, 200, "--height must be between 20 and 200", nullptr,
    "Bar_HeightPercent must be in the range 20..200!"};
inline constexpr TRange kFontScalingRange = {
    "--text-height", "Bar_Fontscaling", 20, 200, "--text-height must be between 20 and 200", nullptr,
    "Bar_Fontscaling must be in the range 20..200!"};
inline constexpr TRange kModuleWidthRange = {
    "--module", "Bar_ModuleWidth", SC0, SC9, "--module takes SC0 to SC9", nullptr, "Bar_SC_Size must be in the range 0..9!"};
// The option counts in degrees (0, 90, 180, 270), the property in quarter turns.
inline constexpr TRange kRotationRange = {
    "--rotate", "Bar_Rotation", rotate_000, rotate_270, "--rotate takes 0, 90, 180 or 270", nullptr,
    "Bar_Rotate must be in the range rotate_000..rotate_270!"};
inline constexpr TRange kBearerRange = {
    "--bearer", "Bar_Bearer", 0, 2, "--bearer takes frame, bars or none", nullptr, "Bar_Bearer must be Frame, Bars or None!"};
// The option takes the wide-to-narrow ratio itself (3 or 2), the property Ratio_3 (0) or Ratio_2 (1).
inline constexpr TRange kRatioRange = {
    "--ratio", "Bar_Ratio", 0, 1, "--ratio takes 2 or 3", nullptr, "Bar_Ratio must be in the range 0..1 (Ratio_3 or Ratio_2)!"};
// The output around a drawing. Beyond these a picture is larger than any file type holds, and the
// arithmetic of its size would leave 32 bits.
inline constexpr TRange kResolutionRange = {
    "--dpi", nullptr, 1, 10000, "--dpi takes 1 to 10000 dots per inch", "--dpi takes 1 or more dots per inch", nullptr};
inline constexpr TRange kMarginRange = {
    "--margin", nullptr, 0, 10000, "--margin takes 0 to 10000 pixels", "--margin takes 0 or more pixels", nullptr};
inline constexpr TRange kScaleRange = {
    "--scale", nullptr, 1, 100, "--scale must be between 1 and 100", "--scale must be 1 or more", nullptr};
inline constexpr TRange kJobsRange = {
    "--jobs", nullptr, 0, 1024, "--jobs takes a number of threads from 0 (one per core) to 1024", nullptr, nullptr};

// What a two-dimensional symbol is made of (TBarcodeParams::QrVersion, where 0 takes the smallest
// version that holds the data).
inline constexpr TRange kQrVersionRange = {"--qr-version", nullptr, 1, 40, "--qr-version takes 1 to 40", nullptr, nullptr};

// Label printers' lengths, in micrometres (a look's 0 means not given): narrower modules than
// 0.1 mm no printer makes and no scanner resolves, and every GS1 table ends far below 10 mm; bars
// from 1 mm (a tiny label's) to half a metre (a warehouse sign's).
inline constexpr TRange kXDimensionRange = {
    "--x-dim", nullptr, 100, 10000, "--x-dim must be between 0.1 mm and 10 mm", nullptr,
    "XDimensionMM must be in the range 0.1..10 mm!", 1000};
inline constexpr TRange kBarHeightRange = {
    "--bar-height", nullptr, 1000, 500000, "--bar-height must be between 1 mm and 500 mm", nullptr,
    "BarHeightMM must be in the range 1..500 mm!", 1000};
// The symbol contrast of the colours (SymbolContrast, for light bars on a dark ground its
// magnitude), in hundredths: below 0.5 readers miss the bars (ISO/IEC 15416 grades a symbol
// contrast under 20 % as failed, and GS1 asks for grade 1.5 and more, which needs about 50 %). A
// transparent ground is the label's, unknown here. varlen-cli's refusal names the colours and
// their contrast first, "--fg RRGGBB and --bg RRGGBB have a symbol contrast of 0.NN, ", then
// OptionMessage.
inline constexpr TRange kSymbolContrastRange = {
    "--allow-low-contrast", nullptr, 50, 100,
    "below 0.5: scanners miss such bars (--allow-low-contrast draws them all the same)", nullptr,
    "Foreground and Background must have a symbol contrast of 0.5 or more!", 100};

inline constexpr const TRange* kRanges[] = {
    &kHeightPercentRange, &kFontScalingRange, &kModuleWidthRange, &kRotationRange,   &kBearerRange,
    &kRatioRange,         &kResolutionRange,  &kMarginRange,      &kScaleRange,      &kJobsRange,
    &kXDimensionRange,    &kBarHeightRange,   &kSymbolContrastRange, &kQrVersionRange,
};

// Raises EOverflow with the range's property message when the value is outside it.
void CheckProperty(const TRange& range, long long value);

// Raises EOverflow with the property message of the first field of the look outside its range
// (a length given and out of its range, colours of too little contrast included).
void CheckLook(const TLook& look);

}  // namespace varlen
