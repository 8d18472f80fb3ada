// SPDX-License-Identifier: MIT
#include "imaging/Output.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "engine/DataRules.h"
#include "platform/Errors.h"

namespace varlen {

namespace {

std::string hexColor(TColor color) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    return text;
}

// Why a file type cannot have a transparent ground, or nullptr when it can.
const char* noTransparency(TSaveFileType type) {
    switch (type) {
        case TSaveFileType::Svg:
        case TSaveFileType::Pdf:
        case TSaveFileType::Eps:
        case TSaveFileType::Png: return nullptr;
        case TSaveFileType::Gif: return "GIF files are written with a fixed palette without transparency";
        case TSaveFileType::Tif: return "TIFF files are written with a palette without transparency";
        case TSaveFileType::Bmp: return "BMP files have no transparency";
        case TSaveFileType::Jpg: return "JPEG files have no transparency";
        case TSaveFileType::Emf: return "EMF files hold the picture as a bitmap without transparency";
        case TSaveFileType::Unknown: break;
    }
    return nullptr;
}

}  // namespace

const char* OutputRangeRefusal(const TOutputOptions& output) {
    if (const char* refusal = kMarginRange.OptionRefusal(output.Margin)) return refusal;
    if (const char* refusal = kScaleRange.OptionRefusal(output.Scale)) return refusal;
    return output.Dpi == 0 ? nullptr : kResolutionRange.OptionRefusal(output.Dpi);
}

std::string ContrastRefusal(const TLook& look, bool allowInverse, bool allowLowContrast) {
    if (look.TransparentBackground) return {};
    const double contrast = SymbolContrast(look.Foreground, look.Background);
    if (!allowInverse && contrast <= 0)
        return "--fg " + hexColor(look.Foreground) + " is not darker than --bg " + hexColor(look.Background) +
               ": scanners need dark bars on a light ground (--allow-inverse draws it all the same)";
    // A dark enough foreground can still lie too close to the background for a reader (of an
    // inverse symbol, light bars on a dark ground, the same difference the other way round).
    if (allowLowContrast) return {};
    const double judged = allowInverse ? std::fabs(contrast) : contrast;
    if (kSymbolContrastRange.ContainsReal(judged)) return {};
    char value[16];
    // Two decimals, cut rather than rounded: 0.497 is no 0.50 in a message that refuses it.
    std::snprintf(value, sizeof value, "%.2f", std::floor(judged * 100) / 100);
    return "--fg " + hexColor(look.Foreground) + " and --bg " + hexColor(look.Background) + " have a symbol contrast of " +
           value + ", " + kSymbolContrastRange.OptionMessage;
}

std::string SizeOptionsRefusal(const TLook& look, btCodeTypes type, bool moduleGiven, bool heightGiven) {
    if (look.XDimensionMM > 0 && moduleGiven)
        return "--module and --x-dim exclude each other: --x-dim gives the module width";
    if (look.XDimensionMM > 0 && look.HighDensity)
        return "--high-density and --x-dim exclude each other: --x-dim gives the module width";
    if (look.BarHeightMM > 0 && heightGiven)
        return "--height and --bar-height exclude each other: --bar-height gives the bars' height";
    if ((look.XDimensionMM > 0 || look.BarHeightMM > 0) && (type == Postnet || type == Postnet_FIM))
        return std::string(look.XDimensionMM > 0 ? "--x-dim" : "--bar-height") + " does not apply to " +
               DataRuleOf(type, false).name + ": its bars are fixed in inches by the postal standard";
    return {};
}

std::string TransparencyRefusal(const TLook& look, TSaveFileType type) {
    const char* why = look.TransparentBackground ? noTransparency(type) : nullptr;
    if (!why) return {};
    return "--bg none: " + std::string(why) + "; give a colour, or write PNG, SVG, PDF or EPS";
}

TSaveOptions SaveOptionsOf(const TLook& look, int dpi) {
    TSaveOptions save;
    save.RecordDpi = dpi;
    save.VectorDpi = dpi > 0 ? dpi : 1200;
    save.Background = look.Background;
    save.TransparentBackground = look.TransparentBackground;
    save.TwoColours = look.Mono;
    save.Foreground = look.Foreground;
    return save;
}

TLabelOutput::TLabelOutput(const TBarcodeParams& params, const TOutputOptions& output)
    : output_(output),
      image_(params, ScreenAt(output.Dpi, output.Dpi)),
      source_(SaveSourceOf(image_, output.Margin)),
      save_(SaveOptionsOf(params, output.Dpi)) {
    // Every picture is read back on its way into the file; one that does not read as its data stops
    // the save, one the reader cannot judge is written with a note.
    if (output.Verify) save_.ReadBack = [this](const TDibView& picture, int dpi, int scale) { readBack(picture, dpi, scale); };
}

void TLabelOutput::SetCaption(const std::string& caption) { image_.setBar_Caption(caption); }

void TLabelOutput::SetTextLines(TTextLines lines) { image_.setTextLines(std::move(lines)); }

TFileBytes TLabelOutput::Bytes(TSaveFileType type, const std::string& name) {
    warning_.clear();
    return BarcodeFileBytes(type, name, output_.Scale, source_, save_);
}

void TLabelOutput::Save(const std::string& fileName) {
    warning_.clear();
    SaveBarcodeToFile(fileName, output_.Scale, source_, save_);
}

void TLabelOutput::ReadBackPage(int dpi, int marginDots) {
    warning_.clear();
    readBack(VectorPageRaster(source_, dpi, marginDots, save_)->View(), dpi, 1);
}

std::string TLabelOutput::TakeWarning() { return std::exchange(warning_, {}); }

void TLabelOutput::readBack(const TDibView& picture, int dpi, int scale) {
    lastReadBack_ = ReadBack(picture, dpi, scale, image_.Params());
    if (lastReadBack_.Verdict == TReadBackVerdict::Unverifiable) {
        warning_ = lastReadBack_.Message;
        return;
    }
    if (!lastReadBack_.Ok()) throw EReadBack(lastReadBack_.Message);
    warning_ = lastReadBack_.Warning;
}

}  // namespace varlen
