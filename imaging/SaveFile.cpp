// The Save pipeline: the barcode drawn once into a bitmap in memory, encoded by file type.
#include "imaging/SaveFile.h"

#include <cmath>
#include <cstdint>

#include "imaging/DibConvert.h"
#include "imaging/GIFImage.h"
#include "imaging/PngFile.h"
#include "imaging/Tiff.h"
#include "imaging/jpeg.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/BmpFile.h"
#include "platform/Metafile.h"
#include "platform/Screen.h"

namespace varlen {

namespace {

std::vector<std::uint8_t> pngBytes(const TBitmap& bitmap, const TSaveOptions& options, int magnify = 1) {
    // The resolution the barcode was laid out at, unless another is asked for.
    const TDibView view = bitmap.View();
    const int dotsPerMeter = options.RecordDpi > 0 ? static_cast<int>(std::lround(options.RecordDpi / 0.0254))
                                                   : view.xPelsPerMeter;
    return EncodePng(view, dotsPerMeter, magnify);
}

std::vector<std::uint8_t> vectorBytes(TSaveFileType type, const std::string& name, const TSaveSource& source,
                                      const TSaveOptions& options) {
    TVectorOptions vector;
    vector.Dpi = options.VectorDpi > 0 ? options.VectorDpi : 1200;
    // The margin is given in screen pixels; at the vector resolution it keeps its physical width.
    const int screenDpi = Screen().logPixelsX > 0 ? Screen().logPixelsX : 96;
    vector.MarginDots = static_cast<int>(std::lround(static_cast<double>(source.Margin) * vector.Dpi / screenDpi));
    vector.PrintPlacement = type == TSaveFileType::Pdf && options.PrintPage;
    vector.Name = name;
    vector.Background = options.Background;
    vector.TransparentBackground = options.TransparentBackground;
    const TVectorFormat format = type == TSaveFileType::Svg   ? TVectorFormat::Svg
                                 : type == TSaveFileType::Pdf ? TVectorFormat::Pdf
                                                              : TVectorFormat::Eps;
    return VectorFileBytes(format, source.Vector, vector);
}

RGBQuad quadOf(TColor color) {
    return RGBQuad{std::uint8_t(color >> 16), std::uint8_t(color >> 8), std::uint8_t(color), 0};
}

// The two-colour picture of a bitmap (TSaveOptions::TwoColours).
TDib twoColours(const TBitmap& bitmap, const TSaveOptions& options) {
    return TwoColourDib(bitmap.View(), quadOf(options.Foreground), quadOf(options.Background));
}

// The bitmap of a pixel type, drawn only once its size is known to fit the type.
// Refuses a picture too large for its type before it is drawn.
void checkFits(TSaveFileType type, const std::string& name, int factor, const TSaveSource& source) {
    if (factor < 1 || !source.DrawnSize) return;
    const TSize size = source.DrawnSize(0);
    const std::int64_t width = (2 * std::int64_t{source.Margin} + size.cx) * factor;
    const std::int64_t height = (2 * std::int64_t{source.Margin} + size.cy) * factor;
    if (!PictureFits(type, width, height)) throw EInOutError(PictureTooLargeMessage(name, width, height));
}

std::unique_ptr<TBitmap> bitmapFor(TSaveFileType type, const std::string& name, int factor, const TSaveSource& source,
                                   const TSaveOptions& options = {}) {
    checkFits(type, name, factor, source);
    // The grey picture where it is read as pixels, not as the display format's rows.
    if ((type == TSaveFileType::Png || options.TwoColours) && source.GreyBitmap) return source.GreyBitmap(factor);
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
            if (options.TwoColours)
                return TFileBytes(EncodeBmp(twoColours(*bitmapFor(type, name, factor, source, options), options)));
            return TFileBytes(bitmapFor(type, name, factor, source));

        case TSaveFileType::Png:
            // Two colours drawn magnified are the picture drawn once with every dot a square of
            // `factor` pixels, text included (TRasterCanvas sets monochrome text in the surface's
            // own dots): the writer magnifies the small picture.
            if (options.TwoColours && factor > 1 && source.GreyBitmap && source.DrawnSize) {
                checkFits(type, name, factor, source);
                return TFileBytes(pngBytes(*source.GreyBitmap(1), options, factor));
            }
            return TFileBytes(pngBytes(*bitmapFor(type, name, factor, source), options));

        case TSaveFileType::Gif: {
            TGIFImage gif;
            if (options.TwoColours) gif.Assign(twoColours(*bitmapFor(type, name, factor, source, options), options));
            else gif.Assign(*bitmapFor(type, name, factor, source));
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
        case TSaveFileType::Pdf:
        case TSaveFileType::Eps:
            if (factor < 1) throw EOverflow("Barcode: Factor for \"MagnifyBy\" must be >=1");
            return TFileBytes(vectorBytes(type, name, source, options));
    }
    throw EInOutError(UnknownFileTypeMessage(name));
}

void SaveBarcodeToFile(const std::string& fileName, int factor, const TSaveSource& source, const TSaveOptions& options) {
    const TFileBytes bytes = BarcodeFileBytes(SaveFileTypeOf(fileName), fileName, factor, source, options);
    WriteFileAtomic(fileName, bytes.Parts());
}

}  // namespace varlen
