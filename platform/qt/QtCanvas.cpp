// SPDX-License-Identifier: MIT
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


namespace varlen {

namespace {

QColor toQColor(TColor c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

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
    const int pixels = std::max(1, RoundHalfUp(em));
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

namespace {
ScreenInfo& screenInfo() {
    static ScreenInfo info;
    return info;
}

// The logical resolution and size of a Qt screen; nothing when it reports none.
bool readScreen(const QScreen* screen, ScreenInfo& info) {
    if (!screen) return false;
    ScreenInfo read;
    read.logPixelsX = RoundHalfUp(screen->logicalDotsPerInchX());
    read.logPixelsY = RoundHalfUp(screen->logicalDotsPerInchY());
    read.width = screen->geometry().width();
    read.height = screen->geometry().height();
    if (read.logPixelsX <= 0 || read.logPixelsY <= 0 || read.width <= 0 || read.height <= 0) return false;
    info = read;
    return true;
}
}  // namespace

const ScreenInfo& Screen() { return screenInfo(); }
void SetScreenInfo(const ScreenInfo& info) { screenInfo() = info; }

void InitScreenFromQt() {
    ScreenInfo info;
    if (readScreen(QGuiApplication::primaryScreen(), info)) SetScreenInfo(info);
}

ScreenInfo ScreenOf(const QWidget* widget) {
    ScreenInfo info = Screen();
    if (widget) readScreen(widget->screen(), info);
    return info;
}

TQtCanvas::TQtCanvas() = default;

TQtCanvas::TQtCanvas(QPaintDevice* device) { Attach(device); }

TQtCanvas::TQtCanvas(QPainter* painter, int dpiX, int dpiY, int width, int height) : m_painter(painter) {
    SetResolution(dpiX, dpiY);
    m_width = width;
    m_height = height;
}

TQtCanvas::~TQtCanvas() { Detach(); }

void TQtCanvas::Attach(QPaintDevice* device, int dpiX, int dpiY) {
    Detach();
    beginOwn(device, dpiX, dpiY);
}

void TQtCanvas::beginOwn(QPaintDevice* device, int dpiX, int dpiY) {
    if (dpiX <= 0 || dpiY <= 0) {
        if (usesScreenResolution(device)) {
            const auto* widget = dynamic_cast<const QWidget*>(device);
            const ScreenInfo screen = widget ? ScreenOf(widget) : Screen();
            dpiX = screen.logPixelsX;
            dpiY = screen.logPixelsY;
        } else {
            dpiX = device->logicalDpiX();
            dpiY = device->logicalDpiY();
        }
    }
    SetResolution(dpiX, dpiY);
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

QPainter* TQtCanvas::Painter() {
    ensurePainter();
    return m_painter;
}

bool TQtCanvas::ensurePainter() {
    return m_painter != nullptr;
}

int TQtCanvas::GetDeviceCaps(int index) const { return DeviceCaps(index, m_width, m_height); }

// ---- filling -------------------------------------------------------------------------------

void TQtCanvas::FillRect(const TRect& rect) {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (BrushStyle() == bsClear || !DeviceRect(rect, x0, y0, x1, y1) || !ensurePainter()) return;
    // Whole device pixels, no anti-aliasing: a bar is pure brush colour and nothing beside it
    // is touched.
    const bool aa = m_painter->testRenderHint(QPainter::Antialiasing);
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    if (m_fillBrushColor != BrushColor() || m_fillBrush.style() == Qt::NoBrush) {
        m_fillBrush = QBrush(toQColor(BrushColor()));  // a kept brush fills several times faster
        m_fillBrushColor = BrushColor();
    }
    m_painter->fillRect(QRect(x0, y0, x1 - x0, y1 - y0), m_fillBrush);
    m_painter->setRenderHint(QPainter::Antialiasing, aa);
}

// ---- fonts and text ------------------------------------------------------------------------

double TQtCanvas::FaceCellPerEm(const std::string& face) {
    const FaceMetrics& m = faceMetrics(face);
    return m.ascent + m.descent;
}

QFont TQtCanvas::CellFont(const std::string& face, double cellHeight, double* scale) {
    const DrawFont& f = drawFont(face, cellHeight);
    if (scale) *scale = f.k;
    return f.font;
}

int TQtCanvas::TextWidth(const std::string& text) {
    const TLogFont& font = CurrentFont();
    const double cell = CellHeight(font, font.Height > 0 ? 1.0 : CellPerEm(font.FaceName));
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
    return RoundHalfUp(found->second * cell / 1000.0);
}

void TQtCanvas::TextOutA(int x, int y, const std::string& text) {
    if (!ensurePainter()) return;
    const TLogFont& font = CurrentFont();
    const double sx = ScaleX(), sy = ScaleY();
    const double cellDevice = CellHeight(font, font.Height > 0 ? 1.0 : CellPerEm(font.FaceName)) * std::fabs(sy);
    if (cellDevice <= 0) return;
    const DrawFont& df = drawFont(font.FaceName, cellDevice);
    const double k = df.k, ascent = df.ascent, descent = df.descent;
    const QString string = QString::fromLatin1(text.data(), qsizetype(text.size()));
    const double width = df.metrics.horizontalAdvance(string);

    // Offsets from the reference point in the unrotated text frame, in units of the drawn font.
    const double left = AlignedLeft(width);
    // The glyph rasteriser puts the baseline on a whole device pixel; choosing that pixel here,
    // on the cell's side, keeps every glyph inside its cell.
    double baseline = std::floor(ascent * k + 1e-6) / k;  // TA_TOP
    if ((GetTextAlign() & TA_BASELINE) == TA_BASELINE) {
        baseline = 0;
    } else if (GetTextAlign() & TA_BOTTOM) {
        baseline = -std::ceil(descent * k - 1e-6) / k;
    }

    m_painter->save();
    m_painter->translate(x * sx, y * sy);
    // Escapement counts counter-clockwise as seen on the device; Qt's angles turn clockwise.
    m_painter->rotate(-font.Escapement / 10.0);
    // A non-uniform scale stretches the glyphs like the logical units.
    m_painter->scale(k * std::fabs(sx) / std::fabs(sy), k);
    if (BkMode() == OPAQUE) m_painter->fillRect(QRectF(left, baseline - ascent, width, ascent + descent), toQColor(BkColor()));
    m_painter->setFont(df.font);
    m_painter->setPen(toQColor(TextColor()));
    m_painter->drawText(QPointF(left, baseline), string);
    m_painter->restore();
}

}  // namespace varlen
