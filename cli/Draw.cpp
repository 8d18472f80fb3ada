// Drawing modes of varlen-cli: one TBarcode is set up once from the options and, in a batch, only
// given a new caption per line, so that ten thousand labels cost ten thousand drawings and
// nothing more.
#if VARLEN_WITH_QT
#include "cli/Draw.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>
#include <unistd.h>

#include "cli/Pattern.h"
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
    barcode.setBar_ModuleWidth(static_cast<btCodeSizes>(o.module > 255 ? 255 : o.module));
    barcode.setBar_Rotation(static_cast<btCodeRotate>(o.rotation));
    barcode.setBar_HeightPercent(o.heightPercent);
    barcode.setBar_Fontscaling(o.textHeight);
    barcode.setBar_Fontname(o.font);
    barcode.setBar_HumanReadable(o.humanReadable);
    barcode.setBar_ZoomSize(o.exact);
    barcode.setBar_HighDensity(o.highDensity);
    barcode.setBar_WidthReduce(o.widthReduce);
}

class Output {
public:
    Output(TBarcode& barcode, const CliOptions& o) : barcode_(barcode), o_(o), source_(SaveSourceOf(barcode, o.margin)) {
        save_.RecordDpi = o.dpi;
        save_.VectorDpi = o.dpi > 0 ? o.dpi : 1200;
    }

    void toFile(const std::string& fileName) { SaveBarcodeToFile(fileName, o_.scale, source_, save_); }

    // The whole file is made in memory before its first byte goes out, so that a failure leaves
    // standard output empty.
    void toStandardOutput() {
        const TFileBytes bytes =
            BarcodeFileBytes(SaveFileTypeOfExtension(o_.format), "standard output", o_.scale, source_, save_);
        for (const ByteSpan& part : bytes.Parts())
            std::cout.write(static_cast<const char*>(part.data), static_cast<std::streamsize>(part.size));
        std::cout.flush();
        if (!std::cout) throw EInOutError(std::string("standard output: ") + std::strerror(errno ? errno : EIO));
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

std::vector<std::string> readLines(const std::string& batchFile) {
    std::vector<std::string> lines;
    auto readAll = [&](std::istream& in) {
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();  // lines from Windows
            lines.push_back(std::move(line));
        }
    };
    if (batchFile == "-") {
        readAll(std::cin);
        if (std::cin.bad()) throw EInOutError(std::string("standard input: ") + std::strerror(errno));
    } else {
        std::ifstream in(batchFile, std::ios::binary);
        if (!in) throw EInOutError(batchFile + ": " + std::strerror(errno));
        readAll(in);
        if (in.bad()) throw EInOutError(batchFile + ": " + std::strerror(errno));
    }
    return lines;
}

int runBatch(TBarcode& barcode, Output& output, const CliOptions& o, std::ostream& errors) {
    const std::vector<std::string> lines = readLines(o.batchFile);
    const long total = static_cast<long>(lines.size());
    const bool progress = total > 100 && ::isatty(STDERR_FILENO);
    const long step = total / 100 > 0 ? total / 100 : 1;
    bool failed = false;
    for (long n = 1; n <= total; ++n) {
        const std::string& line = lines[static_cast<std::size_t>(n - 1)];
        if (!line.empty()) {
            try {
                const std::string data = utf8ToLatin1(line);
                barcode.setBar_Caption(captionFor(o, data));
                output.write(o.target == Target::File ? expandPattern(o.output, n, data) : std::string());
            } catch (const Exception& e) {
                if (progress) errors << '\r';
                errors << "line " << n << ": " << e.what() << '\n';
                failed = true;
            }
        }
        if (progress && (n % step == 0 || n == total)) errors << '\r' << n << '/' << total << (n == total ? "\n" : "") << std::flush;
    }
    return failed ? 1 : 0;
}

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
    if (o.batch) return runBatch(barcode, output, o, errors);
    barcode.setBar_Caption(captionFor(o, o.data));
    output.write(o.output);
    return 0;
}

}  // namespace varlen::cli
#endif
