#include "platform/qt/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "platform/Errors.h"

namespace varlen {

void TClipboard::Assign(const TBitmap& bitmap) {
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
    if (!clipboard) throw EInOutError("Cannot open clipboard");
    // A 32-bit copy: every reader converts from it, and black and white stay exact.
    clipboard->clear();
    clipboard->setImage(bitmap.Image().convertToFormat(QImage::Format_RGB32));
}

TClipboard& Clipboard() {
    static TClipboard clipboard;
    return clipboard;
}

}  // namespace varlen
