// SPDX-License-Identifier: MIT
#include "platform/qt/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include <vector>

#include "platform/Errors.h"

namespace varlen {

QImage QtImage(const TBitmap& bitmap) {
    const TDibView view = bitmap.View();
    QImage image(view.width, view.height, QImage::Format_RGB32);
    std::vector<std::uint8_t> rgb(std::size_t(view.width) * 3);
    for (int y = 0; y < view.height; ++y) {
        DibRowToRGB(view, y, rgb.data());
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < view.width; ++x) line[x] = qRgb(rgb[3 * x], rgb[3 * x + 1], rgb[3 * x + 2]);
    }
    if (view.xPelsPerMeter > 0) image.setDotsPerMeterX(view.xPelsPerMeter);
    if (view.yPelsPerMeter > 0) image.setDotsPerMeterY(view.yPelsPerMeter);
    return image;
}

void TClipboard::Assign(const TBitmap& bitmap) {
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
    if (!clipboard) throw EInOutError("Cannot open clipboard");
    // A 32-bit copy: every reader converts from it, and black and white stay exact.
    clipboard->clear();
    clipboard->setImage(QtImage(bitmap));
}

TClipboard& Clipboard() {
    static TClipboard clipboard;
    return clipboard;
}

}  // namespace varlen
