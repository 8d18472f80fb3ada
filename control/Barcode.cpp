// SPDX-License-Identifier: MIT
// TBarcode: AutoSize, and the three ways the barcode leaves the screen: drawing on a printer-like
// surface in metric units, a magnified bitmap file and a bitmap on the clipboard.
#include "control/Barcode.h"

#include <QMouseEvent>

#include "platform/qt/Clipboard.h"

namespace varlen {

TBarcode::TBarcode(QWidget* owner) : TCustomBarcode(owner) { autoSize_ = true; }

void TBarcode::setAutoSize(bool on) {
    if (on == autoSize_) return;
    autoSize_ = on;
    ApplyMeasuredSize();
    update();
}

void TBarcode::LoMetricPrint(TCanvas& canvas, int X, int Y, TSize* size) {
    LoMetricDraw(canvas, X, Y, size, [this](TCanvas& c, int x, int y, TSize* s) { DrawOnCanvas(c, x, y, s); });
}

void TBarcode::MagnifyBy(int margin, const std::string& fileName, bool monochrome, int factor) {
    Image().MagnifyBy(margin, fileName, monochrome, factor);
}

std::unique_ptr<TBitmap> TBarcode::MagnifiedBitmap(int margin, bool monochrome, int factor, bool grey) {
    return Image().MagnifiedBitmap(margin, monochrome, factor, grey);
}

void TBarcode::CopyToClipboard(int margin) { Clipboard().Assign(*MagnifiedBitmap(margin, false, 1)); }

void TBarcode::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit OnClick();
    TCustomBarcode::mouseReleaseEvent(event);
}

void TBarcode::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit OnDblClick();
    TCustomBarcode::mouseDoubleClickEvent(event);
}

}  // namespace varlen
