// SPDX-License-Identifier: MIT
// Bitmaps: white when new or enlarged, the pixel formats and their conversions, the DIB layout.
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "raster/Bitmap.h"
#include "support/ScratchFolder.h"

using namespace varlen;

namespace {

// Colour of a pixel as 0xRRGGBB, whatever the format.
unsigned pixelAt(const TBitmap& bitmap, int x, int y) {
    const TDibView view = bitmap.View();
    std::vector<std::uint8_t> rgb(std::size_t(view.width) * 3);
    DibRowToRGB(view, y, rgb.data());
    return unsigned(rgb[3 * x]) << 16 | unsigned(rgb[3 * x + 1]) << 8 | rgb[3 * x + 2];
}

}  // namespace

TEST(Bitmap, NewAndEnlargedAreaIsWhiteInEveryFormat) {
    for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf24bit, pf32bit}) {
        TBitmap bitmap;
        bitmap.SetPixelFormat(format);
        bitmap.SetSize(10, 10);
        EXPECT_EQ(pixelAt(bitmap, 9, 9), 0xFFFFFFu) << format << ": new bitmap";
        bitmap.Canvas().SetBrushColor(clBlack);
        bitmap.Canvas().FillRect({0, 0, 10, 10});
        bitmap.SetWidth(23);
        bitmap.SetHeight(17);
        ASSERT_EQ(bitmap.Width(), 23);
        ASSERT_EQ(bitmap.Height(), 17);
        EXPECT_EQ(bitmap.PixelFormat(), format);
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 23; ++x) {
                const unsigned expected = (x < 10 && y < 10) ? 0u : 0xFFFFFFu;
                ASSERT_EQ(pixelAt(bitmap, x, y), expected) << format << " at " << x << "," << y;
            }
        bitmap.SetSize(4, 3);  // shrinking keeps the top-left corner
        EXPECT_EQ(pixelAt(bitmap, 3, 2), 0u) << format;
    }
}

TEST(Bitmap, MonochromeIsOneBitBlackAndWhite) {
    TBitmap bitmap(13, 5);
    bitmap.Canvas().SetBrushColor(clBlack);
    bitmap.Canvas().FillRect({2, 0, 5, 5});
    bitmap.Canvas().SetBrushColor(0x404040);  // dark grey becomes black, light grey white
    bitmap.Canvas().FillRect({6, 0, 7, 5});
    bitmap.Canvas().SetBrushColor(0xC0C0C0);
    bitmap.Canvas().FillRect({8, 0, 9, 5});
    bitmap.SetMonochrome(true);
    EXPECT_TRUE(bitmap.Monochrome());
    const TDib dib = bitmap.GetDIBits();
    ASSERT_EQ(dib.bitCount, 1);
    ASSERT_EQ(dib.colors.size(), 2u);
    EXPECT_EQ(dib.colors[0], (RGBQuad{0, 0, 0, 0}));
    EXPECT_EQ(dib.colors[1], (RGBQuad{255, 255, 255, 0}));
    EXPECT_EQ(dib.stride(), 4);
    // Bit 1 is white: columns 2..4 and 6 black, the rest white; most significant bit first.
    for (int y = 0; y < 5; ++y) {
        EXPECT_EQ(dib.row(y)[0], 0b11000101) << y;
        EXPECT_EQ(dib.row(y)[1], 0b11111000) << y;
    }
    // Drawing on a monochrome bitmap keeps it one bit deep.
    bitmap.Canvas().SetBrushColor(clBlack);
    bitmap.Canvas().FillRect({12, 0, 13, 5});
    EXPECT_EQ(bitmap.GetDIBits().row(0)[1], 0b11110000);
    bitmap.SetMonochrome(false);
    EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
    EXPECT_EQ(pixelAt(bitmap, 12, 0), 0u);
}

TEST(Bitmap, HalftonePaletteHoldsBlackWhiteAndTheCube) {
    const auto& palette = HalftonePalette();
    ASSERT_EQ(palette.size(), 256u);
    EXPECT_EQ(palette[0], (RGBQuad{0, 0, 0, 0}));
    EXPECT_EQ(palette[215], (RGBQuad{255, 255, 255, 0}));
    EXPECT_EQ(palette[36 * 5], (RGBQuad{0, 0, 255, 0})) << "entry 36 r + 6 g + b: pure red";
    std::set<unsigned> distinct;
    for (const RGBQuad& q : palette) distinct.insert(q.rgbRed << 16 | q.rgbGreen << 8 | q.rgbBlue);
    EXPECT_EQ(distinct.size(), 256u) << "no entry is wasted";
}

TEST(Bitmap, EightBitConversionKeepsBlackAndWhiteExact) {
    TBitmap bitmap(20, 4);
    bitmap.Canvas().SetBrushColor(clBlack);
    bitmap.Canvas().FillRect({0, 0, 7, 4});
    bitmap.Canvas().SetBrushColor(0x0000FF);  // pure red is in the cube
    bitmap.Canvas().FillRect({7, 0, 9, 4});
    bitmap.SetPixelFormat(pf8bit);
    const TDib dib = bitmap.GetDIBits();
    ASSERT_EQ(dib.bitCount, 8);
    ASSERT_EQ(dib.colors.size(), 256u);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 20; ++x) {
            const int expected = x < 7 ? 0 : x < 9 ? 180 : 215;
            ASSERT_EQ(dib.row(y)[x], expected) << x << "," << y;
        }
    // Drawing on an 8-bit bitmap maps onto its palette.
    bitmap.Canvas().SetBrushColor(clBlack);
    bitmap.Canvas().FillRect({19, 0, 20, 4});
    EXPECT_EQ(bitmap.ScanLine(3)[19], 0);
    EXPECT_EQ(bitmap.ScanLine(3)[18], 215);
}

TEST(Bitmap, DibRowsAreBottomUpAndPadded) {
    TBitmap bitmap(3, 2);
    bitmap.Canvas().SetBrushColor(0x123456);  // 0xBBGGRR
    bitmap.Canvas().FillRect({0, 0, 1, 1});
    const TDib dib = bitmap.GetDIBits();
    ASSERT_EQ(dib.bitCount, 24);
    EXPECT_EQ(dib.stride(), 12);
    ASSERT_EQ(dib.bits.size(), 24u);
    // The top-left pixel is the first of the second stored row, blue first.
    EXPECT_EQ(dib.bits[12], 0x12);
    EXPECT_EQ(dib.bits[13], 0x34);
    EXPECT_EQ(dib.bits[14], 0x56);
    EXPECT_EQ(dib.bits[0], 0xFF);
    EXPECT_EQ(dib.xPelsPerMeter, 3780) << "96 dots per inch";
    EXPECT_EQ(bitmap.ScanLine(0)[0], 0x12) << "scan lines share the layout";
}

TEST(Bitmap, AssignCopiesAndDibRoundTripsInEveryFormat) {
    TBitmap original(9, 3);
    original.Canvas().SetBrushColor(clBlack);
    original.Canvas().FillRect({1, 1, 4, 2});
    TBitmap copy;
    copy.Assign(original);
    original.Canvas().FillRect({0, 0, 9, 3});
    EXPECT_EQ(pixelAt(copy, 0, 0), 0xFFFFFFu) << "a copy, not a share";
    EXPECT_EQ(pixelAt(copy, 2, 1), 0u);
    for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf24bit, pf32bit}) {
        TBitmap b(copy);
        b.SetPixelFormat(format);
        const TDib dib = b.GetDIBits();
        const TBitmap back(dib);
        EXPECT_EQ(back.PixelFormat(), format);
        const TDib again = back.GetDIBits();
        EXPECT_EQ(again.bits, dib.bits) << format;
        EXPECT_EQ(again.colors, dib.colors) << format;
        EXPECT_EQ(pixelAt(back, 2, 1), 0u) << format;
        EXPECT_EQ(pixelAt(back, 0, 0), 0xFFFFFFu) << format;
    }
}

TEST(Bitmap, SavesAndLoadsWindowsBitmapFilesWithThePalette) {
    const test::ScratchFolder dir;
    for (TPixelFormat format : {pf1bit, pf8bit, pf24bit}) {
        TBitmap bitmap(11, 7);
        bitmap.Canvas().SetBrushColor(clBlack);
        bitmap.Canvas().FillRect({3, 2, 6, 7});
        bitmap.SetPixelFormat(format);
        const std::string file = dir.file("b.bmp");
        bitmap.SaveToFile(file);
        TBitmap loaded;
        loaded.LoadFromFile(file);
        EXPECT_EQ(loaded.PixelFormat(), format);
        EXPECT_EQ(loaded.GetPaletteEntries(), bitmap.GetPaletteEntries());
        EXPECT_EQ(loaded.GetDIBits().bits, bitmap.GetDIBits().bits);
        EXPECT_EQ(pixelAt(loaded, 3, 2), 0u);
        EXPECT_EQ(pixelAt(loaded, 2, 2), 0xFFFFFFu);
    }
}

TEST(Bitmap, SurfaceOutlivesResizesAndMeasuresWhileEmpty) {
    {
        // The export's pattern: measure on the empty bitmap, resize, draw through the same surface.
        TBitmap bitmap;
        EXPECT_EQ(bitmap.Canvas().GetDeviceCaps(LOGPIXELSX), kDefaultDpi);
        bitmap.SetResolution(120, 144);
        TCanvas& canvas = bitmap.Canvas();
        EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSX), 120);
        EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSY), 144);
        canvas.SetFontHeight(13);
        EXPECT_EQ(canvas.TextHeight("Ay"), 13);
        canvas.SetMapMode(MM_ANISOTROPIC);
        canvas.SetWindowExtEx(10, 10);
        canvas.SetViewportExtEx(20, 20);
        bitmap.SetSize(8, 8);
        EXPECT_EQ(canvas.GetMapMode(), MM_TEXT) << "a resized bitmap starts with a fresh mapping";
        canvas.SetBrushColor(clBlack);
        canvas.FillRect({2, 2, 4, 4});
        EXPECT_EQ(pixelAt(bitmap, 3, 3), 0u);
        EXPECT_EQ(pixelAt(bitmap, 4, 4), 0xFFFFFFu);
        EXPECT_EQ(canvas.GetDeviceCaps(LOGPIXELSX), 120);
        EXPECT_EQ(bitmap.View().yPelsPerMeter, 5669) << "144 dpi recorded";
    }
}
