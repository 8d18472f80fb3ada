// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

extern "C" {
#include <jpeglib.h>
#include <jerror.h>
}

#include "ImagingSupport.h"
#include "imaging/jpeg.h"
#include "platform/Errors.h"

namespace varlen {
namespace {

using namespace varlen::test;

// What djpeg decodes a file to: its size, components and samples (top row first).
struct Decoded {
    int width = 0, height = 0, components = 0;
    std::vector<std::uint8_t> samples;
    std::string error;
    int at(int x, int y, int c = 0) const { return samples.at((std::size_t(y) * width + x) * components + c); }
};

Decoded Djpeg(const std::string& file) {
    Decoded d;
    const auto r = runShell("djpeg -pnm " + shellQuote(file));
    d.error = r.err;
    if (r.exitCode != 0) {
        d.error += " (status " + std::to_string(r.exitCode) + ")";
        return d;
    }
    int maxval = 0, consumed = 0;
    char magic[3] = {};
    if (std::sscanf(r.out.c_str(), "%2s %d %d %d%n", magic, &d.width, &d.height, &maxval, &consumed) != 4) {
        d.error += " unreadable header";
        return d;
    }
    d.components = std::string(magic) == "P6" ? 3 : 1;
    d.samples.assign(r.out.begin() + consumed + 1, r.out.end());
    if (d.samples.size() != std::size_t(d.width) * d.height * d.components) d.error += " short data";
    return d;
}

TEST(Jpeg, BarcodeDecodesNearBlackAndNearWhite) {
    // Widths with every remainder modulo 4, at 24 bits and as a palette bitmap.
    std::mt19937 rng(11);
    ScratchFolder dir;
    for (int extra = 0; extra < 4; ++extra)
        for (int bits : {24, 8}) {
            const std::string modules = RandomModules(rng, 40);
            const int scale = 6;
            // The bar pattern with the white right margin widened by 0..3 pixels.
            const TDib bars = BarPattern(modules, scale, 30, 4);
            TDib wide = MakeDib(bars.width + extra, bars.height, 24);
            std::fill(wide.bits.begin(), wide.bits.end(), 0xFF);
            for (int y = 0; y < bars.height; ++y)
                std::copy(bars.row(y), bars.row(y) + 3 * bars.width, wide.row(y));
            TDib input = wide;
            if (bits == 8) {
                input = MakeDib(wide.width, wide.height, 8);
                input.colors[1] = {255, 255, 255, 0};
                for (int y = 0; y < wide.height; ++y)
                    for (int x = 0; x < wide.width; ++x) SetIndex(input, x, y, wide.row(y)[3 * x] ? 1 : 0);
            }
            SCOPED_TRACE("width " + std::to_string(input.width) + ", " + std::to_string(bits) + " bits");
            TJPEGImage jpeg;
            jpeg.Assign(input);
            const std::string name = dir.file("bars.jpg");
            jpeg.SaveToFile(name);
            const Decoded d = Djpeg(name);
            ASSERT_EQ(d.error, "");
            EXPECT_EQ(d.width, input.width);
            EXPECT_EQ(d.height, input.height);
            EXPECT_EQ(d.components, 3);
            // The middle pixel of each module, in the middle row of the bars.
            for (std::size_t m = 0; m < modules.size(); ++m) {
                const int x = 4 + int(m) * scale + scale / 2;
                for (int c = 0; c < 3; ++c) {
                    if (modules[m] == '1')
                        EXPECT_LT(d.at(x, 19, c), 60) << "bar at module " << m;
                    else
                        EXPECT_GT(d.at(x, 19, c), 195) << "space at module " << m;
                }
            }
            EXPECT_GT(d.at(input.width - 1, 0), 240);  // the right margin stays white
        }
}

TEST(Jpeg, ColoursKeepTheirOrder) {
    // Blue comes before red in the bitmap; the file must still show red as red.
    struct Case {
        std::uint8_t r, g, b;
        const char* why;
    } cases[] = {{255, 0, 0, "red"}, {0, 0, 255, "blue"}, {0, 255, 0, "green"}};
    ScratchFolder dir;
    for (const auto& c : cases) {
        TDib dib = MakeDib(17, 9, 24);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 17; ++x) SetRGB(dib, x, y, c.r, c.g, c.b);
        TJPEGImage jpeg;
        jpeg.Assign(dib);
        jpeg.SaveToFile(dir.file("c.jpg"));
        const Decoded d = Djpeg(dir.file("c.jpg"));
        ASSERT_EQ(d.error, "");
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(d.at(8, 4, k), (&c.r)[k], 8) << c.why << " component " << k;
    }
}

TEST(Jpeg, SecondSaveWritesTheSameBytesWithoutCompressing) {
    std::mt19937 rng(3);
    TJPEGImage jpeg;
    jpeg.Assign(BarPattern(RandomModules(rng, 30), 2, 20, 2));
    std::vector<std::uint8_t> first, second;
    jpeg.SaveToStream(first);
    const std::uint8_t* data = jpeg.Data().Data.data();
    jpeg.SaveToStream(second);
    EXPECT_EQ(first, second);
    EXPECT_EQ(jpeg.Data().Data.data(), data) << "compressed again";
    // A copy shares the bytes; assigning a bitmap drops them.
    TJPEGImage copy;
    copy.Assign(jpeg);
    EXPECT_EQ(copy.Data().Data.data(), data);
    jpeg.Assign(BarPattern("101", 2, 4, 1));
    EXPECT_TRUE(jpeg.Empty());
    EXPECT_FALSE(copy.Empty());
}

TEST(Jpeg, HeaderSettings) {
    // Baseline (SOF0), JFIF density as asked, grey and progressive when switched on.
    struct Case {
        int density;
        bool grey, progressive;
        int units, xDensity;
        std::uint8_t sof;
        int components;
        const char* why;
    } cases[] = {
        {0, false, false, 0, 1, 0xC0, 3, "defaults: library density, baseline, colour"},
        {300, false, false, 1, 300, 0xC0, 3, "300 dots per inch"},
        {0, true, false, 0, 1, 0xC0, 1, "grey scale"},
        {0, false, true, 0, 1, 0xC2, 3, "progressive"},
    };
    for (const auto& c : cases) {
        TJPEGImage jpeg;
        jpeg.Density = c.density;
        jpeg.Grayscale = c.grey;
        jpeg.ProgressiveEncoding = c.progressive;
        jpeg.Assign(BarPattern("1101", 3, 8, 2));
        std::vector<std::uint8_t> f;
        jpeg.SaveToStream(f);
        ASSERT_GT(f.size(), 20u) << c.why;
        ASSERT_EQ(f[0], 0xFF);
        ASSERT_EQ(f[1], 0xD8);
        ASSERT_EQ(std::string(f.begin() + 6, f.begin() + 10), "JFIF") << c.why;
        EXPECT_EQ(f[13], c.units) << c.why;
        EXPECT_EQ((f[14] << 8) | f[15], c.xDensity) << c.why;
        EXPECT_EQ((f[16] << 8) | f[17], c.xDensity) << c.why;
        // Find the frame header.
        std::size_t p = 2;
        while (p + 4 < f.size() && !(f[p] == 0xFF && (f[p + 1] == 0xC0 || f[p + 1] == 0xC2)))
            p += 2 + ((f[p + 2] << 8) | f[p + 3]);
        ASSERT_LT(p + 9, f.size()) << c.why;
        EXPECT_EQ(f[p + 1], c.sof) << c.why;
        EXPECT_EQ(f[p + 9], c.components) << c.why;
    }
}

TEST(Jpeg, LibraryErrorBecomesEJPEG) {
    TJPEGImage jpeg;
    jpeg.Assign(MakeDib(70000, 1, 24));  // beyond the format's largest dimension
    ScratchFolder dir;
    try {
        jpeg.SaveToFile(dir.file("big.jpg"));
        FAIL();
    } catch (const EJPEG& e) {
        EXPECT_EQ(std::string(e.what()), "JPEG error #" + std::to_string(int(JERR_IMAGE_TOO_BIG)));
    }
    EXPECT_TRUE(dir.names().empty());
    // The image stays usable.
    jpeg.Assign(BarPattern("1", 1, 1, 0));
    std::vector<std::uint8_t> f;
    jpeg.SaveToStream(f);
    EXPECT_FALSE(f.empty());
}

TEST(Jpeg, EmptyBitmapGivesNoData) {
    TJPEGImage jpeg;
    std::vector<std::uint8_t> f;
    jpeg.SaveToStream(f);
    EXPECT_TRUE(f.empty());
    jpeg.Assign(MakeDib(0, 5, 24));
    jpeg.SaveToStream(f);
    EXPECT_TRUE(f.empty());
}

}  // namespace
}  // namespace varlen
