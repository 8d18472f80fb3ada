// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "ImagingSupport.h"
#include "control/Barcode.h"
#include "engine/DataRules.h"
#include "imaging/BarcodeImage.h"
#include "imaging/DibConvert.h"
#include "imaging/GIFImage.h"
#include "imaging/ReadBack.h"
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

// The read-back of every pixel layout a picture reaches it in, the same answer on four threads at
// once as on one: the thread's own memory and the module loaded once are shared by nobody else.
TEST(BarcodeReadBack, EveryPixelLayoutReadsOnAnyThread) {
    TBarcodeParams params;
    params.CodeType = EAN_13;
    params.QuietZones = true;
    StoreCaption(params, "400638133393");
    TBarcodeParams transparent = params;
    transparent.TransparentBackground = true;
    transparent.Foreground = 0x663300;  // 003366, dark in red light
    TBarcodeParams turned = params;
    turned.Rotation = rotate_090;
    const struct {
        const char* layout;
        TBarcodeParams params;
        std::function<TDib(TBarcodeImage&)> picture;
    } rows[] = {
        {"8-bit grey ramp", params, [](TBarcodeImage& i) { return i.MagnifiedBitmap(2, false, 2, true)->GetDIBits(); }},
        {"24 bits, a quarter turn", turned, [](TBarcodeImage& i) { return i.MagnifiedBitmap(2, false, 2)->GetDIBits(); }},
        {"32 bits on a transparent ground", transparent,
         [](TBarcodeImage& i) { return i.MagnifiedBitmap(2, false, 2)->GetDIBits(); }},
        {"1 bit", params, [](TBarcodeImage& i) { return i.MagnifiedBitmap(2, true, 2)->GetDIBits(); }},
        {"8-bit halftone palette", params, [](TBarcodeImage& i) { return ToHalftone8(i.MagnifiedBitmap(2, false, 2)->View()); }},
        {"4 bits, two pixels a byte", params,
         [](TBarcodeImage& i) {
             std::unique_ptr<TBitmap> bitmap = i.MagnifiedBitmap(2, false, 2);
             bitmap->SetPixelFormat(pf4bit);
             return bitmap->GetDIBits();
         }},
    };
    std::vector<TDib> pictures;
    for (const auto& r : rows) {
        TBarcodeImage image(r.params);
        pictures.push_back(r.picture(image));
        const TReadBack check = ReadBack(pictures.back(), 96, 2, r.params);
        EXPECT_EQ(check.Message, "") << r.layout;
        EXPECT_EQ(check.Warning, "") << r.layout;
        EXPECT_EQ(check.Read, "4006381333931") << r.layout;
    }
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                const std::size_t i = static_cast<std::size_t>(t + round) % pictures.size();
                if (ReadBack(pictures[i], 96, 2, rows[i].params).Read != "4006381333931") ++wrong;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace varlen
