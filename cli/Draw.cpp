// Drawing mode of varlen-cli. The symbol is drawn by the same control the window shows, so every
// option is checked by the control's own property ranges and its messages, and the pixels are the
// ones the window's Save command writes (MagnifyBy); a PDF page gets the physical size the Print
// command gives on paper.
#if VARLEN_WITH_QT
#include "cli/Draw.h"

#include <QImage>
#include <QSaveFile>
#include <cctype>

#include "control/Barcode.h"
#include "platform/Screen.h"
#include "platform/qt/Graphics.h"
#include "platform/qt/Printer.h"

namespace varlen::cli {

namespace {

std::string lowerExtension(const std::string& file) {
    const auto slash = file.find_last_of('/');
    const auto dot = file.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = file.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// The PNG is written beside the target and renamed over it only when complete.
void savePng(const TBitmap& bitmap, const std::string& fileName) {
    QSaveFile file(QString::fromLocal8Bit(fileName.c_str()));
    if (!file.open(QIODevice::WriteOnly))
        throw EInOutError("Cannot create file \"" + fileName + "\". " + file.errorString().toStdString());
    if (!bitmap.Image().save(&file, "PNG")) {
        file.cancelWriting();
        throw EInOutError("Cannot write file \"" + fileName + "\"");
    }
    if (!file.commit()) throw EInOutError("Cannot write file \"" + fileName + "\". " + file.errorString().toStdString());
}

}  // namespace

void runDraw(const CliOptions& o) {
    TBarcode barcode;
    barcode.setBar_CodeType(o.type);
    barcode.setBar_Ratio(o.ratio);
    barcode.setBar_Caption(o.data);
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

    const std::string ext = lowerExtension(o.output);
    if (ext == ".pdf") {
        // A printer-style page at 1200 dots per inch (or --dpi), the symbol at (200, 200) dots as
        // the window's Print command places it; the module widths are physical.
        TPrinter printer;
        printer.SetPdfOutput(o.output, o.dpi > 0 ? o.dpi : 1200);
        printer.BeginDoc();
        try {
            barcode.LoMetricPrint(printer.Canvas(), 200, 200);
            printer.EndDoc();
        } catch (...) {
            printer.Abort();
            throw;
        }
        return;
    }

    // Pixels: drawn for a surface of --dpi dots per inch instead of the screen's.
    if (o.dpi > 0) {
        ScreenInfo screen = Screen();
        screen.logPixelsX = screen.logPixelsY = o.dpi;
        SetScreenInfo(screen);
    }
    if (ext == ".png") {
        savePng(*barcode.MagnifiedBitmap(o.margin, false, o.scale), o.output);
    } else {
        barcode.MagnifyBy(o.margin, o.output, false, o.scale);
    }
}

}  // namespace varlen::cli
#endif
