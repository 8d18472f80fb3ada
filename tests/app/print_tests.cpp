// SPDX-License-Identifier: MIT
// Print from the window through a real print path: a private CUPS scheduler whose default queue is
// the cups-pdf printer. The preview carries an add-on, a quarter turn, half-height bars and no
// text line; the printout must show none of that: upright bars at their full physical size, the
// symbol without its add-on, and the text line.
//
// The CUPS client library fixes its server when first asked, so the window prints in a child
// process that is given the private scheduler's socket from the start.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QImage>
#include <QPrinter>
#include <QPrinterInfo>

#include <QCheckBox>
#include <QSpinBox>

#include "app/LabelsDialog.h"
#include "engine/Sheet.h"
#include "support/PrivateCups.h"
#include "support/Readers.h"
#include "tests/app/WindowFixture.h"

using namespace varlen;
using varlen::testing::WindowTest;
using test::darkRuns;

TEST_F(WindowTest, PrintShowsNeitherAddOnNorRotationAtPhysicalSize) {
    if (const char* prefix = std::getenv("VARLEN_WINDOW_PRINT_CHILD")) {
        // Child: the window with a preview far from the control's initial values, printed from
        // the File menu. The job carries the application's title, which names cups-pdf's file.
        writeIni("[Varlen]\nbctype=2\n2=03600029145\nhumanread=False\nbarheight=50\nfontheight=40\n"
                 "[Addon]\nUPCA=12345\n");
        TForm1& w = start();
        w.Rotate90Degrees1->trigger();
        ASSERT_EQ(w.Barcode1->Bar_Rotation(), rotate_270);
        ASSERT_EQ(w.Barcode1->Bar_CodeAddon(), "12345");
        Application().Title = QString::fromLatin1(prefix);
        w.Print1->trigger();
        settle();
        Application().Title.clear();
        EXPECT_TRUE(messages.empty()) << messages.front();
        QPrinter probe(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
        std::printf("DPI %d\n", probe.resolution());
        std::fflush(stdout);
        return;
    }
    for (const char* tool : {"/usr/bin/pdftoppm", "/usr/bin/ZXingReader"})
        ASSERT_EQ(::access(tool, X_OK), 0) << tool << " is missing (poppler-utils, zxing-cpp-tools)";

    test::PrivateCups cups("VarlenWindow");
    std::string skip, error;
    if (!cups.start(&skip, &error)) {
        if (!skip.empty()) GTEST_SKIP() << "no CUPS scheduler can be started here: " << skip;
        FAIL() << error;
    }
    QProcessEnvironment env = cups.childEnvironment();
    env.insert("VARLEN_WINDOW_PRINT_CHILD", QString::fromStdString(cups.prefix));
    std::string failure;
    const std::string output = test::PrivateCups::runChild(
        env, "WindowTest.PrintShowsNeitherAddOnNorRotationAtPhysicalSize", &failure);
    ASSERT_TRUE(failure.empty()) << failure;
    const auto at = output.find("DPI ");
    ASSERT_NE(at, std::string::npos) << output;
    const int dpi = std::atoi(output.c_str() + at + 4);
    ASSERT_GT(dpi, 0);

    ASSERT_TRUE(cups.waitForJobs()) << "the job stuck in the queue";
    const std::vector<std::string> pdfs = test::filesStartingWith(cups.outDir, cups.prefix);
    ASSERT_EQ(pdfs.size(), 1u) << "cups-pdf wrote no file for the job in " << cups.outDir;
    // The top-left 4 x 2.5 inches of the page hold the symbol.
    const int raster = 1200;
    const QImage page = cups.rasterise(pdfs[0], "page", raster);
    ASSERT_FALSE(page.isNull());
    const double mm = raster / 25.4;         // raster pixels per millimetre
    const double dot = double(raster) / dpi;  // raster pixels per printer dot

    int top = -1;
    for (int y = 0; y < page.height() && top < 0; ++y)
        if (!darkRuns(page, y).empty()) top = y;
    ASSERT_GE(top, 0) << "the page is blank";
    const std::vector<std::pair<int, int>> topRow = darkRuns(page, top + 2 * int(dot) + 2);
    ASSERT_FALSE(topRow.empty());
    // The first bar (a guard bar) from its top down: the full bar height of 74.24 modules, not the
    // preview's half.
    const int guardX = (topRow.front().first + topRow.front().second) / 2;
    int bottom = top;
    while (bottom < page.height() && qGray(page.pixel(guardX, bottom)) < 128) ++bottom;
    const std::vector<std::pair<int, int>> middle = darkRuns(page, (top + bottom) / 2);
    int narrowest = 1 << 30;
    for (const auto& [from, to] : middle) narrowest = std::min(narrowest, to - from);
    const double module = narrowest / mm;
    std::printf("[ print ] %d dpi; narrowest bar %.4f mm, guard bar %.2f mm high, %zu bars, %.2f mm long\n", dpi, module,
                (bottom - top) / mm, middle.size(), (middle.back().second - middle.front().first) / mm);

    // Upright, without the add-on: the thirty bars of a UPC-A across the middle of the bars (a
    // quarter turn would give one long bar; the add-on fifteen more bars).
    EXPECT_EQ(middle.size(), 30u);
    // Physical size: SC2 is 0.33 mm within one printer dot; the symbol is 95 modules long and
    // its guard bars 74.24 modules high.
    EXPECT_NEAR(module, 0.33, 25.4 / dpi);
    EXPECT_NEAR(middle.back().second - middle.front().first, 95 * narrowest, 2 * dot);
    EXPECT_NEAR(bottom - top, 74.24 * narrowest, 3 * dot);
    // The text line, switched off in the preview, is printed below the bars.
    bool text = false;
    for (int y = bottom + int(dot) + 1; y < std::min(page.height(), bottom + int(4 * mm)) && !text; ++y)
        text = !darkRuns(page, y).empty();
    EXPECT_TRUE(text) << "no human-readable text under the bars";

    const std::string decoded = test::runProcess({"/usr/bin/ZXingReader", "-noscale", "-1", cups.rasterFile("page")}).out;
    EXPECT_NE(decoded.find("\"036000291452\""), std::string::npos) << decoded;
}

// Print Labels through the window's printer: one job of the sheet's pages on its paper, the labels
// where their cells are, from the paper's corner (not the printable area's), read back.
TEST_F(WindowTest, PrintLabelsPrintsTheSheetsPagesAsOneJob) {
    if (const char* prefix = std::getenv("VARLEN_WINDOW_LABELS_CHILD")) {
        writeIni("[Varlen]\nbctype=1\n1=400638133393\n");
        TForm1& w = start();
        w.AskLabels = [](TLabelsDialog& d) {
            d.setSheetName(QStringLiteral("l7160"));
            d.CopiesEdit->setValue(2);
            d.RowEdit->setValue(7);
            d.ColumnEdit->setValue(3);
            return int(TLabelsDialog::Print);
        };
        Application().Title = QString::fromLatin1(prefix);
        w.PrintLabels1->trigger();
        settle();
        Application().Title.clear();
        EXPECT_TRUE(messages.empty()) << messages.front();
        return;
    }
    for (const char* tool : {"/usr/bin/pdftoppm", "/usr/bin/pdfinfo", "/usr/bin/ZXingReader"})
        ASSERT_EQ(::access(tool, X_OK), 0) << tool << " is missing (poppler-utils, zxing-cpp-tools)";
    test::PrivateCups cups("VarlenLabels");
    std::string skip, error;
    if (!cups.start(&skip, &error)) {
        if (!skip.empty()) GTEST_SKIP() << "no CUPS scheduler can be started here: " << skip;
        FAIL() << error;
    }
    QProcessEnvironment env = cups.childEnvironment();
    env.insert("VARLEN_WINDOW_LABELS_CHILD", QString::fromStdString(cups.prefix));
    std::string failure;
    test::PrivateCups::runChild(env, "WindowTest.PrintLabelsPrintsTheSheetsPagesAsOneJob", &failure);
    ASSERT_TRUE(failure.empty()) << failure;
    ASSERT_TRUE(cups.waitForJobs()) << "the job stuck in the queue";
    const std::vector<std::string> pdfs = test::filesStartingWith(cups.outDir, cups.prefix);
    ASSERT_EQ(pdfs.size(), 1u) << "cups-pdf wrote no file for the job in " << cups.outDir;
    const std::string info = test::runProcess({"/usr/bin/pdfinfo", pdfs[0]}).out;
    EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("(A4)"), std::string::npos) << info;

    // The last cell of the first page, the first of the second.
    TSheetRun run;
    run.sheet = *FindSheet("L7160");
    run.copies = 2;
    run.skip = 20;
    const double px = 300 / 25.4;
    for (int copy = 0; copy < 2; ++copy) {
        SCOPED_TRACE("copy " + std::to_string(copy));
        const TSheetCell cell = SheetCellOf(run, 0, copy);
        const std::vector<test::Ink> ink = test::inkOnPage(
            pdfs[0], int(cell.page) + 1, 300,
            {{int(cell.left * px), int(cell.top * px), int((cell.left + run.sheet.cellWidth) * px),
              int((cell.top + run.sheet.cellHeight) * px)}},
            cups.dir);
        ASSERT_EQ(ink.size(), 1u);
        ASSERT_FALSE(ink[0].empty()) << "nothing in the cell";
        EXPECT_NEAR((ink[0].barsLeft + ink[0].barsRight) / 2.0, (cell.left + run.sheet.cellWidth / 2) * px, 0.3 * px);
        EXPECT_GE(ink[0].top, (cell.top + kSheetPadding) * px - 1) << "clear of the cell's top edge";
        std::string read;
        for (const char* pure : {"-1", "-ispure"})
            read += test::runProcess({"/usr/bin/ZXingReader", "-1", pure, cups.dir + "/ink0.png"}).out;
        EXPECT_NE(read.find("\"4006381333931\""), std::string::npos) << read;
    }
}
