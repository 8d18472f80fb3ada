#pragma once
// The clipboard: a bitmap placed on it as an image replaces everything it held.
#include "platform/qt/Graphics.h"

namespace varlen {

class TClipboard {
public:
    // Raises EInOutError "Cannot open clipboard" when the application has none.
    void Assign(const TBitmap& bitmap);
};

TClipboard& Clipboard();

}  // namespace varlen
