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
    // A label printer's queue beside the default one, chosen by name and laid out at the
    // resolution the caller gives (a raw queue reports none).
    const TPrintQueue label = PrintQueueNamed("VarlenLabel");
    EXPECT_EQ(label.Name, "VarlenLabel");
    TVectorOptions dots;
    dots.Dpi = 203;
    ASSERT_NO_THROW(PrintOnQueue(label, sourceOf(kRows[1]), dots, prefix + "label"));
    test::RecordingCanvas layout(203, 203);
    sourceOf(kRows[1]).Draw(layout, 200, 200);
    int narrowest = 1 << 30;
    for (const auto& f : layout.fills) narrowest = std::min(narrowest, f.rect.Right - f.rect.Left);
    std::printf("LABEL %d\n", narrowest);
    EXPECT_EQ(errorOf([] { PrintQueueNamed("VarlenNoSuch"); }), "No printer \"VarlenNoSuch\" is installed");
    // A queue with CUPS's Zebra label driver, as the manual sets one up, reports its 203 dpi and the
    // label it is given.
    const TPrintQueue zebra = PrintQueueNamed("VarlenZebra");
    EXPECT_EQ(zebra.Dpi, 203);
    EXPECT_NEAR(zebra.WidthMM, 101.6, 0.1);
    EXPECT_NEAR(zebra.HeightMM, 152.4, 0.1);
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
    const char* ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd";
    ASSERT_EQ(cups.tool({"lpadmin", "-p", "VarlenLabel", "-v", "cups-pdf:/", "-E", "-P", ppd}).exitCode, 0);
    ASSERT_EQ(cups.tool({"lpadmin", "-p", "VarlenZebra", "-v", "cups-pdf:/", "-m", "drv:///sample.drv/zebra.ppd"}).exitCode, 0);
    ASSERT_EQ(cups.tool({"lpadmin", "-p", "VarlenZebra", "-o", "Resolution=203dpi", "-o", "PageSize=w288h432"}).exitCode, 0);
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

    // The job for the named queue went to it alone, its bars in whole dots of 203 per inch.
    const auto jobsOn = [&](const char* queue) {
        const std::string listed = cups.tool({"lpstat", "-W", "completed", "-o", queue}).out;
        return std::count(listed.begin(), listed.end(), '\n');
    };
    EXPECT_EQ(jobsOn("VarlenLabel"), 1);
    EXPECT_EQ(jobsOn("VarlenPDF"), long(std::size(kRows)));
    const std::size_t labelAt = output.find("LABEL ");
    ASSERT_NE(labelAt, std::string::npos) << output;
    const int labelDots = std::stoi(output.substr(labelAt + 6));
    EXPECT_EQ(labelDots, 5) << "Code 39 at SC8, 0.61 mm: 4.9 dots of 203 per inch";
    const std::vector<std::string> labelPdfs = test::filesStartingWith(cups.outDir, cups.prefix + "label");
    ASSERT_EQ(labelPdfs.size(), 1u);
    const QImage labelPage = cups.rasterise(labelPdfs[0], "label", raster);
    ASSERT_FALSE(labelPage.isNull());
    int labelTop = 0;
    while (labelTop < labelPage.height() && darkRuns(labelPage, labelTop).empty()) ++labelTop;
    ASSERT_LT(labelTop, labelPage.height());
    int printed = 1 << 30;
    for (const auto& [from, to] : darkRuns(labelPage, labelTop + 20)) printed = std::min(printed, to - from);
    // cups-pdf writes the page again at its own 300 dpi: within one of its dots.
    EXPECT_NEAR(printed, labelDots * double(raster) / 203, double(raster) / 300);

    // varlen-cli prints on the queue it names, with the printer's resolution it is given; a queue
    // that does not exist is named in the refusal and nothing is printed.
    const auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"/usr/bin/env", "CUPS_SERVER=" + cups.server, VARLEN_CLI});
        return test::runProcess(args);
    };
    const test::ProcessResult printedByCli = cli({"--printer", "VarlenLabel", "--dpi", "203", "--mono", "--verbose",
                                                 "--type", "ean13", "400638133393"});
    EXPECT_EQ(printedByCli.exitCode, 0) << printedByCli.err;
    EXPECT_EQ(printedByCli.err, "varlen-cli: X-dimension 0.375 mm (3 dots at 203 dpi), bar height 25.53 mm (204 dots)\n");
    const test::ProcessResult missing = cli({"--printer", "VarlenNoSuch", "--type", "ean13", "400638133393"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "varlen-cli: No printer \"VarlenNoSuch\" is installed\n");
    ASSERT_TRUE(cups.waitForJobs()) << "jobs stuck in the queue";
    EXPECT_EQ(jobsOn("VarlenLabel"), 2);
    EXPECT_EQ(jobsOn("VarlenPDF"), long(std::size(kRows)));
    for (const std::string& f : test::filesStartingWith(cups.outDir, "Varlen.")) std::remove(f.c_str());

    // Queues, but none the default: another queue added, the default one removed.
    ASSERT_EQ(cups.tool({"lpadmin", "-p", "VarlenOther", "-v", "cups-pdf:/", "-E", "-P", ppd}).exitCode, 0);
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
    // A sheet goes to the queue --printer names, not to the default one.
    const test::ProcessResult elsewhere =
        cups.tool({VARLEN_CLI, "--printer", "VarlenNoSuch", "--sheet", "L7160", "400638133393"});
    EXPECT_EQ(elsewhere.exitCode, 1);
    EXPECT_EQ(elsewhere.err, "varlen-cli: No printer \"VarlenNoSuch\" is installed\n");
    ASSERT_TRUE(cups.waitForJobs());
    EXPECT_NE(::access(printed.c_str(), F_OK), 0) << "the sheet for another queue was printed on the default one";
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
