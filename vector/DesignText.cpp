// SPDX-License-Identifier: MIT
#include "vector/DesignText.h"

#include <charconv>
#include <cmath>

#include "platform/CanvasState.h"
#include "platform/Errors.h"

namespace varlen {
namespace {

class TDesignMetrics final : public TTextMetrics {
public:
    int MeasureText(const std::string& faceName, int height, const std::string& text) override {
        const TFontFace& face = DesignFace(faceName);
        return RoundHalfUp(DesignWidth(face, text) * height / face.CellPerEm());
    }
    int CellOfEm(const std::string& face, int em) override { return RoundHalfUp(em * DesignFace(face).CellPerEm()); }
};

}  // namespace

const TFontFace& DesignFace(const std::string& name) {
    const TFontFace& face = TFontFace::ForName(name);
    if (face.File().empty()) throw EInOutError("No font can be found for \"" + name + "\"");
    return face;
}

double DesignWidth(const TFontFace& face, const std::string& text) {
    double width = 0;
    for (const char c : text) width += face.DesignAdvance(static_cast<unsigned char>(c));
    return width;
}

TTextMetrics& DesignTextMetrics() {
    static TDesignMetrics metrics;
    return metrics;
}

int TDesignCanvas::TextWidth(const std::string& text) {
    const TLogFont& font = CurrentFont();
    const TFontFace& face = DesignFace(font.FaceName);
    return RoundHalfUp(DesignWidth(face, text) * CellHeight(font, face.CellPerEm()) / face.CellPerEm());
}

int TDesignCanvas::MeasureText(const std::string& face, int height, const std::string& text) {
    return DesignTextMetrics().MeasureText(face, height, text);
}

const TFontFace* TDesignCanvas::PlaceDesignText(const std::string& text, TTextPlace& place) const {
    const TFontFace& face = DesignFace(CurrentFont().FaceName);
    return PlaceText(text, DesignWidth(face, text), face.Ascent(), face.Descent(), place) ? &face : nullptr;
}

void AppendNumber(std::string& out, long value) {
    char text[24];
    const char* const end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, std::size_t(end - text));  // by length: appending a range costs twice as much
}

void AppendNumber(std::string& out, double value, int decimals) {
    // What rounds to zero is written 0, not -0.
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;
    char text[64];
    char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    if (decimals > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    out.append(text, std::size_t(end - text));
}

}  // namespace varlen
