// SPDX-License-Identifier: MIT
// The printer without a queue, the printer-style PDF output, and the clipboard.
#include <cstdlib>
#include <string>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "platform/qt/Clipboard.h"
#include "raster/Bitmap.h"
#include "platform/qt/Printer.h"
#include "support/RunProcess.h"
#include "support/ScratchFolder.h"

using namespace varlen;

namespace {

}  // namespace

TEST(Printer, WithoutAPrinterBeginDocRaisesAndDoesNothingElse) {
    if (std::getenv("VARLEN_NO_PRINTER_CHILD")) {
        // In the child: the print system is unreachable, so no queue can be the default.
        TPrinter printer;
        try {
            printer.BeginDoc();
            FAIL() << "BeginDoc succeeded without a printer";
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), "No printer is installed");
        }
        EXPECT_FALSE(printer.Printing());
        return;
    }
    // The print system's client library fixes its server when first asked, so the question runs
    // in a child process that sees a server address where nothing listens.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VARLEN_NO_PRINTER_CHILD", "1");
    env.insert("CUPS_SERVER", "/nonexistent/varlen-cups.sock");
    env.remove("PRINTER");
    env.remove("LPDEST");
    env.insert("HOME", "/nonexistent");  // no per-user default queue either
    env.insert("QT_QPA_PLATFORM", "offscreen");
    const test::ScratchFolder temp;  // nothing may be left in it: no half-started job
    env.insert("TMPDIR", QString::fromStdString(temp.path()));
    const test::ScratchFolder runtime;  // the toolkit's runtime folder, elsewhere
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("/proc/self/exe", {"--gtest_filter=Printer.WithoutAPrinterBeginDocRaisesAndDoesNothingElse"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const std::string output = child.readAll().toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    EXPECT_TRUE(temp.names().empty());
}

TEST(Printer, PdfOutputIsAOnePageJobInDeviceDots) {
    const test::ScratchFolder dir;
    const std::string file = dir.file("page.pdf");
    TPrinter printer;
    printer.SetPdfOutput(file, 600);
    printer.BeginDoc();
    TCanvas& canvas = printer.Canvas();
    EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSX), 600);
    EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSY), 600);
    EXPECT_GT(canvas.GetDeviceCaps(HORZRES), 4000) << "a page is some 8 inches wide";
    EXPECT_EQ(canvas.GetMapMode(), MM_TEXT);
    canvas.SetBrushColor(clBlack);
    canvas.FillRect({600, 600, 1200, 1800});  // one inch by two
    canvas.SetFontName("Arial");
    canvas.SetFontHeight(600);  // a cell of one inch
    canvas.SetBkMode(TRANSPARENT);
    canvas.SetTextAlign(TA_LEFT | TA_TOP);
    canvas.TextOutA(3000, 2400, "Ay");
    EXPECT_EQ(dir.names().size(), 0u) << "the unfinished PDF is drawn in memory, not on the disk";
    printer.EndDoc();
    EXPECT_FALSE(printer.Printing());
    ASSERT_EQ(dir.names().size(), 1u);
    // Rasterised at 100 dots per inch the bar is 100 × 200 pixels; pdfinfo counts one page.
    const std::string info = test::runProcess({"/usr/bin/pdfinfo", file}).out;
    const std::size_t pages = info.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << info;
    EXPECT_EQ(std::atoi(info.c_str() + pages + 6), 1) << info;
    ASSERT_EQ(test::runProcess({"/usr/bin/pdftoppm", "-r", "100", "-gray", "-png", "-singlefile", file, dir.file("r")})
                  .exitCode,
              0);
    const QImage page(QString::fromStdString(dir.file("r.png")));
    ASSERT_FALSE(page.isNull());
    auto ink = [&](int fromX, int toX, int* left, int* top, int* right, int* bottom) {
        *left = *top = 1 << 30;
        *right = *bottom = -1;
        for (int y = 0; y < page.height(); ++y)
            for (int x = fromX; x < std::min(toX, page.width()); ++x)
                if (qGray(page.pixel(x, y)) < 128) {
                    *left = std::min(*left, x);
                    *right = std::max(*right, x + 1);
                    *top = std::min(*top, y);
                    *bottom = std::max(*bottom, y + 1);
                }
    };
    int left, top, right, bottom;
    ink(0, 300, &left, &top, &right, &bottom);
    EXPECT_NEAR(right - left, 100, 1);
    EXPECT_NEAR(bottom - top, 200, 1);
    // The text's one-inch cell starts 3 inches below the bar's top and 4 inches right of its left
    // edge; its ink lies within the cell and fills most of its height.
    int tl, tt, tr, tb;
    ink(left + 300, page.width(), &tl, &tt, &tr, &tb);
    EXPECT_GE(tl, left + 400 - 1);
    EXPECT_GE(tt, top + 300 - 1);
    EXPECT_LE(tb, top + 400 + 1);
    EXPECT_GE(tb - tt, 75);
}

TEST(Printer, PdfIntoAMissingFolderRaisesAndAbortLeavesNoFile) {
    TPrinter printer;
    printer.SetPdfOutput("/nonexistent-folder/x.pdf", 1200);
    try {
        printer.BeginDoc();
        printer.EndDoc();
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(std::string(e.what()), "/nonexistent-folder/x.pdf: No such file or directory");
    }
    EXPECT_FALSE(printer.Printing());

    const test::ScratchFolder dir;
    TPrinter aborted;
    aborted.SetPdfOutput(dir.file("x.pdf"), 300);
    aborted.BeginDoc();
    aborted.Canvas().FillRect({0, 0, 10, 10});
    aborted.Abort();
    EXPECT_TRUE(dir.names().empty());
}

TEST(Clipboard, ABitmapReplacesTheClipboardContents) {
    QGuiApplication::clipboard()->setText("earlier text");
    TBitmap bitmap(31, 17);
    bitmap.Canvas().SetBrushColor(clBlack);
    bitmap.Canvas().FillRect({4, 0, 9, 17});
    Clipboard().Assign(bitmap);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data->hasText()) << "the earlier contents are gone";
    const QImage image = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image, QtImage(bitmap));
}
