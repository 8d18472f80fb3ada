// Drawing modes of varlen-cli: one TBarcode is set up once from the options, which its setters
// judge with the control's own messages. A batch gives each of its threads a widget-free copy of
// that control and only a new caption per line, so that ten thousand labels cost ten thousand
// drawings and nothing more.
#if VARLEN_WITH_QT
#include "cli/Draw.h"

#include <memory>
#include <string>
#include <vector>

#include "cli/Batch.h"
#include "control/Barcode.h"
#include "imaging/SaveFile.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/Screen.h"
#include "platform/qt/Printer.h"

namespace varlen::cli {

namespace {

void configure(TBarcode& barcode, const CliOptions& o) {
    barcode.setBar_CodeType(o.type);
    barcode.setBar_Ratio(o.ratio);
    barcode.setBar_CodeAddon(o.addon);
    barcode.setBar_ModuleWidth(static_cast<btCodeSizes>(o.module));
    barcode.setBar_Rotation(static_cast<btCodeRotate>(o.rotation));
    barcode.setBar_HeightPercent(o.heightPercent);
    barcode.setBar_Fontscaling(o.textHeight);
    barcode.setBar_Fontname(o.font);
    barcode.setBar_HumanReadable(o.humanReadable);
    barcode.setBar_ZoomSize(o.exact);
    barcode.setBar_HighDensity(o.highDensity);
    barcode.setBar_WidthReduce(o.widthReduce);
    barcode.setBar_QuietZones(o.quietZones);
    barcode.setBar_Bearer(o.bearer);
    barcode.setBar_Foreground(o.foreground);
    barcode.setBar_Background(o.background);
    barcode.setBar_TransparentBackground(o.transparent);
}

TSaveOptions saveOptionsOf(const CliOptions& o) {
    TSaveOptions save;
    save.RecordDpi = o.dpi;
    save.VectorDpi = o.dpi > 0 ? o.dpi : 1200;
    save.Background = o.background;
    save.TransparentBackground = o.transparent;
    return save;
}

class Output {
public:
    Output(TBarcode& barcode, const CliOptions& o)
        : barcode_(barcode), o_(o), source_(SaveSourceOf(barcode, o.margin)), save_(saveOptionsOf(o)) {}

    void toFile(const std::string& fileName) { SaveBarcodeToFile(fileName, o_.scale, source_, save_); }

    // The whole file is made in memory before its first byte goes out, so that a failure leaves
    // standard output empty.
    void toStandardOutput() {
        const TFileBytes bytes =
            BarcodeFileBytes(SaveFileTypeOfExtension(o_.format), "standard output", o_.scale, source_, save_);
        for (const ByteSpan& part : bytes.Parts()) WriteStandardOutput(part.data, part.size);
    }

    // One job on the default printer, the barcode 200 / 200 dots from the page's corner.
    void toPrinter() {
        TPrinter printer;
        printer.BeginDoc();
        try {
            barcode_.LoMetricPrint(printer.Canvas(), 200, 200);
            printer.EndDoc();
        } catch (...) {
            printer.Abort();
            throw;
        }
    }

    void write(const std::string& fileName) {
        switch (o_.target) {
            case Target::File: toFile(fileName); break;
            case Target::StandardOutput: toStandardOutput(); break;
            case Target::Printer: toPrinter(); break;
        }
    }

private:
    TBarcode& barcode_;
    const CliOptions& o_;
    TSaveSource source_;
    TSaveOptions save_;
};

// The labels of a batch written as files: a widget-free copy of the configured control per
// thread, saved through the same pipeline as a single file.
class FileLabels : public LabelWriter {
public:
    FileLabels(const TBarcode& configured, const CliOptions& o)
        : image_(configured.Engine().Params), source_(SaveSourceOf(image_, o.margin)), save_(saveOptionsOf(o)),
          scale_(o.scale) {}
    void setCaption(const std::string& caption) override { image_.setBar_Caption(caption); }
    void write(const std::string& fileName) override { SaveBarcodeToFile(fileName, scale_, source_, save_); }

private:
    TBarcodeImage image_;
    TSaveSource source_;
    TSaveOptions save_;
    int scale_;
};

// The labels of a batch sent to the printer one after the other, by the control itself.
class PrintedLabels : public LabelWriter {
public:
    PrintedLabels(TBarcode& barcode, Output& output) : barcode_(barcode), output_(output) {}
    void setCaption(const std::string& caption) override { barcode_.setBar_Caption(caption); }
    void write(const std::string&) override { output_.toPrinter(); }

private:
    TBarcode& barcode_;
    Output& output_;
};

}  // namespace

int runDraw(const CliOptions& o, std::ostream& errors) {
    // A label printer's resolution: bitmaps report it, so the renderer lays every module out in
    // whole dots of that printer, and the bitmap files record it.
    if (o.dpi > 0) {
        ScreenInfo screen = Screen();
        screen.logPixelsX = screen.logPixelsY = o.dpi;
        SetScreenInfo(screen);
    }
    TBarcode barcode;
    configure(barcode, o);
    Output output(barcode, o);
    if (o.batch) {
        if (o.target == Target::Printer)
            return runBatch(o, [&] { return std::make_unique<PrintedLabels>(barcode, output); }, errors);
        return runBatch(o, [&] { return std::make_unique<FileLabels>(barcode, o); }, errors);
    }
    barcode.setBar_Caption(o.caption);
    output.write(o.output);
    return 0;
}

}  // namespace varlen::cli
#endif
