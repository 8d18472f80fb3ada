// SPDX-License-Identifier: MIT
// The look's module widths and its range checks.
#include "engine/Look.h"

#include <cmath>

#include "platform/Errors.h"

namespace varlen {

long double ModuleWidthMM(const TLook& look) {
    if (look.XDimensionMM > 0) return look.XDimensionMM;
    long double mw;
    switch (look.ModuleWidth) {
        case SC0: mw = 0.27L; break;
        case SC1: mw = 0.297L; break;
        case SC2: mw = 0.33L; break;
        case SC3: mw = 0.363L; break;
        case SC4: mw = 0.396L; break;
        case SC5: mw = 0.445L; break;
        case SC6: mw = 0.495L; break;
        case SC7: mw = 0.544L; break;
        case SC8: mw = 0.61L; break;
        case SC9: mw = 0.66L; break;
        default: mw = 0.33L; break;
    }
    if (look.HighDensity) mw = mw * 0.5L;
    return mw;
}

namespace {

// Relative luminance of an sRGB colour (0x00BBGGRR): 0 black, 1 white.
double luminance(TColor color) {
    const auto linear = [](unsigned component) {
        const double c = component / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color & 0xFF) + 0.7152 * linear((color >> 8) & 0xFF) + 0.0722 * linear((color >> 16) & 0xFF);
}

[[noreturn]] void refuse(const TRange& range) {
    throw EOverflow(range.PropertyMessage ? range.PropertyMessage : range.OptionMessage);
}

}  // namespace

double SymbolContrast(TColor foreground, TColor background) { return luminance(background) - luminance(foreground); }

void CheckProperty(const TRange& range, long long value) {
    if (!range.Contains(value)) refuse(range);
}

void CheckLook(const TLook& look) {
    CheckProperty(kModuleWidthRange, look.ModuleWidth);
    CheckProperty(kHeightPercentRange, look.HeightPercent);
    CheckProperty(kFontScalingRange, look.FontScaling);
    CheckProperty(kRotationRange, look.Rotation);
    CheckProperty(kBearerRange, static_cast<int>(look.Bearer));
    if (look.XDimensionMM != 0 && !kXDimensionRange.ContainsReal(look.XDimensionMM)) refuse(kXDimensionRange);
    if (look.BarHeightMM != 0 && !kBarHeightRange.ContainsReal(look.BarHeightMM)) refuse(kBarHeightRange);
    // Light bars on a dark ground are the caller's choice (varlen-cli's --allow-inverse); too
    // little difference either way is not.
    if (!look.TransparentBackground &&
        !kSymbolContrastRange.ContainsReal(std::fabs(SymbolContrast(look.Foreground, look.Background))))
        refuse(kSymbolContrastRange);
}

}  // namespace varlen
