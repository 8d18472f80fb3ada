// SPDX-License-Identifier: MIT
// Drawing modes of varlen-cli: the options become one parameter record, drawn by the off-screen
// barcode the window's Save and Copy draw with, and saved through the window's Save pipeline. A
// batch gives each of its threads its own barcode over that record and only a new caption per
// line, so that ten thousand labels cost ten thousand drawings and nothing more.
#include "cli/Draw.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/Batch.h"
#include "cli/Params.h"
#include "cli/Validate.h"
#include "engine/DataRules.h"
#include "engine/GS1.h"
#include "imaging/BarcodeImage.h"
#include "imaging/ReadBack.h"
#include "imaging/SaveFile.h"
#include "platform/CupsPrint.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "vector/Vector.h"

namespace varlen::cli {

namespace {

TSaveOptions saveOptions(const CliOptions& o) {
    TSaveOptions save;
    save.RecordDpi = o.dpi;
    save.VectorDpi = o.dpi > 0 ? o.dpi : 1200;
    save.Background = o.look.Background;
    save.TransparentBackground = o.look.TransparentBackground;
    save.TwoColours = o.look.Mono;
    save.Foreground = o.look.Foreground;
    return save;
}

// The resolution the labels are laid out at, and how many times each dot is repeated: the file
// type's (pictures at --dpi or the headless display's, magnified --scale times; vector files at
// --dpi or 1200), or the printer's.
struct Resolution {
    int dpi = kDefaultDpi;
    int scale = 1;
};

Resolution resolutionOf(const CliOptions& o, const std::optional<TPrintQueue>& queue) {
    if (queue) return {o.dpi > 0 ? o.dpi : queue->Dpi > 0 ? queue->Dpi : TVectorOptions{}.Dpi, 1};
    const TSaveFileType type =
        o.target == Target::StandardOutput ? SaveFileTypeOfExtension(o.format) : SaveFileTypeOf(o.output);
    if (IsVectorType(type)) return {o.dpi > 0 ? o.dpi : TVectorOptions{}.Dpi, 1};
    return {o.dpi > 0 ? o.dpi : kDefaultDpi, o.scale};
}

// A symbol whose bars are those of every label of the batch: the sizes GS1 asks for depend on the
// symbology, not on the data, and are checked before the first line is read.
TSymbol sampleSymbol(TBarcodeParams params) {
    const char* sample = params.CodeType == GS1_128       ? "(00)106141412345678908"
                         : params.CodeType == Postnet_FIM ? "A"
                                                          : "1234567890123";
    StoreCaption(params, sample);
    return Encode(params);
}

// Refuses (InputError, exit 1, before anything is written) a symbol outside GS1's table for it.
void checkSize(const CliOptions& o, const TSymbol& symbol, const TBarcodeParams& params, Resolution at) {
    const TSizeRule* rule = FindSizeRule(DataRuleOf(o.type, o.bookland).name);
    if (!rule) return;  // the options refuse --check-size for such a symbology
    const Drawn drawn = drawnOf(symbol, params, at.dpi, at.scale);
    const std::string refusal = SizeRuleError(*rule, double(drawn.bars.ModuleDots) * drawn.dotMM,
                                              drawn.bars.DataBarDots * drawn.dotMM, drawn.dotMM);
    if (!refusal.empty()) throw InputError(refusal);
}

// Draws and writes labels of one barcode; the batch makes one per thread. A label printer's
// resolution (--dpi, or the queue's): the labels are laid out in whole dots of that printer, and
// the bitmap files record it. Without --dpi, the headless display's.
class Labels : public LabelWriter {
public:
    Labels(const TBarcodeParams& params, const CliOptions& o, const std::optional<TPrintQueue>& queue, int printDpi)
        : o_(o), image_(params, ScreenAt(o.dpi, o.dpi)), source_(SaveSourceOf(image_, o.margin)), save_(saveOptions(o)),
          queue_(queue), printDpi_(printDpi) {
        // --verify: every picture is read back on its way into the file; one that does not read as
        // its data stops the save, one the reader cannot judge is written with a note.
        if (o.verify) save_.ReadBack = [this](const TDibView& picture, int dpi, int scale) { readBack(picture, dpi, scale); };
    }

    void setLabel(const Label& label) override { image_.setBar_Caption(label.caption); }

    std::string takeWarning() override { return std::exchange(warning_, {}); }

    void write(const std::string& fileName) override {
        warning_.clear();
        switch (o_.target) {
            case Target::File: SaveBarcodeToFile(fileName, o_.scale, source_, save_); break;
            case Target::StandardOutput: {
                // The whole file is made in memory before its first byte goes out, so that a
                // failure leaves standard output empty.
                const TFileBytes bytes =
                    BarcodeFileBytes(SaveFileTypeOfExtension(o_.format), "standard output", o_.scale, source_, save_);
                for (const ByteSpan& part : bytes.Parts()) WriteStandardOutput(part.data, part.size);
                break;
            }
            case Target::Printer: {
                // One job on the queue, the barcode 200 / 200 dots from the corner of the page's
                // printable area, as the window's Print puts it, laid out in the printer's dots.
                if (save_.ReadBack) {
                    // The page as that resolution lays it out, paper all round the symbol.
                    readBack(VectorPageRaster(source_, printDpi_, 200, save_)->View(), printDpi_, 1);
                }
                TVectorOptions page;
                page.Dpi = printDpi_;
                PrintOnQueue(*queue_, source_.Vector, page, "Varlen");
                break;
            }
        }
    }

private:
    void readBack(const TDibView& picture, int dpi, int scale) {
        const TReadBack check = ReadBack(picture, dpi, scale, image_.Params());
        if (check.Verdict == TReadBackVerdict::Unverifiable) {
            warning_ = check.Message;
            return;
        }
        if (!check.Ok()) throw EReadBack(check.Message);
        warning_ = check.Warning;
    }

    const CliOptions& o_;
    TBarcodeImage image_;
    TSaveSource source_;
    TSaveOptions save_;
    const std::optional<TPrintQueue>& queue_;
    int printDpi_;
    std::string warning_;
};

}  // namespace

int runDraw(const CliOptions& o, const MessageSink& errors) {
    // Text lines and sheets are read and checked already, but not drawn yet: say so rather than
    // leave them out of the labels.
    if (!o.textLines.empty()) throw InputError("--text-line: this version does not draw text lines yet");
    if (o.onSheet) throw InputError("--sheet: this version does not draw sheets of labels yet");
    const TBarcodeParams params = paramsOf(o);
    // The printer is asked once what it is; its resolution (unless --dpi says) lays the page out.
    std::optional<TPrintQueue> queue;
    if (o.target == Target::Printer) queue = PrintQueueNamed(o.printer);
    const Resolution at = resolutionOf(o, queue);
    if (o.checkSize || o.verbose) {
        TBarcodeParams one = params;
        if (!o.batch) StoreCaption(one, o.caption);
        const TSymbol symbol = o.batch ? sampleSymbol(params) : Encode(one);
        if (o.checkSize) checkSize(o, symbol, params, at);
        if (o.verbose) errors("varlen-cli: " + drawnSizeText(symbol, params, at.dpi, at.scale) + "\n");
    }
    if (o.batch) return runBatch(o, [&] { return std::make_unique<Labels>(params, o, queue, at.dpi); }, errors);
    Labels labels(params, o, queue, at.dpi);
    labels.setLabel(Label{o.caption, o.textLines});
    labels.write(o.output);
    if (const std::string warning = labels.takeWarning(); !warning.empty()) errors("varlen-cli: " + warning + '\n');
    return 0;
}

}  // namespace varlen::cli
