// SPDX-License-Identifier: MIT
#pragma once
// Vector files of a barcode: SVG, PDF and EPS, made in memory (PDF and EPS by cairo), and the PDF
// page printed on the default queue. No Qt.
//
//   TVectorSource source = VectorSourceOf(Encode(params), RenderParamsOf(params));
//   std::vector<std::uint8_t> pdf = VectorFileBytes(TVectorFormat::Pdf, source, {});
//
// The renderer draws on a surface at `Dpi` dots per inch in the text mapping mode, exactly as on a
// printer page: every module is a whole number of dots, the file records the physical size. Text
// is kept as text where the format can hold a font (PDF and EPS embed the subset of the face that
// is used) and as glyph outlines in SVG, so a file looks the same wherever it is opened. Faces are
// found by name through fontconfig, as on every other surface ("Arial" gives Liberation Sans).
//
// The page: the symbol's drawn size plus a margin on every side. With PrintPlacement, the page of
// the window's Print command instead: a sheet of paper (A4 unless told otherwise), the symbol's
// top-left corner 200/200 dots from the corner of the printable area.
//
// The cairo code lives in a module of its own (libvarlen-vector.so) that is loaded on the first
// PDF or EPS: cairo brings the pixel and X libraries with it, and a program that writes a PNG or
// an SVG must not pay for loading them at every start. SVG is written without it (vector/Svg.h).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/BarLL.h"
#include "engine/Label.h"
#include "platform/Canvas.h"
#include "platform/PageSurface.h"

namespace varlen {

struct TPrintQueue;  // platform/CupsPrint.h

enum class TVectorFormat { Svg, Pdf, Eps };

// What a vector file needs of a barcode, as callbacks, so that this layer needs no control.
struct TVectorSource {
    // The drawn size, margin not included, in dots of a surface of `dpi` dots per inch (W and H
    // already exchanged for quarter turns), known without drawing.
    std::function<TSize(int dpi)> DrawnSize;
    // Draws the barcode with the top-left corner of its drawn area at (x, y) of a surface in the
    // text mapping mode, at the surface's own resolution (TBarcode::LoMetricPrint, or Render).
    std::function<void(TCanvas& canvas, int x, int y)> Draw;
};

// The margin of the bitmap types' default, two pixels of a 96 dpi screen (1/48 inch), at Dpi.
constexpr int kDefaultVectorMargin = -1;

struct TVectorOptions {
    // Dots per inch of the surface the renderer lays the symbol out for; 0 or less: 1200.
    int Dpi = 1200;
    // The border around the symbol, in dots of Dpi; kDefaultVectorMargin: 1/48 inch.
    int MarginDots = kDefaultVectorMargin;

    // The window's Print page instead of a page the symbol's size: PageWidthMM x PageHeightMM,
    // the symbol at 200/200 dots from the printable area's corner (PrintableLeftMM,
    // PrintableTopMM from the paper's corner). The margin does not apply.
    bool PrintPlacement = false;
    double PageWidthMM = 210;
    double PageHeightMM = 297;
    double PrintableLeftMM = 0;
    double PrintableTopMM = 0;

    // The page is painted Background first, unless TransparentBackground: then nothing is painted
    // but what the renderer draws. The symbol's own colours are the render parameters' (its
    // Foreground, and its Background unless that is transparent).
    TColor Background = clWhite;
    bool TransparentBackground = false;

    // The document's title (PDF information, EPS header).
    std::string Title = "Varlen barcode";
    // The file the bytes are for, named in messages as "<Name>: <reason>"; empty: the reason alone.
    std::string Name;
};

// The whole file. Raises what Draw raises (the engine's EOverflow), and EInOutError when the
// writer fails, no font can be found for the text, or (PDF, EPS) the module cannot be loaded.
std::vector<std::uint8_t> VectorFileBytes(TVectorFormat format, const TVectorSource& source,
                                          const TVectorOptions& options = {});

// A source over an encoded symbol: DrawnSize is Measure with the vector surface's own text
// metrics, Draw is Render, so the page fits what is drawn exactly. Keeps copies of both.
TVectorSource VectorSourceOf(const TSymbol& symbol, const TRenderParams& params);
// The same for a label: the symbol with lines of text under it (engine/Label.h).
TVectorSource VectorSourceOf(const TSymbol& symbol, const TRenderParams& params, const TTextLines& lines);

// ---- Documents of many pages ------------------------------------------------------------------

// Where a document's bytes go as they are made (a file being written, a print job). What it raises
// stops the document and is raised again by the call that was writing.
using TByteSink = std::function<void(const void* data, std::size_t size)>;

struct TPdfPagesOptions {
    double PageWidthMM = 210;
    double PageHeightMM = 297;
    int Dpi = 1200;  // of every page's surface; 0 or less: 1200
    std::string Title = "Varlen labels";
    // The file the bytes are for, named in the writer's own messages as "<Name>: <reason>".
    std::string Name;
};

// A PDF document whose pages go to the sink as each one ends, so that memory does not grow with
// their number. Fonts are embedded (the glyphs used) when the document finishes. Destroyed
// without Finish, it writes nothing more.
class TPdfPages : public TPageSurface {
public:
    // Ends a page still open and the document. Raises what the sink raised, or EInOutError when
    // the writer failed.
    virtual void Finish() = 0;
};

// Raises EInOutError when the module cannot be loaded or the writer cannot start.
std::unique_ptr<TPdfPages> OpenPdfPages(const TPdfPagesOptions& options, TByteSink sink);

// The window's Print without a window: the PDF page at the default queue's paper size and
// resolution (Dpi and the page fields of `options` are taken from the queue), handed to it as one
// job. Raises EInOutError "No printer is installed", "No default printer is set" and
// "The print job failed: <reason>" (platform/CupsPrint.h), and what VectorFileBytes raises.
void PrintOnDefaultQueue(const TVectorSource& source, TVectorOptions options, const std::string& title = "Varlen");

// The same on a queue found before (PrintQueueNamed), laid out at options.Dpi as given (a label
// printer's resolution, which a raw or badly described queue may not report), on its paper.
void PrintOnQueue(const TPrintQueue& queue, const TVectorSource& source, TVectorOptions options,
                  const std::string& title = "Varlen");

}  // namespace varlen
