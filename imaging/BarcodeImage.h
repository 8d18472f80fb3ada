// SPDX-License-Identifier: MIT
#pragma once
// A barcode taken off the screen without a window: the control's off-screen operations (drawing in
// metric units, the magnified bitmap, the bitmap file) on a parameter record of its own. It is
// what varlen-cli draws with, and what the window's Save and Copy draw with too, so that both
// programs make the same pixels: text measured and set by the raster surface's font engine.
//
// An object belongs to one thread at a time; each thread of a batch has its own.
//
//   TBarcodeImage image(params);          // a TBarcode's Engine().Params, or a record of one's own
//   image.setBar_Caption("400638133393");
//   std::unique_ptr<TBitmap> bitmap = image.MagnifiedBitmap(2, false, 3);
//
// The pictures are laid out for a screen the caller names (the window the one it is on, varlen-cli
// one of its --dpi): its resolution decides the whole pixels of the modules and is recorded in the
// bitmaps.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/BarLL.h"
#include "engine/Label.h"
#include "platform/Screen.h"
#include "raster/Bitmap.h"

namespace varlen {

class TBarcodeImage {
public:
    explicit TBarcodeImage(const TBarcodeParams& params, const ScreenInfo& device = ScreenInfo{});

    const TBarcodeParams& Params() const { return params_; }
    // The screen the pictures are made for.
    const ScreenInfo& Device() const { return device_; }
    // The control's caption rule (StoreCaption).
    void setBar_Caption(const std::string& caption);
    // Encoded once per caption; raises the engine's error.
    const TSymbol& Symbol();
    // Lines of text under the symbol (engine/Label.h): every picture is then the whole label,
    // turned with it. None: the symbol alone.
    void setTextLines(TTextLines lines);
    const TTextLines& TextLines() const { return lines_; }

    // Draws on any surface with the top-left corner at (X, Y); writes the drawn size (device
    // units, exchanged for quarter turns) to *size when given.
    void DrawOnCanvas(TCanvas& canvas, int X, int Y, TSize* size = nullptr);
    // The drawing laid out for a raster surface of this resolution (0: the device's); kept until the
    // caption changes or another resolution is asked for.
    const TDrawing& Drawing(int dpiX = 0, int dpiY = 0);
    // Its size: the drawn size before drawing.
    TSize MeasuredSize(int dpiX = 0, int dpiY = 0) { return Drawing(dpiX, dpiY).Size; }
    // Draws at the logical point (X, Y) of a surface in text, low-metric or high-metric mapping
    // mode; any other mode raises EOverflow "Barcode: Wrong mapmode in "LoMetricPrint"".
    void LoMetricPrint(TCanvas& canvas, int X, int Y, TSize* size = nullptr);
    // The barcode with a margin, magnified F times, in a bitmap made once at its measured size.
    // F below 1 raises EOverflow "Barcode: Factor for "MagnifyBy" must be >=1"; a picture beyond
    // 2^28 pixels or 2^20 a side "Barcode: Bitmap for "MagnifyBy" too large". With `grey`, a grey
    // bitmap (TBitmap::SetGrey) when the barcode is drawn in grey only, else the display format:
    // the same pixels either way.
    std::unique_ptr<TBitmap> MagnifiedBitmap(int margin, bool monochrome, int factor, bool grey = false);
    // The same bitmap written as a Windows bitmap file whatever the name's extension.
    void MagnifyBy(int margin, const std::string& fileName, bool monochrome, int factor);

private:
    TBarcodeParams params_;
    ScreenInfo device_;
    std::optional<TSymbol> symbol_;
    TTextLines lines_;
    // The last drawing laid out, for the symbol and resolution it was laid out at: the Save
    // pipeline measures before it draws, and the bitmap is sized and painted from the same drawing.
    struct LaidOut {
        int dpiX, dpiY;
        TDrawing drawing;
    };
    std::optional<LaidOut> laidOut_;
};

// LoMetricPrint for any barcode that draws itself in the text mapping mode: `draw` draws at a
// device point and gives the drawn size.
void LoMetricDraw(TCanvas& canvas, int X, int Y, TSize* size,
                  const std::function<void(TCanvas&, int, int, TSize*)>& draw);

// The bitmap's side for a drawn extent: (2 x margin + drawn) x factor pixels, refused with the
// export's "too large" message beyond 2^20.
int MagnifiedSide(int margin, int drawn, int factor);

}  // namespace varlen
