// SPDX-License-Identifier: MIT
// Drawing modes of varlen-cli: the options become one parameter record, drawn by the off-screen
// barcode the window's Save and Copy draw with, and saved through the window's Save pipeline. A
// batch gives each of its threads its own barcode over that record and only a new caption per
// line, so that ten thousand labels cost ten thousand drawings and nothing more.
#include "cli/Draw.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/Batch.h"
#include "cli/Labels.h"
#include "cli/Params.h"
#include "cli/Pattern.h"
#include "cli/Validate.h"
#include "engine/DataRules.h"
#include "engine/Drawing.h"
#include "engine/GS1.h"
#include "engine/LabelSheet.h"
#include "imaging/Output.h"
#include "imaging/ReadBack.h"
#include "platform/CupsPrint.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "raster/Bitmap.h"
#include "vector/Vector.h"

namespace varlen::cli {

namespace {

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
// The text lines of a label of DATA, which has no record: only their doubled braces to undo (a
// {NAME} without columns is refused with the options).
std::vector<std::string> linesWithoutRecord(const CliOptions& o) {
    std::vector<std::string> lines;
    for (const std::string& text : o.textLines) lines.push_back(expandTextLine(text, {}));
    return lines;
}

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
        : o_(o), output_(params, TOutputOptions{o.margin, o.scale, o.dpi, o.allowInverse, o.verify}), queue_(queue),
          printDpi_(printDpi) {}

    void setLabel(const Label& label) override {
        output_.SetCaption(label.caption);
        if (!o_.textLines.empty()) output_.SetTextLines(textLinesOf(label.textLines, o_.textSize));
    }

    std::string takeWarning() override { return output_.TakeWarning(); }

    void write(const std::string& fileName) override {
        switch (o_.target) {
            case Target::File: output_.Save(fileName); break;
            case Target::StandardOutput: {
                // The whole file is made in memory before its first byte goes out, so that a
                // failure leaves standard output empty.
                const TFileBytes bytes = output_.Bytes(SaveFileTypeOfExtension(o_.format), "standard output");
                for (const ByteSpan& part : bytes.Parts()) WriteStandardOutput(part.data, part.size);
                break;
            }
            case Target::Printer: {
                // One job on the queue, the barcode 200 / 200 dots from the corner of the page's
                // printable area, as the window's Print puts it, laid out in the printer's dots.
                // The page as that resolution lays it out, paper all round the symbol.
                if (o_.verify) output_.ReadBackPage(printDpi_, 200);
                TVectorOptions page;
                page.Dpi = printDpi_;
                PrintOnQueue(*queue_, output_.Source().Vector, page, "Varlen");
                break;
            }
        }
    }

private:
    const CliOptions& o_;
    TLabelOutput output_;
    const std::optional<TPrintQueue>& queue_;
    int printDpi_;
};

// The one document the labels of a sheet run go into: a PDF written as its pages fill, to the file
// (through the safe writer, named only when complete), to standard output (whole, once complete)
// or to the printer as one job (cancelled unless complete), laid out at `dpi` (--dpi, else the
// printer's or 1200). Nothing goes out when no label was placed.
class SheetDocument {
public:
    SheetDocument(const CliOptions& o, const std::optional<TPrintQueue>& queue, int dpi) : o_(o) {
        TPdfPagesOptions options;
        options.PageWidthMM = o.sheet.sheet.pageWidth;
        options.PageHeightMM = o.sheet.sheet.pageHeight;
        options.Dpi = dpi;
        TByteSink sink;
        switch (o.target) {
            case Target::File:
                file_ = std::make_unique<TFileStream>(o.output);
                options.Name = o.output;
                sink = [this](const void* data, std::size_t size) { file_->Write(data, size); };
                break;
            case Target::StandardOutput:
                // A failure must leave standard output empty, so the document waits in memory.
                options.Name = "standard output";
                sink = [this](const void* data, std::size_t size) {
                    const auto* bytes = static_cast<const std::uint8_t*>(data);
                    held_.insert(held_.end(), bytes, bytes + size);
                };
                break;
            case Target::Printer:
                job_ = std::make_unique<TPrintJob>(*queue, "Varlen", sheetMedia(o.sheet.sheet));
                sink = [this](const void* data, std::size_t size) { job_->Write(data, size); };
                break;
        }
        pages_ = OpenPdfPages(options, std::move(sink));
        filler_.emplace(o.sheet, *pages_);
    }

    // Lays out and places one label; a failure of the document itself stops the run. With --verify
    // the label is read back as the page has it first (its bars in the page's dots, on white), and
    // one that does not read is not placed; `warning` gets what the reader noted about a placed one.
    void place(std::uint64_t seq, const TSymbol& symbol, const TBarcodeParams& params, const TTextLines& lines,
               std::string& warning) {
        warning.clear();
        if (o_.verify)
            filler_->Check = [this, &params, &warning](const TDrawing& label, int dpi) {
                const TReadBack check = ReadBack(cellPicture(label, dpi)->View(), dpi, 1, params);
                if (check.Verdict != TReadBackVerdict::Unverifiable && !check.Ok()) throw EReadBack(check.Message);
                warning = check.Verdict == TReadBackVerdict::Unverifiable ? check.Message : check.Warning;
            };
        try {
            filler_->Place(seq, symbol, params, lines);
        } catch (const EOverflow&) {
            throw;  // this label's: it does not fit its cell
        } catch (const EReadBack&) {
            throw;  // this label's: it does not read back
        } catch (const std::exception& e) {
            throw BatchStop(e.what());
        }
    }

    // Ends the document; says so when it holds no label and is not written.
    void finish(const MessageSink& errors) {
        if (filler_->Placed() == 0) {
            errors(std::string("varlen-cli: no label to place: ") +
                   (o_.target == Target::Printer ? "nothing is printed\n"
                                                 : (o_.target == Target::File ? o_.output : "standard output") +
                                                       std::string(" is not written\n")));
            return;
        }
        filler_->Finish();
        pages_->Finish();
        if (file_) file_->Commit();
        if (job_) job_->Finish();
        if (!held_.empty()) WriteStandardOutput(held_.data(), held_.size());
    }

private:
    // The label as its cell holds it: centred in the cell's dots with the paper round it, which is
    // its quiet zone. Grey where only grey was drawn, a third of the memory; in colour otherwise,
    // since a scanner's light sees colours differently from their brightness.
    std::unique_ptr<TBitmap> cellPicture(const TDrawing& label, int dpi) const {
        const TSheet& sheet = o_.sheet.sheet;
        const int width = std::max(label.Size.cx, int(std::lround(sheet.cellWidth / 25.4 * dpi)));
        const int height = std::max(label.Size.cy, int(std::lround(sheet.cellHeight / 25.4 * dpi)));
        for (const bool grey : {true, false}) {
            auto picture = std::make_unique<TBitmap>();
            picture->Canvas().SetResolution(dpi, dpi);
            if (grey) picture->SetGrey();
            picture->SetSize(width, height);
            if (picture->Width() != width || picture->Height() != height)
                throw EOverflow("the label is too large to be read back");
            Paint(label, picture->Canvas(), (width - label.Size.cx) / 2, (height - label.Size.cy) / 2);
            if (!grey || !picture->Canvas().DrewColour()) return picture;
        }
        return nullptr;  // not reached
    }

    const CliOptions& o_;
    // Declared before the pages, which write into them until they are gone.
    std::unique_ptr<TFileStream> file_;
    std::unique_ptr<TPrintJob> job_;
    std::vector<std::uint8_t> held_;
    std::unique_ptr<TPdfPages> pages_;
    std::optional<TSheetFiller> filler_;
};

// A label of a sheet run: the symbol and its lines laid out and placed in its cell.
class SheetLabels : public LabelWriter {
public:
    SheetLabels(const TBarcodeParams& params, const CliOptions& o, SheetDocument& document)
        : params_(params), o_(o), document_(document) {}

    void setLabel(const Label& label) override {
        StoreCaption(params_, label.caption);
        symbol_ = Encode(params_);
        lines_ = textLinesOf(label.textLines, o_.textSize);
        seq_ = label.seq;
    }
    void write(const std::string&) override { document_.place(seq_, symbol_, params_, lines_, warning_); }
    std::string takeWarning() override { return std::exchange(warning_, {}); }

private:
    TBarcodeParams params_;
    const CliOptions& o_;
    SheetDocument& document_;
    TSymbol symbol_;
    TTextLines lines_;
    std::uint64_t seq_ = 0;
    std::string warning_;
};

int runSheet(const CliOptions& o, const TBarcodeParams& params, const std::optional<TPrintQueue>& queue, int dpi,
             const MessageSink& errors) {
    SheetDocument document(o, queue, dpi);
    int status = 0;
    if (o.batch) {
        status = runBatch(o, [&] { return std::make_unique<SheetLabels>(params, o, document); }, errors);
    } else {
        SheetLabels labels(params, o, document);
        labels.setLabel(Label{o.caption, linesWithoutRecord(o), 0});
        labels.write({});
        if (const std::string warning = labels.takeWarning(); !warning.empty()) errors("varlen-cli: " + warning + '\n');
    }
    document.finish(errors);
    return status;
}

}  // namespace

int runDraw(const CliOptions& o, const MessageSink& errors) {
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
    if (o.onSheet) return runSheet(o, params, queue, at.dpi, errors);
    if (o.batch) return runBatch(o, [&] { return std::make_unique<Labels>(params, o, queue, at.dpi); }, errors);
    Labels labels(params, o, queue, at.dpi);
    labels.setLabel(Label{o.caption, linesWithoutRecord(o), 0});
    labels.write(o.output);
    if (const std::string warning = labels.takeWarning(); !warning.empty()) errors("varlen-cli: " + warning + '\n');
    return 0;
}

}  // namespace varlen::cli
