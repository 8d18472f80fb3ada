// SPDX-License-Identifier: MIT
// Drawing modes of varlen-cli: the options become one parameter record, drawn by the off-screen
// barcode the window's Save and Copy draw with, and saved through the window's Save pipeline. A
// batch gives each of its threads its own barcode over that record and only a new caption per
// line, so that ten thousand labels cost ten thousand drawings and nothing more.
#include "cli/Draw.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/Batch.h"
#include "cli/Validate.h"
#include "engine/DataRules.h"
#include "imaging/Output.h"
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

// One job on the default printer, the barcode 200 / 200 dots from the corner of the page's
// printable area, as the window's Print puts it.
void print(const TSaveSource& source) { PrintOnDefaultQueue(source.Vector, TVectorOptions{}, "Varlen"); }

// Draws and writes labels of one barcode; the batch makes one per thread.
// A label printer's resolution: the labels are laid out in whole dots of that printer, and the
// bitmap files record it. Without --dpi, the headless display's.
class Labels : public LabelWriter {
public:
    Labels(const TBarcodeParams& params, const CliOptions& o)
        : o_(o), output_(params, TOutputOptions{o.margin, o.scale, o.dpi, o.allowInverse, o.verify}) {}

    void setLabel(const Label& label) override { output_.SetCaption(label.caption); }

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
            case Target::Printer:
                if (o_.verify) {
                    // The page as the printer's resolution lays it out: the symbol 200 dots from the
                    // printable area's corner, paper all round it.
                    const TPrintQueue queue = DefaultPrintQueue();
                    output_.ReadBackPage(queue.Dpi > 0 ? queue.Dpi : TVectorOptions{}.Dpi, 200);
                }
                print(output_.Source());
                break;
        }
    }

private:
    const CliOptions& o_;
    TLabelOutput output_;
};

}  // namespace

int runDraw(const CliOptions& o, const MessageSink& errors) {
    // Text lines and sheets are read and checked already, but not drawn yet: say so rather than
    // leave them out of the labels.
    if (!o.textLines.empty()) throw InputError("--text-line: this version does not draw text lines yet");
    if (o.onSheet) throw InputError("--sheet: this version does not draw sheets of labels yet");
    const TBarcodeParams params = paramsOf(o);
    if (o.batch) return runBatch(o, [&] { return std::make_unique<Labels>(params, o); }, errors);
    Labels labels(params, o);
    labels.setLabel(Label{o.caption, o.textLines});
    labels.write(o.output);
    if (const std::string warning = labels.takeWarning(); !warning.empty()) errors("varlen-cli: " + warning + '\n');
    return 0;
}

}  // namespace varlen::cli
