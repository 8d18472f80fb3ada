// SPDX-License-Identifier: MIT
#include "RasterCanvas.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace varlen::fuzz {

RasterCanvas::RasterCanvas(int width, int height, int dpiX, int dpiY)
    : width_(width), height_(height), dpiX_(dpiX), dpiY_(dpiY),
      pixels_(static_cast<std::size_t>(width) * height, 0xFF) {}

int RasterCanvas::GetDeviceCaps(int index) const {
    switch (index) {
    case LOGPIXELSX: return dpiX_;
    case LOGPIXELSY: return dpiY_;
    case HORZRES: return width_;
    case VERTRES: return height_;
    default: return 0;
    }
}

void RasterCanvas::FillRect(const TRect& rect) {
    if (brushStyle_ == bsClear) return;
    fills_.push_back({rect, brushColor_});
    // Reversed corners fill the span between them, right and bottom edges excluded.
    const long left = std::min(rect.Left, rect.Right), right = std::max(rect.Left, rect.Right);
    const long top = std::min(rect.Top, rect.Bottom), bottom = std::max(rect.Top, rect.Bottom);
    const unsigned char value = brushColor_ == clBlack ? 0 : 0xFF;
    for (long y = std::max(top, 0L); y < std::min(bottom, static_cast<long>(height_)); ++y)
        for (long x = std::max(left, 0L); x < std::min(right, static_cast<long>(width_)); ++x)
            pixels_[static_cast<std::size_t>(y) * width_ + x] = value;
}

int RasterCanvas::TextHeight(const std::string&) {
    const Font* f = find(selected_);
    const int h = f ? f->font.Height : fontHeight_;
    return std::abs(h);
}

int RasterCanvas::TextWidth(const std::string& text) {
    return static_cast<int>(text.size()) * (TextHeight(text) / 2);
}

unsigned RasterCanvas::SetTextAlign(unsigned align) { return std::exchange(align_, align); }
TColor RasterCanvas::SetBkColor(TColor color) { return std::exchange(bkColor_, color); }
int RasterCanvas::SetBkMode(int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) misuse_ = "SetBkMode with an unknown mode";
    return std::exchange(bkMode_, mode);
}
TColor RasterCanvas::SetTextColor(TColor color) { return std::exchange(textColor_, color); }

HFONT RasterCanvas::CreateFontIndirect(const TLogFont& font) {
    const HFONT handle = nextHandle_++;
    fonts_.push_back({handle, font});
    return handle;
}

HFONT RasterCanvas::SelectObject(HFONT font) {
    if (font != 0 && !find(font)) misuse_ = "SelectObject of a font that does not exist";
    return std::exchange(selected_, font);
}

void RasterCanvas::DeleteObject(HFONT font) {
    if (font == selected_ && font != 0) misuse_ = "DeleteObject of the selected font";
    const auto it = std::find_if(fonts_.begin(), fonts_.end(), [&](const Font& f) { return f.handle == font; });
    if (it == fonts_.end()) {
        misuse_ = "DeleteObject of a font that does not exist";
        return;
    }
    fonts_.erase(it);
}

void RasterCanvas::TextOutA(int x, int y, const std::string& text) {
    const Font* f = find(selected_);
    texts_.push_back({x, y, text, f ? f->font.Height : fontHeight_, f ? f->font.Escapement : 0});
}

int RasterCanvas::SetMapMode(int mode) {
    if (mode != MM_TEXT) misuse_ = "the renderer changed the mapping mode";
    return MM_TEXT;
}

const RasterCanvas::Font* RasterCanvas::find(HFONT handle) const {
    for (const Font& f : fonts_)
        if (f.handle == handle) return &f;
    return nullptr;
}

}  // namespace varlen::fuzz
