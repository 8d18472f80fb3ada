// SPDX-License-Identifier: MIT
// Printing at physical size through a real print path: a private CUPS scheduler with the cups-pdf
// queue as its default destination. The barcodes are printed as the window's Print command prints
// them (LoMetricPrint at X = 200, Y = 200 on the printer's page), the PDF that cups-pdf writes is
// rasterised with pdftoppm, and the bars are measured on paper: module width, position on the
// page, and a decode by ZXingReader. A draw that fails must not send a half page to the queue, and
// a job the queue refuses must not pass for printed.
//
// The CUPS client library fixes its server when first asked, so the printing runs in a child
// process that is given the private scheduler's socket from the start.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include "control/Barcode.h"
#include "platform/Errors.h"
#include "platform/qt/Printer.h"
#include "support/RecordingCanvas.h"
#include "support/PrivateCups.h"

using namespace varlen;
using test::darkRuns;
using test::filesStartingWith;

namespace {

struct PrintCase {
    const char* tag;  // ends the job title; no tag is the beginning of another
    btCodeTypes type;
    const char* caption;
    btCodeSizes module;
    double moduleMM;    // the nominal module width on paper
    const char* text;   // what ZXingReader reads
};

const PrintCase kCases[] = {
    // The main window's default symbol at the nominal 0.33 mm module.
    {"upca", UPC_A, "03600029145", SC2, 0.33, "036000291452"},
    // A symbology without side margins, whose text comes from the caption.
    {"code128", CODE128_B, "Varlen 128", SC2, 0.33, "Varlen 128"},
    // Another module size: 0.61 mm, and wide bars at the ratio the print command uses.
    {"code39", CODE39, "P39", SC8, 0.61, "P39"},
};

// Code 128 has no code for a Latin-1 letter: drawing it fails after the job has started.
const PrintCase kBroken = {"broken", CODE128_B, "Gr\xc4" "bner", SC2, 0.33, ""};

// The whole print command of the window, on the default queue: a job, LoMetricPrint at
// (200, 200) device dots, the end of the job. An error leaves through the printer's destructor,
// which drops the job.
void printOnDefaultQueue(const PrintCase& c, const std::string& title) {
    TBarcode barcode;
    barcode.setBar_CodeType(c.type);
    barcode.setBar_Caption(c.caption);
    barcode.setBar_ModuleWidth(c.module);
    TPrinter printer;
    printer.SetTitle(title);
    printer.BeginDoc();
    barcode.LoMetricPrint(printer.Canvas(), 200, 200);
    printer.EndDoc();
}

// Child side: prints every case and reports, per job, what the page should show: the printer's
// resolution, the printable area's offset on the paper, and the bars as the renderer lays them
// out at that resolution (first left, last right, top, narrowest bar), all in device dots.
void childPrints(const std::string& prefix) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    ASSERT_FALSE(info.isNull()) << "the private scheduler has no default queue";
    QPrinter probe(info, QPrinter::HighResolution);
    const int dpi = probe.resolution();
    // The corner of the area the device can print on (from the queue's PPD; the paper's corner
    // for cups-pdf), where the page's device dots start.
    QPageLayout reach = probe.pageLayout();
    reach.setMargins(reach.minimumMargins());
    const QPoint corner = reach.paintRectPixels(dpi).topLeft();
    for (const PrintCase& c : kCases) {
        const std::string title = prefix + c.tag;
        ASSERT_NO_THROW(printOnDefaultQueue(c, title)) << title;

        TBarcode barcode;
        barcode.setBar_CodeType(c.type);
        barcode.setBar_Caption(c.caption);
        barcode.setBar_ModuleWidth(c.module);
        test::RecordingCanvas layout(dpi, dpi);
        barcode.LoMetricPrint(layout, 200, 200);
        int left = 1 << 30, right = -1, top = 1 << 30, narrowest = 1 << 30;
        for (const auto& f : layout.fills) {
            if (f.color != clBlack) continue;
            left = std::min(left, f.rect.Left);
            right = std::max(right, f.rect.Right);
            top = std::min(top, f.rect.Top);
            narrowest = std::min(narrowest, f.rect.Right - f.rect.Left);
        }
        std::printf("JOB %s %d %d %d %d %d %d %d\n", c.tag, dpi, corner.x(), corner.y(), left, right, top,
                    narrowest);
    }
    // The failing draw: the error reaches the caller with its message, and the job is dropped.
    try {
        printOnDefaultQueue(kBroken, prefix + kBroken.tag);
        ADD_FAILURE() << "an unencodable caption printed";
    } catch (const EOverflow& e) {
        EXPECT_STREQ(e.what(), "BarcoLL: Code128 error");
    }
    // A queue that refuses jobs: the end of the job reports it instead of passing for printed.
    ASSERT_EQ(test::runProcess({"/usr/sbin/cupsreject", "VarlenPDF"}).exitCode, 0);
    try {
        printOnDefaultQueue(kCases[0], prefix + "refused");
        ADD_FAILURE() << "a refused job passed for printed";
    } catch (const EInOutError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("The print job failed: ", 0), 0u) << e.what();
    }
    std::fflush(stdout);
}

}  // namespace

TEST(PrintCups, PhysicalSizeOnTheDefaultQueue) {
    if (const char* prefix = std::getenv("VARLEN_PRINT_CHILD")) {
        childPrints(prefix);
        return;
    }
    for (const char* tool : {"/usr/bin/pdftoppm", "/usr/bin/ZXingReader"})
        ASSERT_EQ(::access(tool, X_OK), 0) << tool << " is missing (poppler-utils, zxing-cpp-tools)";

    test::PrivateCups cups("VarlenPrint");
    std::string skip, error;
    if (!cups.start(&skip, &error)) {
        if (!skip.empty()) GTEST_SKIP() << "no CUPS scheduler can be started here: " << skip;
        FAIL() << error;
    }
    QProcessEnvironment env = cups.childEnvironment();
    env.insert("VARLEN_PRINT_CHILD", QString::fromStdString(cups.prefix));
    // The child's temporary files go to a folder of their own, to show that none is left.
    const std::string childTemp = cups.dir + "/childtmp";
    ASSERT_EQ(::mkdir(childTemp.c_str(), 0700), 0);
    env.insert("TMPDIR", QString::fromStdString(childTemp));
    std::string failure;
    const std::string output = test::PrivateCups::runChild(env, "PrintCups.PhysicalSizeOnTheDefaultQueue", &failure);
    ASSERT_TRUE(failure.empty()) << failure;

    const std::map<std::string, test::ExpectedJob> expected = test::expectedJobs(output);
    ASSERT_EQ(expected.size(), std::size(kCases)) << output;

    // Every job leaves the queue (the script's wait is bounded), and only the three good ones
    // ever reached it: the failed draw sent nothing.
    ASSERT_TRUE(cups.waitForJobs()) << "jobs stuck in the queue";
    const std::string completed = cups.tool({"lpstat", "-W", "completed", "-o"}).out;
    EXPECT_EQ(std::count(completed.begin(), completed.end(), '\n'), static_cast<long>(std::size(kCases))) << completed;
    EXPECT_TRUE(filesStartingWith(cups.outDir, cups.prefix + kBroken.tag).empty());
    EXPECT_EQ(filesStartingWith(childTemp, ""), std::vector<std::string>{}) << "files left in the temporary folder";

    const int raster = 1200;  // pdftoppm's resolution: several raster pixels per printer dot
    for (const PrintCase& c : kCases) {
        SCOPED_TRACE(c.tag);
        const test::ExpectedJob& e = expected.at(c.tag);
        const std::vector<std::string> pdfs = filesStartingWith(cups.outDir, cups.prefix + c.tag);
        ASSERT_EQ(pdfs.size(), 1u) << "cups-pdf wrote no file for the job in " << cups.outDir;
        // The top-left 4 x 2.5 inches of the page hold the symbol.
        const QImage page = cups.rasterise(pdfs[0], c.tag, raster);
        ASSERT_FALSE(page.isNull());

        // One printer dot, in raster pixels and in millimetres.
        const double dot = double(raster) / e.dpi;
        const double dotMM = 25.4 / e.dpi;
        // The bars' top: the first row with ink (the human-readable text lies below the bars).
        int top = -1;
        for (int y = 0; y < page.height() && top < 0; ++y)
            if (!darkRuns(page, y).empty()) top = y;
        ASSERT_GE(top, 0) << "the page is blank";
        const std::vector<std::pair<int, int>> runs = darkRuns(page, top + int(2 * dot) + 2);
        ASSERT_GE(runs.size(), 10u);
        int narrowest = 1 << 30;
        for (const auto& [from, to] : runs) narrowest = std::min(narrowest, to - from);
        const double narrowestMM = narrowest * 25.4 / raster;
        std::printf("[ %-7s ] %d dpi printer, one dot %.4f mm; narrowest bar %.4f mm (%d dots drawn, %.2f on paper); "
                    "bars from (%.2f, %.2f) dots, %d dots expected\n",
                    c.tag, e.dpi, dotMM, narrowestMM, e.narrowest, narrowest / dot, runs.front().first / dot, top / dot,
                    e.offsetX + e.left);

        // Physical size: the narrowest module is the nominal width within one printer dot, and the
        // renderer's whole-dot width within a raster pixel.
        EXPECT_NEAR(narrowestMM, c.moduleMM, dotMM);
        EXPECT_NEAR(narrowest, e.narrowest * dot, 1.0);
        // Position: the symbol's top-left at (200, 200) device dots of the printable area (the
        // UPC-A bars begin after its ten-module side margin), within one printer dot.
        EXPECT_NEAR(top, (e.offsetY + e.top) * dot, dot);
        EXPECT_NEAR(runs.front().first, (e.offsetX + e.left) * dot, dot);
        // Nothing is scaled on the way: the whole row of bars has its drawn length.
        EXPECT_NEAR(runs.back().second - runs.front().first, (e.right - e.left) * dot, dot);

        // -noscale: this ZXingReader (zxing-cpp 1.4) aborts on an assertion when it retries a page of this
        // size downscaled; at full size the modules are 16 pixels or more anyway.
        const std::string decoded = test::runProcess({"/usr/bin/ZXingReader", "-noscale", "-1", cups.rasterFile(c.tag)}).out;
        EXPECT_NE(decoded.find(std::string("\"") + c.text + "\""), std::string::npos) << decoded;
    }
}
