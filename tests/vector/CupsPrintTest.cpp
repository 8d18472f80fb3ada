// SPDX-License-Identifier: MIT
// The PDF page printed through libcups on a private CUPS scheduler whose default queue is the
// cups-pdf printer: what comes out is rasterised, decoded and measured on paper. The queue's
// errors: none installed, none the default, a job refused. The client library fixes its server
// when first asked, so the printing runs in a child process (support/PrivateCups.h).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/CupsPrint.h"
#include "platform/Errors.h"
#include "engine/Sheet.h"
#include "support/PrivateCups.h"
#include "support/Readers.h"
#include "support/RecordingCanvas.h"
#include "support/ScratchFolder.h"
#include "vector/Vector.h"

namespace varlen {
namespace {

using test::darkRuns;

struct PrintRow {
    const char* tag;
    btCodeTypes type;
    const char* caption;
    btCodeSizes module;
    const char* decoded;
};

const PrintRow kRows[] = {
    {"ean13", EAN_13, "400638133393", SC2, "4006381333931"},
    {"code39", CODE39, "P39", SC8, "P39"},
};

TVectorSource sourceOf(const PrintRow& row) {
    TBarcodeParams params;
    params.CodeType = row.type;
    std::snprintf(params.Caption, sizeof params.Caption, "%s", row.caption);
    params.ModuleWidth = row.module;
    return VectorSourceOf(Encode(params), RenderParamsOf(params));
}

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EInOutError& e) {
        return e.what();
    }
    return "no error";
}

// Child side: prints every row and reports where its bars should be on the paper, in dots of the
// queue's resolution; then prints on a queue that refuses jobs.
void childPrints(const std::string& prefix) {
    const TPrintQueue queue = DefaultPrintQueue();
    for (const PrintRow& row : kRows) {
        ASSERT_NO_THROW(PrintOnDefaultQueue(sourceOf(row), {}, prefix + row.tag));
        const int dpi = queue.Dpi > 0 ? queue.Dpi : 1200;
        test::RecordingCanvas layout(dpi, dpi);
        sourceOf(row).Draw(layout, 200, 200);
        int left = 1 << 30, right = 0, top = 1 << 30, narrowest = 1 << 30;
        for (const auto& f : layout.fills) {
            left = std::min(left, f.rect.Left);
            right = std::max(right, f.rect.Right);
            top = std::min(top, f.rect.Top);
            narrowest = std::min(narrowest, f.rect.Right - f.rect.Left);
        }
        std::printf("JOB %s %d %d %d %d %d %d %s\n", row.tag, dpi, int(queue.LeftMM * dpi / 25.4 + 0.5),
                    int(queue.TopMM * dpi / 25.4 + 0.5), left, right, top, narrowest == 1 << 30 ? "0" : std::to_string(narrowest).c_str());
    }
    ASSERT_EQ(test::runProcess({"/usr/sbin/cupsreject", "VarlenPDF"}).exitCode, 0);
    EXPECT_EQ(errorOf([&] { PrintOnDefaultQueue(sourceOf(kRows[0]), {}, prefix + "refused"); }).rfind("The print job failed: ", 0), 0u);
    std::fflush(stdout);
}

TEST(CupsPrint, PdfPageOnTheDefaultQueue) {
    if (const char* mode = std::getenv("VARLEN_CUPS_CHILD")) {
        if (std::string(mode) == "none") {
            EXPECT_EQ(errorOf([] { DefaultPrintQueue(); }), "No printer is installed");
        } else if (std::string(mode) == "nodefault") {
            EXPECT_EQ(errorOf([] { DefaultPrintQueue(); }), "No default printer is set");
        } else {
            childPrints(mode);
        }
        return;
    }
    for (const char* tool : {"/usr/bin/pdftoppm", "/usr/bin/ZXingReader"})
        ASSERT_EQ(::access(tool, X_OK), 0) << tool << " is missing";

    // No print system reachable: no printer.
    QProcessEnvironment lonely = QProcessEnvironment::systemEnvironment();
    lonely.insert("VARLEN_CUPS_CHILD", "none");
    lonely.insert("CUPS_SERVER", "/nonexistent/varlen-cups.sock");
    lonely.insert("HOME", "/nonexistent");
    lonely.remove("PRINTER");
    lonely.remove("LPDEST");
    std::string failure;
    test::PrivateCups::runChild(lonely, "CupsPrint.PdfPageOnTheDefaultQueue", &failure);
    ASSERT_TRUE(failure.empty()) << failure;

    test::PrivateCups cups("VarlenVector");
    std::string skip, error;
    if (!cups.start(&skip, &error)) {
        if (!skip.empty()) GTEST_SKIP() << "no CUPS scheduler can be started here: " << skip;
        FAIL() << error;
    }
    QProcessEnvironment env = cups.childEnvironment();
    env.insert("VARLEN_CUPS_CHILD", QString::fromStdString(cups.prefix));
    const std::string output = test::PrivateCups::runChild(env, "CupsPrint.PdfPageOnTheDefaultQueue", &failure);
    ASSERT_TRUE(failure.empty()) << failure;
    const std::map<std::string, test::ExpectedJob> expected = test::expectedJobs(output);
    ASSERT_EQ(expected.size(), std::size(kRows)) << output;
    ASSERT_TRUE(cups.waitForJobs()) << "jobs stuck in the queue";

    const int raster = 1200;
    for (const PrintRow& row : kRows) {
        SCOPED_TRACE(row.tag);
        const test::ExpectedJob& e = expected.at(row.tag);
        const std::vector<std::string> pdfs = test::filesStartingWith(cups.outDir, cups.prefix + row.tag);
        ASSERT_EQ(pdfs.size(), 1u) << "cups-pdf wrote no file for the job in " << cups.outDir;
        const QImage page = cups.rasterise(pdfs[0], row.tag, raster);
        ASSERT_FALSE(page.isNull());
        const double dot = double(raster) / e.dpi;
        int top = 0;
        while (top < page.height() && darkRuns(page, top).empty()) ++top;
        ASSERT_LT(top, page.height()) << "the page is blank";
        const auto runs = darkRuns(page, top + int(2 * dot) + 2);
        ASSERT_GE(runs.size(), 10u);
        int narrowest = 1 << 30;
        for (const auto& [from, to] : runs) narrowest = std::min(narrowest, to - from);
        // At physical size: the narrowest bar has its whole dots within a raster pixel; the symbol
        // 200/200 dots from the printable corner and as long as drawn, within a printer dot.
        EXPECT_NEAR(narrowest, e.narrowest * dot, 1.0);
        EXPECT_NEAR(top, (e.offsetY + e.top) * dot, dot);
        EXPECT_NEAR(runs.front().first, (e.offsetX + e.left) * dot, dot);
        EXPECT_NEAR(runs.back().second - runs.front().first, (e.right - e.left) * dot, dot);
        // This ZXingReader finds some symbols of so large a page only downscaled, and aborts
        // downscaling others: either way counts.
        std::string decoded;
        for (const char* scaling : {"-noscale", "-fast"})
            decoded += test::runProcess({"/usr/bin/ZXingReader", scaling, "-1", cups.rasterFile(row.tag)}).out;
        EXPECT_NE(decoded.find(std::string("\"") + row.decoded + "\""), std::string::npos) << decoded;
    }
    EXPECT_TRUE(test::filesStartingWith(cups.outDir, cups.prefix + "refused").empty());

    // Queues, but none the default: another queue added, the default one removed.
    ASSERT_EQ(cups.tool({"lpadmin", "-p", "VarlenOther", "-v", "cups-pdf:/", "-E", "-P",
                         "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd"}).exitCode, 0);
    ASSERT_EQ(cups.tool({"lpadmin", "-x", "VarlenPDF"}).exitCode, 0);
    env.insert("VARLEN_CUPS_CHILD", "nodefault");
    test::PrivateCups::runChild(env, "CupsPrint.PdfPageOnTheDefaultQueue", &failure);
    EXPECT_TRUE(failure.empty()) << failure;
}

// varlen-cli --print --sheet: one job of the sheet's pages on A4 at their physical size, every label
// where its cell is on the paper and read back; a run that places no label sends no job.
TEST(CupsPrint, SheetOfLabelsIsOneJobOnTheSheetsPaper) {
#ifdef VARLEN_CLI
    for (const char* tool : {"/usr/bin/pdftoppm", "/usr/bin/pdfinfo", "/usr/bin/ZXingReader"})
        ASSERT_EQ(::access(tool, X_OK), 0) << tool << " is missing";
    test::PrivateCups cups("VarlenSheet");
    std::string skip, error;
    if (!cups.start(&skip, &error)) {
        if (!skip.empty()) GTEST_SKIP() << "no CUPS scheduler can be started here: " << skip;
        FAIL() << error;
    }
    // cups-pdf names the file after the job's title.
    const std::string printed = cups.outDir + "/Varlen.pdf";
    std::remove(printed.c_str());
    const test::ProcessResult nothing = cups.tool({VARLEN_CLI, "--print", "--sheet", "L7651", "400638133393"});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_EQ(nothing.err.rfind("varlen-cli: the label is 38.1 x 21.2 mm", 0), 0u) << nothing.err;
    ASSERT_TRUE(cups.waitForJobs()) << "the refused run's job stuck in the queue";
    EXPECT_NE(::access(printed.c_str(), F_OK), 0) << "the refused run printed a page";
    const test::ProcessResult p = cups.tool({VARLEN_CLI, "--print", "--sheet", "L7160", "--skip", "19", "--copies", "4",
                                             "--text-line", "Printed on L7160", "400638133393"});
    ASSERT_EQ(p.exitCode, 0) << p.err;
    ASSERT_TRUE(cups.waitForJobs()) << "the job stuck in the queue";
    ASSERT_EQ(::access(printed.c_str(), R_OK), 0) << "cups-pdf wrote no file for the job in " << cups.outDir;
    const std::string info = test::runProcess({"/usr/bin/pdfinfo", printed}).out;
    EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("(A4)"), std::string::npos) << info;

    // Cells 19 and 20 of the first page, 0 and 1 of the second.
    TSheetRun run;
    run.sheet = *FindSheet("L7160");
    run.copies = 4;
    run.skip = 19;
    const double px = 300 / 25.4;
    test::ScratchFolder scratch;
    for (int copy = 0; copy < run.copies; ++copy) {
        SCOPED_TRACE("copy " + std::to_string(copy));
        const TSheetCell cell = SheetCellOf(run, 0, copy);
        const std::vector<test::Ink> ink = test::inkOnPage(
            printed, int(cell.page) + 1, 300,
            {{int(cell.left * px), int(cell.top * px), int((cell.left + run.sheet.cellWidth) * px),
              int((cell.top + run.sheet.cellHeight) * px)}},
            scratch.path());
        ASSERT_EQ(ink.size(), 1u);
        ASSERT_FALSE(ink[0].empty());
        EXPECT_NEAR((ink[0].barsLeft + ink[0].barsRight) / 2.0, (cell.left + run.sheet.cellWidth / 2) * px, 0.3 * px);
        // This ZXingReader misses some of the symbols ghostscript's PDF of the page renders, unless
        // told the picture holds one symbol and little else, which a cell does: either way counts.
        std::string read;
        for (const char* pure : {"-1", "-ispure"})
            read += test::runProcess({"/usr/bin/ZXingReader", "-1", pure, scratch.file("ink0.png")}).out;
        EXPECT_NE(read.find("\"4006381333931\""), std::string::npos) << read;
    }
    std::remove(printed.c_str());
#else
    GTEST_SKIP() << "varlen-cli is not built";
#endif
}

}  // namespace
}  // namespace varlen
