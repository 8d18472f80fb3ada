// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "ImagingSupport.h"
#include "platform/Metafile.h"
#include "platform/Screen.h"

namespace varlen {
namespace {

using namespace varlen::test;

// The metafile as the save command makes it: size from the bitmap, the bitmap drawn at (0, 0).
TMetafile MetafileOf(const TDib& dib, const ScreenInfo& reference = {}) {
    TMetafile mf;
    mf.SetReferenceDevice(reference);
    mf.SetHeight(dib.height);
    mf.SetWidth(dib.width);
    TMetafileCanvas canvas(mf);
    canvas.Draw(0, 0, dib);
    canvas.Close();
    return mf;
}

TEST(Metafile, RecordLayout) {
    const TDib dib = BarPattern("1011", 3, 10, 2);  // 16 x 14, 24 bits
    const auto f = MetafileOf(dib, {96, 96, 1920, 1080}).SaveToBytes();

    ASSERT_GE(f.size(), 108u + 80 + 40 + dib.imageSize() + 20);
    // Header: type, size, bounds in pixels, frame in hundredths of a millimetre.
    EXPECT_EQ(Le32(f, 0), EMR_HEADER);
    EXPECT_EQ(Le32(f, 4), 108u);
    EXPECT_EQ(Le32(f, 8), 0u);
    EXPECT_EQ(Le32(f, 16), 15u);
    EXPECT_EQ(Le32(f, 20), 13u);
    EXPECT_EQ(Le32(f, 24), 0u);
    EXPECT_EQ(Le32(f, 32), 16u * 2540 / 96 - 1);
    EXPECT_EQ(Le32(f, 36), 14u * 2540 / 96 - 1);
    EXPECT_EQ(Le32(f, 40), 0x464D4520u);  // " EMF"
    EXPECT_EQ(Le32(f, 48), f.size());
    EXPECT_EQ(Le32(f, 52), 3u);  // header, bitmap, end of file
    EXPECT_EQ(Le32(f, 72), 1920u);
    EXPECT_EQ(Le32(f, 76), 1080u);
    // One EMR_STRETCHDIBITS at (0, 0) at the bitmap's size, source copy.
    EXPECT_EQ(Le32(f, 108), EMR_STRETCHDIBITS);
    const std::uint32_t recordSize = Le32(f, 112);
    EXPECT_EQ(recordSize, 80 + 40 + dib.imageSize());
    EXPECT_EQ(Le32(f, 108 + 24), 0u);
    EXPECT_EQ(Le32(f, 108 + 28), 0u);
    EXPECT_EQ(Le32(f, 108 + 40), 16u);
    EXPECT_EQ(Le32(f, 108 + 44), 14u);
    EXPECT_EQ(Le32(f, 108 + 68), 0x00CC0020u);
    EXPECT_EQ(Le32(f, 108 + 72), 16u);
    EXPECT_EQ(Le32(f, 108 + 76), 14u);
    EXPECT_TRUE(std::equal(dib.bits.begin(), dib.bits.end(), f.begin() + 108 + 80 + 40));
    // End of file.
    const std::size_t eof = 108 + recordSize;
    EXPECT_EQ(Le32(f, eof), EMR_EOF);
    EXPECT_EQ(Le32(f, eof + 4), 20u);
    EXPECT_EQ(Le32(f, eof + 16), 20u);
    EXPECT_EQ(eof + 20, f.size());
}

TEST(Metafile, NothingDrawnBeforeTheCanvasCloses) {
    TMetafile mf;
    mf.SetWidth(10);
    mf.SetHeight(10);
    {
        TMetafileCanvas canvas(mf);
        canvas.Draw(0, 0, BarPattern("1", 1, 1, 0));
        EXPECT_EQ(Le32(mf.SaveToBytes(), 52), 2u);
    }
    EXPECT_EQ(Le32(mf.SaveToBytes(), 52), 3u);  // destroying the canvas closes it
}

// The PNG inside the SVG that emf2svg-conv makes of a file, decoded by PIL to RGB.
TEST(Metafile, Emf2SvgShowsTheBitmap) {
    ScratchFolder dir;
    std::mt19937 rng(9);
    std::vector<TDib> dibs;
    dibs.push_back(BarPattern(RandomModules(rng, 31), 2, 12, 2));  // 24 bits
    {
        TDib mono = MakeDib(37, 7, 1);  // 1 bit, width not a multiple of 8
        mono.colors[1] = {255, 255, 255, 0};
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 37; ++x) SetIndex(mono, x, y, (x + y) % 3 == 0);
        dibs.push_back(mono);
    }
    {
        TDib pal = MakeDib(13, 5, 8);  // 8 bits with a colour table
        for (int i = 0; i < 256; ++i) pal.colors[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 3), 0};
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x) SetIndex(pal, x, y, (x * 19 + y * 7) & 0xFF);
        dibs.push_back(pal);
    }
    for (std::size_t i = 0; i < dibs.size(); ++i) {
        const TDib& dib = dibs[i];
        SCOPED_TRACE("bitmap " + std::to_string(i) + ", " + std::to_string(dib.bitCount) + " bits");
        const std::string emf = dir.file("m" + std::to_string(i) + ".emf");
        const std::string svg = dir.file("m" + std::to_string(i) + ".svg");
        MetafileOf(dib).SaveToFile(emf);
        const auto r = runShell("emf2svg-conv -i " + shellQuote(emf) + " -o " + shellQuote(svg));
        ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
        EXPECT_EQ(r.err, "");
        std::ifstream in(svg);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        const std::string marker = "data:image/png;base64,";
        const auto start = text.find(marker);
        ASSERT_NE(start, std::string::npos) << text.substr(0, 2000);
        const auto end = text.find('"', start);
        const std::string base64 = text.substr(start + marker.size(), end - start - marker.size());
        const std::string png = dir.file("m" + std::to_string(i) + ".png");
        ASSERT_EQ(runShell("echo " + shellQuote(base64) + " | base64 -d > " + shellQuote(png)).exitCode, 0);
        const auto pil = DecodeWithPIL({png}, "RGB");
        ASSERT_EQ(pil.exitCode, 0) << pil.err;
        EXPECT_NE(pil.out.find(" " + std::to_string(dib.width) + " " + std::to_string(dib.height) + "\n"), std::string::npos) << pil.out;
        const auto raw = ReadFile(png + ".raw");
        ASSERT_EQ(raw.size(), std::size_t(dib.width) * dib.height * 3);
        std::vector<std::uint8_t> rgb(std::size_t(dib.width) * 3);
        for (int y = 0; y < dib.height; ++y)
            for (int x = 0; x < dib.width; ++x) {
                RGBQuad q;
                if (dib.bitCount == 24) {
                    const std::uint8_t* p = dib.row(y) + 3 * x;
                    q = {p[0], p[1], p[2], 0};
                } else {
                    const std::uint8_t* row = dib.row(y);
                    const unsigned index = dib.bitCount == 8 ? row[x] : (row[x >> 3] >> (7 - (x & 7))) & 1;
                    q = dib.colors[index];
                }
                const std::size_t at = (std::size_t(y) * dib.width + x) * 3;
                ASSERT_EQ(raw[at], q.rgbRed) << x << "," << y;
                ASSERT_EQ(raw[at + 1], q.rgbGreen) << x << "," << y;
                ASSERT_EQ(raw[at + 2], q.rgbBlue) << x << "," << y;
            }
    }
}

}  // namespace
}  // namespace varlen
