// The Save pipeline: the exported bitmap and its second pass by file type.
#include "imaging/SaveFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cerrno>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

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

// A temporary file of the first pass: a new, unique name in the target's folder, created empty so
// that nobody else takes the name, and removed when the save is over, whatever happened.
class TTempFile {
public:
    explicit TTempFile(const std::string& target) {
        const auto slash = target.find_last_of('/');
        const std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash == 0 ? 1 : slash);
        std::string name = dir + (dir.back() == '/' ? "" : "/") + ".varlen-XXXXXX.bmp";
        const int fd = ::mkstemps(name.data(), 4);
        // The folder cannot take a file: one message, naming what the user asked for.
        if (fd < 0) throw EInOutError(target + ": " + std::strerror(errno));
        ::close(fd);
        name_ = name;
    }
    ~TTempFile() { ::unlink(name_.c_str()); }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    const std::string& name() const { return name_; }

private:
    std::string name_;
};

// The first pass into a temporary file, loaded again as the second pass's bitmap.
TBitmap exportAndLoad(const TSaveSource& source, const TTempFile& temp, int factor) {
    source.ExportBitmap(temp.name(), factor);
    TBitmap bitmap;
    bitmap.LoadFromFile(temp.name());
    return bitmap;
}

void writeBytes(const std::string& fileName, const QByteArray& bytes) {
    WriteFileAtomic(fileName, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void savePng(const std::string& fileName, const TBitmap& bitmap, const TSaveOptions& options) {
    // The resolution the barcode was laid out at, unless another is asked for.
    const int dotsPerMeter = options.RecordDpi > 0 ? static_cast<int>(std::lround(options.RecordDpi / 0.0254))
                                                   : bitmap.Image().dotsPerMeterX();
    WritePngFile(fileName, bitmap, dotsPerMeter);
}

// A surface that only measures: a one-pixel picture reporting the vector resolution.
TSize measure(const TSaveSource& source, int dpi) {
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter painter(&scratch);
    TQtCanvas canvas(&painter, dpi, dpi, 1, 1);
    TSize size;
    source.Draw(canvas, 0, 0, &size);
    return size;
}

void saveSvg(const std::string& fileName, const TSaveSource& source, const TSaveOptions& options) {
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
        // White background, as the bitmap types have.
        canvas.Painter()->fillRect(QRect(0, 0, width, height), Qt::white);
        TSize drawn;
        source.Draw(canvas, margin, margin, &drawn);
    }
    writeBytes(fileName, bytes);
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

}  // namespace

void SaveBarcodeToFile(const std::string& fileName, int factor, const TSaveSource& source, const TSaveOptions& options) {
    const TSaveFileType type = SaveFileTypeOf(fileName);
    switch (type) {
        case TSaveFileType::Unknown:
            throw EInOutError(UnknownFileTypeMessage(fileName));

        case TSaveFileType::Bmp:
            // The export is the result; its writer already writes beside the target and renames.
            source.ExportBitmap(fileName, factor);
            return;

        case TSaveFileType::Gif: {
            const TTempFile temp(fileName);
            const TBitmap bitmap = exportAndLoad(source, temp, factor);
            TGIFImage gif;
            gif.Assign(bitmap);
            gif.SaveToFile(fileName);
            return;
        }

        case TSaveFileType::Tif: {
            const TTempFile temp(fileName);
            TBitmap bitmap = exportAndLoad(source, temp, factor);
            bitmap.SetPixelFormat(pf8bit);  // the halftone palette
            WriteTiff(fileName, bitmap);
            return;
        }

        case TSaveFileType::Jpg: {
            const TTempFile temp(fileName);
            const TBitmap bitmap = exportAndLoad(source, temp, factor);
            TJPEGImage jpeg;
            if (options.RecordDpi > 0) jpeg.Density = options.RecordDpi;
            jpeg.Assign(bitmap);
            jpeg.SaveToFile(fileName);
            return;
        }

        case TSaveFileType::Emf: {
            const TTempFile temp(fileName);
            const TBitmap bitmap = exportAndLoad(source, temp, factor);
            TMetafile metafile;
            metafile.SetHeight(bitmap.Height());
            metafile.SetWidth(bitmap.Width());
            {
                TMetafileCanvas canvas(metafile);
                canvas.Draw(0, 0, bitmap.GetDIBits());
                canvas.Close();
            }
            metafile.SaveToFile(fileName);
            return;
        }

        case TSaveFileType::Png: {
            if (source.MagnifiedBitmap) {
                savePng(fileName, *source.MagnifiedBitmap(factor), options);
            } else {
                const TTempFile temp(fileName);
                savePng(fileName, exportAndLoad(source, temp, factor), options);
            }
            return;
        }

        case TSaveFileType::Svg:
            if (factor < 1) throw EOverflow("Barcode: Factor for \"MagnifyBy\" must be >=1");
            saveSvg(fileName, source, options);
            return;

        case TSaveFileType::Pdf:
            if (factor < 1) throw EOverflow("Barcode: Factor for \"MagnifyBy\" must be >=1");
            savePdf(fileName, source, options);
            return;
    }
}

}  // namespace varlen
