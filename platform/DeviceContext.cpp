#include "platform/DeviceContext.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace varlen {

int RoundHalfUp(double x) { return static_cast<int>(std::floor(x + 0.5)); }

int TDeviceContext::GetDeviceCaps(int index) const {
    switch (index) {
        case LOGPIXELSX: return m_dpiX;
        case LOGPIXELSY: return m_dpiY;
        case HORZRES: return m_width;
        case VERTRES: return m_height;
        default: return 0;
    }
}

void TDeviceContext::SetResolution(int dpiX, int dpiY) {
    m_dpiX = dpiX;
    m_dpiY = dpiY;
}

void TDeviceContext::SetDeviceSize(int width, int height) {
    m_width = width;
    m_height = height;
}

unsigned TDeviceContext::SetTextAlign(unsigned align) { return std::exchange(m_textAlign, align); }
TColor TDeviceContext::SetBkColor(TColor color) { return std::exchange(m_bkColor, color); }
int TDeviceContext::SetBkMode(int mode) { return std::exchange(m_bkMode, mode); }
TColor TDeviceContext::SetTextColor(TColor color) { return std::exchange(m_textColor, color); }

// ---- fonts -----------------------------------------------------------------------------------

HFONT TDeviceContext::CreateFontIndirect(const TLogFont& font) {
    const HFONT handle = m_nextFont++;
    m_fonts.emplace(handle, font);
    return handle;
}

HFONT TDeviceContext::SelectObject(HFONT font) {
    const HFONT previous = m_selected;
    if (font == 0 || m_fonts.count(font)) m_selected = font;
    return previous;
}

void TDeviceContext::DeleteObject(HFONT font) {
    if (font == m_selected) return;  // a selected object is not deleted, as on the desktop
    m_fonts.erase(font);
}

const TLogFont& TDeviceContext::CurrentFont() const {
    if (m_selected) {
        auto found = m_fonts.find(m_selected);
        if (found != m_fonts.end()) return found->second;
    }
    m_ownFont.FaceName = m_fontName;
    m_ownFont.Height = m_fontHeight;
    m_ownFont.Escapement = 0;
    return m_ownFont;
}

double TDeviceContext::CellHeightLogical(const TLogFont& font) {
    // A positive height is the cell itself: no font needs to be opened to know it.
    if (font.Height > 0) return font.Height;
    const double em = font.Height < 0 ? -double(font.Height) : 12.0;
    return em * CellPerEm(font.FaceName);
}

int TDeviceContext::TextHeight(const std::string&) { return RoundHalfUp(CellHeightLogical(CurrentFont())); }

// ---- mapping ---------------------------------------------------------------------------------

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

void TDeviceContext::ResetMapping() {
    m_mapMode = MM_TEXT;
    m_winX = m_winY = m_vpX = m_vpY = 1;
}

int TDeviceContext::SetMapMode(int mode) {
    const int previous = m_mapMode;
    if (mode < MM_TEXT || mode > MM_ANISOTROPIC) return 0;  // refused, as the desktop does
    if (mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC) {
        // The extents start from the scale of the mode that was in force.
        if (previous == MM_TEXT) {
            m_winX = m_winY = m_vpX = m_vpY = 1;
        } else if (const int u = unitsPerInch(previous)) {
            m_winX = m_winY = u;
            m_vpX = m_dpiX;
            m_vpY = -m_dpiY;
        }
    }
    m_mapMode = mode;
    return previous;
}

void TDeviceContext::SetWindowExtEx(int cx, int cy) {
    // Only the scalable modes have extents; a zero extent is refused.
    if ((m_mapMode != MM_ISOTROPIC && m_mapMode != MM_ANISOTROPIC) || cx == 0 || cy == 0) return;
    m_winX = cx;
    m_winY = cy;
}

void TDeviceContext::SetViewportExtEx(int cx, int cy) {
    if ((m_mapMode != MM_ISOTROPIC && m_mapMode != MM_ANISOTROPIC) || cx == 0 || cy == 0) return;
    m_vpX = cx;
    m_vpY = cy;
}

double TDeviceContext::ScaleX() const {
    switch (m_mapMode) {
        case MM_TEXT: return 1.0;
        case MM_ANISOTROPIC: return double(m_vpX) / m_winX;
        case MM_ISOTROPIC: {
            const double s = std::min(std::fabs(double(m_vpX) / m_winX), std::fabs(double(m_vpY) / m_winY));
            return (double(m_vpX) / m_winX) < 0 ? -s : s;
        }
        default: return double(m_dpiX) / unitsPerInch(m_mapMode);
    }
}

double TDeviceContext::ScaleY() const {
    switch (m_mapMode) {
        case MM_TEXT: return 1.0;
        case MM_ANISOTROPIC: return double(m_vpY) / m_winY;
        case MM_ISOTROPIC: {
            const double s = std::min(std::fabs(double(m_vpX) / m_winX), std::fabs(double(m_vpY) / m_winY));
            return (double(m_vpY) / m_winY) < 0 ? -s : s;
        }
        default: return -double(m_dpiY) / unitsPerInch(m_mapMode);
    }
}

}  // namespace varlen
