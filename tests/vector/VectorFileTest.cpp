// SPDX-License-Identifier: MIT
// SVG, PDF and EPS files judged by programs that are not ours: rsvg-convert, poppler and
// Ghostscript render them at 300 dots per inch, ZXingReader decodes them, and the bars are measured
// on the page at their physical size. Colours and transparency are read back with PIL.
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <QImage>
#include <QTransform>

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "support/PrivateCups.h"
#include "support/RecordingCanvas.h"
#include "support/RunProcess.h"
#include "support/ScratchFolder.h"
#include "vector/Vector.h"

namespace varlen {
namespace {

using test::runProcess;

constexpr int kRaster = 300;  // the renderers' dots per inch
constexpr double kPixelMM = 25.4 / kRaster;

const char* extensionOf(TVectorFormat format) {
    return format == TVectorFormat::Svg ? ".svg" : format == TVectorFormat::Pdf ? ".pdf" : ".eps";
}

std::string writeVector(const test::ScratchFolder& dir, const std::string& stem, TVectorFormat format,
                        const TVectorSource& source, const TVectorOptions& options = {}) {
    const std::string file = dir.file(stem + extensionOf(format));
    const std::vector<std::uint8_t> bytes = VectorFileBytes(format, source, options);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return file;
}

// The file rendered by the format's own tool into <file>.png, with alpha where the tool has it.
std::string render(TVectorFormat format, const std::string& file, bool alpha = false) {
    const std::string png = file + ".png", dpi = std::to_string(kRaster);
    std::vector<std::string> command;
    if (format == TVectorFormat::Svg) command = {"rsvg-convert", "-d", dpi, "-p", dpi, "-o", png, file};
    if (format == TVectorFormat::Pdf)
        command = alpha ? std::vector<std::string>{"pdftocairo", "-r", dpi, "-png", "-transp", "-singlefile", file, file}
                        : std::vector<std::string>{"pdftoppm", "-r", dpi, "-png", "-singlefile", file, file};
    if (format == TVectorFormat::Eps)
        command = {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop", "-r" + dpi, "-sDEVICE=pngalpha",
                   "-sOutputFile=" + png, file};
    const test::ProcessResult r = runProcess(command);
    EXPECT_EQ(r.exitCode, 0) << command[0] << ": " << r.err;
    return png;
}

std::string decode(const std::string& png) {
    const std::string out = runProcess({"ZXingReader", "-1", png}).out;
    const auto open = out.find('"'), close = out.rfind('"');
    return open != std::string::npos && close > open ? out.substr(open + 1, close - open - 1) : "";
}

using test::darkRuns;

// A rendered page as it shows on white paper: a renderer that rounds the page up to whole pixels
// leaves the rest transparent.
QImage onPaper(const std::string& png) {
    QImage page = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qAlpha(page.pixel(x, y)) < 128) page.setPixel(x, y, 0xFFFFFFFF);
    return page;
}

// A page turned back by the symbol's quarter turns, its top at the top.
QImage upright(const QImage& page, btCodeRotate rotation) {
    return page.transformed(QTransform().rotate(90.0 * int(rotation)));
}

struct SymbolRow {
    btCodeTypes type;
    const char* caption;
    btCodeSizes size;
    btCodeRotate rotation;
    const char* decoded;  // what ZXingReader reads; nullptr: no reader here knows the symbology
};

const SymbolRow kSymbols[] = {
    {EAN_8, "4711234", SC2, rotate_000, "47112346"},
    {EAN_13, "400638133393", SC2, rotate_000, "4006381333931"},
    {UPC_A, "03600029145", SC4, rotate_000, "036000291452"},
    {UPC_E, "0123456", SC2, rotate_000, "00123457"},
    {CODE39, "VARLEN", SC2, rotate_000, "VARLEN"},
    {CODE25i, "123456", SC3, rotate_000, "123456"},
    {CODE25iP, "1234567", SC2, rotate_000, "12345678"},
    {CODE128_A, "VARLEN", SC2, rotate_000, "VARLEN"},
    {CODE128_B, "Varlen-15", SC1, rotate_000, "Varlen-15"},
    {CODE128_C, "123456", SC2, rotate_000, "123456"},
    {MSI_Plessey, "12345", SC2, rotate_000, nullptr},
    {Codabar, "A1234B", SC2, rotate_000, "1234"},
    {Postnet, "12345", SC2, rotate_000, nullptr},
    {Postnet_FIM, "A", SC2, rotate_000, nullptr},
    // Text turned with the bars: the glyphs' escapement on every writer.
    {EAN_13, "400638133393", SC2, rotate_090, "4006381333931"},
    {CODE128_B, "Varlen-15", SC2, rotate_180, "Varlen-15"},
    {CODE39, "VARLEN", SC2, rotate_270, "VARLEN"},
};

// The bars a row through the symbol crosses, from the module row.
int barsOf(const TSymbol& symbol) {
    if (symbol.Kind == TBarKind::PostnetHeights) return symbol.BarCount();  // every entry is a bar, tall or short
    int bars = 0;
    for (int i = 0; i < symbol.BarCount(); ++i)
        bars += symbol.Modules[i] && (symbol.Kind == TBarKind::FimPositions || i == 0 || !symbol.Modules[i - 1]);
    return bars;
}

TEST(VectorFile, EverySymbologyInEveryFormatDecodesAtPhysicalSize) {
    test::ScratchFolder dir;
    for (const SymbolRow& row : kSymbols) {
        TBarcodeParams params;
        params.CodeType = row.type;
        std::snprintf(params.Caption, sizeof params.Caption, "%s", row.caption);
        params.ModuleWidth = row.size;
        params.Rotation = row.rotation;
        const TSymbol symbol = Encode(params);
        const TRenderParams renderParams = RenderParamsOf(params);
        const TVectorSource source = VectorSourceOf(symbol, renderParams);
        const TSize drawn = source.DrawnSize(1200);
        const bool postal = symbol.Kind != TBarKind::Modules;
        // Postal bars have their own fixed widths: 0.020 inch, and 1/32 inch for the FIM.
        const double moduleMM = symbol.Kind == TBarKind::PostnetHeights ? 0.508
                                : postal                               ? 25.4 / 32
                                                                       : double(ModuleWidthMM(renderParams));
        for (TVectorFormat format : {TVectorFormat::Svg, TVectorFormat::Pdf, TVectorFormat::Eps}) {
            const std::string stem = std::to_string(row.type) + "-" + std::to_string(row.rotation);
            SCOPED_TRACE(stem + extensionOf(format));
            const QImage page = onPaper(render(format, writeVector(dir, stem, format, source)));
            ASSERT_FALSE(page.isNull());
            if (row.decoded) {
                EXPECT_EQ(decode(dir.file(stem + extensionOf(format) + ".png")), row.decoded);
            }

            // The page: the drawn size and a margin of 1/48 inch on every side (EPS in whole points).
            const double width = (drawn.cx + 50) / 1200.0 * 72, height = (drawn.cy + 50) / 1200.0 * 72;
            const double slack = format == TVectorFormat::Eps ? kRaster / 72.0 : 0;
            EXPECT_NEAR(page.width(), width / 72 * kRaster, 1 + slack);
            EXPECT_NEAR(page.height(), height / 72 * kRaster, 1 + slack);

            // A row through the bars just below their top; for Postnet, whose short bars stand at
            // the foot of the tall ones (1/8 inch), the row there that crosses the most.
            const QImage bars = upright(page, row.rotation);
            int top = 0;
            while (top < bars.height() && darkRuns(bars, top).empty()) ++top;
            int y = top + 3;
            for (int at = top; symbol.Kind == TBarKind::PostnetHeights && at < top + kRaster / 8; ++at)
                if (darkRuns(bars, at).size() >= darkRuns(bars, y).size()) y = at;
            const auto runs = darkRuns(bars, y);
            EXPECT_EQ(int(runs.size()), barsOf(symbol)) << "row " << y;
            int narrowest = 1 << 30;
            for (const auto& [from, to] : runs) narrowest = std::min(narrowest, to - from);
            // Within a pixel of the nominal width, and half a dot for the layout's whole dots.
            EXPECT_NEAR(narrowest * kPixelMM, moduleMM, kPixelMM + 25.4 / 1200 / 2);
        }
    }
}

// What PIL reads of a rendered page: its size, mode and the colour of its corner, and the colour
// that covers most of what differs from the corner (the bars).
struct Pixels {
    std::string mode;
    int width = 0, height = 0;
    int corner[4] = {};
    int ink[4] = {};
};

Pixels readWithPil(const std::string& png) {
    const char* script =
        "import sys\nfrom PIL import Image\nfrom collections import Counter\n"
        "im = Image.open(sys.argv[1]).convert('RGBA')\nc = im.getpixel((0, 0))\n"
        "ink = Counter(p for p in im.getdata() if p != c).most_common(1)[0][0]\n"
        "print(Image.open(sys.argv[1]).mode, *im.size, *c, *ink)\n";
    const test::ProcessResult r = runProcess({"/usr/bin/python3", "-c", script, png});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    Pixels p;
    std::istringstream(r.out) >> p.mode >> p.width >> p.height >> p.corner[0] >> p.corner[1] >> p.corner[2] >> p.corner[3] >> p.ink[0] >>
        p.ink[1] >> p.ink[2] >> p.ink[3];
    return p;
}

TEST(VectorFile, ColoursAndTransparentBackground) {
    test::ScratchFolder dir;
    TBarcodeParams params;
    params.CodeType = EAN_13;
    std::snprintf(params.Caption, sizeof params.Caption, "400638133393");
    struct Row {
        const char* stem;
        bool transparent;
        TColor foreground, background;
        int corner[4];
        int ink[4];
    } rows[] = {
        // The symbol's colours, and the page's ground in its background (0x00BBGGRR).
        {"coloured", false, 0x402010, 0x80FFFF, {255, 255, 128, 255}, {16, 32, 64, 255}},
        // Nothing under the symbol: the corner is transparent, the bars opaque black, and the
        // page as large as with a background (its margin and quiet zones included).
        {"clear", true, clBlack, clWhite, {0, 0, 0, 0}, {0, 0, 0, 255}},
        // A transparent page keeps its colour for the bars.
        {"clearblue", true, 0xFF0000, clWhite, {0, 0, 0, 0}, {0, 0, 255, 255}},
        // Light bars on a dark ground stay as asked: neither colour is taken for the other.
        {"inverse", false, clWhite, clBlack, {0, 0, 0, 255}, {255, 255, 255, 255}},
    };
    std::map<TVectorFormat, std::pair<int, int>> sizes;
    for (const Row& row : rows) {
        params.Foreground = row.foreground;
        params.Background = row.background;
        params.TransparentBackground = row.transparent;
        const TVectorSource source = VectorSourceOf(Encode(params), RenderParamsOf(params));
        TVectorOptions options;
        options.TransparentBackground = row.transparent;
        options.Background = row.background;
        for (TVectorFormat format : {TVectorFormat::Svg, TVectorFormat::Pdf, TVectorFormat::Eps}) {
            SCOPED_TRACE(std::string(row.stem) + extensionOf(format));
            const Pixels p = readWithPil(render(format, writeVector(dir, row.stem, format, source, options), true));
            EXPECT_EQ(p.mode, "RGBA");
            if (!sizes.count(format)) sizes[format] = {p.width, p.height};
            EXPECT_EQ(std::make_pair(p.width, p.height), sizes[format]);
            for (int i = 0; i < 4; ++i) {
                // Where nothing is painted, only the alpha counts.
                if (i == 3 || !row.transparent) {
                    EXPECT_EQ(p.corner[i], row.corner[i]) << "corner channel " << i;
                }
                EXPECT_EQ(p.ink[i], row.ink[i]) << "ink channel " << i;
            }
        }
    }
}

// The symbol's text is in the files as text (PDF, EPS: an embedded subset of the face) or as
// outlines (SVG), and every renderer shows the same page.
TEST(VectorFile, TextIsEmbeddedAndRendersTheSameEverywhere) {
    test::ScratchFolder dir;
    TBarcodeParams params;
    params.CodeType = UPC_A;
    std::snprintf(params.Caption, sizeof params.Caption, "03600029145");
    const TVectorSource source = VectorSourceOf(Encode(params), RenderParamsOf(params));
    const std::string pdf = writeVector(dir, "t", TVectorFormat::Pdf, source);
    std::string text = runProcess({"pdftotext", pdf, "-"}).out;
    std::erase_if(text, [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
    EXPECT_EQ(text, "036000291452");
    const std::string fonts = runProcess({"pdffonts", pdf}).out;
    EXPECT_NE(fonts.find("LiberationSans"), std::string::npos) << fonts;  // what fontconfig gives for Arial
    EXPECT_NE(fonts.find(" yes yes yes "), std::string::npos) << fonts;  // embedded, a subset, with Unicode
    const std::string eps = writeVector(dir, "t", TVectorFormat::Eps, source);
    EXPECT_NE(test::readFile(eps).find("%%BeginResource: font LiberationSans"), std::string::npos);
    const std::string svg = test::readFile(writeVector(dir, "t", TVectorFormat::Svg, source));
    EXPECT_EQ(svg.find("<text"), std::string::npos);
    EXPECT_NE(svg.find("<use xlink:href=\"#glyph"), std::string::npos);

    // The same page from all three: every dark pixel of one has a dark pixel at most two pixels
    // away in the other (renderers round edges differently, and Ghostscript paints every pixel a
    // fill touches), so no glyph is missing, added or misplaced.
    const auto dark = [](const QImage& page, int x, int y) {
        return x >= 0 && y >= 0 && x < page.width() && y < page.height() && qGray(page.pixel(x, y)) < 128;
    };
    const auto near = [&](const QImage& page, int x, int y) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (dark(page, x + dx, y + dy)) return true;
        return false;
    };
    // Against the PDF: the SVG, the EPS, and the page of a sheet's document (the PDF writer of
    // documents of many pages), the label drawn on it where the PDF has it.
    const auto sameEverywhere = [&](const std::string& stem, const TVectorSource& source) {
        const int dpi = TVectorOptions{}.Dpi, margin = dpi / 48;  // the PDF's own
        const TSize size = source.DrawnSize(dpi);
        TPdfPagesOptions options;
        options.Dpi = dpi;
        options.PageWidthMM = (size.cx + 2.0 * margin) * 25.4 / dpi;
        options.PageHeightMM = (size.cy + 2.0 * margin) * 25.4 / dpi;
        std::ofstream sheet(dir.file(stem + "-sheet.pdf"), std::ios::binary);
        const std::unique_ptr<TPdfPages> pages = OpenPdfPages(
            options, [&sheet](const void* data, std::size_t n) { sheet.write(static_cast<const char*>(data), std::streamsize(n)); });
        source.Draw(pages->BeginPage(), margin, margin);
        pages->Finish();
        sheet.close();
        const QImage reference = onPaper(render(TVectorFormat::Pdf, dir.file(stem + ".pdf")));
        for (const std::string& other : {stem + ".svg", stem + ".eps", stem + "-sheet.pdf"}) {
            const TVectorFormat format = other.back() == 'g' ? TVectorFormat::Svg : other.back() == 's' ? TVectorFormat::Eps : TVectorFormat::Pdf;
            const QImage page = onPaper(render(format, dir.file(other)));
            int differ = 0;
            for (int y = 0; y < reference.height(); ++y)
                for (int x = 0; x < reference.width(); ++x)
                    differ += (dark(reference, x, y) && !near(page, x, y)) || (dark(page, x, y) && !near(reference, x, y));
            EXPECT_EQ(differ, 0) << other;
        }
    };
    sameEverywhere("t", source);
    // Turned text, and lines of a label under the symbol's own.
    params.Rotation = rotate_090;
    const TVectorSource turned =
        VectorSourceOf(Encode(params), RenderParamsOf(params), TTextLines{{"Apple juice", "1.99 EUR"}, 8});
    for (TVectorFormat format : {TVectorFormat::Svg, TVectorFormat::Pdf, TVectorFormat::Eps})
        writeVector(dir, "r", format, turned);
    sameEverywhere("r", turned);
}

// The surface as the renderer sees it: resolution, character cells, fills with the far edges
// excluded and corners in any order, in exact dots at the page's resolution.
TEST(VectorFile, SurfaceKeepsTheRenderersContract) {
    test::ScratchFolder dir;
    TVectorSource source;
    source.DrawnSize = [](int) { return TSize{100, 60}; };
    source.Draw = [](TCanvas& canvas, int x, int y) {
        EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSX), kRaster);
        EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSY), kRaster);
        EXPECT_EQ(canvas.GetMapMode(), MM_TEXT);
        for (int h : {8, 13, 27, 100}) {
            canvas.SetFontHeight(h);
            EXPECT_EQ(canvas.TextHeight("Ay"), h);
        }
        canvas.SetBrushColor(clBlack);
        canvas.FillRect({x + 30, y + 20, x + 10, y + 5});  // reversed on both axes
        canvas.FillRect({x + 40, y + 5, x + 41, y + 6});    // one dot
        canvas.FillRect({x + 50, y + 5, x + 50, y + 30});   // empty
    };
    TVectorOptions options;
    options.Dpi = kRaster;
    options.MarginDots = 7;
    const std::string pdf = writeVector(dir, "s", TVectorFormat::Pdf, source, options);
    // Edges on whole pixels come out sharp from poppler's anti-aliasing renderer (its other one
    // widens fills by a pixel).
    ASSERT_EQ(runProcess({"pdftoppm", "-r", "300", "-gray", "-png", "-singlefile", pdf, dir.file("s")}).exitCode, 0);
    const QImage page(QString::fromStdString(dir.file("s.png")));
    ASSERT_EQ(page.size(), QSize(114, 74));
    std::string dark;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128) dark += std::to_string(x) + "," + std::to_string(y) + " ";
    std::string expected;
    for (int y = 12; y < 27; ++y) {
        for (int x = 17; x < 37; ++x) expected += std::to_string(x) + "," + std::to_string(y) + " ";
        if (y == 12) expected += "47,12 ";
    }
    EXPECT_EQ(dark, expected);
}

// The window's Print page: A4, the symbol's top-left corner 200/200 dots from the paper's corner.
TEST(VectorFile, PrintPlacementIsTheWindowsPage) {
    test::ScratchFolder dir;
    TBarcodeParams params;
    params.CodeType = CODE128_B;
    std::snprintf(params.Caption, sizeof params.Caption, "Varlen");
    const TVectorSource source = VectorSourceOf(Encode(params), RenderParamsOf(params));
    TVectorOptions options;
    options.Dpi = kRaster;
    options.PrintPlacement = true;
    const std::string pdf = writeVector(dir, "a4", TVectorFormat::Pdf, source, options);
    EXPECT_NE(runProcess({"pdfinfo", pdf}).out.find("Page size:       595.276 x 841.89 pts (A4)"), std::string::npos);
    test::RecordingCanvas layout(kRaster, kRaster);
    source.Draw(layout, 200, 200);
    ASSERT_EQ(runProcess({"pdftoppm", "-r", "300", "-gray", "-aa", "no", "-aaVector", "no", "-png", "-singlefile", "-W",
                          "1200", "-H", "900", pdf, dir.file("a4")}).exitCode, 0);
    const QImage page(QString::fromStdString(dir.file("a4.png")));
    int top = 0;
    while (darkRuns(page, top).empty()) ++top;
    EXPECT_EQ(top, layout.fills.front().rect.Top);
    EXPECT_EQ(darkRuns(page, top).front().first, layout.fills.front().rect.Left);
}

// An error of the renderer reaches the caller as it was raised, through the module; the module's
// own errors name the file.
TEST(VectorFile, ErrorsKeepTheirTypeAndText) {
    TVectorSource source;
    source.DrawnSize = [](int) { return TSize{10, 10}; };
    source.Draw = [](TCanvas&, int, int) { throw EOverflow("BarcoLL: Code128 error"); };
    try {
        VectorFileBytes(TVectorFormat::Pdf, source);
        FAIL() << "no error";
    } catch (const EOverflow& e) {
        EXPECT_STREQ(e.what(), "BarcoLL: Code128 error");
    }
    source.DrawnSize = nullptr;
    TVectorOptions options;
    options.Name = "label.svg";
    try {
        VectorFileBytes(TVectorFormat::Svg, source, options);
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "label.svg: the barcode's size is not known");
    }
}

// A document of many pages as readers see it: every page of the paper's size, the text of each
// page on that page (escaped characters and Latin-1 letters included), nothing poppler has to mend;
// a sink that fails stops the document with its own error. An SVG defines each inked glyph once.
TEST(VectorFile, DocumentsOfManyPagesAndGlyphsDefinedOnce) {
    test::ScratchFolder dir;
    const std::string pdf = dir.file("pages.pdf");
    {
        std::ofstream out(pdf, std::ios::binary);
        TPdfPagesOptions options;
        options.PageWidthMM = 100;
        options.PageHeightMM = 50;
        options.Dpi = 300;
        const std::unique_ptr<TPdfPages> pages = OpenPdfPages(
            options, [&out](const void* data, std::size_t n) { out.write(static_cast<const char*>(data), std::streamsize(n)); });
        for (const char* text : {"Page (1) \\ a", "Seite 2: \xe4\xf6\xfc \xdf"}) {
            TCanvas& page = pages->BeginPage();
            page.SetBrushColor(clBlack);
            page.FillRect({30, 30, 60, 300});
            page.SetFontHeight(-40);
            page.TextOutA(100, 100, text);
        }
        pages->Finish();
    }
    const test::ProcessResult info = runProcess({"pdfinfo", pdf});
    EXPECT_EQ(info.err, "");
    EXPECT_NE(info.out.find("Pages:           2\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Page size:       283.465 x 141.732 pts"), std::string::npos) << info.out;
    for (const auto& [page, text] : {std::pair{"1", "Page (1) \\ a"}, std::pair{"2", "Seite 2: \xc3\xa4\xc3\xb6\xc3\xbc \xc3\x9f"}}) {
        const test::ProcessResult read = runProcess({"pdftotext", "-f", page, "-l", page, pdf, "-"});
        EXPECT_EQ(read.err, "");
        EXPECT_NE(read.out.find(text), std::string::npos) << page << ": " << read.out;
    }

    TPdfPagesOptions named;
    named.Name = "labels.pdf";
    bool full = false;  // the disk, once the document has begun
    const std::unique_ptr<TPdfPages> failing = OpenPdfPages(named, [&full](const void*, std::size_t) {
        if (full) throw EInOutError("labels.pdf: No space left on device");
    });
    full = true;
    try {
        failing->BeginPage().TextOutA(0, 0, "x");
        failing->EndPage();
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "labels.pdf: No space left on device");
    }

    TBarcodeParams params;
    params.CodeType = EAN_13;
    std::snprintf(params.Caption, sizeof params.Caption, "400638133393");
    const std::vector<std::uint8_t> bytes = VectorFileBytes(TVectorFormat::Svg, VectorSourceOf(Encode(params), RenderParamsOf(params)));
    const std::string svg(bytes.begin(), bytes.end());
    const auto count = [&svg](const std::string& what) {
        int n = 0;
        for (std::size_t at = svg.find(what); at != std::string::npos; at = svg.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("<path id=\"glyph"), 7);  // the digits 4 0 6 3 8 1 9, none twice
    EXPECT_EQ(count("<use "), 13);
}

// A program whose module is not where it looks: a clear error for PDF and EPS, not a crash, and
// SVG, which needs no module, still written.
TEST(VectorFile, WithoutTheModuleTheErrorSaysSo) {
    if (std::getenv("VARLEN_MODULELESS_CHILD")) {
        const TVectorSource source = VectorSourceOf(Encode(TBarcodeParams{}), RenderParamsOf(TBarcodeParams{}));
        const std::vector<std::uint8_t> svg = VectorFileBytes(TVectorFormat::Svg, source);
        EXPECT_EQ(std::string(svg.begin(), svg.end()).rfind("<?xml", 0), 0u);
        for (TVectorFormat format : {TVectorFormat::Pdf, TVectorFormat::Eps}) {
            try {
                VectorFileBytes(format, source);
                ADD_FAILURE() << "no error";
            } catch (const EInOutError& e) {
                EXPECT_EQ(std::string(e.what()).rfind("PDF and EPS output is not available: ", 0), 0u) << e.what();
            }
        }
        return;
    }
    test::ScratchFolder dir;
    std::filesystem::create_directory(dir.file("bin"));
    const std::string copy = dir.file("bin/vector_tests");
    std::filesystem::copy_file("/proc/self/exe", copy);
    const test::ProcessResult r = runProcess({"/usr/bin/env", "VARLEN_MODULELESS_CHILD=1", copy,
                                              "--gtest_filter=VectorFile.WithoutTheModuleTheErrorSaysSo"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace varlen
