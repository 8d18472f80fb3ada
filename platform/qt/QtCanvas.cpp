#include "platform/qt/QtCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QRawFont>
#include <QScreen>
#include <QWidget>

#include "platform/Screen.h"

namespace varlen {

namespace {

QColor toQColor(TColor c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

int roundHalfUp(double v) { return static_cast<int>(std::floor(v + 0.5)); }

// Ascent and descent of a face as fractions of its em, from the face's design metrics.
struct FaceMetrics {
    double ascent = 0.905;
    double descent = 0.212;
};

const FaceMetrics& faceMetrics(const std::string& face) {
    thread_local std::map<std::string, FaceMetrics> cache;  // per thread: each drawing thread its own
    auto found = cache.find(face);
    if (found != cache.end()) return found->second;
    FaceMetrics m;
    QFont font(QString::fromLatin1(face.c_str()));
    font.setPixelSize(256);
    QRawFont raw = QRawFont::fromFont(font);
    if (raw.isValid() && raw.unitsPerEm() > 0) {
        raw.setPixelSize(raw.unitsPerEm());
        const double upem = raw.unitsPerEm();
        if (raw.ascent() + raw.descent() > 0) {
            m.ascent = raw.ascent() / upem;
            m.descent = raw.descent() / upem;
        }
    }
    return cache.emplace(face, m).first->second;
}

// Pictures and windows are screen-like; printers, PDF writers and SVG generators know their own
// resolution. (QPdfWriter and QSvgGenerator report the widget device type, so a widget is
// recognised by its class.)
// A font ready to draw a given cell height in device pixels: Qt takes whole pixel sizes, the rest
// of the height is a painter scale k. Fonts and their metrics are kept, since creating them costs
// more than drawing a short string.
struct DrawFont {
    QFont font;
    double k = 1;
    double ascent = 0, descent = 0;  // in pixels of `font`
    QFontMetricsF metrics;
    DrawFont(const QFont& f, double scale, double a, double d) : font(f), k(scale), ascent(a), descent(d), metrics(f) {}
};

const DrawFont& drawFont(const std::string& face, double cellHeight) {
    thread_local std::map<std::pair<std::string, long>, std::unique_ptr<DrawFont>> cache;
    const auto key = std::make_pair(face, std::lround(cellHeight * 64));
    auto found = cache.find(key);
    if (found != cache.end()) return *found->second;
    if (cache.size() > 256) cache.clear();
    const FaceMetrics& m = faceMetrics(face);
    const double em = cellHeight / (m.ascent + m.descent);
    const int pixels = std::max(1, roundHalfUp(em));
    QFont font(QString::fromLatin1(face.c_str()));
    font.setPixelSize(pixels);
    auto entry = std::make_unique<DrawFont>(font, em / pixels, m.ascent * pixels, m.descent * pixels);
    return *cache.emplace(key, std::move(entry)).first->second;
}

bool usesScreenResolution(const QPaintDevice* device) {
    const int type = device->devType();
    return type == QInternal::Image || type == QInternal::Pixmap || dynamic_cast<const QWidget*>(device) != nullptr;
}

}  // namespace

void InitScreenFromQt() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    ScreenInfo info;
    info.logPixelsX = roundHalfUp(screen->logicalDotsPerInchX());
    info.logPixelsY = roundHalfUp(screen->logicalDotsPerInchY());
    info.width = screen->geometry().width();
    info.height = screen->geometry().height();
    if (info.logPixelsX <= 0 || info.logPixelsY <= 0 || info.width <= 0 || info.height <= 0) return;
    SetScreenInfo(info);
}

TQtCanvas::TQtCanvas() = default;

TQtCanvas::TQtCanvas(QPaintDevice* device) { Attach(device); }

TQtCanvas::TQtCanvas(QPainter* painter, int dpiX, int dpiY, int width, int height)
    : m_painter(painter), m_dpiX(dpiX), m_dpiY(dpiY), m_width(width), m_height(height) {}

TQtCanvas::~TQtCanvas() { Detach(); }

void TQtCanvas::Attach(QPaintDevice* device, int dpiX, int dpiY) {
    Detach();
    beginOwn(device, dpiX, dpiY);
}

void TQtCanvas::beginOwn(QPaintDevice* device, int dpiX, int dpiY) {
    if (dpiX <= 0 || dpiY <= 0) {
        if (usesScreenResolution(device)) {
            dpiX = Screen().logPixelsX;
            dpiY = Screen().logPixelsY;
        } else {
            dpiX = device->logicalDpiX();
            dpiY = device->logicalDpiY();
        }
    }
    m_dpiX = dpiX;
    m_dpiY = dpiY;
    m_width = device->width();
    m_height = device->height();
    m_ownPainter = std::make_unique<QPainter>();
    if (!m_ownPainter->begin(device)) {
        m_ownPainter.reset();
        return;
    }
    m_painter = m_ownPainter.get();
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setRenderHint(QPainter::TextAntialiasing, true);
}

void TQtCanvas::Detach() {
    if (m_ownPainter) {
        if (m_ownPainter->isActive()) m_ownPainter->end();
        m_ownPainter.reset();
    }
    m_painter = nullptr;
}

void TQtCanvas::SetResolution(int dpiX, int dpiY) {
    m_dpiX = dpiX;
    m_dpiY = dpiY;
}

QPainter* TQtCanvas::Painter() {
    ensurePainter();
    return m_painter;
}

bool TQtCanvas::ensurePainter() {
    if (!m_painter && m_reattach) m_reattach();
    return m_painter != nullptr;
}

void TQtCanvas::ResetMapping() {
    m_mapMode = MM_TEXT;
    m_winX = m_winY = m_vpX = m_vpY = 1;
}

int TQtCanvas::GetDeviceCaps(int index) const {
    switch (index) {
        case LOGPIXELSX: return m_dpiX;
        case LOGPIXELSY: return m_dpiY;
        case HORZRES: return m_width;
        case VERTRES: return m_height;
        default: return 0;
    }
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

int TQtCanvas::SetMapMode(int mode) {
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

void TQtCanvas::SetWindowExtEx(int cx, int cy) {
    // Only the scalable modes have extents; a zero extent is refused.
    if ((m_mapMode != MM_ISOTROPIC && m_mapMode != MM_ANISOTROPIC) || cx == 0 || cy == 0) return;
    m_winX = cx;
    m_winY = cy;
}

void TQtCanvas::SetViewportExtEx(int cx, int cy) {
    if ((m_mapMode != MM_ISOTROPIC && m_mapMode != MM_ANISOTROPIC) || cx == 0 || cy == 0) return;
    m_vpX = cx;
    m_vpY = cy;
}

double TQtCanvas::ScaleX() const {
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

double TQtCanvas::ScaleY() const {
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

// ---- filling -------------------------------------------------------------------------------

void TQtCanvas::FillRect(const TRect& rect) {
    if (m_brushStyle == bsClear || !ensurePainter()) return;
    const double sx = ScaleX(), sy = ScaleY();
    int x0 = roundHalfUp(rect.Left * sx), x1 = roundHalfUp(rect.Right * sx);
    int y0 = roundHalfUp(rect.Top * sy), y1 = roundHalfUp(rect.Bottom * sy);
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    if (x0 == x1 || y0 == y1) return;
    if (fillDirect(x0, y0, x1, y1)) return;
    // Whole device pixels, no anti-aliasing: a bar is pure brush colour and nothing beside it
    // is touched.
    const bool aa = m_painter->testRenderHint(QPainter::Antialiasing);
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    if (m_fillBrushColor != m_brushColor || m_fillBrush.style() == Qt::NoBrush) {
        m_fillBrush = QBrush(toQColor(m_brushColor));  // a kept brush fills several times faster
        m_fillBrushColor = m_brushColor;
    }
    m_painter->fillRect(QRect(x0, y0, x1 - x0, y1 - y0), m_fillBrush);
    m_painter->setRenderHint(QPainter::Antialiasing, aa);
}

namespace {

// n bytes of one value. A bar is mostly a few bytes wide and as many rows high: short spans are
// written with overlapping fixed-size stores, which the compiler keeps inline, rather than a call
// to memset for every row.
inline void fillBytes(uchar* dst, std::uint8_t value, std::size_t n) {
    const std::uint64_t pattern = std::uint64_t(value) * 0x0101010101010101ULL;
    if (n > 32) {
        std::memset(dst, value, n);
    } else if (n >= 16) {
        std::memcpy(dst, &pattern, 8);
        std::memcpy(dst + 8, &pattern, 8);
        std::memcpy(dst + n - 16, &pattern, 8);
        std::memcpy(dst + n - 8, &pattern, 8);
    } else if (n >= 8) {
        std::memcpy(dst, &pattern, 8);
        std::memcpy(dst + n - 8, &pattern, 8);
    } else if (n >= 4) {
        std::memcpy(dst, &pattern, 4);
        std::memcpy(dst + n - 4, &pattern, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i) dst[i] = value;
    }
}

}  // namespace

// An opaque rectangle on a 24- or 32-bit picture, written straight into its rows: exactly the
// pixels the painter's own fill sets, without its span machinery, which for 24-bit pixels goes
// through a conversion per span (a magnified export of a long symbol fills hundreds of megabytes).
// Only when the painter would fill plainly: an image of its own (not shared, so the rows are the
// painter's), no clip, no transformation, full opacity, the ordinary composition.
bool TQtCanvas::fillDirect(int x0, int y0, int x1, int y1) {
    QPaintDevice* device = m_painter->device();
    if (!device || device->devType() != QInternal::Image) return false;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_BGR888 && format != QImage::Format_RGB32) return false;
    if (!image->isDetached() || m_painter->hasClipping() || m_painter->opacity() != 1.0 ||
        m_painter->compositionMode() != QPainter::CompositionMode_SourceOver || !m_painter->worldTransform().isIdentity())
        return false;
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, image->width());
    y1 = std::min(y1, image->height());
    if (x0 >= x1 || y0 >= y1) return true;
    const std::uint8_t r = m_brushColor & 0xFF, g = (m_brushColor >> 8) & 0xFF, b = (m_brushColor >> 16) & 0xFF;
    const std::size_t count = std::size_t(x1 - x0);
    uchar* bits = image->bits();  // not shared: no copy is made
    const qsizetype stride = image->bytesPerLine();
    if (format == QImage::Format_BGR888) {
        uchar* first = bits + y0 * stride + 3 * std::size_t(x0);
        if (r == g && g == b) {
            for (int y = y0; y < y1; ++y) fillBytes(bits + y * stride + 3 * std::size_t(x0), r, 3 * count);
            return true;
        }
        // The pixel's three bytes as the format lays them out, from the format itself.
        QImage pixel(1, 1, format);
        pixel.setPixel(0, 0, qRgb(r, g, b));
        const uchar* p = pixel.constBits();
        for (std::size_t i = 0; i < count; ++i) std::memcpy(first + 3 * i, p, 3);
        for (int y = y0 + 1; y < y1; ++y) std::memcpy(bits + y * stride + 3 * std::size_t(x0), first, 3 * count);
        return true;
    }
    const quint32 value = qRgb(r, g, b);  // 0xFFrrggbb, as the painter stores opaque colours
    for (int y = y0; y < y1; ++y) std::fill_n(reinterpret_cast<quint32*>(bits + y * stride) + x0, count, value);
    return true;
}

// ---- fonts and text ------------------------------------------------------------------------

double TQtCanvas::CellPerEm(const std::string& face) {
    const FaceMetrics& m = faceMetrics(face);
    return m.ascent + m.descent;
}

QFont TQtCanvas::CellFont(const std::string& face, double cellHeight, double* scale) {
    const DrawFont& f = drawFont(face, cellHeight);
    if (scale) *scale = f.k;
    return f.font;
}

HFONT TQtCanvas::CreateFontIndirect(const TLogFont& font) {
    const HFONT handle = m_nextFont++;
    m_fonts.emplace(handle, font);
    return handle;
}

HFONT TQtCanvas::SelectObject(HFONT font) {
    const HFONT previous = m_selected;
    if (font == 0 || m_fonts.count(font)) m_selected = font;
    return previous;
}

void TQtCanvas::DeleteObject(HFONT font) {
    if (font == m_selected) return;  // a selected object is not deleted, as on the desktop
    m_fonts.erase(font);
}

const TLogFont& TQtCanvas::currentFont() const {
    if (m_selected) {
        auto found = m_fonts.find(m_selected);
        if (found != m_fonts.end()) return found->second;
    }
    m_ownFont.FaceName = m_fontName;
    m_ownFont.Height = m_fontHeight;
    m_ownFont.Escapement = 0;
    return m_ownFont;
}

double TQtCanvas::cellHeightLogical(const TLogFont& font) const {
    if (font.Height > 0) return font.Height;
    const double em = font.Height < 0 ? -double(font.Height) : 12.0;
    return em * CellPerEm(font.FaceName);
}

int TQtCanvas::TextHeight(const std::string&) {
    // The cell height, whatever the string, as the desktop reports it.
    return roundHalfUp(cellHeightLogical(currentFont()));
}

int TQtCanvas::TextWidth(const std::string& text) {
    const TLogFont& font = currentFont();
    const double cell = cellHeightLogical(font);
    // Measured at a large size and scaled, so that the width is the design width of the string.
    // The layout asks for the same strings when it measures and when it draws: they are kept, by
    // each thread for itself (a batch draws labels on several).
    static thread_local std::map<std::pair<std::string, std::string>, double> widths;
    auto key = std::make_pair(font.FaceName, text);
    auto found = widths.find(key);
    if (found == widths.end()) {
        if (widths.size() > 1024) widths.clear();
        const DrawFont& f = drawFont(font.FaceName, 1000.0);
        const double design = f.metrics.horizontalAdvance(QString::fromLatin1(text.data(), qsizetype(text.size()))) * f.k;
        found = widths.emplace(std::move(key), design).first;
    }
    return roundHalfUp(found->second * cell / 1000.0);
}

unsigned TQtCanvas::SetTextAlign(unsigned align) { return std::exchange(m_textAlign, align); }
TColor TQtCanvas::SetBkColor(TColor color) { return std::exchange(m_bkColor, color); }
int TQtCanvas::SetBkMode(int mode) { return std::exchange(m_bkMode, mode); }
TColor TQtCanvas::SetTextColor(TColor color) { return std::exchange(m_textColor, color); }

void TQtCanvas::TextOutA(int x, int y, const std::string& text) {
    if (!ensurePainter()) return;
    const TLogFont& font = currentFont();
    const double sx = ScaleX(), sy = ScaleY();
    const double cellDevice = cellHeightLogical(font) * std::fabs(sy);
    if (cellDevice <= 0) return;
    const DrawFont& df = drawFont(font.FaceName, cellDevice);
    const double k = df.k, ascent = df.ascent, descent = df.descent;
    const QString string = QString::fromLatin1(text.data(), qsizetype(text.size()));
    const double width = df.metrics.horizontalAdvance(string);

    // Offsets from the reference point in the unrotated text frame, in units of the drawn font.
    double left = 0;
    switch (m_textAlign & 6u) {
        case TA_CENTER: left = -width / 2; break;
        case TA_RIGHT: left = -width; break;
        default: break;
    }
    // The glyph rasteriser puts the baseline on a whole device pixel; choosing that pixel here,
    // on the cell's side, keeps every glyph inside its cell.
    double baseline = std::floor(ascent * k + 1e-6) / k;  // TA_TOP
    if ((m_textAlign & TA_BASELINE) == TA_BASELINE) {
        baseline = 0;
    } else if (m_textAlign & TA_BOTTOM) {
        baseline = -std::ceil(descent * k - 1e-6) / k;
    }

    m_painter->save();
    m_painter->translate(x * sx, y * sy);
    // Escapement counts counter-clockwise as seen on the device; Qt's angles turn clockwise.
    m_painter->rotate(-font.Escapement / 10.0);
    // A non-uniform scale stretches the glyphs like the logical units.
    m_painter->scale(k * std::fabs(sx) / std::fabs(sy), k);
    if (m_bkMode == OPAQUE) m_painter->fillRect(QRectF(left, baseline - ascent, width, ascent + descent), toQColor(m_bkColor));
    m_painter->setFont(df.font);
    m_painter->setPen(toQColor(m_textColor));
    m_painter->drawText(QPointF(left, baseline), string);
    m_painter->restore();
}

}  // namespace varlen
