// SPDX-License-Identifier: MIT
// The painter surface's own matters: its font is the desktop's Liberation Sans, the screen's
// resolution reaches the bitmaps, and vector devices report theirs. What every surface must do is
// checked on both surfaces in tests/raster/CanvasTest.cpp.
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QBuffer>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <gtest/gtest.h>

#include "platform/Canvas.h"
#include "platform/Screen.h"
#include "raster/Bitmap.h"
#include "platform/qt/QtCanvas.h"

using namespace varlen;

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
    EXPECT_NEAR(TQtCanvas::FaceCellPerEm("Arial"), 2288.0 / 2048.0, 0.002);
}

TEST(QtCanvas, ResolutionOfBitmapsAndDevices) {
    // Bitmaps report the resolution they are given, the headless one unless told.
    TBitmap bitmap(50, 40);
    EXPECT_EQ(bitmap.Canvas().GetDeviceCaps(LOGPIXELSX), kDefaultDpi);
    EXPECT_EQ(bitmap.Canvas().GetDeviceCaps(LOGPIXELSY), kDefaultDpi);
    bitmap.SetResolution(203, 300);
    EXPECT_EQ(bitmap.Canvas().GetDeviceCaps(LOGPIXELSX), 203);
    EXPECT_EQ(bitmap.Canvas().GetDeviceCaps(LOGPIXELSY), 300);
    // The window's screen, which the test main took from Qt's primary screen.
    EXPECT_EQ(Screen().logPixelsX, 96) << "the offscreen platform";
    // Filled from the primary screen by the test main, not left at the built-in defaults.
    ASSERT_NE(QGuiApplication::primaryScreen(), nullptr);
    EXPECT_EQ(Screen().width, QGuiApplication::primaryScreen()->geometry().width());
    EXPECT_EQ(Screen().height, QGuiApplication::primaryScreen()->geometry().height());
    EXPECT_EQ(bitmap.Canvas().GetDeviceCaps(HORZRES), 50);
    EXPECT_EQ(bitmap.Canvas().GetDeviceCaps(VERTRES), 40);
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
