// SPDX-License-Identifier: MIT
#pragma once
// The state every drawing surface keeps the same way, whatever it draws on: brush, own font, text
// alignment and colours, the fonts created for single text outputs, and the mapping from logical
// units to device dots. A surface derives from it and adds the drawing itself (FillRect,
// TextWidth, TextOutA) and its resolution and size (GetDeviceCaps).
#include <map>
#include <string>

#include "platform/Canvas.h"

namespace varlen {

class TCanvasState : public TCanvas {
public:
    TColor BrushColor() const override { return brushColor_; }
    void SetBrushColor(TColor color) override { brushColor_ = color; }
    TBrushStyle BrushStyle() const override { return brushStyle_; }
    void SetBrushStyle(TBrushStyle style) override { brushStyle_ = style; }

    std::string FontName() const override { return fontName_; }
    void SetFontName(const std::string& name) override { fontName_ = name; }
    int FontHeight() const override { return fontHeight_; }
    void SetFontHeight(int height) override { fontHeight_ = height; }
    // The cell height of the current font, whatever the string, as the desktop reports it.
    int TextHeight(const std::string& text) override;

    unsigned GetTextAlign() const override { return textAlign_; }
    unsigned SetTextAlign(unsigned align) override;
    TColor SetBkColor(TColor color) override;
    int SetBkMode(int mode) override;
    TColor SetTextColor(TColor color) override;

    HFONT CreateFontIndirect(const TLogFont& font) override;
    HFONT SelectObject(HFONT font) override;
    void DeleteObject(HFONT font) override;  // a selected font is kept, as on the desktop

    int GetMapMode() const override { return mapMode_; }
    // Modes MM_TEXT to MM_ANISOTROPIC; anything else is refused (0) and changes nothing.
    int SetMapMode(int mode) override;
    // Only the scalable modes have extents; a zero extent is refused.
    void SetWindowExtEx(int cx, int cy) override;
    void SetViewportExtEx(int cx, int cy) override;

    // The mapping mode back to MM_TEXT with unit extents, as a fresh device context has.
    void ResetMapping();

    // Device dots per logical unit on each axis (negative y: y grows upward).
    double ScaleX() const { return scaleX_; }
    double ScaleY() const { return scaleY_; }

    // What LOGPIXELSX / LOGPIXELSY report, and the metric modes map with.
    void SetResolution(int dpiX, int dpiY);

protected:
    // The font of the next text output: the selected one, else the surface's own.
    const TLogFont& CurrentFont() const;
    // A font's character-cell height in logical units. A negative height is the em, which a face
    // turns into a cell by its ascent + descent per em (cellPerEm); 0 is a 12-unit em.
    static double CellHeight(const TLogFont& font, double cellPerEm);
    // Ascent + descent per em of a face, for fonts given by their em height.
    virtual double CellPerEm(const std::string& face) = 0;
    // What GetDeviceCaps answers for a surface of this resolution and width x height dots.
    int DeviceCaps(int index, int width, int height) const;
    // A fill's rectangle in device dots, [x0, x1) x [y0, y1) as a bitmap fills it, corners in
    // order: false when it covers no dot.
    bool DeviceRect(const TRect& rect, int& x0, int& y0, int& x1, int& y1) const;
    // A line of text on a surface that sets it as its face was designed (the vector files), in
    // device dots of the text's own frame (before turning): the em, the cell, the width, and where
    // the line starts and its baseline lies from the reference point, by the text alignment.
    // `widthInEms`, `ascent` and `descent` are the face's, in ems. False when nothing is drawn.
    struct TTextPlace {
        double Em = 0, Cell = 0, Width = 0, Left = 0, Baseline = 0;
    };
    bool PlaceText(const std::string& text, double widthInEms, double ascent, double descent, TTextPlace& place) const;
    // Where a line of text `width` wide starts, from the reference point, by the text alignment.
    double AlignedLeft(double width) const {
        const unsigned horizontal = GetTextAlign() & 6u;
        return horizontal == TA_CENTER ? -width / 2 : horizontal == TA_RIGHT ? -width : 0;
    }

    int DpiX() const { return dpiX_; }
    int DpiY() const { return dpiY_; }
    TColor TextColor() const { return textColor_; }
    TColor BkColor() const { return bkColor_; }
    int BkMode() const { return bkMode_; }

private:
    int dpiX_ = kDefaultDpi, dpiY_ = kDefaultDpi;
    TColor brushColor_ = clWhite;
    TBrushStyle brushStyle_ = bsSolid;
    std::string fontName_ = "Arial";
    int fontHeight_ = -11;  // 8 points at 96 dots per inch
    unsigned textAlign_ = TA_LEFT | TA_TOP;
    TColor bkColor_ = clWhite;
    int bkMode_ = OPAQUE;
    TColor textColor_ = clBlack;

    std::map<HFONT, TLogFont> fonts_;
    HFONT nextFont_ = 1;
    HFONT selected_ = 0;
    mutable TLogFont ownFont_;

    int mapMode_ = MM_TEXT;
    int winX_ = 1, winY_ = 1, vpX_ = 1, vpY_ = 1;
    // The scales of the mapping, worked out whenever it changes: a symbol's hundreds of rectangles
    // are mapped with them. Whole scales (1 without a mapping, the factor of a magnified picture)
    // map by integer products.
    void rescale();
    double scaleX_ = 1.0, scaleY_ = 1.0;
    int wholeX_ = 1, wholeY_ = 1;  // 0: the scale is not a whole number
};

// roundHalfUp(v): the nearest integer, halves upward, as surfaces round device coordinates.
int RoundHalfUp(double v);

}  // namespace varlen
