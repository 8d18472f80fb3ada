// SPDX-License-Identifier: MIT
// The PNG writer judged by PIL: every kind of picture it is given comes back pixel for pixel, in
// the smallest form that holds it (1-bit, grey, RGB, with alpha only where a pixel is not opaque).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImagingSupport.h"
#include "imaging/PngFile.h"
#include "platform/FileIO.h"
#include "raster/Bitmap.h"

namespace varlen {
namespace {

using namespace varlen::test;

// A bitmap with bars, a grey and a coloured square and text, drawn by the raster surface.
TBitmap picture(bool grey, bool colour, bool transparent) {
    TBitmap bitmap;
    if (grey) bitmap.SetGrey();
    bitmap.SetSize(61, 40);
    if (transparent) bitmap.SetTransparent();
    TCanvas& canvas = bitmap.Canvas();
    canvas.SetBrushColor(clBlack);
    for (int x = 2; x < 40; x += 5) canvas.FillRect({x, 2, x + 2, 25});
    if (colour) {
        canvas.SetBrushColor(0x2080C0);
        canvas.FillRect({44, 2, 58, 12});
    }
    canvas.SetBkMode(TRANSPARENT);
    canvas.SetFontHeight(12);
    canvas.TextOutA(3, 26, "Ag 19");
    return bitmap;
}

TEST(Png, EveryKindOfPictureComesBackExactly) {
    struct Row {
        const char* name;
        TBitmap bitmap;
        const char* mode;  // PIL's reading of the file
        int channels;      // of the raw pixels PIL gives
    };
    TBitmap mono(30, 10);  // rows of 4 bytes, the last one partly padding
    mono.Canvas().SetBrushColor(clBlack);
    mono.Canvas().FillRect({3, 0, 9, 10});
    TBitmap halftone = picture(false, true, false);
    halftone.SetPixelFormat(pf8bit);
    Row rows[] = {
        {"black and white only: one bit a pixel", mono, "1", 1},
        {"grey text on the display format", picture(false, false, false), "L", 1},
        {"grey text drawn on the grey ramp", picture(true, false, false), "L", 1},
        {"a colour", picture(false, true, false), "RGB", 3},
        {"transparent, grey", picture(false, false, true), "LA", 2},
        {"transparent, a colour", picture(false, true, true), "RGBA", 4},
        {"a palette picture", halftone, "RGB", 3},
    };
    ScratchFolder dir;
    for (Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string file = dir.file("p.png");
        const std::vector<std::uint8_t> png = EncodePng(r.bitmap.View(), 3780);
        WriteFileAtomic(file, png.data(), png.size());
        const ProcessResult decoded = DecodeWithPIL({file}, "keep");
        ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
        EXPECT_NE(decoded.out.find(std::string(" PNG ") + r.mode + " " + std::to_string(r.bitmap.Width()) + " " +
                                   std::to_string(r.bitmap.Height())),
                  std::string::npos)
            << decoded.out;
        const std::vector<std::uint8_t> raw = ReadFile(file + ".raw");
        // What the bitmap holds, as PIL lays it out.
        const TDibView view = r.bitmap.View();
        std::vector<std::uint8_t> rgb(std::size_t(view.width) * 3), expected;
        for (int y = 0; y < view.height; ++y) {
            DibRowToRGB(view, y, rgb.data());
            for (int x = 0; x < view.width; ++x) {
                const std::uint8_t* p = &rgb[3 * std::size_t(x)];
                const std::uint8_t alpha = view.bitCount == 32 ? view.row(y)[4 * x + 3] : 255;
                if (r.channels == 1 && std::string(r.mode) == "1") {
                    if (x % 8 == 0) expected.push_back(0);
                    if (p[0]) expected.back() |= std::uint8_t(0x80 >> (x % 8));
                } else if (r.channels <= 2) {
                    expected.push_back(p[0]);
                } else {
                    expected.insert(expected.end(), p, p + 3);
                }
                if (r.channels == 2 || r.channels == 4) expected.push_back(alpha);
            }
        }
        EXPECT_EQ(raw, expected);
    }
}

}  // namespace
}  // namespace varlen
