#pragma once
// Saving a barcode as a file of the type its name asks for: the Save command's pipeline, shared by
// the window and by varlen-cli, so that both write the same bytes for the same barcode and factor.
//
// The five classic types go through two passes. First pass: the barcode is exported with a
// margin, magnified F times, as a Windows bitmap (the control's MagnifyBy). Second pass, by the
// extension of the target name (compared in lower case):
//   ".bmp"  the exported bitmap is the result (written straight to the target);
//   ".gif"  the exported bitmap loaded again, assigned to a TGIFImage, saved;
//   ".tif"  the loaded bitmap converted to 8 bits per pixel (halftone palette), then WriteTiff;
//   ".jpg"  the loaded bitmap assigned to a TJPEGImage, saved (quality 90, baseline);
//   ".emf"  an enhanced metafile as large as the loaded bitmap, holding it drawn at (0, 0).
// Three more types:
//   ".png"  the exported bitmap as PNG (the same pixels as the ".bmp");
//   ".svg"  vector bars and text drawn by the renderer on an SVG generator, in millimetres;
//   ".pdf"  one page at physical size, the barcode at (200, 200) dots as the Print command puts it.
//
// Files are written whole or not at all: every writer writes beside its target and renames. The
// first pass goes to a temporary file with a unique name beside the target (never a fixed name,
// never the current directory, never a file that already exists), which is removed after success
// and after every failure. A target name whose extension is none of the eight raises EInOutError
// with kUnknownFileTypeMessage and writes nothing.
//
// Use from the window (Save, after the dialog):
//     SaveBarcodeToFile(fileName, factor, SaveSourceOf(*Barcode1));
// and from varlen-cli the same call, with TSaveOptions for a label printer's resolution.
#include <functional>
#include <memory>
#include <string>

#include "imaging/SaveFileType.h"
#include "platform/qt/Graphics.h"

namespace varlen {

class TCanvas;
struct TSize;

// What the pipeline needs of a barcode, as callbacks, so that this layer needs no control.
struct TSaveSource {
    // Required. The first pass: the barcode with its margin, magnified `factor` times, written as
    // a Windows bitmap file under fileName (TBarcode::MagnifyBy(margin, fileName, false, factor)).
    std::function<void(const std::string& fileName, int factor)> ExportBitmap;
    // Optional. The same bitmap in memory (TBarcode::MagnifiedBitmap): PNG then needs no
    // temporary file. Without it PNG goes through ExportBitmap and a temporary file.
    std::function<std::unique_ptr<TBitmap>(int factor)> MagnifiedBitmap;
    // Required for SVG and PDF. Draws the barcode at the point (x, y) of a surface in the text
    // mapping mode, at the surface's own resolution, and gives the drawn size in device units
    // (TBarcode::LoMetricPrint).
    std::function<void(TCanvas& canvas, int x, int y, TSize* size)> Draw;
    // The margin of the first pass in pixels; SVG takes it over at the vector resolution.
    int Margin = 2;
};

// A source over anything with the control's MagnifyBy, MagnifiedBitmap and LoMetricPrint (a
// TBarcode). The barcode must outlive the source.
template <class Barcode>
TSaveSource SaveSourceOf(Barcode& barcode, int margin = 2) {
    TSaveSource source;
    source.Margin = margin;
    source.ExportBitmap = [&barcode, margin](const std::string& fileName, int factor) {
        barcode.MagnifyBy(margin, fileName, false, factor);
    };
    source.MagnifiedBitmap = [&barcode, margin](int factor) { return barcode.MagnifiedBitmap(margin, false, factor); };
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
};

// Saves the barcode under fileName as the type its extension names, magnified `factor` times
// (pixel types; SVG and PDF are at physical size). Raises EInOutError (unknown type, files),
// the control's EOverflow (factor below 1, encoding), GIFException, EJPEG.
void SaveBarcodeToFile(const std::string& fileName, int factor, const TSaveSource& source,
                       const TSaveOptions& options = {});

}  // namespace varlen
