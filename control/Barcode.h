#pragma once
// TBarcode: TCustomBarcode with AutoSize and the operations that take the barcode off the screen:
// printing on any surface, a magnified Windows-bitmap export and a copy to the clipboard.
#include <memory>
#include <string>

#include "control/BarHL.h"

namespace varlen {

class TBitmap;

class TBarcode : public TCustomBarcode {
    Q_OBJECT
public:
    explicit TBarcode(QWidget* owner = nullptr);

    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool on);

    // Draws at the logical point (X, Y) of a surface in text, low-metric or high-metric mapping
    // mode; any other mode raises EOverflow "Barcode: Wrong mapmode in "LoMetricPrint"".
    void LoMetricPrint(TCanvas& canvas, int X, int Y, TSize* size = nullptr);
    // Writes the barcode with a margin, magnified F times, as a Windows bitmap file whatever the
    // name's extension. F below 1 raises EOverflow "Barcode: Factor for "MagnifyBy" must be >=1".
    void MagnifyBy(int margin, const std::string& fileName, bool monochrome, int factor);
    // The bitmap MagnifyBy writes, for callers that want it in another form (the Save pipeline).
    // Same checks and geometry; drawn once, at the size measured beforehand.
    std::unique_ptr<TBitmap> MagnifiedBitmap(int margin, bool monochrome, int factor);
    // Places the barcode with a margin on the clipboard as a bitmap.
    void CopyToClipboard(int margin);

signals:
    void OnClick();
    void OnDblClick();

protected:
    bool TakesDrawnSize() const override { return autoSize_; }
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool autoSize_ = true;
};

// The control's three off-screen operations on parameters of its own, without a widget: a widget
// lives in the window's thread only, this works in any thread (each thread its own object), with
// the same geometry, checks and pixels as TBarcode. Give it a TBarcode's parameters
// (Engine().Params), then a caption per symbol.
class TBarcodeImage {
public:
    explicit TBarcodeImage(const TBarcodeParams& params);
    ~TBarcodeImage();
    TBarcodeImage(const TBarcodeImage&) = delete;
    TBarcodeImage& operator=(const TBarcodeImage&) = delete;

    const TBarcodeParams& Params() const { return params_; }
    // The control's caption rule (StoreCaption).
    void setBar_Caption(const std::string& caption);

    void DrawOnCanvas(TCanvas& canvas, int X, int Y, TSize* size = nullptr);
    TSize MeasuredSize(int dpiX = 0, int dpiY = 0);
    void LoMetricPrint(TCanvas& canvas, int X, int Y, TSize* size = nullptr);
    void MagnifyBy(int margin, const std::string& fileName, bool monochrome, int factor);
    std::unique_ptr<TBitmap> MagnifiedBitmap(int margin, bool monochrome, int factor);

private:
    const TSymbol& Symbol();

    TBarcodeParams params_;
    std::optional<TSymbol> symbol_;    // encoded once per caption
    std::unique_ptr<TQtCanvas> metrics_;  // the font engine, for measuring
};

}  // namespace varlen
