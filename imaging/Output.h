// SPDX-License-Identifier: MIT
#pragma once
// A symbol on its way into a file, as varlen-cli and the library both make it: the output around
// the drawing (margin, scale, resolution, reading back), its refusals in varlen-cli's words, and a
// writer of labels of one parameter record that gives a file's bytes or writes the file through the
// Save pipeline (imaging/SaveFile.h), so that both write the same bytes for the same options.
//
//   TLabelOutput output(params, TOutputOptions{.Scale = 2});
//   output.SetCaption("400638133393");
//   output.Save("label.png");
//
// An object belongs to one thread at a time; any number of them may draw at once. No Qt.
#include <string>

#include "engine/BarLL.h"
#include "imaging/BarcodeImage.h"
#include "imaging/ReadBack.h"
#include "imaging/SaveFile.h"

namespace varlen {

struct TOutputOptions {
    int Margin = 2;     // pixels of background round the symbol, before scaling (kMarginRange)
    int Scale = 1;      // every pixel this many times (kScaleRange)
    int Dpi = 0;        // the resolution the symbol is laid out at (kResolutionRange); 0: kDefaultDpi
    bool AllowInverse = false;  // a foreground not darker than the background is drawn all the same
    bool Verify = false;        // every picture read back before it is written (ReadBack.h)
};

// The refusal of numbers outside their rows of the range table (margin, scale, and a resolution
// other than 0), in varlen-cli's words ("--scale must be between 1 and 100"); nullptr when all fit.
const char* OutputRangeRefusal(const TOutputOptions& output);

// Scanners read dark bars on a light ground: "--fg 777777 is not darker than --bg 000000: scanners
// need dark bars on a light ground (--allow-inverse draws it all the same)", or empty. A
// transparent ground is the label's, unknown here, and never refused. Unless `allowLowContrast`,
// also colours too close for a reader: "--fg 777777 and --bg FFFFFF have a symbol contrast of
// 0.43, ..." (kSymbolContrastRange).
std::string ContrastRefusal(const TLook& look, bool allowInverse, bool allowLowContrast = false);

// Lengths for label printers against the classic size options they replace, and against the
// postal codes, whose bars are fixed in inches: "--module and --x-dim exclude each other: --x-dim
// gives the module width", "--x-dim does not apply to postnet: ...", or empty. `moduleGiven` and
// `heightGiven`: whether the module width (SCn) or the bar height in percent were set as well.
std::string SizeOptionsRefusal(const TLook& look, btCodeTypes type, bool moduleGiven, bool heightGiven);

// A transparent ground in a type that cannot hold one: "--bg none: GIF files are written with a
// fixed palette without transparency; give a colour, or write PNG, SVG, PDF or EPS", or empty.
std::string TransparencyRefusal(const TLook& look, TSaveFileType type);

// The save options of a look at a resolution (0: the device's; vector files 1200 dpi).
TSaveOptions SaveOptionsOf(const TLook& look, int dpi);

class TLabelOutput {
public:
    // `params`: type, add-on, ratio and look; the caption comes with SetCaption. The numbers of
    // `output` are checked already.
    TLabelOutput(const TBarcodeParams& params, const TOutputOptions& output);
    TLabelOutput(const TLabelOutput&) = delete;
    TLabelOutput& operator=(const TLabelOutput&) = delete;

    // The control's caption rule (StoreCaption).
    void SetCaption(const std::string& caption);
    // Lines of text under the symbol (TBarcodeImage::setTextLines).
    void SetTextLines(TTextLines lines);
    const TBarcodeParams& Params() const { return image_.Params(); }
    const TSaveSource& Source() const { return source_; }

    // The whole file of the type; `name` is named in messages. With Verify, a picture that does not
    // read back as its data raises EReadBack and nothing is made. Raises what BarcodeFileBytes raises.
    TFileBytes Bytes(TSaveFileType type, const std::string& name);
    // The same written under fileName as the type its extension names (SaveBarcodeToFile).
    void Save(const std::string& fileName);
    // Verify for a page made elsewhere (the printer's): the symbol drawn at `dpi` with `marginDots`
    // of paper round it, read back. Raises EReadBack.
    void ReadBackPage(int dpi, int marginDots);

    // The verdict of the last reading (Reads before any), and a note on the label just made that is
    // no failure (a symbol that cannot be verified, narrow quiet zones), taken once.
    const TReadBack& LastReadBack() const { return lastReadBack_; }
    std::string TakeWarning();

private:
    void readBack(const TDibView& picture, int dpi, int scale);

    TOutputOptions output_;
    TBarcodeImage image_;
    TSaveSource source_;
    TSaveOptions save_;
    TReadBack lastReadBack_;
    std::string warning_;
};

}  // namespace varlen
