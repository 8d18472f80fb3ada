// Drawing modes of varlen-cli: the options become one parameter record, drawn by the off-screen
// barcode the window's Save and Copy draw with, and saved through the window's Save pipeline. A
// batch gives each of its threads its own barcode over that record and only a new caption per
// line, so that ten thousand labels cost ten thousand drawings and nothing more.
#include "cli/Draw.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Batch.h"
#include "cli/Labels.h"
#include "cli/Validate.h"
#include "engine/DataRules.h"
#include "engine/LabelSheet.h"
#include "imaging/BarcodeImage.h"
#include "imaging/SaveFile.h"
#include "platform/CupsPrint.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "vector/Vector.h"

namespace varlen::cli {

namespace {

// The options as the control's properties would hold them (the options are checked already).
TBarcodeParams paramsOf(const CliOptions& o) {
    TBarcodeParams params;
    static_cast<TLook&>(params) = o.look;
    params.CodeType = o.type;
    params.Ratio = o.ratio;
    StoreAddon(params, o.addon);
    return params;
}

TSaveOptions saveOptions(const CliOptions& o) {
    TSaveOptions save;
    save.RecordDpi = o.dpi;
    save.VectorDpi = o.dpi > 0 ? o.dpi : 1200;
    save.Background = o.look.Background;
    save.TransparentBackground = o.look.TransparentBackground;
    return save;
}

// One job on the default printer, the barcode 200 / 200 dots from the corner of the page's
// printable area, as the window's Print puts it.
void print(const TSaveSource& source) { PrintOnDefaultQueue(source.Vector, TVectorOptions{}, "Varlen"); }

// Draws and writes labels of one barcode; the batch makes one per thread.
// A label printer's resolution: the labels are laid out in whole dots of that printer, and the
// bitmap files record it. Without --dpi, the headless display's.
class Labels : public LabelWriter {
public:
    Labels(const TBarcodeParams& params, const CliOptions& o)
        : o_(o), image_(params, ScreenAt(o.dpi, o.dpi)), source_(SaveSourceOf(image_, o.margin)),
          save_(saveOptions(o)) {}

    void setLabel(const Label& label) override {
        image_.setBar_Caption(label.caption);
        if (!o_.textLines.empty()) image_.setTextLines(textLinesOf(label.textLines, o_.textSize));
    }

    void write(const std::string& fileName) override {
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
            case Target::Printer: print(source_); break;
        }
    }

private:
    const CliOptions& o_;
    TBarcodeImage image_;
    TSaveSource source_;
    TSaveOptions save_;
};

// The one document the labels of a sheet run go into: a PDF written as its pages fill, to the file
// (through the safe writer, named only when complete), to standard output (whole, once complete)
// or to the default printer as one job (cancelled unless complete). Nothing goes out when no label
// was placed.
class SheetDocument {
public:
    explicit SheetDocument(const CliOptions& o) : o_(o) {
        TPdfPagesOptions options;
        options.PageWidthMM = o.sheet.sheet.pageWidth;
        options.PageHeightMM = o.sheet.sheet.pageHeight;
        options.Dpi = o.dpi > 0 ? o.dpi : 1200;
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
                job_ = std::make_unique<TPrintJob>(DefaultPrintQueue(), "Varlen", sheetMedia(o.sheet.sheet));
                sink = [this](const void* data, std::size_t size) { job_->Write(data, size); };
                break;
        }
        pages_ = OpenPdfPages(options, std::move(sink));
        filler_.emplace(o.sheet, *pages_);
    }

    // Lays out and places one label; a failure of the document itself stops the run.
    void place(std::uint64_t seq, const TSymbol& symbol, const TLook& look, const TTextLines& lines) {
        try {
            filler_->Place(seq, symbol, look, lines);
        } catch (const EOverflow&) {
            throw;  // this label's: it does not fit its cell
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
    void write(const std::string&) override { document_.place(seq_, symbol_, params_, lines_); }

private:
    TBarcodeParams params_;
    const CliOptions& o_;
    SheetDocument& document_;
    TSymbol symbol_;
    TTextLines lines_;
    std::uint64_t seq_ = 0;
};

int runSheet(const CliOptions& o, const TBarcodeParams& params, const MessageSink& errors) {
    SheetDocument document(o);
    int status = 0;
    if (o.batch) {
        status = runBatch(o, [&] { return std::make_unique<SheetLabels>(params, o, document); }, errors);
    } else {
        SheetLabels labels(params, o, document);
        labels.setLabel(Label{o.caption, o.textLines, 0});
        labels.write({});
    }
    document.finish(errors);
    return status;
}

}  // namespace

int runDraw(const CliOptions& o, const MessageSink& errors) {
    const TBarcodeParams params = paramsOf(o);
    if (o.onSheet) return runSheet(o, params, errors);
    if (o.batch) return runBatch(o, [&] { return std::make_unique<Labels>(params, o); }, errors);
    Labels labels(params, o);
    labels.setLabel(Label{o.caption, o.textLines, 0});
    labels.write(o.output);
    return 0;
}

}  // namespace varlen::cli
