// SPDX-License-Identifier: MIT
// The PNG writer judged by programs that are not ours: pngcheck reads the form each picture was
// stored in (the smallest that holds it: 1-, 2- or 4-bit grey, a palette of 1 to 8 bits with its
// transparency, 8-bit grey, RGB, with alpha only where a pixel is not opaque), PIL gives back every
// pixel, which must be the bitmap's exactly, and zlib checks each stream and its checksum.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
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

// A 24- or 32-bit picture whose pixel (x, y) is colour(x, y) as 0xAARRGGBB (alpha kept at 32 bits).
TDib painted(int width, int height, int bits, const std::function<std::uint32_t(int, int)>& colour) {
    TDib dib = MakeDib(width, height, bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colour(x, y);
            SetRGB(dib, x, y, std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c));
            if (bits == 32) dib.row(y)[4 * x + 3] = std::uint8_t(c >> 24);
        }
    return dib;
}

// The bytes of the IDAT chunks inflated by zlib, which refuses a stream with a wrong checksum.
bool inflates(const std::vector<std::uint8_t>& png, std::size_t expected) {
    std::vector<std::uint8_t> idat;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = std::size_t(png[at]) << 24 | std::size_t(png[at + 1]) << 16 | std::size_t(png[at + 2]) << 8 | png[at + 3];
        if (std::string(png.begin() + std::ptrdiff_t(at) + 4, png.begin() + std::ptrdiff_t(at) + 8) == "IDAT")
            idat.insert(idat.end(), png.begin() + std::ptrdiff_t(at) + 8, png.begin() + std::ptrdiff_t(at + 8 + length));
        at += length + 12;
    }
    std::vector<std::uint8_t> raw(expected + 1);
    uLongf size = uLongf(raw.size());
    return ::uncompress(raw.data(), &size, idat.data(), uLong(idat.size())) == Z_OK && size == expected;
}

TEST(Png, EveryKindOfPictureInItsSmallestExactForm) {
    struct Row {
        const char* name;
        TDib dib;
        const char* form;   // as pngcheck names colour type and depth
        int magnify = 1;
    };
    TBitmap mono(30, 10);  // rows of 4 bytes, the last one partly padding
    mono.Canvas().SetBrushColor(clBlack);
    mono.Canvas().FillRect({3, 0, 9, 10});
    TBitmap greyMono;  // 29 pixels: the last byte of a doubled row is partly padding
    greyMono.SetGrey();
    greyMono.SetSize(29, 6);
    greyMono.Canvas().SetBrushColor(clBlack);
    greyMono.Canvas().FillRect({1, 0, 4, 6});
    greyMono.Canvas().FillRect({25, 2, 29, 4});
    TBitmap halftone = picture(false, true, false);
    halftone.SetPixelFormat(pf8bit);
    const auto grey = [](int v) { return 0xFF000000u | std::uint32_t(v) * 0x010101u; };
    std::vector<Row> rows = {
        {"black and white only", mono.GetDIBits(), "1-bit grayscale"},
        {"black and white, every pixel 3 x 3", mono.GetDIBits(), "1-bit grayscale", 3},
        {"black and white on the grey ramp, every pixel 2 x 2", greyMono.GetDIBits(), "1-bit grayscale", 2},
        {"grey text on the display format", picture(false, false, false).GetDIBits(), "8-bit grayscale"},
        {"grey text drawn on the grey ramp", picture(true, false, false).GetDIBits(), "8-bit grayscale"},
        {"four greys, each exact at 2 bits", painted(23, 7, 24, [&](int x, int) { return grey(85 * (x % 4)); }), "2-bit grayscale"},
        {"sixteen greys, each exact at 4 bits", painted(33, 5, 24, [&](int x, int) { return grey(17 * (x % 16)); }), "4-bit grayscale"},
        {"five greys a 4-bit grey cannot hold", painted(21, 5, 24, [&](int x, int) { return grey(10 * (x % 5) + 3); }), "4-bit palette"},
        {"two colours, neither black nor white", painted(19, 9, 24, [](int x, int y) { return (x + y) % 3 ? 0xFF336699u : 0xFFFFFFCCu; }), "1-bit palette"},
        {"three colours", painted(19, 9, 24, [](int x, int y) { return 0xFF000000u | std::uint32_t((x + y) % 3) * 0x403020u; }), "2-bit palette"},
        {"text in a colour: greys and the colour, fewer than 256", picture(false, true, false).GetDIBits(), "8-bit palette"},
        {"a palette picture", halftone.GetDIBits(), "8-bit palette"},
        {"more than 256 colours", painted(40, 20, 24, [](int x, int y) { return 0xFF000000u | std::uint32_t(x * 6) << 16 | std::uint32_t(y * 12) << 8 | 7; }), "24-bit RGB"},
        {"transparent, text in grey: a palette and its transparency", picture(false, false, true).GetDIBits(), "8-bit palette+trns"},
        {"transparent and two colours", painted(17, 5, 32, [](int x, int) { return x % 2 ? 0xFF000000u : 0x00FFFFFFu; }), "1-bit palette+trns"},
        {"transparent, more than 256 greys and opacities", painted(40, 20, 32, [](int x, int y) { return std::uint32_t(y * 12) << 24 | std::uint32_t(x * 6) * 0x010101u; }), "16-bit grayscale+alpha"},
        {"transparent, more than 256 colours", painted(40, 20, 32, [](int x, int y) { return std::uint32_t(y * 12 + 3) << 24 | std::uint32_t(x * 6) << 16 | 0x2040; }), "32-bit RGB+alpha"},
    };
    // Every picture written first: the readers look at all of them in one run each.
    ScratchFolder dir;
    std::vector<std::string> files;
    for (const Row& r : rows) {
        files.push_back(dir.file("p" + std::to_string(files.size()) + ".png"));
        const std::vector<std::uint8_t> png = EncodePng(r.dib, 3780, r.magnify);
        WriteFileAtomic(files.back(), png.data(), png.size());
        const int width = r.dib.width * r.magnify, height = r.dib.height * r.magnify;
        EXPECT_TRUE(inflates(png, std::size_t(height) * (1 + (std::size_t(width) * std::stoul(r.form) + 7) / 8))) << r.name;
    }
    std::vector<std::string> pngcheck = files;
    pngcheck.insert(pngcheck.begin(), "/usr/bin/pngcheck");
    const ProcessResult checked = runProcess(pngcheck);
    EXPECT_EQ(checked.exitCode, 0) << checked.out;
    const ProcessResult decoded = DecodeWithPIL(files, "RGBA");
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        SCOPED_TRACE(r.name);
        const int width = r.dib.width * r.magnify, height = r.dib.height * r.magnify;
        EXPECT_NE(checked.out.find(files[i] + " (" + std::to_string(width) + "x" + std::to_string(height) + ", " + r.form + ","),
                  std::string::npos)
            << checked.out;
        // What the bitmap holds, every pixel `magnify` times each way, as red, green, blue, alpha
        // (a transparent pixel's colour as it is stored: the writer keeps it).
        std::vector<std::uint8_t> rgb(std::size_t(r.dib.width) * 3), expected;
        for (int y = 0; y < height; ++y) {
            DibRowToRGB(r.dib, y / r.magnify, rgb.data());
            for (int x = 0; x < width; ++x) {
                const int sx = x / r.magnify;
                expected.insert(expected.end(), &rgb[3 * std::size_t(sx)], &rgb[3 * std::size_t(sx)] + 3);
                expected.push_back(r.dib.bitCount == 32 ? r.dib.row(y / r.magnify)[4 * sx + 3] : 255);
            }
        }
        EXPECT_EQ(ReadFile(files[i] + ".raw"), expected);
    }
}

}  // namespace
}  // namespace varlen
