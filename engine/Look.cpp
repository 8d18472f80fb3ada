// SPDX-License-Identifier: MIT
// The look's module widths and its range checks.
#include "engine/Look.h"

#include "platform/Errors.h"

namespace varlen {

long double ModuleWidthMM(const TLook& look) {
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

void CheckProperty(const TRange& range, long long value) {
    if (!range.Contains(value)) throw EOverflow(range.PropertyMessage ? range.PropertyMessage : range.OptionMessage);
}

void CheckLook(const TLook& look) {
    CheckProperty(kModuleWidthRange, look.ModuleWidth);
    CheckProperty(kHeightPercentRange, look.HeightPercent);
    CheckProperty(kFontScalingRange, look.FontScaling);
    CheckProperty(kRotationRange, look.Rotation);
    CheckProperty(kBearerRange, static_cast<int>(look.Bearer));
}

}  // namespace varlen
