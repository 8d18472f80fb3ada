// SPDX-License-Identifier: MIT
// The drawing surfaces: what the bar renderer relies on (cell heights, exact bar fills, rotated
// text, resolutions, mapping modes), checked on the pixels of both surfaces: the raster surface of
// every picture and the Qt painter of the screen and the printer.
#include <QImage>
#include <QPainter>

#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Screen.h"
#include "platform/qt/Clipboard.h"
#include "platform/qt/QtCanvas.h"
#include "raster/Bitmap.h"

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

// A white picture and a surface drawing on it.
class Surface {
public:
    virtual ~Surface() = default;
    virtual TCanvas& canvas() = 0;
    virtual QImage image() = 0;
};

class RasterSurface : public Surface {
public:
    RasterSurface(int width, int height, int dpiX, int dpiY) : bitmap_(width, height) {
        bitmap_.Canvas().SetResolution(dpiX, dpiY);
    }
    TCanvas& canvas() override { return bitmap_.Canvas(); }
    QImage image() override { return QtImage(bitmap_); }

private:
    TBitmap bitmap_;
};

class QtSurface : public Surface {
public:
    QtSurface(int width, int height, int dpiX, int dpiY) : image_(width, height, QImage::Format_RGB32) {
        image_.fill(Qt::white);
        painter_ = std::make_unique<QPainter>(&image_);
        canvas_ = std::make_unique<TQtCanvas>(painter_.get(), dpiX, dpiY, width, height);
    }
    TCanvas& canvas() override { return *canvas_; }
    QImage image() override { return image_.copy(); }

private:
    QImage image_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<TQtCanvas> canvas_;
};

class Surfaces : public ::testing::TestWithParam<std::string> {
protected:
    std::unique_ptr<Surface> make(int width, int height, int dpiX = 96, int dpiY = 96) const {
        if (GetParam() == "raster") return std::make_unique<RasterSurface>(width, height, dpiX, dpiY);
        return std::make_unique<QtSurface>(width, height, dpiX, dpiY);
    }
};

INSTANTIATE_TEST_SUITE_P(Both, Surfaces, ::testing::Values("raster", "qt"));

}  // namespace

TEST_P(Surfaces, FontCellHeightIsTheRequestedHeight) {
    // 600: a glyph too large to keep, drawn straight from its outline.
    for (int h : {8, 13, 17, 24, 40, 100, 600}) {
        const auto surface = make(h * 3, h * 2);
        TCanvas& canvas = surface->canvas();
        canvas.SetFontName("Arial");
        canvas.SetFontHeight(h);
        EXPECT_EQ(canvas.TextHeight("Ay"), h) << "height " << h;
        EXPECT_EQ(canvas.TextHeight("."), h) << "the cell, whatever the string";
        canvas.SetBkMode(TRANSPARENT);
        canvas.TextOutA(10, h / 2, "AyAy");
        // The ink of capitals and descenders lies within the cell and fills most of it: a font
        // sized by its em or its pixel size would hang below the cell.
        const Box ink = inkBox(surface->image());
        ASSERT_FALSE(ink.empty()) << h;
        EXPECT_GE(ink.top, h / 2) << h;
        EXPECT_LE(ink.bottom, h / 2 + h) << h;
        EXPECT_GE(ink.bottom - ink.top, h * 3 / 4) << h;
    }
    const auto surface = make(10, 10);
    surface->canvas().SetFontHeight(-11);  // a negative height is the em: 11 × 2288 / 2048 = 12.3
    EXPECT_EQ(surface->canvas().TextHeight("Ay"), 12);
}

TEST_P(Surfaces, FillRectIsExactBlackWithExclusiveEdges) {
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
        const auto surface = make(80, 80);
        TCanvas& canvas = surface->canvas();
        canvas.SetBrushColor(clBlack);
        canvas.FillRect(c.rect);
        const QImage image = surface->image();
        int grey = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 80; ++x) {
                const QRgb p = image.pixel(x, y) & 0xFFFFFF;
                const bool inside = x >= c.expected.left && x < c.expected.right && y >= c.expected.top && y < c.expected.bottom;
                if (p != (inside ? 0u : 0xFFFFFFu)) ++grey;
            }
        EXPECT_EQ(grey, 0) << c.why;
    }
    const auto surface = make(20, 20);
    surface->canvas().SetBrushStyle(bsClear);
    surface->canvas().SetBrushColor(clBlack);
    surface->canvas().FillRect({0, 0, 20, 20});
    EXPECT_TRUE(inkBox(surface->image()).empty()) << "a clear brush fills nothing";
}

TEST_P(Surfaces, EscapementTurnsTextCounterClockwiseAboutItsReferencePoint) {
    // The centred top edge of the string stays at the reference point; the body of the text lies
    // below it unturned, and turns with the escapement.
    struct Case {
        int escapement;
        const char* side;
    } cases[] = {{0, "below"}, {900, "right"}, {1800, "above"}, {2700, "left"}};
    for (const Case& c : cases) {
        const auto surface = make(300, 300);
        TCanvas& canvas = surface->canvas();
        canvas.SetTextAlign(TA_CENTER | TA_TOP);
        canvas.SetBkMode(TRANSPARENT);
        const HFONT font = canvas.CreateFontIndirect(TLogFont{30, c.escapement, "Arial"});
        const HFONT previous = canvas.SelectObject(font);
        EXPECT_EQ(canvas.TextHeight("Ay"), 30);
        canvas.TextOutA(150, 150, "MMMMMMb");
        canvas.SelectObject(previous);
        canvas.DeleteObject(font);
        const QImage image = surface->image();
        const Box ink = inkBox(image);
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
        auto darkAt = [&](int x, int y) { return (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF; };
        if (side == "right") {  // reads upward: the "b" at the top
            bool topStroke = false;
            for (int x = ink.left; x < ink.right; ++x) topStroke |= darkAt(x, ink.top + 2);
            EXPECT_TRUE(topStroke);
        }
    }
}

TEST_P(Surfaces, TextColourDefaultsToBlackAndOpaqueModePaintsTheCell) {
    const auto surface = make(200, 60);
    TCanvas& canvas = surface->canvas();
    canvas.SetFontHeight(20);
    canvas.SetBkColor(0x0000FF);  // red cell
    canvas.TextOutA(10, 10, "H");
    const QImage image = surface->image();
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

TEST_P(Surfaces, MappingModesPlaceFillsInDeviceDots) {
    // A 600-dpi surface: low metric 100..200 (10 mm to 20 mm) is 236.2..472.4 dots, y upward.
    struct Case {
        int mode;
        TRect rect;
        Box expected;
        const char* why;
        TSize window = {0, 0}, viewport = {0, 0};  // the extents of the scalable modes
    } cases[] = {
        {MM_TEXT, {100, 100, 200, 150}, {100, 100, 200, 150}, "dots"},
        {MM_LOMETRIC, {100, -100, 200, -200}, {236, 236, 472, 472}, "0.1 mm, y up"},
        {MM_HIMETRIC, {1000, -1000, 2000, -2000}, {236, 236, 472, 472}, "0.01 mm, y up"},
        {MM_LOENGLISH, {50, -50, 100, -75}, {300, 300, 600, 450}, "0.01 inch"},
        {MM_HIENGLISH, {500, -500, 1000, -750}, {300, 300, 600, 450}, "0.001 inch"},
        {MM_TWIPS, {720, -720, 1440, -1080}, {300, 300, 600, 450}, "1/1440 inch"},
        {MM_ANISOTROPIC, {10, -10, 20, -30}, {30, 20, 60, 60}, "whole scales 3 and -2", {1, 1}, {3, -2}},
        {MM_ANISOTROPIC, {10, -10, 21, -30}, {25, 20, 53, 60}, "2.5 across, halves rounded up", {2, 2}, {5, -4}},
        {MM_ISOTROPIC, {10, 10, 21, 20}, {15, 15, 32, 30}, "the smaller scale, 1.5, on both axes", {2, 2}, {3, 6}},
        {MM_ISOTROPIC, {10, -10, 21, -20}, {15, 15, 32, 30}, "the smaller scale, y up", {2, 2}, {3, -6}},
        {MM_ISOTROPIC, {10, -10, 20, -30}, {20, 20, 40, 60}, "the smaller scale whole, y up", {1, 1}, {4, -2}},
    };
    for (const Case& c : cases) {
        const auto surface = make(800, 800, 600, 600);
        TCanvas& canvas = surface->canvas();
        EXPECT_EQ(canvas.SetMapMode(c.mode), MM_TEXT);
        if (c.window.cx) {
            canvas.SetWindowExtEx(c.window.cx, c.window.cy);
            canvas.SetViewportExtEx(c.viewport.cx, c.viewport.cy);
        }
        canvas.SetBrushColor(clBlack);
        canvas.FillRect(c.rect);
        const Box ink = inkBox(surface->image());
        EXPECT_EQ(ink.left, c.expected.left) << c.why;
        EXPECT_EQ(ink.top, c.expected.top) << c.why;
        EXPECT_EQ(ink.right, c.expected.right) << c.why;
        EXPECT_EQ(ink.bottom, c.expected.bottom) << c.why;
    }
}

TEST_P(Surfaces, AnisotropicScaleMagnifiesFillsAndRendersTextLarger) {
    const int f = 3;
    auto draw = [&](int factor, Box* bar, Box* text) {
        const auto surface = make(200 * factor, 100 * factor);
        TCanvas& canvas = surface->canvas();
        canvas.SetMapMode(MM_ANISOTROPIC);
        const ScreenInfo screen;  // the extents the magnified export gives, the headless display's
        canvas.SetWindowExtEx(screen.width, screen.height);
        canvas.SetViewportExtEx(screen.width * factor, screen.height * factor);
        canvas.SetBrushColor(clBlack);
        canvas.FillRect({10, 10, 12, 15});
        *bar = inkBox(surface->image());
        canvas.SetFontName("Arial");
        canvas.SetFontHeight(13);
        EXPECT_EQ(canvas.TextHeight("Ay"), 13) << "extents stay in logical units";
        canvas.SetBkMode(TRANSPARENT);
        canvas.TextOutA(50, 40, "Ay");
        *text = inkBox(surface->image().copy(40 * factor, 30 * factor, 100 * factor, 60 * factor));
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

TEST_P(Surfaces, IsotropicModeKeepsTheAspect) {
    const auto surface = make(400, 400);
    TCanvas& canvas = surface->canvas();
    canvas.SetMapMode(MM_ISOTROPIC);
    canvas.SetWindowExtEx(100, 100);
    canvas.SetViewportExtEx(200, 400);  // the smaller scale, 2, serves both axes
    canvas.SetBrushColor(clBlack);
    canvas.FillRect({10, 10, 20, 20});
    const Box ink = inkBox(surface->image());
    EXPECT_EQ(ink.left, 20);
    EXPECT_EQ(ink.top, 20);
    EXPECT_EQ(ink.right, 40);
    EXPECT_EQ(ink.bottom, 40);
}

TEST_P(Surfaces, ReportTheResolutionTheyWereGiven) {
    const auto surface = make(100, 80, 600, 300);
    EXPECT_EQ(surface->canvas().GetDeviceCaps(LOGPIXELSX), 600);
    EXPECT_EQ(surface->canvas().GetDeviceCaps(LOGPIXELSY), 300);
    EXPECT_EQ(surface->canvas().GetDeviceCaps(HORZRES), 100);
    EXPECT_EQ(surface->canvas().GetDeviceCaps(VERTRES), 80);
}

// ---- the raster surface's own guarantees ----------------------------------------------------

namespace {

// Pixel (x, y) of a bitmap as 0xAARRGGBB (opaque formats: alpha 0xFF).
std::uint32_t argbAt(const TBitmap& bitmap, int x, int y) {
    const TDibView view = bitmap.View();
    std::vector<std::uint8_t> rgb(std::size_t(view.width) * 3);
    DibRowToRGB(view, y, rgb.data());
    const std::uint32_t alpha = view.bitCount == 32 ? view.row(y)[4 * x + 3] : 0xFF;
    return alpha << 24 | std::uint32_t(rgb[3 * x]) << 16 | std::uint32_t(rgb[3 * x + 1]) << 8 | rgb[3 * x + 2];
}

void drawText(TCanvas& canvas, int x, int y, int height, int escapement, const std::string& text) {
    canvas.SetBkMode(TRANSPARENT);
    canvas.SetTextAlign(TA_CENTER | TA_TOP);
    const HFONT font = canvas.CreateFontIndirect(TLogFont{height, escapement, "Arial"});
    const HFONT previous = canvas.SelectObject(font);
    canvas.TextOutA(x, y, text);
    canvas.SelectObject(previous);
    canvas.DeleteObject(font);
}

}  // namespace

TEST(RasterSurface, TurnedTextIsExactlyTheTurnedPicture) {
    // Upright text about the point (40, 20) of a 90 x 60 picture; a quarter turn counter-clockwise
    // takes pixel (x, y) to (y, 89 - x) of a 60 x 90 picture and the point to (20, 50).
    TBitmap flat(90, 60);
    drawText(flat.Canvas(), 40, 20, 17, 0, "Ay 19");
    struct Turn {
        int escapement, width, height, x, y;
        int (*u)(int, int), (*v)(int, int);  // where flat pixel (x, y) lands
    } turns[] = {
        {900, 60, 90, 20, 50, [](int, int y) { return y; }, [](int x, int) { return 89 - x; }},
        {1800, 90, 60, 50, 40, [](int x, int) { return 89 - x; }, [](int, int y) { return 59 - y; }},
        {2700, 60, 90, 40, 40, [](int, int y) { return 59 - y; }, [](int x, int) { return x; }},
    };
    for (const Turn& t : turns) {
        TBitmap turned(t.width, t.height);
        drawText(turned.Canvas(), t.x, t.y, 17, t.escapement, "Ay 19");
        int differing = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 90; ++x) differing += argbAt(flat, x, y) != argbAt(turned, t.u(x, y), t.v(x, y));
        EXPECT_EQ(differing, 0) << t.escapement;
    }
}

// Monochrome text has the ink and the ground only, upright and turned, on every target; on a
// surface magnified three times it is the text of the unmagnified surface, every dot 3 x 3 pixels
// (the PNG writer magnifies such a picture instead of drawing it large).
TEST(RasterSurface, MonochromeTextHasTwoColoursAndMagnifiesItsDots) {
    const struct {
        int escapement;
        bool grey, transparent;
        TColor ink;
    } rows[] = {
        {0, true, false, clBlack},  // the batch's grey picture
        {900, true, false, clBlack},
        {0, false, false, 0x663300},
        {2700, false, false, 0x663300},
        {0, false, true, 0x663300},  // over a transparent ground the ink is opaque
        {1800, false, true, clBlack},
    };
    const auto draw = [](TBitmap& bitmap, int factor, const auto& r) {
        if (r.grey) bitmap.SetGrey();
        bitmap.SetSize(70 * factor, 70 * factor);
        if (r.transparent) bitmap.SetTransparent();
        TRasterCanvas& canvas = bitmap.Canvas();
        canvas.SetMonoText(true);
        canvas.SetMapMode(MM_ANISOTROPIC);
        canvas.SetWindowExtEx(1, 1);
        canvas.SetViewportExtEx(factor, factor);
        canvas.SetTextColor(r.ink);
        drawText(canvas, 35, 35, 15, r.escapement, "Ag 19");
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.escapement) + (r.grey ? " grey" : r.transparent ? " transparent" : " colour"));
        TBitmap one, three;
        draw(one, 1, r);
        draw(three, 3, r);
        const std::uint32_t ink = 0xFF000000u | (r.ink & 0xFF) << 16 | (r.ink & 0xFF00) | (r.ink >> 16 & 0xFF);
        const std::uint32_t ground = r.transparent ? 0x00FFFFFFu : 0xFFFFFFFFu;
        int inked = 0, other = 0, differing = 0;
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 70; ++x) {
                const std::uint32_t c = argbAt(one, x, y);
                inked += c == ink;
                other += c != ink && c != ground;
                for (int k = 0; k < 9; ++k) differing += argbAt(three, 3 * x + k % 3, 3 * y + k / 3) != c;
            }
        EXPECT_GT(inked, 50);
        EXPECT_EQ(other, 0);
        EXPECT_EQ(differing, 0);
    }
}

TEST(RasterSurface, GreyPicturesHoldTheSamePixelsAndNoteAColour) {
    // Bars of every width from 1 to 20 pixels (each width has its own way of filling a grey
    // row), black text on white, and grey text over a grey field (the blend's rounding).
    TBitmap colour(300, 30), grey;
    grey.SetGrey();
    grey.SetSize(300, 30);
    for (TBitmap* b : {&colour, &grey}) {
        b->Canvas().SetBrushColor(clBlack);
        for (int w = 1, x = 0; w <= 20; x += w + 1, ++w) b->Canvas().FillRect({x, 3 + w % 3, x + w, 27});
        // A grey bar over the black ones, then a pixel set by hand and a bar across its row: rows
        // once equal are not assumed equal after the pixels were handed out.
        b->Canvas().SetBrushColor(0x808080);
        b->Canvas().FillRect({5, 10, 60, 20});
        if (b == &grey) b->ScanLine(15)[100] = 0;
        else std::memset(b->ScanLine(15) + 300, 0, 3);
        b->Canvas().SetBrushColor(clBlack);
        b->Canvas().FillRect({95, 5, 98, 25});
        drawText(b->Canvas(), 240, 5, 14, 0, "Ag7");
        b->Canvas().SetBrushColor(0xC0C0C0);
        b->Canvas().FillRect({200, 0, 240, 30});
        b->Canvas().SetTextColor(0x404040);
        drawText(b->Canvas(), 220, 2, 22, 0, "W8");
    }
    EXPECT_FALSE(grey.Canvas().DrewColour());
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 300; ++x) ASSERT_EQ(argbAt(grey, x, y), argbAt(colour, x, y)) << x << "," << y;
    // The squares of a module matrix, overlapping in two greys: a grey picture writes fills of few
    // rows a row at a time, and must keep the order they were drawn in.
    TBitmap squares(60, 60), greySquares;
    greySquares.SetGrey();
    greySquares.SetSize(60, 60);
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
        const int x = int(rng() % 56), y = int(rng() % 56), w = 1 + int(rng() % 6), h = 2 + int(rng() % 3);
        for (TBitmap* b : {&squares, &greySquares}) {
            b->Canvas().SetBrushColor(i % 3 ? clBlack : 0x808080);
            b->Canvas().FillRect({x, y, x + w, y + h});
        }
    }
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_EQ(argbAt(greySquares, x, y), argbAt(squares, x, y)) << x << "," << y;
    grey.Canvas().SetBrushColor(0x0000FF);
    grey.Canvas().FillRect({0, 0, 2, 2});
    EXPECT_TRUE(grey.Canvas().DrewColour()) << "red has no grey of its own";
}

TEST(RasterSurface, TextOnATransparentPictureKeepsItsColourAndFadesItsOpacity) {
    TBitmap bitmap(80, 30);
    bitmap.SetTransparent();
    bitmap.Canvas().SetTextColor(0x0000FF);  // red
    drawText(bitmap.Canvas(), 40, 5, 20, 0, "Mo");
    int partly = 0, covered = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            const std::uint32_t p = argbAt(bitmap, x, y);
            const std::uint32_t alpha = p >> 24;
            if (alpha == 0) {
                ASSERT_EQ(p, 0x00FFFFFFu) << "untouched: transparent white, at " << x << "," << y;
                continue;
            }
            ASSERT_EQ(p & 0xFFFFFF, 0xFF0000u) << "no white fringe at " << x << "," << y;
            partly += alpha < 255;
            covered += alpha == 255;
        }
    EXPECT_GT(partly, 10) << "anti-aliased edges are partly opaque";
    EXPECT_GT(covered, 10);
}

TEST(RasterSurface, ThreadsDrawTheSamePixelsAsOneThread) {
    // Each thread draws text at sizes no thread has drawn before, so they meet in the glyph cache
    // and in FreeType at the same time.
    auto draw = [](int height) {
        TBitmap bitmap(300, 60);
        drawText(bitmap.Canvas(), 150, 5, height, 0, "0123456789 Hg");
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 300; ++x) pixels.push_back(argbAt(bitmap, x, y));
        return pixels;
    };
    std::vector<std::vector<std::uint32_t>> threaded(4 * 12);
    {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < 12; ++i) threaded[std::size_t(t * 12 + i)] = draw(40 + i);
            });
        for (std::thread& thread : threads) thread.join();
    }
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 12; ++i) EXPECT_EQ(threaded[std::size_t(t * 12 + i)], draw(40 + i)) << t << " " << i;
}
