// SPDX-License-Identifier: MIT
// The Save pipeline: the barcode drawn once into a bitmap in memory, encoded by file type.
#include "imaging/SaveFile.h"

#include <cmath>
#include <cstdint>

#include "engine/LabelSheet.h"
#include "imaging/BarcodeImage.h"
#include "imaging/DibConvert.h"
#include "imaging/GIFImage.h"
#include "imaging/PngFile.h"
#include "imaging/Tiff.h"
#include "imaging/jpeg.h"
#include "platform/BmpFile.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/Metafile.h"

namespace varlen {

namespace {

std::vector<std::uint8_t> pngBytes(const TBitmap& bitmap, const TSaveOptions& options, int magnify = 1) {
    // The resolution the barcode was laid out at, unless another is asked for.
    const TDibView view = bitmap.View();
    const int dotsPerMeter = options.RecordDpi > 0 ? static_cast<int>(std::lround(options.RecordDpi / 0.0254))
                                                   : view.xPelsPerMeter;
    return EncodePng(view, dotsPerMeter, magnify);
}

TVectorOptions vectorOptions(TSaveFileType type, const std::string& name, const TSaveSource& source,
                             const TSaveOptions& options) {
    TVectorOptions vector;
    vector.Dpi = options.VectorDpi > 0 ? options.VectorDpi : 1200;
    // The margin is given in pixels of the device; at the vector resolution it keeps its physical
    // width.
    const int deviceDpi = source.Device.logPixelsX > 0 ? source.Device.logPixelsX : kDefaultDpi;
    vector.MarginDots = static_cast<int>(std::lround(static_cast<double>(source.Margin) * vector.Dpi / deviceDpi));
    vector.PrintPlacement = type == TSaveFileType::Pdf && options.PrintPage;
    vector.Name = name;
    vector.Background = options.Background;
    vector.TransparentBackground = options.TransparentBackground;
    return vector;
}

std::vector<std::uint8_t> vectorBytes(TSaveFileType type, const std::string& name, const TSaveSource& source,
                                      const TSaveOptions& options) {
    const TVectorOptions vector = vectorOptions(type, name, source, options);
    if (options.ReadBack) {
        // The symbol with its margin; on the Print command's page the rest of the sheet is paper.
        const std::unique_ptr<TBitmap> page = VectorPageRaster(source, vector.Dpi, vector.MarginDots, options);
        options.ReadBack(page->View(), vector.Dpi, 1);
    }
    const TVectorFormat format = type == TSaveFileType::Svg   ? TVectorFormat::Svg
                                 : type == TSaveFileType::Pdf ? TVectorFormat::Pdf
                                                              : TVectorFormat::Eps;
    return VectorFileBytes(format, source.Vector, vector);
}

// The picture the file will hold, handed to the read-back with the resolution it records, which
// is the one the barcode was laid out at.
void readBack(const TSaveOptions& options, const TDibView& picture, int factor) {
    if (options.ReadBack) options.ReadBack(picture, static_cast<int>(std::lround(picture.xPelsPerMeter * 0.0254)), factor);
}

RGBQuad quadOf(TColor color) {
    return RGBQuad{std::uint8_t(color >> 16), std::uint8_t(color >> 8), std::uint8_t(color), 0};
}

// The two-colour picture of a bitmap (TSaveOptions::TwoColours).
TDib twoColours(const TBitmap& bitmap, const TSaveOptions& options) {
    return TwoColourDib(bitmap.View(), quadOf(options.Foreground), quadOf(options.Background));
}

// Refuses a picture too large for its type before it is drawn.
void checkFits(TSaveFileType type, const std::string& name, int factor, const TSaveSource& source) {
    if (factor < 1 || !source.DrawnSize) return;
    const TSize size = source.DrawnSize(0);
    const std::int64_t width = (2 * std::int64_t{source.Margin} + size.cx) * factor;
    const std::int64_t height = (2 * std::int64_t{source.Margin} + size.cy) * factor;
    if (!PictureFits(type, width, height)) throw ETooLarge(PictureTooLargeMessage(name, width, height));
}

// The bitmap of a pixel type, drawn only once its size is known to fit the type.
std::unique_ptr<TBitmap> bitmapFor(TSaveFileType type, const std::string& name, int factor, const TSaveSource& source,
                                   const TSaveOptions& options) {
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

        case TSaveFileType::Bmp: {
            std::unique_ptr<TBitmap> bitmap = bitmapFor(type, name, factor, source, options);
            if (options.TwoColours) {
                const TDib two = twoColours(*bitmap, options);
                readBack(options, two, factor);
                return TFileBytes(EncodeBmp(two));
            }
            readBack(options, bitmap->View(), factor);
            return TFileBytes(std::move(bitmap));
        }

        case TSaveFileType::Png: {
            // Two colours drawn magnified are the picture drawn once with every dot a square of
            // `factor` pixels, text included (TRasterCanvas sets monochrome text in the surface's
            // own dots): the writer magnifies the small picture, and the read-back sees it as the
            // file holds it.
            if (options.TwoColours && factor > 1 && source.GreyBitmap && source.DrawnSize) {
                checkFits(type, name, factor, source);
                const std::unique_ptr<TBitmap> dots = source.GreyBitmap(1);
                if (options.ReadBack) readBack(options, MagnifiedDib(dots->View(), factor), factor);
                return TFileBytes(pngBytes(*dots, options, factor));
            }
            const std::unique_ptr<TBitmap> bitmap = bitmapFor(type, name, factor, source, options);
            readBack(options, bitmap->View(), factor);
            return TFileBytes(pngBytes(*bitmap, options));
        }

        case TSaveFileType::Gif: {
            const std::unique_ptr<TBitmap> bitmap = bitmapFor(type, name, factor, source, options);
            TGIFImage gif;
            if (options.TwoColours) {
                const TDib two = twoColours(*bitmap, options);
                readBack(options, two, factor);
                gif.Assign(two);
            } else {
                const TDibView view = bitmap->View();
                if (options.ReadBack && !IsPaletteDib(view)) {
                    // The colours the file will hold: each pixel's on the 216-colour palette.
                    const TDib reduced = ReduceTo216Colors(view);
                    readBack(options, reduced, factor);
                } else {
                    readBack(options, view, factor);
                }
                gif.Assign(*bitmap);
            }
            std::vector<std::uint8_t> bytes;
            gif.SaveToStream(bytes);
            return TFileBytes(std::move(bytes));
        }

        case TSaveFileType::Tif: {
            const std::unique_ptr<TBitmap> bitmap = bitmapFor(type, name, factor, source, options);
            const TDib halftone = ToHalftone8(bitmap->View());
            readBack(options, halftone, factor);
            return TFileBytes(TiffFileBytes(halftone));
        }

        case TSaveFileType::Jpg: {
            const std::unique_ptr<TBitmap> bitmap = bitmapFor(type, name, factor, source, options);
            readBack(options, bitmap->View(), factor);
            TJPEGImage jpeg;
            if (options.RecordDpi > 0) jpeg.Density = options.RecordDpi;
            jpeg.Assign(bitmap->GetDIBits());
            std::vector<std::uint8_t> bytes;
            jpeg.SaveToStream(bytes);
            return TFileBytes(std::move(bytes));
        }

        case TSaveFileType::Emf: {
            const std::unique_ptr<TBitmap> bitmap = bitmapFor(type, name, factor, source, options);
            readBack(options, bitmap->View(), factor);
            TMetafile metafile;
            metafile.SetReferenceDevice(source.Device);
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

std::unique_ptr<TBitmap> VectorPageRaster(const TSaveSource& source, int dpi, int marginDots, const TSaveOptions& options) {
    const TSize size = source.DrawnSize(dpi);
    const int width = MagnifiedSide(marginDots, size.cx, 1);
    const int height = MagnifiedSide(marginDots, size.cy, 1);
    const char* const tooLarge = "Barcode: Bitmap for \"MagnifyBy\" too large";
    if (static_cast<std::int64_t>(width) * height > kMaxSavePixels) throw EOverflow(tooLarge);
    // Grey first, a third of the memory; drawn again in full colour when colour was drawn.
    for (const bool grey : {true, false}) {
        auto page = std::make_unique<TBitmap>();
        page->Canvas().SetResolution(dpi, dpi);
        if (grey) page->SetGrey();
        page->SetSize(width, height);
        if (page->Width() != width || page->Height() != height) throw EOverflow(tooLarge);
        TRasterCanvas& canvas = page->Canvas();
        if (!options.TransparentBackground && options.Background != clWhite) {
            canvas.SetBrushColor(options.Background);
            canvas.SetBrushStyle(bsSolid);
            canvas.FillRect(TRect{0, 0, width, height});
        }
        source.Vector.Draw(canvas, marginDots, marginDots);
        if (!grey || !canvas.DrewColour()) return page;
    }
    return nullptr;  // not reached
}

void SaveSheetToFile(const std::string& fileName, const TSheetRun& run, const TSymbol& symbol, const TLook& look,
                     const TTextLines& lines, int dpi) {
    TFileStream file(fileName);
    TPdfPagesOptions options;
    options.PageWidthMM = run.sheet.pageWidth;
    options.PageHeightMM = run.sheet.pageHeight;
    options.Dpi = dpi;
    options.Name = fileName;
    const std::unique_ptr<TPdfPages> pages =
        OpenPdfPages(options, [&file](const void* data, std::size_t size) { file.Write(data, size); });
    TSheetFiller filler(run, *pages);
    filler.Place(0, symbol, look, lines);
    filler.Finish();
    pages->Finish();
    file.Commit();
}

void SaveBarcodeToFile(const std::string& fileName, int factor, const TSaveSource& source, const TSaveOptions& options) {
    const TFileBytes bytes = BarcodeFileBytes(SaveFileTypeOf(fileName), fileName, factor, source, options);
    WriteFileAtomic(fileName, bytes.Parts());
}

}  // namespace varlen
