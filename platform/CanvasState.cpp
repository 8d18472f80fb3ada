// SPDX-License-Identifier: MIT
#include "platform/CanvasState.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace varlen {

int RoundHalfUp(double v) { return static_cast<int>(std::floor(v + 0.5)); }

void TCanvasState::SetResolution(int dpiX, int dpiY) {
    dpiX_ = dpiX;
    dpiY_ = dpiY;
    rescale();
}

unsigned TCanvasState::SetTextAlign(unsigned align) { return std::exchange(textAlign_, align); }
TColor TCanvasState::SetBkColor(TColor color) { return std::exchange(bkColor_, color); }
int TCanvasState::SetBkMode(int mode) { return std::exchange(bkMode_, mode); }
TColor TCanvasState::SetTextColor(TColor color) { return std::exchange(textColor_, color); }

// ---- fonts ---------------------------------------------------------------------------------

HFONT TCanvasState::CreateFontIndirect(const TLogFont& font) {
    const HFONT handle = nextFont_++;
    fonts_.emplace(handle, font);
    return handle;
}

HFONT TCanvasState::SelectObject(HFONT font) {
    const HFONT previous = selected_;
    if (font == 0 || fonts_.count(font)) selected_ = font;
    return previous;
}

void TCanvasState::DeleteObject(HFONT font) {
    if (font == selected_) return;
    fonts_.erase(font);
}

const TLogFont& TCanvasState::CurrentFont() const {
    if (selected_) {
        auto found = fonts_.find(selected_);
        if (found != fonts_.end()) return found->second;
    }
    ownFont_.FaceName = fontName_;
    ownFont_.Height = fontHeight_;
    ownFont_.Escapement = 0;
    return ownFont_;
}

double TCanvasState::CellHeight(const TLogFont& font, double cellPerEm) {
    if (font.Height > 0) return font.Height;
    const double em = font.Height < 0 ? -double(font.Height) : 12.0;
    return em * cellPerEm;
}

int TCanvasState::DeviceCaps(int index, int width, int height) const {
    switch (index) {
        case LOGPIXELSX: return dpiX_;
        case LOGPIXELSY: return dpiY_;
        case HORZRES: return width;
        case VERTRES: return height;
        default: return 0;
    }
}

bool TCanvasState::DeviceRect(const TRect& rect, int& x0, int& y0, int& x1, int& y1) const {
    if (wholeX_ && wholeY_) {
        x0 = rect.Left * wholeX_, x1 = rect.Right * wholeX_;
        y0 = rect.Top * wholeY_, y1 = rect.Bottom * wholeY_;
    } else {
        x0 = RoundHalfUp(rect.Left * scaleX_), x1 = RoundHalfUp(rect.Right * scaleX_);
        y0 = RoundHalfUp(rect.Top * scaleY_), y1 = RoundHalfUp(rect.Bottom * scaleY_);
    }
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    return x0 != x1 && y0 != y1;
}

bool TCanvasState::PlaceText(const std::string& text, double widthInEms, double ascent, double descent,
                             TTextPlace& place) const {
    place.Cell = CellHeight(CurrentFont(), ascent + descent) * std::fabs(ScaleY());
    if (place.Cell <= 0 || text.empty()) return false;
    place.Em = place.Cell / (ascent + descent);
    place.Width = widthInEms * place.Em;
    place.Left = AlignedLeft(place.Width);
    const unsigned align = GetTextAlign();
    place.Baseline = ascent * place.Em;  // TA_TOP: the cell's top at the reference point
    if ((align & TA_BASELINE) == TA_BASELINE) {
        place.Baseline = 0;
    } else if (align & TA_BOTTOM) {
        place.Baseline = -descent * place.Em;
    }
    return true;
}

int TCanvasState::TextHeight(const std::string&) {
    const TLogFont& font = CurrentFont();
    return RoundHalfUp(CellHeight(font, font.Height > 0 ? 1.0 : CellPerEm(font.FaceName)));
}

// ---- mapping -------------------------------------------------------------------------------

namespace {
// Logical units per inch of the fixed modes; y grows upward in all of them.
int unitsPerInch(int mode) {
    switch (mode) {
        case MM_LOMETRIC: return 254;
        case MM_HIMETRIC: return 2540;
        case MM_LOENGLISH: return 100;
        case MM_HIENGLISH: return 1000;
        case MM_TWIPS: return 1440;
        default: return 0;
    }
}
}  // namespace

void TCanvasState::ResetMapping() {
    mapMode_ = MM_TEXT;
    winX_ = winY_ = vpX_ = vpY_ = 1;
    rescale();
}

int TCanvasState::SetMapMode(int mode) {
    const int previous = mapMode_;
    if (mode < MM_TEXT || mode > MM_ANISOTROPIC) return 0;
    if (mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC) {
        // The extents start from the scale of the mode that was in force.
        if (previous == MM_TEXT) {
            winX_ = winY_ = vpX_ = vpY_ = 1;
        } else if (const int u = unitsPerInch(previous)) {
            winX_ = winY_ = u;
            vpX_ = dpiX_;
            vpY_ = -dpiY_;
        }
    }
    mapMode_ = mode;
    rescale();
    return previous;
}

void TCanvasState::SetWindowExtEx(int cx, int cy) {
    if ((mapMode_ != MM_ISOTROPIC && mapMode_ != MM_ANISOTROPIC) || cx == 0 || cy == 0) return;
    winX_ = cx;
    winY_ = cy;
    rescale();
}

void TCanvasState::SetViewportExtEx(int cx, int cy) {
    if ((mapMode_ != MM_ISOTROPIC && mapMode_ != MM_ANISOTROPIC) || cx == 0 || cy == 0) return;
    vpX_ = cx;
    vpY_ = cy;
    rescale();
}

void TCanvasState::rescale() {
    const auto scale = [this](bool x) {
        const int vp = x ? vpX_ : vpY_, win = x ? winX_ : winY_;
        switch (mapMode_) {
            case MM_TEXT: return 1.0;
            case MM_ANISOTROPIC: return double(vp) / win;
            case MM_ISOTROPIC: {
                const double s = std::min(std::fabs(double(vpX_) / winX_), std::fabs(double(vpY_) / winY_));
                return (double(vp) / win) < 0 ? -s : s;
            }
            default: return x ? double(dpiX_) / unitsPerInch(mapMode_) : -double(dpiY_) / unitsPerInch(mapMode_);
        }
    };
    const auto whole = [](double s) { return s == std::nearbyint(s) && std::fabs(s) <= 1024 ? int(s) : 0; };
    scaleX_ = scale(true);
    scaleY_ = scale(false);
    wholeX_ = whole(scaleX_);
    wholeY_ = whole(scaleY_);
}

}  // namespace varlen
