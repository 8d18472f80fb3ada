// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <unistd.h>

#include "ImagingSupport.h"
#include "control/Barcode.h"
#include "imaging/GIFImage.h"
#include "imaging/jpeg.h"
#include "raster/Bitmap.h"

namespace varlen {
namespace {

using namespace varlen::test;

// ZXingReader -1 prints one line per symbol: <file> <format> "<text>".
std::string ZXingText(const std::string& file) {
    const auto r = runShell("/usr/bin/ZXingReader -1 " + shellQuote(file));
    const auto open = r.out.find('"');
    const auto close = r.out.rfind('"');
    return open != std::string::npos && close > open ? r.out.substr(open + 1, close - open - 1) : "";
}

TEST(BarcodeReadBack, JpegAndGifAtFactorThreeStillDecode) {
    if (::access("/usr/bin/ZXingReader", X_OK) != 0) GTEST_SKIP() << "ZXingReader is not installed (zxing-cpp-tools)";
    struct Case {
        btCodeTypes type;
        const char* caption;
        const char* text;
    } cases[] = {
        {EAN_13, "400638133393", "4006381333931"},
        {CODE128_B, "Varlen 2026", "Varlen 2026"},
        {CODE39, "ZIMVO", "ZIMVO"},
    };
    ScratchFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        TBarcode barcode;
        barcode.setBar_CodeType(c.type);
        barcode.setBar_Caption(c.caption);
        // The save command's first pass, then its second for JPEG and GIF.
        const std::string bmp = dir.file("~tmp.bmp");
        barcode.MagnifyBy(2, bmp, false, 3);
        TBitmap bitmap;
        bitmap.LoadFromFile(bmp);
        TJPEGImage jpeg;
        jpeg.Assign(bitmap);
        jpeg.SaveToFile(dir.file("code.jpg"));
        TGIFImage gif;
        gif.Assign(bitmap);
        gif.SaveToFile(dir.file("code.gif"));
        EXPECT_EQ(ZXingText(dir.file("code.jpg")), c.text);
        EXPECT_EQ(ZXingText(dir.file("code.gif")), c.text);
    }
}

}  // namespace
}  // namespace varlen
