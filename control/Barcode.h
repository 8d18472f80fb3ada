// SPDX-License-Identifier: MIT
#pragma once
// TBarcode: TCustomBarcode with AutoSize and the operations that take the barcode off the screen:
// printing on any surface, a magnified Windows-bitmap export and a copy to the clipboard. The
// bitmaps are those of a TBarcodeImage of the control's parameters (imaging/BarcodeImage.h): the
// pixels varlen-cli makes of the same barcode.
#include <memory>
#include <string>

#include "control/BarHL.h"
#include "imaging/BarcodeImage.h"

namespace varlen {

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
    std::unique_ptr<TBitmap> MagnifiedBitmap(int margin, bool monochrome, int factor, bool grey = false);
    // The control's parameters as an off-screen barcode for its screen (what the bitmaps are
    // drawn with).
    TBarcodeImage Image() const { return TBarcodeImage(Engine().Params, Device()); }
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

}  // namespace varlen
