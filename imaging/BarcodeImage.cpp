// The barcode off the screen: metric drawing, the magnified bitmap and its file.
#include "imaging/BarcodeImage.h"

#include <cmath>
#include <cstdint>

#include "engine/DataRules.h"
#include "platform/Errors.h"
#include "platform/Screen.h"
#include "raster/Fonts.h"

namespace varlen {

namespace {

// rint rounds exactly as nearbyint does (the current direction, halves to even) and differs only in
// the inexact flag, which nothing reads; unlike nearbyint it compiles to one instruction.
int nearest(long double v) { return static_cast<int>(std::rint(v)); }

constexpr const char* kTooLarge = "Barcode: Bitmap for \"MagnifyBy\" too large";

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

// One logical unit becomes factor x factor pixels.
void scaleSurface(TCanvas& canvas, int factor) {
    const ScreenInfo& screen = Screen();
    canvas.SetMapMode(MM_ANISOTROPIC);
    canvas.SetWindowExtEx(screen.width, screen.height);
    canvas.SetViewportExtEx(screen.width * factor, screen.height * factor);
}

}  // namespace

int MagnifiedSide(int margin, int drawn, int factor) {
    // A side that does not fit an int (a huge factor) is refused rather than wrapped round.
    const std::int64_t side = (2 * static_cast<std::int64_t>(margin) + drawn) * factor;
    if (side < 0 || side > (1 << 20)) throw EOverflow(kTooLarge);
    return static_cast<int>(side);
}

void LoMetricDraw(TCanvas& canvas, int X, int Y, TSize* size,
                  const std::function<void(TCanvas&, int, int, TSize*)>& draw) {
    const int mode = canvas.GetMapMode();
    if (mode == MM_TEXT) {
        draw(canvas, X, Y, size);
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
        draw(canvas, nearest(X * fx), -nearest(Y * fy), &drawn);
    }
    if (size) {
        size->cx = nearest(drawn.cx / fx);
        size->cy = nearest(drawn.cy / fy);
    }
}

TBarcodeImage::TBarcodeImage(const TBarcodeParams& params) : params_(params) {}

void TBarcodeImage::setBar_Caption(const std::string& caption) {
    StoreCaption(params_, caption);
    symbol_.reset();
    measured_.reset();
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
    if (!measured_ || measured_->dpiX != dpiX || measured_->dpiY != dpiY)
        measured_ = Measured{dpiX, dpiY, Measure(Symbol(), RenderParamsOf(params_), dpiX, dpiY, RasterTextMetrics())};
    return measured_->size;
}

void TBarcodeImage::LoMetricPrint(TCanvas& canvas, int X, int Y, TSize* size) {
    LoMetricDraw(canvas, X, Y, size, [this](TCanvas& c, int x, int y, TSize* s) { DrawOnCanvas(c, x, y, s); });
}

std::unique_ptr<TBitmap> TBarcodeImage::MagnifiedBitmap(int margin, bool monochrome, int factor, bool grey) {
    if (factor < 1) throw EOverflow("Barcode: Factor for \"MagnifyBy\" must be >=1");

    // The size is measured, not drawn: the bitmap is made once, at its final size.
    const TSize size = MeasuredSize();
    const int width = MagnifiedSide(margin, size.cx, factor);
    const int height = MagnifiedSide(margin, size.cy, factor);
    // A picture beyond 2^28 pixels (768 MB at 24 bits) is refused before any memory is taken: it
    // would only exhaust the memory or the 4 GB a bitmap file can hold.
    if (static_cast<std::int64_t>(width) * height > (std::int64_t{1} << 28)) throw EOverflow(kTooLarge);
    auto bitmap = std::make_unique<TBitmap>();
    // The resolution the barcode was measured at, and text of two colours for a label printer.
    bitmap->Canvas().SetResolution(Screen().logPixelsX, Screen().logPixelsY);
    bitmap->Canvas().SetMonoText(params_.Mono);
    if (monochrome) bitmap->SetMonochrome(true);
    // A transparent ground needs an alpha channel: 32 bits, whatever is drawn.
    const bool transparent = params_.TransparentBackground && !monochrome;
    if (grey && !monochrome && !transparent) bitmap->SetGrey();
    bitmap->SetSize(width, height);
    if (bitmap->Width() != width || bitmap->Height() != height) throw EOverflow(kTooLarge);  // no memory for it
    if (transparent) bitmap->SetTransparent();

    // The renderer lays out for the screen's resolution, the surface multiplies every coordinate
    // by the factor, so bars come out exactly factor times as wide and the text is set by the
    // font engine at factor times the height. The margin takes the symbol's background colour too.
    PaintBackground(bitmap->Canvas(), RenderParamsOf(params_), TRect{0, 0, width, height});
    scaleSurface(bitmap->Canvas(), factor);
    DrawOnCanvas(bitmap->Canvas(), margin, margin);
    if (grey && !monochrome && bitmap->Canvas().DrewColour()) return MagnifiedBitmap(margin, false, factor, false);
    bitmap->Canvas().ResetMapping();
    return bitmap;
}

void TBarcodeImage::MagnifyBy(int margin, const std::string& fileName, bool monochrome, int factor) {
    // The bitmap file is written beside the target and renamed over it only when complete, so a
    // failed write leaves neither a partial bitmap nor a temporary file behind.
    MagnifiedBitmap(margin, monochrome, factor)->SaveToFile(fileName);
}

}  // namespace varlen
