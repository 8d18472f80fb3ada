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

    friend bool operator==(const TLook&, const TLook&) = default;
};

// The look by the name the renderer's callers use for it.
using TRenderParams = TLook;

// Module width in millimetres: SC0..SC9 (any other value counts as SC2), halved at high density.
long double ModuleWidthMM(const TLook& look);

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
    const char* PropertyMessage;     // the control's EOverflow; nullptr with no property

    constexpr bool Contains(long long value) const { return value >= Min && value <= Max; }
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

inline constexpr const TRange* kRanges[] = {
    &kHeightPercentRange, &kFontScalingRange, &kModuleWidthRange, &kRotationRange, &kBearerRange,
    &kRatioRange,         &kResolutionRange,  &kMarginRange,      &kScaleRange,    &kJobsRange,
    &kQrVersionRange,
};

// Raises EOverflow with the range's property message when the value is outside it.
void CheckProperty(const TRange& range, long long value);

// Raises EOverflow with the property message of the first field of the look outside its range.
void CheckLook(const TLook& look);

}  // namespace varlen
