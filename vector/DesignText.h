// SPDX-License-Identifier: MIT
#pragma once
// What the programs' own vector writers (SVG, the sheets' PDF) share: text set as its face was
// designed, and numbers written as those formats want them.
#include <string>

#include "platform/Canvas.h"
#include "platform/CanvasState.h"
#include "raster/Fonts.h"

namespace varlen {

// The face every surface finds for the name. Raises EInOutError when no font at all is found.
const TFontFace& DesignFace(const std::string& name);

// Width in ems of a string (Latin-1 bytes): the advances the face was designed with, no kerning.
double DesignWidth(const TFontFace& face, const std::string& text);

// Text widths as every vector file sets them, so that a string is as wide at every size and
// resolution. Shared by every thread. Raises EInOutError when no font at all can be found.
TTextMetrics& DesignTextMetrics();

// A surface whose text is set as its face was designed (the SVG and sheet writers' pages): its
// widths, its cells and what it answers of itself.
class TDesignCanvas : public TCanvasState {
public:
    TDesignCanvas(int dpi, int width, int height) : width_(width), height_(height) { SetResolution(dpi, dpi); }
    int GetDeviceCaps(int index) const override { return DeviceCaps(index, width_, height_); }
    int TextWidth(const std::string& text) override;
    int MeasureText(const std::string& face, int height, const std::string& text) override;

protected:
    // The current font's face and where a line of the text goes in it; null when nothing is drawn.
    const TFontFace* PlaceDesignText(const std::string& text, TTextPlace& place) const;

private:
    double CellPerEm(const std::string& face) override { return DesignFace(face).CellPerEm(); }
    int width_, height_;
};

// Numbers whatever the locale: a point for decimals, at most `decimals` of them, no exponent and
// no trailing zeros.
void AppendNumber(std::string& out, long value);
void AppendNumber(std::string& out, double value, int decimals);

}  // namespace varlen
