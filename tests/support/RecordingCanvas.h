// SPDX-License-Identifier: MIT
#pragma once
// A drawing surface for tests that draws nothing and remembers everything: every filled rectangle
// with the brush it was filled with, every text output with the font it was drawn in, and the
// surface state. Its text height is the current font's cell height, as a desktop font engine
// reports it for a font created with a positive height.
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "platform/Canvas.h"

namespace varlen::test {

class RecordingCanvas : public TCanvas {
public:
    struct Fill {
        TRect rect;
        TColor color;
        TBrushStyle style;
        int mapMode;  // the mapping mode the rectangle was filled in
    };
    struct Text {
        int x;
        int y;
        std::string text;
        TLogFont font;   // the selected font (the surface's own font when none is selected)
        unsigned align;
        int bkMode;
        TColor color;
    };

    explicit RecordingCanvas(int dpiX = 96, int dpiY = 96) : dpiX_(dpiX), dpiY_(dpiY) {}

    std::vector<Fill> fills;
    std::vector<Text> texts;

    int GetDeviceCaps(int index) const override {
        switch (index) {
            case LOGPIXELSX: return dpiX_;
            case LOGPIXELSY: return dpiY_;
            case HORZRES: return 10000;
            case VERTRES: return 10000;
            default: return 0;
        }
    }

    TColor BrushColor() const override { return brushColor_; }
    void SetBrushColor(TColor color) override { brushColor_ = color; }
    TBrushStyle BrushStyle() const override { return brushStyle_; }
    void SetBrushStyle(TBrushStyle style) override { brushStyle_ = style; }
    void FillRect(const TRect& rect) override { fills.push_back({rect, brushColor_, brushStyle_, mapMode_}); }

    std::string FontName() const override { return fontName_; }
    void SetFontName(const std::string& name) override { fontName_ = name; }
    int FontHeight() const override { return fontHeight_; }
    void SetFontHeight(int height) override { fontHeight_ = height; }

    int TextHeight(const std::string&) override { return currentFont().Height; }
    int TextWidth(const std::string& text) override {
        return static_cast<int>(text.size()) * currentFont().Height / 2;
    }

    unsigned GetTextAlign() const override { return align_; }
    unsigned SetTextAlign(unsigned align) override { return std::exchange(align_, align); }
    TColor SetBkColor(TColor color) override { return std::exchange(bkColor_, color); }
    int SetBkMode(int mode) override { return std::exchange(bkMode_, mode); }
    TColor SetTextColor(TColor color) override { return std::exchange(textColor_, color); }

    HFONT CreateFontIndirect(const TLogFont& font) override {
        const HFONT handle = nextFont_++;
        fonts_[handle] = font;
        ++created;
        return handle;
    }
    HFONT SelectObject(HFONT font) override { return std::exchange(selected_, font); }
    void DeleteObject(HFONT font) override {
        if (fonts_.erase(font)) ++deleted;
    }

    void TextOutA(int x, int y, const std::string& text) override {
        texts.push_back({x, y, text, currentFont(), align_, bkMode_, textColor_});
    }

    int GetMapMode() const override { return mapMode_; }
    int SetMapMode(int mode) override { return std::exchange(mapMode_, mode); }
    void SetWindowExtEx(int cx, int cy) override { windowExt_ = {cx, cy}; }
    void SetViewportExtEx(int cx, int cy) override { viewportExt_ = {cx, cy}; }

    TColor bkColor() const { return bkColor_; }
    int bkMode() const { return bkMode_; }
    TColor textColor() const { return textColor_; }
    HFONT selected() const { return selected_; }
    int created = 0;
    int deleted = 0;
    TSize windowExt_{};
    TSize viewportExt_{};

private:
    TLogFont currentFont() const {
        if (selected_ != 0) {
            auto it = fonts_.find(selected_);
            if (it != fonts_.end()) return it->second;
        }
        TLogFont own;
        own.Height = fontHeight_;
        own.FaceName = fontName_;
        return own;
    }

    int dpiX_;
    int dpiY_;
    TColor brushColor_ = clWhite;
    TBrushStyle brushStyle_ = bsSolid;
    std::string fontName_ = "System";
    int fontHeight_ = 16;
    unsigned align_ = TA_LEFT | TA_TOP;
    TColor bkColor_ = clWhite;
    int bkMode_ = OPAQUE;
    TColor textColor_ = clBlack;
    int mapMode_ = MM_TEXT;
    std::map<HFONT, TLogFont> fonts_;
    HFONT selected_ = 0;
    HFONT nextFont_ = 1;
};

}  // namespace varlen::test
