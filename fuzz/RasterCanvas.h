// SPDX-License-Identifier: MIT
#pragma once
// A drawing surface in plain C++ for the renderer's fuzz target: a small one-byte-per-pixel raster
// that clips what falls outside it, a list of every fill and text output for the checks, and fixed
// font metrics (a character cell as high as the font, half as wide) so that no font library is
// needed. It also keeps the book of created and selected fonts, to tell a handle leak or a font
// left selected.
#include <string>
#include <vector>

#include "platform/Canvas.h"

namespace varlen::fuzz {

class RasterCanvas : public TCanvas {
public:
    struct Fill {
        TRect rect;
        TColor color;
        friend bool operator==(const Fill& a, const Fill& b) {
            return a.rect.Left == b.rect.Left && a.rect.Top == b.rect.Top && a.rect.Right == b.rect.Right &&
                   a.rect.Bottom == b.rect.Bottom && a.color == b.color;
        }
    };
    struct Text {
        int x, y;
        std::string text;
        int height, escapement;
        friend bool operator==(const Text&, const Text&) = default;
    };

    RasterCanvas(int width, int height, int dpiX, int dpiY);

    int GetDeviceCaps(int index) const override;
    TColor BrushColor() const override { return brushColor_; }
    void SetBrushColor(TColor color) override { brushColor_ = color; }
    TBrushStyle BrushStyle() const override { return brushStyle_; }
    void SetBrushStyle(TBrushStyle style) override { brushStyle_ = style; }
    void FillRect(const TRect& rect) override;
    std::string FontName() const override { return fontName_; }
    void SetFontName(const std::string& name) override { fontName_ = name; }
    int FontHeight() const override { return fontHeight_; }
    void SetFontHeight(int height) override { fontHeight_ = height; }
    int TextHeight(const std::string& text) override;
    int TextWidth(const std::string& text) override;
    unsigned GetTextAlign() const override { return align_; }
    unsigned SetTextAlign(unsigned align) override;
    TColor SetBkColor(TColor color) override;
    int SetBkMode(int mode) override;
    TColor SetTextColor(TColor color) override;
    HFONT CreateFontIndirect(const TLogFont& font) override;
    HFONT SelectObject(HFONT font) override;
    void DeleteObject(HFONT font) override;
    void TextOutA(int x, int y, const std::string& text) override;
    int GetMapMode() const override { return MM_TEXT; }
    int SetMapMode(int mode) override;
    void SetWindowExtEx(int, int) override {}
    void SetViewportExtEx(int, int) override {}

    const std::vector<Fill>& fills() const { return fills_; }
    const std::vector<Text>& texts() const { return texts_; }
    const std::vector<unsigned char>& pixels() const { return pixels_; }
    int liveFonts() const { return static_cast<int>(fonts_.size()); }
    HFONT selectedFont() const { return selected_; }
    // Set when the renderer used the surface in a way the surface contract forbids.
    const std::string& misuse() const { return misuse_; }

private:
    struct Font {
        HFONT handle;
        TLogFont font;
    };
    const Font* find(HFONT handle) const;

    int width_, height_, dpiX_, dpiY_;
    std::vector<unsigned char> pixels_;
    std::vector<Fill> fills_;
    std::vector<Text> texts_;
    std::vector<Font> fonts_;
    HFONT nextHandle_ = 1;
    HFONT selected_ = 0;
    TColor brushColor_ = clWhite;
    TBrushStyle brushStyle_ = bsSolid;
    std::string fontName_ = "Arial";
    int fontHeight_ = 13;
    unsigned align_ = TA_LEFT | TA_TOP;
    TColor bkColor_ = clWhite, textColor_ = clBlack;
    int bkMode_ = OPAQUE;
    std::string misuse_;
};

}  // namespace varlen::fuzz
