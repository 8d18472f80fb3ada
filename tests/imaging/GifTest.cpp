// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <random>

#include "ImagingSupport.h"
#include "imaging/DibConvert.h"
#include "imaging/GIFImage.h"
#include "platform/Errors.h"

namespace varlen {
namespace {

using namespace varlen::test;

// A plain GIF reader for one-frame files, written from the format's description, so that the
// tests can look at the code stream itself (code widths, clear codes) besides the pixels.
struct DecodedGif {
    std::string version;
    int screenWidth = 0, screenHeight = 0;
    std::uint8_t screenPacked = 0, imagePacked = 0;
    int width = 0, height = 0;
    std::vector<std::uint8_t> table;  // 3 bytes an entry, as stored
    int codeSize = 0;
    std::vector<int> blockLengths;
    std::vector<int> codes;
    std::vector<int> nextAtClear;  // the decoder's next free code at each clear code after the first
    std::vector<std::uint8_t> pixels;
    bool trailer = false;
};

DecodedGif DecodeGif(const std::vector<std::uint8_t>& f) {
    DecodedGif g;
    std::size_t p = 0;
    g.version = std::string(f.begin(), f.begin() + 6);
    g.screenWidth = Le16(f, 6);
    g.screenHeight = Le16(f, 8);
    g.screenPacked = f.at(10);
    p = 13;
    EXPECT_EQ(g.screenPacked & 0x80, 0) << "no global table expected";
    EXPECT_EQ(f.at(p), 0x2C);
    EXPECT_EQ(Le16(f, p + 1), 0);
    EXPECT_EQ(Le16(f, p + 3), 0);
    g.width = Le16(f, p + 5);
    g.height = Le16(f, p + 7);
    g.imagePacked = f.at(p + 9);
    p += 10;
    const std::size_t tableSize = 3u << ((g.imagePacked & 7) + 1);
    g.table.assign(f.begin() + p, f.begin() + p + tableSize);
    p += tableSize;
    g.codeSize = f.at(p++);
    std::vector<std::uint8_t> data;
    for (;;) {
        const int n = f.at(p++);
        if (n == 0) break;
        g.blockLengths.push_back(n);
        data.insert(data.end(), f.begin() + p, f.begin() + p + n);
        p += n;
    }
    g.trailer = p + 1 == f.size() && f.at(p) == 0x3B;

    const int clear = 1 << g.codeSize, end = clear + 1;
    int width = g.codeSize + 1, next = clear + 2, prev = -1;
    std::vector<int> prefix(4096, -1);
    std::vector<std::uint8_t> suffix(4096), first(4096);
    for (int i = 0; i < clear; ++i) suffix[i] = first[i] = static_cast<std::uint8_t>(i);
    auto expand = [&](int code, std::vector<std::uint8_t>& out) {
        std::vector<std::uint8_t> s;
        for (int c = code; c >= 0; c = prefix[c]) s.push_back(suffix[c]);
        out.insert(out.end(), s.rbegin(), s.rend());
    };
    std::size_t bit = 0;
    bool firstCode = true;
    while (bit + width <= data.size() * 8) {
        int code = 0;
        for (int k = 0; k < width; ++k, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << k;
        g.codes.push_back(code);
        if (code == clear) {
            if (!firstCode) g.nextAtClear.push_back(next);
            width = g.codeSize + 1;
            next = clear + 2;
            prev = -1;
            firstCode = false;
            continue;
        }
        firstCode = false;
        if (code == end) break;
        if (prev < 0) {
            expand(code, g.pixels);
            prev = code;
            continue;
        }
        if (code > next) {
            ADD_FAILURE() << "code " << code << " beyond the dictionary (" << next << ")";
            break;
        }
        if (next < 4096) {
            prefix[next] = prev;
            first[next] = first[prev];
            suffix[next] = code < next ? first[code] : first[prev];
            ++next;
            if (next == (1 << width) && width < 12) ++width;
        }
        expand(code, g.pixels);
        prev = code;
    }
    return g;
}

std::vector<std::uint8_t> Save(const TGIFImage& gif) {
    std::vector<std::uint8_t> out;
    gif.SaveToStream(out);
    return out;
}

TEST(Gif, BlackAndWhiteBarcode) {
    std::mt19937 rng(7);
    const TDib dib = BarPattern(RandomModules(rng, 95), 3, 60, 6);
    TGIFImage gif;
    gif.Assign(dib);
    EXPECT_EQ(gif.ScreenWidth, dib.width);
    EXPECT_EQ(gif.ScreenHeight, dib.height);
    const auto f = Save(gif);
    const DecodedGif g = DecodeGif(f);
    EXPECT_EQ(g.version, "GIF87a");
    EXPECT_EQ(g.screenWidth, dib.width);
    EXPECT_EQ(g.screenHeight, dib.height);
    EXPECT_EQ(g.screenPacked, 0x77);
    EXPECT_EQ(f[11], 0);  // background
    EXPECT_EQ(f[12], 0);  // aspect ratio
    EXPECT_EQ(g.imagePacked, 0x87);
    ASSERT_EQ(g.table.size(), 768u);
    for (int i = 0; i < 256; ++i) {
        const int v = i == 215 ? 255 : i < 216 ? -1 : 0;  // -1: not checked here
        if (v >= 0) {
            EXPECT_EQ(g.table[3 * i], v) << i;
            EXPECT_EQ(g.table[3 * i + 1], v) << i;
            EXPECT_EQ(g.table[3 * i + 2], v) << i;
        }
    }
    EXPECT_EQ(g.table[0] + g.table[1] + g.table[2], 0);
    EXPECT_EQ(g.codeSize, 8);
    ASSERT_FALSE(g.codes.empty());
    EXPECT_EQ(g.codes.front(), 256);  // clear code first, 9 bits wide
    EXPECT_EQ(f[13 + 10 + 768 + 2], 0x00);
    EXPECT_EQ(f[13 + 10 + 768 + 3] & 1, 1);
    EXPECT_EQ(g.codes.back(), 257);  // end code last
    EXPECT_TRUE(g.trailer);
    ASSERT_EQ(g.pixels.size(), std::size_t(dib.width) * dib.height);
    for (int y = 0; y < dib.height; ++y)
        for (int x = 0; x < dib.width; ++x)
            ASSERT_EQ(g.pixels[std::size_t(y) * dib.width + x], dib.row(y)[3 * x] ? 215 : 0) << x << "," << y;
    for (std::size_t i = 0; i + 1 < g.blockLengths.size(); ++i) EXPECT_EQ(g.blockLengths[i], 255);
}

TEST(Gif, ComponentLevels) {
    struct Case {
        int r, g, b, index;
        const char* why;
    } cases[] = {
        {47, 48, 0, 6, "47 is level 0, 48 level 1"},
        {98, 99, 0, 36 * 1 + 6 * 2, "98 is level 1, 99 level 2"},
        {149, 150, 0, 36 * 2 + 6 * 3, "149 is level 2, 150 level 3"},
        {200, 201, 0, 36 * 3 + 6 * 4, "200 is level 3, 201 level 4"},
        {251, 252, 255, 36 * 4 + 6 * 5 + 5, "251 maps to 204, 252 to 255"},
        {0, 0, 0, 0, "black"},
        {255, 255, 255, 215, "white"},
    };
    TDib dib = MakeDib(std::size(cases), 1, 24);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        SetRGB(dib, static_cast<int>(i), 0, cases[i].r, cases[i].g, cases[i].b);
    TGIFImage gif;
    gif.Assign(dib);
    const DecodedGif g = DecodeGif(Save(gif));
    ASSERT_EQ(g.pixels.size(), std::size(cases));
    const auto palette = Palette216();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(g.pixels[i], cases[i].index) << cases[i].why;
        EXPECT_EQ(g.table[3 * cases[i].index], palette[cases[i].index].rgbRed) << cases[i].why;
    }
    EXPECT_EQ(g.table[3 * 179], 204);  // entry 36*4 + 6*5 + 5 has red 204
    // A 32-bit bitmap is reduced by the same rule.
    TDib wide = MakeDib(1, 1, 32);
    SetRGB(wide, 0, 0, 251, 252, 47);
    gif.Assign(wide);
    EXPECT_EQ(DecodeGif(Save(gif)).pixels, std::vector<std::uint8_t>{36 * 4 + 6 * 5});
}

TEST(Gif, OneBitBitmap) {
    TDib dib = MakeDib(21, 5, 1);
    dib.colors[0] = {0, 0, 0, 0};
    dib.colors[1] = {255, 255, 255, 0};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 21; ++x) SetIndex(dib, x, y, (x / 3 + y) & 1);
    TGIFImage gif;
    gif.Assign(dib);
    const auto f = Save(gif);
    const DecodedGif g = DecodeGif(f);
    EXPECT_EQ(g.screenPacked, 0x00);
    EXPECT_EQ(g.imagePacked, 0x80);
    EXPECT_EQ(g.table, (std::vector<std::uint8_t>{0, 0, 0, 255, 255, 255}));
    EXPECT_EQ(g.codeSize, 2);
    EXPECT_EQ(g.codes.front(), 4);
    EXPECT_EQ(g.codes.back(), 5);
    ASSERT_EQ(g.pixels.size(), 105u);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 21; ++x) EXPECT_EQ(g.pixels[y * 21 + x], (x / 3 + y) & 1);
}

TEST(Gif, FullDictionaryEmitsClearCode) {
    std::mt19937 rng(42);
    TDib dib = MakeDib(150, 100, 8);
    for (int i = 0; i < 256; ++i) dib.colors[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
    for (auto& b : dib.bits) b = static_cast<std::uint8_t>(rng());
    TGIFImage gif;
    gif.Assign(dib);
    const DecodedGif g = DecodeGif(Save(gif));
    ASSERT_GE(g.nextAtClear.size(), 2u);
    for (int next : g.nextAtClear) EXPECT_EQ(next, 4095) << "the largest code is 4094";
    EXPECT_EQ(g.pixels, DibIndices(dib));
}

TEST(Gif, SmallPaletteTableSizes) {
    // N colours give B bits and a table padded to 2^B entries; the code size is at least 2.
    struct Case {
        int colors, bits;
    } cases[] = {{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {16, 4}, {17, 5}, {129, 8}, {256, 8}};
    for (const auto& c : cases) {
        TDib dib = MakeDib(17, 3, 8);
        dib.colors.resize(c.colors);
        for (int i = 0; i < c.colors; ++i) dib.colors[i] = {std::uint8_t(i), 0, std::uint8_t(255 - i), 0};
        for (int i = 0; i < 51; ++i) SetIndex(dib, i % 17, i / 17, (i * 7) % c.colors);
        TGIFImage gif;
        gif.Assign(dib);
        const DecodedGif g = DecodeGif(Save(gif));
        EXPECT_EQ(g.imagePacked, 0x80 + c.bits - 1) << c.colors;
        EXPECT_EQ(g.table.size(), 3u << c.bits) << c.colors;
        EXPECT_EQ(g.table[3 * (c.colors - 1)], 255 - (c.colors - 1));  // red of the last colour
        for (std::size_t k = 3 * c.colors; k < g.table.size(); ++k) EXPECT_EQ(g.table[k], 0) << "padding is black";
        EXPECT_EQ(g.codeSize, std::max(c.bits, 2));
        EXPECT_EQ(g.pixels, DibIndices(dib));
    }
}

TEST(Gif, DataOfExactly255Bytes) {
    // Search seeded noise images for one whose compressed data is exactly one full sub-block.
    std::mt19937 rng(5);
    for (int n = 100; n < 400; ++n) {
        TDib dib = MakeDib(n, 1, 8);
        for (auto& b : dib.bits) b = static_cast<std::uint8_t>(rng() % 200);
        TGIFImage gif;
        gif.Assign(dib);
        const auto f = Save(gif);
        const DecodedGif g = DecodeGif(f);
        if (g.blockLengths != std::vector<int>{255}) continue;
        // code size, length byte 255, 255 bytes, terminator, trailer.
        const std::size_t data = 13 + 10 + 768;
        ASSERT_EQ(f.size(), data + 1 + 1 + 255 + 1 + 1);
        EXPECT_EQ(f[data + 1], 255);
        EXPECT_EQ(f[data + 2 + 255], 0);
        EXPECT_EQ(f.back(), 0x3B);
        EXPECT_EQ(g.pixels, DibIndices(dib));
        return;
    }
    FAIL() << "no image with 255 bytes of data found";
}

TEST(Gif, Errors) {
    ScratchFolder dir;
    // No frames: nothing is written at all.
    TGIFImage empty;
    std::vector<std::uint8_t> out;
    try {
        empty.SaveToStream(out);
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Unsupported GIF version");
    }
    EXPECT_TRUE(out.empty());
    EXPECT_THROW(empty.SaveToFile(dir.file("a.gif")), GIFException);

    // An index beyond the colour table, first pixel or later; no file results.
    for (int at : {0, 5}) {
        TDib dib = MakeDib(8, 2, 8);
        dib.colors.resize(4);
        SetIndex(dib, at, 1, 4);
        TGIFImage gif;
        gif.Assign(dib);
        try {
            gif.SaveToFile(dir.file("b.gif"));
            FAIL();
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Color not in color table");
        }
    }
    // A picture wider than the format's 16-bit sizes.
    TGIFImage wide;
    wide.Assign(MakeDib(70000, 1, 8));
    EXPECT_THROW(wide.SaveToFile(dir.file("c.gif")), GIFException);
    EXPECT_TRUE(dir.names().empty());
}

TEST(Gif, HashTableProbesEverySlotWhenItsCycleIsFull) {
    // Doubling modulo 8009 visits only 4004 slots; give the table more keys than that whose first
    // probe lies in one such cycle (a small colour table allows up to 4089 entries) and every key
    // must still find a slot and be found again.
    auto firstProbe = [](std::uint32_t key) { return ((key >> 4) ^ key) % 8009; };
    auto inCycleOfOne = [](std::uint32_t h) {
        for (std::uint32_t v = 1, k = 0; k < 4004; ++k, v = v * 2 % 8009)
            if (v == h) return true;
        return false;
    };
    std::vector<bool> residue(8009);
    for (std::uint32_t h = 0; h < 8009; ++h) residue[h] = inCycleOfOne(h);
    std::vector<std::uint32_t> keys;
    for (std::uint32_t key = 0; keys.size() < 4089 && key < (1u << 20) - 1; ++key)
        if (firstProbe(key) != 0 && residue[firstProbe(key)]) keys.push_back(key);
    ASSERT_EQ(keys.size(), 4089u);
    THashTable table;
    for (std::uint32_t i = 0; i < keys.size(); ++i) {
        std::uint32_t* slot = table.Probe(keys[i]);
        ASSERT_TRUE(THashTable::IsEmpty(*slot)) << i;
        *slot = (keys[i] << 12) | (i & 0xFFF);
    }
    for (std::uint32_t i = 0; i < keys.size(); ++i) EXPECT_EQ(*table.Probe(keys[i]) & 0xFFF, i & 0xFFF);
}

TEST(Gif, IndependentReadersOverGeneratedImages) {
    // A few hundred seeded images of every depth, size and palette size, each read back by giftext
    // and by PIL pixel for pixel.
    ScratchFolder dir;
    std::mt19937 rng(20261207);
    std::vector<std::string> files;
    std::vector<std::vector<std::uint8_t>> expected;  // indices
    std::vector<std::vector<RGBQuad>> palettes;
    const int depths[] = {1, 4, 8, 24, 32};
    for (int i = 0; i < 300; ++i) {
        const int bits = depths[rng() % 5];
        const int w = 1 + static_cast<int>(rng() % (i % 10 == 0 ? 400 : 60));
        const int h = 1 + static_cast<int>(rng() % 40);
        TDib dib = MakeDib(w, h, bits);
        if (bits <= 8) {
            const int n = 1 + static_cast<int>(rng() % (1u << bits));
            dib.colors.resize(n);
            for (auto& c : dib.colors) c = {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()), 0};
            const int style = rng() % 3;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const unsigned v = style == 0 ? rng() % n : style == 1 ? (x / 5) % n : ((x * y) / 7) % n;
                    SetIndex(dib, x, y, v);
                }
        } else {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const bool bar = ((x / 3) % 2) == 0;
                    if (rng() % 4 == 0)
                        SetRGB(dib, x, y, std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()));
                    else
                        SetRGB(dib, x, y, bar ? 0 : 255, bar ? 0 : 255, bar ? 0 : 255);
                }
        }
        const TDib reference = bits <= 8 ? dib : ReduceTo216Colors(dib);
        expected.push_back(DibIndices(reference));
        palettes.push_back(reference.colors);
        TGIFImage gif;
        gif.Assign(dib);
        files.push_back(dir.file("g" + std::to_string(i) + ".gif"));
        gif.SaveToFile(files.back());
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& f = files[i];
        // giftext reads the blocks without a complaint; with -r it decodes the frame and dumps
        // one byte per pixel.
        const auto raw = runShell("giftext " + shellQuote(f) + " >/dev/null && giftext -r " + shellQuote(f));
        ASSERT_EQ(raw.exitCode, 0) << f << raw.err;
        ASSERT_EQ(std::vector<std::uint8_t>(raw.out.begin(), raw.out.end()), expected[i]) << f;
    }
    const auto pil = DecodeWithPIL(files, "keep");
    ASSERT_EQ(pil.exitCode, 0) << pil.err;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        ASSERT_EQ(ReadFile(files[i] + ".raw"), expected[i]);
        const auto pal = ReadFile(files[i] + ".pal");
        ASSERT_GE(pal.size(), palettes[i].size() * 3);
        for (std::size_t k = 0; k < palettes[i].size(); ++k) {
            ASSERT_EQ(pal[3 * k], palettes[i][k].rgbRed);
            ASSERT_EQ(pal[3 * k + 1], palettes[i][k].rgbGreen);
            ASSERT_EQ(pal[3 * k + 2], palettes[i][k].rgbBlue);
        }
    }
}

}  // namespace
}  // namespace varlen
