// TBarcode: AutoSize, and the three ways the barcode leaves the screen: drawing on a printer-like
// surface in metric units, a magnified bitmap file and a bitmap on the clipboard.
#include "control/Barcode.h"

#include <QMouseEvent>
#include <cmath>
#include <cstdint>
#include <memory>

#include "platform/Screen.h"
#include "platform/qt/Clipboard.h"
#include "platform/qt/Graphics.h"
#include "platform/qt/QtCanvas.h"

namespace varlen {

namespace {

int nearest(long double v) { return static_cast<int>(std::nearbyint(v)); }

// Restores a surface's mapping mode when the drawing is done, also when it fails.
class MapModeGuard {
public:
    MapModeGuard(TCanvas& canvas, int mode) : canvas_(canvas), previous_(canvas.SetMapMode(mode)) {}
    ~MapModeGuard() { canvas_.SetMapMode(previous_); }
    MapModeGuard(const MapModeGuard&) = delete;
    MapModeGuard& operator=(const MapModeGuard&) = delete;

private:
    TCanvas& canvas_;
    int previous_;
};

// A bitmap whose surface reports the screen's resolution, the one the barcode was measured at.
std::unique_ptr<TBitmap> newScreenBitmap() {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->Canvas().SetResolution(Screen().logPixelsX, Screen().logPixelsY);
    return bitmap;
}

// One logical unit becomes factor x factor pixels.
void scaleSurface(TCanvas& canvas, int factor) {
    const ScreenInfo& screen = Screen();
    canvas.SetMapMode(MM_ANISOTROPIC);
    canvas.SetWindowExtEx(screen.width, screen.height);
    canvas.SetViewportExtEx(screen.width * factor, screen.height * factor);
}

constexpr const char* kTooLarge = "Barcode: Bitmap for \"MagnifyBy\" too large";

// A bitmap side of (2 x margin + drawn) x factor pixels. A side that does not fit an int (a huge
// factor) is refused rather than wrapped round; the bitmap itself refuses what it cannot hold.
int bitmapSide(int margin, int drawn, int factor) {
    const std::int64_t side = (2 * static_cast<std::int64_t>(margin) + drawn) * factor;
    if (side < 0 || side > (1 << 20)) throw EOverflow(kTooLarge);
    return static_cast<int>(side);
}

const TBarcodeParams& paramsOf(const TBarcode& barcode) { return barcode.Engine().Params; }
const TBarcodeParams& paramsOf(const TBarcodeImage& image) { return image.Params(); }

// The off-screen operations, shared by the widget and the widget-free image: each needs only
// DrawOnCanvas and MeasuredSize of its barcode.
template <class Barcode>
void loMetricPrint(Barcode& barcode, TCanvas& canvas, int X, int Y, TSize* size) {
    const int mode = canvas.GetMapMode();
    if (mode == MM_TEXT) {
        barcode.DrawOnCanvas(canvas, X, Y, size);
        return;
    }
    if (mode != MM_LOMETRIC && mode != MM_HIMETRIC) throw EOverflow("Barcode: Wrong mapmode in \"LoMetricPrint\"");

    const long double u = mode == MM_LOMETRIC ? 0.00393700787401574803L : 0.000393700787401574803L;
    int dpiX = canvas.GetDeviceCaps(LOGPIXELSX);
    int dpiY = canvas.GetDeviceCaps(LOGPIXELSY);
    if (dpiX == 0 || dpiY == 0) {  // the renderer draws such a surface at the screen's resolution
        dpiX = Screen().logPixelsX;
        dpiY = Screen().logPixelsY;
    }
    const long double fx = dpiX * u;  // device dots per logical unit
    const long double fy = dpiY * u;

    TSize drawn;
    {
        MapModeGuard textMode(canvas, MM_TEXT);
        // y counts upward in the metric modes: a point below the origin has a negative y.
        barcode.DrawOnCanvas(canvas, nearest(X * fx), -nearest(Y * fy), &drawn);
    }
    if (size) {
        size->cx = nearest(drawn.cx / fx);
        size->cy = nearest(drawn.cy / fy);
    }
}

template <class Barcode>
std::unique_ptr<TBitmap> magnifiedBitmap(Barcode& barcode, int margin, bool monochrome, int factor) {
    if (factor < 1) throw EOverflow("Barcode: Factor for \"MagnifyBy\" must be >=1");

    // The size is measured, not drawn: the bitmap is made once, at its final size.
    const TSize size = barcode.MeasuredSize();
    const int width = bitmapSide(margin, size.cx, factor);
    const int height = bitmapSide(margin, size.cy, factor);
    // A picture beyond 2^28 pixels (768 MB at 24 bits) is refused before any memory is taken: it
    // would only exhaust the memory or the 4 GB a bitmap file can hold.
    if (static_cast<std::int64_t>(width) * height > (std::int64_t{1} << 28)) throw EOverflow(kTooLarge);
    auto bitmap = newScreenBitmap();
    if (monochrome) bitmap->SetMonochrome(true);
    bitmap->SetSize(width, height);
    if (bitmap->Width() != width || bitmap->Height() != height) throw EOverflow(kTooLarge);  // no memory for it

    // The renderer lays out for the screen's resolution, the surface multiplies every coordinate
    // by the factor, so bars come out exactly factor times as wide and the text is set by the
    // font engine at factor times the height.
    // The margin takes the symbol's background colour too.
    PaintBackground(bitmap->Canvas(), RenderParamsOf(paramsOf(barcode)), TRect{0, 0, width, height});
    scaleSurface(bitmap->Canvas(), factor);
    barcode.DrawOnCanvas(bitmap->Canvas(), margin, margin);
    bitmap->Canvas().ResetMapping();
    return bitmap;
}

template <class Barcode>
void magnifyBy(Barcode& barcode, int margin, const std::string& fileName, bool monochrome, int factor) {
    // The picture and its bitmap are released on every path, also when writing fails.
    const std::unique_ptr<TBitmap> bitmap = magnifiedBitmap(barcode, margin, monochrome, factor);
    // The bitmap file is written beside the target and renamed over it only when complete, so a
    // failed write leaves neither a partial bitmap nor a temporary file behind.
    bitmap->SaveToFile(fileName);
}

}  // namespace

TBarcode::TBarcode(QWidget* owner) : TCustomBarcode(owner) { autoSize_ = true; }

void TBarcode::setAutoSize(bool on) {
    if (on == autoSize_) return;
    autoSize_ = on;
    ApplyMeasuredSize();
    update();
}

void TBarcode::LoMetricPrint(TCanvas& canvas, int X, int Y, TSize* size) { loMetricPrint(*this, canvas, X, Y, size); }

void TBarcode::MagnifyBy(int margin, const std::string& fileName, bool monochrome, int factor) {
    magnifyBy(*this, margin, fileName, monochrome, factor);
}

std::unique_ptr<TBitmap> TBarcode::MagnifiedBitmap(int margin, bool monochrome, int factor) {
    return magnifiedBitmap(*this, margin, monochrome, factor);
}

TBarcodeImage::TBarcodeImage(const TBarcodeParams& params) : params_(params), metrics_(std::make_unique<TQtCanvas>()) {}

TBarcodeImage::~TBarcodeImage() = default;

void TBarcodeImage::setBar_Caption(const std::string& caption) {
    StoreCaption(params_, caption);
    symbol_.reset();
}

const TSymbol& TBarcodeImage::Symbol() {
    if (!symbol_) symbol_ = Encode(params_);
    return *symbol_;
}

void TBarcodeImage::DrawOnCanvas(TCanvas& canvas, int X, int Y, TSize* size) {
    const TSize drawn = Render(Symbol(), RenderParamsOf(params_), canvas, X, Y);
    if (size) *size = drawn;
}

TSize TBarcodeImage::MeasuredSize(int dpiX, int dpiY) {
    if (dpiX <= 0 || dpiY <= 0) {
        dpiX = Screen().logPixelsX;
        dpiY = Screen().logPixelsY;
    }
    return Measure(Symbol(), RenderParamsOf(params_), dpiX, dpiY, *metrics_);
}

void TBarcodeImage::LoMetricPrint(TCanvas& canvas, int X, int Y, TSize* size) { loMetricPrint(*this, canvas, X, Y, size); }

void TBarcodeImage::MagnifyBy(int margin, const std::string& fileName, bool monochrome, int factor) {
    magnifyBy(*this, margin, fileName, monochrome, factor);
}

std::unique_ptr<TBitmap> TBarcodeImage::MagnifiedBitmap(int margin, bool monochrome, int factor) {
    return magnifiedBitmap(*this, margin, monochrome, factor);
}

void TBarcode::CopyToClipboard(int margin) {
    const TSize size = MeasuredSize();
    auto bitmap = newScreenBitmap();
    bitmap->SetSize(bitmapSide(margin, size.cx, 1), bitmapSide(margin, size.cy, 1));
    PaintBackground(bitmap->Canvas(), RenderParamsOf(Engine().Params), TRect{0, 0, bitmap->Width(), bitmap->Height()});
    DrawOnCanvas(bitmap->Canvas(), margin, margin);
    Clipboard().Assign(*bitmap);
}

void TBarcode::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit OnClick();
    TCustomBarcode::mouseReleaseEvent(event);
}

void TBarcode::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit OnDblClick();
    TCustomBarcode::mouseDoubleClickEvent(event);
}

}  // namespace varlen
