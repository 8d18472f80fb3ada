// SPDX-License-Identifier: MIT
// The reader module: zxing-cpp behind the table of imaging/ReaderModule.h. Its own library, loaded
// on the first verification: libZXing and the C++ run-time it needs would otherwise cost every
// start of varlen-cli.
#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <exception>

#include "imaging/ReaderModule.h"

namespace varlen::reader {
namespace {

// The symbology by its name, parsed once for a thread's run of labels of one symbology.
ZXing::BarcodeFormats formatsOf(const std::string& name) {
    if (name.empty()) return ZXing::BarcodeFormat::Any;
    thread_local std::string lastName;
    thread_local ZXing::BarcodeFormat last = ZXing::BarcodeFormat::None;
    if (name != lastName) {
        last = ZXing::BarcodeFormatFromString(name);
        lastName = name;
    }
    return last;
}

bool search(const TReaderQuery& query, TReaderResult& result) {
    const ZXing::BarcodeFormats formats = formatsOf(query.Format);
    if (formats.empty()) return false;  // a name the reader does not know: nothing of it is read
    ZXing::DecodeHints hints;
    hints.setFormats(formats);
    // Without an add-on asked for, one that is there all the same is read and shows as more data.
    hints.setEanAddOnSymbol(query.RequireAddon ? ZXing::EanAddOnSymbol::Require : ZXing::EanAddOnSymbol::Read);
    // The quick search stops at the first row that reads: every row across the bars of a drawn
    // symbol is the same row, and what it reads is compared with the data anyway. The careful one
    // wants two rows that agree, as for a picture taken by a camera.
    hints.setMaxNumberOfSymbols(1);
    hints.setMinLineCount(query.Careful ? 2 : 1);
    hints.setTryHarder(query.Careful);
    hints.setTryRotate(query.Careful);
    hints.setTryDownscale(query.Careful);
    const ZXing::ImageView image(query.Pixels, query.Width, query.Height, ZXing::ImageFormat::Lum, query.RowBytes);
    const ZXing::Results found = ZXing::ReadBarcodes(image, hints);
    if (found.empty()) return false;
    const ZXing::Result& symbol = found.front();
    result.Format = ZXing::ToString(symbol.format());
    result.Identifier = symbol.symbologyIdentifier();
    result.Bytes.assign(symbol.bytes().begin(), symbol.bytes().end());
    const ZXing::Position& at = symbol.position();
    result.Left = std::min({at.topLeft().x, at.bottomLeft().x, at.topRight().x, at.bottomRight().x});
    result.Right = std::max({at.topLeft().x, at.bottomLeft().x, at.topRight().x, at.bottomRight().x});
    result.Row = (at.topLeft().y + at.bottomLeft().y + at.topRight().y + at.bottomRight().y) / 4;
    return true;
}

bool read(const TReaderQuery& query, TReaderResult& result) {
    try {
        return search(query, result);
    } catch (const std::exception& error) {
        result.Error = error.what();
        return false;
    }
}

}  // namespace
}  // namespace varlen::reader

extern "C" __attribute__((visibility("default"))) const varlen::TReaderModule* varlen_reader_module() {
    static const varlen::TReaderModule module{varlen::kReaderModuleVersion, sizeof(varlen::TReaderQuery),
                                              sizeof(varlen::TReaderResult), &varlen::reader::read};
    return &module;
}
