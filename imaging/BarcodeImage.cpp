// SPDX-License-Identifier: MIT
// The barcode off the screen: metric drawing, the magnified bitmap and its file.
#include "imaging/BarcodeImage.h"

#include <cmath>
#include <cstdint>

#include "engine/DataRules.h"
#include "platform/Errors.h"
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
void scaleSurface(TCanvas& canvas, const ScreenInfo& screen, int factor) {
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
    if (dpiX == 0 || dpiY == 0) dpiX = dpiY = kDefaultDpi;  // as the renderer draws such a surface
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

TBarcodeImage::TBarcodeImage(const TBarcodeParams& params, const ScreenInfo& device)
    : params_(params), device_(device) {}

void TBarcodeImage::setBar_Caption(const std::string& caption) {
    StoreCaption(params_, caption);
    symbol_.reset();
    laidOut_.reset();
}

void TBarcodeImage::setTextLines(TTextLines lines) {
    lines_ = std::move(lines);
    laidOut_.reset();
}

const TSymbol& TBarcodeImage::Symbol() {
    if (!symbol_) symbol_ = Encode(params_);
    return *symbol_;
}

void TBarcodeImage::DrawOnCanvas(TCanvas& canvas, int X, int Y, TSize* size) {
    const TSize drawn = RenderLabel(Symbol(), params_, lines_, canvas, X, Y);
    if (size) *size = drawn;
}

const TDrawing& TBarcodeImage::Drawing(int dpiX, int dpiY) {
    if (dpiX <= 0 || dpiY <= 0) {
        dpiX = device_.logPixelsX;
        dpiY = device_.logPixelsY;
    }
    if (!laidOut_ || laidOut_->dpiX != dpiX || laidOut_->dpiY != dpiY) {
        const TSymbol& symbol = Symbol();
        laidOut_.reset();
        laidOut_.emplace(LaidOut{dpiX, dpiY, LayoutLabel(symbol, params_, lines_, dpiX, dpiY, RasterTextMetrics())});
    }
    return laidOut_->drawing;
}

void TBarcodeImage::LoMetricPrint(TCanvas& canvas, int X, int Y, TSize* size) {
    LoMetricDraw(canvas, X, Y, size, [this](TCanvas& c, int x, int y, TSize* s) { DrawOnCanvas(c, x, y, s); });
}

std::unique_ptr<TBitmap> TBarcodeImage::MagnifiedBitmap(int margin, bool monochrome, int factor, bool grey) {
    if (factor < 1) throw EOverflow("Barcode: Factor for \"MagnifyBy\" must be >=1");

    // The drawing is laid out once, for the raster surface's text: the bitmap is made at its size
    // and painted with it.
    const TDrawing& drawing = Drawing();
    const TSize size = drawing.Size;
    const int width = MagnifiedSide(margin, size.cx, factor);
    const int height = MagnifiedSide(margin, size.cy, factor);
    // A picture beyond 2^28 pixels (768 MB at 24 bits) is refused before any memory is taken: it
    // would only exhaust the memory or the 4 GB a bitmap file can hold.
    if (static_cast<std::int64_t>(width) * height > (std::int64_t{1} << 28)) throw EOverflow(kTooLarge);
    auto bitmap = std::make_unique<TBitmap>();
    // The resolution the barcode was laid out at.
    bitmap->SetResolution(device_.logPixelsX, device_.logPixelsY);
    if (monochrome) bitmap->SetMonochrome(true);
    // A transparent ground needs an alpha channel: 32 bits, whatever is drawn.
    const bool transparent = params_.TransparentBackground && !monochrome;
    if (grey && !monochrome && !transparent) bitmap->SetGrey();
    bitmap->SetSize(width, height);
    if (bitmap->Width() != width || bitmap->Height() != height) throw EOverflow(kTooLarge);  // no memory for it
    if (transparent) bitmap->SetTransparent();

    // The drawing is laid out for the device's resolution, the surface multiplies every
    // coordinate by the factor, so bars come out exactly factor times as wide and the text is set
    // by the font engine at factor times the height. The margin takes the symbol's background
    // colour too.
    PaintBackground(bitmap->Canvas(), params_, TRect{0, 0, width, height});
    scaleSurface(bitmap->Canvas(), device_, factor);
    Paint(drawing, bitmap->Canvas(), margin, margin);
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
