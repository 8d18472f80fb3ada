#pragma once
// What a drawing surface keeps besides its pixels, the same for every kind of surface: the
// resolution, brush, colours, text alignment, the fonts created and selected, and the mapping from
// logical units to device dots. A surface derives from it and only fills and sets text.
#include <map>
#include <string>

#include "platform/Canvas.h"

namespace varlen {

class TDeviceContext : public TCanvas {
public:
    int GetDeviceCaps(int index) const override;
    void SetResolution(int dpiX, int dpiY);
    // HORZRES / VERTRES.
    void SetDeviceSize(int width, int height);

    TColor BrushColor() const override { return m_brushColor; }
    void SetBrushColor(TColor color) override { m_brushColor = color; }
    TBrushStyle BrushStyle() const override { return m_brushStyle; }
    void SetBrushStyle(TBrushStyle style) override { m_brushStyle = style; }

    std::string FontName() const override { return m_fontName; }
    void SetFontName(const std::string& name) override { m_fontName = name; }
    int FontHeight() const override { return m_fontHeight; }
    void SetFontHeight(int height) override { m_fontHeight = height; }
    // The cell height, whatever the string, as the desktop reports it.
    int TextHeight(const std::string& text) override;

    unsigned GetTextAlign() const override { return m_textAlign; }
    unsigned SetTextAlign(unsigned align) override;
    TColor SetBkColor(TColor color) override;
    int SetBkMode(int mode) override;
    TColor SetTextColor(TColor color) override;

    HFONT CreateFontIndirect(const TLogFont& font) override;
    HFONT SelectObject(HFONT font) override;
    void DeleteObject(HFONT font) override;

    int GetMapMode() const override { return m_mapMode; }
    int SetMapMode(int mode) override;
    void SetWindowExtEx(int cx, int cy) override;
    void SetViewportExtEx(int cx, int cy) override;
    // The mapping mode back to MM_TEXT with unit extents, as a fresh device context has.
    void ResetMapping();

    // Device dots per logical unit on each axis (negative y: y grows upward).
    double ScaleX() const;
    double ScaleY() const;

protected:
    // Ascent + descent of a face in ems: what a font of a negative (em) height stands for.
    virtual double CellPerEm(const std::string& face) = 0;

    // The selected font, or the surface's own.
    const TLogFont& CurrentFont() const;
    // The character-cell height of a font in logical units.
    double CellHeightLogical(const TLogFont& font);

    TColor m_bkColor = clWhite;
    int m_bkMode = OPAQUE;
    TColor m_textColor = clBlack;

private:
    int m_dpiX = 96, m_dpiY = 96, m_width = 0, m_height = 0;
    TColor m_brushColor = clWhite;
    TBrushStyle m_brushStyle = bsSolid;
    std::string m_fontName = "Arial";
    int m_fontHeight = -11;  // 8 points at 96 dots per inch
    unsigned m_textAlign = TA_LEFT | TA_TOP;

    std::map<HFONT, TLogFont> m_fonts;
    HFONT m_nextFont = 1;
    HFONT m_selected = 0;
    mutable TLogFont m_ownFont;

    int m_mapMode = MM_TEXT;
    int m_winX = 1, m_winY = 1, m_vpX = 1, m_vpY = 1;
};

// x rounded to the nearest integer, halves upward: how device coordinates are taken from scaled
// logical ones.
int RoundHalfUp(double x);

}  // namespace varlen
