// SPDX-License-Identifier: MIT
#pragma once
// Saving a barcode as a file of the type its name asks for: the Save command's pipeline, shared by
// the window and by varlen-cli, so that both write the same bytes for the same barcode and factor.
// No Qt.
//
// Everything happens in memory: the barcode is drawn once, with a margin and magnified F times,
// into a raster bitmap (TBarcodeImage::MagnifiedBitmap), the bitmap is encoded as the type the
// target name's extension asks for (compared in lower case), and the bytes go to the one safe
// writer, which writes the target whole or not at all. Nothing but the target touches the disk.
//   ".bmp"  the bitmap as a Windows bitmap file;
//   ".gif"  the bitmap assigned to a TGIFImage;
//   ".tif"  the bitmap converted to 8 bits per pixel (halftone palette), then the TIFF writer;
//   ".jpg"  the bitmap assigned to a TJPEGImage (quality 90, baseline);
//   ".emf"  an enhanced metafile as large as the bitmap, holding it drawn at (0, 0);
//   ".png"  the bitmap as PNG (the same pixels as the ".bmp");
//   ".svg", ".pdf", ".eps"  vector bars and text (vector/Vector.h) at the vector resolution, on a
//          page the symbol's size with the margin kept at its physical width; the PDF optionally
//          on the Print command's page (TSaveOptions::PrintPage).
// A picture larger than its type can hold (PictureFits, SaveFileType.h) is refused before it is
// drawn, with one message for every type. A target name whose extension is none of the nine
// raises EInOutError with kUnknownFileTypeMessage and writes nothing.
//
// Use from the window (Save, after the dialog) and from varlen-cli alike:
//     TBarcodeImage image = Barcode1->Image();
//     SaveBarcodeToFile(fileName, factor, SaveSourceOf(image));
// with TSaveOptions for a label printer's resolution, or BarcodeFileBytes for standard output.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/BarLL.h"
#include "engine/Sheet.h"
#include "imaging/SaveFileType.h"
#include "platform/FileIO.h"
#include "platform/Screen.h"
#include "raster/Bitmap.h"
#include "vector/Vector.h"

namespace varlen {

// What the pipeline needs of a barcode, as callbacks, so that this layer needs no control.
struct TSaveSource {
    // The pixel types: the barcode with its margin, magnified `factor` times
    // (TBarcodeImage::MagnifiedBitmap(margin, false, factor)).
    std::function<std::unique_ptr<TBitmap>(int factor)> MagnifiedBitmap;
    // PNG, optionally: the same pixels in a grey bitmap where the barcode is drawn in grey only
    // (MagnifiedBitmap(margin, false, factor, true)), a third of the memory to draw and encode.
    std::function<std::unique_ptr<TBitmap>(int factor)> GreyBitmap;
    // The drawn size of the bitmap's barcode, margin not included, on a surface of `dpi` dots per
    // inch (0: the device's, which the bitmap is drawn at), known without drawing
    // (TBarcodeImage::MeasuredSize): a picture too large is refused before it is drawn.
    std::function<TSize(int dpi)> DrawnSize;
    // SVG, PDF and EPS: the barcode measured and drawn by the vector surface.
    TVectorSource Vector;
    // The margin of the bitmap in pixels; the vector types take it over at its physical width.
    int Margin = 2;
    // The screen the bitmaps are drawn for (TBarcodeImage::Device): its resolution is the
    // margin's, and an EMF file names it as its reference device.
    ScreenInfo Device;
};

// The lines of text under a barcode that has them (a TBarcodeImage), none for one that has not.
template <class Barcode>
TTextLines TextLinesOf(const Barcode& barcode) {
    if constexpr (requires { barcode.TextLines(); }) return barcode.TextLines();
    else return {};
}

// A source over anything with the control's MagnifiedBitmap, MeasuredSize, Symbol, Params and
// Device (a TBarcodeImage, a TBarcode). The barcode must outlive the source; a new caption given
// to it later is what the source draws. A barcode with lines of text under it is drawn as the
// whole label on every type.
template <class Barcode>
TSaveSource SaveSourceOf(Barcode& barcode, int margin = 2) {
    TSaveSource source;
    source.Margin = margin;
    source.Device = barcode.Device();
    source.MagnifiedBitmap = [&barcode, margin](int factor) { return barcode.MagnifiedBitmap(margin, false, factor); };
    source.GreyBitmap = [&barcode, margin](int factor) { return barcode.MagnifiedBitmap(margin, false, factor, true); };
    source.DrawnSize = [&barcode](int dpi) { return barcode.MeasuredSize(dpi, dpi); };
    source.Vector.DrawnSize = [&barcode](int dpi) {
        return VectorSourceOf(barcode.Symbol(), barcode.Params(), TextLinesOf(barcode)).DrawnSize(dpi);
    };
    source.Vector.Draw = [&barcode](TCanvas& canvas, int x, int y) {
        RenderLabel(barcode.Symbol(), barcode.Params(), TextLinesOf(barcode), canvas, x, y);
    };
    return source;
}

struct TSaveOptions {
    // A resolution in dots per inch to record in the formats whose header carries one besides
    // the bitmap's own (JPEG density; PNG and BMP record the resolution the barcode was laid out
    // at in any case). 0: as the window writes them (no JPEG density).
    int RecordDpi = 0;
    // Dots per inch of the vector surfaces (SVG, PDF, EPS): the renderer lays the modules out in
    // whole dots of this resolution.
    int VectorDpi = 1200;
    // PDF: the Print command's page (A4, the symbol's corner 200/200 dots from the page's corner)
    // instead of a page the symbol's size.
    bool PrintPage = false;
    // The vector page's ground round the symbol (the barcode's own background colour): none when
    // transparent. The symbol itself is drawn in the barcode's colours on every type.
    TColor Background = clWhite;
    bool TransparentBackground = false;
    // A picture of two colours, Foreground and Background (varlen-cli's --mono): BMP at one bit a
    // pixel and GIF with a table of the two, each pixel the nearer of them. PNG finds its
    // smallest form by itself; the window's Save keeps its formats.
    bool TwoColours = false;
    TColor Foreground = clBlack;
    // Called with the picture exactly as the file will hold it, before anything is encoded: the
    // bitmap of the pixel types (TIFF's reduced to its halftone palette, GIF's to its 216 colours,
    // JPEG's before its lossy compression, with TwoColours BMP's and GIF's two-colour picture and
    // PNG's as magnified), for SVG, PDF and EPS the page drawn by the raster surface at VectorDpi
    // (VectorPageRaster). `dpi`: the resolution the symbol was laid out at; `scale`: pixels per dot
    // of it (the factor; 1 for a vector page). What it raises stops the save: nothing is written.
    // Empty: nothing is called.
    std::function<void(const TDibView& picture, int dpi, int scale)> ReadBack;
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

// The whole file of the given type for the barcode, magnified `factor` times (pixel types; SVG,
// PDF and EPS are at physical size). `name` is the file the bytes are for, named in messages. Raises
// EInOutError (unknown type, a picture too large for its type, the vector module missing), the
// control's EOverflow (factor below 1, encoding), GIFException, EJPEG.
TFileBytes BarcodeFileBytes(TSaveFileType type, const std::string& name, int factor, const TSaveSource& source,
                            const TSaveOptions& options = {});

// A vector page as pixels: the barcode drawn by the raster surface at `dpi` with `marginDots` of
// the page's ground round it (white paper where the ground is transparent). Its bars are the
// vector file's: at a resolution the renderer puts every edge of a bar on a whole dot, whichever
// surface it draws on; only the glyphs of the text are another font engine's.
std::unique_ptr<TBitmap> VectorPageRaster(const TSaveSource& source, int dpi, int marginDots,
                                          const TSaveOptions& options = {});
// Saves a label on a sheet of labels under fileName as one PDF of the sheet's pages, laid out in
// whole dots of `dpi` and written through the safe writer as the pages fill: the label (the symbol
// with its lines) at its physical size in each cell of the run (its copies, after the cells it
// skips, with cut lines where it asks for them). Raises EOverflow when the label does not fit its
// cell (LabelFitError), EInOutError when the file cannot be written; nothing is written then.
void SaveSheetToFile(const std::string& fileName, const TSheetRun& run, const TSymbol& symbol, const TLook& look,
                     const TTextLines& lines = {}, int dpi = 1200);

// Saves the barcode under fileName as the type its extension names: BarcodeFileBytes, then the
// safe writer. Raises as BarcodeFileBytes, and EInOutError "<fileName>: <reason>" when the file
// cannot be written.
void SaveBarcodeToFile(const std::string& fileName, int factor, const TSaveSource& source,
                       const TSaveOptions& options = {});

}  // namespace varlen
