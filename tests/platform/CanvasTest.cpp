// The painter surface: what the bar renderer relies on (cell heights, exact bar fills, rotated
// text, resolutions, mapping modes) checked on the pixels it produces.
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QImage>
#include <QPainter>
#include <QBuffer>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <gtest/gtest.h>

#include "platform/Canvas.h"
#include "platform/Screen.h"
#include "platform/qt/Graphics.h"
#include "platform/qt/QtCanvas.h"

using namespace varlen;

namespace {

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // right / bottom exclusive
    bool empty() const { return right < 0; }
};

// Bounding box of every pixel that is not white.
Box inkBox(const QImage& image) {
    Box box;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            if ((rgb.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

}  // namespace

TEST(MulDiv, RoundsHalvesAwayFromZeroAndReportsFailures) {
    struct Case {
        int a, b, c, expected;
        const char* why;
    } cases[] = {
        {74, 0, 100, 0, "height 100 %: no reduction"},
        {74, 80, 100, 59, "59.2 rounds down"},
        {5, 1, 2, 3, "2.5 rounds away from zero"},
        {-5, 1, 2, -3, "-2.5 rounds away from zero"},
        {5, -1, 2, -3, "negative factor"},
        {5, 1, -2, -3, "negative divisor"},
        {-5, -1, -2, -3, "three negatives"},
        {7, 1, 3, 2, "2.33 rounds down"},
        {-7, 1, 3, -2, "-2.33 rounds toward zero"},
        {74, -100, 100, -74, "height 200 %: the reduction is negative"},
        {1, 1, 0, -1, "division by zero"},
        {0, 0, 0, -1, "division by zero, zero numerator"},
        {0x40000000, 4, 1, -1, "result beyond 32 bits"},
        {0x40000000, 4, 2, INT32_MIN == -0x7fffffff - 1 ? -1 : -1, "exactly 2^31 does not fit"},
        {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff, "64-bit intermediate"},
        {-0x7fffffff - 1, 1, 1, -0x7fffffff - 1, "the smallest integer fits"},
    };
    for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.why;
}

TEST(QtCanvas, ArialIsLiberationSans) {
    const QFont font = TQtCanvas::CellFont("Arial", 13, nullptr);
    EXPECT_EQ(QFontInfo(font).family().toStdString(), "Liberation Sans");
    // Liberation Sans: ascent 1854 + descent 434 font units on an em of 2048.
    EXPECT_NEAR(TQtCanvas::CellPerEm("Arial"), 2288.0 / 2048.0, 0.002);
}

TEST(QtCanvas, FontCellHeightIsTheRequestedHeight) {
    for (int h : {8, 13, 17, 24, 40, 100}) {
        TBitmap bitmap(400, 300);
        TCanvas& canvas = bitmap.Canvas();
        canvas.SetFontName("Arial");
        canvas.SetFontHeight(h);
        EXPECT_EQ(canvas.TextHeight("Ay"), h) << "height " << h;
        EXPECT_EQ(canvas.TextHeight("."), h) << "the cell, whatever the string";
        canvas.SetBkMode(TRANSPARENT);
        canvas.TextOutA(10, 50, "AyAy");
        // The ink of capitals and descenders lies within the cell and fills most of it: a font
        // sized by its em or its pixel size would hang below the cell.
        const Box ink = inkBox(bitmap.Image());
        ASSERT_FALSE(ink.empty()) << h;
        EXPECT_GE(ink.top, 50) << h;
        EXPECT_LE(ink.bottom, 50 + h) << h;
        EXPECT_GE(ink.bottom - ink.top, h * 3 / 4) << h;
    }
    TBitmap bitmap(10, 10);
    bitmap.Canvas().SetFontHeight(-11);  // a negative height is the em: 11 × 2288 / 2048 = 12.3
    EXPECT_EQ(bitmap.Canvas().TextHeight("Ay"), 12);
}

TEST(QtCanvas, FillRectIsExactBlackWithExclusiveEdges) {
    struct Case {
        TRect rect;
        Box expected;
        const char* why;
    } cases[] = {
        {{10, 20, 13, 60}, {10, 20, 13, 60}, "corners in order"},
        {{13, 60, 10, 20}, {10, 20, 13, 60}, "both axes reversed"},
        {{13, 20, 10, 60}, {10, 20, 13, 60}, "x reversed"},
        {{10, 60, 13, 20}, {10, 20, 13, 60}, "y reversed"},
        {{5, 5, 6, 6}, {5, 5, 6, 6}, "one pixel"},
        {{5, 5, 5, 9}, {}, "zero width fills nothing"},
        {{-4, -4, 3, 2}, {0, 0, 3, 2}, "clipped at the edge"},
    };
    for (const Case& c : cases) {
        TBitmap bitmap(80, 80);
        TCanvas& canvas = bitmap.Canvas();
        canvas.SetBrushColor(clBlack);
        canvas.FillRect(c.rect);
        const QImage image = bitmap.Image().convertToFormat(QImage::Format_RGB32);
        int grey = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 80; ++x) {
                const QRgb p = image.pixel(x, y) & 0xFFFFFF;
                const bool inside = x >= c.expected.left && x < c.expected.right && y >= c.expected.top && y < c.expected.bottom;
                if (p != (inside ? 0u : 0xFFFFFFu)) ++grey;
            }
        EXPECT_EQ(grey, 0) << c.why;
    }
    TBitmap bitmap(20, 20);
    bitmap.Canvas().SetBrushStyle(bsClear);
    bitmap.Canvas().SetBrushColor(clBlack);
    bitmap.Canvas().FillRect({0, 0, 20, 20});
    EXPECT_TRUE(inkBox(bitmap.Image()).empty()) << "a clear brush fills nothing";
}

TEST(QtCanvas, EscapementTurnsTextCounterClockwiseAboutItsReferencePoint) {
    // The centred top edge of the string stays at the reference point; the body of the text lies
    // below it unturned, and turns with the escapement.
    struct Case {
        int escapement;
        const char* side;
    } cases[] = {{0, "below"}, {900, "right"}, {1800, "above"}, {2700, "left"}};
    for (const Case& c : cases) {
        TBitmap bitmap(300, 300);
        TCanvas& canvas = bitmap.Canvas();
        canvas.SetTextAlign(TA_CENTER | TA_TOP);
        canvas.SetBkMode(TRANSPARENT);
        const HFONT font = canvas.CreateFontIndirect(TLogFont{30, c.escapement, "Arial"});
        const HFONT previous = canvas.SelectObject(font);
        EXPECT_EQ(canvas.TextHeight("Ay"), 30);
        canvas.TextOutA(150, 150, "MMMMMMb");
        canvas.SelectObject(previous);
        canvas.DeleteObject(font);
        const Box ink = inkBox(bitmap.Image());
        ASSERT_FALSE(ink.empty()) << c.side;
        const int cx = (ink.left + ink.right) / 2, cy = (ink.top + ink.bottom) / 2;
        const std::string side = c.side;
        if (side == "below" || side == "above") {
            EXPECT_NEAR(cx, 150, 3) << side << ": centred";
            EXPECT_GT(ink.right - ink.left, ink.bottom - ink.top) << side << ": runs across";
            if (side == "below") EXPECT_GE(ink.top, 150); else EXPECT_LE(ink.bottom, 150);
        } else {
            EXPECT_NEAR(cy, 150, 3) << side << ": centred";
            EXPECT_GT(ink.bottom - ink.top, ink.right - ink.left) << side << ": runs up or down";
            if (side == "right") EXPECT_GE(ink.left, 150); else EXPECT_LE(ink.right, 150);
        }
        // The tall "b" at the end of the string tells the reading direction.
        const QImage image = bitmap.Image().convertToFormat(QImage::Format_RGB32);
        auto darkAt = [&](int x, int y) { return (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF; };
        if (side == "right") {  // reads upward: the "b" at the top
            bool topStroke = false;
            for (int x = ink.left; x < ink.right; ++x) topStroke |= darkAt(x, ink.top + 2);
            EXPECT_TRUE(topStroke);
        }
    }
}

TEST(QtCanvas, TextColourDefaultsToBlackAndOpaqueModePaintsTheCell) {
    TBitmap bitmap(200, 60);
    TCanvas& canvas = bitmap.Canvas();
    canvas.SetFontHeight(20);
    canvas.SetBkColor(0x0000FF);  // red cell
    canvas.TextOutA(10, 10, "H");
    const QImage image = bitmap.Image().convertToFormat(QImage::Format_RGB32);
    int red = 0, black = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            const QRgb p = image.pixel(x, y) & 0xFFFFFF;
            red += p == 0xFF0000;
            black += p == 0;
        }
    EXPECT_GT(red, 20);
    EXPECT_GT(black, 5);
}

TEST(QtCanvas, ResolutionOfBitmapsAndDevices) {
    TBitmap bitmap(50, 40);
    EXPECT_EQ(bitmap.Canvas().GetDeviceCaps(LOGPIXELSX), Screen().logPixelsX);
    EXPECT_EQ(bitmap.Canvas().GetDeviceCaps(LOGPIXELSY), Screen().logPixelsY);
    EXPECT_EQ(Screen().logPixelsX, 96) << "the offscreen platform";
    // Filled from the primary screen by the test main, not left at the built-in defaults.
    ASSERT_NE(QGuiApplication::primaryScreen(), nullptr);
    EXPECT_EQ(Screen().width, QGuiApplication::primaryScreen()->geometry().width());
    EXPECT_EQ(Screen().height, QGuiApplication::primaryScreen()->geometry().height());
    EXPECT_EQ(bitmap.Canvas().GetDeviceCaps(HORZRES), 50);
    EXPECT_EQ(bitmap.Canvas().GetDeviceCaps(VERTRES), 40);

    QImage image(100, 80, QImage::Format_RGB32);
    QPainter painter(&image);
    TQtCanvas canvas(&painter, 600, 300, 100, 80);
    EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSX), 600);
    EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSY), 300);
}

TEST(QtCanvas, MappingModesPlaceFillsInDeviceDots) {
    // A 600-dpi surface: low metric 100..200 (10 mm to 20 mm) is 236.2..472.4 dots, y upward.
    struct Case {
        int mode;
        TRect rect;
        Box expected;
        const char* why;
    } cases[] = {
        {MM_TEXT, {100, 100, 200, 150}, {100, 100, 200, 150}, "dots"},
        {MM_LOMETRIC, {100, -100, 200, -200}, {236, 236, 472, 472}, "0.1 mm, y up"},
        {MM_HIMETRIC, {1000, -1000, 2000, -2000}, {236, 236, 472, 472}, "0.01 mm, y up"},
        {MM_LOENGLISH, {50, -50, 100, -75}, {300, 300, 600, 450}, "0.01 inch"},
        {MM_HIENGLISH, {500, -500, 1000, -750}, {300, 300, 600, 450}, "0.001 inch"},
        {MM_TWIPS, {720, -720, 1440, -1080}, {300, 300, 600, 450}, "1/1440 inch"},
    };
    for (const Case& c : cases) {
        QImage image(800, 800, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            TQtCanvas canvas(&painter, 600, 600, 800, 800);
            EXPECT_EQ(canvas.SetMapMode(c.mode), MM_TEXT);
            canvas.SetBrushColor(clBlack);
            canvas.FillRect(c.rect);
        }
        const Box ink = inkBox(image);
        EXPECT_EQ(ink.left, c.expected.left) << c.why;
        EXPECT_EQ(ink.top, c.expected.top) << c.why;
        EXPECT_EQ(ink.right, c.expected.right) << c.why;
        EXPECT_EQ(ink.bottom, c.expected.bottom) << c.why;
    }
}

TEST(QtCanvas, AnisotropicScaleMagnifiesFillsAndRendersTextLarger) {
    const int f = 3;
    auto draw = [&](int factor, Box* bar, Box* text) {
        TBitmap bitmap(200 * factor, 100 * factor);
        TCanvas& canvas = bitmap.Canvas();
        canvas.SetMapMode(MM_ANISOTROPIC);
        canvas.SetWindowExtEx(Screen().width, Screen().height);
        canvas.SetViewportExtEx(Screen().width * factor, Screen().height * factor);
        canvas.SetBrushColor(clBlack);
        canvas.FillRect({10, 10, 12, 15});
        *bar = inkBox(bitmap.Image());
        canvas.SetFontName("Arial");
        canvas.SetFontHeight(13);
        EXPECT_EQ(canvas.TextHeight("Ay"), 13) << "extents stay in logical units";
        canvas.SetBkMode(TRANSPARENT);
        canvas.TextOutA(50, 40, "Ay");
        const QImage image = bitmap.Image().copy(40 * factor, 30 * factor, 100 * factor, 60 * factor);
        *text = inkBox(image);
    };
    Box bar1, text1, bar3, text3;
    draw(1, &bar1, &text1);
    draw(f, &bar3, &text3);
    EXPECT_EQ(bar3.left, 30);
    EXPECT_EQ(bar3.top, 30);
    EXPECT_EQ(bar3.right, 36);
    EXPECT_EQ(bar3.bottom, 45);
    // Text drawn by the font engine at three times the height: the ink is about three times as
    // tall (not pixel-exact: the small size is hinted).
    const int h1 = text1.bottom - text1.top, h3 = text3.bottom - text3.top;
    EXPECT_NEAR(h3, 3 * h1, 3);
    // Within the magnified cell: the crop starts 30 logical units down.
    EXPECT_GE(text3.top + 30 * f, 40 * f);
    EXPECT_LE(text3.bottom + 30 * f, (40 + 13) * f);
}

TEST(QtCanvas, IsotropicModeKeepsTheAspect) {
    QImage image(400, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TQtCanvas canvas(&painter, 96, 96, 400, 400);
        canvas.SetMapMode(MM_ISOTROPIC);
        canvas.SetWindowExtEx(100, 100);
        canvas.SetViewportExtEx(200, 400);  // the smaller scale, 2, serves both axes
        canvas.SetBrushColor(clBlack);
        canvas.FillRect({10, 10, 20, 20});
    }
    const Box ink = inkBox(image);
    EXPECT_EQ(ink.left, 20);
    EXPECT_EQ(ink.top, 20);
    EXPECT_EQ(ink.right, 40);
    EXPECT_EQ(ink.bottom, 40);
}

TEST(QtCanvas, VectorDevicesReportTheirOwnResolution) {
    QPdfWriter pdf("/dev/null");
    pdf.setResolution(1200);
    {
        TQtCanvas canvas(&pdf);
        EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSX), 1200);
        EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSY), 1200);
    }
    QBuffer buffer;
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setResolution(300);
    svg.setSize(QSize(600, 300));
    {
        TQtCanvas canvas(&svg);
        EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSX), 300);
        canvas.SetBrushColor(clBlack);
        canvas.FillRect({10, 20, 40, 80});
        canvas.SetFontHeight(30);
        canvas.TextOutA(100, 100, "Caf\xe9");  // Latin-1 bytes
    }
    const QString document = QString::fromUtf8(buffer.data());
    EXPECT_TRUE(document.contains("Caf\u00e9")) << document.toStdString();
    EXPECT_TRUE(document.contains("#000000")) << "the black bar";
}
