// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "ImagingSupport.h"
#include "imaging/GIFImage.h"
#include "imaging/Tiff.h"
#include "imaging/jpeg.h"
#include "platform/Metafile.h"
#include "raster/Bitmap.h"

namespace varlen {
namespace {

using namespace varlen::test;

// The writers fed the way the save command feeds them: a display-format bitmap loaded from the
// exported bitmap file (TIFF: converted to 8 bits first).
TBitmap ExportedBitmap(ScratchFolder& dir) {
    std::mt19937 rng(17);
    TBitmap exported(BarPattern(RandomModules(rng, 67), 3, 50, 6));
    const std::string bmp = dir.file("tmp.bmp");
    exported.SaveToFile(bmp);
    TBitmap loaded;
    loaded.LoadFromFile(bmp);
    return loaded;
}

TEST(SavePath, AllFourFormatsFromABitmap) {
    ScratchFolder dir;
    TBitmap bitmap = ExportedBitmap(dir);
    const TDib reference = bitmap.GetDIBits();
    ASSERT_EQ(reference.bitCount, 24);
    const int w = bitmap.Width(), h = bitmap.Height();

    TGIFImage gif;
    gif.Assign(bitmap);
    gif.SaveToFile(dir.file("b.gif"));
    TJPEGImage jpeg;
    jpeg.Assign(bitmap);
    jpeg.SaveToFile(dir.file("b.jpg"));
    TMetafile metafile;
    metafile.SetHeight(h);
    metafile.SetWidth(w);
    {
        TMetafileCanvas canvas(metafile);
        canvas.Draw(0, 0, bitmap.GetDIBits());
    }
    metafile.SaveToFile(dir.file("b.emf"));
    TBitmap eight(bitmap);
    eight.SetPixelFormat(pf8bit);
    WriteTiff(dir.file("b.tif"), eight);
    EXPECT_EQ(ReadFile(dir.file("b.tif")).size(), 1756u + std::size_t(w) * h);

    // Every file decodes to the same black and white picture.
    const auto pil = DecodeWithPIL({dir.file("b.gif"), dir.file("b.tif"), dir.file("b.jpg")}, "RGB");
    ASSERT_EQ(pil.exitCode, 0) << pil.err;
    for (const char* name : {"b.gif", "b.tif", "b.jpg"}) {
        SCOPED_TRACE(name);
        const auto raw = ReadFile(dir.file(name) + ".raw");
        ASSERT_EQ(raw.size(), std::size_t(w) * h * 3);
        const int tolerance = std::strcmp(name, "b.jpg") == 0 ? 100 : 0;
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int want = reference.row(y)[3 * x];
                const int got = raw[(std::size_t(y) * w + x) * 3];
                if (std::abs(want - got) > tolerance) ++wrong;
            }
        EXPECT_EQ(wrong, 0);
    }
    EXPECT_EQ(runShell("emf2svg-conv -i " + shellQuote(dir.file("b.emf")) + " -o " + shellQuote(dir.file("b.svg"))).exitCode, 0);
}

TEST(SavePath, EmptyBitmapWritesNoTiff) {
    ScratchFolder dir;
    WriteTiff(dir.file("e.tif"), TBitmap());
    EXPECT_TRUE(dir.names().empty());
}

}  // namespace
}  // namespace varlen
