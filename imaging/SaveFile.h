#pragma once
// Saving a barcode as a file of the type its name asks for: the Save command's pipeline, shared by
// the window and by varlen-cli, so that both write the same bytes for the same barcode and factor.
//
// Everything happens in memory: the barcode is drawn once, with a margin and magnified F times,
// into a bitmap (the control's MagnifiedBitmap), the bitmap is encoded as the type the target
// name's extension asks for (compared in lower case), and the bytes go to the one safe writer,
// which writes the target whole or not at all. Nothing but the target touches the disk.
//   ".bmp"  the bitmap as a Windows bitmap file;
//   ".gif"  the bitmap assigned to a TGIFImage;
//   ".tif"  the bitmap converted to 8 bits per pixel (halftone palette), then the TIFF writer;
//   ".jpg"  the bitmap assigned to a TJPEGImage (quality 90, baseline);
//   ".emf"  an enhanced metafile as large as the bitmap, holding it drawn at (0, 0);
//   ".png"  the bitmap as PNG (the same pixels as the ".bmp");
//   ".svg"  vector bars and text drawn by the renderer on an SVG generator, in millimetres;
//   ".pdf"  one page at physical size, the barcode at (200, 200) dots as the Print command puts it.
// A picture larger than its type can hold (PictureFits, SaveFileType.h) is refused before it is
// drawn, with one message for every type. A target name whose extension is none of the eight
// raises EInOutError with kUnknownFileTypeMessage and writes nothing.
//
// Use from the window (Save, after the dialog):
//     SaveBarcodeToFile(fileName, factor, SaveSourceOf(*Barcode1));
// and from varlen-cli the same call, with TSaveOptions for a label printer's resolution, or
// BarcodeFileBytes for standard output.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/SaveFileType.h"
#include "platform/FileIO.h"
#include "platform/qt/Graphics.h"

namespace varlen {

class TCanvas;
struct TSize;

// What the pipeline needs of a barcode, as callbacks, so that this layer needs no control.
struct TSaveSource {
    // The pixel types: the barcode with its margin, magnified `factor` times
    // (TBarcode::MagnifiedBitmap(margin, false, factor)).
    std::function<std::unique_ptr<TBitmap>(int factor)> MagnifiedBitmap;
    // The drawn size, margin not included, on a surface of `dpi` dots per inch (0: the screen's,
    // which the bitmap is drawn at), known without drawing (TBarcode::MeasuredSize): a picture
    // too large is refused before it is drawn, and the SVG is sized before it is drawn.
    std::function<TSize(int dpi)> DrawnSize;
    // SVG and PDF: draws the barcode at the point (x, y) of a surface in the text mapping mode,
    // at the surface's own resolution, and gives the drawn size in device units
    // (TBarcode::LoMetricPrint).
    std::function<void(TCanvas& canvas, int x, int y, TSize* size)> Draw;
    // The margin of the bitmap in pixels; SVG takes it over at the vector resolution.
    int Margin = 2;
};

// A source over anything with the control's MagnifiedBitmap, MeasuredSize and LoMetricPrint (a
// TBarcode). The barcode must outlive the source.
template <class Barcode>
TSaveSource SaveSourceOf(Barcode& barcode, int margin = 2) {
    TSaveSource source;
    source.Margin = margin;
    source.MagnifiedBitmap = [&barcode, margin](int factor) { return barcode.MagnifiedBitmap(margin, false, factor); };
    source.DrawnSize = [&barcode](int dpi) { return barcode.MeasuredSize(dpi, dpi); };
    source.Draw = [&barcode](TCanvas& canvas, int x, int y, TSize* size) { barcode.LoMetricPrint(canvas, x, y, size); };
    return source;
}

struct TSaveOptions {
    // A resolution in dots per inch to record in the formats whose header carries one besides
    // the bitmap's own (JPEG density; PNG and BMP record the resolution the barcode was laid out
    // at in any case). 0: as the window writes them (no JPEG density).
    int RecordDpi = 0;
    // Dots per inch of the vector surfaces (SVG, PDF): the renderer lays the modules out in whole
    // dots of this resolution.
    int VectorDpi = 1200;
    // The SVG's ground round the symbol (the barcode's own background colour): none when
    // transparent. The bitmap types take the barcode's colours from its drawing.
    TColor Background = clWhite;
    bool TransparentBackground = false;
};

// A file's bytes in memory, in pieces (a large bitmap's rows are not copied into one block).
class TFileBytes {
public:
    TFileBytes() = default;
    explicit TFileBytes(std::vector<std::uint8_t> bytes);
    // The rows of a bitmap as a Windows bitmap file; the bitmap is kept for as long as its rows.
    explicit TFileBytes(std::unique_ptr<TBitmap> bitmap);

    const std::vector<ByteSpan>& Parts() const { return parts_; }
    std::size_t Size() const;

private:
    std::vector<std::uint8_t> bytes_;
    std::unique_ptr<TBitmap> bitmap_;
    std::vector<ByteSpan> parts_;
};

// The whole file of the given type for the barcode, magnified `factor` times (pixel types; SVG
// and PDF are at physical size). `name` is the file the bytes are for, named in messages. Raises
// EInOutError (unknown type, a picture too large for its type), the control's EOverflow (factor
// below 1, encoding), GIFException, EJPEG.
TFileBytes BarcodeFileBytes(TSaveFileType type, const std::string& name, int factor, const TSaveSource& source,
                            const TSaveOptions& options = {});

// Saves the barcode under fileName as the type its extension names: BarcodeFileBytes, then the
// safe writer. Raises as BarcodeFileBytes, and EInOutError "<fileName>: <reason>" when the file
// cannot be written.
void SaveBarcodeToFile(const std::string& fileName, int factor, const TSaveSource& source,
                       const TSaveOptions& options = {});

}  // namespace varlen
