// SPDX-License-Identifier: MIT
#pragma once
// The clipboard: a bitmap placed on it as an image replaces everything it held.
#include <QImage>

#include "raster/Bitmap.h"

namespace varlen {

class TClipboard {
public:
    // Raises EInOutError "Cannot open clipboard" when the application has none.
    void Assign(const TBitmap& bitmap);
};

TClipboard& Clipboard();

// The bitmap's pixels as a 32-bit Qt image (opaque, whatever the bitmap's format).
QImage QtImage(const TBitmap& bitmap);

}  // namespace varlen
