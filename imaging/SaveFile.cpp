// The Save pipeline: the barcode drawn once into a bitmap in memory, encoded by file type.
#include "imaging/SaveFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>

#include "imaging/DibConvert.h"
#include "imaging/GIFImage.h"
#include "imaging/PngFile.h"
#include "imaging/Tiff.h"
#include "imaging/jpeg.h"
#include "platform/Canvas.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/Metafile.h"
#include "platform/Screen.h"
#include "platform/qt/Graphics.h"
#include "platform/qt/Printer.h"
#include "platform/qt/QtCanvas.h"

namespace varlen {

namespace {

std::vector<std::uint8_t> pngBytes(const TBitmap& bitmap, const TSaveOptions& options) {
    // The resolution the barcode was laid out at, unless another is asked for.
    const int dotsPerMeter = options.RecordDpi > 0 ? static_cast<int>(std::lround(options.RecordDpi / 0.0254))
                                                   : bitmap.Image().dotsPerMeterX();
    return EncodePng(bitmap, dotsPerMeter);
}

// The drawn size at a resolution: measured where the source can, else drawn once on a surface
// that only measures (a one-pixel picture reporting that resolution).
TSize measure(const TSaveSource& source, int dpi) {
    if (source.DrawnSize) return source.DrawnSize(dpi);
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter painter(&scratch);
    TQtCanvas canvas(&painter, dpi, dpi, 1, 1);
    TSize size;
    source.Draw(canvas, 0, 0, &size);
    return size;
}

std::vector<std::uint8_t> svgBytes(const std::string& fileName, const TSaveSource& source, const TSaveOptions& options) {
    const int dpi = options.VectorDpi > 0 ? options.VectorDpi : 1200;
    // The margin is given in screen pixels; at the vector resolution it keeps its physical width.
    const int screenDpi = Screen().logPixelsX > 0 ? Screen().logPixelsX : 96;
    const int margin = static_cast<int>(std::lround(static_cast<double>(source.Margin) * dpi / screenDpi));
    const TSize size = measure(source, dpi);
    const int width = 2 * margin + std::abs(size.cx), height = 2 * margin + std::abs(size.cy);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setResolution(dpi);  // width and height come out in millimetres
    generator.setSize(QSize(width, height));
    generator.setViewBox(QRect(0, 0, width, height));
    generator.setTitle("Varlen barcode");
    generator.setDescription(QString());
    {
        TQtCanvas canvas(&generator);
        if (!canvas.IsAttached()) throw EInOutError(fileName + ": the SVG generator failed");
        // The barcode's ground, as the bitmap types have it.
        if (!options.TransparentBackground)
            canvas.Painter()->fillRect(QRect(0, 0, width, height),
                                       QColor(options.Background & 0xFF, (options.Background >> 8) & 0xFF,
                                              (options.Background >> 16) & 0xFF));
        TSize drawn;
        source.Draw(canvas, margin, margin, &drawn);
    }
    return std::vector<std::uint8_t>(bytes.constData(), bytes.constData() + bytes.size());
}

void savePdf(const std::string& fileName, const TSaveSource& source, const TSaveOptions& options) {
    TPrinter printer;
    printer.SetPdfOutput(fileName, options.VectorDpi > 0 ? options.VectorDpi : 1200);
    printer.BeginDoc();
    try {
        source.Draw(printer.Canvas(), 200, 200, nullptr);
        printer.EndDoc();
    } catch (...) {
        printer.Abort();
        throw;
    }
}

// The PDF through the printer, read back from where the printer wrote it.
std::vector<std::uint8_t> pdfBytes(const TSaveSource& source, const TSaveOptions& options) {
    const QTemporaryDir dir;
    if (!dir.isValid()) throw EInOutError("temporary folder: " + dir.errorString().toStdString());
    const std::string file = dir.filePath(QStringLiteral("barcode.pdf")).toStdString();
    savePdf(file, source, options);
    return ReadWholeFile(file);
}

// The bitmap of a pixel type, drawn only once its size is known to fit the type.
std::unique_ptr<TBitmap> bitmapFor(TSaveFileType type, const std::string& name, int factor, const TSaveSource& source) {
    if (factor >= 1 && source.DrawnSize) {
        const TSize size = source.DrawnSize(0);
        const std::int64_t width = (2 * std::int64_t{source.Margin} + size.cx) * factor;
        const std::int64_t height = (2 * std::int64_t{source.Margin} + size.cy) * factor;
        if (!PictureFits(type, width, height)) throw EInOutError(PictureTooLargeMessage(name, width, height));
    }
    return source.MagnifiedBitmap(factor);  // refuses a factor below 1
}

}  // namespace

TFileBytes::TFileBytes(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
    parts_.push_back(ByteSpan{bytes_.data(), bytes_.size()});
}

TFileBytes::TFileBytes(std::unique_ptr<TBitmap> bitmap) : bitmap_(std::move(bitmap)) {
    parts_ = bitmap_->BmpFileParts(bytes_);
}

std::size_t TFileBytes::Size() const {
    std::size_t size = 0;
    for (const ByteSpan& part : parts_) size += part.size;
    return size;
}

TFileBytes BarcodeFileBytes(TSaveFileType type, const std::string& name, int factor, const TSaveSource& source,
                            const TSaveOptions& options) {
    switch (type) {
        case TSaveFileType::Unknown:
            throw EInOutError(UnknownFileTypeMessage(name));

        case TSaveFileType::Bmp:
            return TFileBytes(bitmapFor(type, name, factor, source));

        case TSaveFileType::Png:
            return TFileBytes(pngBytes(*bitmapFor(type, name, factor, source), options));

        case TSaveFileType::Gif: {
            TGIFImage gif;
            gif.Assign(*bitmapFor(type, name, factor, source));
            std::vector<std::uint8_t> bytes;
            gif.SaveToStream(bytes);
            return TFileBytes(std::move(bytes));
        }

        case TSaveFileType::Tif:
            return TFileBytes(TiffFileBytes(ToHalftone8(bitmapFor(type, name, factor, source)->View())));

        case TSaveFileType::Jpg: {
            TJPEGImage jpeg;
            if (options.RecordDpi > 0) jpeg.Density = options.RecordDpi;
            jpeg.Assign(bitmapFor(type, name, factor, source)->GetDIBits());
            std::vector<std::uint8_t> bytes;
            jpeg.SaveToStream(bytes);
            return TFileBytes(std::move(bytes));
        }

        case TSaveFileType::Emf: {
            const std::unique_ptr<TBitmap> bitmap = bitmapFor(type, name, factor, source);
            TMetafile metafile;
            metafile.SetHeight(bitmap->Height());
            metafile.SetWidth(bitmap->Width());
            {
                TMetafileCanvas canvas(metafile);
                canvas.Draw(0, 0, bitmap->View());
                canvas.Close();
            }
            return TFileBytes(metafile.SaveToBytes());
        }

        case TSaveFileType::Svg:
            if (factor < 1) throw EOverflow("Barcode: Factor for \"MagnifyBy\" must be >=1");
            return TFileBytes(svgBytes(name, source, options));

        case TSaveFileType::Pdf:
            if (factor < 1) throw EOverflow("Barcode: Factor for \"MagnifyBy\" must be >=1");
            return TFileBytes(pdfBytes(source, options));
    }
    throw EInOutError(UnknownFileTypeMessage(name));
}

void SaveBarcodeToFile(const std::string& fileName, int factor, const TSaveSource& source, const TSaveOptions& options) {
    const TSaveFileType type = SaveFileTypeOf(fileName);
    if (type == TSaveFileType::Pdf) {
        // The printer writes the PDF file itself, whole or not at all.
        if (factor < 1) throw EOverflow("Barcode: Factor for \"MagnifyBy\" must be >=1");
        savePdf(fileName, source, options);
        return;
    }
    const TFileBytes bytes = BarcodeFileBytes(type, fileName, factor, source, options);
    WriteFileAtomic(fileName, bytes.Parts());
}

}  // namespace varlen
